#pragma once

// PdfObjectWriter: the file side of the prepared-report PDF export. Objects are streamed to a
// temporary file beside the target (or to another output, such as a print job) as they are
// produced; the object table keeps each object's
// byte offset, so that the cross-reference table can be written at the end without reading the
// file again. Nothing of a report is known here.
//
// Numbering: an object's number is the table's length right after its entry is appended.
// beginObject() appends the current position and writes "N 0 obj"; reserve() appends a
// placeholder that beginReserved(N) later replaces with the real position. Every line written
// through line() ends in CR LF.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace zr {
class AtomicFile;
class RawOutput;
} // namespace zr

namespace zr::pdf {

// Encrypts the strings and streams of one object (the security handler implements it).
class PdfEncryptor {
public:
    virtual ~PdfEncryptor() = default;
    // The bytes of a string or stream held by object `objectNumber`, encrypted. RC4 keeps the
    // length; AES adds an initialisation vector and padding, so callers write the length of
    // the result.
    virtual QByteArray Encrypt(int objectNumber, QByteArrayView data) const = 0;
};

class PdfObjectWriter {
public:
    PdfObjectWriter();
    ~PdfObjectWriter(); // an uncommitted file is discarded: the target stays as it was
    PdfObjectWriter(const PdfObjectWriter&) = delete;
    PdfObjectWriter& operator=(const PdfObjectWriter&) = delete;

    // Starts a new file for `path` (written to a temporary file beside it). False when it
    // cannot be created; error() then gives the system error number.
    bool open(const QString& path);
    // Starts a new document written to `output` as it is produced (a print job); commit()
    // finishes it, discard() drops it unfinished.
    void open(std::unique_ptr<RawOutput> output);
    bool isOpen() const { return m_file != nullptr || m_output != nullptr; }
    // Flushes and renames the temporary file over the target. False on any write failure
    // (the target is then untouched).
    bool commit();
    // Drops the file; the target is untouched.
    void discard();
    int error() const { return m_errno; }
    QString errorString() const;

    // Bytes as they are; line() adds CR LF.
    void raw(QByteArrayView bytes);
    void line(QByteArrayView text);
    std::uint64_t position() const { return m_position; }

    // Allocates the next object at the current position and writes its "N 0 obj" line.
    int beginObject();
    // Allocates a number whose object is written later with beginReserved().
    int reserve();
    // Writes reserved object `number` here, replacing its table entry.
    void beginReserved(int number);
    void endObject();
    int objectCount() const { return int(m_offsets.size()); }

    // Whether every stream's data is followed by a line end of its own before "endstream" (not
    // counted in /Length), even data that ends in one: what archival files require. Stream
    // writers read it; open() keeps it.
    void setLineBeforeEveryEndstream(bool on) { m_lineBeforeEveryEndstream = on; }
    bool lineBeforeEveryEndstream() const { return m_lineBeforeEveryEndstream; }

    // Objects without a stream go, deflated, into object streams of up to 200 objects, and
    // the cross-reference table becomes a deflated cross-reference stream (PDF 1.5). Not for
    // encrypted files: their objects' strings are encrypted with each object's own key, which
    // an object stream does not keep. open() turns it off.
    void setObjectStreams(bool on) { m_objectStreams = on; }

    // Writes the cross-reference table and the trailer's opening: "xref", the entries,
    // "trailer", "<<", "/Size N". The caller adds its own entries, then calls finishTrailer().
    // With object streams, the entries go into the cross-reference stream's dictionary.
    void beginTrailer();
    void finishTrailer(); // ">>", "startxref", the table's position, "%%EOF"

private:
    // An object's place: at a byte offset of the file, or the `index`th object of object
    // stream `offset`.
    struct Entry {
        std::uint64_t offset = 0;
        std::uint32_t index = 0;
        bool packed = false;
    };
    void startObject(int number);
    void flushObjectStream();

    std::unique_ptr<AtomicFile> m_file;
    std::unique_ptr<RawOutput> m_output;
    std::vector<Entry> m_offsets;
    bool m_objectStreams = false;
    // While an object is being written with object streams on: its number and its bytes.
    bool m_holding = false;
    int m_held = 0;
    QByteArray m_object;
    // The objects gathered for the next object stream, and their bytes.
    std::vector<std::pair<int, QByteArray>> m_packed;
    qsizetype m_packedBytes = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_xref = 0;
    int m_errno = 0;
    bool m_failed = false;
    bool m_lineBeforeEveryEndstream = false;
};

// zlib's format as the export deflates streams: libdeflate's whole-buffer compressor at level
// 6, which on page contents is as fast as zlib's level 2 and a tenth smaller than zlib's own
// level 6.
QByteArray Deflate(QByteArrayView data);

} // namespace zr::pdf
