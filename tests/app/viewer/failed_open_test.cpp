// Opening a file that is no report from either preview, by keys through Qt's own file dialog
// and the viewer's real message box: the report on screen stays, with its caption and its page.

#include "active_window.h"
#include "app/common/viewer_settings.h"
#include "app/viewer/widget_interaction.h"
#include "key_input.h"
#include "modal_keys.h"
#include "qp3_generator.h"
#include "report_builder.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/preview/qdx_preview_form.h"
#include "temp_dir.h"
#include "textreport/gravana.h"
#include "textreport/ui/preview_window.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include <gtest/gtest.h>

namespace zr::app {
namespace {

using test::ReportBuilder;
using test::TempDir;

// Arranges the answers to the open dialog (the file's name typed, Enter) and to the message
// box that follows (Enter), then presses Ctrl+O where the user is in `window`. Returns the
// message shown.
QString openByKeys(QWidget& window, const QString& fileName) {
    QString shown;
    test::whenModal<QFileDialog>([fileName](QFileDialog& dialog) {
        if (!test::typeFileName(dialog, fileName) || !test::confirmFileDialog(dialog)) {
            dialog.reject();
        }
    });
    test::whenModal<QMessageBox>([&shown](QMessageBox& box) {
        shown = box.text();
        test::key(QApplication::focusWidget(), Qt::Key_Return);
    });
    if (!test::showActive(&window) || !QApplication::focusWidget()) {
        return QStringLiteral("the window never became active");
    }
    test::key(QApplication::focusWidget(), Qt::Key_O, {}, Qt::ControlModifier);
    // Back to the window, as the desktop gives it back its focus once the box has gone.
    test::showActive(&window);
    return shown;
}

// What is no report to the loaders: nothing, the other kind, and a file cut short in its head.
struct BadFile {
    const char* name;
    QByteArray bytes;
};

TEST(FailedOpen, TheTextPreviewKeepsItsReportCaptionAndPage) {
    TempDir dir;
    const QString good = dir.write("bom.GVP", ReportBuilder()
                                                  .title("Vendas")
                                                  .item(1, 1, 1, "UM")
                                                  .item(2, 1, 1, "DOIS")
                                                  .item(3, 1, 1, "TRES")
                                                  .build());
    const BadFile bad[] = {
        {"vazio.GVP", {}},
        {"preparado.GVP", "<?xml version=\"1.0\"?><preparedreport><previewpages/>"
                          "</preparedreport>"},
        // The control record breaks off after a title and a line count of its own.
        {"cortado.GVP", "<< Gravana 5.0 - Morvane Sistemas >>\r\nx\r\n0\r\nOUTRO\r\n10\r\n"},
    };

    WidgetInteraction ui;
    textreport::ReportState::ScopedOverride state;
    textreport::TGravana g(ui);
    applyViewerSettings(g);
    g.OpcoesPreview.BotaoLer = textreport::TStatBut::Ativo;
    ASSERT_TRUE(g.Abrir());
    ASSERT_EQ(g.LerRelatorio(good), textreport::LoadResult::Loaded);
    textreport::ui::TDFMPreview window(g);
    window.nomeImpressoraAtual = [] { return QStringLiteral("Fila1"); };
    ASSERT_TRUE(test::showActive(&window));
    test::key(QApplication::focusWidget(), Qt::Key_PageDown);
    const QString caption = window.windowTitle();
    const QSize page = window.tamanhoPagina();
    ASSERT_EQ(window.Panels[0]->text(), QStringLiteral("Página: 2 de 3"));

    for (const BadFile& b : bad) {
        SCOPED_TRACE(b.name);
        const QString shown = openByKeys(window, dir.write(b.name, b.bytes));
        EXPECT_FALSE(shown.isEmpty()); // the loader said why
        EXPECT_EQ(window.windowTitle(), caption);
        EXPECT_EQ(window.Panels[0]->text(), QStringLiteral("Página: 2 de 3"));
        EXPECT_EQ(window.tamanhoPagina(), page);
        EXPECT_EQ(g.TitulodoRelatorio, QByteArray("Vendas"));
        // The old report goes on: its next page is there.
        test::key(QApplication::focusWidget(), Qt::Key_PageDown);
        EXPECT_EQ(window.Panels[0]->text(), QStringLiteral("Página: 3 de 3"));
        test::key(QApplication::focusWidget(), Qt::Key_PageUp);
    }
    window.close();
    g.Abortar();
}

TEST(FailedOpen, ThePreparedPreviewKeepsItsReportCaptionAndPage) {
    TempDir dir;
    WidgetInteraction ui;
    reportlib::TqdxReport report;
    report.UserInteraction = &ui;
    report.PreviewOptions.Maximized = false;
    tools::Qp3GeneratorOptions options;
    options.pages = 4;
    tools::BuildPreparedReport(report, options);
    const QString good = dir.path("bom.QP3");
    ASSERT_TRUE(report.PreviewPages().SaveToFile(good));
    const QByteArray goodBytes = TempDir::read(good);
    const BadFile bad[] = {
        {"vazio.QP3", {}},
        {"texto.QP3", ReportBuilder().item(1, 1, 1, "UM").build()},
        // Cut inside a tag of the first page.
        {"cortado.QP3", goodBytes.left(goodBytes.indexOf("<previewpages>") + 20)},
    };

    reportlib::pdf::TqdxPDFExport filter;
    reportlib::preview::TqdxPreviewForm form;
    form.Setup(report, &filter);
    form.resize(1000, 700);
    ASSERT_TRUE(test::showActive(&form));
    test::key(QApplication::focusWidget(), Qt::Key_End);
    const QString caption = form.windowTitle();
    const QString where = form.StatusFields[0]->text();
    ASSERT_EQ(where, QStringLiteral("Pág. 4 de 4"));

    for (const BadFile& b : bad) {
        SCOPED_TRACE(b.name);
        const QString shown = openByKeys(form, dir.write(b.name, b.bytes));
        EXPECT_FALSE(shown.isEmpty());
        EXPECT_EQ(form.windowTitle(), caption);
        EXPECT_EQ(form.StatusFields[0]->text(), where);
        EXPECT_EQ(form.Preview()->PageCount(), 4);
        test::key(QApplication::focusWidget(), Qt::Key_Home);
        EXPECT_EQ(form.StatusFields[0]->text(), QStringLiteral("Pág. 1 de 4"));
        test::key(QApplication::focusWidget(), Qt::Key_End);
    }
}

} // namespace
} // namespace zr::app
