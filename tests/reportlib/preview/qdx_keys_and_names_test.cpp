// Keyboard and screen-reader checks over the prepared reports' windows: Enter on a focused
// button presses that button, and every control and status panel has an accessible name.

#include "reportlib/preview/qdx_pdf_export_dialog.h"
#include "reportlib/preview/qdx_preview.h"
#include "reportlib/preview/qdx_preview_form.h"
#include "reportlib/preview/qdx_progress.h"
#include "reportlib/preview/qdx_search_dialog.h"

#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"

#include "accessible_names.h"
#include "active_window.h"
#include "key_input.h"
#include "qp3_generator.h"
#include "recording_interaction.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace zr::reportlib::preview {
namespace {

QString accessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

TEST(PreparedDialogKeys, EnterOnAFocusedCancelButtonCancelsTheSearch) {
    TqdxSearchDialog::ResetRememberedText();
    TqdxSearchDialog d;
    ASSERT_TRUE(test::showActive(&d));
    test::type(d.TextE, QStringLiteral("OUTRO"));
    test::focusByTab(d.OkB);
    test::key(d.OkB, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), d.CancelB);
    test::key(d.CancelB, Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(TqdxSearchDialog::RememberedText(), QString());
}

TEST(PreparedDialogKeys, EnterOnTheFocusedCancelButtonStopsTheProgress) {
    TqdxProgress progress;
    int cancelled = 0;
    progress.OnCancel = [&] { ++cancelled; };
    progress.Execute(10, QStringLiteral("Página 1 de 10"), true, true);
    ASSERT_TRUE(test::showActive(&progress));
    test::focusByTab(progress.CancelB);
    ASSERT_EQ(QApplication::focusWidget(), progress.CancelB);
    test::key(progress.CancelB, Qt::Key_Return);
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(progress.Terminated());
    EXPECT_FALSE(progress.isVisible());
}

TEST(PreparedDialogNames, ScreenReadersFindANameForEveryControl) {
    TqdxSearchDialog search;
    EXPECT_EQ(test::namelessControls(&search), "");
    EXPECT_GE(test::countedControls(&search), 6);

    TqdxProgress progress;
    progress.SetMessage(QStringLiteral("Página 3 de 10"));
    EXPECT_EQ(test::namelessControls(&progress), "");
    EXPECT_EQ(accessibleName(progress.CancelB), QStringLiteral("Cancelar"));
    EXPECT_EQ(accessibleName(progress.Bar), QStringLiteral("Progresso"));
    // The message is read as it is, not replaced by a fixed name.
    EXPECT_EQ(accessibleName(progress.LMessage), QStringLiteral("Página 3 de 10"));

    pdf::TqdxPDFExport filter;
    TqdxPDFExportDialog pdfOptions(filter);
    EXPECT_EQ(test::namelessControls(&pdfOptions), "");
    EXPECT_GE(test::countedControls(&pdfOptions), 20);
}

TEST(PreparedPreviewNames, EveryToolbarButtonFieldAndStatusPanelHasAName) {
    TqdxReport report;
    test::RecordingInteraction interaction;
    report.UserInteraction = &interaction;
    report.PreviewOptions.Maximized = false;
    tools::Qp3GeneratorOptions options;
    options.pages = 3;
    tools::BuildPreparedReport(report, options);
    pdf::TqdxPDFExport filter;
    TqdxPreviewForm form;
    form.Setup(report, &filter);
    form.resize(1000, 700);
    form.show();
    QApplication::processEvents();

    EXPECT_EQ(test::namelessControls(&form), "");
    EXPECT_GE(test::countedControls(&form), 20);
    // With the outline and the thumbnails shown too.
    form.OutlineB->trigger();
    QApplication::processEvents();
    EXPECT_EQ(test::namelessControls(&form), "");
    form.ThumbB->trigger();
    QApplication::processEvents();
    EXPECT_EQ(test::namelessControls(&form), "");

    // A picture-only toolbar button is called by its hint.
    EXPECT_EQ(accessibleName(form.Button(form.ZoomPlusB)), form.ZoomPlusB->toolTip());
    EXPECT_EQ(accessibleName(form.ToolBar), QStringLiteral("Barra de ferramentas"));
    const QList<QLabel*> panels =
        form.findChild<QStatusBar*>()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    EXPECT_EQ(panels.size(), 3);
}

} // namespace
} // namespace zr::reportlib::preview
