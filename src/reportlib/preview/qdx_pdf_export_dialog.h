#pragma once

// TqdxPDFExportDialog: the options of a PDF export of prepared pages (page range, export
// settings, document information, security, viewer preferences), then the save dialog for the
// target file. Every caption comes from the library's string table (qdxResources()).
//
// Typical use by a window that exports:
//     pdf::TqdxPDFExport filter;
//     filter.Report = &report;
//     if (TqdxPDFExportDialog::Execute(filter, this, qp3Path)) {
//         filter.ShowDialog = false;
//         render::Export(report.PreviewPages(), &filter, true);
//     }

#include "reportlib/pdf/qdx_export_pdf.h"

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace zr::reportlib::preview {

// What the save dialog is asked to show.
struct TqdxPDFSaveRequest {
    QString caption;       // the options dialog's title
    QString directory;     // DefaultPath; empty: the desktop's choice
    QString fileName;      // the proposed name (may carry a folder)
    QString filter;        // Qt form: "Ficheiro Adobe PDF (*.pdf)"
    QString defaultSuffix; // without the dot: "pdf"
    bool overwritePrompt = false;
};

class TqdxPDFExportDialog final : public QDialog {
    Q_OBJECT

public:
    // Runs the save dialog over `parent`; returns the chosen path, or "" when cancelled.
    using SaveFileHook =
        std::function<QString(QWidget* parent, const TqdxPDFSaveRequest& request)>;
    // Runs the options dialog in place of its modal loop; returns QDialog::Accepted or Rejected.
    using DialogRunner = std::function<int(TqdxPDFExportDialog& dialog)>;

    // Loads the controls from `filter`, which must outlive the dialog and is written only when
    // the dialog is accepted. `reportFileName` (the prepared report's file, may be empty) gives
    // the proposed PDF name when the filter has no FileName.
    explicit TqdxPDFExportDialog(pdf::TqdxPDFExport& filter, QWidget* parent = nullptr,
                                 const QString& reportFileName = {});
    ~TqdxPDFExportDialog() override;

    // Checks the quality, the page numbers, that permissions taken away have an owner password
    // other than the opening one, and that the passwords suit the encryption; when all are good
    // writes every control into the filter and closes with Accepted. Otherwise shows the error,
    // focuses the field at fault and stays open with the filter untouched. "OK" and Enter on it
    // come here.
    void accept() override;

    // The name the save dialog proposes: FileName, else the report file's name (without its
    // folder) with the extension ".pdf", else "".
    QString ProposedFileName() const;
    // The request for the save dialog from the filter's current properties.
    TqdxPDFSaveRequest SaveRequest() const;

    // The options dialog, then (when confirmed) the save dialog. True when both were confirmed;
    // FileName then holds the chosen file. Cancelling the save dialog keeps the options written
    // by "OK". Uses the hooks set with SetHooks, else the modal loop and the desktop's dialog.
    static bool Execute(pdf::TqdxPDFExport& filter, QWidget* parent = nullptr,
                        const QString& reportFileName = {});
    // The same with the given runner and save hook (null ones: the real dialogs).
    static bool Execute(pdf::TqdxPDFExport& filter, QWidget* parent,
                        const QString& reportFileName, const DialogRunner& run,
                        const SaveFileHook& saveFile);
    // Replaces, for the whole process, what Execute(filter, parent, name) runs: tests of the
    // windows that export set these; null restores the real dialogs.
    static void SetHooks(DialogRunner run, SaveFileHook saveFile);

    // The desktop's save dialog: QFileDialog in save mode, asking before replacing a file only
    // when the request says so, and adding the default suffix to a name without one.
    static QString RunSaveDialog(QWidget* parent, const TqdxPDFSaveRequest& request);
    // "Description|pattern[|Description|pattern...]" as a Qt file-dialog filter.
    static QString QtFilter(const QString& pipeFilter);

    // How refused input is reported; by default a warning box over the dialog. Tests replace it.
    std::function<void(const QString& message)> ShowError;

    // ---- The controls, named as in the form.
    QTabWidget* PageControl1 = nullptr;
    QWidget* ExportPage = nullptr;
    QGroupBox* GroupPageRange = nullptr;
    QRadioButton* AllRB = nullptr;
    QRadioButton* CurPageRB = nullptr;
    QRadioButton* PageNumbersRB = nullptr;
    QLineEdit* PageNumbersE = nullptr;
    QLabel* DescrL = nullptr;
    QGroupBox* GroupQuality = nullptr;
    QCheckBox* CompressedCB = nullptr;
    QCheckBox* EmbeddedCB = nullptr;
    QCheckBox* BackgrCB = nullptr;
    QCheckBox* PrintOptCB = nullptr;
    QCheckBox* OutlineCB = nullptr;
    QCheckBox* PdfACB = nullptr; // archival PDF/A-2a (no password then)
    QLabel* Label2 = nullptr;
    QLineEdit* Quality = nullptr;
    QCheckBox* OpenCB = nullptr;

    QWidget* InfoPage = nullptr;
    QGroupBox* DocInfoGB = nullptr;
    QLineEdit* TitleE = nullptr;
    QLineEdit* AuthorE = nullptr;
    QLineEdit* SubjectE = nullptr;
    QLineEdit* KeywordsE = nullptr;
    QLineEdit* CreatorE = nullptr;
    QLineEdit* ProducerE = nullptr;

    QWidget* SecurityPage = nullptr;
    QGroupBox* SecGB = nullptr;
    QLineEdit* OwnPassE = nullptr;
    QLineEdit* UserPassE = nullptr;
    QCheckBox* AesCB = nullptr; // AES-256 instead of RC4 (off by default)
    QGroupBox* PermGB = nullptr;
    QCheckBox* PrintCB = nullptr;
    QCheckBox* ModCB = nullptr;
    QCheckBox* CopyCB = nullptr;
    QCheckBox* AnnotCB = nullptr;

    QWidget* ViewerPage = nullptr;
    QGroupBox* ViewerGB = nullptr;
    QCheckBox* HideToolbarCB = nullptr;
    QCheckBox* HideMenubarCB = nullptr;
    QCheckBox* HideWindowUICB = nullptr;
    QCheckBox* FitWindowCB = nullptr;
    QCheckBox* CenterWindowCB = nullptr;
    QCheckBox* PrintScalingCB = nullptr;

    QPushButton* OkB = nullptr;
    QPushButton* CancelB = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void loadFromFilter();
    void writeToFilter(int quality);
    bool refuse(QWidget* page, QLineEdit* field, const QString& message);

    pdf::TqdxPDFExport& m_filter;
    QString m_reportFileName;
};

} // namespace zr::reportlib::preview
