#pragma once

// Our own player of the two Windows vector picture formats reports embed: the Windows metafile
// with its 22-byte placeable header, and the enhanced metafile. A metafile is a list of drawing
// records; Play replays the common ones onto a QPainter with the picture's frame mapped onto a
// target rectangle. The records covered are listed in wmf_player.cpp and emf_player.cpp.
//
// Damaged data never stops playback with an error: a record that runs past the end of the data
// or declares an impossible size ends the replay, and everything drawn before it stays.

#include <QByteArray>
#include <QRectF>
#include <QSize>

#include <optional>

class QPainter;

namespace zr::reportlib::render {

class Metafile {
public:
    enum class Format { Wmf, Emf };

    // Reads the header of a placeable Windows metafile (key 0x9AC6CDD7) or of an enhanced
    // metafile (" EMF" at offset 40). Returns nullopt for other data and for headers that
    // give an empty picture frame.
    static std::optional<Metafile> FromBytes(const QByteArray& bytes);

    Format format() const { return m_format; }
    // The picture's size in pixels at 96 per inch, each side at most kMaxImageSide (the
    // proportions kept).
    QSize Size() const { return m_size; }

    // Replays the records with the picture frame mapped onto `target` (painter coordinates).
    // Drawing is clipped to `target` and to the painter's own clip; the painter's state is the
    // same afterwards.
    void Play(QPainter& painter, const QRectF& target) const;

private:
    Metafile() = default;

    QByteArray m_data;
    Format m_format = Format::Wmf;
    // Placeable metafiles: the bounding box in the metafile's logical units and how many of
    // them make an inch. Enhanced metafiles: the frame in the reference device's pixels and
    // that device's pixels per inch.
    QRectF m_frame;
    double m_unitsPerInchX = 96, m_unitsPerInchY = 96;
    QSize m_size;
};

} // namespace zr::reportlib::render
