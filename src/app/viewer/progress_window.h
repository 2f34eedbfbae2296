#pragma once

#include "platform/interaction/interaction.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zr::app {

// The small modeless window shown while a job runs: what is being done (caption and label), a
// progress bar and a "&Cancelar" button. The window only shows; the job drives the bar through
// WidgetProgress. Closing it from the window manager or with Escape is a cancel request too.
class ProgressWindow final : public QDialog {
    Q_OBJECT

public:
    // Asks a Yes/No question; true means Yes.
    using AskFunction = std::function<bool(const QString& question)>;

    static constexpr const char* kCancelQuestion = "Deseja realmente Cancelar ?";

    // `ask` puts the cancel question to the user; it must be callable while the window lives.
    ProgressWindow(const ProgressInfo& info, AskFunction ask, QWidget* parent = nullptr);

    // Asks the cancel question and, on Yes, sets the process-wide cancel request. The window
    // stays: the job notices the request at its next poll and closes it.
    void sbCancelarClick();

    QLabel* NOMEREL = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* sbCancelar = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    AskFunction m_ask;
    bool m_asking = false;
};

} // namespace zr::app
