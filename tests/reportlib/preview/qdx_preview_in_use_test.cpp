// The prepared-report preview as people use it: keys pressed on whatever has the focus, a zoom
// that keeps the reader's place, searches that leave the window alive, the wheel over each
// part of the window, link addresses in the status line, and what a screen reader hears.

#include "reportlib/preview/qdx_preview_form.h"

#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/preview/qdx_preview_workspace.h"

#include "active_window.h"
#include "platform/text/codepages.h"
#include "qp3_generator.h"
#include "recording_interaction.h"
#include "temp_dir.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace zr::reportlib::preview {
namespace {

// A4 pages, each with the memo "Pagina n"; page 1 also carries a link to an address.
QByteArray reportXml(int pageCount) {
    QByteArray pages;
    for (int i = 1; i <= pageCount; ++i) {
        pages += "<TqdxReportPage PaperSize=\"9\" PaperWidth=\"210\" PaperHeight=\"297\">"
                 "<TqdxPageHeader Name=\"H\" Top=\"0\" Height=\"300\">"
                 "<TqdxMemoView Name=\"T\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" "
                 "Text=\"Pagina " +
                 QByteArray::number(i) + "\"/>" +
                 (i == 1 ? "<TqdxMemoView Name=\"L\" Left=\"0\" Top=\"100\" Width=\"300\" "
                           "Height=\"40\" Text=\"site\" URL=\"http://exemplo.com.br/a\"/>"
                         : "") +
                 "</TqdxPageHeader></TqdxReportPage>";
    }
    return "<?xml version=\"1.0\"?><preparedreport><previewpages>" + pages +
           "</previewpages></preparedreport>";
}

QString heard(QWidget* w, QAccessible::Text what = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(what) : QString();
}

struct Window {
    TqdxReport report;
    test::RecordingInteraction interaction;
    pdf::TqdxPDFExport filter;
    std::unique_ptr<TqdxPreviewForm> form;
    int printed = 0;

    explicit Window(int pages, bool generated = false) {
        report.UserInteraction = &interaction;
        report.PreviewOptions.Maximized = false;
        if (generated) {
            tools::Qp3GeneratorOptions options;
            options.pages = pages;
            tools::BuildPreparedReport(report, options);
        } else if (pages > 0) {
            QBuffer buffer;
            buffer.setData(reportXml(pages));
            buffer.open(QIODevice::ReadOnly);
            report.PreviewPages().LoadFromStream(buffer);
        }
        form = std::make_unique<TqdxPreviewForm>();
        form->Setup(report, &filter);
        form->Preview()->PrintReport = [this] { ++printed; };
        form->resize(1000, 700);
        EXPECT_TRUE(test::showActive(form.get()));
    }
    TqdxPreview& preview() const { return *form->Preview(); }
    TqdxPreviewWorkspace& view() const { return *form->Preview()->Workspace(); }
    // A key on whatever has the focus, as the user presses it.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key(key), modifiers);
    }
    void typeInto(QWidget* field, const QString& text) const {
        field->setFocus(Qt::TabFocusReason);
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), text);
        press(Qt::Key_Return);
    }
    QString status(int field) const { return form->StatusFields[field]->text(); }
};

TEST(PreviewInUse, EveryShortcutTakesItsButtonsPath) {
    test::TempDir dir;
    Window w(0);
    const QString bad = dir.write(QStringLiteral("vazio.qp3"), QByteArray());
    const QString good = dir.path(QStringLiteral("bom.qp3"));
    {
        TqdxReport source;
        tools::Qp3GeneratorOptions options;
        options.pages = 4;
        tools::BuildPreparedReport(source, options);
        ASSERT_TRUE(source.PreviewPages().SaveToFile(good));
    }
    QString chosen;
    w.preview().OpenFileName = [&] { return chosen; };
    w.preview().SaveFileName = [&] { return dir.root() + QStringLiteral("/nao/existe/r.qp3"); };

    // Without pages, Ctrl+P prints nothing, as its disabled button would.
    w.press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(w.printed, 0);
    // Ctrl+O on a file that is no report: the message, and the window goes on.
    chosen = bad;
    w.press(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(w.interaction.messages.size(), 1u);
    EXPECT_EQ(w.interaction.messages[0].kind, MessageKind::Error);
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_FALSE(w.preview().Locked());
    // Ctrl+O on a report: its pages, its name as the caption.
    chosen = good;
    w.press(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(w.preview().PageCount(), 4);
    EXPECT_EQ(w.form->windowTitle(), codepages::fromCp1252(w.report.ReportOptions.Name));
    EXPECT_EQ(w.status(0), QStringLiteral("Pág. 1 de 4"));
    w.press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(w.printed, 1);
    // Ctrl+S into a folder that does not exist says so.
    w.press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(w.interaction.messages.size(), 2u);
    EXPECT_EQ(w.interaction.messages[1].kind, MessageKind::Error);
    EXPECT_EQ(w.interaction.messages.size(), 2u);

    // The control on its own shows the error instead of letting it out of the key handler.
    TqdxReport report;
    TqdxPreview alone;
    QStringList shown;
    alone.ShowMessage = [&](const QString& text) { shown << text; };
    alone.OpenFileName = [&] { return bad; };
    alone.SetReport(&report);
    alone.Init();
    ASSERT_TRUE(test::showActive(&alone));
    alone.Workspace()->setFocus();
    w.press(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(shown.size(), 1);
}

TEST(PreviewInUse, ZoomBoxTakesEnterAndLeavesPagingToThePages) {
    Window w(6);
    QComboBox* box = w.form->ZoomCB;
    w.typeInto(box, QStringLiteral("150"));
    EXPECT_DOUBLE_EQ(w.preview().Zoom(), 1.5);
    EXPECT_EQ(box->currentText(), QStringLiteral("150%"));
    EXPECT_EQ(heard(box, QAccessible::Description), QStringLiteral("150%"));
    // Page Down in the box pages the report; the zoom stays.
    box->setFocus(Qt::TabFocusReason);
    w.press(Qt::Key_PageDown);
    EXPECT_EQ(w.view().VertPosition(), 300);
    EXPECT_DOUBLE_EQ(w.preview().Zoom(), 1.5);
    // The largest zoom fits the box, and every item its list.
    EXPECT_GE(box->lineEdit()->width(),
              box->fontMetrics().horizontalAdvance(QStringLiteral("2000%")));
    EXPECT_GE(box->view()->minimumWidth(), box->fontMetrics().horizontalAdvance(box->itemText(6)));
}

TEST(PreviewInUse, ZoomAndResizeKeepTheReadersPlace) {
    Window w(60);
    w.typeInto(w.form->PageE, QStringLiteral("30"));
    w.view().setFocus();
    w.press(Qt::Key_PageDown);
    const TqdxViewPlace before = w.view().ViewPlace();
    ASSERT_EQ(before.Page, 29);
    EXPECT_EQ(heard(w.form->PageE, QAccessible::Description), QStringLiteral("Pág. 30 de 60"));
    EXPECT_EQ(heard(w.form->StatusFields[0]), QStringLiteral("Pág. 30 de 60"));

    const struct {
        const char* what;
        std::function<void()> act;
    } changes[] = {
        {"Ctrl+-", [&] { w.press(Qt::Key_Minus, Qt::ControlModifier); }},
        {"Ctrl+=", [&] { w.press(Qt::Key_Equal, Qt::ControlModifier); }},
        {"Ctrl+wheel",
         [&] {
             QWheelEvent turn(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, 120),
                              Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(w.view().viewport(), &turn);
         }},
        {"Ctrl+0", [&] { w.press(Qt::Key_0, Qt::ControlModifier); }},
        {"resize",
         [&] {
             w.form->resize(700, 500);
             QApplication::processEvents();
         }},
    };
    for (const auto& change : changes) {
        change.act();
        const TqdxViewPlace after = w.view().ViewPlace();
        EXPECT_EQ(after.Page, 29) << change.what;
        EXPECT_NEAR(after.Y, before.Y, 0.01) << change.what;
        EXPECT_EQ(w.preview().PageNo(), 30) << change.what;
        EXPECT_EQ(w.status(0), QStringLiteral("Pág. 30 de 60")) << change.what;
    }
    EXPECT_DOUBLE_EQ(w.preview().Zoom(), 1.0);

    // "Toda a Página" chosen from the box's list shows the whole current page.
    w.form->ZoomCB->setFocus(Qt::TabFocusReason);
    w.press(Qt::Key_Down, Qt::AltModifier);
    QAbstractItemView* list = w.form->ZoomCB->view();
    ASSERT_TRUE(list->isVisible());
    // The open list holds the keyboard (the offscreen platform cannot grab it for it).
    QTest::keyClick(list, Qt::Key_End);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(w.preview().ZoomMode(), zmWholePage);
    EXPECT_EQ(w.preview().PageNo(), 30);
    const QRect page = w.view().GetPageBounds(29).translated(0, -w.view().VertPosition());
    EXPECT_GE(page.top(), 0);
    EXPECT_LE(page.bottom(), w.view().viewport()->height());
}

TEST(PreviewInUse, HighZoomPaintsOnlyTilesInView) {
    Window w(3);
    w.typeInto(w.form->ZoomCB, QStringLiteral("2000"));
    ASSERT_DOUBLE_EQ(w.preview().Zoom(), 20.0);
    w.view().viewport()->grab();
    // Tiles cover the view: a page at 2000% would be 1.4 GB as one picture.
    const std::size_t tile =
        std::size_t(TqdxPreviewWorkspace::kTileSize) * TqdxPreviewWorkspace::kTileSize * 4;
    const QSize view = w.view().viewport()->size();
    const std::size_t across = std::size_t(view.width() / TqdxPreviewWorkspace::kTileSize + 2);
    const std::size_t down = std::size_t(view.height() / TqdxPreviewWorkspace::kTileSize + 2);
    EXPECT_GT(w.view().CachedImages(), 0);
    EXPECT_LE(w.view().CacheBytes(), across * down * tile);
    w.press(Qt::Key_Plus, Qt::ControlModifier);
    w.view().viewport()->grab();
    EXPECT_LE(w.view().CacheBytes(), across * down * tile); // the old zoom's tiles are gone
    EXPECT_TRUE(w.interaction.messages.empty());
}

TEST(PreviewInUse, SearchLeavesTheWindowAliveAndEscapeStopsIt) {
    Window w(400, true);
    int findDialogs = 0;
    w.form->FindDialog = [&](QString& text, bool& caseSensitive, bool& fromStart) {
        ++findDialogs;
        text = QStringLiteral("PALAVRA-QUE-NAO-EXISTE");
        caseSensitive = false;
        fromStart = true;
        return true;
    };
    QStringList progress;
    QString cancelCaption;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        if (w.status(1).startsWith(QStringLiteral("Localizando"))) {
            progress << w.status(1);
        }
        if (ticks == 5) {
            cancelCaption = w.form->CancelB->text();
            w.press(Qt::Key_Escape);
        }
    });
    ticker.start(10);
    w.view().setFocus();
    w.press(Qt::Key_F, Qt::ControlModifier);
    ticker.stop();

    EXPECT_EQ(findDialogs, 1);
    EXPECT_GE(ticks, 5);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_TRUE(progress.last().endsWith(QStringLiteral(" de 400")))
        << progress.last().toStdString();
    EXPECT_EQ(cancelCaption, QStringLiteral("Cancelar"));
    // Stopped: no "not found", the window still open, the status line clear again.
    EXPECT_TRUE(w.interaction.messages.empty());
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_FALSE(w.preview().Searching());
    EXPECT_EQ(w.status(1), QString());
    EXPECT_EQ(w.form->CancelB->text(), QStringLiteral("Fechar"));
}

TEST(PreviewInUse, FailedLoadLeavesTheReportOnScreen) {
    test::TempDir dir;
    Window w(3);
    const QString bad = dir.write(QStringLiteral("ruim.qp3"), QByteArray("<preparedreport>"));
    w.preview().OpenFileName = [&] { return bad; };
    w.press(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(w.preview().PageCount(), 3);
    ASSERT_EQ(w.interaction.messages.size(), 1u);
    const QImage shown = w.view().viewport()->grab().toImage();
    const QRgb back = w.view().BackColor.rgb();
    int other = 0;
    for (int y = 0; y < shown.height(); y += 7) {
        for (int x = 0; x < shown.width(); x += 7) {
            other += shown.pixel(x, y) != back;
        }
    }
    EXPECT_GT(other, 0); // the page is still drawn
}

TEST(PreviewInUse, WheelScrollsThePartUnderThePointer) {
    QApplication::setWheelScrollLines(3);
    Window w(40);
    w.form->ThumbB->trigger();
    QApplication::processEvents();
    TqdxPreviewWorkspace& strip = *w.preview().Thumbnails();
    auto turn = [](QWidget* under, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWheelEvent event(QPointF(20, 20), under->mapToGlobal(QPointF(20, 20)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(under, &event);
    };
    turn(strip.viewport(), -120);
    EXPECT_GT(strip.VertPosition(), 0);
    EXPECT_EQ(w.view().VertPosition(), 0);
    // Three lines a notch in the main view; half notches add up.
    turn(w.view().viewport(), -120);
    EXPECT_EQ(w.view().VertPosition(), 60);
    turn(w.view().viewport(), -60);
    turn(w.view().viewport(), -60);
    EXPECT_EQ(w.view().VertPosition(), 120);
    // Ctrl+wheel zooms the pages wherever it is turned.
    turn(strip.viewport(), 120, Qt::ControlModifier);
    EXPECT_NEAR(w.preview().Zoom(), 1.1, 1e-9);
}

TEST(PreviewInUse, LinkAddressShowsInTheMessageFieldWhileThePointerIsOnIt) {
    Window w(2);
    const QRect page = w.view().GetPageBounds(0);
    // The link's memo: 100 pixels below the top margin, 40 high.
    const TqdxReportPage* first = w.report.PreviewPages().PageObject(0);
    const int top = page.top() + int(first->TopMargin * 3.77953) + 110 - w.view().VertPosition();
    const int left = page.left() + int(first->LeftMargin * 3.77953) + 20 - w.view().HorzPosition();
    QTest::mouseMove(w.view().viewport(), QPoint(left, top));
    EXPECT_EQ(w.status(1), QStringLiteral("http://exemplo.com.br/a"));
    EXPECT_EQ(w.status(2), QString());
    EXPECT_EQ(heard(w.form->StatusFields[1]), QStringLiteral("http://exemplo.com.br/a"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&w.view(), &leave);
    EXPECT_EQ(w.status(1), QString());
    EXPECT_EQ(heard(w.form->StatusFields[1]), QStringLiteral("Mensagem"));
}

} // namespace
} // namespace zr::reportlib::preview
