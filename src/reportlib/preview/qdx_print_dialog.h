#pragma once

// TqdxPrintDialog: printer, print to file, pages, copies and collation, page filter, order,
// duplex, print mode and the sheet of the modes that use one. Every caption comes from the
// library's string table (qdxResources()).
//
// Typical use by a print job:
//     int duplex = report.PrintOptions.Duplex;
//     if (!TqdxPrintDialog::Execute(report, duplex, window))
//         return; // cancelled: nothing printed
//     // report.PrintOptions now holds the choices, the chosen printer is current and its
//     // OutputFile() is the file to print to ("" for the printer).
//
// While the user picks printers the process's current printer follows the choice; when the
// dialog is not confirmed the printer current before it is selected again.

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace zr::reportlib {
class TqdxReport;
}

namespace zr::reportlib::preview {

class TqdxPrintDialog final : public QDialog {
    Q_OBJECT

public:
    // Runs the save dialog for printing to a file; returns the chosen path, or "" when cancelled.
    using SaveFileHook = std::function<QString(QWidget* parent, const QString& caption,
                                               const QString& filter)>;
    // Runs the dialog in place of its modal loop; returns QDialog::Accepted or Rejected.
    using DialogRunner = std::function<int(TqdxPrintDialog& dialog)>;

    // Loads the controls from the report's PrintOptions and `duplex` (TqdxDuplexMode). The
    // report must outlive the dialog; it is written only when the dialog is confirmed.
    TqdxPrintDialog(TqdxReport& report, int duplex, QWidget* parent = nullptr);
    ~TqdxPrintDialog() override;

    // Checks the page numbers; refused ones keep the dialog open. Then asks for the file when
    // printing to a file (cancelling it cancels the dialog) and writes the options.
    void accept() override;
    // Cancelling selects the printer that was current before the dialog again.
    void reject() override;

    // The duplex choice (TqdxDuplexMode); after confirming, the chosen one.
    int Duplex() const { return m_duplex; }
    // The printer index current when the dialog was created.
    int RememberedPrinter() const { return m_rememberedPrinter; }

    // The dialog, shown modally (or by the runner set with SetHooks). True when confirmed; the
    // report's PrintOptions and `duplex` then hold the choices.
    static bool Execute(TqdxReport& report, int& duplex, QWidget* parent = nullptr);
    // Replaces, for the whole process, the modal loop and the file dialog (tests); null
    // restores the real ones.
    static void SetHooks(DialogRunner run, SaveFileHook saveFile);

    // The file chosen for printing to a file: the name with its extension made ".pdf" (the job
    // writes a PDF).
    static QString PrinterFileName(const QString& chosen);

    // How refused input is reported; by default a warning box over the dialog. Tests replace it.
    std::function<void(const QString& message)> ShowError;
    // The file dialog of "Imprimir para ficheiro"; by default the process's hook or QFileDialog.
    SaveFileHook SaveFile;

    // ---- The controls, named as in the form.
    QGroupBox* Label12 = nullptr;
    QLabel* NameL = nullptr;
    QComboBox* PrintersCB = nullptr;
    QPushButton* PropButton = nullptr;
    QLabel* WhereL = nullptr;
    QLabel* WhereL1 = nullptr;
    QCheckBox* FileCB = nullptr;
    QGroupBox* Label1 = nullptr;
    QRadioButton* AllRB = nullptr;
    QRadioButton* CurPageRB = nullptr;
    QRadioButton* PageNumbersRB = nullptr;
    QLineEdit* PageNumbersE = nullptr;
    QLabel* DescrL = nullptr;
    QGroupBox* Label2 = nullptr;
    QLabel* CopiesL = nullptr;
    QSpinBox* CopiesE = nullptr; // the edit and its up-down, 1 to 1000
    QCheckBox* CollateCB = nullptr;
    QLabel* CopiesPB = nullptr;
    QGroupBox* OtherGB = nullptr;
    QLabel* PrintL = nullptr;
    QComboBox* PrintPagesCB = nullptr;
    QLabel* OrderL = nullptr;
    QComboBox* OrderCB = nullptr;
    QLabel* DuplexL = nullptr;
    QComboBox* DuplexCB = nullptr;
    QGroupBox* ScaleGB = nullptr;
    QComboBox* PrintModeCB = nullptr;
    QLabel* PagSizeL = nullptr;
    QComboBox* PagPageSizeCB = nullptr;
    QPushButton* OkB = nullptr;
    QPushButton* CancelB = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void loadFromReport();
    void printerChanged();
    void printModeChanged();
    void showDriverProperties();
    void paintCopies();
    int sheetCode() const;
    void selectSheet(int code);

    TqdxReport& m_report;
    int m_duplex = 0;
    int m_rememberedPrinter = -1;
};

} // namespace zr::reportlib::preview
