// The built zeralconv as scripts use it: its own options reach the job whatever Qt thinks of
// them, and an interrupted conversion leaves every existing output exactly as it was.

#include "pdf_info.h"
#include "pdfa_rules.h"
#include "private_cupsd.h"
#include "qp3_generator.h"
#include "report_builder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <tuple>

#include <sys/stat.h>

using zr::test::ReportBuilder;
using zr::test::TempDir;

namespace {

const QString kProgram = QStringLiteral(ZR_BIN_DIR "/zeralconv");

// The interrupted conversions run on reports of the largest size (9,999 pages is the most a
// text report holds). Under the sanitizers, whose unoptimised build converts them several
// times slower, smaller reports keep the run short; what they check is the same.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZR_SANITIZED_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZR_SANITIZED_BUILD 1
#endif
#ifdef ZR_SANITIZED_BUILD
constexpr int kTextPages = 1500;
constexpr int kPreparedPages = 1500;
#else
constexpr int kTextPages = 9999;
constexpr int kPreparedPages = 10000;
#endif

struct ProgramRun {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

ProgramRun runConverter(const QStringList& args, const QString& workingDirectory = {}) {
    QProcess p;
    if (!workingDirectory.isEmpty()) {
        p.setWorkingDirectory(workingDirectory);
    }
    p.start(kProgram, args);
    p.waitForFinished(600000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// The order of the pages in a printer file, from the marker text on each page.
QString pageOrder(const QByteArray& prn) {
    static const QRegularExpression marker(QStringLiteral("PAGINA-(\\d)"));
    QStringList order;
    for (const auto& m : marker.globalMatch(QString::fromLatin1(prn))) {
        order += m.captured(1);
    }
    return order.join(' ');
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class ConverterProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kProgram)) {
            GTEST_SKIP() << "zeralconv not built";
        }
    }
};

} // namespace

TEST_F(ConverterProgram, PrintOrderOptionsReachTheJob) {
    TempDir dir;
    const QString in = dir.write("r.GVP", ReportBuilder()
                                              .item(1, 1, 1, "PAGINA-1")
                                              .item(2, 1, 1, "PAGINA-2")
                                              .item(3, 1, 1, "PAGINA-3")
                                              .build());
    const QString out = dir.path("r.prn");
    auto order = [&](const QStringList& options) {
        const ProgramRun r = runConverter(QStringList{"convert"} + options + QStringList{in, out});
        EXPECT_EQ(r.code, 0) << r.err.constData();
        return pageOrder(TempDir::read(out));
    };
    EXPECT_EQ(order({"--copies", "2"}), "1 2 3 1 2 3");
    EXPECT_EQ(order({"--copies", "2", "--no-collate"}), "1 1 2 2 3 3");
    EXPECT_EQ(order({"--reverse", "--copies", "2"}), "3 2 1 3 2 1");
    EXPECT_EQ(order({"--copies", "2", "--no-collate", "--reverse"}), "3 3 2 2 1 1");
    EXPECT_EQ(order({"--reverse", "--odd"}), "3 1");
    EXPECT_EQ(order({"--even", "--reverse", "--copies", "2"}), "2 2");
}

TEST_F(ConverterProgram, QtOptionNamesArriveUnchanged) {
    TempDir dir;
    const QByteArray report = ReportBuilder().title("Nome estranho").item(1, 1, 1, "a").build();
    // Reports named like the options Qt's application object would take out of the command
    // line (and act on), in both their one- and two-dash forms.
    const QStringList names = {"-reverse",  "-platform",     "-session",         "-display",
                               "-style",    "-qwindowtitle", "-qwindowgeometry", "-plugin",
                               "--reverse", "--platform",    "-stylesheet",      "-widgetcount"};
    // A name that starts with "-" is a file after "--" (before it, an unknown option).
    for (const QString& name : names) {
        dir.write(name, report);
        const ProgramRun r = runConverter({"info", "--", name}, dir.root());
        EXPECT_EQ(r.code, 0) << name.toStdString() << ": " << r.err.constData();
        EXPECT_TRUE(r.out.contains("title: Nome estranho")) << name.toStdString();
    }
    // Qt's own options are no options of the converter, and take nothing away.
    const ProgramRun two = runConverter({"info", "-platform", "offscreen"}, dir.root());
    EXPECT_EQ(two.code, 2);
    EXPECT_TRUE(two.err.contains("desconhecida: -platform")) << two.err.constData();
    // Our own two-dash options are ours, not Qt's.
    const ProgramRun unknown = runConverter({"info", "--session", "x"}, dir.root());
    EXPECT_EQ(unknown.code, 2);
    EXPECT_TRUE(unknown.err.contains("--session")) << unknown.err.constData();
}

TEST_F(ConverterProgram, ReverseDoesNotTurnTheLayoutRightToLeft) {
    // Qt's "-reverse" would mirror every painter's layout; pictures of a prepared page must
    // come out the same with the converter's own --reverse.
    TempDir dir;
    const QString in = dir.path("r.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 1;
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    ASSERT_EQ(runConverter({"convert", in, dir.path("plain.png")}).code, 0);
    ASSERT_EQ(runConverter({"convert", "--reverse", in, dir.path("reverse.png")}).code, 0);
    EXPECT_EQ(TempDir::read(dir.path("plain.png")), TempDir::read(dir.path("reverse.png")));
}

// ---------------------------------------------------------------------------------------------
// Interruptions. A large report is converted once to learn how long the conversion takes here;
// then the same conversion is started over an existing output and interrupted half-way.

namespace {

struct Interrupted {
    int code = -1;
    QByteArray err;
    QStringList files; // the folder afterwards
};

Interrupted interruptHalfWay(const QString& in, const QString& out, int signal) {
    const QString folder = QFileInfo(out).absolutePath();
    // A full run tells how long the conversion takes on this machine.
    const QString trial = folder + QStringLiteral("/trial.") + QFileInfo(out).suffix();
    QElapsedTimer timer;
    timer.start();
    const ProgramRun full = runConverter({"convert", in, trial});
    const qint64 fullTime = timer.elapsed();
    EXPECT_EQ(full.code, 0) << full.err.constData();
    QFile::remove(trial);

    // On a busy machine the trial may have been slower than the run: a run that finished before
    // the signal came is no interruption, so the output is put back and the signal sent sooner.
    const QByteArray before = TempDir::read(out);
    Interrupted result;
    for (qint64 wait = std::max<qint64>(1, fullTime / 2);; wait /= 2) {
        QProcess p;
        p.start(kProgram, {"convert", in, out});
        EXPECT_TRUE(p.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(wait));
        ::kill(pid_t(p.processId()), signal);
        p.waitForFinished(600000);
        result.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        result.err = p.readAllStandardError();
        result.files = filesIn(folder);
        if (result.code != 0 || wait <= 1) {
            return result;
        }
        QFile f(out);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    f.write(before) == before.size());
    }
}

} // namespace

TEST_F(ConverterProgram, AnInterruptionLeavesEveryExistingOutputAsItWas) {
    TempDir dir;
    const QString gen = QStringLiteral(ZR_BIN_DIR "/gen_report");
    ASSERT_TRUE(QFile::exists(gen));
    const QString in = dir.path("grande.GVP");
    ASSERT_EQ(QProcess::execute(gen, {"--pages", QString::number(kTextPages), in}), 0);

    struct Case {
        const char* name;
        int signal;
    };
    const Case cases[] = {{"saida.gvp", SIGINT},
                          {"saida.prn", SIGTERM},
                          {"saida.txt", SIGINT},
                          {"saida.htm", SIGINT},
                          {"saida.pdf", SIGTERM}};
    for (const Case& c : cases) {
        const QString out = dir.write(QString::fromLatin1(c.name), "conteúdo anterior");
        const Interrupted r = interruptHalfWay(in, out, c.signal);
        EXPECT_EQ(r.code, 1) << c.name << ": " << r.err.constData();
        EXPECT_TRUE(r.err.contains("Operação cancelada.")) << c.name << ": " << r.err.constData();
        EXPECT_TRUE(TempDir::read(out) == "conteúdo anterior") << c.name;
        EXPECT_EQ(r.files, (QStringList{"grande.GVP", QString::fromLatin1(c.name)})) << c.name;
        QFile::remove(out);
    }
}

TEST_F(ConverterProgram, AnInterruptedPreparedReportKeepsTheOldCopyAndPdf) {
    TempDir dir;
    const QString in = dir.path("grande.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = kPreparedPages;
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    for (const QString& name : {QStringLiteral("copia.qp3"), QStringLiteral("copia.pdf")}) {
        const QString out = dir.write(name, "conteúdo anterior");
        const Interrupted r = interruptHalfWay(in, out, SIGINT);
        EXPECT_EQ(r.code, 1) << r.err.constData();
        EXPECT_TRUE(r.err.contains("Operação cancelada.")) << r.err.constData();
        EXPECT_TRUE(TempDir::read(out) == "conteúdo anterior") << name.toStdString();
        EXPECT_EQ(r.files, (QStringList{name, "grande.QP3"}));
        QFile::remove(out);
    }
}

// ---------------------------------------------------------------------------------------------
// The converter's contract: every option is honoured or refused, no selection writes nothing,
// the kind comes from the content, and the command line behaves like the tools around it.

namespace {

const QByteArray kOld = "conteúdo anterior";

// The pages of a PDF as pdftotext reads them; nothing when pdftotext is missing.
std::optional<QList<QByteArray>> pdfPages(const QString& path) {
    std::optional<QByteArray> text = zr::test::popplerText(path);
    if (!text) {
        return std::nullopt;
    }
    QList<QByteArray> pages = text->split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
        pages.removeLast();
    }
    return pages;
}

// The second line every usage error ends with.
constexpr const char* kHint = "Use 'zeralconv --help' para ver as opções.\n";

bool isUsageError(const ProgramRun& r) {
    return r.code == 2 && r.err.startsWith("zeralconv: ") && r.err.endsWith(kHint) &&
           r.err.count('\n') == 2;
}

} // namespace

TEST_F(ConverterProgram, PageOptionsAreHonouredOrRefusedOnEveryOutput) {
    TempDir dir;
    const QString text = dir.write("r.GVP", ReportBuilder()
                                                .item(1, 1, 1, "PAGINA-1")
                                                .item(2, 1, 1, "PAGINA-2")
                                                .item(2, 2, 1, "DE &PAGE&")
                                                .item(3, 1, 1, "PAGINA-3")
                                                .build());
    const QString empty = dir.write("vazio.GVP", ReportBuilder().build());
    const QString prepared = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 4;
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));
    ASSERT_EQ(runConverter({"convert", prepared, dir.path("todas.pdf")}).code, 0);
    const auto allPages = pdfPages(dir.path("todas.pdf"));

    struct Case {
        QString input;
        QStringList options;
        const char* output;
        int code;
        const char* order; // the pages written, by their number in the report ("": not looked at)
    };
    const Case cases[] = {
        // Honoured by every page-based output of a text report, the printer file keeping copies.
        {text, {"--pages", "2"}, "a.txt", 0, "2"},
        {text, {"--pages", "3,1"}, "b.htm", 0, "3 1"},
        {text, {"--odd", "--reverse"}, "c.pdf", 0, "3 1"},
        {text, {"--even"}, "d.gvp", 0, "2"},
        {text, {"--pages", "2-", "--copies", "2"}, "e.prn", 0, "2 3 2 3"},
        // ... and of a prepared report.
        {prepared, {"--pages", "2-3"}, "f.pdf", 0, "2 3"},
        {prepared, {"--even", "--reverse"}, "g.pdf", 0, "4 2"},
        // Refused where they mean nothing.
        {text, {"--copies", "2"}, "h.pdf", 2, ""},
        {text, {"--no-collate"}, "i.txt", 2, ""},
        {text, {"--page", "2"}, "j.htm", 2, ""},
        {text, {"--scale", "2"}, "k.gvp", 2, ""},
        {text, {"--page", "2", "--pages", "2"}, "l.png", 2, ""},
        {text, {"--user-password", "x"}, "m.txt", 2, ""},
        {prepared, {"--pages", "2"}, "n.qp3", 2, ""},
        {prepared, {"--copies", "2"}, "o.pdf", 2, ""},
        {prepared, {"--model", "hp"}, "p.pdf", 2, ""},
        {text, {"--accents", "sem-acento"}, "p2.htm", 2, ""},
        {prepared, {"--user-password", "x"}, "q.png", 2, ""},
        {text, {"--pages", "1,x"}, "r.txt", 2, ""},
        // A selection of no page writes nothing.
        {text, {"--pages", "7"}, "s.pdf", 1, ""},
        {text, {"--pages", "0"}, "t.txt", 2, ""},
        {text, {"--pages", "3-2"}, "u.htm", 2, ""},
        {text, {"--even", "--pages", "3"}, "v.gvp", 1, ""},
        {text, {"--pages", "9"}, "w.prn", 1, ""},
        {empty, {}, "x.pdf", 1, ""},
        {prepared, {"--pages", "5-2"}, "y.pdf", 2, ""},
        {prepared, {"--pages", "9"}, "z.png", 1, ""},
    };
    for (const Case& c : cases) {
        const QString out = dir.write(QString::fromLatin1(c.output), kOld);
        const ProgramRun r =
            runConverter(QStringList{"convert"} + c.options + QStringList{c.input, out});
        const std::string name = (c.options.join(' ') + " -> " + c.output).toStdString();
        EXPECT_EQ(r.code, c.code) << name << ": " << r.err.constData();
        if (c.code == 2) {
            EXPECT_TRUE(isUsageError(r)) << name << ": " << r.err.constData();
        } else if (c.code == 1) {
            EXPECT_EQ(r.err, "zeralconv: Nenhuma página selecionada.\n") << name;
        }
        if (c.code != 0) {
            EXPECT_TRUE(TempDir::read(out) == kOld) << name;
            continue;
        }
        if (c.input == text && QByteArray(c.output).endsWith(".pdf")) {
            const auto pages = pdfPages(out);
            if (pages) {
                EXPECT_EQ(pageOrder(pages->join('\f')), c.order) << name;
            }
        } else if (c.input == text) {
            EXPECT_EQ(pageOrder(TempDir::read(out)), c.order) << name;
        } else if (const auto pages = pdfPages(out); pages && allPages) {
            QStringList order;
            for (const QByteArray& page : *pages) {
                order += QString::number(allPages->indexOf(page) + 1);
            }
            EXPECT_EQ(order.join(' '), c.order) << name;
        }
    }
    // The page count of a selection's pages is still the whole report's.
    EXPECT_TRUE(TempDir::read(dir.path("a.txt")).contains("DE 3"));
    // A picture is of the first selected page.
    for (const QString& in : {text, prepared}) {
        ASSERT_EQ(runConverter({"convert", "--page", "3", in, dir.path("pagina.png")}).code, 0);
        ASSERT_EQ(runConverter({"convert", "--odd", "--reverse", in, dir.path("sel.png")}).code, 0);
        EXPECT_EQ(TempDir::read(dir.path("sel.png")), TempDir::read(dir.path("pagina.png")));
    }
}

// `print` as lp: the default destination, the job's title, sides, paper and CUPS options read
// back from the scheduler, the copies a raw queue cannot make drawn by the job, the job id on
// standard output, the report from standard input, and options the mode cannot honour refused.
TEST_F(ConverterProgram, PrintsLikeLp) {
    zr::test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    TempDir dir;
    const QString prepared = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 3;
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));

    // No queue named and no default: a message, nothing else.
    ASSERT_TRUE(cups.addQueue(QStringLiteral("laser")));
    ProgramRun r = runConverter({"print", prepared});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zeralconv: Não há impressora padrão: use --printer FILA.\n");
    EXPECT_TRUE(r.out.isEmpty());

    ASSERT_TRUE(cups.addQueue(QStringLiteral("outra")));
    ASSERT_TRUE(cups.setDefault(QStringLiteral("outra")));
    const QString title = QStringLiteral("Relatório — 10 € “final”");
    r = runConverter({"print", "--title", title, "--sides", "one-sided", "--media", "A4", "-o",
                      "job-priority=70", "-o", "sides=two-sided-long-edge", "--copies", "3",
                      prepared});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    static const QRegularExpression id(QStringLiteral("^pedido ID: outra-(\\d+)\n$"));
    EXPECT_TRUE(id.match(QString::fromUtf8(r.out)).hasMatch()) << r.out.constData();
    const auto job = cups.nextJob(QStringLiteral("outra"));
    ASSERT_TRUE(job.has_value());
    const auto attribute = [&](const char* name) {
        return cups.newestJobAttribute(QStringLiteral("outra"), name);
    };
    EXPECT_EQ(attribute("job-name"), title);
    EXPECT_EQ(attribute("sides"), QStringLiteral("one-sided")); // ours win over -o
    EXPECT_EQ(attribute("media"), QStringLiteral("A4"));
    EXPECT_EQ(attribute("job-priority"), QStringLiteral("70"));
    EXPECT_EQ(attribute("copies"), QString());
    if (zr::test::pdfInfoAvailable()) {
        const auto info = zr::test::pdfInfo(*job);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->pages, 9); // the three copies drawn
        EXPECT_EQ(info->title, title);
    }

    // -t and the report from standard input, on a named queue.
    QProcess p;
    p.setStandardInputFile(prepared);
    p.start(kProgram, {"print", "-t", "Entrada", "--printer", "laser", "-"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("pedido ID: laser-"));
    ASSERT_TRUE(cups.nextJob(QStringLiteral("laser")).has_value());
    EXPECT_EQ(cups.newestJobAttribute(QStringLiteral("laser"), "job-name"),
              QStringLiteral("Entrada"));

    // Refused, not ignored; and a backward range selects nothing, as in convert.
    const QList<QStringList> refused = {
        {"--mode", "join", "--odd"},
        {"--mode", "join", "--reverse"},
        {"--sheet", "8"},
        {"--sides", "both"},
        {"--media", "papiro"},
        {"-o", "=x"},
        {"--duplex", "--sides", "one-sided"},
    };
    for (const QStringList& args : refused) {
        r = runConverter(QStringList{"print"} + args + QStringList{prepared});
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(isUsageError(r)) << args.join(' ').toStdString() << r.err.constData();
    }
    r = runConverter({"print", "--pages", "9", prepared});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zeralconv: Nenhuma página selecionada.\n");
    EXPECT_FALSE(cups.nextJob(QStringLiteral("outra"), 1500).has_value());
}

// A queue with a driver, as an office laser printer: its filters make the copies.
const QByteArray kOfficePpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*ModelName: "Zeral Office"
*NickName: "Zeral Office"
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: Letter
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize A3/A3: "<</PageSize[842 1191]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: Letter
*ImageableArea Letter/US Letter: "12 24 576 744"
*ImageableArea A4/A4: "12 24 583 818"
*ImageableArea A3/A3: "12 24 830 1167"
*DefaultPaperDimension: Letter
*PaperDimension Letter/US Letter: "612 792"
*PaperDimension A4/A4: "595 842"
*PaperDimension A3/A3: "842 1191"
*OpenUI *Duplex/2-Sided Printing: PickOne
*DefaultDuplex: None
*Duplex None/Off: "<</Duplex false>>setpagedevice"
*Duplex DuplexNoTumble/Long Edge: "<</Duplex true/Tumble false>>setpagedevice"
*Duplex DuplexTumble/Short Edge: "<</Duplex true/Tumble true>>setpagedevice"
*CloseUI: *Duplex
)PPD";

// What reaches the print system is what lp would send: the destination's saved options and
// instances, the modes' sheet as the job's paper, custom papers, the queue's copy limit, every
// refusal with the scheduler's reason, and on a raw queue copies drawn sheet by sheet.
TEST_F(ConverterProgram, PrintJobsCarryWhatLpWouldSend) {
    zr::test::PrivateCupsd cups;
    if (!cups.running()) {
        GTEST_SKIP() << cups.failure().toStdString();
    }
    TempDir dir;
    const QString prepared = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 3;
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));
    ASSERT_TRUE(cups.addQueue(QStringLiteral("escritorio"), kOfficePpd));
    ASSERT_TRUE(cups.addQueue(QStringLiteral("bruta")));
    // The user's saved options, as lpoptions writes them.
    ASSERT_TRUE(QDir().mkpath(dir.path(".cups")));
    dir.write(".cups/lpoptions",
              "Dest escritorio/duplo copies=2 media=A4 sides=two-sided-long-edge\n"
              "Default escritorio/duplo\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.root());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const auto print = [&](const QStringList& args, const QProcessEnvironment& with) {
        QProcess p;
        p.setProcessEnvironment(with);
        const bool named = !args.isEmpty() && args.back().endsWith(QLatin1String(".GVP"));
        p.start(kProgram,
                QStringList{"print"} + args + (named ? QStringList{} : QStringList{prepared}));
        p.waitForFinished(120000);
        return ProgramRun{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    };
    const auto attribute = [&](const char* name) {
        return cups.newestJobAttribute(QStringLiteral("escritorio"), name);
    };

    struct Case {
        QStringList args;
        QString copies, media, sides; // the job's attributes ("" for none)
    };
    const Case cases[] = {
        {{}, "2", "A4", "two-sided-long-edge"}, // the default instance's saved options
        {{"--printer", "escritorio/duplo", "--copies", "3", "--sides", "one-sided"},
         "3",
         "A4",
         "one-sided"},
        {{"--printer", "escritorio/duplo", "-o", "media=A3"}, "2", "A3", "two-sided-long-edge"},
        {{"--printer", "escritorio", "--mode", "join", "--sheet", "8"}, "", "iso_a3_297x420mm", ""},
        {{"--printer", "escritorio", "--mode", "scale", "--sheet", "9"},
         "",
         "iso_a4_210x297mm",
         ""},
        {{"--printer", "escritorio", "--media", "Custom.100x150mm"},
         "",
         "custom_100x150mm_100x150mm",
         ""},
        {{"--printer", "escritorio", "--media", "custom.4x6in"}, "", "custom_4x6in_4x6in", ""},
        {{"--printer", "escritorio", "--media", "iso-a5"}, "", "iso-a5", ""},
    };
    for (const Case& c : cases) {
        const ProgramRun r = print(c.args, env);
        const std::string what = c.args.join(' ').toStdString();
        ASSERT_EQ(r.code, 0) << what << ": " << r.err.constData();
        // The job's number names the queue, not the instance.
        EXPECT_TRUE(r.out.startsWith("pedido ID: escritorio-"))
            << what << ": " << r.out.constData();
        EXPECT_EQ(attribute("copies"), c.copies) << what;
        EXPECT_EQ(attribute("media"), c.media) << what;
        EXPECT_EQ(attribute("sides"), c.sides) << what;
    }

    // Refused, with the reason, and no job left behind.
    const QString textReport = dir.write("t.GVP", ReportBuilder().item(1, 1, 1, "linha").build());
    ASSERT_TRUE(cups.addQueue(QStringLiteral("recusa")));
    ASSERT_TRUE(cups.rejectJobs(QStringLiteral("recusa")));
    const QString jobsBefore = attribute("job-id");
    QProcessEnvironment down = env;
    down.insert(QStringLiteral("CUPS_SERVER"), dir.path("nenhum.sock"));
    const struct {
        QStringList args;
        QProcessEnvironment env;
        QString message;
    } refused[] = {
        {{"-o", "number-up=3"},
         env,
         "zeralconv: A impressora \"escritorio\" não aceitou o trabalho (Bad number-up value "
         "3.).\n"},
        {{"--copies", "10000"},
         env,
         "zeralconv: A impressora \"escritorio/duplo\" aceita no máximo 9999 cópias.\n"},
        {{"--printer", "escritorio"}, down, "zeralconv: O serviço de impressão não responde ("},
        {{"--printer", "recusa", textReport},
         env,
         "zeralconv: A impressora \"recusa\" não aceitou o trabalho (Destination \"recusa\" is "
         "not accepting jobs.).\n"},
        {{"--printer", "recusa", "--model", "grafico", textReport},
         env,
         "zeralconv: A impressora do sistema não recebeu o documento (Destination \"recusa\" is "
         "not accepting jobs.).\n"},
    };
    for (const auto& c : refused) {
        const ProgramRun r = print(c.args, c.env);
        EXPECT_EQ(r.code, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(c.message.toUtf8())) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(attribute("job-id"), jobsBefore);

    // A raw queue repeats whatever it is sent: the job draws its copies, each sheet whole.
    for (const auto& [args, sheets] : std::initializer_list<std::pair<QStringList, QString>>{
             {{"--no-collate"}, "1 2 1 2 3 - 3 -"}, {{}, "1 2 3 - 1 2 3 -"}}) {
        const ProgramRun r =
            print(QStringList{"--printer", "bruta", "--copies", "2", "--duplex"} + args, env);
        ASSERT_EQ(r.code, 0) << r.err.constData();
        const std::optional<QByteArray> job = cups.nextJob(QStringLiteral("bruta"));
        ASSERT_TRUE(job.has_value());
        EXPECT_EQ(cups.newestJobAttribute(QStringLiteral("bruta"), "copies"), QString());
        QStringList order;
        static const QRegularExpression sheet(QStringLiteral("folha (\\d+)"));
        for (const QString& page : zr::test::popplerPageTexts(*job)) {
            const QRegularExpressionMatch m = sheet.match(page);
            order += m.hasMatch() ? m.captured(1) : QStringLiteral("-");
        }
        EXPECT_EQ(order.join(' '), sheets) << args.join(' ').toStdString();
    }
    // lp's open range, as every door takes it.
    ASSERT_EQ(print({"--printer", "bruta", "--pages", "-2"}, env).code, 0);
    const std::optional<QByteArray> firstTwo = cups.nextJob(QStringLiteral("bruta"));
    ASSERT_TRUE(firstTwo.has_value());
    if (zr::test::pdfInfoAvailable()) {
        EXPECT_EQ(zr::test::pdfInfo(*firstTwo)->pages, 2);
    }
}

// Every PDF says what wrote it and when it was last changed, carries /Length1 on font files
// alone, and names each embedded font by the face it holds; a prepared report's packs its
// small objects in object streams, but for an encrypted file, whose strings are encrypted
// object by object.
TEST_F(ConverterProgram, PdfsCarryTrueMetadata) {
    if (!zr::test::pdfInfoAvailable()) {
        GTEST_SKIP() << "poppler's tools missing";
    }
    TempDir dir;
    const QString text = dir.write("t.GVP", ReportBuilder().item(1, 1, 1, "Relat\xf3rio").build());
    const QString prepared = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 1;
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));
    for (const QString& input : {text, prepared}) {
        for (const QStringList& extra : {QStringList{}, QStringList{"--pdfa"}}) {
            const QString out = dir.path("m.pdf");
            const ProgramRun r =
                runConverter(QStringList{"convert"} + extra + QStringList{input, out});
            const std::string what = (input + QLatin1Char(' ') + extra.join(' ')).toStdString();
            ASSERT_EQ(r.code, 0) << what << ": " << r.err.constData();
            const zr::test::ProgramRun info =
                zr::test::runProgram(QStringLiteral("pdfinfo"), {out});
            static const QRegularExpression producer(QStringLiteral("(?m)^Producer:\\s+\\S"));
            static const QRegularExpression modified(QStringLiteral("(?m)^ModDate:\\s+\\S"));
            EXPECT_TRUE(producer.match(QString::fromUtf8(info.out)).hasMatch())
                << what << info.out.constData();
            EXPECT_TRUE(modified.match(QString::fromUtf8(info.out)).hasMatch())
                << what << info.out.constData();
            // Each /Length1 is in the dictionary of a stream some font descriptor embeds (read
            // with the object streams unpacked).
            const QString plain = dir.path("plain.pdf");
            const zr::test::ProgramRun unpacked = zr::test::runProgram(
                QStringLiteral("qpdf"), {"--object-streams=disable", out, plain});
            ASSERT_EQ(unpacked.exitCode, 0) << what << unpacked.err.constData();
            const QByteArray pdf = TempDir::read(plain);
            static const QRegularExpression lengthOne(
                QStringLiteral("(\\d+) 0 obj\\s*<<[^>]*/Length1"));
            for (const auto& m : lengthOne.globalMatch(QString::fromLatin1(pdf))) {
                static const QRegularExpression file(QStringLiteral("/FontFile[23]? %1 0 R"));
                EXPECT_TRUE(QRegularExpression(file.pattern().arg(m.captured(1)))
                                .match(QString::fromLatin1(pdf))
                                .hasMatch())
                    << what << ": object " << m.captured(1).toStdString();
            }
            // A prepared report's small objects are packed in object streams.
            if (input == prepared) {
                EXPECT_TRUE(TempDir::read(out).contains("/Type /ObjStm")) << what;
                EXPECT_TRUE(TempDir::read(out).contains("/Type /XRef")) << what;
            }
            const zr::test::ProgramRun fonts =
                zr::test::runProgram(QStringLiteral("pdffonts"), {out});
            for (const QByteArray& row : fonts.out.split('\n').mid(2)) {
                if (row.contains(" yes ")) { // embedded
                    EXPECT_FALSE(row.contains("Arial") || row.contains("Courier") ||
                                 row.contains("Times"))
                        << what << ": " << row.constData();
                }
            }
        }
    }
    // Encrypted: no object streams, and every reader still takes it.
    const QString secret = dir.path("s.pdf");
    ASSERT_EQ(runConverter({"convert", "--user-password", "x", prepared, secret}).code, 0);
    EXPECT_FALSE(TempDir::read(secret).contains("/Type /ObjStm"));
    EXPECT_EQ(zr::test::qpdfCheckProblems(secret, QStringLiteral("x")), QString());
}

// Both kinds are tagged for screen readers: every painted thing marked or an artifact, figures
// with alternate text; --pdfa claims the accessible archive (2-a), --pdfua PDF/UA-1 (also
// encrypted, as long as a screen reader may copy the text).
TEST_F(ConverterProgram, AccessiblePdfsAreTaggedAndSaySo) {
    TempDir dir;
    const QString text = dir.write(
        "t.GVP",
        ReportBuilder().item(1, 1, 1, "Relat\xf3rio mensal").item(1, 3, 1, "Total geral").build());
    const QString prepared = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 3;
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));
    struct Case {
        QStringList options;
        const char* password;
        const char* claim; // in the XMP metadata
    };
    const Case cases[] = {
        {{}, "", nullptr},
        {{"--pdfa"}, "", "<pdfaid:conformance>A</pdfaid:conformance>"},
        {{"--pdfua"}, "", "<pdfuaid:part>1</pdfuaid:part>"},
        {{"--pdfua", "--pdfa"}, "", "pdfaSchema:prefix>pdfuaid<"},
        {{"--pdfua", "--user-password", "x"}, "x", "<pdfuaid:part>1</pdfuaid:part>"},
    };
    for (const QString& input : {text, prepared}) {
        for (const Case& c : cases) {
            const std::string what = (input + ' ' + c.options.join(' ')).toStdString();
            const QString out = dir.path("a.pdf");
            const ProgramRun r =
                runConverter(QStringList{"convert"} + c.options + QStringList{input, out});
            ASSERT_EQ(r.code, 0) << what << r.err.constData();
            const QStringList problems =
                zr::test::taggedProblems(out, QString::fromLatin1(c.password));
            if (!problems.isEmpty() && problems.front().startsWith("missing: ")) {
                GTEST_SKIP() << problems.front().toStdString();
            }
            EXPECT_TRUE(problems.isEmpty()) << what << '\n' << problems.join('\n').toStdString();
            if (c.options.contains("--pdfa")) {
                EXPECT_EQ(zr::test::pdfaProblems(out), QStringList()) << what;
            }
            if (c.claim) {
                const QString plain = dir.path("plain.pdf");
                ASSERT_EQ(zr::test::runProgram(QStringLiteral("qpdf"),
                                               {"--password=" + QString::fromLatin1(c.password),
                                                "--qdf", "--object-streams=disable", out, plain})
                              .exitCode,
                          0)
                    << what;
                EXPECT_TRUE(TempDir::read(plain).contains(c.claim)) << what;
            }
        }
    }
    const ProgramRun refused = runConverter(
        {"convert", "--pdfua", "--no-copy", "--owner-password", "y", prepared, dir.path("n.pdf")});
    EXPECT_TRUE(isUsageError(refused)) << refused.err.constData();
    EXPECT_FALSE(QFileInfo::exists(dir.path("n.pdf")));
}

TEST_F(ConverterProgram, BehavesLikeTheCommandLineToolsAroundIt) {
    TempDir dir;
    const QByteArray textReport = ReportBuilder()
                                      .title("Vendas  ")
                                      .item(1, 1, 1, "PAGINA-1")
                                      .item(2, 1, 1, "PAGINA-2")
                                      .build();
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 2;
    const QString prepared = dir.path("p.QP3");
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));
    const QByteArray preparedBytes = TempDir::read(prepared);

    // The kind comes from the content, whatever the name.
    for (const auto& [name, bytes, format] :
         {std::tuple{"relatorio", preparedBytes, "format: QP3\n"},
          std::tuple{"x.gvp", preparedBytes, "format: QP3\n"},
          std::tuple{"t.qp3", textReport, "format: GVP 5\n"}}) {
        const QString in = dir.write(QString::fromLatin1(name), bytes);
        const ProgramRun info = runConverter({"info", in});
        EXPECT_EQ(info.code, 0) << name << ": " << info.err.constData();
        EXPECT_TRUE(info.out.startsWith(format)) << name;
        // No line ends in a blank (the title "Vendas  " included).
        EXPECT_FALSE(info.out.contains(" \n")) << info.out.constData();
        const ProgramRun convert = runConverter({"convert", in, dir.path("c.pdf")});
        EXPECT_EQ(convert.code, 0) << name << ": " << convert.err.constData();
    }

    // "-" reads standard input and writes standard output; --to names the kind of output.
    const QString scratch = dir.path("tmp");
    ASSERT_TRUE(QDir().mkpath(scratch));
    auto piped = [&](const QStringList& args, const QByteArray& input) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), scratch);
        p.setProcessEnvironment(env);
        p.start(kProgram, args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return ProgramRun{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    };
    ProgramRun r = piped({"convert", "--to", "pdf", "-", "-"}, preparedBytes);
    EXPECT_EQ(r.code, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("%PDF")) << r.out.left(20).constData();
    r = piped({"info", "-"}, textReport);
    EXPECT_TRUE(r.out.startsWith("format: GVP 5\ntitle: Vendas\n")) << r.out.constData();
    r = piped({"convert", "--to", "txt", "--pages", "2", "-", dir.path("saida.dat")}, textReport);
    EXPECT_EQ(r.code, 0) << r.err.constData();
    EXPECT_EQ(pageOrder(TempDir::read(dir.path("saida.dat"))), "2");
    EXPECT_TRUE(isUsageError(piped({"convert", "--to", "txt", "-", "-"}, preparedBytes)));
    EXPECT_EQ(QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    // Usage errors: one line that says what is wrong, and where the help is.
    const QList<QStringList> usageErrors = {
        {},
        {"converter", "a", "b"},
        {"convert", prepared},
        {"convert", "--to", "doc", prepared, "-"},
        {"convert", prepared, "-"},
        {"info", "--pages", "1", prepared},
        {"convert", "--odd", "--even", prepared, "x.pdf"},
    };
    for (const QStringList& args : usageErrors) {
        r = runConverter(args);
        EXPECT_TRUE(isUsageError(r)) << args.join(' ').toStdString() << ": " << r.err.constData();
    }

    // Help for one command, and the project's version.
    r = runConverter({"convert", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("Uso: zeralconv convert")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("--to TIPO"));
    EXPECT_FALSE(r.out.contains("--size"));
    r = runConverter({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "zeralconv " ZR_VERSION "\n");

    // A file that cannot be written is refused with the system's reason.
    r = runConverter({"convert", prepared, "/proc/zeralconv-teste.pdf"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith("zeralconv: ")) << r.err.constData();
    QStringList reasons;
    for (const int e : {ENOENT, EACCES, EPERM, EROFS}) {
        reasons += QString::fromLocal8Bit(std::strerror(e));
    }
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(std::any_of(reasons.begin(), reasons.end(), [&](const QString& why) {
        return QString::fromLocal8Bit(r.err).trimmed().endsWith(": " + why);
    })) << r.err.constData();

    // Names of up to 255 bytes are written, though the temporary name would be longer.
    for (const int length : {242, 255}) {
        const QString name = QString(length - 4, QLatin1Char('a')) + QStringLiteral(".pdf");
        r = runConverter({"convert", prepared, dir.path(name)});
        EXPECT_EQ(r.code, 0) << length << ": " << r.err.constData();
        EXPECT_TRUE(TempDir::read(dir.path(name)).startsWith("%PDF")) << length;
    }
}

TEST_F(ConverterProgram, RepeatedSignalsNeverLoseTheCleanUp) {
    // `timeout` signals the process and then its group: the second signal must not end the
    // program before it has cleaned up.
    TempDir inputs;
    const QString gen = QStringLiteral(ZR_BIN_DIR "/gen_report");
    const QString text = inputs.path("grande.GVP");
    ASSERT_EQ(QProcess::execute(gen, {"--pages", QString::number(kTextPages), text}), 0);
    const QString prepared = inputs.path("grande.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = kPreparedPages;
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));

    TempDir dir;
    for (int run = 0; run < 20; ++run) {
        const bool isText = run % 2 == 0;
        const QString name = isText ? QStringLiteral("saida.txt") : QStringLiteral("saida.pdf");
        const QString out = dir.write(name, kOld);
        QProcess p;
        p.start(QStringLiteral("timeout"),
                {"--preserve-status", "0.5", kProgram, "convert", isText ? text : prepared, out});
        p.waitForFinished(600000);
        const QByteArray err = p.readAllStandardError();
        if (p.exitCode() == 0) {
            EXPECT_FALSE(TempDir::read(out) == kOld) << run; // it finished first
        } else {
            EXPECT_EQ(p.exitCode(), 1) << run << ": " << err.constData();
            EXPECT_EQ(err, "zeralconv: Operação cancelada.\n") << run;
            EXPECT_TRUE(TempDir::read(out) == kOld) << run;
        }
        EXPECT_EQ(filesIn(dir.root()), QStringList{name}) << run;
        QFile::remove(out);
    }
}

// ---------------------------------------------------------------------------------------------
// The PDF's text layer: what pdftotext reads back is every line's text, composed, without soft
// hyphens or control characters, whatever the font's shaping did to the glyphs; characters the
// report's font lacks are drawn by an embedded fallback face; every font is a subset.

TEST_F(ConverterProgram, EveryLineComesBackOutOfThePdf) {
    struct Line {
        const char* family;
        const char16_t* text;     // as the report holds it
        const char16_t* readBack; // as a reader must get it
    };
    const Line lines[] = {
        {"Tahoma", u"Total geral: R$ 1.234,56", u"Total geral: R$ 1.234,56"},
        {"Verdana", u"fiscal eficiente fluxo affinity", u"fiscal eficiente fluxo affinity"},
        {"Segoe UI", u"Sa\u0303o Joa\u0303o e\u0301 aqui", u"São João é aqui"},
        {"MS Sans Serif", u"conta\u00ADbilidade fi\u00ADnal", u"contabilidade final"},
        {"Times New Roman", u"Ofício fiscal nº 7", u"Ofício fiscal nº 7"},
        {"Courier New", u"Código fluxo 0042", u"Código fluxo 0042"},
        {"Arial", u"Officina eficaz ffl", u"Officina eficaz ffl"},
        {"Fonte Inexistente", u"flor e fim", u"flor e fim"},
        {"Arial", u"\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645",
         u"\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645"},
        {"Times New Roman", u"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd",
         u"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd"},
    };
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 1;
    for (const Line& line : lines) {
        options.memoLines.emplace_back(QString::fromLatin1(line.family),
                                       QString::fromUtf16(line.text));
    }
    TempDir dir;
    const QString in = dir.path("texto.QP3");
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    const QString out = dir.path("texto.pdf");
    const ProgramRun r = runConverter({"convert", in, out});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const std::optional<QList<QByteArray>> pages = pdfPages(out);
    if (!pages) {
        GTEST_SKIP() << "pdftotext is not installed";
    }
    ASSERT_EQ(pages->size(), 1);
    // pdftotext marks right-to-left lines with embedding controls of its own.
    QString text = QString::fromUtf8(pages->front());
    text.remove(QRegularExpression(QStringLiteral("[\u202a-\u202e]")));
    QStringList readLines;
    for (const QString& l : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        readLines += l.simplified();
    }
    for (const Line& line : lines) {
        EXPECT_TRUE(readLines.contains(QString::fromUtf16(line.readBack)))
            << line.family << ": " << text.toStdString();
    }
    for (const QChar c : text) {
        EXPECT_TRUE(c == QLatin1Char('\n') ||
                    (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format &&
                     c.unicode() != 0xFFFD))
            << "U+" << std::hex << unsigned(c.unicode()) << " in " << text.toStdString();
    }
    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {out});
    if (fonts.waitForFinished(60000)) {
        const QStringList rows =
            QString::fromUtf8(fonts.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).mid(2);
        ASSERT_FALSE(rows.isEmpty());
        const QRegularExpression subset(
            QStringLiteral("^[A-Z]{6}\\+\\S.*CID TrueType\\s+Identity-H\\s+yes\\s+yes\\s+yes"));
        for (const QString& row : rows) {
            EXPECT_TRUE(subset.match(row).hasMatch()) << row.toStdString();
        }
        // Arabic and Hebrew, which the stand-ins of Arial and Times New Roman lack, came from a
        // fallback face of their own, named by its family.
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&lines](const QString& row) {
            const QString name = row.mid(7).section(QStringLiteral("  "), 0, 0);
            return std::none_of(std::begin(lines), std::end(lines), [&name](const Line& l) {
                return QString::fromLatin1(l.family).remove(' ') ==
                       QString(name).remove(QStringLiteral("#20")).remove(' ');
            });
        })) << rows.join('\n').toStdString();
    }
}

// A right-to-left line is laid out once: the converter's picture and the PDF's rendering put
// the same glyphs in the same order at the same places (the columns that hold ink agree within
// a pixel or two).
TEST_F(ConverterProgram, RightToLeftLinesLookTheSameInPictureAndPdf) {
    QProcess probe;
    probe.start(QStringLiteral("pdftoppm"), {QStringLiteral("-v")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit) {
        GTEST_SKIP() << "pdftoppm is not installed";
    }
    const std::pair<const char*, const char16_t*> cases[] = {
        {"Arial", u"\u0645\u0631\u062d\u0628\u0627 123 \u0628\u0627\u0644\u0639\u0627\u0644\u0645"},
        {"Times New Roman", u"\u05e9\u05dc\u05d5\u05dd 2026 \u05e2\u05d5\u05dc\u05dd abc"},
    };
    for (const auto& [family, line] : cases) {
        TempDir dir;
        zr::tools::Qp3GeneratorOptions options;
        options.pages = 1;
        options.memoLines.emplace_back(QString::fromLatin1(family), QString::fromUtf16(line));
        const QString in = dir.path("rtl.QP3");
        ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
        ASSERT_EQ(runConverter({"convert", in, dir.path("rtl.png")}).code, 0);
        ASSERT_EQ(runConverter({"convert", in, dir.path("rtl.pdf")}).code, 0);
        QProcess render;
        render.start(QStringLiteral("pdftoppm"),
                     {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
                      QStringLiteral("-singlefile"), dir.path("rtl.pdf"), dir.path("pdf")});
        ASSERT_TRUE(render.waitForFinished(60000));
        const QImage picture(dir.path("rtl.png"));
        const QImage rendered(dir.path("pdf.png"));
        ASSERT_FALSE(picture.isNull());
        ASSERT_EQ(rendered.size(), picture.size());
        // The columns with ink in the band of the line (the memo is the page's only object).
        const auto inked = [](const QImage& image) {
            std::vector<bool> columns(std::size_t(image.width()), false);
            for (int y = 0; y < 120 && y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qGray(image.pixel(x, y)) < 128) {
                        columns[std::size_t(x)] = true;
                    }
                }
            }
            return columns;
        };
        const std::vector<bool> a = inked(picture);
        const std::vector<bool> b = inked(rendered);
        const auto first = [](const std::vector<bool>& c) {
            return int(std::find(c.begin(), c.end(), true) - c.begin());
        };
        const auto last = [](const std::vector<bool>& c) {
            return int(c.rend() - std::find(c.rbegin(), c.rend(), true)) - 1;
        };
        ASSERT_LT(first(a), int(a.size())) << family;
        EXPECT_NEAR(first(a), first(b), 2) << family;
        EXPECT_NEAR(last(a), last(b), 2) << family;
        // Every inked column of one has ink within two pixels in the other.
        int misplaced = 0;
        int total = 0;
        for (int x = 0; x < int(a.size()); ++x) {
            if (!a[std::size_t(x)]) {
                continue;
            }
            ++total;
            bool near = false;
            for (int d = -2; d <= 2 && !near; ++d) {
                near = x + d >= 0 && x + d < int(b.size()) && b[std::size_t(x + d)];
            }
            misplaced += near ? 0 : 1;
        }
        EXPECT_LE(misplaced, total / 20) << family << ": " << misplaced << " of " << total;
    }
}

namespace {

// Whether any installed font has the character (fontconfig's own list).
bool installedSomewhere(char32_t c) {
    const zr::test::ProgramRun r = zr::test::runProgram(
        QStringLiteral("fc-list"), {QStringLiteral(":charset=%1").arg(quint32(c), 0, 16)});
    return r.exitCode == 0 && !r.out.trimmed().isEmpty();
}

// The dark pixels of one memo's band (30 report pixels a memo, from the page's 10 mm margin).
std::vector<QPoint> inkOfMemo(const QImage& image, int memo) {
    std::vector<QPoint> ink;
    const int top = 37 + 30 * memo;
    for (int y = top; y < top + 30 && y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                ink.emplace_back(x, y);
            }
        }
    }
    return ink;
}

// The share of the dark pixels of `a` that have a dark pixel of `b` within a pixel, with `a`
// moved by the shift that suits it best (at most three pixels each way: the picture and the
// PDF's rendering may place a whole line a little apart).
double inkMatched(const std::vector<QPoint>& a, const std::vector<QPoint>& b, const QSize& size) {
    if (a.empty()) {
        return 0;
    }
    QImage mask(size, QImage::Format_Grayscale8);
    mask.fill(0);
    for (const QPoint& p : b) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (mask.rect().contains(p.x() + dx, p.y() + dy)) {
                    mask.setPixel(p.x() + dx, p.y() + dy, 255);
                }
            }
        }
    }
    qsizetype best = 0;
    for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -3; dx <= 3; ++dx) {
            const QPoint shift(dx, dy);
            best =
                std::max<qsizetype>(best, std::count_if(a.begin(), a.end(), [&](QPoint p) {
                                        p += shift;
                                        return mask.rect().contains(p) && qGray(mask.pixel(p)) > 0;
                                    }));
        }
    }
    return double(best) / double(a.size());
}

} // namespace

// Characters the report's face lacks are drawn by the same fallback face in the converter's
// picture and in the PDF: pdftoppm draws a glyph wherever the picture does, at the same places,
// and the only .notdef glyphs of the PDF are those of characters no installed font has, which
// read back as U+FFFD.
TEST_F(ConverterProgram, FallbackFacesDrawTheSameGlyphsInPictureAndPdf) {
    if (!zr::test::runProgram(QStringLiteral("pdftoppm"), {QStringLiteral("-v")}).found) {
        GTEST_SKIP() << "pdftoppm is not installed";
    }
    const std::pair<const char*, const char16_t*> memos[] = {
        {"Arial", u"Total fiscal: R$ 1.234,56"},
        {"Arial", u"\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645"},
        {"Times New Roman", u"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd"},
        {"Arial", u"Relat\u00f3rio \u6708\u6b21\u5831\u544a \u5408\u8a08 123"},
        // Outlines in CFF: embedded as a CIDFontType0 font.
        {"Nimbus Roman", u"Nota fiscal \u6771\u4eac"},
        {"Arial", u"Selo \U00013000 fim"},
    };
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 1;
    for (const auto& [family, text] : memos) {
        options.memoLines.emplace_back(QString::fromLatin1(family), QString::fromUtf16(text));
    }
    TempDir dir;
    const QString in = dir.path("misto.QP3");
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    ASSERT_EQ(runConverter({"convert", in, dir.path("misto.png")}).code, 0);
    ASSERT_EQ(runConverter({"convert", in, dir.path("misto.pdf")}).code, 0);
    const zr::test::ProgramRun render = zr::test::runProgram(
        QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
         QStringLiteral("-singlefile"), dir.path("misto.pdf"), dir.path("pdf")});
    ASSERT_EQ(render.exitCode, 0) << render.err.constData();
    const QImage picture(dir.path("misto.png"));
    const QImage rendered(dir.path("pdf.png"));
    ASSERT_FALSE(picture.isNull());
    ASSERT_EQ(rendered.size(), picture.size());

    const std::optional<QList<QByteArray>> pages = pdfPages(dir.path("misto.pdf"));
    ASSERT_TRUE(pages && pages->size() == 1);
    QString text = QString::fromUtf8(pages->front());
    text.remove(QRegularExpression(QStringLiteral("[\u202a-\u202e]")));
    QStringList readLines;
    for (const QString& l : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        readLines += l.simplified();
    }
    for (int i = 0; i < int(std::size(memos)); ++i) {
        const QString line = QString::fromUtf16(memos[i].second);
        const std::vector<QPoint> a = inkOfMemo(picture, i);
        const std::vector<QPoint> b = inkOfMemo(rendered, i);
        ASSERT_FALSE(a.empty()) << i;
        const double pictureInPdf = inkMatched(a, b, picture.size());
        const double pdfInPicture = inkMatched(b, a, picture.size());
        // What the PDF gives back: the line, with U+FFFD for characters no font has.
        QString expected;
        for (const char32_t c : line.toUcs4()) {
            const bool known = c < 0x80 || installedSomewhere(c);
            expected += known ? QString::fromUcs4(&c, 1) : QString(QChar(0xFFFD));
        }
        // A reader may leave .notdef blank where the picture draws the face's box.
        if (!expected.contains(QChar(0xFFFD))) {
            EXPECT_GE(pictureInPdf, 0.9) << line.toStdString();
        }
        EXPECT_GE(pdfInPicture, 0.9) << line.toStdString();
        EXPECT_TRUE(readLines.contains(expected))
            << expected.toStdString() << " in: " << text.toStdString();
    }
    // Every face is embedded and subset, named by the face it holds; the CFF face as
    // CIDFontType0.
    const zr::test::ProgramRun fonts =
        zr::test::runProgram(QStringLiteral("pdffonts"), {dir.path("misto.pdf")});
    ASSERT_EQ(fonts.exitCode, 0);
    const QStringList rows = QString::fromUtf8(fonts.out).split('\n', Qt::SkipEmptyParts).mid(2);
    const QRegularExpression subset(QStringLiteral("^[A-Z]{6}\\+\\S.*\\s+yes\\s+yes\\s+yes"));
    for (const QString& row : rows) {
        EXPECT_TRUE(subset.match(row).hasMatch()) << row.toStdString();
    }
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const QString& row) {
        return row.contains(QStringLiteral("+NimbusRoman-Regular ")) &&
               row.contains(QStringLiteral("CID Type 0"));
    })) << fonts.out.constData();
}

// Formatted texts stay text in the PDF: tagged memos, rich text and a hatched memo are searchable
// and drawn where the converter's picture draws them, the hatch is a pattern, and the one
// picture of a 200-page report (the logo of every page header) is stored once.
TEST_F(ConverterProgram, FormattedTextsStayTextAndPicturesAreStoredOnce) {
    if (!zr::test::runProgram(QStringLiteral("pdftoppm"), {QStringLiteral("-v")}).found) {
        GTEST_SKIP() << "poppler's tools missing";
    }
    struct Memo {
        const char16_t* text;
        const char16_t* read; // what the PDF gives back
    };
    const Memo memos[] = {
        {u"Saldo <b>devedor</b> em <i>aberto</i> e <u>vencido</u>",
         u"Saldo devedor em aberto e vencido"},
        {u"<font color=red>Atenção</font> <strike>cancelado</strike> H<sub>2</sub>O",
         u"Atenção cancelado H2O"},
        {u"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs30 Nota \\b fiscal\\b0  "
         u"\\i eletr\\'f4nica\\i0\\par}",
         u"Nota fiscal eletrônica"},
        {u"Total hachurado do período", u"Total hachurado do período"},
    };
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 200;
    options.pictureEvery = 0;
    for (const Memo& m : memos) {
        options.memoLines.emplace_back(QStringLiteral("Arial"), QString::fromUtf16(m.text));
    }
    options.hatchedMemos = {3};
    TempDir dir;
    const QString in = dir.path("formatado.QP3");
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    ASSERT_EQ(runConverter({"convert", "--page", "200", in, dir.path("ultima.png")}).code, 0);
    const QString pdf = dir.path("formatado.pdf");
    ASSERT_EQ(runConverter({"convert", in, pdf}).code, 0);

    // Every word comes back; no text is a picture.
    const std::optional<QList<QByteArray>> pages = pdfPages(pdf);
    ASSERT_TRUE(pages && pages->size() == 200);
    const QString last = QString::fromUtf8(pages->back()).simplified();
    for (const Memo& m : memos) {
        EXPECT_TRUE(last.contains(QString::fromUtf16(m.read)))
            << QString::fromUtf16(m.read).toStdString() << " in: " << last.toStdString();
    }
    const zr::test::ProgramRun images =
        zr::test::runProgram(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    ASSERT_EQ(images.exitCode, 0);
    const QList<QByteArray> rows = images.out.trimmed().split('\n').mid(2);
    QSet<QByteArray> objects;
    for (const QByteArray& row : rows) {
        objects.insert(row.simplified().split(' ').value(11)); // the object number
    }
    EXPECT_EQ(objects.size(), 1) << images.out.constData();
    EXPECT_TRUE(TempDir::read(pdf).contains("/PatternType 1"));
    EXPECT_EQ(zr::test::qpdfCheckProblems(pdf), QString());

    // A screen reader reads the memos as paragraphs, in order, at the end of the tree.
    const zr::test::ProgramRun tree =
        zr::test::runProgram(QStringLiteral("pdfinfo"), {QStringLiteral("-struct-text"), pdf});
    ASSERT_EQ(tree.exitCode, 0) << tree.err.constData();
    QStringList paragraphs;
    const QStringList treeLines = QString::fromUtf8(tree.out).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i + 1 < treeLines.size(); ++i) {
        if (treeLines[i].trimmed() == QStringLiteral("P (block)")) {
            paragraphs += treeLines[i + 1].trimmed().remove(QLatin1Char('"'));
        }
    }
    ASSERT_GE(paragraphs.size(), qsizetype(std::size(memos)));
    for (int i = 0; i < int(std::size(memos)); ++i) {
        EXPECT_EQ(paragraphs[paragraphs.size() - qsizetype(std::size(memos)) + i],
                  QString::fromUtf16(memos[i].read));
    }

    // Memo by memo, the rendering of the last page has its ink where the picture has it.
    const zr::test::ProgramRun render = zr::test::runProgram(
        QStringLiteral("pdftoppm"),
        {"-r", "96", "-png", "-f", "200", "-l", "200", "-singlefile", pdf, dir.path("pdf")});
    ASSERT_EQ(render.exitCode, 0) << render.err.constData();
    const QImage picture(dir.path("ultima.png"));
    const QImage rendered(dir.path("pdf.png"));
    ASSERT_FALSE(picture.isNull());
    ASSERT_EQ(rendered.size(), picture.size());
    for (int i = 0; i < int(std::size(memos)); ++i) {
        const std::vector<QPoint> a = inkOfMemo(picture, i);
        const std::vector<QPoint> b = inkOfMemo(rendered, i);
        ASSERT_FALSE(a.empty()) << i;
        EXPECT_GE(inkMatched(a, b, picture.size()), 0.9) << i;
        EXPECT_GE(inkMatched(b, a, picture.size()), 0.9) << i;
    }
}

// `zeralconv fonts` names the face that draws each family and style of a report, and the
// fallback faces its lines needed, so that a user can see why a line wraps differently.
TEST_F(ConverterProgram, FontsListsTheFacesAndTheirFallbacks) {
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 1;
    options.memoLines = {
        {QStringLiteral("Tahoma"), QStringLiteral("Total geral")},
        {QStringLiteral("Calibri"), QStringLiteral("fluxo")},
        {QStringLiteral("Arial"), QString::fromUtf16(u"Total \u0645\u0631\u062d\u0628\u0627")},
        {QStringLiteral("Tahoma"), QStringLiteral("de novo")}};
    TempDir dir;
    const QString in = dir.path("fontes.QP3");
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    const ProgramRun r = runConverter({"fonts", in});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    // One line per family and style, in order of first use, each naming an existing file.
    QStringList families;
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1Char(' '))) {
            families += line.section(QStringLiteral(" ("), 0, 0);
            const QString file = line.section(QStringLiteral(" — "), 1).section(' ', 0, 0);
            EXPECT_TRUE(QFile::exists(file)) << line.toStdString();
        }
    }
    EXPECT_EQ(families, (QStringList{"Tahoma", "Calibri", "Arial"})) << r.out.constData();
    // Arabic needed a fallback face under Arial.
    const qsizetype arial = lines.indexOf(QRegularExpression(QStringLiteral("Arial .*")));
    ASSERT_GE(arial, 0);
    ASSERT_GT(lines.size(), arial + 1);
    EXPECT_TRUE(lines[arial + 1].startsWith(QStringLiteral("  reserva: "))) << r.out.constData();
    EXPECT_TRUE(lines[arial + 1].endsWith(QStringLiteral("(5 caracteres)"))) << r.out.constData();
    // A file that is no prepared report is refused.
    const QString text = dir.write("t.GVP", ReportBuilder().item(1, 1, 1, "x").build());
    EXPECT_EQ(runConverter({"fonts", text}).code, 1);
    EXPECT_EQ(runConverter({"fonts"}).code, 2);
}

// ---- What the viewer's PDF options dialog sets, set from the command line.

namespace {

// The objects of a PDF as qpdf's JSON gives them ("obj:N 0 R" -> {"value"} or {"stream"}), and
// its outline tree; nothing when qpdf is missing or cannot read the file.
struct QpdfJson {
    QJsonObject objects;
    QJsonArray outlines;
};

std::optional<QpdfJson> qpdfJson(const QString& path) {
    const zr::test::ProgramRun r = zr::test::runProgram(
        QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=qpdf"),
                                 QStringLiteral("--json-key=outlines"), path});
    if (!r.found || r.exitCode != 0) {
        return std::nullopt;
    }
    const QJsonObject json = QJsonDocument::fromJson(r.out).object();
    return QpdfJson{json.value("qpdf").toArray().at(1).toObject(),
                    json.value("outlines").toArray()};
}

// The dictionaries (of values and of streams) whose entry `key` is `value`, in object order.
QList<QJsonObject> dictionariesWith(const QpdfJson& pdf, const QString& key, const QString& value) {
    QList<std::pair<int, QJsonObject>> found;
    for (auto it = pdf.objects.begin(); it != pdf.objects.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        const QJsonObject dict = o.contains("stream")
                                     ? o.value("stream").toObject().value("dict").toObject()
                                     : o.value("value").toObject();
        if (dict.value(key).toString() == value) {
            found.append({it.key().section(' ', 0, 0).mid(4).toInt(), dict});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<QJsonObject> dicts;
    for (const auto& f : found) {
        dicts.append(f.second);
    }
    return dicts;
}

int outlineItems(const QJsonArray& items) {
    int n = 0;
    for (const QJsonValue& item : items) {
        n += 1 + outlineItems(item.toObject().value("kids").toArray());
    }
    return n;
}

} // namespace

// Each option gives in the PDF what the dialog's control gives, is refused where it would have
// no effect, and the defaults are the viewer's: no outline, no background, quality 95, every
// right, and the report's name as the title.
TEST_F(ConverterProgram, PdfOptionsOfTheDialogReachThePreparedPdf) {
    TempDir dir;
    const QString in = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 6;
    options.sectionPages = 3;
    options.pictureEvery = 2;
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    const QString text = dir.write("r.GVP", ReportBuilder().item(1, 1, 1, "a").build());

    struct Read {
        QString title;
        QString pageMode;
        int outlineItems = 0;
        int images = 0;
        qint64 imageBytes = 0;
    };
    auto convert = [&](const QStringList& extra, const QString& name) -> std::optional<Read> {
        const QString out = dir.path(name);
        const ProgramRun r = runConverter(QStringList{"convert"} + extra + QStringList{in, out});
        EXPECT_EQ(r.code, 0) << extra.join(' ').toStdString() << ": " << r.err.constData();
        const std::optional<QpdfJson> pdf = qpdfJson(out);
        const auto info = zr::test::pdfInfo(TempDir::read(out));
        if (!pdf || !info) {
            return std::nullopt;
        }
        EXPECT_TRUE(zr::test::qpdfCheckProblems(out).isEmpty()) << extra.join(' ').toStdString();
        Read read;
        read.title = info->title;
        read.pageMode =
            dictionariesWith(*pdf, "/Type", "/Catalog").value(0).value("/PageMode").toString();
        read.outlineItems = outlineItems(pdf->outlines);
        for (const QJsonObject& image : dictionariesWith(*pdf, "/Subtype", "/Image")) {
            ++read.images;
            read.imageBytes += image.value("/Length").toInteger();
        }
        return read;
    };
    const std::optional<Read> plain = convert({}, "padrao.pdf");
    if (!plain) {
        GTEST_SKIP() << "qpdf or pdfinfo is not installed";
    }
    EXPECT_EQ(plain->title, QString::fromUtf8("Relatório de Vendas por Cliente"));
    EXPECT_EQ(plain->pageMode, "/UseNone");
    EXPECT_EQ(plain->outlineItems, 0);
    ASSERT_GT(plain->images, 0);

    const auto titled = convert({"--title", "Fechamento de março"}, "titulo.pdf");
    ASSERT_TRUE(titled);
    EXPECT_EQ(titled->title, QString::fromUtf8("Fechamento de março"));
    // Two sections of three pages: an item per section, a child per page.
    const auto outlined = convert({"--outline"}, "resumo.pdf");
    ASSERT_TRUE(outlined);
    EXPECT_EQ(outlined->pageMode, "/UseOutlines");
    EXPECT_EQ(outlined->outlineItems, 8);
    // The pages' backgrounds are plain: no picture for any of the six.
    const auto background = convert({"--background"}, "fundo.pdf");
    ASSERT_TRUE(background);
    EXPECT_EQ(background->images, plain->images);
    // The quality is the JPEG's: 95 is the default, a lower one gives smaller pictures.
    const auto same = convert({"--quality", "95"}, "q95.pdf");
    ASSERT_TRUE(same);
    EXPECT_EQ(same->imageBytes, plain->imageBytes);
    const auto low = convert({"--quality", "10"}, "q10.pdf");
    ASSERT_TRUE(low);
    EXPECT_EQ(low->images, plain->images);
    EXPECT_LT(low->imageBytes, plain->imageBytes);

    // Refused, with one line, where the option would have no effect or its value is none.
    struct Refused {
        QStringList options;
        QString input;
        const char* output;
    };
    const Refused refused[] = {
        {{"--quality", "0"}, in, "a.pdf"},
        {{"--quality", "101"}, in, "b.pdf"},
        {{"--quality", "alta"}, in, "c.pdf"},
        {{"--no-print"}, in, "d.pdf"},
        {{"--no-copy", "--user-password", "u"}, in, "e.pdf"},
        {{"--no-modify", "--user-password", "u", "--owner-password", "u"}, in, "e2.pdf"},
        {{"--outline"}, in, "f.png"},
        {{"--background"}, in, "g.qp3"},
        {{"--title", "x"}, text, "h.pdf"},
        {{"--quality", "50"}, text, "i.pdf"},
        {{"--owner-password", "x", "--no-annotate"}, text, "j.txt"},
        {{"--outline"}, text, "k.pdf"},
    };
    for (const Refused& c : refused) {
        const QString out = dir.path(QString::fromLatin1(c.output));
        const ProgramRun r =
            runConverter(QStringList{"convert"} + c.options + QStringList{c.input, out});
        const std::string name = (c.options.join(' ') + " -> " + c.output).toStdString();
        EXPECT_TRUE(isUsageError(r)) << name << ": " << r.err.constData();
        EXPECT_FALSE(QFile::exists(out)) << name;
    }
    // A report without an outline: the PDF is written, with a word about it.
    const QString none = dir.write(
        "sem.QP3",
        TempDir::read(in).replace("<outline>", "<xutline>").replace("</outline>", "</xutline>"));
    const ProgramRun r = runConverter({"convert", "--outline", none, dir.path("sem.pdf")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "zeralconv: O relatório não tem resumo: o PDF não terá marcadores.\n");
}

// An owner password alone restricts what the options say, and the file still opens without a
// password; with a user password too, the restrictions bind whoever opens it with that one.
TEST_F(ConverterProgram, OwnerPasswordAloneRestrictsWhatTheOptionsSay) {
    TempDir dir;
    const QString in = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 2;
    ASSERT_TRUE(zr::tools::WritePreparedReport(in, options));
    struct Case {
        QStringList options;
        const char* p;
        QStringList notAllowed; // as qpdf --show-encryption names them
    };
    const Case cases[] = {
        {{}, "-4", {}},
        {{"--no-print"}, "-8", {"print low resolution", "print high resolution"}},
        {{"--no-copy"}, "-20", {"extract for any purpose"}},
        {{"--no-modify"}, "-12", {"modify other", "modify anything"}},
        {{"--no-annotate"}, "-36", {"modify annotations", "modify anything"}},
        {{"--no-print", "--no-copy", "--no-modify", "--no-annotate", "--aes256"},
         "-64",
         {"extract for any purpose", "print low resolution", "print high resolution",
          "modify annotations", "modify other", "modify anything"}},
    };
    const QRegularExpression refusedRight(QStringLiteral("^(.*): not allowed$"),
                                          QRegularExpression::MultilineOption);
    for (const Case& c : cases) {
        const QString out = dir.path("protegido.pdf");
        const std::string name = c.options.join(' ').toStdString();
        const ProgramRun r = runConverter(QStringList{"convert", "--owner-password", "dono"} +
                                          c.options + QStringList{in, out});
        ASSERT_EQ(r.code, 0) << name << ": " << r.err.constData();
        const zr::test::ProgramRun shown =
            zr::test::runProgram(QStringLiteral("qpdf"), {"--show-encryption", out});
        if (!shown.found) {
            GTEST_SKIP() << "qpdf is not installed";
        }
        ASSERT_EQ(shown.exitCode, 0) << name << ": " << shown.err.constData();
        EXPECT_TRUE(shown.out.contains("\nP = " + QByteArray(c.p) + "\n"))
            << name << shown.out.constData();
        EXPECT_TRUE(shown.out.contains("Supplied password is user password")) << name;
        QStringList notAllowed;
        for (const auto& m : refusedRight.globalMatch(QString::fromUtf8(shown.out))) {
            notAllowed += m.captured(1);
        }
        EXPECT_EQ(notAllowed, c.notAllowed) << name;
        EXPECT_TRUE(zr::test::qpdfCheckProblems(out).isEmpty()) << name;
        if (const auto text = zr::test::popplerText(out)) {
            EXPECT_TRUE(text->contains("DISTRIBUIDORA")) << name;
        }
    }
    // A text report's PDF takes the same rights.
    const QString text = dir.write("r.GVP", ReportBuilder().item(1, 1, 1, "SIGILOSO").build());
    const QString textPdf = dir.path("texto.pdf");
    ASSERT_EQ(
        runConverter({"convert", "--owner-password", "dono", "--no-print", text, textPdf}).code, 0);
    const QByteArray textShown = zr::test::runProgram("qpdf", {"--show-encryption", textPdf}).out;
    EXPECT_TRUE(textShown.contains("\nP = -8\n")) << textShown.constData();
    EXPECT_TRUE(textShown.contains("print high resolution: not allowed")) << textShown.constData();
    // Both passwords: the file opens only with one of them; the user's without the right to
    // print, the owner's with every right.
    const QString both = dir.path("ambas.pdf");
    ASSERT_EQ(runConverter({"convert", "--user-password", "leitor", "--owner-password", "dono",
                            "--no-print", in, both})
                  .code,
              0);
    EXPECT_FALSE(zr::test::qpdfCheckProblems(both).isEmpty());
    EXPECT_TRUE(zr::test::qpdfCheckProblems(both, "leitor").isEmpty());
    const QByteArray reader =
        zr::test::runProgram("qpdf", {"--password=leitor", "--show-encryption", both}).out;
    EXPECT_TRUE(reader.contains("Supplied password is user password")) << reader.constData();
    EXPECT_TRUE(reader.contains("print high resolution: not allowed")) << reader.constData();
    EXPECT_TRUE(zr::test::runProgram("qpdf", {"--password=dono", "--show-encryption", both})
                    .out.contains("Supplied password is owner password"));
}

// Links lead to the height they name on their target page, whatever its size; links to no page
// of the report make no annotation; a blank in a web address is percent-encoded; and paper
// beyond what a reader takes is brought within 3 to 14,400 points a side, with one warning.
TEST_F(ConverterProgram, LinksFindTheirTargetAndPapersStayWithinLimits) {
    TempDir dir;
    QByteArray views;
    int top = 0;
    for (const char* url : {"@0", "@-1", "@99", "@2", "#marca", "  https://a.example/a b?c=d e "}) {
        views += "<TqdxShapeView Name=\"S" + QByteArray::number(top) + "\" Left=\"10\" Top=\"" +
                 QByteArray::number(top) + "\" Width=\"40\" Height=\"20\" URL=\"" + url + "\"/>";
        top += 30;
    }
    const QString in = dir.write(
        "links.QP3",
        "<?xml version=\"1.0\"?><preparedreport><previewpages>"
        "<TqdxReportPage LeftMargin=\"10\" TopMargin=\"10\"><TqdxMasterData Name=\"D\" Top=\"40\" "
        "Height=\"300\">" +
            views +
            "</TqdxMasterData></TqdxReportPage>"
            "<TqdxReportPage LeftMargin=\"10\" TopMargin=\"10\" PaperWidth=\"100\" "
            "PaperHeight=\"100\"/>"
            "<TqdxReportPage PaperWidth=\"0\" PaperHeight=\"-5\"/>"
            "<TqdxReportPage PaperWidth=\"1e305\" PaperHeight=\"100\"/>"
            "</previewpages><anchors><item text=\"Marca\" page=\"1\" top=\"100\"/></anchors>"
            "</preparedreport>");
    const QString out = dir.path("links.pdf");
    const ProgramRun r = runConverter({"convert", in, out});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    EXPECT_EQ(r.err.count("zeralconv: O papel da página 3 (0 x -14.25 pontos) está fora dos "
                          "limites do PDF (de 3 a 14400 pontos por lado): a página foi gravada "
                          "com 3 x 3 pontos.\n"),
              1)
        << r.err.constData();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    const std::optional<QpdfJson> pdf = qpdfJson(out);
    if (!pdf) {
        GTEST_SKIP() << "qpdf is not installed";
    }
    EXPECT_TRUE(zr::test::qpdfCheckProblems(out).isEmpty());
    auto dict = [&](const QJsonValue& reference) {
        return pdf->objects.value("obj:" + reference.toString())
            .toObject()
            .value("value")
            .toObject();
    };
    const QJsonArray kids =
        dictionariesWith(*pdf, "/Type", "/Pages").value(0).value("/Kids").toArray();
    ASSERT_EQ(kids.size(), 4);
    const QList<QJsonArray> boxes = {QJsonArray{0, 0, 595.5, 842.25},
                                     QJsonArray{0, 0, 283.5, 283.5}, QJsonArray{0, 0, 3, 3},
                                     QJsonArray{0, 0, 14400, 283.5}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dict(kids[i]).value("/MediaBox").toArray(), boxes[i]) << "page " << i + 1;
    }
    // "@2" to the top of the smaller second page (283.5 points high, less its 0.5 margin
    // offset), the anchor 100 pixels (75 points) lower; then the web address.
    const QJsonArray annots = dict(kids[0]).value("/Annots").toArray();
    ASSERT_EQ(annots.size(), 3);
    EXPECT_EQ(dict(annots[0]).value("/Dest").toArray(),
              (QJsonArray{kids[1], "/XYZ", QJsonValue(), 283, QJsonValue()}));
    EXPECT_EQ(dict(annots[1]).value("/Dest").toArray(),
              (QJsonArray{kids[1], "/XYZ", QJsonValue(), 208, QJsonValue()}));
    EXPECT_EQ(dict(annots[2]).value("/A").toObject().value("/URI").toString(),
              "u:https://a.example/a%20b?c=d%20e");
}

// --pdfa gives files that keep every archival rule we check, for both report kinds, and the
// text still reads back.
TEST_F(ConverterProgram, ArchivalPdfsKeepTheRules) {
    TempDir dir;
    zr::tools::Qp3GeneratorOptions listing;
    listing.pages = 12;
    listing.sectionPages = 6;
    listing.pictureEvery = 3;
    zr::tools::Qp3GeneratorOptions lines;
    lines.pages = 1;
    lines.memoLines = {{"Arial", QStringLiteral("Total geral: R$ 1.234,56")},
                       {"Times New Roman", QStringLiteral("Of\u00edcio fiscal n\u00ba 7")},
                       {"Courier New", QStringLiteral("C\u00f3digo fluxo 0042")},
                       {"Fonte Inexistente", QStringLiteral("flor e fim")},
                       {"Arial", QString::fromUtf16(u"\u0645\u0631\u062d\u0628\u0627")},
                       {"Times New Roman", QString::fromUtf16(u"\u05e9\u05dc\u05d5\u05dd")}};
    ASSERT_TRUE(zr::tools::WritePreparedReport(dir.path("listagem.QP3"), listing));
    ASSERT_TRUE(zr::tools::WritePreparedReport(dir.path("linhas.QP3"), lines));
    // Every style, accents, and bytes no face draws (a control, an unused code-page byte).
    dir.write("texto.GVP", ReportBuilder()
                               .title("Folha de pagamento \xe9 arquivo")
                               .item(1, 1, 1, "Sal\xe1rio l\xedquido", 16)
                               .item(1, 2, 1, "NEGRITO", 18)
                               .item(1, 3, 1, "It\xe1lico", 17)
                               .item(1, 4, 1, "Ambos sublinhado", 23)
                               .item(1, 5, 1, "Estreito 12 cpi", 32)
                               .item(2, 1, 1, "Bytes \x01 e \x81 fim")
                               .build());
    struct Case {
        QString input;
        const char* text; // a line the PDF's text must hold
    };
    const Case cases[] = {
        {dir.path("listagem.QP3"), nullptr},
        {dir.path("linhas.QP3"), "Total geral: R$ 1.234,56"},
        {QStringLiteral(ZR_SOURCE_DIR "/examples/exemplo.QP3"), nullptr},
        {dir.path("texto.GVP"), "Sal\u00e1rio l\u00edquido"},
        {QStringLiteral(ZR_SOURCE_DIR "/examples/exemplo.GVP"), "TERRAVEL DISTRIBUIDORA"},
    };
    for (const Case& c : cases) {
        const QString out = dir.path(QFileInfo(c.input).completeBaseName() + ".pdf");
        const ProgramRun r = runConverter({"convert", "--pdfa", c.input, out});
        ASSERT_EQ(r.code, 0) << c.input.toStdString() << r.err.constData();
        const QStringList problems = zr::test::pdfaProblems(out);
        if (!problems.isEmpty() && problems.front().startsWith("missing: ")) {
            GTEST_SKIP() << problems.front().toStdString();
        }
        EXPECT_TRUE(problems.isEmpty()) << c.input.toStdString() << ":\n"
                                        << problems.join('\n').toStdString();
        // Embedded faces hold the glyphs the file can draw, not the whole font.
        const QByteArray fonts = zr::test::runProgram("pdffonts", {out}).out;
        for (const QByteArray& row : fonts.split('\n').mid(2)) {
            EXPECT_TRUE(row.isEmpty() || row.contains('+'))
                << c.input.toStdString() << row.constData();
        }
        if (c.text) {
            const std::optional<QByteArray> text = zr::test::popplerText(out);
            ASSERT_TRUE(text.has_value());
            EXPECT_TRUE(text->contains(c.text)) << text->constData();
        }
    }
    // An archival file is never encrypted: asking for both is a wrong command line.
    const ProgramRun both = runConverter({"convert", "--pdfa", "--user-password", "x",
                                          dir.path("texto.GVP"), dir.path("nunca.pdf")});
    EXPECT_EQ(both.code, 2);
    EXPECT_TRUE(both.err.contains("--pdfa")) << both.err.constData();
    EXPECT_FALSE(QFile::exists(dir.path("nunca.pdf")));
}

// A text report's PDF takes the same passwords as a prepared report's: qpdf and poppler open it
// with the password and refuse it without.
TEST_F(ConverterProgram, TextReportPdfsOpenOnlyWithTheirPassword) {
    TempDir dir;
    const QString in =
        dir.write("r.GVP", ReportBuilder().item(1, 1, 1, "CONTA SIGILOSA 1234").build());
    struct Case {
        QStringList options;
        QString password;
        const char* revision; // as qpdf --show-encryption names it
    };
    const Case cases[] = {
        {{"--user-password", "segredo"}, "segredo", "R = 3"},
        {{"--user-password", "segredo", "--aes256"}, "segredo", "R = 6"},
        {{"--user-password", "abre", "--owner-password", "dono"}, "abre", "R = 3"},
    };
    for (const Case& c : cases) {
        const QString out = dir.path("r.pdf");
        const ProgramRun r =
            runConverter(QStringList{"convert"} + c.options + QStringList{in, out});
        ASSERT_EQ(r.code, 0) << r.err.constData();
        const QString withPassword = zr::test::qpdfCheckProblems(out, c.password);
        if (withPassword == "qpdf missing") {
            GTEST_SKIP() << "qpdf is not installed";
        }
        EXPECT_EQ(withPassword, QString()) << c.options.join(' ').toStdString();
        EXPECT_NE(zr::test::qpdfCheckProblems(out), QString());
        const std::optional<QByteArray> text = zr::test::popplerText(out, c.password);
        ASSERT_TRUE(text.has_value());
        EXPECT_TRUE(text->contains("CONTA SIGILOSA 1234"));
        EXPECT_FALSE(zr::test::popplerText(out, "errada").has_value());
        const zr::test::ProgramRun shown =
            zr::test::runProgram("qpdf", {"--show-encryption", "--password=" + c.password, out});
        EXPECT_TRUE(shown.out.contains(c.revision)) << shown.out.constData();
    }
}

// A text report's PDF is tagged for screen readers, plain, archival or encrypted: each line of
// the grid that shows text is one paragraph of the structure tree, in the order the report is
// printed, its items a blank apart; box lines, underlines and blanks are decoration, and the
// accessibility rules we check hold.
TEST_F(ConverterProgram, TextReportPdfsReadLineByLineToAScreenReader) {
    TempDir dir;
    const QString folha = dir.write(
        "folha.GVP", ReportBuilder()
                         .item(1, 1, 1, "A======================================B", 16, 'B')
                         .item(1, 2, 1, "I", 16, 'B')
                         .item(1, 2, 3, "Folha de pagamento")
                         .item(1, 2, 30, "Mar\xe7o", 18, 'T', "003366")
                         .item(1, 2, 40, "I", 16, 'B')
                         .item(1, 3, 1, "D======================================C", 16, 'B')
                         .item(1, 5, 1, "Nome", 20)
                         .item(1, 5, 20, "Sal\xe1rio", 22)
                         .item(1, 6, 1, "Jo\xe3o da Silva")
                         .item(1, 6, 15, "   ")
                         .item(1, 6, 20, "1.234,56")
                         .item(1, 7, 1, "    ")
                         .item(2, 1, 1, "Total geral", 16, 'T', "C00000")
                         .item(2, 1, 20, "R$ 9.999,00")
                         .item(2, 2, 1, "-----------------------------", 16, 'B')
                         .build());
    const QStringList folhaLines = {"Folha de pagamento Mar\u00e7o", "Nome Sal\u00e1rio",
                                    "Jo\u00e3o da Silva 1.234,56", "Total geral R$ 9.999,00"};
    // Enough pages for the parent tree to hold them in leaves under its root.
    ReportBuilder many;
    QStringList manyLines;
    for (int page = 1; page <= 70; ++page) {
        const QByteArray line = "Folha " + QByteArray::number(page);
        many.item(page, 1, 1, "-----", 16, 'B').item(page, 2, 1, line);
        manyLines += QString::fromLatin1(line);
    }
    const QString manyPages = dir.write("folhas.GVP", many.build());
    // Lines of the sample's three pages (its header also holds the date of the conversion).
    const QString sample = QStringLiteral(ZR_SOURCE_DIR "/examples/exemplo.GVP");
    const QStringList sampleLines = {
        "C\u00f3digo Cliente Endere\u00e7o Cidade Saldo",
        "000001 Padaria S\u00e3o Jo\u00e3o Ltda. Av. Brasil, 1200 S\u00e3o Paulo 1.520,40",
        "Contato: (11) 5555-0037 Prazo: 30 dias",
        "000002 Com\u00e9rcio de Tecidos Ara\u00fajo R. das Flores, 45 Campinas 889,90",
        "TERRAVEL DISTRIBUIDORA S.A. Folha 02/3",
        "TERRAVEL DISTRIBUIDORA S.A. Folha 03/3"};
    struct Case {
        QString input;
        QStringList options;
        QString password;
        QStringList lines; // paragraphs that must be read, in this order
        bool all;          // and nothing else
    };
    const Case cases[] = {
        {folha, {}, {}, folhaLines, true},
        {folha, {"--pdfa"}, {}, folhaLines, true},
        {folha, {"--user-password", "segredo"}, "segredo", folhaLines, true},
        {folha, {"--user-password", "segredo", "--aes256"}, "segredo", folhaLines, true},
        {manyPages, {}, {}, manyLines, true},
        {sample, {}, {}, sampleLines, false},
        {sample, {"--pdfa"}, {}, sampleLines, false},
    };
    for (const Case& c : cases) {
        const std::string name =
            (QFileInfo(c.input).fileName() + ' ' + c.options.join(' ')).toStdString();
        const QString out = dir.path("lido.pdf");
        const ProgramRun r =
            runConverter(QStringList{"convert"} + c.options + QStringList{c.input, out});
        ASSERT_EQ(r.code, 0) << name << r.err.constData();

        QStringList arguments{"-struct-text"};
        if (!c.password.isEmpty()) {
            arguments << "-upw" << c.password;
        }
        const zr::test::ProgramRun tree = zr::test::runProgram("pdfinfo", arguments << out);
        if (!tree.found) {
            GTEST_SKIP() << "pdfinfo is not installed";
        }
        ASSERT_EQ(tree.exitCode, 0) << name << tree.err.constData();
        // "Document", then per element "  P (block)" and the quoted text of each of its parts.
        QStringList paragraphs;
        QStringList kinds;
        for (const QString& line : QString::fromUtf8(tree.out).split('\n', Qt::SkipEmptyParts)) {
            const QString t = line.trimmed();
            if (t.startsWith('"') && t.endsWith('"') && !paragraphs.isEmpty()) {
                paragraphs.back() += t.mid(1, t.size() - 2);
            } else if (line.startsWith("  ") && !t.startsWith('"')) {
                kinds += t;
                paragraphs += QString();
            }
        }
        EXPECT_EQ(kinds, QStringList(kinds.size(), "P (block)")) << name;
        for (QString& p : paragraphs) {
            p = p.simplified();
        }
        if (c.all) {
            EXPECT_EQ(paragraphs, c.lines) << name;
        }
        qsizetype at = 0;
        for (const QString& expected : c.lines) {
            const qsizetype found = paragraphs.indexOf(expected, at);
            EXPECT_GE(found, at) << name << ": \"" << expected.toStdString() << "\" in order in\n"
                                 << paragraphs.join('\n').toStdString();
            at = std::max(at, found + 1);
        }

        const QStringList problems = zr::test::taggedProblems(out, c.password);
        if (problems.value(0).startsWith("missing: ")) {
            GTEST_SKIP() << problems.front().toStdString();
        }
        EXPECT_EQ(problems, QStringList()) << name;
        if (c.options.contains("--pdfa")) {
            EXPECT_EQ(zr::test::pdfaProblems(out), QStringList()) << name;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// What a script relies on: options are options and files are files in either spelling, "-" is
// a standard stream for every command, a failed write is never silent, pipes and devices are
// written, every command judges a file alike, and each failure is one line with its reason.

TEST_F(ConverterProgram, KeepsTheContractScriptsRelyOn) {
    TempDir dir;
    const QByteArray textReport = ReportBuilder().item(1, 1, 1, "PAGINA-1").item(2, 1, 1, "PAGINA-2").build();
    const QString text = dir.write("r.gvp", textReport);
    dir.write("-dash.gvp", textReport);
    const QString prepared = dir.path("p.QP3");
    zr::tools::Qp3GeneratorOptions options;
    options.pages = 3;
    ASSERT_TRUE(zr::tools::WritePreparedReport(prepared, options));
    // An object of page 2 renamed to a class nobody knows.
    QByteArray mutant = TempDir::read(prepared);
    const qsizetype page2 = mutant.indexOf("<page", mutant.indexOf("<page", mutant.indexOf("<previewpages") + 14) + 5);
    const qsizetype object = mutant.indexOf('<', page2 + 5);
    ASSERT_GT(object, 0);
    qsizetype nameEnd = object + 1;
    while (QByteArray(" />\t\r\n").indexOf(mutant[nameEnd]) < 0) {
        ++nameEnd;
    }
    const QByteArray alias = mutant.mid(object + 1, nameEnd - object - 1);
    const qsizetype tagEnd = mutant.indexOf('>', object);
    if (mutant[tagEnd - 1] != '/') {
        const qsizetype close = mutant.indexOf("</" + alias + ">", tagEnd);
        ASSERT_GT(close, 0);
        mutant.insert(close + 2, "zq");
    }
    mutant.insert(object + 1, "zq");
    const QString unknownClass = dir.write("mutante.QP3", mutant);
    const QString declaration = dir.write("decl.QP3", "<?xml version=\"1.0\"?>\n");
    const QString missing = dir.path("falta.gvp");

    enum Stream { Pipe, Full };
    struct Case {
        QStringList args;
        QString input;      // standard input from this file
        Stream out;
        int code;
        QString err;        // the whole of standard error ("" for none); "*" not looked at
        QByteArray outStart; // what standard output starts with
    };
    const QString hint = QStringLiteral("\nUse 'zeralconv --help' para ver as opções.\n");
    const QString notReport = "zeralconv: O arquivo não é um relatório Zeral (.GVP ou .QP3): " + declaration + "\n";
    const QString unknown = QStringLiteral("zeralconv: o objeto 1 da página 2 é de uma classe desconhecida\n");
    const Case cases[] = {
        // Unknown single-dash options are usage errors, not file names; "--" ends the options.
        {{"convert", "-z", text}, {}, Pipe, 2, "zeralconv: opção desconhecida: -z" + hint, {}},
        {{"convert", "-p", "1", text, dir.path("o.txt")}, {}, Pipe, 2, "zeralconv: opção desconhecida: -p" + hint, {}},
        {{"info", "--", "-dash.gvp"}, {}, Pipe, 0, "", "format: GVP"},
        // Both spellings of a value; a flag takes none.
        {{"convert", "--to=txt", "--pages=2", text, "-"}, {}, Pipe, 0, "", "PAGINA-2"},
        {{"thumbnail", "--size=32", text, "-"}, {}, Pipe, 0, "", "\x89PNG"},
        {{"convert", "--odd=1", text, dir.path("o.txt")}, {}, Pipe, 2, "zeralconv: a opção --odd não leva valor" + hint, {}},
        {{"convert", "--to=doc", text, "-"}, {}, Pipe, 2, "zeralconv: tipo de saída desconhecido: doc" + hint, {}},
        // "-" everywhere.
        {{"thumbnail", "-", "-"}, prepared, Pipe, 0, "", "\x89PNG"},
        {{"fonts", "-"}, prepared, Pipe, 0, "", "Arial"},
        {{"info", "-"}, text, Pipe, 0, "", "format: GVP"},
        // Devices and pipes: /dev/stdout (a pipe here) is written directly.
        {{"convert", "--to", "pdf", prepared, "/dev/stdout"}, {}, Pipe, 0, "", "%PDF"},
        // Standard output that takes nothing.
        {{"info", text}, {}, Full, 1, "zeralconv: Erro na gravação da saída padrão: No space left on device\n", {}},
        {{"fonts", prepared}, {}, Full, 1, "zeralconv: Erro na gravação da saída padrão: No space left on device\n", {}},
        {{"--help"}, {}, Full, 1, "zeralconv: Erro na gravação da saída padrão: No space left on device\n", {}},
        {{"--version"}, {}, Full, 1, "zeralconv: Erro na gravação da saída padrão: No space left on device\n", {}},
        // One line with the reason.
        {{"info", missing}, {}, Pipe, 1, "zeralconv: Erro na abertura do arquivo " + missing + ": No such file or directory\n", {}},
        {{"thumbnail", missing, dir.path("t.png")}, {}, Pipe, 1, "zeralconv: Erro na abertura do arquivo " + missing + ": No such file or directory\n", {}},
        // Every command judges a file alike.
        {{"info", declaration}, {}, Pipe, 1, notReport, {}},
        {{"convert", declaration, dir.path("d.pdf")}, {}, Pipe, 1, notReport, {}},
        {{"thumbnail", declaration, dir.path("d.png")}, {}, Pipe, 1, notReport, {}},
        {{"info", unknownClass}, {}, Pipe, 1, unknown, {}},
        {{"convert", unknownClass, dir.path("m.pdf")}, {}, Pipe, 1, unknown, {}},
        {{"fonts", unknownClass}, {}, Pipe, 1, unknown, {}},
        // A picture too large says so, for both kinds.
        {{"convert", "--scale", "100", text, dir.path("g.png")}, {}, Pipe, 1, "*", {}},
        {{"convert", "--scale", "100", prepared, dir.path("g.png")}, {}, Pipe, 1, "*", {}},
    };
    for (const Case& c : cases) {
        const std::string name = c.args.join(' ').toStdString();
        QProcess p;
        p.setWorkingDirectory(dir.root());
        if (!c.input.isEmpty()) {
            p.setStandardInputFile(c.input);
        }
        if (c.out == Full) {
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
        }
        p.start(kProgram, c.args);
        ASSERT_TRUE(p.waitForFinished(120000)) << name;
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(p.exitCode(), c.code) << name << ": " << err.constData();
        if (c.err == QLatin1String("*")) {
            EXPECT_TRUE(err.startsWith("zeralconv: A imagem seria grande demais (")) << name << ": " << err.constData();
        } else {
            EXPECT_EQ(err.toStdString(), c.err.toStdString()) << name;
        }
        EXPECT_TRUE(out.startsWith(c.outStart)) << name << ": " << out.left(40).toHex().constData();
    }
    EXPECT_EQ(TempDir::read(text), textReport); // "-z" overwrote nothing
    EXPECT_FALSE(QFile::exists(dir.path("-z")));

    // A named pipe is written as a stream, without a temporary file beside it.
    const QString fifo = dir.path("saida.pdf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess reader;
    reader.setStandardOutputFile(dir.path("lido.pdf"));
    reader.start(QStringLiteral("cat"), {fifo});
    const ProgramRun toFifo = runConverter({"convert", prepared, fifo});
    EXPECT_EQ(toFifo.code, 0) << toFifo.err.constData();
    ASSERT_TRUE(reader.waitForFinished(60000));
    EXPECT_TRUE(TempDir::read(dir.path("lido.pdf")).startsWith("%PDF"));
    EXPECT_TRUE(QDir(dir.root()).entryList({"*zrtmp*"}, QDir::Files | QDir::Hidden).isEmpty());

    // The platform in the environment does not matter: the converter needs no display.
    QProcess xcb;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    xcb.setProcessEnvironment(env);
    xcb.start(kProgram, {"info", prepared});
    ASSERT_TRUE(xcb.waitForFinished(60000));
    EXPECT_EQ(xcb.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(xcb.exitCode(), 0) << xcb.readAllStandardError().constData();
}

#ifndef ZR_SANITIZED_BUILD
// Running out of memory is a message and exit 1, never an abort, and the old output stays.
// (The sanitizers reserve more address space than the limit allows.)
TEST_F(ConverterProgram, RunningOutOfMemoryIsReportedAndKeepsTheOldOutput) {
    TempDir dir;
    const QString big = dir.path("grande.GVP");
    QProcess gen;
    gen.start(QStringLiteral(ZR_BIN_DIR "/gen_report"),
              {"--pages", "1", "--items-per-page", "200000", big});
    ASSERT_TRUE(gen.waitForFinished(120000));
    ASSERT_EQ(gen.exitCode(), 0);
    const QString out = dir.write("antigo.png", kOld);
    for (const QString& command : {QStringLiteral("thumbnail"), QStringLiteral("convert")}) {
        QProcess p;
        p.start(QStringLiteral("sh"),
                {"-c", "ulimit -v 900000 && exec \"$0\" \"$@\"", kProgram, command, big, out});
        ASSERT_TRUE(p.waitForFinished(120000));
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << command.toStdString();
        if (p.exitCode() == 0) {
            continue; // this machine found the memory after all
        }
        EXPECT_EQ(p.exitCode(), 1) << command.toStdString() << ": " << err.constData();
        EXPECT_TRUE(err.contains("zeralconv: Memória insuficiente para ")) << err.constData();
        EXPECT_EQ(TempDir::read(out), kOld) << command.toStdString();
    }
}
#endif

// A prepared report cut short keeps the pages that end before the cut, in the converter as in
// the viewer, and says so.
TEST_F(ConverterProgram, APreparedReportCutShortKeepsItsCompletePages) {
    TempDir dir;
    QByteArray xml = "<?xml version=\"1.0\"?><preparedreport><previewpages>";
    for (int n = 1; n <= 3; ++n) {
        xml += "<TqdxReportPage PaperSize=\"9\" PaperWidth=\"210\" PaperHeight=\"297\">"
               "<TqdxPageHeader Name=\"H\" Top=\"0\" Height=\"300\"><TqdxMemoView Name=\"T\" "
               "Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" Text=\"Pagina " +
               QByteArray::number(n) + "\"/></TqdxPageHeader></TqdxReportPage>";
    }
    const qsizetype cut = xml.indexOf("Pagina 3");
    const QString in = dir.write("cortado.QP3", xml.left(cut));
    const ProgramRun r = runConverter({"info", in});
    EXPECT_EQ(r.code, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("pages: 2\n")) << r.out.constData();
    EXPECT_EQ(r.err,
              "zeralconv: O arquivo está incompleto: só as 2 primeiras páginas puderam ser lidas.\n");
}
