#include "progress_window.h"

#include "accessible_caption.h"
#include "draw_transparent.h"
#include "platform/interaction/cancel_request.h"
#include "ui_resources.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace zr::textreport::ui {

namespace {

constexpr QRect kAreaAnimacao(15, 54, TDFMProgresso::kFrameWidth, TDFMProgresso::kFrameHeight);
constexpr QRgb kMagenta = 0xFFFF00FFu;

QString arquivoDaFaixa(TDFMProgresso::Animacao animacao) {
    switch (animacao) {
    case TDFMProgresso::Animacao::Leitura:
        return QStringLiteral(":/textreport_ui/dialogs/lendo.png");
    case TDFMProgresso::Animacao::Impressao:
        return QStringLiteral(":/textreport_ui/dialogs/imprimindo.png");
    case TDFMProgresso::Animacao::Gravacao:
        return QStringLiteral(":/textreport_ui/dialogs/gravando.png");
    case TDFMProgresso::Animacao::Nenhuma:
        break;
    }
    return {};
}

} // namespace

TDFMProgresso::TDFMProgresso(const ProgressInfo& info, AskFunction ask, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ask(std::move(ask)) {
    initResources();
    setObjectName(QStringLiteral("TDFMProgresso"));
    const QString caption =
        info.caption.isEmpty() ? QString::fromLatin1(kDefaultCaption) : info.caption;
    setWindowTitle(caption);
    setFixedSize(280, 97);

    if (info.windowColor.isValid()) {
        QPalette p = palette();
        p.setColor(QPalette::Window, info.windowColor);
        setPalette(p);
        setAutoFillBackground(true);
    }

    NOMEREL = new QLabel(this);
    NOMEREL->setObjectName(QStringLiteral("NOMEREL"));
    NOMEREL->setFont(QFont(QStringLiteral("Arial")));
    NOMEREL->setGeometry(17, 11, 248, 16);
    // Long file names are shortened in the middle so that both ends stay readable.
    NOMEREL->setText(
        NOMEREL->fontMetrics().elidedText(info.label, Qt::ElideMiddle, NOMEREL->width()));
    NOMEREL->setToolTip(info.label);
    NOMEREL->setAccessibleName(info.label);
    if (info.textColor.isValid()) {
        QPalette p = NOMEREL->palette();
        p.setColor(QPalette::WindowText, info.textColor);
        NOMEREL->setPalette(p);
    }

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(16, 28, 249, 19);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setAccessibleName(caption);

    sbCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    sbCancelar->setObjectName(QStringLiteral("sbCancelar"));
    sbCancelar->setGeometry(107, 63, 80, 25);
    // Enter on the focused button presses it (it asks the cancel question), as Space does.
    sbCancelar->setAutoDefault(true);
    setAccessibleCaption(sbCancelar, sbCancelar->text());
    connect(sbCancelar, &QPushButton::clicked, this, [this] { sbCancelarClick(); });

    m_animacao = animacaoDaLegenda(caption);
    const QString arquivo = arquivoDaFaixa(m_animacao);
    if (!arquivo.isEmpty()) {
        m_faixa = keyedOut(QImage(arquivo), kMagenta);
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TDFMProgresso::Animacao TDFMProgresso::animacaoDaLegenda(const QString& caption) {
    if (caption == QLatin1String("Lendo...")) {
        return Animacao::Leitura;
    }
    if (caption == QLatin1String("Imprimindo...")) {
        return Animacao::Impressao;
    }
    if (caption == QLatin1String("Gravando...")) {
        return Animacao::Gravacao;
    }
    return Animacao::Nenhuma;
}

void TDFMProgresso::sbCancelarClick() {
    // The question box runs its own event loop; a second click (or Escape) meanwhile must not
    // stack a second question.
    if (m_perguntando || CancelRequest::isSet()) {
        return;
    }
    m_perguntando = true;
    const bool sim = m_ask && m_ask(QString::fromLatin1(kCancelQuestion));
    m_perguntando = false;
    if (sim) {
        CancelRequest::set();
    }
}

void TDFMProgresso::Timer1Timer() {
    m_quadro = (m_quadro + 1) % kFrames;
    update(kAreaAnimacao);
}

QImage TDFMProgresso::imagemDoQuadro() const {
    QImage bitmap(kFrameWidth, kFrameHeight, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(palette().color(QPalette::Window));
    if (!m_faixa.isNull()) {
        QPainter p(&bitmap);
        p.drawImage(QPoint(0, 0), m_faixa,
                    QRect(m_quadro * kFrameWidth, 0, kFrameWidth, kFrameHeight));
    }
    return bitmap;
}

void TDFMProgresso::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    p.drawImage(kAreaAnimacao.topLeft(), imagemDoQuadro());
}

void TDFMProgresso::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_quadro = 0;
    update(kAreaAnimacao);
    Timer1->start();
}

void TDFMProgresso::hideEvent(QHideEvent* event) {
    Timer1->stop();
    QDialog::hideEvent(event);
}

void TDFMProgresso::closeEvent(QCloseEvent* event) {
    event->ignore();
    sbCancelarClick();
}

void TDFMProgresso::reject() {
    sbCancelarClick();
}

} // namespace zr::textreport::ui
