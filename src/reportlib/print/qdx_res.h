#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QByteArrayView>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

#include <mutex>
#include <vector>

class QIODevice;
class QWidget;

namespace zr::reportlib {

// The report library's UI texts and toolbar pictures, one table for the whole process.
//
// Every caption, hint, message and file-dialog filter of the prepared-report windows is looked
// up here by name when the window is built; windows carry no wording of their own. The table is
// filled on first use from the two string documents compiled into the program (the main table,
// then the export table), and it stays until the program ends.
//
// Names are compared without regard to ASCII case. Lookups are safe from any thread; the icon
// strip must be asked for on the GUI thread (it makes pixmaps).
//
// Typical use in a window:
//     setWindowTitle(qdxResources().Text(100));            // "Pré-Visualizar"
//     const QString pageOf = qdxResources().Text("clPageOf"); // "Pág. %d de %d"
// Texts keep their printf markers ("%d"); the caller fills them in.
class TqdxResources {
public:
    // Icon numbers of the preview strip (PreviewIcons()).
    enum PreviewIcon {
        iconOpen = 0,
        iconSave = 1,
        iconPrint = 2,
        iconExport = 3,
        iconFind = 4,
        iconThumbnails = 5,
        iconPageSettings = 7,
        iconFirst = 8,
        iconPrior = 9,
        iconNext = 10,
        iconLast = 11,
        iconOutline = 12,
        iconCollapseAll = 13,
        iconExpandAll = 14,
        iconZoomIn = 15,
        iconZoomOut = 16,
        iconEdit = 21,
        iconFullScreen = 22,
        iconEmail = 23,
        iconPdf = 24,
    };
    static constexpr int kPreviewIconCount = 25;
    static constexpr int kIconSize = 16;

    // A table that is empty (code page 1252). Use qdxResources() for the program's table; own
    // instances are for tests and tools.
    TqdxResources();
    ~TqdxResources();
    TqdxResources(const TqdxResources&) = delete;
    TqdxResources& operator=(const TqdxResources&) = delete;

    // The text of `name` as 8-bit text in the table's code page; the name itself (in that code
    // page) when there is no such entry. In both cases one leading '!' is removed.
    QByteArray Get(QAnyStringView name) const;
    // Get of the number in decimal: Get(101) is the text of "101".
    QByteArray Get(int number) const;

    // The same lookups for Qt windows: the text as Unicode, with the same '!' rule and the same
    // fallback to the name. Characters the code page lacks are kept (no narrowing happens).
    QString Text(QAnyStringView name) const;
    QString Text(int number) const;

    // Whether the table has an entry for `name`.
    bool Contains(QAnyStringView name) const;

    // Replaces the text of an existing name or adds the name with its text.
    void Add(QAnyStringView name, const QString& text);

    // Reads one string document (UTF-8 XML, root "Resources" with a "CodePage" attribute and
    // "StrRes" children carrying "Name" and "Text"). Each entry goes through Add, in document
    // order, so a repeated name keeps the last text. A document with another root adds nothing
    // and leaves the code page as it was. Returns false when the bytes are not a readable
    // document (nothing is added then) or the root is not "Resources". An entry whose text has a
    // malformed character reference is skipped; a code page this system cannot convert to is
    // ignored (the table keeps the one it had).
    bool LoadFromString(QByteArrayView xml);
    // As LoadFromString, for the rest of the stream from its current position.
    bool LoadFromStream(QIODevice& stream);

    // The code page of the last document loaded (1252 until one says otherwise).
    unsigned CodePage() const;
    // Number of names in the table.
    int Count() const;

    // The 25 icons of the preview toolbar (16 x 16, see PreviewIcon), read from the program's
    // packed strip on first request and kept. Empty when the strip cannot be read. Needs a
    // QGuiApplication; the icons are dropped when the application object is destroyed.
    const QList<QIcon>& PreviewIcons();
    // One of them; a null icon for a number outside 0..24 or when the strip is missing.
    QIcon PreviewIcon(int number);
    // Drops the icons; the next request reads the strip again.
    void ReleaseIcons();

    // Opens the help page with the desktop's browser. The page is copied out of the program to
    // the user's cache folder first. Does nothing (returns false) when that or the opening fails.
    // `window` is accepted for the callers' sake; the help has one page for every window.
    bool Help(QWidget* window = nullptr);
    // The help page as a local file (written on first call), or "" when it cannot be written.
    static QString HelpFilePath();

    // Unpacks a strip stored as a gzip member whose modification-time field holds the Adler-32
    // of the bitmap (most significant byte first) and whose data is a 24-bit bitmap (a ".bmp"
    // file or a bare device-independent bitmap). A null image for anything else.
    static QImage UnpackBitmap(QByteArrayView member);
    // Cuts a strip into cell x cell images, left to right then row by row while a whole cell
    // fits; in every cell the colour of its bottom-left pixel becomes transparent.
    static QList<QImage> CutStrip(const QImage& strip, int cell);

private:
    struct Entry {
        QString name;
        int textIndex;
    };
    // Position of `name` in m_names, or where it would go (found says which).
    std::size_t find(const QString& name, bool& found) const;
    QString lookup(QAnyStringView name) const;
    bool loadDocument(QIODevice& stream);
    void addLocked(const QString& name, const QString& text);

    mutable std::mutex m_mutex;
    std::vector<Entry> m_names; // sorted by name, ASCII case ignored
    std::vector<QString> m_texts;
    unsigned m_codePage = 1252;
    QList<QIcon> m_previewIcons;
    bool m_previewIconsTried = false;
};

// The process's table, created and filled from the program's documents on first use.
TqdxResources& qdxResources();

} // namespace zr::reportlib
