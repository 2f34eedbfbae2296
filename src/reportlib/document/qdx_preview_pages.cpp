#include "qdx_preview_pages.h"

#include "qdx_report.h"
#include "qdx_xml_serializer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>

namespace zr::reportlib {

namespace {

int roundEven(double v) {
    if (!std::isfinite(v) || std::fabs(v) > 2e9) {
        return 0;
    }
    return int(std::nearbyint(v));
}

int intProp(const TqdxXMLItem& item, QByteArrayView name, int fallback) {
    try {
        const QByteArray v = item.Prop(name);
        if (v.isEmpty()) {
            return fallback;
        }
        return int(XMLTextToInt(v));
    } catch (const std::exception&) {
        return fallback;
    }
}

double floatProp(const TqdxXMLItem& item, QByteArrayView name) {
    try {
        const QByteArray v = item.Prop(name);
        return v.isEmpty() ? 0.0 : XMLTextToFloat(v);
    } catch (const std::exception&) {
        return 0.0;
    }
}

// A picture's bytes as a file holds them.
QByteArray streamBytesOf(const TqdxPicture& picture) {
    if (picture.StreamForm || picture.Data.size() < 4) {
        return picture.Data;
    }
    // Bitmaps and JPEG images stream themselves inside reports behind a 32-bit byte count.
    quint32 count = 0;
    for (int i = 3; i >= 0; --i) {
        count = count << 8 | static_cast<unsigned char>(picture.Data[i]);
    }
    if (qint64(count) == picture.Data.size() - 4) {
        return picture.Data.mid(4);
    }
    return picture.Data;
}

} // namespace

// ---- Dictionary -----------------------------------------------------------------------------

void TqdxDictionary::Clear() {
    m_entries.clear();
}

void TqdxDictionary::Add(const QByteArray& alias, const QByteArray& sourceName,
                         TqdxComponent* object) {
    m_entries[alias] = Entry{sourceName, object};
}

QByteArray TqdxDictionary::CreateUniqueAlias(const QByteArray& base) const {
    int n = 10000;
    while (n > 1 && !Contains(base + QByteArray::number(n))) {
        n /= 2;
    }
    if (n < 1) {
        n = 1;
    }
    while (Contains(base + QByteArray::number(n))) {
        ++n;
    }
    return base + QByteArray::number(n);
}

TqdxComponent* TqdxDictionary::ObjectOf(QByteArrayView alias) const {
    const auto it = m_entries.find(alias.toByteArray());
    return it == m_entries.end() ? nullptr : it->second.object;
}

QByteArray TqdxDictionary::SourceNameOf(const QByteArray& alias) const {
    const auto it = m_entries.find(alias);
    return it == m_entries.end() ? QByteArray() : it->second.sourceName;
}

// ---- Picture store ---------------------------------------------------------------------------

TqdxPictureCache::TqdxPictureCache() = default;

TqdxPictureCache::~TqdxPictureCache() {
    Clear();
}

void TqdxPictureCache::Clear() {
    m_entries.clear();
    m_streams.clear(); // temporary files remove themselves
}

void TqdxPictureCache::SetInFile(bool inFile, const QString& tempDir) {
    if (!m_streams.empty()) {
        return;
    }
    m_inFile = inFile;
    m_tempDir = tempDir;
}

QIODevice& TqdxPictureCache::openEntry() {
    if (m_streams.empty() || m_streams.back()->size() >= kMaxStreamSize) {
        std::unique_ptr<QIODevice> stream;
        if (m_inFile) {
            QString dir = m_tempDir;
            if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
                dir = QDir::tempPath();
            }
            auto file = std::make_unique<QTemporaryFile>(dir + QStringLiteral("/qdPicXXXXXX"));
            if (!file->open()) {
                throw std::runtime_error("Cannot create a picture swap file in " +
                                         dir.toStdString());
            }
            stream = std::move(file);
        } else {
            auto buffer = std::make_unique<QBuffer>();
            buffer->open(QIODevice::ReadWrite);
            stream = std::move(buffer);
        }
        m_streams.push_back(std::move(stream));
    }
    QIODevice& stream = *m_streams.back();
    m_entries.push_back({int(m_streams.size()) - 1, stream.size()});
    stream.seek(stream.size());
    return stream;
}

int TqdxPictureCache::AddPicture(const QByteArray& bytes) {
    QIODevice& stream = openEntry();
    if (stream.write(bytes) != bytes.size()) {
        throw std::runtime_error("Cannot write a picture to the picture store");
    }
    return Count();
}

void TqdxPictureCache::StorePicture(TqdxPictureView& view) {
    if (view.Picture.Empty()) {
        view.ImageIndex = 0;
        return;
    }
    view.ImageIndex = AddPicture(streamBytesOf(view.Picture));
    view.ImageChanged = false;
}

QByteArray TqdxPictureCache::PictureBytes(int index) const {
    if (index <= 0 || index > Count()) {
        return {};
    }
    const Entry& e = m_entries[size_t(index - 1)];
    QIODevice& stream = *m_streams[size_t(e.stream)];
    qint64 end = stream.size();
    if (size_t(index) < m_entries.size() && m_entries[size_t(index)].stream == e.stream) {
        end = m_entries[size_t(index)].offset;
    }
    if (!stream.seek(e.offset)) {
        return {};
    }
    return stream.read(end - e.offset);
}

void TqdxPictureCache::PictureAt(TqdxPictureView& view) const {
    if (view.ImageIndex <= 0 || view.ImageIndex > Count() || m_streams.empty()) {
        view.Picture.Clear();
        return;
    }
    view.LoadPictureFromBytes(PictureBytes(view.ImageIndex));
    view.ImageChanged = false;
}

void TqdxPictureCache::SaveToXML(TqdxXMLItem& element) const {
    element.Clear();
    for (int i = 1; i <= Count(); ++i) {
        TqdxXMLItem& item = element.Add();
        item.Name = "item";
        item.Text = "stream=\"" + PictureBytes(i).toHex().toUpper() + '"';
    }
}

void TqdxPictureCache::LoadFromXML(const TqdxXMLItem& element) {
    Clear();
    for (int i = 0; i < element.Count(); ++i) {
        const TqdxXMLItem& item = element.Items(i);
        QByteArray hex;
        try {
            hex = item.Prop("stream");
        } catch (const std::exception&) {
            // a broken "&#...;" cannot stand in hexadecimal digits: no picture
        }
        AddPicture(BytesOfHex(hex));
    }
}

// ---- Outline ---------------------------------------------------------------------------------

int TqdxOutline::Count() const {
    return m_current ? m_current->Count() : 0;
}

void TqdxOutline::LevelRoot() {
    m_current = &m_pages.section("outline");
}

void TqdxOutline::LevelInto(int index) {
    if (m_current && index >= 0 && index < m_current->Count()) {
        m_current = &m_current->Items(index);
    }
}

void TqdxOutline::LevelUp() {
    if (m_current && m_current->Parent() && m_current != &m_pages.section("outline")) {
        m_current = m_current->Parent();
    }
}

void TqdxOutline::AddItem(const QByteArray& text, int top) {
    if (!m_current) {
        LevelRoot();
    }
    TqdxXMLItem& item = m_current->Add();
    item.Name = "item";
    item.Text = "text=\"" + EncodeXMLText(text) + "\" page=\"" +
                QByteArray::number(m_pages.m_cursorPage) + "\" top=\"" + QByteArray::number(top) +
                '"';
    m_current = &item;
}

void TqdxOutline::GetItem(int index, QByteArray& text, int& page, int& top) const {
    if (!m_current || index < 0 || index >= m_current->Count()) {
        return;
    }
    const TqdxXMLItem& item = m_current->Items(index);
    try {
        text = item.Prop("text");
    } catch (const std::exception&) {
        text.clear();
    }
    page = intProp(item, "page", page);
    top = intProp(item, "top", top);
}

TqdxXMLItem* TqdxOutline::Position() const {
    return m_current && m_current->Count() > 0 ? &m_current->Items(m_current->Count() - 1)
                                               : nullptr;
}

void TqdxOutline::ShiftItem(TqdxXMLItem& item, int newTop) {
    TqdxXMLItem* parent = item.Parent();
    if (!parent) {
        return;
    }
    const int index = parent->IndexOf(item);
    if (index < 0 || index + 1 >= parent->Count()) {
        return;
    }
    TqdxXMLItem& sibling = parent->Items(index + 1);
    const int amount = newTop - intProp(sibling, "top", 0);
    std::vector<TqdxXMLItem*> stack{&sibling};
    while (!stack.empty()) {
        TqdxXMLItem* e = stack.back();
        stack.pop_back();
        e->SetProp("page", QByteArray::number(intProp(*e, "page", 0) + 1));
        e->SetProp("top", QByteArray::number(intProp(*e, "top", 0) + amount));
        for (int i = 0; i < e->Count(); ++i) {
            stack.push_back(&e->Items(i));
        }
    }
}

// ---- Store -----------------------------------------------------------------------------------

TqdxPreviewPages::TqdxPreviewPages(TqdxReport& report) : m_report(report), m_outline(*this) {
    Clear();
}

TqdxPreviewPages::~TqdxPreviewPages() {
    ClearCache();
}

int TqdxPreviewPages::Count() const {
    return m_pagesElement ? m_pagesElement->Count() : 0;
}

void TqdxPreviewPages::ClearCache() {
    // The elements read for the built pages go back to their unread form too, so that walking
    // every page (an export) holds no more than the cache does. Only elements that can be read
    // again are dropped; an index that moved since (pages inserted or removed) drops at worst
    // another readable element.
    for (const Built& b : m_built) {
        if (m_pagesElement && b.index < Count()) {
            m_document.DropItem(m_pagesElement->Items(b.index));
        }
    }
    m_built.clear();
}

std::vector<int> TqdxPreviewPages::CachedPages() const {
    std::vector<int> out;
    for (const Built& b : m_built) {
        out.push_back(b.index);
    }
    return out;
}

void TqdxPreviewPages::Clear() {
    ClearCache();
    m_loadWarnings.clear();
    m_templatePages.clear();
    m_designPages.clear();
    m_outline.Reset();
    m_document.Clear();
    m_document.Root().Name = "preparedreport";
    m_pagesElement = nullptr;
    m_dictionary.Clear();
    m_pictures.Clear();
    m_cursorPage = -1;
    m_elementBytes = 0;
    m_logicalCounter = 0;
    m_logicalPassStart = 0;
}

void TqdxPreviewPages::Initialize() {
    m_pictures.SetInFile(m_report.PreviewOptions.PictureCacheInFile,
                         QString::fromLocal8Bit(m_report.EngineOptions.TempDir));
    m_document.TempDir = QString::fromLocal8Bit(m_report.EngineOptions.TempDir);
}

TqdxReportPage* TqdxPreviewPages::PageObject(int index) {
    if (Count() == 0 || index < 0 || index >= Count()) {
        return nullptr;
    }
    for (size_t i = 0; i < m_built.size(); ++i) {
        if (m_built[i].index == index) {
            std::swap(m_built[i], m_built[0]);
            return m_built[0].page.get();
        }
    }
    TqdxXMLItem& element = m_pagesElement->Items(index);
    if (!element.Loaded) {
        m_document.FetchItem(element);
    }
    TqdxXMLSerializer serializer;
    serializer.PlainStrings = m_document.LegacyHeader;
    std::unique_ptr<TqdxReportPage> page;
    if (element.Name.compare("TqdxReportPage", Qt::CaseInsensitive) == 0 ||
        element.Name.compare("TqdxDMPPage", Qt::CaseInsensitive) == 0) {
        if (element.Name.compare("TqdxDMPPage", Qt::CaseInsensitive) == 0) {
            page = std::make_unique<TqdxDMPPage>();
        } else {
            page = std::make_unique<TqdxReportPage>();
        }
        serializer.ReadObjectTree(*page, &element);
    } else {
        const TqdxReportPage* source = numberedSource(element);
        if (!source) {
            throw std::runtime_error("Invalid file format");
        }
        page.reset(
            static_cast<TqdxReportPage*>(TqdxComponent::Create(source->ClassInfo(), nullptr)));
        page->Assign(*source);
        page->SetName(source->Name());
        for (int i = 0; i < element.Count(); ++i) {
            rebuildObject(element.Items(i), *page, serializer);
        }
    }
    page->ArrangeChildren();
    m_built.insert(m_built.begin(), Built{index, std::move(page)});
    const int limit = m_report.PreviewOptions.PagesInCache;
    if (m_built.size() > 1 && int(m_built.size()) > limit) {
        evictOne();
    }
    return m_built.front().page.get();
}

void TqdxPreviewPages::evictOne() {
    Built& last = m_built.back();
    if (last.index < Count()) {
        m_document.DropItem(m_pagesElement->Items(last.index));
    }
    if (m_report.EngineOptions.UseFileCache && last.index < Count()) {
        TqdxXMLItem& element = m_pagesElement->Items(last.index);
        if (element.Unloadable) {
            try {
                m_document.ReleaseItem(element);
            } catch (const std::exception&) {
                // The element stays in memory.
            }
        }
    }
    m_built.pop_back();
}

const TqdxReportPage* TqdxPreviewPages::numberedSource(const TqdxXMLItem& element) const {
    // "page" followed by the source page's number (at most five digits are read).
    const QByteArray& name = element.Name;
    if (name.size() < 5) {
        return nullptr;
    }
    int n = 0;
    int digits = 0;
    for (qsizetype i = 4; i < name.size() && digits < 5; ++i, ++digits) {
        if (name[i] < '0' || name[i] > '9') {
            return nullptr;
        }
        n = n * 10 + (name[i] - '0');
    }
    if (n < 0 || n >= int(m_templatePages.size())) {
        return nullptr;
    }
    return m_templatePages[size_t(n)].get();
}

void TqdxPreviewPages::rebuildObject(const TqdxXMLItem& element, TqdxComponent& parent,
                                     TqdxXMLSerializer& serializer) {
    struct Pending {
        const TqdxXMLItem* element;
        TqdxComponent* parent;
    };
    std::vector<Pending> stack{{&element, &parent}};
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        const TqdxXMLItem& e = *item.element;
        TqdxComponent* source = m_dictionary.ObjectOf(e.Name);
        TqdxComponent* object = nullptr;
        if (source) {
            object =
                serializer.ObjectTreeFromText(item.parent, source->NameBase + ' ' + e.Text, true);
            object->SetName(source->Name());
            if (auto* picture = qdx_cast<TqdxPictureView>(object);
                picture && picture->Picture.Empty()) {
                m_pictures.PictureAt(*picture);
            }
        } else {
            object = serializer.ObjectTreeFromText(item.parent, e.Name + ' ' + e.Text, true);
        }
        if (!object) {
            continue;
        }
        for (int i = e.Count() - 1; i >= 0; --i) {
            stack.push_back({&e.Items(i), object});
        }
    }
}

QSize TqdxPreviewPages::PageExtent(int index) {
    if (Count() == 0 || index < 0 || index >= Count()) {
        return {0, 0};
    }
    const TqdxXMLItem& element = m_pagesElement->Items(index);
    const TqdxReportPage* page = nullptr;
    if (element.Name.compare("TqdxReportPage", Qt::CaseInsensitive) == 0 ||
        element.Name.compare("TqdxDMPPage", Qt::CaseInsensitive) == 0) {
        page = PageObject(index);
    } else {
        page = numberedSource(element);
    }
    if (!page) {
        return {0, 0};
    }
    return {roundEven(page->Width()), roundEven(page->Height())};
}

// ---- Loading and saving ------------------------------------------------------------------------

bool TqdxPreviewPages::LoadFromFile(const QString& fileName, bool failIfMissing) {
    const bool exists = QFileInfo::exists(fileName);
    if (!exists && !failIfMissing) {
        return false;
    }
    QFile file(fileName);
    if (QFileInfo(fileName).isDir() || !file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("Cannot open file \"" + fileName.toStdString() + "\". " +
                                 file.errorString().toStdString());
    }
    LoadFromStream(file, false);
    return exists;
}

namespace {

bool isCompletePageElement(const TqdxXMLItem& element) {
    return element.Name.compare("TqdxReportPage", Qt::CaseInsensitive) == 0 ||
           element.Name.compare("TqdxDMPPage", Qt::CaseInsensitive) == 0;
}

} // namespace

void TqdxPreviewPages::LoadFromStream(QIODevice& stream, bool /*partialLoad*/) {
    Clear();
    // The bytes stay in memory; the objects of each page are read from them only when the
    // page is built, and dropped again when it leaves the page cache.
    QByteArray bytes = stream.readAll();
    const auto load = [this](const QByteArray& data) {
        auto source = std::make_unique<QBuffer>();
        source->setData(data);
        source->open(QIODevice::ReadOnly);
        // Pages, and the outline, anchors and logical page numbers, are read when first used.
        m_document.LoadDeferred(
            std::move(source), [](QByteArrayView name, QByteArrayView parent, int level) {
                if (level == 3) {
                    return parent.compare("previewpages", Qt::CaseInsensitive) == 0;
                }
                return level == 2 && (name.compare("outline", Qt::CaseInsensitive) == 0 ||
                                      name.compare("anchors", Qt::CaseInsensitive) == 0 ||
                                      name.compare("logicalpagenumbers", Qt::CaseInsensitive) == 0);
            });
    };
    try {
        load(bytes);
    } catch (const TqdxTruncatedXMLException&) {
        // The file ends inside a tag: it is read as if cut just before that tag.
        const qsizetype lastTagEnd = bytes.lastIndexOf('>');
        if (lastTagEnd < 0) {
            throw;
        }
        Clear();
        bytes.truncate(lastTagEnd + 1);
        load(bytes);
    }
    TqdxXMLItem& root = m_document.Root();
    const bool cutShort = root.Truncated();
    m_pagesElement = &root.FindItem("previewpages");
    if (cutShort) {
        // The page the file breaks off in is not shown, nor a section it breaks off in that
        // only points into the pages.
        if (m_pagesElement->Count() > 0 &&
            m_pagesElement->Items(m_pagesElement->Count() - 1).Truncated()) {
            m_pagesElement->Delete(m_pagesElement->Count() - 1);
        }
        for (const char* name : {"outline", "anchors", "logicalpagenumbers"}) {
            if (const int i = root.Find(name); i >= 0 && root.Items(i).Truncated()) {
                root.Delete(i);
            }
        }
    }

    TqdxXMLSerializer serializer;
    serializer.PlainStrings = m_document.LegacyHeader;
    if (const int r = root.Find("report"); r >= 0 && root.Items(r).Count() > 0) {
        serializer.Owner = &m_report;
        serializer.ReadObjectTree(m_report, &root.Items(r).Items(0));
    }

    // In a file cut short, the source pages and the dictionary count only when they end there.
    bool sourcesComplete = true;
    if (cutShort) {
        const int s = root.Find("sourcepages");
        const int d = root.Find("dictionary");
        sourcesComplete =
            s >= 0 && !root.Items(s).Truncated() && d >= 0 && !root.Items(d).Truncated();
    }
    if (const int s = root.Find("sourcepages"); s >= 0) {
        TqdxXMLItem& sources = root.Items(s);
        for (int i = 0; i < sources.Count(); ++i) {
            const TqdxXMLItem& element = sources.Items(i);
            std::unique_ptr<TqdxReportPage> page;
            if (element.Name.compare("TqdxDMPPage", Qt::CaseInsensitive) == 0) {
                page = std::make_unique<TqdxDMPPage>();
            } else {
                page = std::make_unique<TqdxReportPage>();
            }
            serializer.Owner = page.get();
            serializer.ReadObjectTree(*page, &element);
            for (TqdxComponent* object : page->AllObjects()) {
                object->NameBase = (object->StyleFlags & StoreComplete)
                                       ? object->ClassName()
                                       : serializer.ObjectTreeToText(*object);
            }
            m_templatePages.push_back(std::move(page));
            m_designPages.push_back(nullptr);
        }
        sources.Clear();
    }

    if (const int d = root.Find("dictionary"); d >= 0) {
        const TqdxXMLItem& dictionary = root.Items(d);
        for (int i = 0; i < dictionary.Count(); ++i) {
            const TqdxXMLItem& item = dictionary.Items(i);
            const QByteArray& text = item.Text;
            const QByteArray sourceName =
                text.size() > 7 ? text.mid(6, text.size() - 7) : QByteArray();
            const qsizetype dot = sourceName.indexOf('.');
            const QByteArray pagePart = (dot < 0 ? sourceName : sourceName.left(dot)).left(255);
            const QByteArray objectPart =
                dot < 0 ? QByteArray() : sourceName.mid(dot + 1).left(255);
            const qint64 pageIndex = XMLTextToInt(pagePart.mid(4));
            TqdxComponent* object = nullptr;
            if (pageIndex >= 0 && pageIndex < qint64(m_templatePages.size())) {
                object = m_templatePages[size_t(pageIndex)]->FindObject(objectPart);
            }
            m_dictionary.Add(item.Name, sourceName, object);
        }
    }

    if (const int p = root.Find("picturecache"); p >= 0) {
        m_pictures.LoadFromXML(root.Items(p));
        root.Items(p).Clear(); // saving writes the store's pictures again
    }

    if (cutShort) {
        keepCompletePages(sourcesComplete);
    }
}

void TqdxPreviewPages::keepCompletePages(bool sourcesComplete) {
    // A page stored whole stands alone; a numbered one needs its source page and the
    // dictionary, which a file cut short may have lost. The pages are kept up to the first one
    // that cannot be built.
    int kept = 0;
    while (kept < m_pagesElement->Count()) {
        const TqdxXMLItem& element = m_pagesElement->Items(kept);
        if (!isCompletePageElement(element) && (!sourcesComplete || !numberedSource(element))) {
            break;
        }
        ++kept;
    }
    if (kept == 0) {
        Clear();
        throw TqdxTruncatedXMLException();
    }
    while (m_pagesElement->Count() > kept) {
        m_pagesElement->Delete(m_pagesElement->Count() - 1);
    }
    m_loadWarnings.push_back(
        kept == 1 ? QStringLiteral("O arquivo está incompleto: só a primeira página pôde ser lida.")
                  : QStringLiteral("O arquivo está incompleto: só as %1 primeiras páginas "
                                   "puderam ser lidas.")
                        .arg(kept));
}

TqdxXMLItem& TqdxPreviewPages::section(QByteArrayView name) {
    TqdxXMLItem& item = m_document.Root().FindItem(name);
    fetch(item);
    return item;
}

void TqdxPreviewPages::fetch(TqdxXMLItem& item) {
    try {
        m_document.FetchItem(item);
    } catch (const std::exception&) {
        // The subtree was checked when the file was read, so only a lack of memory gets here:
        // the section is then taken as empty rather than failing every later use.
        item.Clear();
        item.Loaded = true;
    }
}

const TqdxXMLItem* TqdxPreviewPages::findSection(QByteArrayView name) const {
    const int i = m_document.Root().Find(name);
    if (i < 0) {
        return nullptr;
    }
    auto& self = const_cast<TqdxPreviewPages&>(*this);
    TqdxXMLItem& item = self.m_document.Root().Items(i);
    self.fetch(item);
    return &item;
}

void TqdxPreviewPages::prepareForSaving() {
    TqdxXMLItem& root = m_document.Root();
    if (root.Name.isEmpty()) {
        root.Name = "preparedreport";
    }
    TqdxXMLItem& report = root.FindItem("report");
    report.Clear();
    TqdxXMLItem& reportItem = report.Add();
    reportItem.Name = m_report.ClassName();
    reportItem.Text = "DotMatrixReport=\"" + QByteArray(m_report.DotMatrixReport ? "1" : "0") +
                      "\" PreviewOptions.OutlineVisible=\"" +
                      QByteArray(m_report.PreviewOptions.OutlineVisible ? "1" : "0") +
                      "\" PreviewOptions.OutlineWidth=\"" +
                      QByteArray::number(m_report.PreviewOptions.OutlineWidth) +
                      "\" ReportOptions.Name=\"" + EncodeXMLText(m_report.ReportOptions.Name) + '"';

    TqdxXMLItem& sources = root.FindItem("sourcepages");
    sources.Clear();
    for (const auto& page : m_templatePages) {
        TqdxXMLSerializer serializer;
        serializer.WriteObjectTree(*page, true, false, &sources.Add());
    }

    TqdxXMLItem& dictionary = root.FindItem("dictionary");
    dictionary.Clear();
    for (const auto& [alias, entry] : m_dictionary.Entries()) {
        TqdxXMLItem& item = dictionary.Add();
        item.Name = alias;
        item.Text = "name=\"" + entry.sourceName + '"';
    }

    m_pictures.SaveToXML(root.FindItem("picturecache"));
}

bool TqdxPreviewPages::SaveToStream(QIODevice& stream) {
    prepareForSaving();
    return m_document.SaveToStream(stream);
}

bool TqdxPreviewPages::SaveToFile(const QString& fileName, int* error) {
    prepareForSaving();
    return m_document.SaveToFile(fileName, error);
}

// ---- Building
// ------------------------------------------------------------------------------------

int TqdxPreviewPages::sourcePageIndex(const TqdxReportPage* designPage) const {
    for (size_t i = 0; i < m_designPages.size(); ++i) {
        if (m_designPages[i] == designPage && designPage) {
            return int(i);
        }
    }
    return -1;
}

void TqdxPreviewPages::RegisterSourcePage(TqdxReportPage& designPage) {
    auto copy = std::unique_ptr<TqdxReportPage>(
        static_cast<TqdxReportPage*>(TqdxComponent::Create(designPage.ClassInfo(), nullptr)));
    copy->Assign(designPage);
    copy->SetName(designPage.Name());
    const int pageNumber = int(m_templatePages.size());
    TqdxXMLSerializer serializer;

    struct Pending {
        TqdxComponent* design;
        TqdxComponent* parentCopy;
    };
    std::vector<Pending> stack;
    for (size_t i = designPage.Objects().size(); i-- > 0;) {
        stack.push_back({designPage.Objects()[i], copy.get()});
    }
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        TqdxComponent* design = item.design;
        if (!(design->StyleFlags & ShownInPreview)) {
            continue;
        }
        TqdxComponent* objectCopy = TqdxComponent::Create(design->ClassInfo(), item.parentCopy);
        objectCopy->Assign(*design);
        objectCopy->SetName(design->Name());
        design->SourceObject = objectCopy;
        objectCopy->SourceObject = design;
        const QByteArray base = qdx_cast<TqdxBand>(objectCopy)
                                    ? QByteArray("b")
                                    : objectCopy->NameBase.left(1).toLower();
        const QByteArray alias = m_dictionary.CreateUniqueAlias(base);
        m_dictionary.Add(alias, "Page" + QByteArray::number(pageNumber) + '.' + design->Name(),
                         objectCopy);
        if (auto* memo = qdx_cast<TqdxCustomMemoView>(objectCopy)) {
            memo->DataSet = nullptr;
            memo->DataField.clear();
        }
        objectCopy->NameBase = (objectCopy->StyleFlags & StoreComplete)
                                   ? objectCopy->ClassName()
                                   : serializer.ObjectTreeToText(*objectCopy);
        design->AliasKey = alias;
        objectCopy->AliasKey = alias;
        for (size_t i = design->Objects().size(); i-- > 0;) {
            stack.push_back({design->Objects()[i], objectCopy});
        }
    }
    m_templatePages.push_back(std::move(copy));
    m_designPages.push_back(&designPage);
}

void TqdxPreviewPages::AddSourceObject(TqdxComponent& object) {
    if (m_templatePages.empty()) {
        return;
    }
    TqdxReportPage& page = *m_templatePages.back();
    TqdxComponent* copy = TqdxComponent::Create(object.ClassInfo(), &page);
    copy->Assign(object);
    copy->CreateUniqueName();
    const QByteArray base =
        qdx_cast<TqdxBand>(copy) ? QByteArray("b") : copy->NameBase.left(1).toLower();
    const QByteArray alias = m_dictionary.CreateUniqueAlias(base);
    m_dictionary.Add(
        alias, "Page" + QByteArray::number(qint64(m_templatePages.size()) - 1) + '.' + copy->Name(),
        copy);
    TqdxXMLSerializer serializer;
    copy->NameBase =
        (copy->StyleFlags & StoreComplete) ? copy->ClassName() : serializer.ObjectTreeToText(*copy);
    object.SourceObject = copy;
    copy->SourceObject = &object;
    object.AliasKey = alias;
    copy->AliasKey = alias;
}

TqdxXMLItem& TqdxPreviewPages::logicalPagesElement() {
    return section("logicalpagenumbers");
}

void TqdxPreviewPages::BeginNewPage(TqdxReportPage* designPage) {
    if (m_report.EngineOptions.UseFileCache &&
        m_elementBytes > qint64(m_report.EngineOptions.MaxMemSize) * 1048576) {
        for (int i = Count() - 2; i >= 0; --i) {
            TqdxXMLItem& e = m_pagesElement->Items(i);
            if (!e.Loaded) {
                break;
            }
            try {
                m_document.ReleaseItem(e);
            } catch (const std::exception&) {
                break;
            }
        }
        m_elementBytes = 0;
    }
    if (!m_pagesElement) {
        m_pagesElement = &m_document.Root().FindItem("previewpages");
    }
    ++m_cursorPage;
    if (m_cursorPage >= Count() || AddPageMode) {
        TqdxXMLItem& page = m_pagesElement->Add();
        page.Name = "page" + QByteArray::number(sourcePageIndex(designPage));
        page.Unloadable = Count() > 2;
        AddPageMode = false;
        m_cursorPage = Count() - 1;
        IncLogicalPageNumber();
    }
}

void TqdxPreviewPages::IncLogicalPageNumber() {
    ++m_logicalCounter;
    TqdxXMLItem& logical = logicalPagesElement();
    while (logical.Count() < Count() - 1) {
        TqdxXMLItem& filler = logical.Add();
        filler.Name = "page";
    }
    TqdxXMLItem& item = logical.Add();
    item.Name = "page";
    item.Text = "n=\"" + QByteArray::number(m_logicalCounter) + '"';
}

void TqdxPreviewPages::CloseLogicalReport() {
    TqdxXMLItem& logical = logicalPagesElement();
    for (int i = std::min(m_cursorPage, logical.Count() - 1); i >= m_logicalPassStart && i >= 0;
         --i) {
        TqdxXMLItem& item = logical.Items(i);
        item.SetProp("t", QByteArray::number(m_logicalCounter));
        if (intProp(item, "n", 0) == 1) {
            break;
        }
    }
    m_logicalCounter = 0;
}

int TqdxPreviewPages::LogicalPageNumber() const {
    const TqdxXMLItem* logical = findSection("logicalpagenumbers");
    if (logical && m_cursorPage >= 0 && m_cursorPage < logical->Count()) {
        return intProp(logical->Items(m_cursorPage), "n", EnginePageNumber);
    }
    return EnginePageNumber;
}

int TqdxPreviewPages::LogicalTotalPages() const {
    const TqdxXMLItem* logical = findSection("logicalpagenumbers");
    if (logical && m_cursorPage >= 0 && m_cursorPage < logical->Count()) {
        return intProp(logical->Items(m_cursorPage), "t", 0);
    }
    return EngineTotalPages;
}

void TqdxPreviewPages::addObjectElement(TqdxComponent& object, TqdxXMLItem& parentElement) {
    struct Pending {
        TqdxComponent* object;
        TqdxXMLItem* parent;
    };
    std::vector<Pending> stack{{&object, &parentElement}};
    const TqdxXMLItem& pageElement = m_pagesElement->Items(m_cursorPage);
    const bool completePage =
        pageElement.Name.compare("TqdxReportPage", Qt::CaseInsensitive) == 0 ||
        pageElement.Name.compare("TqdxDMPPage", Qt::CaseInsensitive) == 0;
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        TqdxComponent& o = *item.object;
        if (!o.Visible() || !(o.StyleFlags & ShownInPreview)) {
            continue;
        }
        if (auto* picture = qdx_cast<TqdxPictureView>(&o); picture && picture->ImageChanged) {
            m_pictures.StorePicture(*picture);
        }
        TqdxXMLItem& element = item.parent->Add();
        QByteArray text;
        TqdxComponent* source = o.SourceObject;
        if (!source || completePage) {
            element.Name = o.ClassName();
            text = o.CompleteDeltaText(nullptr);
        } else {
            element.Name = o.AliasKey;
            text =
                (o.StyleFlags & StoreComplete) ? o.CompleteDeltaText(source) : o.DeltaText(source);
        }
        element.Text = text.startsWith(' ') ? text.mid(1) : text;
        m_elementBytes += element.Name.size() + element.Text.size() + 64;
        for (size_t i = o.Objects().size(); i-- > 0;) {
            stack.push_back({o.Objects()[i], &element});
        }
    }
}

void TqdxPreviewPages::AddObject(TqdxComponent& object) {
    if (m_cursorPage < 0 || m_cursorPage >= Count()) {
        return;
    }
    addObjectElement(object, m_pagesElement->Items(m_cursorPage));
}

void TqdxPreviewPages::DetachObjects(int position) {
    if (m_cursorPage < 0 || m_cursorPage >= Count()) {
        return;
    }
    TqdxXMLItem& page = m_pagesElement->Items(m_cursorPage);
    TqdxXMLItem& cut = m_document.Root().FindItem("cutted");
    while (position >= 0 && position < page.Count()) {
        cut.AddItem(page.Items(position));
    }
}

void TqdxPreviewPages::AttachObjects(double x, double y) {
    TqdxXMLItem& root = m_document.Root();
    const int c = root.Find("cutted");
    if (c < 0 || m_cursorPage < 0 || m_cursorPage >= Count()) {
        return;
    }
    TqdxXMLItem& cut = root.Items(c);
    TqdxXMLItem& page = m_pagesElement->Items(m_cursorPage);
    if (cut.Count() > 0) {
        const double dx = x - floatProp(cut.Items(0), "l");
        const double dy = y - floatProp(cut.Items(0), "t");
        while (cut.Count() > 0) {
            TqdxXMLItem& item = cut.Items(0);
            item.SetProp("l", FloatToXMLText(floatProp(item, "l") + dx));
            item.SetProp("t", FloatToXMLText(floatProp(item, "t") + dy));
            page.AddItem(item);
        }
    }
    root.Delete(root.Find("cutted"));
}

// ---- Editing
// ---------------------------------------------------------------------------------------

void TqdxPreviewPages::ReplacePage(int index, TqdxReportPage& page) {
    if (index < 0 || index >= Count()) {
        return;
    }
    TqdxXMLItem& element = m_pagesElement->Items(index);
    if (!element.Loaded) {
        m_document.FetchItem(element);
    }
    element.Clear();
    TqdxXMLSerializer serializer;
    serializer.WriteObjectTree(page, true, false, &element);
    element.Unloadable = false;
    element.Loaded = true;
    ClearCache();
}

void TqdxPreviewPages::InsertBlankPage(int index) {
    if (index < 0 || index > Count() || Count() == 0) {
        return;
    }
    auto item = std::make_unique<TqdxXMLItem>();
    item->Name = m_pagesElement->Items(std::min(index, Count() - 1)).Name;
    m_pagesElement->InsertItem(index, std::move(item));
    ClearCache();
}

void TqdxPreviewPages::RemovePage(int index) {
    if (Count() < 2 || index < 0 || index >= Count()) {
        return;
    }
    m_pagesElement->Delete(index);
    ClearCache();
}

void TqdxPreviewPages::AppendFromReport(TqdxReport& other) {
    TqdxPreviewPages& from = other.PreviewPages();
    if (&from == this) {
        return;
    }
    if (!m_pagesElement) {
        m_pagesElement = &m_document.Root().FindItem("previewpages");
    }
    const int shift = Count();
    for (int i = 0; i < from.Count(); ++i) {
        TqdxReportPage* page = from.PageObject(i);
        if (!page) {
            continue;
        }
        TqdxXMLSerializer serializer;
        serializer.WriteObjectTree(*page, true, false, &m_pagesElement->Add());
    }
    if (const TqdxXMLItem* fromAnchors = from.findSection("anchors")) {
        TqdxXMLItem& anchors = section("anchors");
        const TqdxXMLItem& source = *fromAnchors;
        for (int i = 0; i < source.Count(); ++i) {
            TqdxXMLItem& copy = anchors.Add();
            copy.Name = source.Items(i).Name;
            copy.Text = source.Items(i).Text;
            copy.SetProp("page", QByteArray::number(intProp(copy, "page", 0) + shift));
        }
    }
    if (const TqdxXMLItem* fromOutline = from.findSection("outline")) {
        TqdxXMLItem& outline = section("outline");
        struct Pending {
            const TqdxXMLItem* source;
            TqdxXMLItem* target;
        };
        std::vector<Pending> stack;
        for (int i = fromOutline->Count() - 1; i >= 0; --i) {
            stack.push_back({&fromOutline->Items(i), &outline});
        }
        while (!stack.empty()) {
            Pending p = stack.back();
            stack.pop_back();
            TqdxXMLItem& copy = p.target->Add();
            copy.Name = p.source->Name;
            copy.Text = p.source->Text;
            copy.SetProp("page", QByteArray::number(intProp(copy, "page", 0) + shift));
            for (int i = p.source->Count() - 1; i >= 0; --i) {
                stack.push_back({&p.source->Items(i), &copy});
            }
        }
    }
    ClearCache();
}

// ---- Anchors
// ---------------------------------------------------------------------------------------

void TqdxPreviewPages::AddAnchor(const QByteArray& text) {
    TqdxXMLItem& item = section("anchors").Add();
    item.Name = "item";
    item.Text = "text=\"" + EncodeXMLText(text) + "\" page=\"" + QByteArray::number(m_cursorPage) +
                "\" top=\"" + QByteArray::number(roundEven(CurrentY)) + '"';
}

TqdxXMLItem* TqdxPreviewPages::FindAnchor(QByteArrayView text) const {
    const TqdxXMLItem* found = findSection("anchors");
    if (!found) {
        return nullptr;
    }
    const TqdxXMLItem& anchors = *found;
    for (int i = anchors.Count() - 1; i >= 0; --i) {
        try {
            if (anchors.Items(i).Prop("text").compare(text, Qt::CaseInsensitive) == 0) {
                return &anchors.Items(i);
            }
        } catch (const std::exception&) {
        }
    }
    return nullptr;
}

int TqdxPreviewPages::GetAnchorPage(QByteArrayView text) const {
    const TqdxXMLItem* anchor = FindAnchor(text);
    return anchor ? intProp(*anchor, "page", 0) + 1 : 1;
}

void TqdxPreviewPages::ShiftAnchors(int fromIndex, int newTop) {
    if (m_document.Root().Find("anchors") < 0) {
        return;
    }
    TqdxXMLItem& anchors = section("anchors");
    if (fromIndex + 1 >= anchors.Count() || fromIndex + 1 < 0) {
        return;
    }
    const int amount = newTop - intProp(anchors.Items(fromIndex + 1), "top", 0);
    for (int i = fromIndex + 1; i < anchors.Count(); ++i) {
        TqdxXMLItem& item = anchors.Items(i);
        item.SetProp("page", QByteArray::number(intProp(item, "page", 0) + 1));
        item.SetProp("top", QByteArray::number(intProp(item, "top", 0) + amount));
    }
}

} // namespace zr::reportlib
