#pragma once

#include "platform/interaction/interaction.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zr::textreport::ui {

// The small modeless window shown while a long job loads, saves, prints or exports: what is
// being done (caption and label), a progress bar, a little animation and a "&Cancelar" button.
// The window only shows; the job drives the bar through WindowProgress and polls the
// process-wide cancel request. The window has no close button; closing it through the window
// manager, or Escape, asks the cancel question like the button.
class TDFMProgresso final : public QDialog {
    Q_OBJECT

public:
    // Puts a Yes/No question to the user; true means Yes.
    using AskFunction = std::function<bool(const QString& question)>;

    // The animation a caption shows.
    enum class Animacao { Nenhuma, Leitura, Impressao, Gravacao };

    static constexpr const char* kCancelQuestion = "Deseja realmente Cancelar ?";
    static constexpr const char* kDefaultCaption = "Imprimindo...";
    static constexpr int kFrames = 6;
    static constexpr int kFrameWidth = 35;
    static constexpr int kFrameHeight = 34;

    // Builds the window from the job's caption (an empty one shows kDefaultCaption), label and
    // colours, centred on the screen but not shown. `ask` puts the cancel question; it must be
    // callable while the window lives.
    TDFMProgresso(const ProgressInfo& info, AskFunction ask, QWidget* parent = nullptr);

    // Asks the cancel question and, on Yes, sets the process-wide cancel request. The window
    // stays: the job notices the request at its next poll and closes it. Nothing is asked while
    // the question is already open or the request already stands.
    void sbCancelarClick();

    // Advances the animation by one frame (after the last frame comes the first) and redraws it.
    void Timer1Timer();

    // The animation of a caption: "Lendo..." reading, "Imprimindo..." printing, "Gravando..."
    // writing; every other caption none.
    static Animacao animacaoDaLegenda(const QString& caption);

    Animacao animacao() const { return m_animacao; }
    int quadro() const { return m_quadro; }

    // The animation area as it is drawn now: the current frame of the caption's strip on the
    // window colour, or the plain window colour when the caption has no animation.
    QImage imagemDoQuadro() const;

    QLabel* NOMEREL = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* sbCancelar = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    AskFunction m_ask;
    Animacao m_animacao = Animacao::Nenhuma;
    QImage m_faixa; // the six frames side by side, magenta already made transparent
    int m_quadro = 0;
    bool m_perguntando = false;
};

} // namespace zr::textreport::ui
