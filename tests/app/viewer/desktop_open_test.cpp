// `zeralvisualizador --open FILE`, as the desktop runs it: the content tells the kind of report
// whatever the file is called, and a file that is missing or no report is said so.

#include "app/common/report_content.h"
#include "app/viewer/main_window.h"
#include "app/viewer/start_action.h"
#include "qp3_generator.h"
#include "recording_interaction.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/gravana.h"

#include <QFile>

#include <gtest/gtest.h>

namespace zr::app {
namespace {

using test::RecordingInteraction;
using test::ReportBuilder;
using test::TempDir;

TEST(ReportContent, TellsTheKindFromTheFirstBytes) {
    const struct {
        QByteArray head;
        ReportContent kind;
    } cases[] = {
        {ReportBuilder().build(), ReportContent::TextReport},
        {ReportBuilder().version(4).build(), ReportContent::TextReport},
        {ReportBuilder().version(3).build(), ReportContent::TextReport},
        // The marker alone on a line, LF or CR LF, nothing else.
        {"<< Gravana 5.0 - Morvane Sistemas >>\n", ReportContent::TextReport},
        {"<< Gravana 5.0 - Morvane Sistemas >>", ReportContent::TextReport},
        {" << Gravana 5.0 - Morvane Sistemas >>\r\n", ReportContent::Unknown},
        {"<< Gravana 6.0 - Morvane Sistemas >>\r\n", ReportContent::Unknown},
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport><previewpages/>",
         ReportContent::PreparedReport},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- de um relatório -->\n<?pi x?>\n"
         "<PreparedReport a=\"1\">",
         ReportContent::PreparedReport},
        {"<?xml version=\"1.0\"?><preparedreport/>", ReportContent::PreparedReport},
        {"<?xml version=\"1.0\"?><preparedreports>", ReportContent::Unknown},
        {"<?xml version=\"1.0\"?><relatorio><preparedreport>", ReportContent::Unknown},
        {"<preparedreport>", ReportContent::Unknown}, // no XML declaration: the loader refuses it
        {"<?xml version=\"1.0\"?><!-- sem fim", ReportContent::Unknown},
        {"<?xml version=\"1.0\"?><prepared", ReportContent::Unknown}, // the head ends in the name
        {"texto qualquer", ReportContent::Unknown},
        {{}, ReportContent::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head.left(60).toStdString());
        EXPECT_EQ(reportContentOf(c.head), c.kind);
    }
}

TEST(DesktopOpen, DecidesByContentWhateverTheName) {
    TempDir dir;
    const QByteArray text = ReportBuilder().item(1, 1, 1, "TOTAL").build();
    tools::Qp3GeneratorOptions options;
    options.pages = 1;
    const QString prepared = dir.path(QStringLiteral("Vendas 2024.Qp3"));
    ASSERT_TRUE(tools::WritePreparedReport(prepared, options));
    const QByteArray preparedBytes = TempDir::read(prepared);

    const struct {
        QString name;
        QByteArray bytes;
        StartAction action;
        const char* pdfName;
    } cases[] = {
        {QStringLiteral("relatorio.gvp"), text, StartAction::OpenGvp, ""},
        {QStringLiteral("relatorio"), text, StartAction::OpenGvp, ""},
        {QStringLiteral("mal-chamado.QP3"), text, StartAction::OpenGvp, ""},
        {QStringLiteral("Vendas 2024.Qp3"), preparedBytes, StartAction::OpenQp3, "Vendas 2024"},
        {QStringLiteral("vendas"), preparedBytes, StartAction::OpenQp3, "vendas"},
        {QStringLiteral("vendas.xml"), preparedBytes, StartAction::OpenQp3, "vendas"},
        {QStringLiteral(".oculto"), preparedBytes, StartAction::OpenQp3, ".oculto"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = dir.write(c.name, c.bytes);
        QString problem;
        const StartDecision d = openFileDecision(path, problem);
        EXPECT_EQ(d.action, c.action);
        EXPECT_EQ(d.fileName, path);
        EXPECT_EQ(d.pdfExportName, QString::fromUtf8(c.pdfName));
        EXPECT_TRUE(problem.isEmpty());
    }
}

TEST(DesktopOpen, NamesWhatItCannotOpen) {
    TempDir dir;
    QString problem;
    const QString missing = dir.path(QStringLiteral("sumiu.GVP"));
    EXPECT_EQ(openFileDecision(missing, problem).action, StartAction::None);
    EXPECT_EQ(problem, QStringLiteral("O arquivo não foi encontrado:\r\r") + missing);

    const QString notes = dir.write(QStringLiteral("notas.GVP"), "apenas texto\n");
    EXPECT_EQ(openFileDecision(notes, problem).action, StartAction::None);
    EXPECT_EQ(problem, QStringLiteral("O arquivo não é um relatório do ZeralVisualizador (.GVP "
                                      "ou .QP3):\r\r") +
                           notes);

    EXPECT_EQ(openFileDecision(dir.root(), problem).action, StartAction::None); // a folder
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_EQ(openFileDecision(QString(), problem).action, StartAction::None);
    EXPECT_EQ(problem, QStringLiteral("Nenhum arquivo foi indicado para abrir."));
}

// The desktop's opening through the real main window, with the modal previews replaced.
class DesktopOpenWindow : public ::testing::Test {
protected:
    void SetUp() override {
        frm.Gravana().previewHook = [this](textreport::TGravana& g) {
            ++textPreviews;
            textItems = g.store() ? int(g.store()->size()) : -1;
        };
        frm.Report().OnPreviewPrepared = [this](reportlib::TqdxReport& r) {
            preparedPages.push_back(r.PreviewPages().Count());
            pdfNames.push_back(frm.PdfExport().FileName);
        };
    }

    textreport::ReportState::ScopedOverride state;
    TempDir dir;
    RecordingInteraction ui;
    TfrmMenu frm{ui};
    int textPreviews = 0;
    int textItems = 0;
    std::vector<int> preparedPages;
    std::vector<QString> pdfNames;
};

TEST_F(DesktopOpenWindow, OpensALowerCaseGvpThatTheCommandLineRuleIgnores) {
    const QString file = dir.write(QStringLiteral("relatorio.gvp"),
                                   ReportBuilder().item(1, 1, 1, "A").item(2, 1, 1, "B").build());
    EXPECT_EQ(frm.FormCreate(file), StartAction::None); // the plain command line ignores it
    EXPECT_EQ(openFromDesktop(frm, ui, file), 0);
    EXPECT_EQ(textPreviews, 1);
    EXPECT_EQ(textItems, 2);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(frm.Gravana().state().aberto); // closed with its preview
}

TEST_F(DesktopOpenWindow, OpensAPreparedReportWithoutExtensionAndNamesItsPdfAfterIt) {
    tools::Qp3GeneratorOptions options;
    options.pages = 3;
    const QString file = dir.path(QStringLiteral("vendas"));
    ASSERT_TRUE(tools::WritePreparedReport(file, options));
    EXPECT_EQ(openFromDesktop(frm, ui, file), 0);
    EXPECT_EQ(preparedPages, std::vector<int>{3});
    EXPECT_EQ(pdfNames, std::vector<QString>{QStringLiteral("vendas")});
    EXPECT_TRUE(ui.messages.empty());

    // The window's own hook is back in place for the menu.
    const QString other = dir.path(QStringLiteral("outro.QP3"));
    ASSERT_TRUE(tools::WritePreparedReport(other, options));
    frm.chooseReport = [&] { return other; };
    frm.miAbrirRelatorio->trigger();
    EXPECT_EQ(pdfNames.back(), QStringLiteral("outro"));
}

TEST_F(DesktopOpenWindow, SaysSoForAFileThatIsNoReportAndOpensNothing) {
    const QString file = dir.write(QStringLiteral("foto.QP3"), "\x89PNG\r\n");
    EXPECT_EQ(openFromDesktop(frm, ui, file), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("ZeralVisualizador"));
    EXPECT_TRUE(ui.messages[0].text.endsWith(file));
    EXPECT_EQ(textPreviews, 0);
    EXPECT_TRUE(preparedPages.empty());

    ui.messages.clear();
    EXPECT_EQ(openFromDesktop(frm, ui, dir.path(QStringLiteral("sumiu"))), 1);
    EXPECT_EQ(ui.messages.size(), 1u);
}

} // namespace
} // namespace zr::app
