#pragma once

// The text report preview window: shows the open report page by page and is the user's console
// for printing, saving and exporting, loading another saved report, searching, zooming and
// paging.

#include "preview_dialogs.h"

#include <QDialog>
#include <QPicture>
#include <QPoint>
#include <QSize>

#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QActionGroup;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QPainter;
class QScrollArea;
class QStatusBar;
class QToolButton;
class QWheelEvent;

namespace zr::textreport {
class TGravana;
}

namespace zr::textreport::ui {

class FindDialog;
class PreviewVisor;

// Shows the report of `gravana` in a modal, maximised preview window and returns when the user
// closes it. Meant for TGravana::previewHook. `fileName` is the report's file, by which the
// window remembers where it was left; `startPage` (from 1) opens at that page instead.
void showPreviewWindow(TGravana& gravana, QWidget* parent, const QString& fileName = {},
                       int startPage = 0);

class TDFMPreview final : public QDialog {
    Q_OBJECT

public:
    // The file-type lists of the save, PDF and open dialogs.
    static constexpr const char* kSaveFilter =
        "Relatório Gravana (*.GVP)|*.GVP|Arquivo para Impressão (*.PRN)|*.PRN|"
        "Arquivo Texto (*.TXT)|*.TXT|Arquivo HTML(*.HTM) |*.HTM|Arquivo PDF (*.PDF)|*.PDF";
    static constexpr const char* kPdfFilter = "Arquivo PDF (*.PDF)|*.PDF";
    static constexpr const char* kOpenFilter = "Relatório Gravana (*.GVP)|*.GVP";

    // The window shows the open report of `gravana`, which must outlive it, and marks the
    // report state's preview as active until it is destroyed. The caption, colours, tractor-feed
    // flag and button options are taken from the component here; the toolbar is laid out, the
    // first page shown and the initial zoom applied each time the window is shown.
    explicit TDFMPreview(TGravana& gravana, QWidget* parent = nullptr);
    ~TDFMPreview() override;

    // The file the report came from, and the page to open at (0: where it was left, if the
    // file is unchanged since, else the first); set before the window is shown.
    void setReportFile(const QString& fileName, int startPage = 0);
    // Closing remembers the window's place on the screen and the report's page and zoom.
    void done(int result) override;

    // Replaces the dialogs the window asks its questions with (tests answer from a script).
    void setDialogs(std::unique_ptr<PreviewDialogs> dialogs);
    // The current system printer's name for the status bar; asks the print system unless
    // replaced.
    std::function<QString()> nomeImpressoraAtual;

    // ---- State.
    int paginaAtual() const { return m_pagina; }
    int totalPaginas() const { return m_total; }
    // The zoom in percent; -1 or -2 while a fit request waits for the window to be drawn.
    int zoom() const { return m_zoom; }
    bool remalina() const { return m_remalina; }
    // The size of the page picture, in picture units.
    QSize tamanhoPagina() const { return m_tamanhoPagina; }
    const QPicture& figura() const { return m_figura; }
    // The search's shared start index (an index of the page store).
    int inicioBusca() const { return m_inicioBusca; }
    // The file type the save dialog preselects (from 1).
    int tipoSalvar() const { return m_tipoSalvar; }

    // ---- What the window does; each button's handler first checks that its button is enabled
    // and visible, so the keyboard obeys the options too.
    void FormShow();
    void MostrarPagina();
    void AplicarZoom(int zoom);
    void btIMPRIMIRClick();
    void btPDFClick();
    void btEMAILClick();
    void btSALVARClick();
    void btABRIRClick();
    void btPROCURARClick();
    void btPRIMEIRAClick();
    void btANTERIORClick();
    void btDIRETOClick();
    void btPROXIMAClick();
    void btULTIMAClick();
    void btLARGURAClick();
    void btFULLClick();
    void btAumentaClick();
    void btDiminuiClick();
    void btFECHARClick();
    // The find dialog's find-next (and F3).
    void FindDialog1Find();
    // The window's keyboard map; true when the key was one of it.
    bool FormKeyDown(QKeyEvent& event);
    // The mouse wheel: away from the user acts as Up, towards the user as Down.
    void FormMouseWheel(QWheelEvent& event);

    // ---- Components.
    QWidget* PanelH = nullptr;
    QToolButton* btIMPRIMIR = nullptr;
    QFrame* Separa1 = nullptr;
    QToolButton* btPDF = nullptr;
    QToolButton* btEMAIL = nullptr;
    QToolButton* btSALVAR = nullptr;
    QToolButton* btABRIR = nullptr;
    QToolButton* btPROCURAR = nullptr;
    QFrame* Separa2 = nullptr;
    QToolButton* btPRIMEIRA = nullptr;
    QToolButton* btANTERIOR = nullptr;
    QToolButton* btDIRETO = nullptr;
    QToolButton* btPROXIMA = nullptr;
    QToolButton* btULTIMA = nullptr;
    QFrame* Separa3 = nullptr;
    QToolButton* btLARGURA = nullptr;
    QToolButton* btFULL = nullptr;
    QToolButton* btAumenta = nullptr;
    QToolButton* btDiminui = nullptr;
    QFrame* Separa4 = nullptr;
    QToolButton* btFECHAR = nullptr;
    QScrollArea* Scroller = nullptr;
    QWidget* VISOR = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    // The five status panels: page, zoom, printer, model, and an empty one.
    QLabel* Panels[5] = {};
    QMenu* PopupMenu1 = nullptr;
    QActionGroup* ZoomGroup = nullptr;
    FindDialog* FindDialog1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class PreviewVisor;

    QToolButton* makeButton(const char* name, int width);
    QFrame* makeSeparator(const char* name);
    void buildPopupMenu();
    void layoutToolbar();
    void atualizarImpressora();
    // Sizes the page panel for the widest text it shows for the report's page count.
    void ajustarPainelPagina();
    // Opens the zoom menu from the keyboard (Shift+F10, the Menu key).
    void abrirMenu();
    // Fits, clamps and sizes the page box for the current zoom (a fit request waits until the
    // window is on screen), and shows the zoom in its panel.
    void ajustarVisor();
    void rolarVertical(int direction, int pixels = 0);
    void rolar(int dx, int dy);
    // The page under the mouse, drawn and dragged.
    void VISORPaint(QPainter& painter);
    void VISORMouseDown(QPoint at);
    void VISORMouseMove(QPoint at);
    void VISORMouseUp();
    bool usable(const QAbstractButton* button) const;
    // Runs an operation of the component; a failure it throws is shown, never let loose.
    void guarded(const std::function<void()>& operation);
    // A status panel's text, which is also what a screen reader hears of it.
    void setPanel(int index, const QString& text);
    // The page (and, in m_zoomDeAbertura, the zoom) a report opens at.
    int paginaDeAbertura(int zoomPadrao);
    void lembrarLugar();

    TGravana& m_gravana;
    std::unique_ptr<PreviewDialogs> m_dialogs;
    int m_pagina = 1;
    int m_total = 1;
    int m_zoom = 100;
    QPicture m_figura;
    QSize m_tamanhoPagina;
    bool m_remalina = false;
    bool m_arrastando = false;
    QPoint m_pontoInicial;
    int m_inicioBusca = 0;
    int m_tipoSalvar = 3;
    int m_giroRoda = 0; // wheel rotation not yet acted on, in eighths of a degree
    QString m_arquivoAberto; // the report last opened in this window, empty when none
    QString m_arquivoRelatorio; // the file of the report shown, empty when unknown
    int m_paginaInicial = 0;
    int m_zoomDeAbertura = 100;
    bool m_modeloConfirmado = false; // a print setup has set the component's model
};

} // namespace zr::textreport::ui
