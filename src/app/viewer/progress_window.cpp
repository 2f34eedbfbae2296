#include "progress_window.h"

#include "platform/interaction/cancel_request.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace zr::app {

ProgressWindow::ProgressWindow(const ProgressInfo& info, AskFunction ask, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ask(std::move(ask)) {
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(info.caption);
    setFixedSize(280, 97);

    NOMEREL = new QLabel(this);
    NOMEREL->setObjectName(QStringLiteral("NOMEREL"));
    NOMEREL->setFont(QFont(QStringLiteral("Arial")));
    NOMEREL->setGeometry(17, 8, 248, 18);
    // Long file names are shortened in the middle so that both ends stay readable.
    NOMEREL->setText(
        NOMEREL->fontMetrics().elidedText(info.label, Qt::ElideMiddle, NOMEREL->width()));
    NOMEREL->setToolTip(info.label);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(16, 28, 249, 19);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 0);

    sbCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    sbCancelar->setObjectName(QStringLiteral("sbCancelar"));
    sbCancelar->setGeometry(107, 63, 80, 25);
    sbCancelar->setAutoDefault(false);
    connect(sbCancelar, &QPushButton::clicked, this, [this] { sbCancelarClick(); });
}

void ProgressWindow::sbCancelarClick() {
    // The question box runs its own event loop; a second click (or Escape) meanwhile must not
    // stack a second question.
    if (m_asking || CancelRequest::isSet()) {
        return;
    }
    m_asking = true;
    const bool yes = m_ask && m_ask(QString::fromLatin1(kCancelQuestion));
    m_asking = false;
    if (yes) {
        CancelRequest::set();
    }
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    sbCancelarClick();
}

void ProgressWindow::reject() {
    sbCancelarClick();
}

} // namespace zr::app
