#include "reportlib/print/qdx_print_job.h"
#include "reportlib/print/qdx_printer.h"
#include "reportlib/preview/qdx_print_command.h"

#include "pdf_info.h"
#include "private_cupsd.h"
#include "recording_interaction.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cups/cups.h>

#include <cmath>
#include <functional>

namespace zr::reportlib::preview {
namespace {

// Pages given by their attribute text; each has one memo.
QByteArray reportXml(const std::vector<QByteArray>& pageAttributes) {
    QByteArray pages;
    int n = 0;
    for (const QByteArray& attributes : pageAttributes) {
        pages += "<TqdxReportPage " + attributes +
                 "><TqdxPageHeader Name=\"Header\" Top=\"0\" Height=\"300\">"
                 "<TqdxMemoView Name=\"Title\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" "
                 "Text=\"Pagina " +
                 QByteArray::number(++n) + "\"/></TqdxPageHeader></TqdxReportPage>";
    }
    return "<?xml version=\"1.0\"?><preparedreport><previewpages>" + pages +
           "</previewpages></preparedreport>";
}

// Page i (1-based) is 210 mm wide and 200 + i mm high, so that a sheet tells its page.
std::vector<QByteArray> numberedPages(int count, const QByteArray& extra = {}) {
    std::vector<QByteArray> pages;
    for (int i = 1; i <= count; ++i) {
        pages.push_back("PaperSize=\"256\" PaperWidth=\"210\" PaperHeight=\"" +
                        QByteArray::number(200 + i) + "\" " + extra);
    }
    return pages;
}

const QByteArray kA4 = "PaperSize=\"9\" PaperWidth=\"210\" PaperHeight=\"297\"";
const QByteArray kA3 = "PaperSize=\"8\" PaperWidth=\"297\" PaperHeight=\"420\"";
const QByteArray kA5 = "PaperSize=\"11\" PaperWidth=\"148\" PaperHeight=\"210\"";

void load(TqdxReport& report, const QByteArray& xml) {
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    report.PreviewPages().LoadFromStream(buffer);
}

// Records every sheet: its settings, the store's CopyNo and whether anything was drawn.
class RecordingDevice final : public TqdxPrintDevice {
public:
    struct Sheet {
        TqdxSheetSettings settings;
        int copyNo = 0;
        bool drawn = false;
    };
    explicit RecordingDevice(TqdxPreviewPages& pages) : m_pages(pages), m_image(40, 60, QImage::Format_RGB32) {}
    void ApplyPrintSettings(const TqdxSheetSettings& s) override {
        m_settings = s;
        ++applied;
    }
    const TqdxSheetSettings& Settings() const override { return m_settings; }
    int DpiX() const override { return 10; }
    int DpiY() const override { return 10; }
    bool StartDocument(const QString&, QString& error) override {
        if (refuse) {
            error = QStringLiteral("recusado");
            return false;
        }
        started = true;
        return m_painter.begin(&m_image);
    }
    void StartSheet() override { sheets.push_back({m_settings, m_pages.CopyNo, false}); }
    QPainter& Canvas() override {
        sheets.back().drawn = true;
        return m_painter;
    }
    void FinishSheet() override {}
    bool FinishDocument(QString&) override {
        m_painter.end();
        finished = true;
        return true;
    }
    void AbortDocument() override {
        m_painter.end();
        aborted = true;
    }

    // The page drawn on each sheet, 1-based, from its height; 0 for a blank sheet.
    std::vector<int> pageSequence() const {
        std::vector<int> seq;
        for (const Sheet& s : sheets) {
            seq.push_back(s.drawn ? int(std::lround(s.settings.height)) - 200 : 0);
        }
        return seq;
    }

    std::vector<Sheet> sheets;
    int applied = 0;
    bool refuse = false, started = false, finished = false, aborted = false;

private:
    TqdxPreviewPages& m_pages;
    TqdxSheetSettings m_settings;
    QImage m_image;
    QPainter m_painter;
};

struct Job {
    TqdxReport report;
    test::RecordingInteraction ui;
    RecordingDevice device{report.PreviewPages()};
    explicit Job(const std::vector<QByteArray>& pages) {
        report.UserInteraction = &ui;
        load(report, reportXml(pages));
    }
    TqdxPrintResult print(int duplex = 0) { return PrintPreparedPages(report, device, duplex); }
};

TEST(PrintArithmetic, FitRuleDropsUpToElevenMillimetres) {
    EXPECT_EQ(FitCount(215, 210), 1);
    EXPECT_EQ(FitCount(300, 210), 2);
    EXPECT_EQ(FitCount(420, 210), 2);
    EXPECT_EQ(FitCount(0, 210), 1);
    EXPECT_EQ(FitCount(1e300, 210), FitCount(10000, 210)); // bounded, no overflow
    EXPECT_EQ(FitCount(100, 0), 1);
    // A5 pages on an A4 sheet: 2 x 2 upright, 1 x 2 turned.
    EXPECT_EQ(Fit(210, 297, 148, 210), (TqdxFit{1, 2, true}));
    const TqdxJoinPlan join = JoinPlan(148, 210, 210, 297);
    EXPECT_TRUE(join.landscape);
    EXPECT_EQ(join.cols, 2);
    EXPECT_EQ(join.rows, 1);
    EXPECT_DOUBLE_EQ(join.sheetW, 297);
}

TEST(PrintArithmetic, ScaleStretchesEachAxis) {
    const TqdxScale a3 = ScaleFactors(210, 297, 297, 420);
    EXPECT_NEAR(a3.x, 1.41428, 1e-5);
    EXPECT_NEAR(a3.y, 1.41414, 1e-5);
    EXPECT_DOUBLE_EQ(a3.print, a3.y);
    const TqdxScale letter = ScaleFactors(210, 297, 216, 279);
    EXPECT_NEAR(letter.x, 1.02857, 1e-5);
    EXPECT_NEAR(letter.y, 0.93939, 1e-5);
    EXPECT_EQ(SheetSize(8, 0, 0, true), QSizeF(420, 297));
    EXPECT_EQ(SheetSize(256, 100, 200, false), QSizeF(100, 200));
}

TEST(PrintArithmetic, SplitTilesRepeatTheSpliceStrip) {
    // An A3 page on A4 sheets turned: two tiles without unprintable strips; with 5 mm strips
    // and the splice, 420 mm no longer fits on two 197 mm strips.
    EXPECT_EQ(SplitPlan(297, 420, 210, 297, {}, 3).tiles.size(), 2u);
    const TqdxSplitPlan plan = SplitPlan(297, 420, 210, 297, QMarginsF(5, 5, 5, 5), 3);
    EXPECT_EQ(plan.tiles.size(), 3u);
    EXPECT_TRUE(plan.fit.turned);
    EXPECT_DOUBLE_EQ(plan.sheetW, 297);
    EXPECT_DOUBLE_EQ(plan.tiles[0].offsetX, -5);
    EXPECT_DOUBLE_EQ(plan.tiles[1].offsetY, -(210 - 10 - 3));
    EXPECT_DOUBLE_EQ(plan.tiles[1].clip.top(), 3); // left blank for pasting
    // A page that fits is one tile; an absurd page stays bounded.
    EXPECT_EQ(SplitPlan(210, 297, 210, 297, {}, 3).tiles.size(), 1u);
    EXPECT_LE(SplitPlan(1e9, 1e9, 1, 1, {}, 3).tiles.size(), 400u);
}

TEST(PrintArithmetic, PageOrder) {
    using V = std::vector<int>;
    EXPECT_EQ(PrintPageOrder(QStringLiteral("2-4"), 5, ppAll, true), (V{3, 2, 1}));
    EXPECT_EQ(PrintPageOrder({}, 5, ppEven, false), (V{1, 3}));
    EXPECT_EQ(PrintPageOrder({}, 5, ppOdd, true), (V{4, 2, 0}));
    EXPECT_EQ(PrintPageOrder(QStringLiteral("3,9,2-3"), 5, ppAll, false), (V{2, 1}));
    EXPECT_EQ(PrintPageOrder(QStringLiteral("4-"), 5, ppAll, false), (V{3, 4}));
    EXPECT_THROW(PrintPageOrder(QStringLiteral("x"), 5, ppAll, false), std::invalid_argument);
    EXPECT_THROW(PrintPageOrder(QStringLiteral("1,5-2"), 5, ppAll, false), std::invalid_argument);
}

TEST(PrintJob, CollatedAndUncollatedCopies) {
    Job collated(numberedPages(3));
    collated.report.PrintOptions.Copies = 2;
    ASSERT_TRUE(collated.print().printed);
    EXPECT_EQ(collated.device.pageSequence(), (std::vector<int>{1, 2, 3, 1, 2, 3}));
    std::vector<int> copyNos;
    for (const auto& s : collated.device.sheets) {
        copyNos.push_back(s.copyNo);
        EXPECT_EQ(s.settings.copies, 1);
    }
    EXPECT_EQ(copyNos, (std::vector<int>{1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(collated.report.PreviewPages().CopyNo, 0);

    Job plain(numberedPages(3));
    plain.report.PrintOptions.Copies = 2;
    plain.report.PrintOptions.Collate = false;
    ASSERT_TRUE(plain.print().printed);
    EXPECT_EQ(plain.device.pageSequence(), (std::vector<int>{1, 1, 2, 2, 3, 3}));
    for (const auto& s : plain.device.sheets) {
        EXPECT_EQ(s.copyNo, 1);
        EXPECT_EQ(s.settings.copies, 1); // a device that makes no copies: all are drawn
    }
}

TEST(PrintJob, DuplexAddsABlankSheetAfterAnOddCopy) {
    Job odd(numberedPages(3));
    odd.report.PrintOptions.Copies = 2;
    ASSERT_TRUE(odd.print(dmVertical).printed);
    EXPECT_EQ(odd.device.pageSequence(), (std::vector<int>{1, 2, 3, 0, 1, 2, 3, 0}));
    EXPECT_EQ(odd.device.sheets[0].settings.duplex, dmVertical);

    Job even(numberedPages(4));
    even.report.PrintOptions.Copies = 2;
    ASSERT_TRUE(even.print(dmVertical).printed);
    EXPECT_EQ(even.device.sheets.size(), 8u);
}

TEST(PrintJob, BinsAndSettingsPerPage) {
    Job job({kA4 + " Bin=\"1\" BinOtherPages=\"2\"", kA4 + " Bin=\"1\" BinOtherPages=\"2\"",
             kA4 + " Bin=\"1\" BinOtherPages=\"2\""});
    ASSERT_TRUE(job.print().printed);
    ASSERT_EQ(job.device.sheets.size(), 3u);
    EXPECT_EQ(job.device.sheets[0].settings.bin, 1);
    EXPECT_EQ(job.device.sheets[1].settings.bin, 2);
    EXPECT_EQ(job.device.applied, 2); // the third page changes nothing
}

TEST(PrintJob, ScaleAndJoinModes) {
    Job scale({kA4});
    scale.report.PrintOptions.PrintMode = pmScale;
    scale.report.PrintOptions.PrintOnSheet = 8;
    ASSERT_TRUE(scale.print().printed);
    EXPECT_NEAR(scale.report.PreviewPages().PrintScale, 1.41414, 1e-5);
    EXPECT_DOUBLE_EQ(scale.device.sheets[0].settings.width, 297);

    Job join({kA5, kA5, kA5});
    join.report.PrintOptions.PrintMode = pmJoin;
    join.report.PrintOptions.PrintOnSheet = 9;
    ASSERT_TRUE(join.print().printed);
    ASSERT_EQ(join.device.sheets.size(), 2u);
    EXPECT_TRUE(join.device.sheets[0].settings.landscape);
    EXPECT_DOUBLE_EQ(join.device.sheets[0].settings.width, 297);

    // Each page twice on a sheet without collation; with it, the pass repeats (each page once
    // a pass, not twice).
    Job twice({kA5, kA5, kA5});
    twice.report.PrintOptions.PrintMode = pmJoin;
    twice.report.PrintOptions.PrintOnSheet = 9;
    twice.report.PrintOptions.Copies = 2;
    twice.report.PrintOptions.Collate = false;
    ASSERT_TRUE(twice.print().printed);
    EXPECT_EQ(twice.device.sheets.size(), 3u);
    twice.report.PrintOptions.Collate = true;
    twice.device.sheets.clear();
    ASSERT_TRUE(twice.print().printed);
    EXPECT_EQ(twice.device.sheets.size(), 4u);

    Job split({kA3});
    split.report.PrintOptions.PrintMode = pmSplit;
    split.report.PrintOptions.PrintOnSheet = 9;
    ASSERT_TRUE(split.print().printed);
    EXPECT_EQ(split.device.sheets.size(), 2u);
}

TEST(PrintJob, CancelRefusalAndBadRange) {
    Job cancel(numberedPages(5));
    cancel.ui.cancelAfterSteps = 2;
    const TqdxPrintResult r = cancel.print();
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.printed);
    EXPECT_TRUE(cancel.device.aborted);
    EXPECT_FALSE(cancel.device.finished);
    EXPECT_TRUE(cancel.report.Terminated);

    Job refused(numberedPages(2));
    refused.device.refuse = true;
    const TqdxPrintResult rr = refused.print();
    EXPECT_FALSE(rr.printed);
    EXPECT_EQ(rr.error, QStringLiteral("recusado"));
    ASSERT_EQ(refused.ui.messages.size(), 1u);
    EXPECT_EQ(refused.ui.messages[0].kind, MessageKind::Error);

    Job bad(numberedPages(2));
    bad.report.PrintOptions.PageNumbers = "1,a";
    EXPECT_THROW(bad.print(), std::invalid_argument);
    EXPECT_FALSE(bad.device.started);
}

// ---- Real jobs ----------------------------------------------------------------------------------

// A job template attribute of the newest job on `queue`, as the scheduler recorded it.
TEST(PrintJobCups, JobsReachTheQueueAsPdf) {
    if (!test::pdfInfoAvailable()) {
        GTEST_SKIP() << "pdfinfo missing";
    }
    test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    ASSERT_TRUE(cups.addQueue(QStringLiteral("laser")));
    auto printJob = [&](TqdxReport& report) {
        const TqdxPrintResult r = PrintReport(report, QStringLiteral("laser"));
        EXPECT_TRUE(r.printed) << r.error.toStdString();
        const auto bytes = cups.nextJob(QStringLiteral("laser"));
        EXPECT_TRUE(bytes.has_value());
        return bytes ? test::pdfInfo(*bytes) : std::nullopt;
    };

    TqdxReport report;
    load(report, reportXml({kA4, kA4, kA4, kA4, kA4}));
    report.PrintOptions.Copies = 2;
    report.PrintOptions.PrintPages = ppOdd;
    auto info = printJob(report);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 6);
    EXPECT_NEAR(info->pageSize.width(), 595.3, 1);
    EXPECT_NEAR(info->pageSize.height(), 841.9, 1);

    TqdxReport big;
    load(big, reportXml({kA3, kA3}));
    big.PrintOptions.PrintMode = pmSplit;
    big.PrintOptions.PrintOnSheet = 9;
    info = printJob(big);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 4);
    EXPECT_NEAR(info->pageSize.width(), 841.9, 1); // turned A4

    TqdxReport small;
    load(small, reportXml({kA5, kA5, kA5}));
    small.PrintOptions.PrintMode = pmJoin;
    small.PrintOptions.PrintOnSheet = 9;
    info = printJob(small);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 2);

    small.PrintOptions.PrintMode = pmScale;
    small.PrintOptions.PrintOnSheet = 8;
    info = printJob(small);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 3);
    EXPECT_NEAR(info->pageSize.height(), 1190.5, 1);

    // Duplex and the first page's bin go with the job.
    TqdxReport twoSided;
    load(twoSided, reportXml({kA4 + " Bin=\"2\"", kA4}));
    twoSided.PrintOptions.Duplex = dmVertical;
    info = printJob(twoSided);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 2);
    EXPECT_EQ(cups.newestJobAttribute(QStringLiteral("laser"), "sides"),
              QStringLiteral("two-sided-long-edge"));
    EXPECT_EQ(cups.newestJobAttribute(QStringLiteral("laser"), "media-source"), QStringLiteral("bottom"));

    // A queue removed after it was chosen: a message, nothing counted as printed.
    test::RecordingInteraction ui;
    report.UserInteraction = &ui;
    ASSERT_TRUE(cups.removeQueue(QStringLiteral("laser")));
    const TqdxPrintResult gone = PrintReport(report, QStringLiteral("laser"));
    EXPECT_FALSE(gone.printed);
    EXPECT_EQ(gone.sheets, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains(QStringLiteral("laser")));
}

// A page of `widthMm` x `heightMm` without margins, wholly covered by a memo of `color` (BGR;
// 0 black, 16777215 white) that says "Folha N".
QByteArray filledPage(double widthMm, double heightMm, int color, int n) {
    const auto px = [](double mm) { return QByteArray::number(qRound(mm * 3.77953)); };
    return "<TqdxReportPage PaperSize=\"256\" PaperWidth=\"" + QByteArray::number(widthMm) +
           "\" PaperHeight=\"" + QByteArray::number(heightMm) +
           "\" LeftMargin=\"0\" TopMargin=\"0\" RightMargin=\"0\" BottomMargin=\"0\">"
           "<TqdxPageHeader Name=\"H\" Top=\"0\" Height=\"" + px(heightMm) + "\">"
           "<TqdxMemoView Name=\"Fill\" Left=\"0\" Top=\"0\" Width=\"" + px(widthMm) +
           "\" Height=\"" + px(heightMm) + "\" Color=\"" + QByteArray::number(color) +
           "\" Text=\"Folha " + QByteArray::number(n) + "\"/></TqdxPageHeader></TqdxReportPage>";
}

QByteArray filledReport(const std::vector<QByteArray>& pages) {
    QByteArray all;
    for (const QByteArray& p : pages) {
        all += p;
    }
    return "<?xml version=\"1.0\"?><preparedreport><previewpages>" + all +
           "</previewpages></preparedreport>";
}

// Each sheet of a PDF drawn by pdftoppm at `dpi`.
std::vector<QImage> sheetImages(const QByteArray& pdf, int dpi) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("job.pdf"));
    QFile file(path);
    std::vector<QImage> images;
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
        return images;
    }
    file.close();
    const test::ProgramRun run =
        test::runProgram(QStringLiteral("pdftoppm"),
                         {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), path,
                          dir.filePath(QStringLiteral("s"))});
    if (run.exitCode != 0) {
        return images;
    }
    QStringList names = QDir(dir.path()).entryList({QStringLiteral("s-*.png")}, QDir::Files,
                                                   QDir::Name);
    for (const QString& name : names) {
        images.push_back(QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32));
    }
    return images;
}

bool dark(const QImage& image, double xMm, double yMm, int dpi) {
    const int x = int(xMm * dpi / 25.4), y = int(yMm * dpi / 25.4);
    return image.valid(x, y) && qGray(image.pixel(x, y)) < 128;
}

// A queue whose PPD has US Letter as its default paper, A4 beside it, and unprintable strips of
// 6.35 mm at the sides and 12.7 mm at top and bottom; it passes PDF to its printer unchanged.
const QByteArray kMarginsPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*ModelName: "Zeral Margens"
*NickName: "Zeral Margens"
*cupsFilter: "application/pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: Letter
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: Letter
*ImageableArea Letter/US Letter: "18 36 594 756"
*ImageableArea A4/A4: "18 36 577 806"
*DefaultPaperDimension: Letter
*PaperDimension Letter/US Letter: "612 792"
*PaperDimension A4/A4: "595 842"
)PPD";

// Copies of two-sided sheets keep each sheet whole: uncollated copies are left to a queue with
// a driver (which makes them), drawn ones (a file, a raw queue) repeat front and back;
// collated copies of the split and join modes each start on a front.
TEST(PrintJobCups, CopiesOfTwoSidedSheetsKeepEachSheetWhole) {
    if (!test::pdfInfoAvailable()) {
        GTEST_SKIP() << "poppler's tools missing";
    }
    test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    ASSERT_TRUE(cups.addQueue(QStringLiteral("laser")));
    ASSERT_TRUE(cups.addQueue(QStringLiteral("margens"), kMarginsPpd));
    const QString laser = QStringLiteral("laser");
    const QString office = QStringLiteral("margens");

    TqdxReport report;
    load(report, filledReport({filledPage(210, 297, 16777215, 1), filledPage(210, 297, 16777215, 2),
                               filledPage(210, 297, 16777215, 3), filledPage(210, 297, 16777215, 4)}));
    TqdxPrintOptions& o = report.PrintOptions;
    o.PageNumbers = "1-3";
    o.Copies = 2;
    o.Collate = false;
    o.Duplex = dmVertical;
    ASSERT_TRUE(PrintReport(report, office).printed);
    const auto queued = cups.nextJob(office);
    ASSERT_TRUE(queued.has_value());
    EXPECT_EQ(cups.newestJobAttribute(office, "copies"), QStringLiteral("2"));
    EXPECT_EQ(cups.newestJobAttribute(office, "multiple-document-handling"),
              QStringLiteral("separate-documents-uncollated-copies"));
    EXPECT_EQ(cups.newestJobAttribute(office, "sides"), QStringLiteral("two-sided-long-edge"));
    const QStringList once = test::popplerPageTexts(*queued);
    ASSERT_GE(once.size(), 3);
    EXPECT_EQ(once.mid(0, 3), (QStringList{"Folha 1", "Folha 2", "Folha 3"}));

    // Drawn copies (a file or a raw queue makes none of its own): front and back of each
    // sheet, twice.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copias.pdf"));
    ASSERT_TRUE(PrintReport(report, {}, path).printed);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList drawn{"Folha 1", "Folha 2", "Folha 1", "Folha 2",
                            "Folha 3", "",        "Folha 3", ""};
    EXPECT_EQ(test::popplerPageTexts(file.readAll()), drawn);
    ASSERT_TRUE(PrintReport(report, laser).printed);
    const auto raw = cups.nextJob(laser);
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(cups.newestJobAttribute(laser, "copies"), QString());
    EXPECT_EQ(test::popplerPageTexts(*raw), drawn);

    // Collated two-sided copies in the modes that draw several sheets a page, or several pages a
    // sheet: each copy ends on a back.
    struct Case {
        int mode;
        QByteArray page;
        int sheetsPerCopy;
    };
    const Case cases[] = {
        {pmSplit, filledPage(210, 800, 16777215, 1), 3}, // three tiles
        {pmJoin, filledPage(148, 210, 16777215, 1), 1},  // one sheet
    };
    for (const Case& c : cases) {
        TqdxReport r;
        load(r, filledReport({c.page}));
        r.PrintOptions.PrintMode = c.mode;
        r.PrintOptions.PrintOnSheet = 9;
        r.PrintOptions.Copies = 2;
        r.PrintOptions.Duplex = dmVertical;
        const TqdxPrintResult printed = PrintReport(r, laser);
        ASSERT_TRUE(printed.printed) << printed.error.toStdString();
        const auto bytes = cups.nextJob(laser);
        ASSERT_TRUE(bytes.has_value());
        const auto info = test::pdfInfo(*bytes);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->pages, 2 * (c.sheetsPerCopy + 1)) << "mode " << c.mode;
    }
}

// The sheets follow the queue: "Padrão" is its default paper, split tiles step by what it
// prints of each sheet, and join cells hold their page whole without covering a neighbour.
TEST(PrintJobCups, SheetsFollowTheQueuesPaperAndMargins) {
    if (!test::pdfInfoAvailable() || !test::runProgram(QStringLiteral("pdftoppm"), {"-v"}).found) {
        GTEST_SKIP() << "poppler's tools missing";
    }
    test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    const QString queue = QStringLiteral("margens");
    ASSERT_TRUE(cups.addQueue(queue, kMarginsPpd));
    QTemporaryDir dir;
    auto print = [&](TqdxReport& r) -> QByteArray {
        const TqdxPrintResult printed = PrintReport(r, queue);
        EXPECT_TRUE(printed.printed) << printed.error.toStdString();
        const QByteArray job = cups.nextJob(queue).value_or(QByteArray());
        // Pages placed on sheets are a sound PDF.
        const QString path = dir.filePath(QStringLiteral("job.pdf"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(job) == job.size()) {
            file.close();
            const QString problems = test::qpdfCheckProblems(path);
            EXPECT_TRUE(problems.isEmpty() || problems == QLatin1String("qpdf missing"))
                << problems.toStdString();
        }
        return job;
    };

    // "Padrão": two A5 pages side by side on a turned Letter sheet.
    TqdxReport joined;
    load(joined, reportXml({kA5, kA5}));
    joined.PrintOptions.PrintMode = pmJoin;
    joined.PrintOptions.PrintOnSheet = kCustomPaper;
    const auto letter = test::pdfInfo(print(joined));
    ASSERT_TRUE(letter.has_value());
    EXPECT_NEAR(letter->pageSize.width(), 792, 1);
    EXPECT_NEAR(letter->pageSize.height(), 612, 1);

    // A black page twice A4's height on A4 tiles: nothing in the strips the printer cannot
    // print, ink right inside them, and the page's band at each seam on a tile.
    TqdxReport tall;
    load(tall, filledReport({filledPage(210, 594, 0, 1)}));
    tall.PrintOptions.PrintMode = pmSplit;
    tall.PrintOptions.PrintOnSheet = 9;
    const int dpi = 36;
    const std::vector<QImage> tiles = sheetImages(print(tall), dpi);
    ASSERT_GE(tiles.size(), 2u);
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        const QImage& tile = tiles[t];
        const double w = 210, h = 297; // the tile upright (A4)
        for (const auto& [x, y] : {std::pair{3.0, h / 2}, std::pair{w - 3.0, h / 2},
                                   std::pair{w / 2, 6.0}, std::pair{w / 2, h - 6.0}}) {
            EXPECT_FALSE(dark(tile, x, y, dpi)) << "tile " << t << " ink at " << x << "," << y;
        }
        EXPECT_TRUE(dark(tile, 9.0, 40.0, dpi)) << "tile " << t; // right inside the left strip
        EXPECT_TRUE(dark(tile, w / 2, 16.0, dpi) || t > 0) << "tile " << t; // below the top strip
    }

    // Join: the first page sets the cells (100 x 70 mm, three by three on a turned A4); the
    // second, a black page twice a cell's height, is scaled into its cell and clipped to it,
    // so the cell below it, whose page draws nothing there, stays white.
    constexpr int kNoFill = 0x1FFFFFFF;
    TqdxReport cells;
    std::vector<QByteArray> pages = {filledPage(100, 70, kNoFill, 1), filledPage(100, 140, 0, 2)};
    for (int i = 3; i <= 6; ++i) {
        pages.push_back(filledPage(100, 70, kNoFill, i));
    }
    load(cells, filledReport(pages));
    cells.PrintOptions.PrintMode = pmJoin;
    cells.PrintOptions.PrintOnSheet = 9;
    const std::vector<QImage> sheets = sheetImages(print(cells), dpi);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_TRUE(dark(sheets[0], 110, 30, dpi)); // the black page, in its cell
    EXPECT_FALSE(dark(sheets[0], 150, 110, dpi)); // the cell below it: page 5, white
}

// What the job tells the queue: the report's cp1252 name as a Unicode title (job and PDF),
// the bin of the main tray as its keyword; and a backward range is refused before any job.
TEST(PrintJobCups, TheJobCarriesTitleAndBinAndRefusesABackwardRange) {
    test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    const QString laser = QStringLiteral("laser");
    ASSERT_TRUE(cups.addQueue(laser));
    TqdxReport report;
    load(report, reportXml({kA4 + " Bin=\"15\"", kA4, kA4, kA4, kA4}));
    report.ReportOptions.Name = "Relat\xf3rio \x97 10 \x80 \x93" "final\x94";
    const QString title = QStringLiteral("Relatório — 10 € “final”");
    ASSERT_TRUE(PrintReport(report, laser).printed);
    const auto bytes = cups.nextJob(laser);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(cups.newestJobTitle(laser), title);
    EXPECT_EQ(cups.newestJobAttribute(laser, "media-source"), QStringLiteral("main"));
    if (test::pdfInfoAvailable()) {
        const auto info = test::pdfInfo(*bytes);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->title, title);
    }

    for (const char* backward : {"5-2", "1,4-3"}) {
        report.PrintOptions.PageNumbers = backward;
        EXPECT_THROW(PrintReport(report, laser), std::invalid_argument) << backward;
    }
    EXPECT_FALSE(cups.nextJob(laser, 1500).has_value());
}

TEST(PrintJobCups, ThePreviewCommandPrintsOnTheNamedPrinterWithoutDialog) {
    test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    ASSERT_TRUE(cups.addQueue(QStringLiteral("laser")));
    ASSERT_TRUE(cups.addQueue(QStringLiteral("outra")));
    ASSERT_TRUE(cups.setDefault(QStringLiteral("outra")));
    TqdxReport report;
    test::RecordingInteraction ui;
    report.UserInteraction = &ui;
    load(report, reportXml({kA4, kA4}));
    report.PrintOptions.ShowDialog = false;
    report.PrintOptions.Printer = "LASER"; // names match ignoring case
    EXPECT_TRUE(Print(report));
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text.toStdString();
    const auto bytes = cups.nextJob(QStringLiteral("laser"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->startsWith("%PDF"));
    EXPECT_EQ(report.PrintOptions.Printer, QByteArray("LASER"));
    EXPECT_EQ(report.PreviewPages().CopyNo, 0);
}

TEST(PrintJobFile, PrintToFileWritesThePdf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.pdf"));
    TqdxReport report;
    load(report, reportXml({kA4, kA5}));
    const TqdxPrintResult r = PrintReport(report, {}, path);
    ASSERT_TRUE(r.printed) << r.error.toStdString();
    EXPECT_EQ(r.sheets, 2);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    if (test::pdfInfoAvailable()) {
        const auto info = test::pdfInfo(bytes);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->pages, 2);
    }

    // Two collated two-sided copies of three pages: each copy ends on a blank back, and every
    // page keeps its text.
    TqdxReport twoSided;
    load(twoSided, reportXml({kA4, kA4, kA4}));
    twoSided.PrintOptions.Copies = 2;
    twoSided.PrintOptions.Duplex = dmVertical;
    const TqdxPrintResult copies = PrintReport(twoSided, {}, path);
    ASSERT_TRUE(copies.printed) << copies.error.toStdString();
    EXPECT_EQ(copies.sheets, 8);
    if (const auto text = test::popplerText(path)) {
        const QStringList sheets = QString::fromUtf8(*text).split(QLatin1Char('\f'));
        ASSERT_GE(sheets.size(), 8);
        for (int copy = 0; copy < 2; ++copy) {
            for (int page = 0; page < 3; ++page) {
                EXPECT_TRUE(sheets[copy * 4 + page].contains(QStringLiteral("Pagina %1").arg(page + 1)))
                    << sheets[copy * 4 + page].toStdString();
            }
            EXPECT_TRUE(sheets[copy * 4 + 3].trimmed().isEmpty());
        }
    }

    // A folder that does not exist: an error, no file.
    const TqdxPrintResult bad = PrintReport(report, {}, dir.filePath(QStringLiteral("no/x.pdf")));
    EXPECT_FALSE(bad.printed);
    EXPECT_FALSE(bad.error.isEmpty());
}

// The sheets reach the output while later ones are still being drawn: the unfinished file grows
// sheet by sheet.
// Wraps a device and notes, as each sheet starts, how many bytes of the document have left the
// program so far (measured by `written`).
class WatchedDevice final : public TqdxPrintDevice {
public:
    WatchedDevice(std::unique_ptr<TqdxPrintDevice> inner, std::function<qint64()> written)
        : m_inner(std::move(inner)), m_written(std::move(written)) {}
    void ApplyPrintSettings(const TqdxSheetSettings& s) override { m_inner->ApplyPrintSettings(s); }
    const TqdxSheetSettings& Settings() const override { return m_inner->Settings(); }
    int DpiX() const override { return m_inner->DpiX(); }
    int DpiY() const override { return m_inner->DpiY(); }
    bool StartDocument(const QString& t, QString& e) override { return m_inner->StartDocument(t, e); }
    void ExpectWholePages(bool whole) override { m_inner->ExpectWholePages(whole); }
    void StartSheet() override {
        sizes.push_back(m_written());
        m_inner->StartSheet();
    }
    bool PutWholePage(TqdxPreviewPages& pages, int index, int copyNo) override {
        return m_inner->PutWholePage(pages, index, copyNo);
    }
    QPainter& Canvas() override { return m_inner->Canvas(); }
    void DrawPage(TqdxPreviewPages& pages, int index, int copyNo, double zx, double zy, double x,
                  double y, const QRectF& clip) override {
        m_inner->DrawPage(pages, index, copyNo, zx, zy, x, y, clip);
    }
    void FinishSheet() override { m_inner->FinishSheet(); }
    bool FinishDocument(QString& e) override { return m_inner->FinishDocument(e); }
    void AbortDocument() override { m_inner->AbortDocument(); }
    std::vector<qint64> sizes;

private:
    std::unique_ptr<TqdxPrintDevice> m_inner;
    std::function<qint64()> m_written;
};

// The size of the files in `folder` whose names start with `prefix`, open ones included.
qint64 bytesIn(const QString& folder, const QString& prefix) {
    qint64 size = 0;
    const QDir dir(folder);
    for (const QFileInfo& file : dir.entryInfoList({prefix + QLatin1Char('*')},
                                                  QDir::Files | QDir::Hidden | QDir::System)) {
        size += file.size();
    }
    return size;
}

// Long jobs leave the program while they are drawn: a file is written in blocks (it buffers
// 256 KiB), and a queue's scheduler spools the document as it comes.
TEST(PrintJobStreaming, SheetsLeaveTheProgramAsTheyAreDrawn) {
    // Whole pages go through the export's writer, other layouts are drawn with QPainter: both
    // stream.
    constexpr int kWholePages = 2000;
    constexpr int kScaled = 600;
    TqdxReport report;
    load(report, reportXml(std::vector<QByteArray>(kWholePages, kA4)));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.pdf"));
    WatchedDevice toFile(OpenPdfPrintDevice({}, path),
                         [&] { return bytesIn(dir.path(), QStringLiteral(".long.pdf")); });
    ASSERT_TRUE(PrintPreparedPages(report, toFile, 0).printed);
    ASSERT_EQ(toFile.sizes.size(), size_t(kWholePages));
    EXPECT_EQ(toFile.sizes[0], 0);
    EXPECT_GT(toFile.sizes[kWholePages * 3 / 4], 0);
    EXPECT_TRUE(QFileInfo::exists(path));

    test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    ASSERT_TRUE(cups.addQueue(QStringLiteral("laser")));
    auto printToQueue = [&](TqdxReport& r, int sheets) {
        WatchedDevice toQueue(OpenPdfPrintDevice(QStringLiteral("laser"), {}), [&] {
            // The scheduler takes a request's document into a file of the request's number, and
            // names it as the job's when it is whole.
            return bytesIn(cups.spoolDirectory(), QStringLiteral("0")) +
                   bytesIn(cups.spoolDirectory(), QStringLiteral("d"));
        });
        const TqdxPrintResult printed = PrintPreparedPages(r, toQueue, 0);
        ASSERT_TRUE(printed.printed) << printed.error.toStdString();
        ASSERT_EQ(toQueue.sizes.size(), size_t(sheets));
        EXPECT_GT(toQueue.sizes[size_t(sheets * 3 / 4)], 0);
        const auto job = cups.nextJob(QStringLiteral("laser"));
        ASSERT_TRUE(job.has_value());
        if (test::pdfInfoAvailable()) {
            const auto info = test::pdfInfo(*job);
            ASSERT_TRUE(info.has_value());
            EXPECT_EQ(info->pages, sheets);
        }
    };
    printToQueue(report, kWholePages);

    TqdxReport scaled;
    load(scaled, reportXml(std::vector<QByteArray>(kScaled, kA5)));
    scaled.PrintOptions.PrintMode = pmScale;
    scaled.PrintOptions.PrintOnSheet = 9;
    printToQueue(scaled, kScaled);
}

} // namespace
} // namespace zr::reportlib::preview
