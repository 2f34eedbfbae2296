#include "preview_window.h"

#include "accessible_caption.h"
#include "find_dialog.h"
#include "platform/files/recent_reports.h"
#include "platform/files/report_folder.h"
#include "platform/interaction/interaction.h"
#include "platform/printing/system_printer.h"
#include "platform/text/codepages.h"
#include "platform/widgets/accessible_page.h"
#include "preview_glyphs.h"
#include "preview_rules.h"
#include "textreport/export/report_format.h"
#include "textreport/gravana.h"
#include "textreport/gvtools.h"
#include "textreport/printing/sequences.h"
#include "textreport/render/page_renderer.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <optional>
#include <utility>

namespace zr::textreport::ui {

namespace {

constexpr int kToolbarHeight = 34;
constexpr int kButtonTop = 5;
constexpr int kButtonHeight = 24;
constexpr int kGlyphButtonWidth = 24;
constexpr int kScrollStep = 20; // pixels per Left / Right
constexpr int kWheelNotch = 120;
constexpr int kPanelPadding = 4; // pixels each side of a status panel's text

bool isFitRequest(int zoom) {
    return zoom == kZoomFitWidth || zoom == kZoomFitPage;
}

const QColor kScrollerColour(128, 128, 128);

// The window's name among the remembered window places.
const QString kWindowKind = QStringLiteral("visualizacao-texto");

// The page panel, the zoom panel, the printer panel, the model panel and the last one.
constexpr int kPanelWidths[5] = {120, 50, 250, 80, 50};
constexpr const char* kPanelNames[5] = {"Página", "Zoom", "Impressora", "Modelo de impressora",
                                        "Mensagens"};

} // namespace

// The page box inside the scroll box: it paints the page picture and lets the user drag it.
class PreviewVisor final : public QWidget {
public:
    PreviewVisor(TDFMPreview& window, QWidget* parent) : QWidget(parent), m_window(window) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_window.VISORPaint(painter);
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            m_window.VISORMouseDown(event->position().toPoint());
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        m_window.VISORMouseMove(event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            m_window.VISORMouseUp();
        }
    }

private:
    TDFMPreview& m_window;
};

void showPreviewWindow(TGravana& gravana, QWidget* parent, const QString& fileName, int startPage) {
    TDFMPreview window(gravana, parent);
    window.setReportFile(fileName, startPage);
    window.exec();
}

TDFMPreview::TDFMPreview(TGravana& gravana, QWidget* parent)
    : QDialog(parent), m_gravana(gravana) {
    setObjectName(QStringLiteral("DFMPreview"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    m_dialogs = std::make_unique<QtPreviewDialogs>(*this);
    nomeImpressoraAtual = [] { return ImpressoraAtual().deviceName; };

    const TPreviewOptions& options = gravana.OpcoesPreview;
    setWindowTitle(options.CaptionPreview);
    setToolTip(options.CaptionPreview);
    m_remalina = options.Remalina;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, gravana.CorForm);
    palette.setColor(QPalette::WindowText, gravana.CorFonte);
    setPalette(palette);
    gravana.state().previewAtivo = true;

    // ---- Toolbar.
    PanelH = new QWidget(this);
    PanelH->setObjectName(QStringLiteral("PanelH"));
    PanelH->setFixedHeight(kToolbarHeight);

    btIMPRIMIR = makeButton("btIMPRIMIR", 90);
    btIMPRIMIR->setText(QStringLiteral("&Imprimir"));
    btIMPRIMIR->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QFont bold = btIMPRIMIR->font();
    bold.setBold(true);
    btIMPRIMIR->setFont(bold);
    btIMPRIMIR->setIcon(previewGlyph(PreviewGlyph::Imprimir));
    Separa1 = makeSeparator("Separa1");

    struct Glyph {
        QToolButton*& button;
        const char* name;
        const char* hint;
        PreviewGlyph glyph;
        const char* key = nullptr; // named in the tooltip, not in the spoken name
    };
    const Glyph glyphs[] = {
        {btPDF, "btPDF", "Gerar PDF", PreviewGlyph::Pdf},
        {btEMAIL, "btEMAIL", "Enviar por E-Mail", PreviewGlyph::Email},
        {btSALVAR, "btSALVAR", "Salvar relatório", PreviewGlyph::Salvar},
        {btABRIR, "btABRIR", "Ler relatório gravado", PreviewGlyph::Abrir},
        {btPROCURAR, "btPROCURAR", "Procura palavra", PreviewGlyph::Procurar},
        {btPRIMEIRA, "btPRIMEIRA", "Primeira página", PreviewGlyph::Primeira},
        {btANTERIOR, "btANTERIOR", "Página anterior", PreviewGlyph::Anterior},
        {btDIRETO, "btDIRETO", "Acesso direto à Página ", PreviewGlyph::Direto},
        {btPROXIMA, "btPROXIMA", "Próxima página", PreviewGlyph::Proxima},
        {btULTIMA, "btULTIMA", "Última página", PreviewGlyph::Ultima},
        {btLARGURA, "btLARGURA", "Ajustar na Largura", PreviewGlyph::Largura, "Ctrl+1"},
        {btFULL, "btFULL", "Ver página inteira", PreviewGlyph::Full, "Ctrl+2"},
        {btAumenta, "btAumenta", "Aumenta zoom", PreviewGlyph::Aumenta, "Ctrl++"},
        {btDiminui, "btDiminui", "Diminui zoom", PreviewGlyph::Diminui, "Ctrl+-"},
    };
    for (const Glyph& g : glyphs) {
        g.button = makeButton(g.name, kGlyphButtonWidth);
        // A button with only a picture is known by its hint.
        setAccessibleCaption(g.button, QString::fromUtf8(g.hint));
        g.button->setToolTip(
            g.key ? QStringLiteral("%1 (%2)").arg(QString::fromUtf8(g.hint), QLatin1String(g.key))
                  : QString::fromUtf8(g.hint));
        g.button->setIcon(previewGlyph(g.glyph));
    }
    Separa2 = makeSeparator("Separa2");
    Separa3 = makeSeparator("Separa3");
    Separa4 = makeSeparator("Separa4");
    btFECHAR = makeButton("btFECHAR", 80);
    btFECHAR->setText(QStringLiteral("&Fechar"));
    btFECHAR->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btFECHAR->setIcon(previewGlyph(PreviewGlyph::Fechar));
    setAccessibleCaption(btIMPRIMIR, btIMPRIMIR->text());
    setAccessibleCaption(btFECHAR, btFECHAR->text());

    const std::pair<QToolButton*, void (TDFMPreview::*)()> clicks[] = {
        {btIMPRIMIR, &TDFMPreview::btIMPRIMIRClick}, {btPDF, &TDFMPreview::btPDFClick},
        {btEMAIL, &TDFMPreview::btEMAILClick},       {btSALVAR, &TDFMPreview::btSALVARClick},
        {btABRIR, &TDFMPreview::btABRIRClick},       {btPROCURAR, &TDFMPreview::btPROCURARClick},
        {btPRIMEIRA, &TDFMPreview::btPRIMEIRAClick}, {btANTERIOR, &TDFMPreview::btANTERIORClick},
        {btDIRETO, &TDFMPreview::btDIRETOClick},     {btPROXIMA, &TDFMPreview::btPROXIMAClick},
        {btULTIMA, &TDFMPreview::btULTIMAClick},     {btLARGURA, &TDFMPreview::btLARGURAClick},
        {btFULL, &TDFMPreview::btFULLClick},         {btAumenta, &TDFMPreview::btAumentaClick},
        {btDiminui, &TDFMPreview::btDiminuiClick},   {btFECHAR, &TDFMPreview::btFECHARClick},
    };
    for (const auto& [button, handler] : clicks) {
        connect(button, &QToolButton::clicked, this, [this, h = handler] { (this->*h)(); });
    }

    // The six buttons the component's options govern.
    const std::pair<QToolButton*, TStatBut> governed[] = {
        {btIMPRIMIR, options.BotaoImprimir}, {btSALVAR, options.BotaoGravar},
        {btABRIR, options.BotaoLer},         {btPROCURAR, options.BotaoProcurar},
        {btPDF, options.BotaoPDF},           {btEMAIL, options.BotaoEMAIL},
    };
    for (const auto& [button, option] : governed) {
        button->setEnabled(option != TStatBut::Inativo);
        button->setVisible(option != TStatBut::Invisivel);
    }

    // ---- The page.
    Scroller = new QScrollArea(this);
    Scroller->setObjectName(QStringLiteral("Scroller"));
    Scroller->setWidgetResizable(false);
    // A page smaller than the view (whole page, small zooms) sits in its middle.
    Scroller->setAlignment(Qt::AlignCenter);
    QPalette grey = Scroller->palette();
    grey.setColor(QPalette::Window, kScrollerColour);
    Scroller->viewport()->setPalette(grey);
    Scroller->viewport()->setBackgroundRole(QPalette::Window);
    Scroller->viewport()->setAutoFillBackground(true);
    Scroller->horizontalScrollBar()->setTracking(true);
    Scroller->verticalScrollBar()->setTracking(true);

    VISOR = new PreviewVisor(*this, Scroller);
    VISOR->setObjectName(QStringLiteral("VISOR"));
    VISOR->setAccessibleName(QStringLiteral("Desenho da página"));
    // The page has the focus: a screen reader reads it there, line by line.
    makeAccessiblePage(Scroller, QStringLiteral("Página do relatório"),
                       [this] { return m_gravana.TextoDaPagina(m_pagina); });
    Scroller->verticalScrollBar()->setAccessibleName(QStringLiteral("Rolagem vertical"));
    Scroller->horizontalScrollBar()->setAccessibleName(QStringLiteral("Rolagem horizontal"));
    VISOR->setCursor(Qt::OpenHandCursor);
    Scroller->setWidget(VISOR);
    // The scroll box fills what it holds; the page box shows the grey around the page.
    VISOR->setAutoFillBackground(false);

    // ---- Status bar.
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 5; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        // A screen reader hears a panel by what it shows; its name describes it, and names it
        // while it is empty.
        panel->setAccessibleDescription(QString::fromUtf8(kPanelNames[i]));
        panel->setAccessibleName(QString::fromUtf8(kPanelNames[i]));
        panel->setFixedWidth(kPanelWidths[i]);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i == 0 || i == 3) {
            panel->setAlignment(Qt::AlignCenter);
        }
        StatusBar1->addWidget(panel);
        Panels[i] = panel;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelH);
    layout->addWidget(Scroller, 1);
    layout->addWidget(StatusBar1);

    buildPopupMenu();

    FindDialog1 = new FindDialog(this);
    FindDialog1->onFindNext = [this] { FindDialog1Find(); };

    // ---- The window: the whole screen, maximised, never smaller than 540 x 240.
    setMinimumSize(540, 240);
    if (const QScreen* where = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        setGeometry(where->geometry());
    }
    setWindowState(Qt::WindowMaximized);
    // Where the user left the window last time, over the full screen.
    if (const QByteArray geometry = windowGeometry(kWindowKind); !geometry.isEmpty()) {
        restoreGeometry(geometry);
    }

    // Tab goes through the toolbar in its order and then to the page; the page has the focus
    // when the window opens (see FormShow).
    QWidget* const tabOrder[] = {btIMPRIMIR, btPDF,      btEMAIL,   btSALVAR,  btABRIR,  btPROCURAR,
                                 btPRIMEIRA, btANTERIOR, btDIRETO,  btPROXIMA, btULTIMA, btLARGURA,
                                 btFULL,     btAumenta,  btDiminui, btFECHAR,  Scroller};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    m_total = std::max(gravana.TotalPaginas(), 1);
    ajustarPainelPagina();

    // The window sees the keys (and the wheel) before its controls.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

TDFMPreview::~TDFMPreview() {
    m_gravana.state().previewAtivo = false;
}

void TDFMPreview::setDialogs(std::unique_ptr<PreviewDialogs> dialogs) {
    m_dialogs = std::move(dialogs);
}

QToolButton* TDFMPreview::makeButton(const char* name, int width) {
    auto* button = new QToolButton(PanelH);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    // Tab reaches the buttons in toolbar order; a click leaves the focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    button->setIconSize(QSize(20, 20));
    button->setGeometry(0, kButtonTop, width, kButtonHeight);
    return button;
}

QFrame* TDFMPreview::makeSeparator(const char* name) {
    auto* line = new QFrame(PanelH);
    line->setObjectName(QString::fromLatin1(name));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, kButtonTop - 1, 2, kButtonHeight + 2);
    return line;
}

void TDFMPreview::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    ZoomGroup = new QActionGroup(PopupMenu1);
    ZoomGroup->setExclusive(true);
    struct Choice {
        const char* name;
        const char* caption;
        int zoom;
    };
    const Choice choices[] = {
        {"N25", "25%", 25},
        {"N50", "50%", 50},
        {"N75", "75%", 75},
        {"N100", "100%", 100},
        {"N150", "150%", 150},
        {"N200", "200%", 200},
        {nullptr, nullptr, 0},
        {"PaginaInteira", "Página Inteira", kZoomFitPage},
        {"AjustaLargura", "Ajusta na Largura", kZoomFitWidth},
    };
    for (const Choice& c : choices) {
        if (!c.name) {
            PopupMenu1->addSeparator();
            continue;
        }
        QAction* action = PopupMenu1->addAction(QString::fromUtf8(c.caption));
        action->setObjectName(QString::fromLatin1(c.name));
        action->setCheckable(true);
        action->setChecked(c.zoom == 100);
        action->setData(c.zoom);
        ZoomGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, z = c.zoom] { AplicarZoom(z); });
    }
    for (QWidget* w : {VISOR, static_cast<QWidget*>(btLARGURA), static_cast<QWidget*>(btFULL),
                       static_cast<QWidget*>(btAumenta), static_cast<QWidget*>(btDiminui)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint& at) { PopupMenu1->popup(w->mapToGlobal(at)); });
    }
}

// ---- Showing.

void TDFMPreview::showEvent(QShowEvent* event) {
    // Coming back from the minimised state is no new showing.
    if (!event->spontaneous()) {
        FormShow();
    }
    QDialog::showEvent(event);
}

void TDFMPreview::setReportFile(const QString& fileName, int startPage) {
    m_arquivoRelatorio = fileName;
    if (!fileName.isEmpty()) {
        m_arquivoAberto = fileName;
    }
    m_paginaInicial = startPage;
}

void TDFMPreview::done(int result) {
    rememberWindowGeometry(kWindowKind, saveGeometry());
    lembrarLugar();
    QDialog::done(result);
}

void TDFMPreview::lembrarLugar() {
    if (!m_arquivoRelatorio.isEmpty() && !isFitRequest(m_zoom)) {
        rememberReportPlace(m_arquivoRelatorio, {m_pagina, m_zoom / 100.0, 0});
    }
}

int TDFMPreview::paginaDeAbertura(int zoomPadrao) {
    // The page asked for, else where the report was left (and at its zoom), else the first.
    int page = 1;
    int zoom = zoomPadrao;
    if (const std::optional<ReportPlace> place =
            m_arquivoRelatorio.isEmpty() ? std::nullopt : reportPlace(m_arquivoRelatorio)) {
        page = place->page;
        zoom = int(std::lround(place->zoom * 100));
    }
    if (m_paginaInicial > 0) {
        page = std::exchange(m_paginaInicial, 0);
    }
    m_zoomDeAbertura = zoom;
    return std::clamp(page, 1, std::max(m_total, 1));
}

void TDFMPreview::FormShow() {
    layoutToolbar();
    m_pagina = paginaDeAbertura(m_gravana.OpcoesPreview.PreviewZoom);
    MostrarPagina();
    for (QToolButton* button : {btFECHAR, btIMPRIMIR}) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, m_gravana.CorFonte);
        button->setPalette(palette);
    }
    AplicarZoom(m_zoomDeAbertura);
    atualizarImpressora();
    // The keys act on the page until the user tabs to a button.
    Scroller->setFocus(Qt::OtherFocusReason);
}

void TDFMPreview::layoutToolbar() {
    ToolbarVisibility visible;
    visible.imprimir = btIMPRIMIR->isVisibleTo(this);
    visible.pdf = btPDF->isVisibleTo(this);
    visible.email = btEMAIL->isVisibleTo(this);
    visible.salvar = btSALVAR->isVisibleTo(this);
    visible.abrir = btABRIR->isVisibleTo(this);
    visible.procurar = btPROCURAR->isVisibleTo(this);
    const ToolbarLayout l = toolbarLayout(visible);

    auto place = [](QWidget* w, int x) {
        if (x >= 0) {
            w->move(x, w->y());
        }
    };
    place(btIMPRIMIR, l.btIMPRIMIR);
    place(btPDF, l.btPDF);
    place(btEMAIL, l.btEMAIL);
    place(btSALVAR, l.btSALVAR);
    place(btABRIR, l.btABRIR);
    place(btPROCURAR, l.btPROCURAR);
    Separa1->setVisible(visible.imprimir);
    place(Separa1, l.Separa1);
    Separa2->setVisible(l.Separa2 >= 0);
    place(Separa2, l.Separa2);
    place(btPRIMEIRA, l.btPRIMEIRA);
    place(btANTERIOR, l.btANTERIOR);
    place(btDIRETO, l.btDIRETO);
    place(btPROXIMA, l.btPROXIMA);
    place(btULTIMA, l.btULTIMA);
    place(Separa3, l.Separa3);
    place(btLARGURA, l.btLARGURA);
    place(btFULL, l.btFULL);
    place(btAumenta, l.btAumenta);
    place(btDiminui, l.btDiminui);
    place(Separa4, l.Separa4);
    place(btFECHAR, l.btFECHAR);
}

void TDFMPreview::atualizarImpressora() {
    const QString printer = nomeImpressoraAtual ? nomeImpressoraAtual() : QString();
    setPanel(2, printerText(printer));
    // Until the user confirms a print setup, the model is the one the setup will choose for
    // this printer from the mapping table (and print with unless the user picks another), not
    // the component's stored model, which the setup replaces.
    setPanel(3, modelName(m_modeloConfirmado ? m_gravana.Impressora
                                             : modelForPrinterName(printer, m_gravana.Mapeamento)));
}

void TDFMPreview::MostrarPagina() {
    m_tamanhoPagina = m_gravana.DesenharPagina(m_pagina, m_figura, true);
    ajustarVisor();
    VISOR->update();
    setPanel(0, pageText(m_pagina, m_total));
    btPRIMEIRA->setEnabled(m_pagina > 1);
    btANTERIOR->setEnabled(m_pagina > 1);
    btPROXIMA->setEnabled(m_pagina < m_total);
    btULTIMA->setEnabled(m_pagina < m_total);
    btDIRETO->setEnabled(m_total > 1);
    accessiblePageChanged(Scroller);
}

void TDFMPreview::AplicarZoom(int zoom) {
    m_zoom = zoom;
    ajustarVisor();
    VISOR->update();
    setPanel(1, zoomText(m_zoom));
    // The menu ticks the choice that gives this zoom: a fit request its own entry, a percent
    // the entry of that percent (as clamped), or none.
    for (QAction* action : ZoomGroup->actions()) {
        action->setChecked(action->data().toInt() == (isFitRequest(zoom) ? zoom : m_zoom));
    }
}

void TDFMPreview::ajustarPainelPagina() {
    // The widest text the panel will show for this count: every digit the widest one.
    QLabel* panel = Panels[0];
    const QFontMetrics metrics(panel->font());
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest)) {
            widest = QLatin1Char(digit);
        }
    }
    QString longest = pageText(m_total, m_total);
    for (QChar& c : longest) {
        if (c.isDigit()) {
            c = widest;
        }
    }
    const int frame = panel->width() - panel->contentsRect().width();
    const int needed = metrics.horizontalAdvance(longest) + frame + 2 * kPanelPadding;
    panel->setFixedWidth(std::max(kPanelWidths[0], needed));
}

void TDFMPreview::ajustarVisor() {
    if (isFitRequest(m_zoom)) {
        // A fit request is measured against the scroll box as the user sees it: it waits for
        // the window to be on screen (the first paint resolves it).
        const QWindow* handle = window()->windowHandle();
        if (!handle || !handle->isExposed()) {
            return;
        }
    }
    const int resolved =
        resolveZoom(m_zoom, {Scroller->width(), Scroller->viewport()->size()}, m_tamanhoPagina);
    if (resolved != m_zoom) {
        m_zoom = resolved;
        setPanel(1, zoomText(m_zoom));
    }
    const QSize box = pageBoxSize(m_tamanhoPagina, m_zoom);
    if (VISOR->size() != box) {
        VISOR->resize(box);
    }
}

void TDFMPreview::VISORPaint(QPainter& painter) {
    ajustarVisor();
    drawPagePicture(painter, m_figura, QRectF(pageTarget(m_tamanhoPagina, m_zoom)));
}

// ---- Zoom.

void TDFMPreview::btLARGURAClick() {
    if (usable(btLARGURA)) {
        AplicarZoom(kZoomFitWidth);
    }
}

void TDFMPreview::btFULLClick() {
    if (usable(btFULL)) {
        AplicarZoom(kZoomFitPage);
    }
}

void TDFMPreview::btAumentaClick() {
    if (usable(btAumenta)) {
        AplicarZoom(m_zoom + kZoomStep);
    }
}

void TDFMPreview::btDiminuiClick() {
    if (usable(btDiminui)) {
        AplicarZoom(m_zoom - kZoomStep);
    }
}

// ---- Paging.

void TDFMPreview::btPRIMEIRAClick() {
    if (usable(btPRIMEIRA) && m_pagina != 1) {
        m_pagina = 1;
        MostrarPagina();
    }
}

void TDFMPreview::btANTERIORClick() {
    if (usable(btANTERIOR) && m_pagina > 1) {
        --m_pagina;
        MostrarPagina();
    }
}

void TDFMPreview::btPROXIMAClick() {
    if (usable(btPROXIMA) && m_pagina < m_total) {
        ++m_pagina;
        MostrarPagina();
    }
}

void TDFMPreview::btULTIMAClick() {
    if (usable(btULTIMA) && m_pagina != m_total) {
        m_pagina = m_total;
        MostrarPagina();
    }
}

void TDFMPreview::btDIRETOClick() {
    if (!usable(btDIRETO)) {
        return;
    }
    const std::optional<QString> answer = m_dialogs->inputText(
        QStringLiteral("Acesso rápido"), QStringLiteral("Qual página deseja ver ?"));
    if (!answer) {
        return;
    }
    const std::optional<int> page = pageFromText(*answer, m_total);
    if (!page) {
        m_gravana.ui().message(MessageKind::Information, QStringLiteral("Página inválida..."));
        return;
    }
    m_pagina = *page;
    MostrarPagina();
}

// ---- Printing, saving, loading, mail.

void TDFMPreview::btIMPRIMIRClick() {
    if (!usable(btIMPRIMIR)) {
        return;
    }
    guarded([this] {
        if (!m_gravana.Setup()) {
            return;
        }
        m_modeloConfirmado = true;
        // The setup may have changed both the printer and the model.
        atualizarImpressora();
        m_gravana.Imprimir(QString());
    });
}

void TDFMPreview::btSALVARClick() {
    if (!usable(btSALVAR)) {
        return;
    }
    FileRequest request;
    request.title = QStringLiteral("Salvar relatório como...");
    request.filter = QString::fromUtf8(kSaveFilter);
    request.directory = QDir::homePath();
    request.fileName = codepages::fromCp1252(LimparNomeArquivo(m_gravana.TitulodoRelatorio));
    request.filterIndex = m_tipoSalvar;
    const std::optional<FileChoice> choice = m_dialogs->saveFile(request);
    if (!choice) {
        return;
    }
    // A typed extension of one of the types decides the type, and the name is kept as typed;
    // otherwise the type chosen in the box gives the name its extension.
    m_tipoSalvar =
        std::clamp(filterIndexOfName(request.filter, choice->fileName, choice->filterIndex), 1, 5);
    const QString fileName =
        savedFileName(choice->fileName, filterExtension(request.filter, m_tipoSalvar));
    // The types of kSaveFilter, in its order.
    constexpr TextReportFormat kFormats[] = {TextReportFormat::Gvp, TextReportFormat::Prn,
                                             TextReportFormat::Txt, TextReportFormat::Htm,
                                             TextReportFormat::Pdf};
    const TextReportFormat format = kFormats[m_tipoSalvar - 1];
    guarded([this, format, &fileName] { writeReportAs(m_gravana, format, fileName); });
}

void TDFMPreview::btPDFClick() {
    if (!usable(btPDF)) {
        return;
    }
    FileRequest request;
    request.title = QStringLiteral("Exportar Relatório para PDF");
    request.filter = QString::fromUtf8(kPdfFilter);
    request.directory = QDir::homePath();
    request.fileName = codepages::fromCp1252(LimparNomeArquivo(m_gravana.TitulodoRelatorio));
    request.archivalChoice = true;
    request.archival = m_gravana.OpcoesPDF.archival;
    const std::optional<FileChoice> choice = m_dialogs->saveFile(request);
    if (!choice) {
        return;
    }
    m_gravana.OpcoesPDF.archival = choice->archival;
    const QString fileName = withExtension(choice->fileName, QStringLiteral(".PDF"));
    guarded([this, &fileName] { m_gravana.GerarPDF(fileName); });
}

void TDFMPreview::btABRIRClick() {
    if (!usable(btABRIR)) {
        return;
    }
    FileRequest request;
    request.title = QStringLiteral("Selecionar relatório...");
    request.filter = QString::fromUtf8(kOpenFilter);
    request.directory = reportFolder(m_arquivoAberto);
    request.defaultSuffix = QStringLiteral("GVP");
    const std::optional<QString> fileName = m_dialogs->openFile(request);
    if (!fileName) {
        return;
    }
    rememberReportFolder(*fileName);
    lembrarLugar(); // of the report the new one replaces
    m_arquivoAberto = *fileName;
    // A file that does not load leaves the report on screen as it was, page and all.
    LoadResult loaded = LoadResult::Failed;
    guarded([this, &fileName, &loaded] { loaded = m_gravana.SubstituirRelatorio(*fileName); });
    if (loaded == LoadResult::Failed) {
        return;
    }
    // A match found in the previous report means nothing in this one: its highlight would be
    // drawn over the new pages, and the search index points into the old store.
    m_gravana.state().destaque.clear();
    m_inicioBusca = 0;
    m_total = std::max(m_gravana.TotalPaginas(), 1);
    ajustarPainelPagina();
    m_arquivoRelatorio = *fileName;
    addRecentReport(*fileName);
    m_pagina = paginaDeAbertura(m_zoom);
    MostrarPagina();
    AplicarZoom(m_zoomDeAbertura);
}

void TDFMPreview::btEMAILClick() {
    if (usable(btEMAIL) && m_gravana.OnSendMail) {
        guarded([this] { m_gravana.OnSendMail(m_gravana); });
    }
}

void TDFMPreview::btFECHARClick() {
    if (usable(btFECHAR)) {
        reject();
    }
}

// ---- Search.

void TDFMPreview::btPROCURARClick() {
    if (!usable(btPROCURAR)) {
        return;
    }
    m_inicioBusca = 0;
    FindDialog1->setFindText(QString());
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void TDFMPreview::FindDialog1Find() {
    if (!usable(btPROCURAR)) {
        return;
    }
    const QString text = FindDialog1->findText();
    if (text.isEmpty()) {
        return;
    }
    int coluna = 0;
    int linha = 0;
    int pagina = 0;
    const bool found =
        m_gravana.Procurar(FindDialog1->direction(), FindDialog1->matchCase(), m_inicioBusca,
                           coluna, linha, pagina, codepages::toCp1252(text));
    if (!found) {
        m_gravana.ui().message(MessageKind::Information,
                               QStringLiteral("Não é possível encontrar \"") + text +
                                   QLatin1Char('"'));
        return;
    }
    m_pagina = pagina;
    MostrarPagina();

    // Bring the match into view: the line's (and column's) share of the page box, less what
    // the scroll box shows, or the top (left) when it fits.
    QScrollBar* vertical = Scroller->verticalScrollBar();
    if (vertical->maximum() > 0 && m_gravana.TamanhoQteLinhas > 0) {
        const int v = roundHalfEven(double(VISOR->height()) / m_gravana.TamanhoQteLinhas) * linha;
        const int client = Scroller->viewport()->height();
        vertical->setValue(v > client ? v - client : 0);
    }
    QScrollBar* horizontal = Scroller->horizontalScrollBar();
    if (horizontal->maximum() > 0 && m_gravana.TamanhoQteColunas > 0) {
        const int h = roundHalfEven(double(VISOR->width()) / m_gravana.TamanhoQteColunas) * coluna;
        const int client = Scroller->viewport()->width();
        horizontal->setValue(h > client ? h - client : 0);
    }
}

// ---- Keyboard, wheel and dragging.

// The zoom menu from the keyboard: under the zoom button that has the focus, else over the
// middle of the part of the page the user sees (never where the mouse happens to be).
void TDFMPreview::abrirMenu() {
    QWidget* focus = QApplication::focusWidget();
    for (QToolButton* button : {btLARGURA, btFULL, btAumenta, btDiminui}) {
        if (focus == button) {
            PopupMenu1->popup(button->mapToGlobal(QPoint(0, button->height())));
            return;
        }
    }
    QRect seen = VISOR->visibleRegion().boundingRect() & pageTarget(m_tamanhoPagina, m_zoom);
    if (seen.isEmpty()) {
        seen = VISOR->visibleRegion().boundingRect();
    }
    PopupMenu1->popup(VISOR->mapToGlobal(seen.center()));
}

void TDFMPreview::rolar(int dx, int dy) {
    QScrollBar* horizontal = Scroller->horizontalScrollBar();
    QScrollBar* vertical = Scroller->verticalScrollBar();
    horizontal->setValue(horizontal->value() + dx);
    vertical->setValue(vertical->value() + dy);
}

// Up (-1) or Down (1): `pixels`, or a twentieth of the page box when 0; at the top (bottom) the
// previous (next) page is shown from its bottom (top).
void TDFMPreview::rolarVertical(int direction, int pixels) {
    QScrollBar* vertical = Scroller->verticalScrollBar();
    const int before = vertical->value();
    const int step = pixels > 0 ? pixels : roundHalfEven(VISOR->height() / 20.0);
    vertical->setValue(before + direction * step);
    if (vertical->value() != before) {
        return;
    }
    if (direction < 0 && m_pagina > 1) {
        --m_pagina;
        MostrarPagina();
        vertical->setValue(vertical->maximum());
    } else if (direction > 0 && m_pagina < m_total) {
        ++m_pagina;
        MostrarPagina();
        vertical->setValue(0);
    }
}

bool TDFMPreview::FormKeyDown(QKeyEvent& event) {
    if (event.modifiers() & Qt::ControlModifier) {
        switch (event.key()) {
        case Qt::Key_P:
            btIMPRIMIRClick();
            return true;
        case Qt::Key_S:
            btSALVARClick();
            return true;
        case Qt::Key_O:
            btABRIRClick();
            return true;
        case Qt::Key_N:
            btDIRETOClick();
            return true;
        case Qt::Key_F:
            btPROCURARClick();
            return true;
        case Qt::Key_E:
            btPDFClick();
            return true;
        case Qt::Key_M:
            btEMAILClick();
            return true;
        case Qt::Key_W:
            btFECHARClick();
            return true;
        case Qt::Key_1:
            btLARGURAClick();
            return true;
        case Qt::Key_2:
            btFULLClick();
            return true;
        // Zoom without a keypad: Ctrl with "+" or "=" (one key on most layouts), "-", and "0"
        // for 100%.
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            btAumentaClick();
            return true;
        case Qt::Key_Minus:
            btDiminuiClick();
            return true;
        case Qt::Key_0:
            if (usable(btAumenta)) {
                AplicarZoom(100);
            }
            return true;
        default:
            break;
        }
    }
    switch (event.key()) {
    case Qt::Key_Left:
        rolar(-kScrollStep, 0);
        return true;
    case Qt::Key_Right:
        rolar(kScrollStep, 0);
        return true;
    case Qt::Key_Up:
        rolarVertical(-1);
        return true;
    case Qt::Key_Down:
        rolarVertical(1);
        return true;
    case Qt::Key_PageUp:
        btANTERIORClick();
        return true;
    case Qt::Key_PageDown:
        btPROXIMAClick();
        return true;
    case Qt::Key_End:
        btULTIMAClick();
        return true;
    case Qt::Key_Home:
        btPRIMEIRAClick();
        return true;
    case Qt::Key_F3:
        FindDialog1Find();
        return true;
    case Qt::Key_Escape:
        btFECHARClick();
        return true;
    case Qt::Key_F11:
        setWindowState(windowState() ^ Qt::WindowFullScreen);
        return true;
    case Qt::Key_Menu:
        abrirMenu();
        return true;
    case Qt::Key_F10:
        if (!(event.modifiers() & Qt::ShiftModifier)) {
            return false;
        }
        abrirMenu();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter presses the toolbar button that has the focus, as Space does.
        if (auto* button = qobject_cast<QToolButton*>(QApplication::focusWidget());
            button && button->parentWidget() == PanelH) {
            button->click();
            return true;
        }
        return false;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (!(event.modifiers() & Qt::KeypadModifier)) {
            return false;
        }
        if (event.key() == Qt::Key_Plus) {
            btAumentaClick();
        } else {
            btDiminuiClick();
        }
        return true;
    default:
        return false;
    }
}

// A notch scrolls the desktop's wheel lines (QApplication::wheelScrollLines) of report text, a
// touchpad its own pixels; both go on to the next or previous page at the page's ends.
void TDFMPreview::FormMouseWheel(QWheelEvent& event) {
    if (const int pixels = event.pixelDelta().y(); pixels != 0) {
        rolarVertical(pixels > 0 ? -1 : 1, std::abs(pixels));
        return;
    }
    const int lines = std::max(1, m_gravana.TamanhoQteLinhas);
    const int notch =
        std::max(1, roundHalfEven(double(VISOR->height()) * QApplication::wheelScrollLines() / lines));
    m_giroRoda += event.angleDelta().y();
    while (m_giroRoda >= kWheelNotch) {
        m_giroRoda -= kWheelNotch;
        rolarVertical(-1, notch);
    }
    while (m_giroRoda <= -kWheelNotch) {
        m_giroRoda += kWheelNotch;
        rolarVertical(1, notch);
    }
}

void TDFMPreview::keyPressEvent(QKeyEvent* event) {
    if (FormKeyDown(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDFMPreview::wheelEvent(QWheelEvent* event) {
    FormMouseWheel(*event);
    event->accept();
}

bool TDFMPreview::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A flat toolbar button draws no focus of its own: the one Tab has reached stands out
    // raised until the focus leaves it.
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        if (auto* button = qobject_cast<QToolButton*>(watched);
            button && button->parentWidget() == PanelH) {
            button->setAutoRaise(type == QEvent::FocusOut);
        }
        return QDialog::eventFilter(watched, event);
    }
    if (type != QEvent::KeyPress && type != QEvent::Wheel) {
        return QDialog::eventFilter(watched, event);
    }
    // Only this window's own controls: the find dialog is a window of its own.
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) {
        return QDialog::eventFilter(watched, event);
    }
    if (type == QEvent::KeyPress) {
        return FormKeyDown(*static_cast<QKeyEvent*>(event));
    }
    FormMouseWheel(*static_cast<QWheelEvent*>(event));
    return true;
}

void TDFMPreview::VISORMouseDown(QPoint at) {
    m_arrastando = true;
    m_pontoInicial = at;
    VISOR->setCursor(Qt::ClosedHandCursor);
}

void TDFMPreview::VISORMouseMove(QPoint at) {
    if (m_arrastando) {
        // The press point stays under the mouse: the page follows it.
        rolar(m_pontoInicial.x() - at.x(), m_pontoInicial.y() - at.y());
    }
}

void TDFMPreview::VISORMouseUp() {
    m_arrastando = false;
    VISOR->setCursor(Qt::OpenHandCursor);
}

// ---- Helpers.

void TDFMPreview::setPanel(int index, const QString& text) {
    QLabel* panel = Panels[index];
    panel->setText(text);
    panel->setAccessibleName(text.isEmpty() ? QString::fromUtf8(kPanelNames[index]) : text);
}

bool TDFMPreview::usable(const QAbstractButton* button) const {
    return button->isEnabled() && button->isVisibleTo(this);
}

void TDFMPreview::guarded(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const std::exception& e) {
        m_gravana.ui().message(MessageKind::Error, QString::fromUtf8(e.what()));
    }
}

} // namespace zr::textreport::ui
