#pragma once

// The progress of long jobs started from the prepared-report preview (export, save): a small
// borderless window with a message, an optional bar and a "Cancelar" button, and the
// Interaction that puts a job's progress in it.
//
// Typical use (the preview window around an export):
//     TqdxWindowInteraction ui(window, report.UserInteraction, &report);
//     ui.SetProgressFormat(qdxResources().Text("prExporting"));   // "Exportando página %d"
//     report.UserInteraction = &ui;       // the export driver calls ui.beginProgress(...)
//     ... export ...
//     report.UserInteraction = previous;
// Cancel sets the report's Terminated flag and the process-wide cancel request; the job notices
// it at its next page.

#include "platform/interaction/interaction.h"

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace zr::reportlib {
class TqdxReport;
}

namespace zr::reportlib::preview {

// The progress window. It is application-modal while shown, so the window that started the
// job takes no input until the job ends; it can be dragged by any point of its face.
class TqdxProgress final : public QDialog {
    Q_OBJECT

public:
    explicit TqdxProgress(QWidget* parent = nullptr, bool rightToLeft = false);

    // Shows the window: terminated cleared, the Cancel button and the bar shown as asked (the
    // message sits 15 pixels from the top with the bar, 35 without), the bar at 0 of `max`.
    // Pending events are processed before it returns.
    void Execute(int max, const QString& message, bool showBar, bool showCancel);
    // Moves the bar, brings the window to the front and processes pending events.
    void SetPosition(int position);
    // Shows `text` at once.
    void SetMessage(const QString& text);
    bool Terminated() const { return m_terminated; }

    // Called once when the user cancels (button, Escape).
    std::function<void()> OnCancel;

    QFrame* Panel = nullptr;
    QLabel* LMessage = nullptr;
    QProgressBar* Bar = nullptr;
    QPushButton* CancelB = nullptr;

    static constexpr int kWidth = 271;
    static constexpr int kHeight = 101;

    void reject() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void cancelClicked();

    bool m_terminated = false;
    QPoint m_dragOffset;
    bool m_dragging = false;
};

// One job's progress in a TqdxProgress. The message shows the progress format with the value
// in place of "%d"; the bar appears when the job announces how many steps it has.
class TqdxWindowProgress final : public Progress {
public:
    TqdxWindowProgress(QWidget* parent, const ProgressInfo& info, QString format,
                       TqdxReport* report, bool rightToLeft = false);
    ~TqdxWindowProgress() override;
    TqdxWindowProgress(const TqdxWindowProgress&) = delete;
    TqdxWindowProgress& operator=(const TqdxWindowProgress&) = delete;

    void setMaximum(qint64 maximum) override;
    void setValue(qint64 value) override;
    void step() override;
    bool cancelled() const override;

    TqdxProgress& window() const { return *m_window; }
    qint64 value() const { return m_value; }

private:
    std::unique_ptr<TqdxProgress> m_window;
    QString m_format;
    QPointer<QWidget> m_focus;
    qint64 m_value = 0;
    qint64 m_maximum = 0;
    qint64 m_divisor = 1; // the bar holds an int
};

// The preview window's Interaction: its own progress window; messages and questions go to the
// Interaction it wraps (the application's), or to plain message boxes when there is none.
class TqdxWindowInteraction final : public Interaction {
public:
    // `window` parents the progress windows; `inner` and `report` may be null.
    TqdxWindowInteraction(QWidget* window, Interaction* inner, TqdxReport* report);

    void message(MessageKind kind, const QString& text, const QString& caption = {}) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::unique_ptr<Progress> beginProgress(const ProgressInfo& info) override;

    // The message the next progress windows show; "%d" stands for the step reached. Empty: the
    // job's own caption followed by the step.
    void SetProgressFormat(const QString& format) { m_format = format; }
    void SetInner(Interaction* inner) { m_inner = inner; }
    Interaction* Inner() const { return m_inner; }
    void SetRightToLeft(bool value) { m_rightToLeft = value; }

    // Called with each progress window when it has been shown (tests press its button).
    std::function<void(TqdxWindowProgress&)> OnProgressShown;

private:
    QPointer<QWidget> m_window;
    Interaction* m_inner;
    TqdxReport* m_report;
    QString m_format;
    bool m_rightToLeft = false;
};

} // namespace zr::reportlib::preview
