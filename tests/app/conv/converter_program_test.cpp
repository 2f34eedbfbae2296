// The built zeralconv as scripts use it: its own options reach the job whatever Qt thinks of
// them, and an interrupted conversion leaves every existing output exactly as it was.

#include "qp3_generator.h"
#include "report_builder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

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
    const QStringList names = {"-reverse",  "-platform",   "-session",      "-display",
                               "-style",    "-qwindowtitle", "-qwindowgeometry", "-plugin",
                               "--reverse", "--platform",  "-stylesheet",   "-widgetcount"};
    for (const QString& name : names) {
        dir.write(name, report);
        const QStringList args = name.startsWith("--") ? QStringList{"info", "--", name}
                                                       : QStringList{"info", name};
        const ProgramRun r = runConverter(args, dir.root());
        EXPECT_EQ(r.code, 0) << name.toStdString() << ": " << r.err.constData();
        EXPECT_TRUE(r.out.contains("title: Nome estranho")) << name.toStdString();
    }
    // An option with a value keeps both: "-platform xcb" is two file names for info.
    const ProgramRun two = runConverter({"info", "-platform", "offscreen"}, dir.root());
    EXPECT_EQ(two.code, 2);
    EXPECT_TRUE(two.err.contains("info precisa de um arquivo")) << two.err.constData();
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

    QProcess p;
    p.start(kProgram, {"convert", in, out});
    EXPECT_TRUE(p.waitForStarted());
    QThread::msleep(static_cast<unsigned long>(std::max<qint64>(1, fullTime / 2)));
    ::kill(pid_t(p.processId()), signal);
    p.waitForFinished(600000);
    Interrupted result;
    result.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    result.err = p.readAllStandardError();
    result.files = filesIn(folder);
    return result;
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
    const Case cases[] = {{"saida.gvp", SIGINT}, {"saida.prn", SIGTERM}, {"saida.txt", SIGINT},
                          {"saida.htm", SIGINT}, {"saida.pdf", SIGTERM}};
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
