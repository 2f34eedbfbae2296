#include "reportlib/preview/qdx_preview_form.h"
#include "reportlib/preview/qdx_progress.h"
#include "reportlib/preview/qdx_search_dialog.h"

#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/preview/qdx_pdf_export_dialog.h"
#include "reportlib/preview/qdx_preview_workspace.h"
#include "reportlib/print/qdx_res.h"

#include "active_window.h"
#include "pdf_info.h"
#include "platform/files/recent_reports.h"
#include "platform/text/codepages.h"
#include "qp3_generator.h"
#include "recording_interaction.h"
#include "temp_dir.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <map>

namespace zr::reportlib::preview {
namespace {

// A4 pages, each with the memo "Pagina n"; extra views go to the page whose number is the key.
QByteArray reportXml(int pageCount, const std::map<int, QByteArray>& extra = {}) {
    QByteArray pages;
    for (int i = 1; i <= pageCount; ++i) {
        const auto it = extra.find(i);
        pages += "<TqdxReportPage PaperSize=\"9\" PaperWidth=\"210\" PaperHeight=\"297\">"
                 "<TqdxPageHeader Name=\"Header\" Top=\"0\" Height=\"300\">"
                 "<TqdxMemoView Name=\"Title\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" "
                 "Text=\"Pagina " +
                 QByteArray::number(i) + "\"/>" + (it != extra.end() ? it->second : "") +
                 "</TqdxPageHeader></TqdxReportPage>";
    }
    return "<?xml version=\"1.0\"?><preparedreport><previewpages>" + pages +
           "</previewpages></preparedreport>";
}

QByteArray memo(const char* name, int top, const char* text) {
    return QByteArray("<TqdxMemoView Name=\"") + name + "\" Left=\"0\" Top=\"" +
           QByteArray::number(top) + "\" Width=\"300\" Height=\"20\" Text=\"" + text + "\"/>";
}

void sendKey(QWidget* to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(to, &release);
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    for (QChar c : text) {
        sendKey(edit, c.unicode(), Qt::NoModifier, QString(c));
    }
}

// Searches as the user does: Ctrl+F on the focused control, the text typed into Qt's find
// dialog, "from the start" ticked or not, Enter.
void findByKeys(const QString& text, bool fromStart) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<TqdxSearchDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        typeInto(dialog->TextE, text);
        dialog->TopCB->setChecked(fromStart);
        sendKey(dialog->TextE, Qt::Key_Return);
    });
    QWidget* window = QApplication::focusWidget()->window();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    // The dialog has gone: the window is the active one again, as on a desktop.
    EXPECT_TRUE(test::showActive(window));
}

struct Fixture {
    TqdxReport report;
    test::RecordingInteraction interaction;
    pdf::TqdxPDFExport filter;
    std::unique_ptr<TqdxPreviewForm> form;

    Fixture() {
        report.UserInteraction = &interaction;
        report.PreviewOptions.Maximized = false;
    }
    void generate(int pages) {
        tools::Qp3GeneratorOptions options;
        options.pages = pages;
        tools::BuildPreparedReport(report, options);
    }
    void load(const QByteArray& xml) {
        QBuffer buffer;
        buffer.setData(xml);
        buffer.open(QIODevice::ReadOnly);
        report.PreviewPages().LoadFromStream(buffer);
    }
    TqdxPreviewForm& open() {
        form = std::make_unique<TqdxPreviewForm>();
        form->Setup(report, &filter);
        form->resize(1000, 700);
        form->show();
        QApplication::processEvents();
        return *form;
    }
    QWidget* view() const { return form->Preview()->Workspace(); }
};

TEST(PreviewForm, ZoomBoxTakesTypedPercentagesAndModes) {
    Fixture f;
    f.generate(3);
    TqdxPreviewForm& form = f.open();
    // Keys reach the box itself, which hands the typing to its line edit.
    auto enter = [&](const QString& text) {
        form.ZoomCB->setFocus();
        form.ZoomCB->lineEdit()->selectAll();
        QTest::keyClicks(form.ZoomCB, text);
        sendKey(form.ZoomCB, Qt::Key_Return);
        QApplication::processEvents();
    };
    const struct {
        const char* typed;
        double zoom;
        const char* shown;
    } rows[] = {
        {"150", 1.5, "150%"},
        // A comma is a decimal separator; the box shows the rounded percentage.
        {"33,3 %", 0.333, "33%"},
        // Not a number, or below the limit: harmless.
        {"abc", 0.333, "33%"},
        {"1", 0.25, "25%"},
    };
    for (const auto& row : rows) {
        enter(QString::fromUtf8(row.typed));
        EXPECT_NEAR(form.Preview()->Zoom(), row.zoom, 1e-9) << row.typed;
        EXPECT_EQ(form.ZoomCB->currentText(), QString::fromUtf8(row.shown)) << row.typed;
    }

    // "Toda a Página": the mode, and the box shows the zoom it gives.
    form.ZoomCBSelect(7);
    QApplication::processEvents();
    EXPECT_EQ(form.Preview()->ZoomMode(), zmWholePage);
    EXPECT_EQ(form.ZoomCB->currentText(),
              QString::number(std::lround(form.Preview()->Zoom() * 100)) + QLatin1Char('%'));

    // The buttons step by 0.25 and leave the mode.
    form.Preview()->SetZoom(0.4);
    form.ZoomMinusB->trigger();
    EXPECT_DOUBLE_EQ(form.Preview()->Zoom(), 0.25);
    EXPECT_EQ(form.Preview()->ZoomMode(), zmDefault);
    form.ZoomPlusB->trigger();
    EXPECT_DOUBLE_EQ(form.Preview()->Zoom(), 0.5);
}

TEST(PreviewForm, StatusLinePageFieldAndPaging) {
    Fixture f;
    f.generate(12);
    TqdxPreviewForm& form = f.open();
    EXPECT_EQ(form.StatusFields[0]->text(), QStringLiteral("Pág. 1 de 12"));

    typeInto(form.PageE, QStringLiteral("3"));
    sendKey(form.PageE, Qt::Key_Return);
    EXPECT_EQ(form.Preview()->PageNo(), 3);
    EXPECT_EQ(form.StatusFields[0]->text(), QStringLiteral("Pág. 3 de 12"));
    EXPECT_EQ(form.PageE->text(), QStringLiteral("3"));

    sendKey(f.view(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(form.Preview()->PageNo(), 4);
    EXPECT_EQ(form.StatusFields[0]->text(), QStringLiteral("Pág. 4 de 12"));
    // From the page field too.
    sendKey(form.PageE, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(form.Preview()->PageNo(), 3);

    // Out of range is clamped; letters never reach the field.
    typeInto(form.PageE, QStringLiteral("999999999"));
    sendKey(form.PageE, Qt::Key_Return);
    EXPECT_EQ(form.Preview()->PageNo(), 12);
    EXPECT_EQ(form.PageE->text(), QStringLiteral("12"));
    typeInto(form.PageE, QStringLiteral("x"));
    EXPECT_EQ(form.PageE->text(), QStringLiteral("12"));
    form.PageE->clear(); // an empty field goes nowhere
    EXPECT_EQ(form.PageE->text(), QString());
    sendKey(form.PageE, Qt::Key_Return);
    EXPECT_EQ(form.Preview()->PageNo(), 12);
    form.FirstB->trigger();
    EXPECT_EQ(form.StatusFields[0]->text(), QStringLiteral("Pág. 1 de 12"));
}

TEST(PreviewForm, CaptionIsTheReportNameElsePreview) {
    Fixture f;
    f.generate(2);
    ASSERT_FALSE(f.report.ReportOptions.Name.isEmpty());
    EXPECT_EQ(f.open().windowTitle(), codepages::fromCp1252(f.report.ReportOptions.Name));

    Fixture g;
    g.load(reportXml(2));
    g.report.ReportOptions.Name.clear();
    EXPECT_EQ(g.open().windowTitle(), QStringLiteral("Pré-Visualizar"));
}

TEST(PreviewForm, NoPagesDisablesFileActionsInToolbarAndMenu) {
    Fixture f;
    TqdxPreviewForm& form = f.open();
    for (QAction* a : {form.PrintB, form.SaveB, form.ExportB, form.PdfB, form.FindB,
                       form.PageSettingsB}) {
        EXPECT_FALSE(a->isEnabled()) << a->toolTip().toStdString();
        if (QAction* item = form.MenuItem(a)) {
            EXPECT_FALSE(item->isEnabled()) << a->toolTip().toStdString();
        }
    }
    // An empty window (a report that failed to load) can still open another report.
    EXPECT_TRUE(form.OpenB->isEnabled());
    // Paging and searching an empty report do nothing harmful.
    sendKey(f.view(), Qt::Key_PageDown, Qt::ControlModifier);
    sendKey(f.view(), Qt::Key_F3);
    form.FindBClick();
    EXPECT_FALSE(form.ExportPdf());
    EXPECT_EQ(form.Preview()->PageCount(), 0);

    Fixture g;
    g.load(reportXml(1));
    TqdxPreviewForm& withPages = g.open();
    for (QAction* a : {withPages.PrintB, withPages.SaveB, withPages.PdfB, withPages.FindB}) {
        EXPECT_TRUE(a->isEnabled());
        EXPECT_TRUE(withPages.MenuItem(a)->isEnabled());
    }
}

TEST(PreviewForm, ContextMenuRepeatsTheToolbar) {
    Fixture f;
    f.load(reportXml(1));
    TqdxPreviewForm& form = f.open();
    QStringList items;
    for (QAction* a : form.RightMenu->actions()) {
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    EXPECT_EQ(items, (QStringList{"Condensar tudo", "Expandir tudo", "-", "Imprimir", "Abrir",
                                  "Guardar", "Exportar", "Exportar para PDF", "Localizar", "-",
                                  "Ampliar", "Reduzir", "Ecran inteiro"}));
    QMenu* exportMenu = form.MenuItem(form.ExportB)->menu();
    ASSERT_NE(exportMenu, nullptr);
    ASSERT_EQ(exportMenu->actions().size(), 1);
    EXPECT_EQ(exportMenu->actions()[0]->text(), QStringLiteral("Ficheiro PDF..."));
    EXPECT_FALSE(form.EmailB->isVisible());

    // Buttons follow PreviewOptions.Buttons.
    Fixture g;
    g.load(reportXml(1));
    g.report.PreviewOptions.Buttons = pbNavigator | pbNoClose;
    TqdxPreviewForm& few = g.open();
    EXPECT_FALSE(few.PrintB->isVisible());
    EXPECT_FALSE(few.ZoomPlusB->isVisible());
    EXPECT_FALSE(few.PdfB->isVisible());
    EXPECT_TRUE(few.NextB->isVisible());
    EXPECT_FALSE(few.CancelBAction->isVisible());
}

TEST(PreviewForm, EveryToolbarControlHasAnAccessibleName) {
    Fixture f;
    f.load(reportXml(2));
    TqdxPreviewForm& form = f.open();
    for (QAction* a : form.ToolBar->actions()) {
        QWidget* w = form.ToolBar->widgetForAction(a);
        if (!w || a->isSeparator()) {
            continue;
        }
        const QList<QWidget*> controls = w->findChildren<QWidget*>() << w;
        for (QWidget* c : controls) {
            if (qobject_cast<QToolButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                qobject_cast<QComboBox*>(c)) {
                EXPECT_FALSE(c->accessibleName().isEmpty()) << c->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(form.Button(form.PrintB)->accessibleName(), QStringLiteral("Imprimir"));
    EXPECT_EQ(form.Button(form.FullScreenBtn)->accessibleName(), QStringLiteral("Ecran inteiro"));
    for (QLabel* field : form.StatusFields) {
        EXPECT_FALSE(field->accessibleName().isEmpty());
    }
}

TEST(PreviewForm, FindDialogThroughKeysThenF3) {
    TqdxSearchDialog::ResetRememberedText();
    Fixture f;
    f.load(reportXml(6, {{2, memo("A", 100, "alvo um")}, {5, memo("B", 100, "alvo dois")}}));
    TqdxPreviewForm& form = f.open();
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TqdxSearchDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialogSeen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Localizar Texto"));
        EXPECT_FALSE(dialog->TopCB->isChecked());
        typeInto(dialog->TextE, QStringLiteral("ALVO"));
        dialog->TopCB->setChecked(true);
        sendKey(dialog->TextE, Qt::Key_Return); // Enter: OK, the default button
    });
    sendKey(f.view(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(dialogSeen);
    EXPECT_EQ(TqdxSearchDialog::RememberedText(), QStringLiteral("ALVO"));
    EXPECT_EQ(form.Preview()->Workspace()->FindPage(), 1);
    sendKey(f.view(), Qt::Key_F3);
    EXPECT_EQ(form.Preview()->Workspace()->FindPage(), 4);
    // The status line follows the page the search scrolled to.
    EXPECT_EQ(form.StatusFields[0]->text(),
              QStringLiteral("Pág. %1 de 6").arg(form.Preview()->PageNo()));
    EXPECT_GE(form.Preview()->PageNo(), 4);

    // Enter on a focused Cancel cancels: no search, the remembered text stays.
    form.Preview()->First();
    const int findPage = form.Preview()->Workspace()->FindPage();
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TqdxSearchDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->TextE->text(), QStringLiteral("ALVO"));
        dialog->TextE->setText(QStringLiteral("Pagina 4"));
        dialog->CancelB->setFocus();
        sendKey(dialog->CancelB, Qt::Key_Return);
        if (dialog->isVisible()) {
            dialog->reject(); // keep the test from hanging on a failure
            ADD_FAILURE() << "Enter on Cancel did not close the dialog";
        }
    });
    form.FindB->trigger();
    EXPECT_EQ(form.Preview()->PageNo(), 1);
    EXPECT_EQ(form.Preview()->Workspace()->FindPage(), findPage);
    EXPECT_EQ(TqdxSearchDialog::RememberedText(), QStringLiteral("ALVO"));
}

TEST(PreviewForm, EveryToolbarFunctionHasAKeyAndAPlaceInTheTabOrder) {
    Fixture f;
    f.generate(3);
    TqdxPreviewForm& form = f.open();
    ASSERT_TRUE(test::showActive(&form));
    form.Preview()->Workspace()->setFocus();
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        QApplication::processEvents();
    };

    // Tab walks the toolbar's visible buttons and boxes in their order, then the pages.
    QStringList order;
    for (int i = 0; i < 40; ++i) {
        press(Qt::Key_Tab);
        QWidget* at = QApplication::focusWidget();
        ASSERT_NE(at, nullptr);
        if (at == form.Preview()->Workspace()) {
            break;
        }
        order << at->accessibleName();
    }
    EXPECT_EQ(order.join(QStringLiteral(", ")).toStdString(),
              "Imprimir, Abrir, Guardar, Exportar, Exportar para PDF, Localizar, Ampliar, Zoom, "
              "Reduzir, Ecran inteiro, Resumo do relatório, Miniaturas, Margens, Editar Página, "
              "Primeira Página, Página Anterior, Número da Página, Próxima Página, Última Página, "
              "Fechar");

    // Space and Enter press the focused button.
    form.Button(form.NextB)->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    EXPECT_EQ(form.Preview()->PageNo(), 2);
    press(Qt::Key_Return);
    QTest::qWait(300); // the pressed look of a click made by a key
    EXPECT_EQ(form.Preview()->PageNo(), 3);

    // Keys for what only the mouse reached; the hints name them.
    form.Preview()->Workspace()->setFocus();
    press(Qt::Key_F9);
    EXPECT_TRUE(form.Preview()->OutlineVisible());
    EXPECT_TRUE(form.OutlineB->isChecked());
    press(Qt::Key_F9, Qt::ShiftModifier);
    EXPECT_TRUE(form.Preview()->ThumbnailVisible());
    EXPECT_FALSE(form.Preview()->OutlineVisible());
    EXPECT_EQ(form.Button(form.OutlineB)->toolTip(), QStringLiteral("Resumo do relatório (F9)"));
    EXPECT_EQ(form.Button(form.PageSettingsB)->toolTip(), QStringLiteral("Margens (Ctrl+M)"));
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* dialog;
    } dialogs[] = {{Qt::Key_M, Qt::ControlModifier, "zr::reportlib::preview::TqdxPageSettingsForm"},
                   {Qt::Key_E, Qt::ControlModifier, "zr::reportlib::preview::TqdxPDFExportDialog"},
                   {Qt::Key_O, Qt::ControlModifier, "QFileDialog"}};
    // A report opened before: its folder is in the open dialog's history.
    test::TempDir recent;
    addRecentReport(recent.write(QStringLiteral("antigo.qp3"), "x"));
    for (const auto& d : dialogs) {
        QString seen;
        bool bookmarks = false;
        QTimer::singleShot(50, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                seen = QString::fromUtf8(modal->metaObject()->className());
                if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                    EXPECT_TRUE(files->history().contains(QDir(recent.root()).absolutePath()));
                }
                // The report has an outline, though its preview does not show it at first:
                // bookmarks are offered and on.
                if (auto* pdf = qobject_cast<TqdxPDFExportDialog*>(modal)) {
                    bookmarks = pdf->OutlineCB->isEnabled() && pdf->OutlineCB->isChecked();
                }
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        });
        press(d.key, d.modifiers);
        EXPECT_EQ(seen, QString::fromUtf8(d.dialog));
        EXPECT_EQ(bookmarks, seen.endsWith(QLatin1String("TqdxPDFExportDialog")));
        EXPECT_TRUE(form.isVisible());
        ASSERT_TRUE(test::showActive(&form));
        form.Preview()->Workspace()->setFocus();
    }

    // Shift+F10 and the Menu key open the window's menu at the page, not at the mouse.
    for (const auto modifiers :
         {Qt::KeyboardModifiers(Qt::ShiftModifier), Qt::KeyboardModifiers()}) {
        form.Preview()->Workspace()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), modifiers ? Qt::Key_F10 : Qt::Key_Menu,
                        modifiers);
        EXPECT_TRUE(form.RightMenu->isVisible());
        const QRect page(form.Preview()->Workspace()->viewport()->mapToGlobal(QPoint(0, 0)),
                         form.Preview()->Workspace()->viewport()->size());
        EXPECT_TRUE(page.contains(form.RightMenu->pos())) << modifiers;
        form.RightMenu->close();
    }

    // Ctrl+W closes the window.
    form.Preview()->Workspace()->setFocus();
    press(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible());
}

TEST(PreviewForm, LongReportsKeepCountersOutlineAndHitsInSight) {
    // The counters at 10,000 pages, and a hit on the last one.
    Fixture f;
    tools::Qp3GeneratorOptions options;
    options.pages = 10000;
    options.memoLines = {{QStringLiteral("Arial"), QStringLiteral("Total geral do relatório")}};
    tools::BuildPreparedReport(f.report, options);
    TqdxPreviewForm& form = f.open();
    ASSERT_TRUE(test::showActive(&form));
    form.Preview()->Workspace()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    ASSERT_EQ(form.PageE->text(), QStringLiteral("10000"));
    const auto fits = [](QWidget* field, const QString& text) {
        return field->fontMetrics().horizontalAdvance(text) <= field->contentsRect().width();
    };
    EXPECT_TRUE(fits(form.PageE, QStringLiteral("10000")));
    EXPECT_TRUE(fits(form.StatusFields[0], form.StatusFields[0]->text()));
    EXPECT_EQ(form.StatusFields[0]->text(), QStringLiteral("Pág. 10000 de 10000"));
    // The page on screen is text to a screen reader.
    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(form.Preview()->Workspace());
    ASSERT_NE(page, nullptr);
    ASSERT_NE(page->textInterface(), nullptr);
    EXPECT_TRUE(
        page->textInterface()->text(0, -1).contains(QStringLiteral("Total geral do relatório")));

    const auto hitInUpperPart = [&form] {
        TqdxPreviewWorkspace* view = form.Preview()->Workspace();
        const QRect hit = view->HitRect();
        return !hit.isEmpty() && hit.top() >= 0 && hit.bottom() <= view->viewport()->height() / 2;
    };
    // Two pages back through the page field, out of sight of the hit; the search starts at the
    // current page.
    typeInto(form.PageE, QStringLiteral("9998"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_EQ(form.Preview()->PageNo(), 9998);
    findByKeys(QStringLiteral("Total geral"), false);
    EXPECT_EQ(form.Preview()->PageNo(), 10000);
    EXPECT_TRUE(hitInUpperPart());

    // The outline pane grows to its entries ("Página 10" and on are whole), with tooltips.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    QApplication::processEvents();
    QTreeWidget* outline = form.Preview()->OutlineTree();
    ASSERT_TRUE(outline->isVisible());
    QTreeWidgetItem* section = outline->topLevelItem(0);
    ASSERT_GE(section->childCount(), 12);
    for (QTreeWidgetItem* item : {section->child(8), section->child(11)}) {
        const QRect place = outline->visualItemRect(item);
        EXPECT_LE(place.left() + outline->fontMetrics().horizontalAdvance(item->text(0)),
                  outline->viewport()->width())
            << item->text(0).toStdString();
        EXPECT_EQ(item->toolTip(0), item->text(0));
    }
    EXPECT_LE(outline->width(), form.width() / 3);

    // A hit at the top of page 3 makes page 3 current and stands in the upper part of the view.
    Fixture g;
    g.load(reportXml(4, {{3, memo("A", 5, "alvo no alto")}}));
    TqdxPreviewForm& small = g.open();
    ASSERT_TRUE(test::showActive(&small));
    small.Preview()->Workspace()->setFocus();
    findByKeys(QStringLiteral("alvo no alto"), true);
    EXPECT_EQ(small.Preview()->PageNo(), 3);
    EXPECT_EQ(small.StatusFields[0]->text(), QStringLiteral("Pág. 3 de 4"));
    const QRect hit = small.Preview()->Workspace()->HitRect();
    EXPECT_GE(hit.top(), 0);
    EXPECT_LE(hit.bottom(), small.Preview()->Workspace()->viewport()->height() / 2);

    // A landscape page among upright ones: the thumbnail strip is wide enough for it.
    Fixture h;
    QByteArray xml = reportXml(2);
    xml.replace(xml.lastIndexOf("PaperWidth=\"210\" PaperHeight=\"297\""), 32,
                "PaperWidth=\"297\" PaperHeight=\"210\"");
    h.load(xml);
    TqdxPreviewForm& turned = h.open();
    ASSERT_TRUE(test::showActive(&turned));
    turned.Preview()->Workspace()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9, Qt::ShiftModifier);
    QApplication::processEvents();
    TqdxPreviewWorkspace* strip = turned.Preview()->Thumbnails();
    ASSERT_EQ(strip->PageList.Count(), 2);
    EXPECT_GT(strip->PageList.Items(1).Width, strip->PageList.Items(0).Width);
    EXPECT_GE(strip->viewport()->width(), strip->PageList.Items(1).Width + 20);
}

TEST(PreviewForm, AReportReopensWhereItWasLeftUnlessItChangedOrAPageIsAsked) {
    test::TempDir dir;
    const QString file = dir.path(QStringLiteral("vendas.QP3"));
    tools::Qp3GeneratorOptions options;
    options.pages = 6;
    ASSERT_TRUE(tools::WritePreparedReport(file, options));
    const auto show = [&](Fixture& f, int startPage = 0) {
        f.report.PreviewPages().LoadFromFile(file, false);
        int page = 0;
        double zoom = 0;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TqdxPreviewForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            page = form->Preview()->PageNo();
            zoom = form->Preview()->Zoom();
            if (page == 1 && startPage == 0) {
                // First time: the user goes to page 4 at 150%, and closes with Escape.
                ASSERT_TRUE(test::showActive(form));
                form->Preview()->Workspace()->setFocus();
                for (int i = 0; i < 3; ++i) {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown,
                                    Qt::ControlModifier);
                }
                typeInto(form->ZoomCB->lineEdit(), QStringLiteral("150"));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            }
            QTest::keyClick(form->Preview()->Workspace(), Qt::Key_Escape);
        });
        TqdxPreviewForm::PreviewPrepared(f.report, &f.filter, nullptr, file, startPage);
        return std::pair{page, zoom};
    };
    Fixture first;
    EXPECT_EQ(show(first), (std::pair{1, 1.0}));
    Fixture again;
    EXPECT_EQ(show(again), (std::pair{4, 1.5}));
    Fixture asked;
    EXPECT_EQ(show(asked, 2).first, 2);
    // Rewritten since: from its start.
    options.pages = 7;
    ASSERT_TRUE(tools::WritePreparedReport(file, options));
    Fixture changed;
    EXPECT_EQ(show(changed).first, 1);
}

TEST(PreviewForm, ExportsPdfThroughTheFormWithProgress) {
    test::TempDir dir;
    Fixture f;
    f.generate(12);
    TqdxPreviewForm& form = f.open();
    const QString target = dir.root() + QStringLiteral("/saida.pdf");
    int dialogs = 0;
    form.PdfOptionsDialog = [&](pdf::TqdxPDFExport& filter, QWidget*, const QString&) {
        ++dialogs;
        filter.FileName = target;
        return true;
    };
    // Watch the progress window: it shows the driver's pages with the export message.
    std::vector<QString> messages;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* p = qobject_cast<TqdxProgress*>(QApplication::activeModalWidget())) {
            messages.push_back(p->LMessage->text());
        }
    });
    watcher.start();
    form.PdfB->trigger();
    watcher.stop();
    EXPECT_EQ(dialogs, 1);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), QStringLiteral("Exportando página 12"));
    EXPECT_TRUE(f.filter.Succeeded()) << f.filter.ErrorText.toStdString();
    EXPECT_EQ(f.filter.PagesWritten(), 12);
    EXPECT_TRUE(f.filter.ShowDialog); // given back as it was
    EXPECT_EQ(test::qpdfCheckProblems(target), QString());
    EXPECT_EQ(f.report.UserInteraction, &f.interaction); // the window's own is gone again
    EXPECT_FALSE(form.Preview()->Locked());
    EXPECT_TRUE(f.interaction.messages.empty());
}

TEST(PreviewForm, CancelInTheProgressWindowStopsTheExport) {
    test::TempDir dir;
    Fixture f;
    f.generate(12);
    TqdxPreviewForm& form = f.open();
    form.PdfOptionsDialog = [&](pdf::TqdxPDFExport& filter, QWidget*, const QString&) {
        filter.FileName = dir.root() + QStringLiteral("/parte.pdf");
        return true;
    };
    int values = 0;
    QString message;
    // The progress window as the user sees it: after page 3 the user presses Cancelar.
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* p = qobject_cast<TqdxProgress*>(QApplication::activeModalWidget());
        if (!p || !p->isVisible()) {
            return;
        }
        ++values;
        if (p->Bar->value() >= 3) {
            message = p->LMessage->text();
            p->CancelB->click();
        }
    });
    poll.start();
    form.ExportPdf();
    poll.stop();
    EXPECT_GT(values, 0);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Exportando página "))) << message.toStdString();
    EXPECT_TRUE(f.report.Terminated);
    EXPECT_LT(f.filter.PagesWritten(), 12);
    EXPECT_FALSE(form.Preview()->Locked());
    EXPECT_TRUE(form.PdfB->isEnabled());
}

TEST(PreviewForm, FailedJobsAreShownAndLeaveTheWindowUsable) {
    test::TempDir dir;
    Fixture f;
    f.load(reportXml(3));
    TqdxPreviewForm& form = f.open();
    const QString missingFolder = dir.root() + QStringLiteral("/nao/existe");

    // A PDF that cannot be created: the filter's message, nothing left locked.
    form.PdfOptionsDialog = [&](pdf::TqdxPDFExport& filter, QWidget*, const QString&) {
        filter.FileName = missingFolder + QStringLiteral("/x.pdf");
        return true;
    };
    EXPECT_FALSE(form.ExportPdf());
    ASSERT_EQ(f.interaction.messages.size(), 1u);
    EXPECT_EQ(f.interaction.messages[0].kind, MessageKind::Error);
    EXPECT_FALSE(f.interaction.messages[0].text.isEmpty());
    EXPECT_FALSE(form.Preview()->Locked());
    EXPECT_TRUE(form.SaveB->isEnabled());

    // A save that cannot be written is reported, not passed over.
    form.Preview()->SaveFileName = [&] { return missingFolder + QStringLiteral("/r.qp3"); };
    form.SaveBClick();
    ASSERT_EQ(f.interaction.messages.size(), 2u);
    EXPECT_EQ(f.interaction.messages[1].kind, MessageKind::Error);
    // With the system's reason, and a long path shortened in its middle.
    EXPECT_TRUE(
        f.interaction.messages[1].text.endsWith(QStringLiteral("No such file or directory")))
        << f.interaction.messages[1].text.toStdString();
    const QString longName = missingFolder + QLatin1Char('/') + QString(200, u'x');
    form.Preview()->SaveFileName = [&] { return longName; };
    form.SaveBClick();
    ASSERT_EQ(f.interaction.messages.size(), 3u);
    EXPECT_FALSE(f.interaction.messages[2].text.contains(longName));
    EXPECT_TRUE(f.interaction.messages[2].text.contains(QStringLiteral("xxx.qp3")));
    f.interaction.messages.pop_back();

    // A save that works, then opening it again through the window.
    const QString saved = dir.path(QStringLiteral("copia.qp3"));
    form.Preview()->SaveFileName = [&] { return dir.path(QStringLiteral("copia.bin")); };
    form.SaveBClick();
    EXPECT_EQ(f.interaction.messages.size(), 2u);
    ASSERT_TRUE(QFile::exists(saved));
    form.Preview()->OpenFileName = [&] { return saved; };
    form.OpenBClick();
    EXPECT_EQ(form.Preview()->PageCount(), 3);
    EXPECT_EQ(form.FileName(), saved);

    // A file that is not a prepared report: the message, and the window stays usable.
    const QString bad = dir.write(QStringLiteral("lixo.qp3"), QByteArray("not a report \x01"));
    form.Preview()->OpenFileName = [&] { return bad; };
    form.OpenBClick();
    EXPECT_GE(f.interaction.messages.size(), 3u);
    EXPECT_FALSE(form.Preview()->Locked());
    EXPECT_EQ(form.StatusFields[0]->text(),
              QStringLiteral("Pág. %1 de %2")
                  .arg(form.Preview()->PageNo())
                  .arg(form.Preview()->PageCount()));
    sendKey(f.view(), Qt::Key_PageDown, Qt::ControlModifier);
}

TEST(PreviewForm, ProgressWindowPlacesItsMessageByTheBar) {
    TqdxProgress progress;
    progress.Execute(0, QStringLiteral("Exportando página 1"), false, true);
    EXPECT_EQ(progress.LMessage->y(), 35);
    EXPECT_FALSE(progress.Bar->isVisibleTo(&progress));
    progress.Execute(10, QStringLiteral("x"), true, false);
    EXPECT_EQ(progress.LMessage->y(), 15);
    EXPECT_FALSE(progress.CancelB->isVisibleTo(&progress));
    progress.SetPosition(50); // beyond the range: clamped
    EXPECT_EQ(progress.Bar->value(), 10);
    progress.hide();
}

TEST(PreviewForm, EscapeClosesAndFullScreenHidesTheBars) {
    Fixture f;
    f.load(reportXml(2));
    TqdxPreviewForm& form = f.open();
    form.SetFullScreen(true);
    EXPECT_FALSE(form.ToolBar->isVisible());
    EXPECT_FALSE(form.StatusBar->isVisible());
    form.SetFullScreen(false);
    EXPECT_TRUE(form.ToolBar->isVisible());
    EXPECT_TRUE(form.StatusBar->isVisible());
    sendKey(f.view(), Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

} // namespace
} // namespace zr::reportlib::preview

namespace zr::reportlib::preview {
namespace {

// The sample report opens in the window. With ZR_PREVIEW_SCREENSHOT set to a file name, the
// window is also saved there as a picture (run under xvfb-run for the documentation's one).
TEST(PreviewForm, ShowsTheSampleReport) {
    Fixture f;
    ASSERT_TRUE(f.report.PreviewPages().LoadFromFile(
        QStringLiteral(ZR_SOURCE_DIR "/examples/exemplo.QP3"), true));
    f.report.PreviewOptions.OutlineVisible = true;
    TqdxPreviewForm& form = f.open();
    form.resize(1000, 720);
    form.Preview()->SetZoomMode(zmPageWidth);
    QApplication::processEvents();
    ASSERT_GT(form.Preview()->PageCount(), 0);
    EXPECT_EQ(form.StatusFields[0]->text(),
              QStringLiteral("Pág. 1 de %1").arg(form.Preview()->PageCount()));
    EXPECT_TRUE(f.interaction.messages.empty());
    const QString shot = qEnvironmentVariable("ZR_PREVIEW_SCREENSHOT");
    if (!shot.isEmpty()) {
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
        }
        EXPECT_TRUE(form.grab().save(shot));
    }
}

} // namespace
} // namespace zr::reportlib::preview
