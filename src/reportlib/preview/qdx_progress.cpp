#include "qdx_progress.h"

#include "reportlib/print/qdx_res.h"

#include "platform/interaction/cancel_request.h"
#include "reportlib/document/qdx_report.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <climits>

namespace zr::reportlib::preview {

// ---- TqdxProgress --------------------------------------------------------------------------------

TqdxProgress::TqdxProgress(QWidget* parent, bool rightToLeft)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("TqdxProgress"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(kWidth, kHeight);
    if (rightToLeft) {
        setLayoutDirection(Qt::RightToLeft);
    }

    Panel = new QFrame(this);
    Panel->setGeometry(0, 0, kWidth, kHeight);
    Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel->setLineWidth(2);

    LMessage = new QLabel(Panel);
    LMessage->setGeometry(16, 11, 237, 20);
    LMessage->setAlignment(Qt::AlignCenter);
    LMessage->setObjectName(QStringLiteral("LMessage"));
    // No fixed accessible name: a screen reader reads the message itself.

    Bar = new QProgressBar(Panel);
    Bar->setGeometry(16, 37, 237, 17);
    Bar->setRange(0, 100);
    Bar->setValue(0);
    Bar->setTextVisible(false);
    Bar->setObjectName(QStringLiteral("Bar"));
    Bar->setAccessibleName(QStringLiteral("Progresso"));

    CancelB = new QPushButton(qdxResources().Text(2), Panel);
    CancelB->setGeometry(100, 64, 75, 25);
    CancelB->setObjectName(QStringLiteral("CancelB"));
    CancelB->setAccessibleName(CancelB->text());
    // Enter on the focused button presses it, as Space does.
    CancelB->setAutoDefault(true);
    connect(CancelB, &QPushButton::clicked, this, &TqdxProgress::cancelClicked);
}

void TqdxProgress::Execute(int max, const QString& message, bool showBar, bool showCancel) {
    m_terminated = false;
    CancelB->setVisible(showCancel);
    Bar->setVisible(showBar);
    LMessage->move(LMessage->x(), showBar ? 15 : 35);
    Bar->setRange(0, std::max(0, max));
    Bar->setValue(0);
    SetMessage(message);
    // Centred on the window that started the job, or on its screen.
    QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area = over && over->isVisible() ? over->frameGeometry() : QRect();
    if (area.isEmpty()) {
        QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
        area = screen ? screen->availableGeometry() : QRect(0, 0, kWidth, kHeight);
    }
    move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    show();
    raise();
    QCoreApplication::processEvents();
}

void TqdxProgress::SetPosition(int position) {
    Bar->setValue(std::clamp(position, Bar->minimum(), Bar->maximum()));
    if (!isActiveWindow()) {
        raise();
    }
    QCoreApplication::processEvents();
}

void TqdxProgress::SetMessage(const QString& text) {
    LMessage->setText(text);
    LMessage->repaint();
}

void TqdxProgress::cancelClicked() {
    if (m_terminated) {
        return;
    }
    m_terminated = true;
    if (OnCancel) {
        OnCancel();
    }
    hide();
}

void TqdxProgress::reject() { cancelClicked(); }

void TqdxProgress::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void TqdxProgress::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    m_dragging = false;
    QDialog::mouseMoveEvent(event);
}

// ---- TqdxWindowProgress --------------------------------------------------------------------------

TqdxWindowProgress::TqdxWindowProgress(QWidget* parent, const ProgressInfo& info, QString format,
                                       TqdxReport* report, bool rightToLeft)
    : m_window(std::make_unique<TqdxProgress>(parent, rightToLeft)), m_format(std::move(format)),
      m_focus(QApplication::focusWidget()) {
    if (m_format.isEmpty()) {
        m_format = info.caption.isEmpty() ? QStringLiteral("%d") : info.caption + QStringLiteral(" %d");
    } else if (!m_format.contains(QLatin1String("%d"))) {
        m_format += QStringLiteral(" %d");
    }
    m_window->OnCancel = [report] {
        CancelRequest::set();
        if (report) {
            report->Terminated = true;
        }
    };
    m_maximum = std::max<qint64>(0, info.maximum);
    m_divisor = m_maximum / INT_MAX + 1;
    m_window->Execute(int(m_maximum / m_divisor), info.label, m_maximum > 0, true);
}

TqdxWindowProgress::~TqdxWindowProgress() {
    m_window->hide();
    m_window.reset();
    if (m_focus) {
        m_focus->setFocus(Qt::OtherFocusReason);
    }
}

void TqdxWindowProgress::setMaximum(qint64 maximum) {
    m_maximum = std::max<qint64>(0, maximum);
    m_divisor = m_maximum / INT_MAX + 1;
    m_window->Bar->setRange(0, int(m_maximum / m_divisor));
    m_window->Bar->setVisible(m_maximum > 0);
    m_window->LMessage->move(m_window->LMessage->x(), m_maximum > 0 ? 15 : 35);
}

void TqdxWindowProgress::setValue(qint64 value) {
    m_value = value;
    QString text = m_format;
    m_window->SetMessage(text.replace(QLatin1String("%d"), QString::number(value)));
    m_window->SetPosition(int(std::clamp<qint64>(value, 0, m_maximum) / m_divisor));
}

void TqdxWindowProgress::step() { setValue(m_value + 1); }

bool TqdxWindowProgress::cancelled() const {
    return m_window->Terminated() || Progress::cancelled();
}

// ---- TqdxWindowInteraction -----------------------------------------------------------------------

TqdxWindowInteraction::TqdxWindowInteraction(QWidget* window, Interaction* inner,
                                             TqdxReport* report)
    : m_window(window), m_inner(inner), m_report(report) {}

void TqdxWindowInteraction::message(MessageKind kind, const QString& text, const QString& caption) {
    if (m_inner) {
        m_inner->message(kind, text, caption);
        return;
    }
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString title = caption.isEmpty() ? QApplication::applicationName() : caption;
    switch (kind) {
    case MessageKind::Information:
        QMessageBox::information(m_window, title, shown);
        break;
    case MessageKind::Warning:
        QMessageBox::warning(m_window, title, shown);
        break;
    case MessageKind::Error:
        QMessageBox::critical(m_window, title, shown);
        break;
    }
}

bool TqdxWindowInteraction::confirm(const QString& text, const QString& caption) {
    if (m_inner) {
        return m_inner->confirm(text, caption);
    }
    return QMessageBox::question(m_window, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::unique_ptr<Progress> TqdxWindowInteraction::beginProgress(const ProgressInfo& info) {
    auto progress =
        std::make_unique<TqdxWindowProgress>(m_window, info, m_format, m_report, m_rightToLeft);
    if (OnProgressShown) {
        OnProgressShown(*progress);
    }
    return progress;
}

} // namespace zr::reportlib::preview
