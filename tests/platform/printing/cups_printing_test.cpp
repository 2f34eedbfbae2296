#include "platform/printing/printer_info.h"
#include "platform/printing/printer_properties.h"
#include "platform/printing/system_printer.h"

#include "pdf_info.h"
#include "private_cupsd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <QPainter>
#include <QRandomGenerator>

using namespace zr;
using zr::test::PrivateCupsd;

namespace zr {
void PrintTo(const PrinterMetrics& m, std::ostream* os) {
    *os << "offsets " << m.offsetLeft << '/' << m.offsetTop << '/' << m.offsetRight << '/'
        << m.offsetBottom << ", physical " << m.physicalWidth << 'x' << m.physicalHeight
        << ", printable " << m.printableWidth << 'x' << m.printableHeight << ", dpi " << m.dpiX
        << 'x' << m.dpiY;
}
} // namespace zr

namespace {

// A printer described by a PPD: US Letter (612 x 792 pt), with unprintable strips of 12 pt on
// the left, 48 on top, 36 on the right and 24 at the bottom.
const QByteArray kLetterPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*ModelName: "Zeral Letter"
*NickName: "Zeral Letter"
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: Letter
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: Letter
*ImageableArea Letter/US Letter: "12 24 576 744"
*DefaultPaperDimension: Letter
*PaperDimension Letter/US Letter: "612 792"
)PPD";

// Every byte value, then a long run of noise: nothing may be translated, dropped or added.
QByteArray awkwardBytes() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.append(char(b));
    }
    QRandomGenerator random(7);
    for (int i = 0; i < 150000; ++i) {
        bytes.append(char(random.bounded(256)));
    }
    return bytes;
}

// Draws `pages` pages, each with its number, on a printer whose document has begun.
void drawPages(GraphicPrinter& printer, int pages) {
    for (int p = 1; p <= pages; ++p) {
        if (p > 1) {
            printer.newPage();
        }
        printer.painter().drawText(100, 100, QStringLiteral("Página %1").arg(p));
        printer.painter().drawRect(0, 0, 500, 500);
    }
}

// One scheduler for the whole suite, with the raw queues "alfa" (the system default) and "beta".
class CupsPrinting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cups = new PrivateCupsd;
        if (cups->running()) {
            queuesReady = cups->addQueue(QStringLiteral("alfa")) &&
                          cups->addQueue(QStringLiteral("beta")) &&
                          cups->setDefault(QStringLiteral("alfa"));
        }
    }
    static void TearDownTestSuite() {
        delete cups;
        cups = nullptr;
    }
    void SetUp() override {
        if (!cups->running()) {
            GTEST_SKIP() << "no private cupsd: " << cups->failure().toStdString();
        }
        ASSERT_TRUE(queuesReady);
        setCurrentPrinter({});
    }
    void TearDown() override { setCurrentPrinter({}); }

    static PrivateCupsd* cups;
    static bool queuesReady;
};

PrivateCupsd* CupsPrinting::cups = nullptr;
bool CupsPrinting::queuesReady = false;

} // namespace

TEST(PaperNames, KeywordsWithoutWordsOfTheirOwnAreNamedForPeople) {
    const struct {
        const char* keyword;
        const char* name;
    } cases[] = {
        {"na_monarch_3.875x7.5in", "Monarch (98 × 191 mm)"},
        {"iso_a4_210x297mm", "A4 (210 × 297 mm)"},
        {"media.na_number-10_4.125x9.5in", "Number 10 (105 × 241 mm)"},
        {"na_index-4x6_4x6in", "Index 4x6 (102 × 152 mm)"},
        {"A4", "A4"},                             // a name already
        {"Envelope Monarch", "Envelope Monarch"}, // the print system's words
        {"custom_210x297mm", "custom_210x297mm"}, // not of the form: left alone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(paperNameFromKeyword(QString::fromUtf8(c.keyword)).toStdString(), c.name)
            << c.keyword;
    }
}

TEST(PageMetrics, PlacesTheStripsOfAnUprightPageAndTurnsThemWithALandscapeOne) {
    // Strips 12/48/36/24 pt at 1200 dpi are 200/800/600/400 pixels.
    const QMarginsF strips(12, 48, 36, 24);
    const PrinterMetrics portrait = pageMetrics(QSize(10200, 13200), strips, 1200, 1200, false);
    EXPECT_EQ(portrait,
              (PrinterMetrics{200, 800, 600, 400, 13200, 10200, 12000, 9400, 1200, 1200}));
    // Turned counter-clockwise: the paper's bottom strip is now on the left, its left on top.
    const PrinterMetrics landscape = pageMetrics(QSize(13200, 10200), strips, 1200, 1200, true);
    EXPECT_EQ(landscape,
              (PrinterMetrics{400, 200, 800, 600, 10200, 13200, 9400, 12000, 1200, 1200}));
}

TEST(PageMetrics, KeepsThePageWholeWhenStripsAreNegativeOrWiderThanThePaper) {
    const PrinterMetrics negative =
        pageMetrics(QSize(600, 800), QMarginsF(-5, -5, -5, -5), 72, 72, false);
    EXPECT_EQ(negative, (PrinterMetrics{0, 0, 0, 0, 800, 600, 800, 600, 72, 72}));

    const PrinterMetrics wide =
        pageMetrics(QSize(600, 800), QMarginsF(500, 10, 500, 900), 72, 72, false);
    EXPECT_EQ(wide.offsetLeft + wide.printableWidth + wide.offsetRight, 600);
    EXPECT_EQ(wide.printableWidth, 0);
    EXPECT_EQ(wide.offsetTop + wide.printableHeight + wide.offsetBottom, 800);
    EXPECT_EQ(wide.printableHeight, 0);

    EXPECT_EQ(pageMetrics(QSize(), QMarginsF(10, 10, 10, 10), 0, 0, false), PrinterMetrics{});
}

TEST_F(CupsPrinting, ListsThePrintersAfreshAndFollowsTheProgramsChoice) {
    const QStringList printers = systemPrinters();
    EXPECT_TRUE(printers.contains(QStringLiteral("alfa")));
    EXPECT_TRUE(printers.contains(QStringLiteral("beta")));

    CurrentPrinter current = ImpressoraAtual();
    EXPECT_EQ(current.deviceName, QStringLiteral("alfa")); // the system default
    EXPECT_TRUE(current.port.startsWith(QStringLiteral("socket://127.0.0.1:")))
        << current.port.toStdString();

    setCurrentPrinter(QStringLiteral("beta"));
    EXPECT_EQ(chosenPrinter(), QStringLiteral("beta"));
    EXPECT_EQ(ImpressoraAtual().deviceName, QStringLiteral("beta"));

    // A printer added while the program runs is seen at once; a port naming LPT is cut short.
    ASSERT_TRUE(
        cups->addQueueOnDevice(QStringLiteral("paralela"), QStringLiteral("file:///dev/LPT1")));
    EXPECT_TRUE(systemPrinters().contains(QStringLiteral("paralela")));
    setCurrentPrinter(QStringLiteral("paralela"));
    current = ImpressoraAtual();
    EXPECT_EQ(current.deviceName, QStringLiteral("paralela"));
    EXPECT_EQ(current.port, QStringLiteral("file"));

    setCurrentPrinter({});
    EXPECT_EQ(ImpressoraAtual().deviceName, QStringLiteral("alfa"));
    EXPECT_TRUE(cups->removeQueue(QStringLiteral("paralela")));
}

TEST_F(CupsPrinting, AChosenPrinterThatIsRemovedLeavesNoCurrentPrinterAndNoJob) {
    ASSERT_TRUE(cups->addQueue(QStringLiteral("efemera")));
    setCurrentPrinter(QStringLiteral("efemera"));
    ASSERT_EQ(ImpressoraAtual().deviceName, QStringLiteral("efemera"));
    ASSERT_TRUE(cups->removeQueue(QStringLiteral("efemera")));

    EXPECT_FALSE(systemPrinters().contains(QStringLiteral("efemera")));
    const CurrentPrinter current = ImpressoraAtual();
    EXPECT_TRUE(current.deviceName.isEmpty());
    EXPECT_TRUE(current.port.isEmpty());
    EXPECT_EQ(MetricasImpressora(), PrinterMetrics{});

    QString error;
    EXPECT_EQ(startRawJobOnCurrentPrinter(QStringLiteral("Vendas"), error), nullptr);
    EXPECT_EQ(error, QStringLiteral("A impressora \"efemera\" não está instalada no sistema."));

    GraphicPrinter& graphic = currentGraphicPrinter();
    EXPECT_FALSE(graphic.beginDocument(QStringLiteral("Vendas"), false));
    EXPECT_FALSE(graphic.painter().isActive());
    graphic.endDocument(); // harmless without a document
}

TEST_F(CupsPrinting, RawJobReachesThePrinterByteForByteUnderTheDocumentsName) {
    const QString title = QStringLiteral("Relatório de Março – Vendas");
    const QByteArray bytes = awkwardBytes();
    QString error;
    std::unique_ptr<RawOutput> job = startRawJob(QStringLiteral("beta"), title, error);
    ASSERT_NE(job, nullptr) << error.toStdString();
    // Pieces of every size: single bytes, and one larger than the output's block.
    qsizetype at = 0;
    for (const qsizetype size : {qsizetype(1), qsizetype(1), qsizetype(254), qsizetype(70000)}) {
        ASSERT_TRUE(job->write(QByteArrayView(bytes).sliced(at, size)));
        at += size;
    }
    ASSERT_TRUE(job->write(QByteArrayView(bytes).sliced(at)));
    ASSERT_TRUE(job->finish());
    EXPECT_EQ(job->error(), 0);
    EXPECT_TRUE(job->finish()); // a second finish changes nothing

    const std::optional<QByteArray> received = cups->nextJob(QStringLiteral("beta"));
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->size(), bytes.size());
    EXPECT_TRUE(*received == bytes);
    EXPECT_EQ(cups->newestJobTitle(QStringLiteral("beta")), title);
}

TEST_F(CupsPrinting, JobsOnAMissingOrRefusingPrinterFailWithAMessage) {
    QString error;
    EXPECT_EQ(startRawJob(QStringLiteral("nenhuma"), QStringLiteral("X"), error), nullptr);
    EXPECT_EQ(error, QStringLiteral("A impressora \"nenhuma\" não está instalada no sistema."));

    error.clear();
    EXPECT_EQ(startRawJob(QString(), QStringLiteral("X"), error), nullptr);
    EXPECT_EQ(error, QStringLiteral("Nenhuma impressora do sistema."));

    ASSERT_TRUE(cups->addQueue(QStringLiteral("recusa")));
    ASSERT_TRUE(cups->rejectJobs(QStringLiteral("recusa")));
    error.clear();
    EXPECT_EQ(startRawJob(QStringLiteral("recusa"), QStringLiteral("X"), error), nullptr);
    // The scheduler's own reason, in the sentence.
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("A impressora \"recusa\" não aceitou o trabalho (")))
        << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("()"))) << error.toStdString();

    // QPrinter would quietly take the default printer in place of a missing one.
    error.clear();
    EXPECT_EQ(openGraphicPrinter(QStringLiteral("nenhuma"), error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("\"nenhuma\""))) << error.toStdString();
}

// A job the scheduler dropped halfway is a failure, and it is cancelled once the scheduler is
// back, not left held to come back later.
TEST_F(CupsPrinting, RawJobCutOffByTheSchedulerIsNotReportedAsDone) {
    PrivateCupsd dying; // a scheduler of this test's own, stopped halfway through the job
    if (!dying.running()) {
        GTEST_SKIP() << dying.failure().toStdString();
    }
    ASSERT_TRUE(dying.addQueue(QStringLiteral("instavel")));
    QString error;
    std::unique_ptr<RawOutput> job =
        startRawJob(QStringLiteral("instavel"), QStringLiteral("X"), error);
    ASSERT_NE(job, nullptr) << error.toStdString();
    EXPECT_TRUE(job->write("the beginning"));
    dying.stop();
    job->write(awkwardBytes());
    bool restarted = false;
    std::thread back([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        restarted = dying.restart();
    });
    EXPECT_FALSE(job->finish());
    back.join();
    ASSERT_TRUE(restarted) << dying.failure().toStdString();
    EXPECT_NE(job->error(), 0);
    EXPECT_FALSE(job->write("more")); // a failed job takes nothing more
    EXPECT_EQ(dying.newestJobAttribute(QStringLiteral("instavel"), "job-state"),
              QStringLiteral("canceled"));
}

TEST_F(CupsPrinting, GraphicDocumentArrivesAsAPdfPageForPageInItsOrientation) {
    if (!zr::test::pdfInfoAvailable()) {
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    }
    QString error;
    std::unique_ptr<GraphicPrinter> printer = openGraphicPrinter(QStringLiteral("beta"), error);
    ASSERT_NE(printer, nullptr) << error.toStdString();
    ASSERT_TRUE(printer->beginDocument(QStringLiteral("Relatório gráfico"), true));
    EXPECT_FALSE(printer->beginDocument(QStringLiteral("again"), false)); // one at a time
    EXPECT_GT(printer->metrics().physicalWidth, printer->metrics().physicalHeight);
    drawPages(*printer, 3);
    printer->endDocument();
    EXPECT_EQ(printer->error(), 0);

    const std::optional<QByteArray> received = cups->nextJob(QStringLiteral("beta"));
    ASSERT_TRUE(received.has_value());
    const std::optional<zr::test::PdfInfo> info = zr::test::pdfInfo(*received);
    ASSERT_TRUE(info.has_value()) << received->left(40).toStdString();
    EXPECT_EQ(info->pages, 3);
    EXPECT_GT(info->pageSize.width(), info->pageSize.height());
    EXPECT_EQ(cups->newestJobTitle(QStringLiteral("beta")), QStringLiteral("Relatório gráfico"));
}

TEST_F(CupsPrinting, MetricsAreThoseOfThePrintersDefaultPaperAndStrips) {
    ASSERT_TRUE(cups->addQueue(QStringLiteral("carta"), kLetterPpd));
    setCurrentPrinter(QStringLiteral("carta"));
    const PrinterMetrics m = MetricasImpressora();
    ASSERT_GT(m.dpiX, 0);
    const auto px = [&](double points) { return qRound(points * m.dpiX / 72.0); };
    EXPECT_EQ(m, (PrinterMetrics{px(12), px(48), px(36), px(24), px(792), px(612), px(720), px(564),
                                 m.dpiX, m.dpiX}));

    QString error;
    std::unique_ptr<GraphicPrinter> printer = openGraphicPrinter(QStringLiteral("carta"), error);
    ASSERT_NE(printer, nullptr) << error.toStdString();
    EXPECT_EQ(printer->metrics(), m);
}

TEST_F(CupsPrinting, CurrentGraphicPrinterPrintsEachDocumentOnThePrinterCurrentWhenItBegins) {
    GraphicPrinter& printer = currentGraphicPrinter();
    EXPECT_FALSE(printer.painter().isActive());
    setCurrentPrinter(QStringLiteral("beta"));
    EXPECT_EQ(printer.metrics(), MetricasImpressora()); // between documents: the current printer's

    ASSERT_TRUE(printer.beginDocument(QStringLiteral("primeiro"), false));
    setCurrentPrinter(QStringLiteral("alfa")); // too late for the open document
    drawPages(printer, 1);
    printer.endDocument();
    EXPECT_FALSE(printer.painter().isActive());
    std::optional<QByteArray> first = cups->nextJob(QStringLiteral("beta"));
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(first->startsWith("%PDF"));

    ASSERT_TRUE(printer.beginDocument(QStringLiteral("segundo"), false));
    drawPages(printer, 2);
    printer.endDocument();
    std::optional<QByteArray> second = cups->nextJob(QStringLiteral("alfa"));
    ASSERT_TRUE(second.has_value());
    EXPECT_TRUE(second->startsWith("%PDF"));
    EXPECT_EQ(cups->newestJobTitle(QStringLiteral("alfa")), QStringLiteral("segundo"));
}

TEST_F(CupsPrinting, GraphicDocumentIsPrintedOnlyWhenEndedAndTakenByTheQueue) {
    QString error;
    {
        std::unique_ptr<GraphicPrinter> dropped = openGraphicPrinter(QStringLiteral("alfa"), error);
        ASSERT_NE(dropped, nullptr) << error.toStdString();
        ASSERT_TRUE(dropped->beginDocument(QStringLiteral("abandonado"), false));
        drawPages(*dropped, 2);
    }
    // A document is handed to the scheduler before endDocument returns, so a job sent by the
    // drop would be on record by now.
    EXPECT_NE(cups->newestJobTitle(QStringLiteral("alfa")), QStringLiteral("abandonado"));

    ASSERT_TRUE(cups->addQueue(QStringLiteral("transito")));
    setCurrentPrinter(QStringLiteral("transito"));
    GraphicPrinter& printer = currentGraphicPrinter();
    ASSERT_TRUE(printer.beginDocument(QStringLiteral("perdido"), false));
    drawPages(printer, 1);
    ASSERT_TRUE(cups->removeQueue(QStringLiteral("transito"))); // gone before the document ends
    printer.endDocument();
    EXPECT_NE(printer.error(), 0);

    setCurrentPrinter(QStringLiteral("alfa"));
    ASSERT_TRUE(printer.beginDocument(QStringLiteral("achado"), false));
    drawPages(printer, 1);
    printer.endDocument();
    EXPECT_EQ(printer.error(), 0); // each document starts afresh
    EXPECT_TRUE(cups->nextJob(QStringLiteral("alfa")).has_value());
}

TEST_F(CupsPrinting, PropertiesChosenForAPrinterGoWithItsGraphicJobs) {
    if (!zr::test::pdfInfoAvailable()) {
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    }
    PrinterProperties chosen;
    chosen.pageSize = QPageSize(QPageSize::A5);
    chosen.sides = QStringLiteral("two-sided-long-edge");
    rememberProperties(QStringLiteral("beta"), chosen);
    setCurrentPrinter(QStringLiteral("beta"));
    // The text layout measures the chosen paper: A5 is 148 x 210 mm.
    const PrinterMetrics m = MetricasImpressora();
    ASSERT_GT(m.dpiX, 0);
    EXPECT_NEAR(m.physicalWidth * 25.4 / m.dpiX, 148, 1);
    EXPECT_NEAR(m.physicalHeight * 25.4 / m.dpiY, 210, 1);

    // Orientation and title stay the job's own.
    GraphicPrinter& printer = currentGraphicPrinter();
    ASSERT_TRUE(printer.beginDocument(QStringLiteral("em A5"), true));
    drawPages(printer, 2);
    printer.endDocument();
    forgetAllProperties();
    ASSERT_EQ(printer.error(), 0);
    const std::optional<QByteArray> received = cups->nextJob(QStringLiteral("beta"));
    ASSERT_TRUE(received.has_value());
    const std::optional<zr::test::PdfInfo> info = zr::test::pdfInfo(*received);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->pages, 2);
    EXPECT_NEAR(info->pageSize.width(), 595.3, 1); // A5 turned
    EXPECT_NEAR(info->pageSize.height(), 419.5, 1);
    EXPECT_EQ(cups->newestJobTitle(QStringLiteral("beta")), QStringLiteral("em A5"));
    EXPECT_EQ(cups->newestJobAttribute(QStringLiteral("beta"), "sides"),
              QStringLiteral("two-sided-long-edge"));

    // Without chosen properties: the printer's default paper again.
    EXPECT_NEAR(MetricasImpressora().physicalWidth * 25.4 / m.dpiX, 210, 1);
}
