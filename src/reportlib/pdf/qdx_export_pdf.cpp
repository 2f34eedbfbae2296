#include "qdx_export_pdf.h"

#include "pdfwriter/pdf_archive.h"
#include "pdfwriter/pdf_format.h"
#include "pdfwriter/pdf_object_writer.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/pdf_page_content.h"
#include "reportlib/pdf/writer/qdx_pdf_font.h"
#include "reportlib/render/view_painter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <new>
#include <cmath>
#include <cstdio>
#include <vector>

namespace zr::reportlib::pdf {

namespace {

// The header line: PDF 1.5 as the standard handler needs, 2.0 for its AES-256 revision.
QByteArray headerFor(TqdxPDFEncryption method) {
    return method == TqdxPDFEncryption::AES_256 ? "%PDF-2.0" : "%PDF-1.5";
}

QByteArray ref(int number) {
    return QByteArray::number(number) + " 0 R";
}

// A colour component of the page background: 0, 1, or "0." and two digits of c × 100 / 256.
QByteArray component(int c) {
    if (c <= 0) {
        return "0";
    }
    if (c >= 255) {
        return "1";
    }
    char digits[8];
    std::snprintf(digits, sizeof digits, "0.%02d", c * 100 / 256);
    return digits;
}

QByteArray colourOf(int color) {
    const QColor c = render::toQColor(color);
    return component(c.red()) + ' ' + component(c.green()) + ' ' + component(c.blue());
}

int roundToInt(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(std::lround(std::clamp(v, -1e9, 1e9)));
}

// Every character printable ASCII, and the parentheses nest: a literal string can hold it.
bool literalAddress(const QString& address) {
    int depth = 0;
    for (const QChar c : address) {
        const char16_t u = c.unicode();
        if (u < 32 || u > 126) {
            return false;
        }
        if (u == '(') {
            ++depth;
        } else if (u == ')' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

// The address as a URI's bytes: printable ASCII as it is, everything else as the
// percent-encoded bytes of its UTF-8 form (an address is an ASCII string in PDF).
QByteArray addressBytes(const QString& address) {
    QByteArray out;
    const QByteArray utf8 = address.toUtf8();
    for (const char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        if (b > 32 && b < 127) {
            out += ch;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", unsigned(b));
            out += escape;
        }
    }
    return out;
}

} // namespace

double PdfPageSide(double points) {
    if (std::isnan(points)) {
        return kMinPdfPageSide;
    }
    return std::clamp(points, kMinPdfPageSide, kMaxPdfPageSide);
}

QByteArray LinkAddressString(const QString& address, const PdfEncryptor* encryptor,
                             int objectNumber) {
    const bool literal = literalAddress(address);
    // A blank is no character of a URI: it is percent-encoded in either form.
    const QByteArray bytes =
        literal ? address.toLatin1().replace(" ", "%20") : addressBytes(address);
    if (encryptor) {
        return LiteralString(bytes, encryptor, objectNumber);
    }
    if (literal) {
        QByteArray out = bytes;
        out.replace("\\", "\\\\");
        return '(' + out + ')';
    }
    return '<' + bytes.toHex().toUpper() + '>';
}

// Everything one export holds from BeginOutput to EndOutput.
struct TqdxPDFExport::Document {
    PdfObjectWriter writer;
    TqdxPDFFontList fonts;
    PdfPageState state;
    std::unique_ptr<TqdxPDFSecurity> security;
    QByteArray id;
    bool pageOpen = false;
    bool drawFailed = false; // an object of a page could not be drawn
    int expectedPages = 0;
    // Per exported page: its index in the report, its height in points, its page object and
    // the top offset of its coordinate mapping in points (the top margin × 0.05).
    struct Page {
        int index;
        double height;
        int object;
        double oy;
    };
    std::vector<Page> pages;
    // Tagged output: per page that has elements, its page object and its elements in reading
    // order (the page's /StructParents is its place in this list).
    struct Element {
        int mcid;
        bool figure;
        QString alt;
    };
    struct TaggedPage {
        int object;
        int mcids;
        std::vector<Element> elements;
    };
    std::vector<TaggedPage> taggedPages;
    double pageHeight = 0;
    bool paperClamped = false; // a page's paper was brought within the PDF's limits

    const PdfEncryptor* encryptor() const { return security.get(); }
    bool ascending = true; // the pages came in ascending order (as the driver hands them)
    // Report page `index` among the exported pages, null when it was not exported.
    const Page* exported(int index) const {
        if (!ascending) {
            const auto found = std::find_if(pages.begin(), pages.end(),
                                            [&](const Page& p) { return p.index == index; });
            return found != pages.end() ? &*found : nullptr;
        }
        const auto it = std::lower_bound(pages.begin(), pages.end(), index,
                                         [](const Page& p, int i) { return p.index < i; });
        return it != pages.end() && it->index == index ? &*it : nullptr;
    }
};

TqdxPDFExport::TqdxPDFExport() : Creator(QCoreApplication::applicationName()) {}

QString TqdxPDFExport::producer() const {
    // The file always says what wrote it.
    return Producer.isEmpty() ? QStringLiteral("ZeralVisualizador") : Producer;
}

TqdxPDFExport::~TqdxPDFExport() = default;

void TqdxPDFExport::warn(const QString& text) {
    Warnings.append(text);
    if (Report && Report->UserInteraction) {
        Report->UserInteraction->message(MessageKind::Warning, text);
    }
}

void TqdxPDFExport::fail(const QString& text, int systemError) {
    ErrorText = text;
    SystemError = systemError;
    m_succeeded = false;
}

QByteArray TqdxPDFExport::dateString() const {
    QDateTime when = FixedCreationTime.isValid() ? FixedCreationTime : CreationTime;
    if (!when.isValid()) {
        when = QDateTime::currentDateTime();
    }
    return "D:" + when.toLocalTime().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
}

bool TqdxPDFExport::BeginOutput() {
    m_doc.reset();
    m_succeeded = false;
    m_pagesWritten = 0;
    ErrorText.clear();
    SystemError = 0;
    Warnings.clear();
    if (FileName.isEmpty() && !Output) {
        return false;
    }
    m_path = Output ? QString() : FileName;
    if (!Output && QFileInfo(FileName).fileName() == FileName && !DefaultPath.isEmpty()) {
        m_path = QDir(DefaultPath).filePath(FileName);
    }
    const bool encrypted = !OwnerPassword.isEmpty() || !UserPassword.isEmpty();

    auto doc = std::make_unique<Document>();
    doc->id = FixedDocumentId.size() == 32 ? FixedDocumentId.toLower() : NewDocumentId();
    if (PdfA && encrypted) {
        fail(QStringLiteral("Um PDF/A não pode ser protegido por senha."));
        throw TqdxPDFExportError(ErrorText.toStdString());
    }
    if (PdfA || PdfUA) {
        EmbeddedFonts = true; // an archival or accessible file carries every font it uses
    }
    if (PdfUA && Title.trimmed().isEmpty()) {
        Title = QFileInfo(m_path.isEmpty() ? FileName : m_path).completeBaseName();
    }
    if (encrypted) {
        if (OwnerPassword.isEmpty()) {
            OwnerPassword = UserPassword;
        }
        EmbeddedFonts = EmbedFontsIfProtected;
        try {
            doc->security =
                TqdxPDFSecurity::Prepare(Encryption, UserPassword, OwnerPassword,
                                         TqdxPDFSecurity::PermissionValue(
                                             ProtectionFlags & ePrint, ProtectionFlags & eModify,
                                             ProtectionFlags & eCopy, ProtectionFlags & eAnnot),
                                         doc->id);
        } catch (const std::exception& e) {
            fail(QString::fromUtf8(e.what()));
            throw TqdxPDFExportError(e.what());
        }
    }
    if (Output) {
        doc->writer.open(std::move(Output));
    } else if (!doc->writer.open(m_path)) {
        fail(QStringLiteral("Erro na gravação do arquivo...\r\rArquivo: ") + m_path +
                 QStringLiteral("\r") + doc->writer.errorString(),
             doc->writer.error());
        throw TqdxPDFExportError(ErrorText.toStdString());
    }

    // How many pages the driver will hand over, to know at the end whether it finished.
    if (Report && !PageOrder.empty()) {
        doc->expectedPages = int(PageOrder.size());
    } else if (Report) {
        // The driver has refused a text that is no selection already.
        const std::optional<PageSelection> selection = PageSelection::parse(PageNumbers);
        doc->expectedPages =
            selection ? int(selection->pages(Report->PreviewPages().Count()).size()) : 0;
    }

    PdfPageState& s = doc->state;
    s.writer = &doc->writer;
    s.encryptor = doc->encryptor();
    s.fonts = &doc->fonts;
    s.printOptimized = PrintOptimized;
    s.background = Background;
    s.htmlTags = HTMLTags;
    s.tagged = Tagged && !FormOutput;
    s.exportNotPrintable = ExportNotPrintable;
    s.quality = std::clamp(Quality, 1, 100);
    s.pageCount = Report ? Report->PreviewPages().Count() : -1;
    TqdxReport* report = Report;
    s.findAnchor = [report](const QString& name, int& page, double& top) {
        if (!report) {
            return false;
        }
        const TqdxXMLItem* anchor = report->PreviewPages().FindAnchor(codepages::toCp1252(name));
        if (!anchor) {
            return false;
        }
        bool okPage = false;
        page = anchor->Prop("page").toInt(&okPage);
        top = anchor->Prop("top").toDouble();
        return okPage;
    };

    doc->writer.setLineBeforeEveryEndstream(PdfA);
    doc->writer.setObjectStreams(ObjectStreams && !doc->security);
    if (PdfA) {
        doc->writer.line("%PDF-1.7");
        doc->writer.line("%\xE2\xE3\xCF\xD3"); // bytes above 127: the file is binary
    } else {
        doc->writer.line(headerFor(doc->security ? Encryption : TqdxPDFEncryption::RC4_128));
    }
    doc->writer.reserve(); // object 1: the page tree
    m_doc = std::move(doc);
    return true;
}

void TqdxPDFExport::BeginPageOutput(TqdxReportPage& page, int index) {
    if (!m_doc) {
        return;
    }
    Document& d = *m_doc;
    PdfPageState& s = d.state;
    s.resetPage();
    s.background = Background; // may change between pages (printing follows each page's own)
    d.pageOpen = true;
    if (!d.pages.empty() && index <= d.pages.back().index) {
        d.ascending = false;
    }
    s.width = page.Width() * 0.75;
    s.height = page.Height() * 0.75;
    if (const double w = PdfPageSide(s.width), h = PdfPageSide(s.height);
        w != s.width || h != s.height) {
        if (!d.paperClamped) {
            d.paperClamped = true;
            warn(QStringLiteral("O papel da página %1 (%2 x %3 pontos) está fora dos limites do "
                                "PDF (de %4 a %5 pontos por lado): a página foi gravada com "
                                "%6 x %7 pontos.")
                     .arg(index + 1)
                     .arg(s.width, 0, 'g', 6)
                     .arg(s.height, 0, 'g', 6)
                     .arg(kMinPdfPageSide)
                     .arg(kMaxPdfPageSide)
                     .arg(w, 0, 'g', 6)
                     .arg(h, 0, 'g', 6));
        }
        s.width = w;
        s.height = h;
    }
    d.pageHeight = s.height;
    s.ox = page.LeftMargin * 0.05;
    s.oy = page.TopMargin * 0.05;
    d.pages.push_back({index, d.pageHeight, 0, s.oy});
    if (page.Color() != clTransparent) {
        constexpr double mm = 72 / 25.4;
        const double l = page.LeftMargin * mm;
        const double r = s.width - page.RightMargin * mm;
        const double t = s.height - page.TopMargin * mm;
        const double b = page.BottomMargin * mm;
        const QByteArray colour = colourOf(page.Color());
        if (s.tagged) {
            s.content += "/Artifact BMC\r\n";
        }
        s.content += "0 w\r\n";
        s.content += colour + " RG\r\n";
        s.content += colour + " rg\r\n";
        s.content += Num2(l) + ' ' + Num2(b) + " m\r\n";
        s.content += Num2(r) + ' ' + Num2(b) + " l\r\n";
        s.content += Num2(r) + ' ' + Num2(t) + " l\r\n";
        s.content += Num2(l) + ' ' + Num2(t) + " l\r\n";
        s.content += "B\r\n";
        if (s.tagged) {
            s.content += "EMC\r\n";
        }
    }
}

void TqdxPDFExport::EmitObject(TqdxComponent& object) {
    if (!m_doc || !m_doc->pageOpen) {
        return;
    }
    const auto* view = qdx_cast<TqdxView>(&object);
    if (!view || (!view->Printable && !ExportNotPrintable)) {
        return;
    }
    PdfPageState& s = m_doc->state;
    const qsizetype before = s.content.size();
    try {
        EmitView(s, object);
    } catch (...) {
        // Keep the page's operators whole: what the failed view began is dropped.
        s.content.truncate(before);
        m_doc->drawFailed = true;
        throw;
    }
}

void TqdxPDFExport::writeStream(int number, const QByteArray& content, const QByteArray& dict) {
    PdfObjectWriter& w = m_doc->writer;
    QByteArray data = Compressed ? Deflate(content) : content;
    if (m_doc->security) {
        data = m_doc->security->Encrypt(number, data);
    }
    const QByteArray more = dict.isEmpty() ? QByteArray() : dict + ' ';
    if (Compressed) {
        w.line("<< " + more + "/Filter /FlateDecode /Length " + QByteArray::number(data.size()) +
               " >>");
    } else {
        w.line("<< " + more + "/Length " + QByteArray::number(data.size()) + " >>");
    }
    w.line("stream");
    w.raw(data);
    if (Compressed || w.lineBeforeEveryEndstream()) {
        w.line("");
    }
    w.line("endstream");
    w.endObject();
}

void TqdxPDFExport::EndPageOutput(TqdxReportPage&, int) {
    if (!m_doc || !m_doc->pageOpen) {
        return;
    }
    if (FormOutput) {
        endForm();
        return;
    }
    Document& d = *m_doc;
    PdfPageState& s = d.state;
    PdfObjectWriter& w = d.writer;
    d.pageOpen = false;

    const int contents = w.beginObject();
    writeStream(contents, s.content);
    d.fonts.ReserveObjects(w);

    const int pageObject = w.beginObject();
    d.pages.back().object = pageObject;
    w.line("<<");
    w.line("/Type /Page");
    w.line("/Parent 1 0 R");
    w.line("/MediaBox [0 0 " + Num2(s.width) + ' ' + Num2(s.height) + " ]");
    if (!s.annots.empty()) {
        w.line("/Annots [");
        for (const int a : s.annots) {
            w.line(ref(a));
        }
        w.line("]");
    }
    w.line("/Resources <<");
    w.line(fontResources());
    if (const QByteArray images = imageResources(); !images.isEmpty()) {
        w.line(images);
    }
    w.line("/ProcSet [/PDF /Text /ImageC ]");
    w.line(">>");
    w.line("/Contents " + ref(contents));
    if (!s.structItems.empty()) {
        w.line("/StructParents " + QByteArray::number(d.taggedPages.size()));
        // Bands top to bottom, the views of a band left to right, then top to bottom.
        std::stable_sort(s.structItems.begin(), s.structItems.end(),
                         [](const PdfStructItem& a, const PdfStructItem& b) {
                             return std::tie(a.bandTop, a.left, a.top) <
                                    std::tie(b.bandTop, b.left, b.top);
                         });
        Document::TaggedPage tagged{pageObject, int(s.structItems.size()), {}};
        tagged.elements.reserve(s.structItems.size());
        for (PdfStructItem& item : s.structItems) {
            tagged.elements.push_back({item.mcid, item.figure, std::move(item.alt)});
        }
        d.taggedPages.push_back(std::move(tagged));
    }
    w.line(">>");
    w.endObject();
    ++m_pagesWritten;
    s.resetPage();
}

int TqdxPDFExport::writeStructTree() {
    Document& d = *m_doc;
    if (d.taggedPages.empty()) {
        return 0;
    }
    PdfObjectWriter& w = d.writer;
    const PdfEncryptor* enc = d.encryptor();
    const int root = w.reserve();
    const int document = w.reserve();
    const int parentTree = w.reserve();
    QByteArray kids;
    QByteArray nums;
    const QByteArray parent = " /P " + ref(document) + " /Pg ";
    QByteArray element;
    for (std::size_t p = 0; p < d.taggedPages.size(); ++p) {
        Document::TaggedPage& page = d.taggedPages[p];
        const QByteArray onPage = ref(page.object) + " /K ";
        std::vector<int> byMcid(std::size_t(page.mcids), 0);
        for (const Document::Element& e : page.elements) {
            const int number = w.beginObject();
            element.clear();
            element += e.figure ? "<< /S /Figure" : "<< /S /P";
            element += parent;
            element += onPage;
            element += QByteArray::number(e.mcid);
            if (e.figure) {
                element += " /Alt " + TextString(e.alt, enc, number);
            }
            element += " >>";
            w.line(element);
            w.endObject();
            kids += QByteArray::number(number);
            kids += " 0 R ";
            if (e.mcid >= 0 && e.mcid < page.mcids) {
                byMcid[std::size_t(e.mcid)] = number;
            }
        }
        nums += QByteArray::number(p) + " [";
        for (const int number : byMcid) {
            if (number > 0) {
                nums += QByteArray::number(number);
                nums += " 0 R ";
            } else {
                nums += "null ";
            }
        }
        nums += "] ";
        page.elements = {};
    }
    w.beginReserved(document);
    w.line("<< /Type /StructElem /S /Document /P " + ref(root) + " /K [ " + kids + "] >>");
    w.endObject();
    w.beginReserved(parentTree);
    w.line("<< /Nums [ " + nums + "] >>");
    w.endObject();
    w.beginReserved(root);
    w.line("<< /Type /StructTreeRoot /K " + ref(document) + " /ParentTree " + ref(parentTree) +
           " /ParentTreeNextKey " + QByteArray::number(d.taggedPages.size()) + " >>");
    w.endObject();
    return root;
}

QByteArray TqdxPDFExport::fontResources() {
    Document& d = *m_doc;
    QByteArray fonts = "/Font << ";
    for (int i = 0; i < d.fonts.Count(); ++i) {
        TqdxPDFFont& f = d.fonts.Font(i);
        if (f.ObjectNumber() > 0) {
            fonts += f.ResourceName() + ' ' + ref(f.ObjectNumber()) + ' ';
        }
    }
    return fonts + ">>";
}

QByteArray TqdxPDFExport::imageResources() const {
    const PdfPageState& s = m_doc->state;
    // Each table's entries the page used, once each, as "/<prefix>N n 0 R".
    const auto entries = [](const std::vector<int>& uses, const std::vector<int>& objects,
                            const char* prefix) {
        QByteArray out;
        std::vector<int> listed;
        for (const int use : uses) {
            if (use < 0 || std::size_t(use) >= objects.size() ||
                std::find(listed.begin(), listed.end(), use) != listed.end()) {
                continue;
            }
            listed.push_back(use);
            out += prefix + QByteArray::number(use) + ' ' + ref(objects[std::size_t(use)]) + ' ';
        }
        return out;
    };
    QByteArray resources;
    if (const QByteArray images = entries(s.imageUses, s.imageObjects, "/Im"); !images.isEmpty()) {
        resources += "/XObject << " + images + ">>";
    }
    if (const QByteArray patterns = entries(s.patternUses, s.patternObjects, "/P");
        !patterns.isEmpty()) {
        resources += QByteArray(resources.isEmpty() ? "" : " ") + "/Pattern << " + patterns + ">>";
    }
    return resources;
}

QByteArray TqdxPDFExport::resourcesDict() {
    QByteArray dict = "<< " + fontResources() + ' ';
    if (const QByteArray images = imageResources(); !images.isEmpty()) {
        dict += images + ' ';
    }
    return dict + "/ProcSet [/PDF /Text /ImageC ] >>";
}

// The page just drawn as a form: what a page of the document would hold, without its links.
void TqdxPDFExport::endForm() {
    Document& d = *m_doc;
    PdfPageState& s = d.state;
    PdfObjectWriter& w = d.writer;
    d.pageOpen = false;
    d.pages.pop_back(); // no page of the document: the outline never points at it
    d.fonts.ReserveObjects(w);
    const QByteArray dict = "/Type /XObject /Subtype /Form /BBox [0 0 " + Num2(s.width) + ' ' +
                            Num2(s.height) + " ] /Resources " + resourcesDict();
    const int form = w.beginObject();
    writeStream(form, s.content, dict);
    m_lastForm = form;
    m_lastFormHeight = s.height;
    s.resetPage();
}

void TqdxPDFExport::PlaceForms(double widthPt, double heightPt,
                               const std::vector<FormPlacement>& placements) {
    if (!m_doc || m_doc->pageOpen) {
        return;
    }
    Document& d = *m_doc;
    PdfObjectWriter& w = d.writer;
    QByteArray content;
    QByteArray forms;
    std::vector<int> listed;
    for (const FormPlacement& p : placements) {
        if (p.form <= 0) {
            continue;
        }
        content += "q\r\n";
        if (!p.clip.isEmpty()) {
            content += Num2(p.clip.x()) + ' ' + Num2(p.clip.y()) + ' ' + Num2(p.clip.width()) +
                       ' ' + Num2(p.clip.height()) + " re W n\r\n";
        }
        for (const double m : p.matrix) {
            // Scales need more than two decimals; QByteArray::number ignores the locale.
            content += QByteArray::number(std::isfinite(m) ? m : 0.0, 'f', 5) + ' ';
        }
        content += "cm /Fm" + QByteArray::number(p.form) + " Do\r\nQ\r\n";
        if (std::find(listed.begin(), listed.end(), p.form) == listed.end()) {
            listed.push_back(p.form);
            forms += "/Fm" + QByteArray::number(p.form) + ' ' + ref(p.form) + ' ';
        }
    }
    const int contents = w.beginObject();
    writeStream(contents, content);
    const int pageObject = w.beginObject();
    d.pages.push_back({-1, heightPt, pageObject, 0.0});
    w.line("<<");
    w.line("/Type /Page");
    w.line("/Parent 1 0 R");
    w.line("/MediaBox [0 0 " + Num2(widthPt) + ' ' + Num2(heightPt) + " ]");
    w.line("/Resources << /XObject << " + forms + ">> /ProcSet [/PDF /Text /ImageC ] >>");
    w.line("/Contents " + ref(contents));
    w.line(">>");
    w.endObject();
    ++m_pagesWritten;
}

void TqdxPDFExport::writeOutline() {
    Document& d = *m_doc;
    PdfObjectWriter& w = d.writer;
    if (!Report) {
        return;
    }
    TqdxPreviewPages& store = Report->PreviewPages();
    // Read only: a document without an outline is not given one.
    if (store.Document().Root().Find("outline") < 0) {
        return;
    }
    TqdxOutline& cursor = store.Outline();
    const bool wasReset = cursor.Current() == nullptr;
    cursor.LevelRoot();
    const TqdxXMLItem* root = cursor.Current();
    if (wasReset) {
        cursor.Reset();
    }
    if (!root) {
        return;
    }

    struct Node {
        QString title;
        const Document::Page* page = nullptr;
        int top = 0;
        int parent = -1, prev = -1, next = -1, first = -1, last = -1, count = 0;
    };
    std::vector<Node> nodes;
    // Pre-order walk: an item is taken when its page was exported; only then its children.
    struct Pending {
        const TqdxXMLItem* item;
        int parent;
    };
    std::vector<Pending> stack;
    for (int i = root->Count() - 1; i >= 0; --i) {
        stack.push_back({&root->Items(i), -1});
    }
    int topFirst = -1, topLast = -1, topCount = 0;
    while (!stack.empty()) {
        const Pending p = stack.back();
        stack.pop_back();
        bool okPage = false;
        const int pageIndex = p.item->Prop("page").toInt(&okPage);
        const Document::Page* page = okPage ? d.exported(pageIndex) : nullptr;
        if (!page || page->object == 0) {
            continue;
        }
        Node n;
        try {
            n.title = codepages::fromCp1252(p.item->Prop("text"));
        } catch (const std::exception&) {
        }
        n.page = page;
        n.top = p.item->Prop("top").toInt();
        n.parent = p.parent;
        const int me = int(nodes.size());
        const int prevSibling = p.parent < 0 ? topLast : nodes[std::size_t(p.parent)].last;
        n.prev = prevSibling;
        nodes.push_back(n);
        if (n.prev >= 0) {
            nodes[std::size_t(n.prev)].next = me;
        }
        if (p.parent < 0) {
            if (topFirst < 0) {
                topFirst = me;
            }
            topLast = me;
            ++topCount;
        } else {
            Node& parent = nodes[std::size_t(p.parent)];
            if (parent.first < 0) {
                parent.first = me;
            }
            parent.last = me;
            ++parent.count;
        }
        for (int i = p.item->Count() - 1; i >= 0; --i) {
            stack.push_back({&p.item->Items(i), me});
        }
    }
    if (nodes.empty()) {
        return;
    }
    // Each node's number is its place in the pre-order after the root.
    const int rootNumber = w.objectCount() + 1;
    auto number = [&](int node) { return ref(rootNumber + 1 + node); };
    w.beginObject();
    w.line("<<");
    w.line("/Type /Outlines");
    w.line("/Count " + QByteArray::number(topCount));
    w.line("/First " + number(topFirst));
    w.line("/Last " + number(topLast));
    w.line(">>");
    w.endObject();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        const int object = w.beginObject();
        w.line("<<");
        w.line("/Title " + TextString(n.title, d.encryptor(), object));
        w.line("/Parent " + (n.parent < 0 ? ref(rootNumber) : number(n.parent)));
        if (n.prev >= 0) {
            w.line("/Prev " + number(n.prev));
        }
        if (n.next >= 0) {
            w.line("/Next " + number(n.next));
        }
        if (n.first >= 0) {
            w.line("/First " + number(n.first));
            w.line("/Last " + number(n.last));
            w.line("/Count " + QByteArray::number(n.count));
        }
        const int y = roundToInt(n.page->height - n.top * 0.75);
        w.line("/Dest [" + ref(n.page->object) + " /XYZ 0 " + QByteArray::number(y) + " 0]");
        w.line(">>");
        w.endObject();
    }
}

void TqdxPDFExport::writeLinks() {
    Document& d = *m_doc;
    PdfObjectWriter& w = d.writer;
    for (const PdfLink& link : d.state.links) {
        w.beginReserved(link.object);
        w.line("<<");
        w.line("/Type /Annot");
        w.line("/Subtype /Link");
        w.line("/Rect [" + link.rect + "]");
        w.line("/F 4"); // printed with the page
        if (link.web) {
            w.line("/BS << /W 0 >>");
            w.line("/A <<");
            w.line("/URI " + LinkAddressString(link.address, d.encryptor(), link.object));
            w.line("/Type /Action");
            w.line("/S /URI");
            w.line(">>");
        } else {
            w.line("/Border [16 16 0]");
            // A page that was not exported has no object: the link then leads nowhere.
            const Document::Page* target = d.exported(link.targetPage);
            if (target && target->object > 0) {
                // The top mapped on the target page, whose size may differ from this one's.
                const int y = render::Round(target->height - target->oy - link.top * 0.75);
                w.line("/Dest [" + ref(target->object) + " /XYZ null " + QByteArray::number(y) +
                       " null]");
            }
        }
        w.line(">>");
        w.endObject();
    }
}

void TqdxPDFExport::EndOutput() {
    if (!m_doc) {
        return;
    }
    Document& d = *m_doc;
    PdfObjectWriter& w = d.writer;
    try {
        if (d.pageOpen) {
            // The driver always closes its pages; one left open is not written.
            d.pageOpen = false;
            d.pages.pop_back();
        }
        const bool complete = !d.drawFailed && m_pagesWritten >= d.expectedPages;
        if (!complete && !KeepIncompleteOutput) {
            w.discard();
            fail(QStringLiteral("A exportação não terminou: o arquivo não foi gravado.\r"
                                "Arquivo: ") +
                 m_path);
            m_doc.reset();
            return;
        }

        d.fonts.WriteObjects(w, EmbeddedFonts, Compressed, d.encryptor());

        w.beginReserved(1);
        w.line("<<");
        w.line("/Type /Pages");
        QByteArray kids = "/Kids [";
        int count = 0;
        for (const Document::Page& p : d.pages) {
            if (p.object > 0) {
                kids += ref(p.object) + ' ';
                ++count;
            }
        }
        w.line(kids + "]");
        w.line("/Count " + QByteArray::number(count));
        w.line(">>");
        w.endObject();

        const int info = w.beginObject();
        const PdfEncryptor* enc = d.encryptor();
        w.line("<<");
        // An archival file leaves out empty values: each one must equal its metadata's.
        const auto infoText = [&](const char* key, const QString& value) {
            if (!PdfA || !value.isEmpty()) {
                w.line(key + TextString(value, enc, info));
            }
        };
        infoText("/Title ", Title);
        infoText("/Author ", Author);
        infoText("/Subject ", Subject);
        infoText("/Keywords ", Keywords);
        infoText("/Creator ", Creator);
        infoText("/Producer ", producer());
        QDateTime created = FixedCreationTime.isValid() ? FixedCreationTime : CreationTime;
        if (!created.isValid()) {
            created = QDateTime::currentDateTime();
        }
        const QByteArray date = PdfA ? PdfDateWithZone(created) : dateString();
        w.line("/CreationDate " + LiteralString(date, enc, info));
        w.line("/ModDate " + LiteralString(date, enc, info));
        w.line(">>");
        w.endObject();

        int outlineRoot = 0;
        if (Outline) {
            const int before = w.objectCount();
            writeOutline();
            if (w.objectCount() > before) {
                outlineRoot = before + 1;
            }
        }
        writeLinks();
        const int structTree = writeStructTree();

        int metadata = 0;
        int intent = 0;
        PdfArchiveInfo archive{Title, Author, Subject, Keywords, Creator, producer(), created};
        archive.archival = PdfA;
        archive.conformance = structTree > 0 ? 'A' : 'B';
        archive.universal = PdfUA;
        if (PdfUA && !PdfA) {
            metadata = w.beginObject();
            writeStream(metadata, XmpMetadata(archive), "/Type /Metadata /Subtype /XML");
        }
        if (PdfA) {
            // The metadata stays unfiltered, readable by any archive's tools.
            const QByteArray xmp = XmpMetadata(archive);
            metadata = w.beginObject();
            w.line("<< /Type /Metadata /Subtype /XML /Length " + QByteArray::number(xmp.size()) +
                   " >>");
            w.line("stream");
            w.raw(xmp);
            w.line("");
            w.line("endstream");
            w.endObject();
            const int profile = w.beginObject();
            writeStream(profile, SrgbIccProfile(), "/N 3");
            intent = w.beginObject();
            w.raw(OutputIntentDictionary(profile));
            w.endObject();
        }

        const int catalog = w.beginObject();
        w.line("<<");
        w.line("/Type /Catalog");
        w.line("/Pages 1 0 R");
        if (metadata > 0) {
            w.line("/Metadata " + ref(metadata));
        }
        if (PdfA) {
            w.line("/OutputIntents [" + ref(intent) + "]");
        }
        w.line(Outline ? "/PageMode /UseOutlines" : "/PageMode /UseNone");
        if (outlineRoot > 0) {
            w.line("/Outlines " + ref(outlineRoot));
        }
        if (structTree > 0) {
            w.line("/StructTreeRoot " + ref(structTree));
            w.line("/MarkInfo << /Marked true >>");
        }
        if (Tagged && !Language.isEmpty()) {
            // A language tag is plain ASCII.
            const QByteArray tag = Language.toLatin1();
            w.line("/Lang " + (QString::fromLatin1(tag) == Language && !tag.contains('\\') &&
                                       std::all_of(tag.begin(), tag.end(),
                                                   [](char c) { return c > 32 && c < 127; })
                                   ? LiteralString(tag, enc, catalog)
                                   : TextString(Language, enc, catalog)));
        }
        w.line("/ViewerPreferences <<");
        if (!Title.isEmpty() || structTree > 0) {
            w.line("/DisplayDocTitle true");
        }
        if (HideToolbar) {
            w.line("/HideToolbar true");
        }
        if (HideMenubar) {
            w.line("/HideMenubar true");
        }
        if (HideWindowUI) {
            w.line("/HideWindowUI true");
        }
        if (FitWindow) {
            w.line("/FitWindow true");
        }
        if (CenterWindow) {
            w.line("/CenterWindow true");
        }
        if (!PrintScaling) {
            w.line("/PrintScaling /None");
        }
        w.line(">>");
        w.line(">>");
        w.endObject();

        w.beginTrailer();
        w.line("/Root " + ref(catalog));
        w.line("/Info " + ref(info));
        w.line("/ID [<" + d.id + "><" + d.id + ">]");
        if (d.security) {
            w.raw(d.security->EncryptDictionary());
        }
        w.finishTrailer();

        if (!w.commit()) {
            fail(QStringLiteral("Erro na gravação do arquivo...\r\rArquivo: ") + m_path +
                     QStringLiteral("\r") + w.errorString(),
                 w.error());
            m_doc.reset();
            return;
        }
    } catch (const std::bad_alloc&) {
        w.discard();
        m_doc.reset();
        throw; // for the caller to report; the old file stays
    } catch (const std::exception& e) {
        w.discard();
        fail(QStringLiteral("Erro na gravação do arquivo...\r\rArquivo: ") + m_path +
             QStringLiteral("\r") + QString::fromUtf8(e.what()));
        m_doc.reset();
        return;
    }
    m_doc.reset();
    m_succeeded = true;
    if (OpenAfterExport && !m_path.isEmpty()) {
        if (OpenDocument) {
            OpenDocument(m_path);
        } else {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(m_path).absoluteFilePath()));
        }
    }
}

void ApplyMainWindowDefaults(TqdxPDFExport& filter) {
    filter.UseFileCache = true;
    filter.ShowProgress = true;
    filter.OverwritePrompt = false;
    filter.DataOnly = false;
    filter.PrintOptimized = false;
    filter.Outline = false;
    filter.Background = false;
    filter.HTMLTags = true;
    filter.Quality = 95;
    filter.ObjectStreams = true;
    filter.Author = QStringLiteral("Terravel Informática");
    filter.Subject = QStringLiteral("Quadrel PDF export");
    filter.ProtectionFlags = kAllPDFProtections;
    filter.HideToolbar = false;
    filter.HideMenubar = false;
    filter.HideWindowUI = false;
    filter.FitWindow = false;
    filter.CenterWindow = false;
    filter.PrintScaling = false;
    // The glyph numbers of an Identity-H font are those of the font file on this machine (a
    // metric-compatible substitute for "Arial" numbers its glyphs otherwise): a reader with
    // another file of that name would show the wrong letters, so the program always embeds.
    filter.EmbeddedFonts = true;
}

} // namespace zr::reportlib::pdf
