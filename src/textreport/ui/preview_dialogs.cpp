#include "preview_dialogs.h"

#include "platform/files/recent_reports.h"
#include "preview_rules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>

#include <algorithm>

namespace zr::textreport::ui {

namespace {

QFileDialog* makeFileDialog(QWidget& owner, const char* name, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(&owner);
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setAcceptMode(mode);
    // Qt's own dialog shows the filter captions exactly as written and hides their patterns.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    return dialog;
}

// Qt's file-type box and file name box. With the patterns hidden, the box's texts are not the
// dialog's name filters (selectedNameFilter() matches none of them), so the type is read and set
// by its position, which is that of the filter.
QComboBox* typeBox(const QFileDialog& dialog) {
    return dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
}

QLineEdit* nameBox(const QFileDialog& dialog) {
    return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

// The entry (from 1) of the filter shown in the type box.
int chosenFilter(const QFileDialog& dialog, const QStringList& filters, int fallback) {
    if (const QComboBox* types = typeBox(dialog); types && types->currentIndex() >= 0) {
        return types->currentIndex() + 1;
    }
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    return chosen < 0 ? fallback : int(chosen) + 1;
}

void setUp(QFileDialog& dialog, const FileRequest& request, QStringList& filters) {
    filters = nameFiltersOf(request.filter);
    dialog.setWindowTitle(request.title);
    dialog.setNameFilters(filters);
    const int index = std::clamp(request.filterIndex, 1, int(std::max<qsizetype>(filters.size(), 1)));
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.at(index - 1));
        if (QComboBox* types = typeBox(dialog); types && types->currentIndex() != index - 1) {
            types->setCurrentIndex(index - 1);
        }
    }
    dialog.setDirectory(request.directory);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.fileName);
}

} // namespace

QtPreviewDialogs::QtPreviewDialogs(QWidget& owner) : m_owner(owner) {}

std::optional<QString> QtPreviewDialogs::inputText(const QString& caption,
                                                   const QString& prompt) {
    QInputDialog box(&m_owner);
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Cancelar"));
    // As large as its layout asks, and wide enough for its title beside the title bar's buttons.
    box.adjustSize();
    const int titleWidth = box.fontMetrics().horizontalAdvance(caption) + 160;
    box.resize(std::max(box.sizeHint().width(), titleWidth), box.sizeHint().height());
    if (box.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return box.textValue();
}

std::optional<FileChoice> QtPreviewDialogs::saveFile(const FileRequest& request) {
    if (!m_save) {
        m_save = makeFileDialog(m_owner, "SaveDialog1", QFileDialog::AcceptSave);
        // The name saved to may get the chosen type's extension, so a question about replacing
        // the name typed would be about another file.
        m_save->setOption(QFileDialog::DontConfirmOverwrite);
        // A typed extension of one of the types picks that type, as the user types it. The box
        // is set directly: picking a filter through the dialog would rewrite the name's
        // extension in the filter's case.
        if (QLineEdit* name = nameBox(*m_save)) {
            QObject::connect(name, &QLineEdit::textChanged, m_save, [this](const QString& text) {
                QComboBox* types = typeBox(*m_save);
                const int typed = filterIndexOfName(m_saveFilter, text, 0);
                if (types && typed >= 1 && typed <= types->count() &&
                    types->currentIndex() != typed - 1) {
                    types->setCurrentIndex(typed - 1);
                }
            });
        }
        m_archival = new QCheckBox(QStringLiteral("PDF/A-2a (arquivamento acessível)"), m_save);
        m_archival->setObjectName(QStringLiteral("PdfACB"));
        if (auto* grid = qobject_cast<QGridLayout*>(m_save->layout())) {
            grid->addWidget(m_archival, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    m_archival->setVisible(request.archivalChoice);
    m_archival->setChecked(request.archival);
    QStringList filters;
    m_saveFilter = request.filter;
    setUp(*m_save, request, filters);
    if (m_save->exec() != QDialog::Accepted || m_save->selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return FileChoice{m_save->selectedFiles().constFirst(),
                      chosenFilter(*m_save, filters, request.filterIndex),
                      request.archivalChoice && m_archival->isChecked()};
}

std::optional<QString> QtPreviewDialogs::openFile(const FileRequest& request) {
    if (!m_open) {
        m_open = makeFileDialog(m_owner, "OpenDialog1", QFileDialog::AcceptOpen);
        m_open->setFileMode(QFileDialog::ExistingFile);
    }
    QStringList filters;
    setUp(*m_open, request, filters);
    // The folders of the reports opened last, to go back to.
    m_open->setHistory(recentReportFolders());
    if (m_open->exec() != QDialog::Accepted || m_open->selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return m_open->selectedFiles().constFirst();
}

} // namespace zr::textreport::ui
