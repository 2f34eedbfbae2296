#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;
class QWidget;

namespace zr::app {

// The printing-help window: explains which printer model to choose when printing saved text
// reports, in a read-only formatted text, with a "&Retornar" button that closes it.
class TfrmAjudaImp final : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAjudaImp(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* lblPrezadoCliente = nullptr;
    QLabel* LblTexto = nullptr;
    QTextEdit* mmAjuda = nullptr;
    QWidget* pnlRodape = nullptr;
    QPushButton* btbtnRetornar = nullptr;

private:
    void fillHelpText();
};

} // namespace zr::app
