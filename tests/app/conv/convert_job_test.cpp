#include "app/conv/convert_job.h"

#include "platform/interaction/interaction.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/gravana.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

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
    const auto job = ConvertJob::parse(
        {"convert", "--pages", "1,3-4", "--model", "HP", "--accents", "sem-acento", "--copies",
         "3", "--no-collate", "--reverse", "--even", "--page", "2", "--scale", "1.5",
         "in.GVP", "OUT.PDF"},
        error);
    ASSERT_TRUE(job) << error.toStdString();
    EXPECT_EQ(job->pages, "1,3-4");
    EXPECT_EQ(job->model, zr::textreport::TModelo::HP);
    EXPECT_EQ(job->accents, zr::textreport::TAcento::SemAcento);
    EXPECT_EQ(job->copies, 3);
    EXPECT_FALSE(job->collate);
    EXPECT_TRUE(job->reverse);
    EXPECT_EQ(job->oddEven, 2);
    EXPECT_EQ(job->page, 2);
    EXPECT_DOUBLE_EQ(job->scale, 1.5);
    EXPECT_EQ(job->output, "OUT.PDF");

    // Passwords protect prepared-report PDFs; a text report's PDF cannot take them.
    EXPECT_FALSE(ConvertJob::parse({"convert", "--user-password", "u", "in.GVP", "o.pdf"}, error));
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
    EXPECT_EQ(o.messages, std::vector<QString>{"Formato do arquivo é inválido..."});
    EXPECT_EQ(TempDir::read(out), "previous");

    o = runJob({"info", dir.path("missing.GVP")});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.messages.size(), 1u);

    const QString good = dir.write("r.GVP", ReportBuilder().item(1, 1, 1, "a").build());
    o = runJob({"convert", good, dir.path("no/folder/x.gvp")});
    EXPECT_EQ(o.code, 1);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_TRUE(o.messages[0].startsWith("Erro na abertura do arquivo..."));
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
    EXPECT_TRUE(err.contains("Formato do arquivo \xc3\xa9 inv\xc3\xa1lido..."));
    EXPECT_EQ(run({"convert", in}, &err), 2);
    EXPECT_TRUE(err.contains("zeralconv info"));
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
