#include "qdx_preview_form.h"

#include "qdx_page_settings.h"
#include "qdx_pdf_export_dialog.h"
#include "qdx_print_command.h"
#include "qdx_progress.h"
#include "reportlib/print/qdx_res.h"
#include "qdx_search_dialog.h"

#include "platform/files/display_path.h"
#include "platform/files/recent_reports.h"
#include "platform/files/report_folder.h"
#include "platform/interaction/cancel_request.h"
#include "platform/text/codepages.h"
#include "reportlib/document/qdx_scoped_interaction.h"
#include "reportlib/pdf/qdx_export_pdf.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zr::reportlib::preview {

namespace {

constexpr int kZoomPageWidthItem = 6;
constexpr int kZoomWholePageItem = 7;
constexpr int kPageFieldWidth = 200;
constexpr int kPageEditWidth = 40;
// The window's name among the remembered window places.
const QString kWindowKind = QStringLiteral("visualizacao-preparada");
constexpr const char* kStatusFieldNames[3] = {"Posição da página", "Mensagem", "Dica"};

QString qp3Filter() { return qdxResources().Text("clQP3files") + QStringLiteral(" (*.qp3)"); }

// "Pág. %d de %d" with its two numbers.
QString pageOf(int pageNo, int count) {
    QString text = qdxResources().Text("clPageOf");
    const qsizetype first = text.indexOf(QLatin1String("%d"));
    if (first >= 0) {
        text.replace(first, 2, QString::number(pageNo));
        const qsizetype second = text.indexOf(QLatin1String("%d"), first);
        if (second >= 0) {
            text.replace(second, 2, QString::number(count));
        }
    }
    return text;
}

bool isEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// A status field is heard by what it shows; the field's own name describes it, and names it
// while it is empty.
void setStatusField(QLabel* field, int index, const QString& text) {
    field->setText(text);
    field->setAccessibleName(text.isEmpty() ? QString::fromUtf8(kStatusFieldNames[index]) : text);
}

} // namespace

// ---- Creation ------------------------------------------------------------------------------------

TqdxPreviewForm::TqdxPreviewForm(QWidget* parent) : QDialog(parent) {
    TqdxResources& res = qdxResources();
    setObjectName(QStringLiteral("TqdxPreviewForm"));
    setWindowTitle(res.Text(100));
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    resize(803, 584);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setAccessibleName(QStringLiteral("Barra de ferramentas"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setIconSize(QSize(TqdxResources::kIconSize, TqdxResources::kIconSize));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setContentsMargins(2, 2, 2, 2);
    // The toolbar's own button for the buttons that do not fit has only an arrow.
    if (auto* more = ToolBar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("Mais botões"));
    }
    layout->addWidget(ToolBar);

    using F = TqdxPreviewForm;
    using I = TqdxResources;
    PrintB = addButton(res.Text(101), res.Text(102), I::iconPrint, &F::PrintBClick);
    OpenB = addButton(res.Text(103), res.Text(104), I::iconOpen, &F::OpenBClick);
    SaveB = addButton(res.Text(105), res.Text(106), I::iconSave, &F::SaveBClick);
    ExportB = addButton(res.Text(107), res.Text(108), I::iconExport, nullptr);
    ExportPopup = new QMenu(this);
    ExportPopup->setObjectName(QStringLiteral("ExportPopup"));
    ExportB->setMenu(ExportPopup);
    if (QToolButton* b = Button(ExportB)) {
        b->setPopupMode(QToolButton::InstantPopup);
    }
    PdfB = addButton(QStringLiteral("PdfB"), res.Text(151), I::iconPdf, &F::ExportPdfClick);
    EmailB = addButton(QStringLiteral("EmailB"), res.Text(152), I::iconEmail, nullptr);
    FindB = addButton(res.Text(109), res.Text(110), I::iconFind, &F::FindBClick);
    Sep1 = ToolBar->addSeparator();
    ZoomPlusB = addButton(res.Text(124), res.Text(125), I::iconZoomIn, &F::ZoomPlusBClick);

    ZoomCB = new QComboBox;
    ZoomCB->setObjectName(QStringLiteral("ZoomCB"));
    ZoomCB->setEditable(true);
    ZoomCB->setInsertPolicy(QComboBox::NoInsert);
    ZoomCB->setCompleter(nullptr); // "15" must stay 15, not complete to "150%"
    ZoomCB->addItems({QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"),
                      QStringLiteral("100%"), QStringLiteral("150%"), QStringLiteral("200%"),
                      res.Text("zmPageWidth"), res.Text("zmWholePage")});
    ZoomCB->setEditText(QStringLiteral("100%"));
    ZoomCB->setToolTip(res.Text(119));
    ZoomCB->setAccessibleName(res.Text(119));
    ZoomCB->lineEdit()->setAccessibleName(res.Text(119));
    // Wide enough for the largest zoom; the list as wide as its longest item.
    ZoomCB->setMinimumContentsLength(5);
    ZoomCB->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    int widest = 0;
    for (int i = 0; i < ZoomCB->count(); ++i) {
        widest = std::max(widest, ZoomCB->fontMetrics().horizontalAdvance(ZoomCB->itemText(i)));
    }
    ZoomCB->view()->setMinimumWidth(widest + 32);
    // The box gets the keys (it hands the typing to its line edit itself).
    ZoomCB->installEventFilter(this);
    connect(ZoomCB, &QComboBox::activated, this, &TqdxPreviewForm::ZoomCBSelect);
    Sep3 = addPanel(ZoomCB);

    ZoomMinusB = addButton(res.Text(126), res.Text(127), I::iconZoomOut, &F::ZoomMinusBClick);
    FullScreenBtn = addButton(QStringLiteral("F"), res.Text(150), I::iconFullScreen,
                              &F::FullScreenBtnClick);
    Sep2 = ToolBar->addSeparator();
    OutlineB = addButton(res.Text(128), res.Text(129), I::iconOutline, nullptr);
    ThumbB = addButton(res.Text(130), res.Text(131), I::iconThumbnails, nullptr);
    PanelGroup = new QActionGroup(this);
    PanelGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* a : {OutlineB, ThumbB}) {
        a->setCheckable(true);
        PanelGroup->addAction(a);
    }
    connect(OutlineB, &QAction::triggered, this, [this](bool on) {
        m_preview->SetOutlineVisible(on);
        syncPanelButtons();
    });
    connect(ThumbB, &QAction::triggered, this, [this](bool on) {
        m_preview->SetThumbnailVisible(on);
        syncPanelButtons();
    });
    PageSettingsB = addButton(res.Text(120), res.Text(121), I::iconPageSettings,
                              &F::PageSettingsBClick);
    DesignerB = addButton(res.Text(132), res.Text(133), I::iconEdit, &F::DesignerBClick);
    HiddenMenu = new QMenu(this);
    HiddenMenu->setObjectName(QStringLiteral("HiddenMenu"));
    // It would hand the report's source pages to a report designer; this system has none.
    HiddenMenu->addAction(QStringLiteral("Show template"))->setObjectName("Showtemplate1");
    if (QToolButton* b = Button(DesignerB)) {
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QWidget::customContextMenuRequested, this,
                [this, b](const QPoint&) { HiddenMenu->popup(b->mapToGlobal(QPoint(0, 0))); });
    }
    Sep5 = ToolBar->addSeparator();
    FirstB = addButton(res.Text(134), res.Text(135), I::iconFirst, nullptr);
    PriorB = addButton(res.Text(136), res.Text(137), I::iconPrior, nullptr);

    PageE = new QLineEdit;
    PageE->setObjectName(QStringLiteral("PageE"));
    PageE->setText(QStringLiteral("1"));
    PageE->setToolTip(res.Text(142));
    PageE->setAccessibleName(res.Text(142));
    PageE->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), PageE));
    PageE->setFixedWidth(kPageEditWidth);
    PageE->setAlignment(Qt::AlignRight);
    PageE->installEventFilter(this);
    Sep4 = addPanel(PageE);

    NextB = addButton(res.Text(138), res.Text(139), I::iconNext, nullptr);
    LastB = addButton(res.Text(140), res.Text(141), I::iconLast, nullptr);
    connect(FirstB, &QAction::triggered, this, [this] { m_preview->First(); });
    connect(PriorB, &QAction::triggered, this, [this] { m_preview->Prior(); });
    connect(NextB, &QAction::triggered, this, [this] { m_preview->Next(); });
    connect(LastB, &QAction::triggered, this, [this] { m_preview->Last(); });

    auto* spacer = new QWidget;
    spacer->setFixedWidth(35);
    ToolBar->addWidget(spacer);
    CancelB = new QToolButton;
    CancelB->setObjectName(QStringLiteral("CancelB"));
    CancelB->setText(res.Text("clClose"));
    CancelB->setAccessibleName(CancelB->text());
    CancelB->setToolButtonStyle(Qt::ToolButtonTextOnly);
    CancelB->setFixedSize(68, 23);
    CancelB->setFocusPolicy(Qt::TabFocus);
    connect(CancelB, &QToolButton::clicked, this, &TqdxPreviewForm::CancelBClick);
    CancelBAction = ToolBar->addWidget(CancelB);

    m_preview = new TqdxPreview(this);
    m_preview->setObjectName(QStringLiteral("Preview"));
    layout->addWidget(m_preview, 1);
    m_preview->OnPageChanged = [this](int pageNo) { pageChanged(pageNo); };
    m_preview->OnDblClick = [this](QMouseEvent*) { SetFullScreen(false); };
    m_preview->OnZoomChanged = [this](double) { showZoom(); };
    m_preview->ShowFindDialog = [this] { FindBClick(); };
    m_preview->OnStatusText = [this](const QString& text) { ShowProgressText(text, false); };
    m_preview->OnHintText = [this](const QString& text) { ShowProgressText(text, true); };
    m_preview->OnCommand = [this](TqdxPreviewCommand command) { runCommand(command); };
    m_preview->OnFindProgress = [this](int pageNo, int count) {
        if (count > 0) {
            ShowProgressText(QStringLiteral("Localizando… página %1 de %2").arg(pageNo).arg(count),
                             false);
        } else {
            ShowProgressText(QString(), false);
        }
        UpdateButtons();
    };

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        StatusFields[i] = new QLabel(StatusBar);
        StatusFields[i]->setAccessibleDescription(QString::fromUtf8(kStatusFieldNames[i]));
        setStatusField(StatusFields[i], i, QString());
        StatusFields[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar->addWidget(StatusFields[i], i == 2 ? 1 : 0);
    }
    if (logicalDpiY() > 96) {
        StatusBar->setFixedHeight(24);
    }
    layout->addWidget(StatusBar);

    RightMenu = new QMenu(this);
    RightMenu->setObjectName(QStringLiteral("RightMenu"));
    CollapseMI = RightMenu->addAction(res.PreviewIcon(I::iconCollapseAll), res.Text(601));
    ExpandMI = RightMenu->addAction(res.PreviewIcon(I::iconExpandAll), res.Text(600));
    connect(CollapseMI, &QAction::triggered, this, &TqdxPreviewForm::CollapseAll);
    connect(ExpandMI, &QAction::triggered, this, &TqdxPreviewForm::ExpandAll);
    N1 = RightMenu->addSeparator();

    auto* f11 = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(f11, &QShortcut::activated, this, [this] { SetFullScreen(!m_fullScreen); });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { qdxResources().Help(this); });
    // Ctrl+W closes, as in every other document window of the desktop (refused while a report
    // is being built, as any close is).
    auto* closeKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    connect(closeKey, &QShortcut::activated, this, [this] { close(); });
    // The buttons that only the mouse reached get keys of their own; their hints name them.
    giveKey(ExportB, QKeySequence(Qt::CTRL | Qt::Key_E), [this] { ExportPdf(); });
    giveKey(OutlineB, QKeySequence(Qt::Key_F9), [this] { OutlineB->trigger(); });
    giveKey(ThumbB, QKeySequence(Qt::SHIFT | Qt::Key_F9), [this] { ThumbB->trigger(); });
    giveKey(PageSettingsB, QKeySequence(Qt::CTRL | Qt::Key_M), [this] { PageSettingsBClick(); });
    giveKey(DesignerB, QKeySequence(Qt::Key_F2), [this] { DesignerBClick(); });

    m_interaction = std::make_unique<TqdxWindowInteraction>(this, nullptr, nullptr);
    m_preview->setFocus(Qt::OtherFocusReason);
    UpdateButtons();
}

TqdxPreviewForm::~TqdxPreviewForm() {
    // A zoom box losing the focus while the window is taken apart reports its text as chosen;
    // the window must not hear it then, nor filter keys of its own half-destroyed fields.
    ZoomCB->disconnect(this);
    ZoomCB->removeEventFilter(this);
    PageE->removeEventFilter(this);
    if (m_report) {
        m_report->OnProgressText = m_savedProgressText;
        if (m_report->UserInteraction == m_interaction.get()) {
            m_report->UserInteraction = m_interaction->Inner();
        }
        m_preview->SetReport(nullptr);
    }
}

QAction* TqdxPreviewForm::addButton(const QString& caption, const QString& hint, int icon,
                                    void (TqdxPreviewForm::*click)()) {
    QAction* action = ToolBar->addAction(qdxResources().PreviewIcon(icon), caption);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    action->setData(icon);
    if (click) {
        connect(action, &QAction::triggered, this, [this, click] { (this->*click)(); });
    }
    if (QToolButton* b = Button(action)) {
        // Tab reaches every button in toolbar order; a click leaves the focus where it was.
        b->setFocusPolicy(Qt::TabFocus);
        b->setAccessibleName(hint.isEmpty() ? caption : hint);
    }
    return action;
}

void TqdxPreviewForm::giveKey(QAction* button, const QKeySequence& key,
                              const std::function<void()>& run) {
    auto* shortcut = new QShortcut(key, this);
    // Only what the button would do: nothing while it is hidden or disabled.
    connect(shortcut, &QShortcut::activated, this, [this, button, run] {
        if (button->isVisible() && button->isEnabled() && !m_jobRunning) {
            run();
        }
    });
    button->setToolTip(button->statusTip() + QStringLiteral(" (") +
                       key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
}

bool TqdxPreviewForm::focusNextPrevChild(bool next) {
    // Tab goes along the toolbar as it is drawn, then to the outline or thumbnails when shown,
    // then to the pages, and round again.
    std::vector<QWidget*> chain;
    for (QAction* a : ToolBar->actions()) {
        QWidget* control = a == Sep3 ? ZoomCB : a == Sep4 ? PageE : ToolBar->widgetForAction(a);
        if (control &&
            (control == ZoomCB || control == PageE || qobject_cast<QToolButton*>(control)) &&
            control->isVisible() && control->isEnabled()) {
            chain.push_back(control);
        }
    }
    for (QWidget* panel : {static_cast<QWidget*>(m_preview->OutlineTree()),
                           static_cast<QWidget*>(m_preview->Thumbnails())}) {
        if (panel->isVisible()) {
            chain.push_back(panel);
        }
    }
    chain.push_back(m_preview->Workspace());
    QWidget* at = QApplication::focusWidget();
    while (at && at->focusProxy()) {
        at = at->focusProxy();
    }
    const auto here = std::find(chain.begin(), chain.end(), at);
    if (here == chain.end()) {
        return QDialog::focusNextPrevChild(next);
    }
    const std::ptrdiff_t count = std::ptrdiff_t(chain.size());
    const std::ptrdiff_t to = ((here - chain.begin()) + (next ? 1 : count - 1)) % count;
    chain[std::size_t(to)]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void TqdxPreviewForm::popupRightMenu() {
    // At the page, not at the mouse, which may be anywhere.
    QWidget* at = m_preview->Workspace()->viewport();
    RightMenu->popup(at->mapToGlobal(QPoint(at->width() / 3, at->height() / 3)));
}

QAction* TqdxPreviewForm::addPanel(QWidget* content) {
    // As wide as its content asks (the zoom box fits "2000%").
    auto* panel = new QWidget;
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 0, 4, 0);
    row->addWidget(content);
    return ToolBar->addWidget(panel);
}

QToolButton* TqdxPreviewForm::Button(QAction* action) const {
    return qobject_cast<QToolButton*>(ToolBar->widgetForAction(action));
}

QAction* TqdxPreviewForm::MenuItem(QAction* action) const {
    for (const MenuLink& link : m_menuLinks) {
        if (link.button == action) {
            return link.item;
        }
    }
    return nullptr;
}

// ---- Set-up --------------------------------------------------------------------------------------

void TqdxPreviewForm::PreviewPrepared(TqdxReport& report, pdf::TqdxPDFExport* filter,
                                      QWidget* parent, const QString& fileName, int startPage) {
    TqdxPreviewForm form(parent);
    form.Setup(report, filter, fileName);
    if (startPage > 0) {
        form.Preview()->SetPageNo(startPage);
    }
    form.exec();
}

void TqdxPreviewForm::Setup(TqdxReport& report, pdf::TqdxPDFExport* filter,
                            const QString& fileName) {
    if (m_report != &report) {
        if (m_report) {
            m_report->OnProgressText = m_savedProgressText;
        }
        m_savedProgressText = report.OnProgressText;
    }
    m_report = &report;
    m_pdfFilter = filter;
    m_fileName = fileName;
    m_interaction = std::make_unique<TqdxWindowInteraction>(this, report.UserInteraction, &report);
    const TqdxPreviewOptions& o = report.PreviewOptions;
    m_interaction->SetRightToLeft(o.RTLPreview);
    report.OnProgressText = [this](const QString& text, bool hint) {
        ShowProgressText(text, hint);
    };

    m_preview->SetReport(&report);
    // Printing and page settings: the print dialog and job, and the page settings window.
    m_preview->PrintReport = [this] {
        if (m_report) {
            Print(*m_report, this);
        }
    };
    m_preview->PageSettingsDialog = PageSettingsHook(&report, this);
    m_preview->Init();
    if (o.Maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    if (std::isfinite(o.Zoom)) {
        m_preview->SetZoom(o.Zoom);
    }
    m_preview->SetZoomMode(o.ZoomMode >= zmDefault && o.ZoomMode <= zmManyPages
                               ? TqdxZoomMode(o.ZoomMode)
                               : zmDefault);

    const int b = o.Buttons;
    PrintB->setVisible(b & pbPrint);
    OpenB->setVisible(b & pbLoad);
    SaveB->setVisible(b & pbSave);
    FindB->setVisible(b & pbFind);
    for (QAction* a : {Sep1, ZoomPlusB, Sep3, ZoomMinusB}) {
        a->setVisible(b & pbZoom);
    }
    FullScreenBtn->setVisible((b & pbZoom) && !(b & pbNoFullScreen));
    OutlineB->setVisible(b & pbOutline);
    ThumbB->setVisible(b & pbOutline);
    PageSettingsB->setVisible(b & pbPageSetup);
    DesignerB->setVisible(b & pbEdit);
    Sep2->setVisible(PageSettingsB->isVisible() || DesignerB->isVisible());
    for (QAction* a : {Sep5, FirstB, PriorB, Sep4, NextB, LastB}) {
        a->setVisible(b & pbNavigator);
    }
    CancelBAction->setVisible(!(b & pbNoClose));

    ToolBar->setToolButtonStyle(o.ShowCaptions ? Qt::ToolButtonTextBesideIcon
                                               : Qt::ToolButtonIconOnly);
    for (QAction* a : ToolBar->actions()) {
        if (QToolButton* button = Button(a); button && !a->statusTip().isEmpty()) {
            button->setAccessibleName(o.ShowCaptions ? a->text() : a->statusTip());
        }
    }

    // The export menu: the PDF filter the window was given (e-mail export does not exist here).
    ExportPopup->clear();
    if (m_pdfFilter) {
        QAction* item = ExportPopup->addAction(pdf::TqdxPDFExport::FilterCaption() +
                                               QStringLiteral("..."));
        item->setData(0);
        connect(item, &QAction::triggered, this, [this] { ExportPdf(); });
    }
    ExportB->setVisible((b & pbExport) && m_pdfFilter);
    PdfB->setVisible((b & pbExportQuick) && m_pdfFilter);
    EmailB->setVisible(false);

    // Where the user left this report and the window last time, over the report's own options.
    const QByteArray geometry = windowGeometry(kWindowKind);
    if (!geometry.isEmpty()) {
        restoreGeometry(geometry);
    }
    restorePlace();

    renewCaption();
    buildRightMenu();
    if (o.RTLPreview) {
        setLayoutDirection(Qt::RightToLeft);
    }
    syncPanelButtons();
    pageChanged(m_preview->PageNo());
    showZoom();
    UpdateButtons();
    m_preview->setFocus(Qt::OtherFocusReason);
}

void TqdxPreviewForm::buildRightMenu() {
    for (const MenuLink& link : m_menuLinks) {
        delete link.item;
    }
    m_menuLinks.clear();
    const std::vector<QAction*> order = {PrintB, OpenB,      SaveB,      ExportB, PdfB,
                                         EmailB, FindB,      Sep1,       ZoomPlusB,
                                         Sep3,   ZoomMinusB, FullScreenBtn, Sep2};
    int separators = 0;
    for (QAction* a : order) {
        if (a->isSeparator()) {
            if (++separators == 2) {
                break;
            }
            m_menuLinks.push_back({a, RightMenu->addSeparator()});
            continue;
        }
        if (!a->isVisible() || a->statusTip().isEmpty() || a->isCheckable() || a == Sep3) {
            continue;
        }
        QAction* item = nullptr;
        if (QMenu* popup = a->menu()) {
            QMenu* sub = RightMenu->addMenu(a->icon(), a->statusTip());
            for (QAction* original : popup->actions()) {
                QAction* copy = sub->addAction(original->text());
                copy->setData(original->data());
                connect(copy, &QAction::triggered, original, &QAction::trigger);
            }
            item = sub->menuAction();
        } else {
            item = RightMenu->addAction(a->icon(), a->statusTip());
            connect(item, &QAction::triggered, a, &QAction::trigger);
        }
        m_menuLinks.push_back({a, item});
    }
}

void TqdxPreviewForm::renewCaption() {
    const QString name = m_report ? codepages::fromCp1252(m_report->ReportOptions.Name) : QString();
    setWindowTitle(name.isEmpty() ? qdxResources().Text(100) : name);
}

void TqdxPreviewForm::syncPanelButtons() {
    OutlineB->setChecked(m_preview->OutlineVisible());
    ThumbB->setChecked(m_preview->ThumbnailVisible());
}

bool TqdxPreviewForm::building() const { return m_preview->Building(); }

void TqdxPreviewForm::UpdateButtons() {
    const bool idle = !building() && !m_jobRunning;
    const bool pages = idle && m_preview->PageCount() > 0;
    for (QAction* a : {PrintB, SaveB, ExportB, PdfB, EmailB, FindB, PageSettingsB}) {
        a->setEnabled(pages);
        if (QAction* item = MenuItem(a)) {
            item->setEnabled(pages);
        }
    }
    // Open stays available on an empty window (a report that failed to load, say), so that
    // the user can open another one from it.
    OpenB->setEnabled(idle);
    if (QAction* item = MenuItem(OpenB)) {
        item->setEnabled(idle);
    }
    DesignerB->setEnabled(idle && m_report && m_report->PreviewOptions.AllowEdit);
    // Collapsing and expanding needs drill-down groups and a report engine to rebuild with.
    bool drillDown = false;
    if (m_report && m_preview->BuildReport) {
        for (TqdxComponent* c : m_report->AllObjects()) {
            if (auto* band = qdx_cast<TqdxBand>(c); band && band->DrillDown) {
                drillDown = true;
                break;
            }
        }
    }
    for (QAction* a : {CollapseMI, ExpandMI, N1}) {
        a->setEnabled(idle && drillDown);
    }
    CancelB->setText(
        qdxResources().Text(building() || m_preview->Searching() ? "clCancel" : "clClose"));
    CancelB->setAccessibleName(CancelB->text());
}

// ---- Status line, zoom box, page field -----------------------------------------------------------

void TqdxPreviewForm::fitPageFields() {
    // Sized from the report's own page count, so that "10000" and "Pág. 10000 de 10000" are
    // never cut; at least the design's widths.
    const int count = std::max(1, m_preview->PageCount());
    const QString widest = QString(QString::number(count).size(), QLatin1Char('0'));
    const int frame = PageE->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, PageE);
    const QMargins margins = PageE->textMargins();
    PageE->setFixedWidth(std::max(kPageEditWidth, PageE->fontMetrics().horizontalAdvance(widest) +
                                                      2 * frame + margins.left() + margins.right() +
                                                      8));
    const int position = StatusFields[0]->fontMetrics().horizontalAdvance(pageOf(count, count)) +
                         2 * StatusFields[0]->frameWidth() + 12;
    if (std::max(kPageFieldWidth, position) != m_pageFieldWidth) {
        m_pageFieldWidth = std::max(kPageFieldWidth, position);
        layoutStatusFields();
    }
}

void TqdxPreviewForm::layoutStatusFields() {
    StatusFields[0]->setFixedWidth(m_pageFieldWidth);
    StatusFields[1]->setFixedWidth(std::max(0, (width() - m_pageFieldWidth) / 2));
}

void TqdxPreviewForm::pageChanged(int pageNo) {
    fitPageFields();
    const QString position = pageOf(pageNo, m_preview->PageCount());
    setStatusField(StatusFields[0], 0, position);
    PageE->setText(QString::number(pageNo));
    // The field shows the number; a screen reader hears the count with it.
    PageE->setAccessibleDescription(position);
    UpdateButtons();
}

void TqdxPreviewForm::ShowProgressText(const QString& text, bool hint) {
    if (hint) {
        if (!text.isEmpty() || !StatusFields[2]->text().isEmpty()) {
            setStatusField(StatusFields[2], 2, text);
        }
    } else if (text != StatusFields[1]->text()) {
        setStatusField(StatusFields[1], 1, text);
    }
}

void TqdxPreviewForm::showZoom() {
    const QString text = QString::number(std::lround(m_preview->Zoom() * 100)) + QLatin1Char('%');
    ZoomCB->setEditText(text);
    ZoomCB->setAccessibleDescription(text);
}

void TqdxPreviewForm::focusPagesFromZoomBox() {
    // The box also applies its text when it loses the focus: a Tab out of it keeps the focus
    // where the Tab took it.
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus == ZoomCB || ZoomCB->isAncestorOf(focus) || focus->window() != this) {
        m_preview->setFocus(Qt::OtherFocusReason);
    }
}

void TqdxPreviewForm::ZoomCBSelect(int index) {
    focusPagesFromZoomBox();
    if (index == kZoomPageWidthItem) {
        m_preview->SetZoomMode(zmPageWidth);
    } else if (index == kZoomWholePageItem) {
        m_preview->SetZoomMode(zmWholePage);
    } else if (index >= 0 && index < ZoomCB->count()) {
        ZoomCB->setEditText(ZoomCB->itemText(index));
        ZoomCBApply();
        return;
    }
    // The box writes the chosen item's text after this; the zoom goes over it afterwards.
    QMetaObject::invokeMethod(this, &TqdxPreviewForm::showZoom, Qt::QueuedConnection);
}

void TqdxPreviewForm::ZoomCBApply() {
    focusPagesFromZoomBox();
    QString text = ZoomCB->currentText();
    const qsizetype percent = text.indexOf(QLatin1Char('%'));
    if (percent >= 0) {
        text[percent] = QLatin1Char(' ');
    }
    text.remove(QLatin1Char(' '));
    if (!text.isEmpty()) {
        text.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double value = QLocale::c().toDouble(text, &ok);
        // Anything but a number leaves zoom and mode as they were.
        if (ok && std::isfinite(value)) {
            m_preview->SetZoom(value / 100);
        }
    }
    showZoom();
    QMetaObject::invokeMethod(this, &TqdxPreviewForm::showZoom, Qt::QueuedConnection);
}

void TqdxPreviewForm::PageEApply() {
    bool ok = false;
    const int pageNo = PageE->text().toInt(&ok);
    if (ok) {
        m_preview->SetPageNo(pageNo);
    }
    PageE->setText(QString::number(m_preview->PageNo()));
    m_preview->setFocus(Qt::OtherFocusReason);
}

// ---- Buttons -------------------------------------------------------------------------------------

void TqdxPreviewForm::PrintBClick() {
    if (!PrintB->isEnabled()) {
        return;
    }
    runJob(qdxResources().Text("prPrinting"), false, [this] {
        m_preview->Print();
        return true;
    });
    setEnabled(true);
}

void TqdxPreviewForm::OpenBClick() {
    if (!OpenB->isEnabled() || building()) {
        return;
    }
    QString name;
    if (m_preview->OpenFileName) {
        name = m_preview->OpenFileName();
    } else {
        QFileDialog dialog(this, QString(), reportFolder(m_fileName));
        dialog.setNameFilter(qp3Filter());
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOptions(QFileDialog::ReadOnly | QFileDialog::DontUseNativeDialog);
        // The folders of the reports opened last, to go back to.
        dialog.setHistory(recentReportFolders());
        if (dialog.exec() == QDialog::Accepted) {
            name = dialog.selectedFiles().value(0);
        }
    }
    if (name.isEmpty()) {
        return;
    }
    rememberReportFolder(name);
    rememberPlace(); // of the report the new one replaces
    // A file that does not load leaves the report shown, and its name, as they were.
    const bool loaded = runJob(qdxResources().Text("clLoading"), false, [&] {
        const bool done = m_preview->LoadFromFile(name);
        if (done) {
            m_fileName = name;
        }
        return done;
    });
    if (loaded) {
        addRecentReport(name);
        restorePlace();
    }
    renewCaption();
    pageChanged(m_preview->PageNo());
    showZoom();
}

void TqdxPreviewForm::SaveBClick() {
    if (!SaveB->isEnabled() || building()) {
        return;
    }
    QString name;
    if (m_preview->SaveFileName) {
        name = m_preview->SaveFileName();
    } else {
        name = QFileDialog::getSaveFileName(this, QString(), reportFolder(m_fileName), qp3Filter());
    }
    if (name.isEmpty()) {
        return;
    }
    const QFileInfo info(name);
    const QString target = info.dir().filePath(info.completeBaseName() + QStringLiteral(".qp3"));
    int error = 0;
    const bool saved = runJob(qdxResources().Text("clSaving"), false,
                              [&] { return m_preview->SaveToFile(target, &error); });
    if (!saved && !m_lastJobFailed) {
        // The store said no without a message: the file could not be written, for the
        // system's reason.
        QString text = QStringLiteral("Erro na gravação do arquivo...\r") + displayPath(target);
        if (error != 0) {
            text += QStringLiteral("\r\r") + systemReason(error);
        }
        showError(text);
    }
}

void TqdxPreviewForm::ExportPdfClick() { ExportPdf(); }

bool TqdxPreviewForm::ExportPdf() {
    if (!m_pdfFilter || !m_report || building() || m_preview->PageCount() == 0 || m_jobRunning) {
        return false;
    }
    pdf::TqdxPDFExport& filter = *m_pdfFilter;
    filter.Report = m_report;
    const bool confirmed =
        PdfOptionsDialog
            ? PdfOptionsDialog(filter, this, m_fileName)
            : TqdxPDFExportDialog::Execute(filter, this, m_fileName);
    if (!confirmed) {
        return false;
    }
    const bool showDialog = filter.ShowDialog;
    filter.ShowDialog = false;
    bool exported = runJob(qdxResources().Text("prExporting"), true,
                           [&] { return m_preview->Export(&filter); });
    filter.ShowDialog = showDialog;
    if (exported && !filter.Succeeded()) {
        // The driver's result does not cover the file's last write.
        if (!filter.ErrorText.isEmpty()) {
            showError(filter.ErrorText);
        }
        exported = false;
    }
    setEnabled(true);
    return exported;
}

void TqdxPreviewForm::FindBClick() {
    if (building() || m_preview->PageCount() == 0) {
        return;
    }
    QString text;
    bool caseSensitive = false;
    bool fromStart = false;
    bool confirmed = false;
    if (FindDialog) {
        confirmed = FindDialog(text, caseSensitive, fromStart);
    } else {
        TqdxSearchDialog dialog(this, m_report && m_report->PreviewOptions.RTLPreview);
        confirmed = dialog.exec() == QDialog::Accepted;
        text = dialog.TextE->text();
        caseSensitive = dialog.CaseCB->isChecked();
        fromStart = dialog.TopCB->isChecked();
    }
    m_preview->setFocus(Qt::OtherFocusReason);
    if (confirmed) {
        runJob(QString(), false, [&] { return m_preview->Find(text, caseSensitive, fromStart); });
    }
}

void TqdxPreviewForm::FindNextClick() {
    if (FindB->isEnabled()) {
        runJob(QString(), false, [this] { return m_preview->FindNext(); });
    }
}

void TqdxPreviewForm::runCommand(TqdxPreviewCommand command) {
    switch (command) {
    case TqdxPreviewCommand::Print:
        PrintBClick();
        break;
    case TqdxPreviewCommand::Save:
        SaveBClick();
        break;
    case TqdxPreviewCommand::Open:
        OpenBClick();
        break;
    case TqdxPreviewCommand::Find:
        if (FindB->isEnabled()) {
            FindBClick();
        }
        break;
    case TqdxPreviewCommand::FindNext:
        FindNextClick();
        break;
    case TqdxPreviewCommand::ZoomIn:
        ZoomPlusBClick();
        break;
    case TqdxPreviewCommand::ZoomOut:
        ZoomMinusBClick();
        break;
    case TqdxPreviewCommand::ZoomReset:
        m_preview->SetZoom(1.0);
        break;
    }
}

void TqdxPreviewForm::ZoomPlusBClick() { m_preview->SetZoom(m_preview->Zoom() + 0.25); }

void TqdxPreviewForm::ZoomMinusBClick() { m_preview->SetZoom(m_preview->Zoom() - 0.25); }

void TqdxPreviewForm::FullScreenBtnClick() { SetFullScreen(!m_fullScreen); }

void TqdxPreviewForm::SetFullScreen(bool on) {
    if (on == m_fullScreen) {
        return;
    }
    m_fullScreen = on;
    if (on) {
        StatusBar->hide();
        ToolBar->hide();
        m_savedState = windowState();
        setWindowState(m_savedState | Qt::WindowFullScreen);
    } else {
        setWindowState(m_savedState);
        StatusBar->show();
        ToolBar->show();
    }
}

void TqdxPreviewForm::PageSettingsBClick() {
    if (!PageSettingsB->isEnabled()) {
        return;
    }
    runJob(QString(), false, [this] {
        m_preview->EditPageSettings();
        return true;
    });
}

void TqdxPreviewForm::DesignerBClick() {
    if (DesignerB->isEnabled()) {
        m_preview->Edit();
    }
}

void TqdxPreviewForm::CollapseAll() {
    if (!m_report || building()) {
        return;
    }
    m_preview->Lock();
    for (TqdxComponent* c : m_report->AllObjects()) {
        if (auto* band = qdx_cast<TqdxBand>(c); band && band->DrillDown) {
            band->ExpandDrillDown = false;
        }
    }
    m_report->ExpandedDrillNames.clear();
    runJob(QString(), false, [this] {
        m_preview->RebuildReport();
        return true;
    });
    m_preview->Unlock();
    m_preview->SetPosition(1, 0);
}

void TqdxPreviewForm::ExpandAll() {
    if (!m_report || building()) {
        return;
    }
    m_preview->Lock();
    for (TqdxComponent* c : m_report->AllObjects()) {
        if (auto* band = qdx_cast<TqdxBand>(c); band && band->DrillDown) {
            band->ExpandDrillDown = true;
        }
    }
    m_report->ExpandedDrillNames.clear();
    runJob(QString(), false, [this] {
        m_preview->RebuildReport();
        return true;
    });
    m_preview->Unlock();
}

void TqdxPreviewForm::CancelBClick() {
    if (building()) {
        m_preview->Cancel();
        return;
    }
    if (m_preview->Searching()) {
        m_preview->CancelFind();
        return;
    }
    if (m_jobRunning) {
        return;
    }
    QDialog::reject();
}

// ---- Jobs ----------------------------------------------------------------------------------------

bool TqdxPreviewForm::runJob(const QString& progressFormat, bool lock,
                             const std::function<bool()>& job) {
    if (m_jobRunning || !m_report) {
        return false;
    }
    m_jobRunning = true;
    m_lastJobFailed = false;
    UpdateButtons();
    Interaction* previous = m_report->UserInteraction;
    if (previous != m_interaction.get()) {
        m_interaction->SetInner(previous);
    }
    m_interaction->SetProgressFormat(progressFormat);
    m_report->Terminated = false;
    CancelRequest::clear();
    if (lock) {
        m_preview->Lock();
    }
    bool result = false;
    QString error;
    {
        // The job reports through the window's progress for its run only.
        const ScopedUserInteraction interaction(*m_report, *m_interaction);
        try {
            result = job();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
            if (error.isEmpty()) {
                error = qdxResources().Text("mbError");
            }
        }
    }
    if (lock && m_preview->Locked()) {
        m_preview->Unlock();
    }
    m_jobRunning = false;
    CancelRequest::clear();
    UpdateButtons();
    if (!error.isEmpty()) {
        m_lastJobFailed = true;
        showError(error);
    }
    return result;
}

void TqdxPreviewForm::showError(const QString& text) {
    if (m_report && m_report->UserInteraction != m_interaction.get()) {
        m_interaction->SetInner(m_report->UserInteraction);
    }
    m_interaction->message(MessageKind::Error, text, qdxResources().Text("mbError"));
}

// ---- Keys, closing, resizing ---------------------------------------------------------------------

bool TqdxPreviewForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool inZoom = watched == ZoomCB;
        const bool inPage = watched == PageE;
        if ((inZoom || inPage) && isEnter(key)) {
            if (inZoom) {
                ZoomCBApply();
            } else {
                PageEApply();
            }
            return true;
        }
        if ((inZoom || inPage) && key->key() == Qt::Key_Escape) {
            reject();
            return true;
        }
        // Paging and the preview's shortcuts work from the fields too; text keys stay there.
        if (inZoom || inPage) {
            const bool ctrl = key->modifiers() & Qt::ControlModifier;
            const int k = key->key();
            // Ctrl with a letter the line edit knows (copy, paste, undo...) stays there.
            const bool editing = ctrl && (k == Qt::Key_A || k == Qt::Key_C || k == Qt::Key_V ||
                                          k == Qt::Key_X || k == Qt::Key_Z || k == Qt::Key_Y ||
                                          k == Qt::Key_Left || k == Qt::Key_Right ||
                                          k == Qt::Key_Backspace || k == Qt::Key_Delete);
            if ((ctrl && !editing) || k == Qt::Key_PageUp || k == Qt::Key_PageDown ||
                k == Qt::Key_F3) {
                if (m_preview->HandleKey(key)) {
                    return true;
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TqdxPreviewForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return;
    }
    if (isEnter(event)) {
        // Enter presses the toolbar button that has the focus, as Space does.
        if (auto* button = qobject_cast<QToolButton*>(QApplication::focusWidget());
            button && ToolBar->isAncestorOf(button)) {
            button->animateClick();
        }
        event->accept();
        return;
    }
    // Shift+F10 and the Menu key: the window's context menu, at the page.
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        popupRightMenu();
        event->accept();
        return;
    }
    if (m_preview->HandleKey(event)) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void TqdxPreviewForm::reject() { CancelBClick(); }

void TqdxPreviewForm::done(int result) {
    rememberWindowGeometry(kWindowKind, saveGeometry());
    rememberPlace();
    QDialog::done(result);
}

void TqdxPreviewForm::restorePlace() {
    const std::optional<ReportPlace> place =
        m_fileName.isEmpty() ? std::nullopt : reportPlace(m_fileName);
    if (!place || m_preview->PageCount() == 0) {
        return;
    }
    if (place->zoomMode == zmDefault) {
        m_preview->SetZoom(place->zoom);
    }
    m_preview->SetZoomMode(place->zoomMode >= zmDefault && place->zoomMode <= zmManyPages
                               ? TqdxZoomMode(place->zoomMode)
                               : zmDefault);
    m_preview->SetPageNo(std::min(place->page, m_preview->PageCount()));
}

void TqdxPreviewForm::rememberPlace() {
    if (!m_fileName.isEmpty() && m_preview->PageCount() > 0) {
        rememberReportPlace(m_fileName,
                            {m_preview->PageNo(), m_preview->Zoom(), int(m_preview->ZoomMode())});
    }
}

void TqdxPreviewForm::closeEvent(QCloseEvent* event) {
    if (building() || m_jobRunning) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TqdxPreviewForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutStatusFields();
}

void TqdxPreviewForm::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() != QContextMenuEvent::Mouse) {
        // The Menu key, which the key handler has already answered on most desktops.
        if (!RightMenu->isVisible()) {
            popupRightMenu();
        }
    } else {
        RightMenu->popup(event->globalPos());
    }
    event->accept();
}

} // namespace zr::reportlib::preview
