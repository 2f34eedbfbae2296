#include "qdx_res.h"

#include "platform/text/code_page_conversion.h"
#include "reportlib/document/qdx_unicode_utils.h"
#include "reportlib/document/qdx_xml.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <exception>

// The string documents, the packed icon strip and the help page live in this static library's
// resources, which must be registered once before use.
static void initReportLibResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(reportlib);
        return true;
    }();
    (void)done;
}

namespace zr::reportlib {

namespace {

const char* const kMainDocument = ":/reportlib/strings_main.xml";
const char* const kExportDocument = ":/reportlib/strings_exports.xml";
const char* const kPreviewStrip = ":/reportlib/preview_buttons.bin";
const char* const kHelpPage = ":/reportlib/help/index.html";

// Ceiling for an unpacked strip: far above any toolbar strip, low enough to refuse a bomb.
constexpr qsizetype kMaxUnpackedBitmap = 16 * 1024 * 1024;

TqdxResources* g_instance = nullptr;

QString stripBang(QString s) {
    if (s.startsWith(QLatin1Char('!'))) {
        s.remove(0, 1);
    }
    return s;
}

bool codePageUsable(unsigned codePage) {
    try {
        (void)codepages::fromUnicode(codePage, u"a");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// zlib stream of a gzip member as described in UnpackBitmap, or empty.
QByteArray inflateMember(QByteArrayView m) {
    const auto byte = [&](qsizetype i) { return quint8(m[i]); };
    if (m.size() < 18 || byte(0) != 0x1F || byte(1) != 0x8B || byte(2) != 0x08) {
        return {};
    }
    const quint8 flags = byte(3);
    const qsizetype end = m.size() - 8; // CRC-32 and length follow the data
    qsizetype pos = 10;
    if (flags & 4) { // extra field
        if (pos + 2 > end) {
            return {};
        }
        pos += 2 + qsizetype(byte(pos) | (byte(pos + 1) << 8));
    }
    for (const quint8 flag : {quint8(8), quint8(16)}) { // name, comment
        if (flags & flag) {
            while (pos < end && byte(pos) != 0) {
                ++pos;
            }
            ++pos;
        }
    }
    if (flags & 2) { // header CRC
        pos += 2;
    }
    if (pos > end) {
        return {};
    }
    QByteArray stream;
    stream.reserve(end - pos + 6);
    stream.append(char(0x78)).append(char(0xDA));
    stream.append(m.sliced(pos, end - pos));
    stream.append(m.sliced(4, 4)); // Adler-32, most significant byte first
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return {};
    }
    QByteArray out;
    char chunk[16384];
    z.next_in = reinterpret_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = uInt(sizeof chunk);
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            break;
        }
        out.append(chunk, qsizetype(sizeof chunk - z.avail_out));
        if (out.size() > kMaxUnpackedBitmap) {
            rc = Z_DATA_ERROR;
            break;
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
            rc = Z_BUF_ERROR; // input ended before the stream did
            break;
        }
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : QByteArray();
}

// A device-independent bitmap without its file header gets one, so that Qt can read it.
QByteArray withFileHeader(const QByteArray& dib) {
    if (dib.startsWith("BM") || dib.size() < 40) {
        return dib;
    }
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(dib.constData() + at); };
    const auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(dib.constData() + at); };
    const quint32 headerSize = u32(0);
    if (headerSize < 40 || headerSize > quint32(dib.size())) {
        return dib;
    }
    const quint16 bitCount = u16(14);
    const quint32 compression = u32(16);
    quint32 colours = u32(32);
    if (colours == 0 && bitCount <= 8) {
        colours = 1u << bitCount;
    }
    quint64 offset = 14 + quint64(headerSize) + quint64(colours) * 4;
    if (compression == 3 && headerSize == 40) { // bit-field masks follow the header
        offset += 12;
    }
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(quint32(std::min<quint64>(offset, 0xFFFFFFFFu)), file.data() + 10);
    return file + dib;
}

void dropGlobalIcons() {
    if (g_instance) {
        g_instance->ReleaseIcons();
    }
}

} // namespace

TqdxResources::TqdxResources() = default;
TqdxResources::~TqdxResources() = default;

std::size_t TqdxResources::find(const QString& name, bool& found) const {
    const auto it = std::lower_bound(
        m_names.begin(), m_names.end(), name, [](const Entry& e, const QString& n) {
            return QString::compare(e.name, n, Qt::CaseInsensitive) < 0;
        });
    found = it != m_names.end() && QString::compare(it->name, name, Qt::CaseInsensitive) == 0;
    return std::size_t(it - m_names.begin());
}

QString TqdxResources::lookup(QAnyStringView name) const {
    const QString key = name.toString();
    std::lock_guard lock(m_mutex);
    bool found = false;
    const std::size_t at = find(key, found);
    return stripBang(found ? m_texts[std::size_t(m_names[at].textIndex)] : key);
}

QByteArray TqdxResources::Get(QAnyStringView name) const {
    const QString text = lookup(name);
    try {
        return NarrowText(text, 1, CodePage());
    } catch (const std::exception&) {
        return text.toLatin1(); // the code page was checked when loaded; not reached
    }
}

QByteArray TqdxResources::Get(int number) const {
    return Get(QString::number(number));
}

QString TqdxResources::Text(QAnyStringView name) const {
    return lookup(name);
}

QString TqdxResources::Text(int number) const {
    return Text(QString::number(number));
}

bool TqdxResources::Contains(QAnyStringView name) const {
    const QString key = name.toString();
    std::lock_guard lock(m_mutex);
    bool found = false;
    (void)find(key, found);
    return found;
}

void TqdxResources::addLocked(const QString& name, const QString& text) {
    bool found = false;
    const std::size_t at = find(name, found);
    if (found) {
        m_texts[std::size_t(m_names[at].textIndex)] = text;
        return;
    }
    m_texts.push_back(text);
    m_names.insert(m_names.begin() + std::ptrdiff_t(at), Entry{name, int(m_texts.size() - 1)});
}

void TqdxResources::Add(QAnyStringView name, const QString& text) {
    const QString key = name.toString();
    std::lock_guard lock(m_mutex);
    addLocked(key, text);
}

bool TqdxResources::loadDocument(QIODevice& stream) {
    TqdxXMLDocument doc;
    try {
        doc.LoadFromStream(stream);
    } catch (const std::exception&) {
        return false;
    }
    const TqdxXMLItem& root = doc.Root();
    if (root.Name != "Resources") {
        return false;
    }
    std::vector<std::pair<QString, QString>> entries;
    entries.reserve(std::size_t(root.Count()));
    for (int i = 0; i < root.Count(); ++i) {
        const TqdxXMLItem& item = root.Items(i);
        if (item.Name != "StrRes") {
            continue;
        }
        try {
            // Prop resolves the character references of the value once.
            entries.emplace_back(QString::fromUtf8(item.Prop("Name")),
                                 QString::fromUtf8(item.Prop("Text")));
        } catch (const std::exception&) {
            // A malformed "&#...;" spoils this entry only.
        }
    }
    bool numberOk = false;
    QByteArray codePageText;
    try {
        codePageText = root.Prop("CodePage").trimmed();
    } catch (const std::exception&) {
    }
    const int codePage = codePageText.toInt(&numberOk);
    const bool codePageOk = numberOk && codePage > 0 && codePageUsable(unsigned(codePage));

    std::lock_guard lock(m_mutex);
    if (codePageOk) {
        m_codePage = unsigned(codePage);
    }
    for (const auto& [name, text] : entries) {
        addLocked(name, text);
    }
    return true;
}

bool TqdxResources::LoadFromString(QByteArrayView xml) {
    QByteArray bytes = xml.toByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return loadDocument(buffer);
}

bool TqdxResources::LoadFromStream(QIODevice& stream) {
    return loadDocument(stream);
}

unsigned TqdxResources::CodePage() const {
    std::lock_guard lock(m_mutex);
    return m_codePage;
}

int TqdxResources::Count() const {
    std::lock_guard lock(m_mutex);
    return int(m_names.size());
}

QImage TqdxResources::UnpackBitmap(QByteArrayView member) {
    const QByteArray bitmap = inflateMember(member);
    if (bitmap.isEmpty()) {
        return {};
    }
    return QImage::fromData(withFileHeader(bitmap), "BMP");
}

QList<QImage> TqdxResources::CutStrip(const QImage& strip, int cell) {
    QList<QImage> cells;
    if (strip.isNull() || cell <= 0) {
        return cells;
    }
    const QImage source = strip.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y + cell <= source.height(); y += cell) {
        for (int x = 0; x + cell <= source.width(); x += cell) {
            QImage icon = source.copy(x, y, cell, cell);
            const QRgb key = icon.pixel(0, cell - 1) & 0x00FFFFFFu;
            for (int row = 0; row < cell; ++row) {
                auto* line = reinterpret_cast<QRgb*>(icon.scanLine(row));
                for (int col = 0; col < cell; ++col) {
                    if ((line[col] & 0x00FFFFFFu) == key) {
                        line[col] = 0;
                    }
                }
            }
            cells.append(icon);
        }
    }
    return cells;
}

const QList<QIcon>& TqdxResources::PreviewIcons() {
    if (m_previewIconsTried || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return m_previewIcons;
    }
    m_previewIconsTried = true;
    initReportLibResources();
    QFile file(QString::fromLatin1(kPreviewStrip));
    if (!file.open(QIODevice::ReadOnly)) {
        return m_previewIcons;
    }
    for (const QImage& image : CutStrip(UnpackBitmap(file.readAll()), kIconSize)) {
        m_previewIcons.append(QIcon(QPixmap::fromImage(image)));
    }
    if (this == g_instance) {
        // Pixmaps must not outlive the application object.
        qAddPostRoutine(dropGlobalIcons);
    }
    return m_previewIcons;
}

QIcon TqdxResources::PreviewIcon(int number) {
    const QList<QIcon>& icons = PreviewIcons();
    return number >= 0 && number < icons.size() ? icons[number] : QIcon();
}

void TqdxResources::ReleaseIcons() {
    m_previewIcons.clear();
    m_previewIconsTried = false;
}

QString TqdxResources::HelpFilePath() {
    initReportLibResources();
    QFile source(QString::fromLatin1(kHelpPage));
    if (!source.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray page = source.readAll();
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty()) {
        base = QDir::tempPath();
    }
    const QString folder = base + QStringLiteral("/reportlib-help");
    if (!QDir().mkpath(folder)) {
        return {};
    }
    const QString path = folder + QStringLiteral("/index.html");
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == page) {
        return path;
    }
    existing.close();
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(page) != page.size() || !out.commit()) {
        return {};
    }
    return path;
}

bool TqdxResources::Help(QWidget* window) {
    (void)window;
    const QString path = HelpFilePath();
    return !path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

TqdxResources& qdxResources() {
    static TqdxResources* const instance = [] {
        static TqdxResources table;
        initReportLibResources();
        for (const char* name : {kMainDocument, kExportDocument}) {
            QFile file(QString::fromLatin1(name));
            if (file.open(QIODevice::ReadOnly)) {
                table.LoadFromStream(file);
            }
        }
        g_instance = &table;
        return &table;
    }();
    return *instance;
}

} // namespace zr::reportlib
