#pragma once

#include "platform/printing/system_printer.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace zr::textreport {
class TGravana;
}

namespace zr::textreport::ui {

// The system printers as the print setup dialog sees them. The program uses the print system
// (PrinterSource::system()); tests give fixed printers.
struct PrinterSource {
    // The names of the printers, in the order the list shows them.
    std::function<QStringList()> names;
    // The current printer: its name and port.
    std::function<CurrentPrinter()> current;
    // Makes the named printer the program's current printer.
    std::function<void(const QString& name)> makeCurrent;
    // Runs the system's printer setup dialog over `parent`, starting at the named printer, and
    // returns the printer chosen in it (the same name when nothing changed or it was cancelled).
    std::function<QString(QWidget* parent, const QString& name)> properties;

    // The print system's printers (systemPrinters, ImpressoraAtual, setCurrentPrinter) and the
    // dialog of their own properties.
    static PrinterSource system();
};

// The print setup dialog of the text report component ("Imprimir"): printer, printer model,
// pages, odd/even filter, copies with collation and order, and preview. It opens with the
// component's settings and job options, and writes them back only through applyChoices().
//
// It closes only through its two buttons: "&Ok" (the default button) and "&Cancelar" (also
// Escape). Closing it any other way is refused. Enter presses the focused button when a button
// has the focus ("&Propriedades..." then opens the printer's dialog and the dialog stays), and
// "&Ok" otherwise.
class TDFMsetup final : public QDialog {
    Q_OBJECT

public:
    // The component must outlive the dialog; `printers` is used while the dialog lives.
    TDFMsetup(TGravana& gravana, PrinterSource printers, QWidget* parent = nullptr);
    ~TDFMsetup() override;

    // The model of the printer selected in IMPRESSORAS (through the component's mapping
    // table), selected in MODELOS. Runs on every printer change, when IMPRESSORAS loses the
    // focus and when the dialog is shown; the user may change the model afterwards.
    void EscolherModelo();

    // Writes the choices into the component: port of the current printer, model, page range
    // (empty for all pages, the current page, or the typed range), odd/even filter, collation,
    // order, preview and copies (an empty or zero count is one copy). Call after "&Ok".
    void applyChoices();

    QComboBox* IMPRESSORAS = nullptr;
    QComboBox* MODELOS = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* chkTodas = nullptr;
    QRadioButton* chkAtual = nullptr;
    QRadioButton* chkSelecao = nullptr;
    QLineEdit* EdPaginas = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* EdParImpar = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QSpinBox* UpDown1 = nullptr;   // the up-down 1 ... 50 of the copies field
    QLineEdit* edCOPIAS = nullptr; // the copies field (up to four digits)
    QCheckBox* chkAgrupar = nullptr;
    QCheckBox* chkInverter = nullptr;
    QWidget* Imagem3 = nullptr;
    QCheckBox* chkPreview = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* CANCELAR = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Image3 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    void OKClick();
    void CANCELARClick();
    void BitBtn1Click();
    void selecionarImpressora(const QString& name);

    TGravana& m_gravana;
    PrinterSource m_printers;
    bool m_podeFechar = false;
};

// Runs the print setup dialog for the component, as its setup hook: shows it modally over
// `parent` and, on "&Ok", writes the choices into the component and returns true. Returns false
// on "&Cancelar" (the component decides what cancelling means).
bool runSetupDialog(TGravana& gravana, QWidget* parent);

// The same with given printers, and `run` in place of the modal loop: it receives the prepared
// dialog and returns its result (QDialog::Accepted or Rejected).
using SetupDialogRunner = std::function<int(TDFMsetup& dialog)>;
bool runSetupDialog(TGravana& gravana, QWidget* parent, const PrinterSource& printers,
                    const SetupDialogRunner& run);

} // namespace zr::textreport::ui
