#include "window_progress.h"

#include <QApplication>
#include <QProgressBar>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>

namespace zr::textreport::ui {

WindowProgress::WindowProgress(const ProgressInfo& info, TDFMProgresso::AskFunction ask)
    : m_window(std::make_unique<TDFMProgresso>(info, std::move(ask))) {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != m_window.get() && w->isVisible() && w->isEnabled()) {
            w->setEnabled(false);
            m_disabled.emplace_back(w);
        }
    }
    setMaximum(info.maximum);
    // The window takes the input the other windows no longer may, also over a modal window (the
    // text preview): a window without modality shown beside a modal one gets no mouse click,
    // and its Cancelar could not be pressed. It stays above the window the job was started in.
    m_window->setWindowModality(Qt::ApplicationModal);
    if (QWidget* over = QApplication::activeWindow(); over && over->windowHandle()) {
        m_window->winId();
        m_window->windowHandle()->setTransientParent(over->windowHandle());
    }
    m_window->show();
    refresh();
    m_ticker = std::jthread([this](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        while (!stop.stop_requested()) {
            // Returns early only when the progress ends.
            wake.wait_for(lock, stop, std::chrono::milliseconds(kRefreshMs), [] { return false; });
            m_refreshDue.store(true, std::memory_order_relaxed);
        }
    });
}

WindowProgress::~WindowProgress() {
    m_ticker = {}; // stop and join before anything it touches goes away
    m_window.reset();
    // Enable in reverse order, and only the windows that still exist.
    for (auto it = m_disabled.rbegin(); it != m_disabled.rend(); ++it) {
        if (*it) {
            (*it)->setEnabled(true);
        }
    }
}

void WindowProgress::setMaximum(qint64 maximum) {
    m_maximum = std::max<qint64>(0, maximum);
    m_divisor = m_maximum / INT_MAX + 1;
    m_window->ProgressBar1->setRange(0, int(m_maximum / m_divisor));
    m_window->ProgressBar1->setValue(int(std::clamp<qint64>(m_value, 0, m_maximum) / m_divisor));
}

void WindowProgress::setValue(qint64 value) {
    m_value = value;
    if (m_value == m_maximum || m_refreshDue.load(std::memory_order_relaxed)) {
        refresh();
    }
}

void WindowProgress::step() {
    ++m_value;
    if (m_value == m_maximum || m_refreshDue.load(std::memory_order_relaxed)) {
        refresh();
    }
}

void WindowProgress::refresh() {
    m_refreshDue.store(false, std::memory_order_relaxed);
    m_window->ProgressBar1->setValue(int(std::clamp<qint64>(m_value, 0, m_maximum) / m_divisor));
    // The window is redrawn for the work done, and each redraw shows the next frame.
    m_window->Timer1Timer();
    QCoreApplication::processEvents();
}

} // namespace zr::textreport::ui
