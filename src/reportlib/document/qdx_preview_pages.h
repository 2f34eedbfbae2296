#pragma once

// The prepared pages of a report: every page is kept as an XML element and built into an
// object tree only when asked for, with a small cache of built pages. Objects are stored as
// differences against copies of the design objects (the source pages), named through a
// dictionary of short aliases; pictures are kept once, as bytes, in a picture store. Written
// out, the same document is a ".QP3" file.

#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_xml.h"

#include <QByteArray>
#include <QIODevice>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

namespace zr::reportlib {

class TqdxReport;
class TqdxXMLSerializer;

// Aliases ("m12") of the source objects, sorted; each with its source name ("Page0.Memo3").
class TqdxDictionary {
public:
    void Clear();
    void Add(const QByteArray& alias, const QByteArray& sourceName, TqdxComponent* object);
    // The next free alias for a base letter: b1, b2, ...
    QByteArray CreateUniqueAlias(const QByteArray& base) const;
    bool Contains(const QByteArray& alias) const { return m_entries.count(alias) != 0; }
    // Source object behind an alias, or null.
    TqdxComponent* ObjectOf(QByteArrayView alias) const;
    QByteArray SourceNameOf(const QByteArray& alias) const;
    int Count() const { return int(m_entries.size()); }
    // Alias -> (source name, object), in sorted alias order.
    struct Entry {
        QByteArray sourceName;
        TqdxComponent* object = nullptr;
    };
    const std::map<QByteArray, Entry>& Entries() const { return m_entries; }

private:
    std::map<QByteArray, Entry> m_entries;
};

// Pictures of the prepared pages, kept as the bytes the graphics wrote, in memory or in swap
// files of at most kMaxStreamSize bytes each.
class TqdxPictureCache {
public:
    static constexpr qint64 kMaxStreamSize = 0x6AAAAAAA;
    TqdxPictureCache();
    ~TqdxPictureCache();
    TqdxPictureCache(const TqdxPictureCache&) = delete;
    TqdxPictureCache& operator=(const TqdxPictureCache&) = delete;

    void Clear();
    int Count() const { return int(m_entries.size()); }
    // Keeping pictures in files and the swap folder can be changed only while empty.
    void SetInFile(bool inFile, const QString& tempDir);
    // Stores the view's picture (ImageIndex := its number) or sets ImageIndex 0.
    void StorePicture(TqdxPictureView& view);
    // Appends one picture given as bytes; returns its 1-based number.
    int AddPicture(const QByteArray& bytes);
    // The bytes of picture `index` (1-based), empty outside 1..Count.
    QByteArray PictureBytes(int index) const;
    // Gives the view picture ImageIndex, or clears its picture when there is none.
    void PictureAt(TqdxPictureView& view) const;
    void SaveToXML(TqdxXMLItem& element) const;
    void LoadFromXML(const TqdxXMLItem& element);

private:
    struct Entry {
        int stream;
        qint64 offset;
    };
    QIODevice& openEntry();
    std::vector<std::unique_ptr<QIODevice>> m_streams;
    std::vector<Entry> m_entries;
    bool m_inFile = false;
    QString m_tempDir;
};

class TqdxPreviewPages;

// A cursor over the document's "outline" element.
class TqdxOutline {
public:
    explicit TqdxOutline(TqdxPreviewPages& pages) : m_pages(pages) {}
    int Count() const;
    void AddItem(const QByteArray& text, int top);
    void LevelInto(int index);
    void LevelRoot();
    void LevelUp();
    // Text, page and top of child `index`; page and top keep their values when absent.
    void GetItem(int index, QByteArray& text, int& page, int& top) const;
    // For an item followed by a sibling: moves that sibling and its subtree to the next page,
    // with `newTop` as the sibling's top.
    void ShiftItem(TqdxXMLItem& item, int newTop);
    TqdxXMLItem* Current() const { return m_current; }
    // The last child of the current item, or null.
    TqdxXMLItem* Position() const;
    void Reset() { m_current = nullptr; }

private:
    TqdxPreviewPages& m_pages;
    TqdxXMLItem* m_current = nullptr;
};

class TqdxPreviewPages {
public:
    explicit TqdxPreviewPages(TqdxReport& report);
    ~TqdxPreviewPages();
    TqdxPreviewPages(const TqdxPreviewPages&) = delete;
    TqdxPreviewPages& operator=(const TqdxPreviewPages&) = delete;

    int Count() const;
    // The built page (owned by the store; valid until it is evicted or the cache is emptied),
    // or null when the store is empty. Raises TqdxClassNotFound for unregistered classes.
    TqdxReportPage* PageObject(int index);
    // Paper size in whole pixels, without building numbered pages.
    QSize PageExtent(int index);
    void Clear();
    void Initialize();

    // Loading and saving. LoadFromFile returns whether the file existed; a file that is not
    // of this dialect raises TqdxInvalidXMLException, an unreadable one std::runtime_error.
    // A file cut short (the root element never closed) keeps its first pages, up to the page it
    // breaks off in or the first one that cannot be built without what was lost, and says so
    // in LoadWarnings(); when no page is left it raises TqdxTruncatedXMLException.
    bool LoadFromFile(const QString& fileName, bool failIfMissing = false);
    void LoadFromStream(QIODevice& stream, bool partialLoad = false);
    // What the last load worked around, in Portuguese, for the user; empty for a whole file.
    const QStringList& LoadWarnings() const { return m_loadWarnings; }
    // Writes through a temporary file renamed over the target; false (old file intact) on
    // failure, with the system's error number in `error` (0 when no call of the system failed).
    bool SaveToFile(const QString& fileName, int* error = nullptr);
    bool SaveToStream(QIODevice& stream);

    // Building (the report engine's side; used by tools and tests to make reports).
    void RegisterSourcePage(TqdxReportPage& designPage);
    void BeginNewPage(TqdxReportPage* designPage);
    void AddObject(TqdxComponent& object);
    void AddSourceObject(TqdxComponent& object);
    void StorePicture(TqdxPictureView& view) { m_pictures.StorePicture(view); }
    void DetachObjects(int position);
    void AttachObjects(double x, double y);
    // The vertical position the engine is at (anchors take it as their top).
    double CurrentY = 0;
    // Logical page numbers: BeginNewPage numbers each new page; this closes the running
    // logical report, giving its pages their total.
    void CloseLogicalReport();
    int LogicalPageNumber() const;
    int LogicalTotalPages() const;
    // Page count handed to building progress (engine's own count for pages without numbers).
    int EnginePageNumber = 0;
    int EngineTotalPages = 0;

    // Editing.
    void InsertBlankPage(int index);
    void RemovePage(int index);
    void ReplacePage(int index, TqdxReportPage& page);
    void AppendFromReport(TqdxReport& other);

    // Anchors.
    void AddAnchor(const QByteArray& text);
    TqdxXMLItem* FindAnchor(QByteArrayView text) const;
    int GetAnchorPage(QByteArrayView text) const;
    void ShiftAnchors(int fromIndex, int newTop);

    TqdxOutline& Outline() { return m_outline; }
    TqdxDictionary& Dictionary() { return m_dictionary; }
    TqdxPictureCache& Pictures() { return m_pictures; }
    TqdxXMLDocument& Document() { return m_document; }
    const TqdxXMLDocument& Document() const { return m_document; }
    TqdxXMLItem& PagesElement() { return *m_pagesElement; }
    const std::vector<std::unique_ptr<TqdxReportPage>>& TemplatePages() const {
        return m_templatePages;
    }
    int CursorPage() const { return m_cursorPage; }
    int ViewedPage = 0;
    int CopyNo = 0;
    double PrintScale = 1;
    qint64 ElementBytes() const { return m_elementBytes; }
    // Page numbers held in the cache, most recently used first.
    std::vector<int> CachedPages() const;
    void ClearCache();
    // Ask for a new page element instead of writing over the next one.
    bool AddPageMode = false;

private:
    friend class TqdxOutline;
    void IncLogicalPageNumber();
    void rebuildObject(const TqdxXMLItem& element, TqdxComponent& parent,
                       TqdxXMLSerializer& serializer);
    // The source page a numbered page element ("page0") refers to, or null.
    const TqdxReportPage* numberedSource(const TqdxXMLItem& element) const;
    void prepareForSaving();
    void addObjectElement(TqdxComponent& object, TqdxXMLItem& parentElement);
    TqdxXMLItem& logicalPagesElement();
    // A child of the root, created when missing, with its children in memory.
    TqdxXMLItem& section(QByteArrayView name);
    // The same, or null when there is none (only reads them in).
    const TqdxXMLItem* findSection(QByteArrayView name) const;
    void fetch(TqdxXMLItem& item);
    int sourcePageIndex(const TqdxReportPage* designPage) const;
    void evictOne();
    // For a file cut short: drops the pages from the first that cannot be built (see
    // LoadFromStream) and records the warning.
    void keepCompletePages(bool sourcesComplete);

    TqdxReport& m_report;
    TqdxXMLDocument m_document;
    TqdxXMLItem* m_pagesElement = nullptr;
    std::vector<std::unique_ptr<TqdxReportPage>> m_templatePages;
    std::vector<const TqdxReportPage*> m_designPages; // the design page of each source page
    TqdxDictionary m_dictionary;
    TqdxPictureCache m_pictures;
    TqdxOutline m_outline;
    struct Built {
        int index;
        std::unique_ptr<TqdxReportPage> page;
    };
    std::vector<Built> m_built; // most recently used first
    int m_cursorPage = -1;
    qint64 m_elementBytes = 0;
    int m_logicalCounter = 0;
    int m_logicalPassStart = 0;
    QStringList m_loadWarnings;
};

} // namespace zr::reportlib
