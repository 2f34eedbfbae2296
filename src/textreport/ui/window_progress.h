#pragma once

#include "platform/interaction/interaction.h"
#include "progress_window.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace zr::textreport::ui {

// A running job shown in a TDFMProgresso. Creating it shows the window, application modal and
// above the active window (so that its Cancelar can be clicked over a modal window too), and
// disables every other visible top-level window of the program, so no second job can be
// started meanwhile;
// destroying it closes the window and enables again exactly the windows it disabled (those that
// still exist).
//
// step() is called once per item of reports with millions of items, so it only counts and reads
// a flag. A ticker thread raises the flag every kRefreshMs; the next step() then updates the
// bar, draws the next animation frame and lets the program process pending events (repaint,
// the cancel button). Slow steps (a printed page) therefore refresh the window at each step,
// fast ones about every 50 ms. The last step always shows the full bar.
class WindowProgress final : public Progress {
public:
    WindowProgress(const ProgressInfo& info, TDFMProgresso::AskFunction ask);
    ~WindowProgress() override;
    WindowProgress(const WindowProgress&) = delete;
    WindowProgress& operator=(const WindowProgress&) = delete;

    void setMaximum(qint64 maximum) override;
    void setValue(qint64 value) override;
    void step() override;

    qint64 value() const { return m_value; }
    qint64 maximum() const { return m_maximum; }
    TDFMProgresso& window() const { return *m_window; }

    // Makes the next step or value refresh the window, as the ticker does when its interval
    // has passed.
    void requestRefresh() noexcept { m_refreshDue.store(true, std::memory_order_relaxed); }

    static constexpr int kRefreshMs = 50;

private:
    void refresh();

    std::unique_ptr<TDFMProgresso> m_window;
    std::vector<QPointer<QWidget>> m_disabled;
    qint64 m_value = 0;
    qint64 m_maximum = 0;
    qint64 m_divisor = 1; // the bar holds an int: large counts are shown divided
    std::atomic<bool> m_refreshDue{false};
    std::jthread m_ticker; // last member: stopped and joined first
};

} // namespace zr::textreport::ui
