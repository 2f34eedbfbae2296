#include "qdx_printer.h"

#include "qdx_res.h"

#include "platform/printing/print_output.h"
#include "platform/printing/printer_properties.h"
#include "platform/printing/sheet_printer.h"
#include "platform/printing/system_printer.h"

#include <QPainter>

#include <cmath>
#include <utility>

namespace zr::reportlib::preview {

namespace {

constexpr double kMmPerInch = 25.4;

// Rounds half to even, as the driver metrics are rounded.
double roundMm(double v) {
    return std::nearbyint(v);
}

int toPixels(double mm, int dpi) {
    return int(std::lround(mm * dpi / kMmPerInch));
}

// Bin codes for the IPP media-source keywords that have one.
int duplexCodeOf(const QString& sides) {
    if (sides == QLatin1String("two-sided-long-edge")) {
        return 2;
    }
    if (sides == QLatin1String("two-sided-short-edge")) {
        return 3;
    }
    return 1;
}

} // namespace

// ---- Bins -----------------------------------------------------------------------------------

namespace {

// The bin codes with a print-system keyword. A code appears once; a keyword may stand for more
// than one code (the first is the one a keyword gives back).
constexpr std::pair<int, const char*> kBinKeywords[] = {
    {1, "top"},      {2, "bottom"}, {3, "middle"},          {4, "manual"},
    {5, "envelope"}, {6, "manual"}, {11, "large-capacity"}, {15, "main"},
};

} // namespace

QString BinKeyword(int code) {
    for (const auto& [c, keyword] : kBinKeywords) {
        if (c == code) {
            return QString::fromLatin1(keyword);
        }
    }
    return {};
}

int BinCode(const QString& keyword) {
    for (const auto& [code, k] : kBinKeywords) {
        if (keyword == QLatin1String(k)) {
            return code;
        }
    }
    return 0;
}

// ---- Standard paper table -------------------------------------------------------------------

const std::vector<TPaperInfo>& StandardPapers() {
    static const std::vector<TPaperInfo> table = [] {
        static const int sizes[][3] = {
            {1, 2159, 2794},   {2, 2159, 2794},  {3, 2794, 4318},  {4, 4318, 2794},
            {5, 2159, 3556},   {6, 1397, 2159},  {7, 1842, 2667},  {8, 2970, 4200},
            {9, 2100, 2970},   {10, 2100, 2970}, {11, 1480, 2100}, {12, 2500, 3540},
            {13, 1820, 2570},  {14, 2159, 3302}, {15, 2150, 2750}, {16, 2540, 3556},
            {17, 2794, 4318},  {18, 2159, 2794}, {19, 984, 2254},  {20, 1048, 2413},
            {21, 1143, 2635},  {22, 1207, 2794}, {23, 1270, 2921}, {24, 4318, 5588},
            {25, 5588, 8636},  {26, 8636, 11176}, {27, 1100, 2200}, {28, 1620, 2290},
            {29, 3240, 4580},  {30, 2290, 3240}, {31, 1140, 1620}, {32, 1140, 2290},
            {33, 2500, 3530},  {34, 1760, 2500}, {35, 1760, 1250}, {36, 1100, 2300},
            {37, 984, 1905},   {38, 920, 1651},  {39, 3778, 2794}, {40, 2159, 3048},
            {41, 2159, 3302},  {42, 2500, 3530}, {43, 1000, 1480}, {44, 2286, 2794},
            {45, 2540, 2794},  {46, 3810, 2794}, {47, 2200, 2200}, {50, 2355, 3048},
            {51, 2355, 3810},  {52, 2969, 4572}, {53, 2354, 3223}, {54, 2101, 2794},
            {55, 2100, 2970},  {56, 2355, 3048}, {57, 2270, 3560}, {58, 3050, 4870},
            {59, 2159, 3223},  {60, 2100, 3300}, {61, 1480, 2100}, {62, 1820, 2570},
            {63, 3220, 4450},  {64, 1740, 2350}, {65, 2010, 2760}, {66, 4200, 5940},
            {67, 2970, 4200},  {68, 3220, 4450}};
        std::vector<TPaperInfo> papers;
        for (const auto& s : sizes) {
            papers.push_back({s[0], "", s[1], s[2]});
        }
        return papers;
    }();
    return table;
}

const TPaperInfo* FindStandardPaper(int code) {
    for (const TPaperInfo& p : StandardPapers()) {
        if (p.Code == code) {
            return &p;
        }
    }
    return nullptr;
}

int StandardPaperCodeBySize(double widthMm, double heightMm, double toleranceMm) {
    if (!(widthMm > 0) || !(heightMm > 0)) {
        return 0;
    }
    const auto near = [&](double a, double b, double c, double d) {
        return std::abs(a - c) <= toleranceMm && std::abs(b - d) <= toleranceMm;
    };
    for (const TPaperInfo& p : StandardPapers()) {
        const double w = p.Width / 10.0;
        const double h = p.Height / 10.0;
        if (near(widthMm, heightMm, w, h) || near(widthMm, heightMm, h, w)) {
            return p.Code;
        }
    }
    return 0;
}

// ---- Canvas ---------------------------------------------------------------------------------

TqdxPrinterCanvas::TqdxPrinterCanvas(TqdxCustomPrinter& printer)
    : m_printer(printer), m_info(1, 1, QImage::Format_ARGB32_Premultiplied) {
    SetResolution(96, 96);
}

TqdxPrinterCanvas::~TqdxPrinterCanvas() = default;

QPaintDevice* TqdxPrinterCanvas::Device() {
    if (m_painter && m_painter->device()) {
        return m_painter->device();
    }
    return &m_info;
}

void TqdxPrinterCanvas::SetResolution(int dpiX, int dpiY) {
    m_info.setDotsPerMeterX(int(std::lround(std::max(1, dpiX) / 0.0254)));
    m_info.setDotsPerMeterY(int(std::lround(std::max(1, dpiY) / 0.0254)));
}

// ---- Printer --------------------------------------------------------------------------------

TqdxCustomPrinter::TqdxCustomPrinter(const QString& name, const QString& port)
    : m_name(name), m_port(port), m_canvas(std::make_unique<TqdxPrinterCanvas>(*this)) {
    m_bins.append({qdxResources().Text("prDefault"), kDefaultBin, {}, {}, {}});
    m_papers.append({qdxResources().Text("prCustom"), kCustomPaper, {}, {}, {}});
}

TqdxCustomPrinter::~TqdxCustomPrinter() = default;

int TqdxCustomPrinter::PaperPosition(int code) const {
    for (qsizetype i = 0; i < m_papers.size(); ++i) {
        if (m_papers[i].Code == code) {
            return int(i);
        }
    }
    return -1;
}

int TqdxCustomPrinter::PaperCodeByName(const QString& name) const {
    for (const TqdxPrinterItem& p : m_papers) {
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0) {
            return p.Code;
        }
    }
    return m_papers.first().Code;
}

int TqdxCustomPrinter::BinPosition(int code) const {
    for (qsizetype i = 0; i < m_bins.size(); ++i) {
        if (m_bins[i].Code == code) {
            return int(i);
        }
    }
    return -1;
}

QStringList TqdxCustomPrinter::BinNames() const {
    QStringList names;
    for (const TqdxPrinterItem& b : m_bins) {
        names.append(b.Name);
    }
    return names;
}

QStringList TqdxCustomPrinter::PaperNames() const {
    QStringList names;
    for (const TqdxPrinterItem& p : m_papers) {
        names.append(p.Name);
    }
    return names;
}

PrinterMetrics TqdxCustomPrinter::Metrics() const {
    PrinterMetrics m;
    if (!m_opened || m_xResolution <= 0 || m_yResolution <= 0) {
        return m;
    }
    m.dpiX = m_xResolution;
    m.dpiY = m_yResolution;
    m.physicalWidth = toPixels(m_paperWidth, m_xResolution);
    m.physicalHeight = toPixels(m_paperHeight, m_yResolution);
    m.offsetLeft = toPixels(m_leftMargin, m_xResolution);
    m.offsetTop = toPixels(m_topMargin, m_yResolution);
    m.offsetRight = toPixels(m_rightMargin, m_xResolution);
    m.offsetBottom = toPixels(m_bottomMargin, m_yResolution);
    m.printableWidth = std::max(0, m.physicalWidth - m.offsetLeft - m.offsetRight);
    m.printableHeight = std::max(0, m.physicalHeight - m.offsetTop - m.offsetBottom);
    return m;
}

void TqdxCustomPrinter::setPaper(int code, double width, double height,
                                 const QMarginsF& margins, int orientation) {
    // width x height and margins are upright; the stored values follow the orientation. A
    // landscape sheet is the paper turned a quarter turn counter-clockwise.
    const bool landscape = orientation == poLandscape;
    m_paperCode = code;
    m_orientation = landscape ? poLandscape : poPortrait;
    m_paperWidth = landscape ? height : width;
    m_paperHeight = landscape ? width : height;
    if (landscape) {
        m_leftMargin = margins.bottom();
        m_topMargin = margins.left();
        m_rightMargin = margins.top();
        m_bottomMargin = margins.right();
    } else {
        m_leftMargin = margins.left();
        m_topMargin = margins.top();
        m_rightMargin = margins.right();
        m_bottomMargin = margins.bottom();
    }
    m_canvas->SetResolution(m_xResolution, m_yResolution);
}

// ---- Spooler printer ------------------------------------------------------------------------

TqdxPrinter::TqdxPrinter(const QString& name, const QString& port)
    : TqdxCustomPrinter(name, port) {}

TqdxPrinter::~TqdxPrinter() {
    m_canvas->Attach(nullptr);
}

void TqdxPrinter::OpenDevice() {
    if (m_opened) {
        return;
    }
    m_lastError.clear();
    const PrinterInfo info = printerInfo(m_name);
    if (!info.exists) {
        m_lastError = QStringLiteral("A impressora \"%1\" não está instalada no sistema.").arg(m_name);
        return;
    }
    m_xResolution = m_yResolution = info.defaultResolution > 0 ? info.defaultResolution : 600;

    int nextUserPaper = kCustomPaper + 1;
    for (const PrinterPaper& paper : info.papers) {
        const double w = roundMm(paper.sizeMm.width());
        const double h = roundMm(paper.sizeMm.height());
        int code = StandardPaperCodeBySize(paper.sizeMm.width(), paper.sizeMm.height(), 0.6);
        // A standard code already given to another paper of the queue goes to this one only
        // when none was given yet; the rest get codes of their own.
        if (code == 0 || PaperPosition(code) >= 0) {
            code = nextUserPaper++;
        }
        m_papers.append({paper.name, code, paper.key, QSizeF(w, h),
                         QMarginsF(roundMm(paper.marginsMm.left()), roundMm(paper.marginsMm.top()),
                                   roundMm(paper.marginsMm.right()),
                                   roundMm(paper.marginsMm.bottom()))});
    }
    if (info.papers.isEmpty()) { // a queue that lists no media: the standard papers
        for (const TPaperInfo& p : StandardPapers()) {
            m_papers.append({QString::fromLatin1(p.Name), p.Code, {},
                             QSizeF(roundMm(p.Width / 10.0), roundMm(p.Height / 10.0)), {}});
        }
    }
    int nextUserBin = 256;
    for (const PrinterBin& bin : info.bins) {
        int code = BinCode(bin.key);
        if (code == 0 || BinPosition(code) >= 0) {
            code = nextUserBin++;
        }
        m_bins.append({bin.name, code, bin.key, {}, {}});
    }

    // Defaults.
    int defaultPosition = -1;
    if (info.defaultPaper >= 0) {
        const QString key = info.papers[info.defaultPaper].key;
        for (qsizetype i = 1; i < m_papers.size(); ++i) {
            if (m_papers[i].Key == key) {
                defaultPosition = int(i);
                break;
            }
        }
    }
    if (defaultPosition < 0) {
        defaultPosition = PaperPosition(9); // A4
    }
    if (defaultPosition < 0) {
        defaultPosition = m_papers.size() > 1 ? 1 : -1;
    }
    if (defaultPosition > 0) {
        const TqdxPrinterItem& p = m_papers[defaultPosition];
        setPaper(p.Code, p.SizeMm.width(), p.SizeMm.height(), p.MarginsMm, poPortrait);
    } else {
        setPaper(kCustomPaper, 210, 297, {}, poPortrait);
    }
    m_defaultPaperCode = m_paperCode;
    m_defaultPaperWidth = m_paperWidth;
    m_defaultPaperHeight = m_paperHeight;
    m_defaultOrientation = poPortrait;
    m_defaultBin = kDefaultBin;
    for (const TqdxPrinterItem& b : m_bins) {
        if (!b.Key.isEmpty() && b.Key == info.defaultBin) {
            m_defaultBin = b.Code;
        }
    }
    m_defaultDuplex = duplexCodeOf(info.defaultSides);
    m_bin = m_defaultBin;
    m_duplex = m_defaultDuplex;
    m_chosenBin = -1;
    m_chosenDuplex = -1;
    m_opened = true;
}

void TqdxPrinter::ApplyViewSettings(int code, double width, double height, int orientation) {
    if (!m_opened) {
        return;
    }
    const bool landscape = orientation == poLandscape;
    if (code == kCustomPaper) {
        ApplyViewSettings(9, 0, 0, orientation);
        const int a4 = PaperPosition(9);
        const QMarginsF margins = a4 >= 0 ? m_papers[a4].MarginsMm : QMarginsF();
        // width and height are given as the page lies
        setPaper(kCustomPaper, landscape ? height : width, landscape ? width : height, margins,
                 orientation);
        return;
    }
    const int position = PaperPosition(code);
    if (position > 0) {
        const TqdxPrinterItem& p = m_papers[position];
        setPaper(code, p.SizeMm.width(), p.SizeMm.height(), p.MarginsMm, orientation);
    } else if (const TPaperInfo* standard = FindStandardPaper(code)) {
        // Not a paper of this printer: its size, with the margins of A4.
        const int a4 = PaperPosition(9);
        setPaper(code, roundMm(standard->Width / 10.0), roundMm(standard->Height / 10.0),
                 a4 >= 0 ? m_papers[a4].MarginsMm : QMarginsF(), orientation);
    }
    // any other code: an unknown paper, the settings stay
}

void TqdxPrinter::ApplyPrintSettings(int code, double width, double height, int orientation,
                                     int bin, int duplex, int copies) {
    ApplyViewSettings(code, width, height, orientation);
    if (bin == kDefaultBin) {
        bin = m_chosenBin != -1 ? m_chosenBin : m_defaultBin;
    }
    m_bin = bin;
    int d = duplex == dmNone ? m_defaultDuplex : duplex + 1;
    if (d == 4) {
        d = 1;
    }
    if (m_chosenDuplex != -1) {
        d = m_chosenDuplex;
    }
    m_duplex = d;
    m_copies = std::clamp(copies, 1, 999);
}

QString TqdxPrinter::MediaSourceKey() const {
    const int position = BinPosition(m_bin);
    return position > 0 ? m_bins[position].Key : QString();
}

QString TqdxPrinter::SidesKey() const {
    switch (m_duplex) {
    case 2:
        return QStringLiteral("two-sided-long-edge");
    case 3:
        return QStringLiteral("two-sided-short-edge");
    default:
        return QStringLiteral("one-sided");
    }
}

bool TqdxPrinter::StartDocument() {
    m_lastError.clear();
    if (!m_opened) {
        m_lastError = QStringLiteral("Printer selected is not valid");
        return false;
    }
    if (m_document || m_raw) {
        m_lastError = QStringLiteral("Já há um documento em andamento.");
        return false;
    }
    QString error;
    std::unique_ptr<SheetPrinter> document = SheetPrinter::open(m_name, error);
    if (!document) {
        m_lastError = error;
        return false;
    }
    SheetJobOptions options;
    options.title = m_title.isEmpty() ? QStringLiteral("Quadrel Document") : m_title;
    options.copies = m_copies;
    options.sides = SidesKey();
    options.mediaSource = MediaSourceKey();
    options.outputFile = m_outputFile;
    options.dpi = m_xResolution;
    options.extra = rememberedProperties(m_name).options;
    if (!document->beginDocument(options, error)) {
        m_lastError = error;
        return false;
    }
    m_document = std::move(document);
    m_printing = true;
    return true;
}

bool TqdxPrinter::StartSheet() {
    if (!m_document || m_sheetOpen) {
        return false;
    }
    const bool landscape = m_orientation == poLandscape;
    const QSizeF upright = landscape ? QSizeF(m_paperHeight, m_paperWidth)
                                     : QSizeF(m_paperWidth, m_paperHeight);
    if (!m_document->beginSheet(upright, landscape)) {
        m_lastError = QStringLiteral("Não foi possível começar a folha.");
        return false;
    }
    m_sheetOpen = true;
    m_canvas->Attach(&m_document->painter());
    return true;
}

void TqdxPrinter::FinishSheet() {
    if (m_document && m_sheetOpen) {
        m_document->endSheet();
    }
    m_sheetOpen = false;
    m_canvas->Attach(nullptr);
}

bool TqdxPrinter::FinishDocument() {
    FinishSheet();
    bool ok = true;
    if (m_document) {
        QString error;
        ok = m_document->endDocument(error);
        if (!ok) {
            m_lastError = error;
        }
        m_document.reset();
    }
    m_printing = false;
    m_chosenBin = -1;
    m_chosenDuplex = -1;
    m_bin = m_defaultBin;
    m_duplex = m_defaultDuplex;
    return ok;
}

void TqdxPrinter::AbortDocument() {
    FinishSheet();
    if (m_document) {
        m_document->abortDocument();
        m_document.reset();
    }
    m_raw.reset(); // an unfinished raw job is cancelled
    FinishDocument();
}

bool TqdxPrinter::StartRawDocument() {
    m_lastError.clear();
    if (m_document || m_raw) {
        m_lastError = QStringLiteral("Já há um documento em andamento.");
        return false;
    }
    QString error;
    m_raw = startRawJob(m_name, m_title.isEmpty() ? QStringLiteral("Quadrel Document") : m_title,
                        error);
    if (!m_raw) {
        m_lastError = error;
        return false;
    }
    return true;
}

bool TqdxPrinter::WriteRaw(QByteArrayView bytes) {
    if (!m_raw) {
        return false;
    }
    if (!m_raw->write(bytes)) {
        m_lastError = QStringLiteral("Erro %1 ao enviar à impressora.").arg(m_raw->error());
        return false;
    }
    return true;
}

bool TqdxPrinter::FinishRawDocument() {
    if (!m_raw) {
        return false;
    }
    const bool ok = m_raw->finish();
    if (!ok) {
        m_lastError = QStringLiteral("Erro %1 ao enviar à impressora.").arg(m_raw->error());
    }
    m_raw.reset();
    return ok;
}

bool TqdxPrinter::ShowDriverDialog() {
    // The printer's own properties stand for the driver's dialog: they give the paper source
    // and two-sided printing, and the rest goes with this printer's jobs.
    if (!showPrinterProperties(nullptr, m_name)) {
        return false; // cancelled: nothing of this printer changed
    }
    const PrinterProperties chosen = rememberedProperties(m_name);
    m_chosenBin = m_defaultBin;
    for (const TqdxPrinterItem& bin : m_bins) {
        if (!chosen.mediaSource.isEmpty() && bin.Key == chosen.mediaSource) {
            m_chosenBin = bin.Code;
        }
    }
    // The driver counts 1 one-sided, 2 long edge (vertical), 3 short edge (horizontal).
    const int duplex = chosen.sides == QLatin1String("two-sided-long-edge")    ? 2
                       : chosen.sides == QLatin1String("two-sided-short-edge") ? 3
                       : chosen.sides == QLatin1String("one-sided")            ? 1
                                                                               : m_duplex;
    if (duplex != m_duplex) {
        m_chosenDuplex = duplex;
    }
    return true;
}

// ---- Virtual printer ------------------------------------------------------------------------

TqdxVirtualPrinter::TqdxVirtualPrinter(const QString& name, const QString& port)
    : TqdxCustomPrinter(name, port) {}

void TqdxVirtualPrinter::OpenDevice() {
    if (m_opened) {
        return;
    }
    m_xResolution = m_yResolution = 600;
    m_canvas->SetResolution(600, 600);
    m_defaultPaperCode = 9;
    m_defaultOrientation = poPortrait;
    m_defaultPaperWidth = 210;
    m_defaultPaperHeight = 297;
    for (const TPaperInfo& p : StandardPapers()) {
        m_papers.append({QString::fromLatin1(p.Name), p.Code, {},
                         QSizeF(p.Width / 10.0, p.Height / 10.0), {}});
    }
    m_chosenBin = -1;
    m_chosenDuplex = -1;
    m_opened = true;
}

void TqdxVirtualPrinter::ApplyViewSettings(int code, double width, double height,
                                           int orientation) {
    const bool landscape = orientation == poLandscape;
    const TPaperInfo* standard = code != kCustomPaper ? FindStandardPaper(code) : nullptr;
    if (standard) {
        width = standard->Width / 10.0;
        height = standard->Height / 10.0;
        if (landscape) {
            std::swap(width, height);
        }
    } else {
        code = kCustomPaper;
    }
    m_orientation = landscape ? poLandscape : poPortrait;
    m_paperCode = code;
    m_paperWidth = width;
    m_paperHeight = height;
    m_leftMargin = m_topMargin = m_rightMargin = m_bottomMargin = 5;
}

void TqdxVirtualPrinter::ApplyPrintSettings(int code, double width, double height,
                                            int orientation, int bin, int, int) {
    ApplyViewSettings(code, width, height, orientation);
    m_chosenBin = bin;
}

// ---- Printer set ----------------------------------------------------------------------------

TqdxPrinters::TqdxPrinters() {
    Refresh();
}

TqdxPrinters::~TqdxPrinters() = default;

void TqdxPrinters::Refresh() {
    m_printers.clear();
    m_names.clear();
    m_index = -1;
    for (const SystemPrinter& printer : systemPrintersWithPorts()) {
        m_printers.push_back(std::make_unique<TqdxPrinter>(printer.name, printer.port));
        m_names.append(printer.name);
    }
    if (!m_printers.empty()) {
        m_physical = true;
        SelectPrinter(FindByName(SystemDefaultPrinter()));
        if (m_index == -1) {
            SelectPrinter(0);
        }
    } else {
        const QString name = qdxResources().Text("prVirtual");
        m_printers.push_back(std::make_unique<TqdxVirtualPrinter>(name, QString()));
        m_names.append(name);
        m_physical = false;
        SelectPrinter(0);
    }
}

int TqdxPrinters::FindByName(const QString& name) const {
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

void TqdxPrinters::SelectPrinter(int index) {
    if (index == -1) {
        index = FindByName(SystemDefaultPrinter());
    }
    m_index = index >= 0 && index < Count() ? index : -1;
    if (m_index != -1) {
        m_printers[std::size_t(m_index)]->OpenDevice();
    }
}

TqdxCustomPrinter* TqdxPrinters::CurrentPrinter() const {
    return Printer(m_index);
}

TqdxCustomPrinter* TqdxPrinters::Printer(int index) const {
    return index >= 0 && index < Count() ? m_printers[std::size_t(index)].get() : nullptr;
}

QString TqdxPrinters::SystemDefaultPrinter() {
    return defaultPrinterName();
}

TqdxPrinters& SharedPrinters() {
    static TqdxPrinters printers;
    return printers;
}

} // namespace zr::reportlib::preview
