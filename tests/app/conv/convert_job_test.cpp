#include "app/conv/convert_job.h"

#include "pdf_info.h"
#include "private_cupsd.h"

#include "platform/interaction/interaction.h"
#include "qp3_generator.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/gravana.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>

using zr::app::ConvertJob;
using zr::test::RecordingInteraction;
using zr::test::ReportBuilder;
using zr::test::TempDir;

namespace {

struct Outcome {
    int code = -1;
    QByteArray out;
    std::vector<QString> messages;
};

// Parses and runs a job in-process, capturing what it prints.
Outcome runJob(const QStringList& args) {
    zr::textreport::ReportState::ScopedOverride state;
    Outcome o;
    QString error;
    const auto job = ConvertJob::parse(args, error);
    if (!job) {
        o.code = zr::app::ExitUsage;
        o.messages.push_back(error);
        return o;
    }
    RecordingInteraction ui;
    std::FILE* f = std::tmpfile();
    o.code = job->run(ui, f);
    std::rewind(f);
    char buf[4096];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        o.out.append(buf, qsizetype(n));
    }
    std::fclose(f);
    o.messages = ui.texts();
    return o;
}

} // namespace

TEST(ConvertJob, RejectsMalformedCommandLinesAsUsageErrors) {
    const QList<QStringList> bad = {
        {},
        {"frobnicate", "a.gvp"},
        {"info"},
        {"info", "a.gvp", "b.gvp"},
        {"convert", "a.gvp"},
        {"convert", "a.gvp", "b.doc"},
        {"convert", "a.qp3", "b.txt"}, // a prepared report has no text output
        {"convert", "--copies", "0", "a.gvp", "b.prn"},
        {"convert", "--model", "laser", "a.gvp", "b.prn"},
        {"convert", "--accents", "x", "a.gvp", "b.prn"},
        {"convert", "--odd", "--even", "a.gvp", "b.prn"},
        {"convert", "--scale", "-1", "a.gvp", "b.png"},
        {"convert", "a.gvp", "b.prn", "--pages"},
        {"info", "--pages", "1", "a.gvp"},
    };
    for (const QStringList& args : bad) {
        QString error;
        EXPECT_FALSE(ConvertJob::parse(args, error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(ConvertJob, ParsesEveryOptionOfTheContract) {
    QString error;
    const auto job = ConvertJob::parse({"convert", "--pages", "1,3-4", "--model", "HP", "--accents",
                                        "sem-acento", "--copies", "3", "--no-collate", "--reverse",
                                        "--even", "in.GVP", "OUT.PRN"},
                                       error);
    ASSERT_TRUE(job) << error.toStdString();
    EXPECT_EQ(job->pages, "1,3-4");
    EXPECT_EQ(job->model, zr::textreport::TModelo::HP);
    EXPECT_EQ(job->accents, zr::textreport::TAcento::SemAcento);
    EXPECT_EQ(job->copies, 3);
    EXPECT_FALSE(job->collate);
    EXPECT_TRUE(job->reverse);
    EXPECT_EQ(job->oddEven, 2);
    EXPECT_EQ(job->output, "OUT.PRN");
    const auto picture =
        ConvertJob::parse({"convert", "--page", "2", "--scale", "1.5", "in.GVP", "OUT.PNG"}, error);
    ASSERT_TRUE(picture) << error.toStdString();
    EXPECT_EQ(picture->page, 2);
    EXPECT_DOUBLE_EQ(picture->scale, 1.5);

    // Passwords protect the PDFs of both kinds, and no other output; an archival PDF takes none.
    EXPECT_TRUE(ConvertJob::parse({"convert", "--user-password", "u", "in.GVP", "o.pdf"}, error));
    EXPECT_FALSE(ConvertJob::parse({"convert", "--user-password", "u", "in.GVP", "o.txt"}, error));
    EXPECT_FALSE(ConvertJob::parse(
        {"convert", "--pdfa", "--owner-password", "o", "in.qp3", "o.pdf"}, error));
    EXPECT_FALSE(ConvertJob::parse({"convert", "--pdfa", "in.GVP", "o.htm"}, error));
    const auto archival = ConvertJob::parse({"convert", "--pdfa", "in.qp3", "o.pdf"}, error);
    ASSERT_TRUE(archival);
    EXPECT_TRUE(archival->pdfa);
    const auto prepared = ConvertJob::parse(
        {"convert", "--user-password", "u", "--owner-password", "o", "in.qp3", "o.pdf"}, error);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(prepared->userPassword, "u");
    EXPECT_EQ(prepared->ownerPassword, "o");
}

TEST(ConvertJob, InfoDescribesTheReportInUtf8) {
    TempDir dir;
    const QString in = dir.write("r.GVP", ReportBuilder()
                                              .version(3)
                                              .title("Relat\xf3rio")
                                              .size(72, 132)
                                              .lpp("8")
                                              .pitch("F17")
                                              .style("SIN")
                                              .item(1, 1, 1, "a")
                                              .item(4, 1, 1, "b")
                                              .build());
    const Outcome o = runJob({"info", in});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out, "format: GVP 3\ntitle: Relat\xc3\xb3rio\npages: 4\nitems: 2\nlines: 72\n"
                     "columns: 132\nlpp: 8\npitch: 17\nstyle: NIS\n");
    EXPECT_TRUE(o.messages.empty());
}

TEST(ConvertJob, ConvertsToGvpAndPassesWarningsOn) {
    TempDir dir;
    const QString in =
        dir.write("r.GVP", ReportBuilder().count(5).item(1, 1, 1, "a").version(4).build());
    const QString out = dir.path("copia.GVP");
    const Outcome o = runJob({"convert", in, out});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.messages,
              std::vector<QString>{"Gravana: Erro no controle, relatório pode causar erro"});
    EXPECT_TRUE(TempDir::read(out).startsWith("<< Gravana 5.0 - Morvane Sistemas >>\r\n"));
}

TEST(ConvertJob, FailsWithTheEngineMessageWhenTheInputIsRejected) {
    TempDir dir;
    const QString text = dir.write("notes.txt", "not a report\r\n");
    const QString out = dir.write("out.gvp", "previous");
    Outcome o = runJob({"convert", text, out});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.messages, std::vector<QString>{"O arquivo não é um relatório Zeral (.GVP ou .QP3): " + text});
    EXPECT_EQ(TempDir::read(out), "previous");

    o = runJob({"info", dir.path("missing.GVP")});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.messages.size(), 1u);

    const QString good = dir.write("r.GVP", ReportBuilder().item(1, 1, 1, "a").build());
    o = runJob({"convert", good, dir.path("no/folder/x.gvp")});
    EXPECT_EQ(o.code, 1);
    ASSERT_EQ(o.messages.size(), 1u);
    // Checked before the engine runs, so that the system's reason can be given.
    EXPECT_EQ(o.messages[0], "Erro na gravação do arquivo " + dir.path("no/folder/x.gvp") +
                                 ": No such file or directory");
}

TEST(ConvertJob, TheProgramMapsOutcomesToExitCodes) {
    const QString program = QStringLiteral(ZR_BIN_DIR "/zeralconv");
    if (!QFile::exists(program)) {
        GTEST_SKIP() << "zeralconv not built";
    }
    TempDir dir;
    const QString in = dir.write("r.GVP", ReportBuilder().item(1, 1, 1, "a").build());
    auto run = [&](const QStringList& args, QByteArray* err = nullptr) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        if (err) {
            *err = p.readAllStandardError();
        }
        return p.exitCode();
    };
    QByteArray err;
    EXPECT_EQ(run({"info", in}), 0);
    EXPECT_EQ(run({"convert", in, dir.path("x.GVP")}), 0);
    EXPECT_EQ(run({"info", dir.write("bad.GVP", "x")}, &err), 1);
    EXPECT_TRUE(err.contains("n\xc3\xa3o \xc3\xa9 um relat\xc3\xb3rio Zeral")) << err.constData();
    EXPECT_EQ(run({"convert", in}, &err), 2);
    EXPECT_TRUE(err.contains("Use 'zeralconv --help'"));
    EXPECT_EQ(run({"--help"}), 0);
}

TEST(ConvertJob, WritesEveryTextReportOutput) {
    TempDir dir;
    const QString in = dir.write("r.GVP", ReportBuilder()
                                              .size(20, 40)
                                              .item(1, 1, 1, "primeira")
                                              .item(2, 3, 5, "segunda", 16 + 2)
                                              .build());
    auto convert = [&](const QString& name, const QStringList& options = {}) {
        const Outcome o = runJob(QStringList{"convert"} + options + QStringList{in, dir.path(name)});
        EXPECT_EQ(o.code, 0) << name.toStdString();
        return TempDir::read(dir.path(name));
    };
    const QByteArray prn = convert("r.PRN", {"--model", "bobina", "--pages", "2"});
    EXPECT_EQ(prn, "\n\r\n\r    segunda"); // the receipt printer gets text and head moves only
    EXPECT_TRUE(convert("r.txt").startsWith("primeira\r\n"));
    EXPECT_TRUE(convert("r.html").contains("<b>segunda</b>"));
    EXPECT_TRUE(convert("r.pdf").startsWith("%PDF-1.4\r\n"));
    const QImage png = QImage::fromData(convert("r.png", {"--page", "2", "--scale", "0.5"}));
    EXPECT_EQ(png.size(), QSize(40 * 8 / 2, 20 * 16 / 2));

    const Outcome missingPage = runJob({"convert", "--page", "3", in, dir.path("x.png")});
    EXPECT_EQ(missingPage.code, 1);
    EXPECT_FALSE(QFile::exists(dir.path("x.png")));
}

// ---------------------------------------------------------------------------------------------
// Prepared reports (.QP3)

namespace {

// Three pages over two source pages, an A4 portrait one with a band and an A4 landscape one;
// the title is in code page 1252.
const QByteArray kSmallPrepared =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport>"
    "<previewpages><page0><b1 t=\"40\"/></page0><page1/><page0/></previewpages>"
    "<report><TqdxReport DotMatrixReport=\"0\" PreviewOptions.OutlineVisible=\"0\" "
    "PreviewOptions.OutlineWidth=\"120\" ReportOptions.Name=\"Relat\xf3rio Mensal\"/></report>"
    "<sourcepages><TqdxReportPage Name=\"Page1\"><TqdxMasterData Name=\"MasterData1\" "
    "Left=\"0\" Top=\"0\" Width=\"718\" Height=\"20\"/></TqdxReportPage>"
    "<TqdxReportPage Name=\"Page2\" Orientation=\"poLandscape\"/></sourcepages>"
    "<dictionary><b1 name=\"Page0.MasterData1\"/></dictionary><picturecache/></preparedreport>";

} // namespace

TEST(ConvertJobPrepared, InfoGivesFormatTitlePagesAndEachPageSize) {
    TempDir dir;
    const Outcome o = runJob({"info", dir.write("mensal.QP3", kSmallPrepared)});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out, "format: QP3\ntitle: Relat\xc3\xb3rio Mensal\npages: 3\n"
                     "page 1: 794 x 1123\npage 2: 1123 x 794\npage 3: 794 x 1123\n");
    EXPECT_TRUE(o.messages.empty());
}

TEST(ConvertJobPrepared, ConvertWritesAReportThatDescribesAndSavesTheSame) {
    TempDir dir;
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 5;
    options.sectionPages = 3;
    options.pictureEvery = 2;
    options.completeLastPage = true;
    const QString in = dir.path("vendas.Qp3");
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));

    const Outcome original = runJob({"info", in});
    ASSERT_EQ(original.code, 0);
    // Listing pages are portrait, each section's summary landscape; the complete last page
    // keeps its own (portrait) paper.
    EXPECT_TRUE(original.out.startsWith("format: QP3\ntitle: Relat\xc3\xb3rio de Vendas por "
                                        "Cliente\npages: 5\npage 1: 794 x 1123\n"
                                        "page 2: 794 x 1123\npage 3: 1123 x 794\n"))
        << original.out.toStdString();
    EXPECT_TRUE(original.out.endsWith("page 5: 794 x 1123\n"));

    const QString copy = dir.path("copia.QP3");
    const Outcome converted = runJob({"convert", in, copy});
    EXPECT_EQ(converted.code, 0);
    EXPECT_TRUE(converted.messages.empty());
    EXPECT_EQ(runJob({"info", copy}).out, original.out);

    // Saving what was loaded from our own output changes nothing more.
    const QString again = dir.path("de_novo.qp3");
    EXPECT_EQ(runJob({"convert", copy, again}).code, 0);
    EXPECT_EQ(TempDir::read(again), TempDir::read(copy));
}

TEST(ConvertJob, AWriteThatFailsGivesTheSystemsReasonInOneLine) {
    const QString full = QStringLiteral("/dev/full"); // takes no byte: every write fails
    if (!QFile::exists(full)) {
        GTEST_SKIP() << "no /dev/full";
    }
    TempDir dir;
    const QString text = dir.write("r.GVP", ReportBuilder().item(1, 1, 1, "a").build());
    const QString prepared = dir.write("r.QP3", kSmallPrepared);
    const QString said = "Erro na gravação do arquivo " + full + ": No space left on device";
    const struct {
        QString input;
        const char* kind;
    } cases[] = {{text, "gvp"},     {text, "prn"},     {text, "txt"},
                 {text, "htm"},     {text, "pdf"},     {text, "png"},
                 {prepared, "qp3"}, {prepared, "pdf"}, {prepared, "png"}};
    for (const auto& c : cases) {
        const Outcome o = runJob({"convert", "--to", c.kind, c.input, full});
        EXPECT_EQ(o.code, 1) << c.kind;
        EXPECT_EQ(o.messages, std::vector<QString>{said}) << c.kind;
    }
}

TEST(ConvertJobPrepared, RejectsWhatItCannotReadOrWriteAndKeepsTheOldOutput) {
    TempDir dir;
    const QString out = dir.write("out.qp3", "previous");

    Outcome o = runJob({"convert", dir.path("falta.QP3"), out});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.messages, std::vector<QString>{"Erro na abertura do arquivo " +
                                               dir.path("falta.QP3") +
                                               ": No such file or directory"});

    for (const QByteArray& bad :
         {QByteArray("apenas texto\n"), QByteArray("<preparedreport><previewpages/>"),
          QByteArray::fromHex("1f8b0800") + "compressed"}) {
        o = runJob({"convert", dir.write("ruim.QP3", bad), out});
        EXPECT_EQ(o.code, 1) << bad.toStdString();
        EXPECT_EQ(o.messages, std::vector<QString>{"O arquivo não é um relatório Zeral (.GVP ou "
                                                   ".QP3): " + dir.path("ruim.QP3")});
        o = runJob({"info", dir.path("ruim.QP3")});
        EXPECT_EQ(o.code, 1);
        EXPECT_TRUE(o.out.isEmpty());
    }
    EXPECT_EQ(TempDir::read(out), "previous");

    const QString good = dir.write("bom.QP3", kSmallPrepared);
    o = runJob({"convert", good, dir.path("sem/pasta/x.qp3")});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.messages, std::vector<QString>{"Erro na gravação do arquivo " +
                                               dir.path("sem/pasta/x.qp3") +
                                               ": No such file or directory"});
}

TEST(ConvertJobPrepared, ExportsPdfHeadlesslyAndKeepsTheOldFileOnFailure) {
    TempDir dir;
    const QString in = dir.path("r.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 6;
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));

    const QString out = dir.path("r.pdf");
    Outcome o = runJob({"convert", "--pages", "2-3", in, out});
    ASSERT_EQ(o.code, 0) << (o.messages.empty() ? "" : o.messages[0].toStdString());
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(zr::test::qpdfCheckProblems(out), "");
    if (const auto info = zr::test::pdfInfo(TempDir::read(out))) {
        EXPECT_EQ(info->pages, 2);
    }

    // Protected: the user password opens it; RC4 takes Latin-1 passwords only, AES-256 any.
    o = runJob({"convert", "--user-password", "segredo", in, dir.path("p.pdf")});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(zr::test::qpdfCheckProblems(dir.path("p.pdf"), "segredo"), "");
    const QString old = dir.write("velho.pdf", "previous");
    o = runJob({"convert", "--user-password", QString::fromUtf8("пароль"), in, old});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(TempDir::read(old), "previous");
    o = runJob({"convert", "--aes256", "--owner-password", QString::fromUtf8("пароль"), in,
                dir.path("a.pdf")});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(zr::test::qpdfCheckProblems(dir.path("a.pdf")), "");

    // A range that is no range, and a page that cannot be built, fail without touching it.
    o = runJob({"convert", "--pages", "1,x", in, old});
    EXPECT_EQ(o.code, zr::app::ExitUsage);
    EXPECT_EQ(TempDir::read(old), "previous");
    QByteArray broken = kSmallPrepared;
    broken.replace("<page1/>", "<page9/>"); // a page whose design page does not exist
    o = runJob({"convert", dir.write("broken.QP3", broken), old});
    EXPECT_EQ(o.code, 1);
    EXPECT_FALSE(o.messages.empty());
    EXPECT_EQ(TempDir::read(old), "previous");
    EXPECT_EQ(QDir(dir.root()).entryList({"*zrtmp*"}, QDir::Files | QDir::Hidden), QStringList());

    // Passwords and AES-256 are for PDFs: a text report's plain text has none.
    QString error;
    EXPECT_FALSE(ConvertJob::parse({"convert", "--aes256", "in.GVP", "o.txt"}, error));
}

TEST(ConvertJobPrepared, PaintsOnePageToAPicture) {
    TempDir dir;
    const QString in = dir.write("r.QP3", kSmallPrepared);
    const QString out = dir.path("p.png");
    // The third page (A4 portrait) at half size, white where nothing is drawn.
    Outcome o = runJob({"convert", "--page", "2", "--scale", "0.5", in, out});
    EXPECT_EQ(o.code, 0) << o.messages.size();
    QImage png(out);
    EXPECT_EQ(png.size(), QSize(562, 397)); // the landscape page
    EXPECT_EQ(png.pixel(10, 10) | 0xFF000000, qRgb(255, 255, 255));
    o = runJob({"convert", "--page", "4", in, dir.path("q.png")});
    EXPECT_EQ(o.code, 1);
    EXPECT_FALSE(QFile::exists(dir.path("q.png")));
    o = runJob({"convert", "--scale", "100", in, dir.path("q.png")});
    EXPECT_EQ(o.code, 1); // far too large a picture
    EXPECT_FALSE(QFile::exists(dir.path("q.png")));
}

TEST(ConvertJobPrepared, TheProgramDescribesAPreparedReport) {
    const QString program = QStringLiteral(ZR_BIN_DIR "/zeralconv");
    if (!QFile::exists(program)) {
        GTEST_SKIP() << "zeralconv not built";
    }
    TempDir dir;
    QProcess p;
    p.start(program, {"info", dir.write("r.QP3", kSmallPrepared)});
    p.waitForFinished(30000);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("format: QP3\n"));
}

// ---------------------------------------------------------------------------------------------
// print

TEST(ConvertJobPrint, ParsesItsOwnOptions) {
    QString error;
    const auto job = ConvertJob::parse({"print", "--printer", "laser", "--copies", "2",
                                        "--no-collate", "--pages", "1-2", "--even", "--reverse",
                                        "--mode", "scale", "--sheet", "8", "--duplex", "-t",
                                        "Título", "-o", "job-priority=70", "r.qp3"},
                                       error);
    ASSERT_TRUE(job) << error.toStdString();
    EXPECT_EQ(job->command, ConvertJob::Command::Print);
    EXPECT_EQ(job->printer, QStringLiteral("laser"));
    EXPECT_EQ(job->printMode, 3);
    EXPECT_EQ(job->sheet, 8);
    EXPECT_EQ(job->title, QStringLiteral("Título"));
    EXPECT_EQ(job->jobOptions.size(), 1u);
    EXPECT_TRUE(job->duplex);
    EXPECT_EQ(job->oddEven, 2);
    const QList<QStringList> bad = {
        {"print", "--printer", "p"},                            // no file
        {"print", "--printer", "p", "--mode", "tile", "r.qp3"}, // unknown mode
        {"print", "--printer", "p", "--sheet", "48", "r.qp3"},  // no such paper
        {"print", "--printer", "p", "--duplex", "r.gvp"},       // prepared reports only
        {"print", "--printer", "p", "--model", "hp", "r.qp3"},  // text reports only
        {"print", "--printer", "p", "r.qp3", "out.pdf"},
        {"print", "--printer", "p", "--scale", "2", "r.qp3"},
        {"convert", "--printer", "p", "a.gvp", "b.prn"},
        {"print", "--title", "x", "r.gvp"},                     // prepared reports only
        {"print", "--sheet", "8", "r.qp3"},                     // the default mode has no sheet
        {"print", "--media", "A4", "--sheet", "9", "r.qp3"},
    };
    for (const QStringList& args : bad) {
        EXPECT_FALSE(ConvertJob::parse(args, error)) << args.join(' ').toStdString();
    }
}

TEST(ConvertJobPrint, PrintsEitherKindOfReportOnAQueue) {
    zr::test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    ASSERT_TRUE(cups.addQueue(QStringLiteral("laser")));
    TempDir dir;
    // Every print, of either kind and either mode, says its job as lp does.
    const auto saysItsJob = [](const Outcome& printed) {
        static const QRegularExpression id(QStringLiteral("^pedido ID: laser-\\d+\n$"));
        return id.match(QString::fromUtf8(printed.out)).hasMatch();
    };

    // A prepared report: three pages, two collated copies of the odd ones, which the job draws
    // (a raw queue would send the document again).
    const QString prepared = dir.write("r.QP3", kSmallPrepared);
    Outcome o = runJob({"print", "--printer", "laser", "--copies", "2", "--odd", prepared});
    ASSERT_EQ(o.code, 0) << (o.messages.empty() ? "" : o.messages[0].toStdString());
    EXPECT_TRUE(saysItsJob(o)) << o.out.constData();
    std::optional<QByteArray> bytes = cups.nextJob(QStringLiteral("laser"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(cups.newestJobAttribute(QStringLiteral("laser"), "copies"), QString());
    if (zr::test::pdfInfoAvailable()) {
        const auto info = zr::test::pdfInfo(*bytes);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->pages, 4);
    }
    // Joined: A4 pages two by two on A3.
    o = runJob({"print", "--printer", "laser", "--mode", "join", "--sheet", "8", prepared});
    ASSERT_EQ(o.code, 0);
    EXPECT_TRUE(saysItsJob(o)) << o.out.constData();
    bytes = cups.nextJob(QStringLiteral("laser"));
    ASSERT_TRUE(bytes.has_value());
    if (zr::test::pdfInfoAvailable()) {
        const auto info = zr::test::pdfInfo(*bytes);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->pages, 2);
    }

    // A text report, raw with its printer model: the queue gets the printer's bytes.
    const QString text = dir.write(
        "t.gvp", ReportBuilder().item(1, 1, 1, "PRIMEIRA").item(2, 1, 1, "SEGUNDA").build());
    o = runJob({"print", "--printer", "laser", "--model", "epson", text});
    ASSERT_EQ(o.code, 0) << (o.messages.empty() ? "" : o.messages[0].toStdString());
    EXPECT_TRUE(saysItsJob(o)) << o.out.constData();
    bytes = cups.nextJob(QStringLiteral("laser"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->contains("PRIMEIRA"));
    EXPECT_TRUE(bytes->contains("SEGUNDA"));
    // ... and graphic.
    o = runJob({"print", "--printer", "laser", "--model", "grafico", text});
    ASSERT_EQ(o.code, 0) << (o.messages.empty() ? "" : o.messages[0].toStdString());
    EXPECT_TRUE(saysItsJob(o)) << o.out.constData();
    bytes = cups.nextJob(QStringLiteral("laser"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->startsWith("%PDF"));

    // A queue that is not there: exit 1 with a message, for both kinds.
    for (const QString& in : {prepared, text}) {
        o = runJob({"print", "--printer", "sumiu", in});
        EXPECT_EQ(o.code, 1);
        ASSERT_FALSE(o.messages.empty());
        EXPECT_TRUE(o.messages[0].contains(QStringLiteral("sumiu")));
    }
}
