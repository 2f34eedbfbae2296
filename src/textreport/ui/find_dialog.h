#pragma once

// A small modeless find dialog: the text, match case, the direction (down preset) and a
// "find next" button. The whole-word option is shown but cannot be used: reports are searched
// item by item, not by words.

#include "textreport/gravana.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zr::textreport::ui {

class FindDialog final : public QDialog {
public:
    explicit FindDialog(QWidget* parent = nullptr);

    QString findText() const;
    void setFindText(const QString& text);
    bool matchCase() const;
    SearchDirection direction() const;

    // Called by the find-next button (and Enter in the text).
    std::function<void()> onFindNext;

    QLineEdit* edText = nullptr;
    QCheckBox* cbPalavraInteira = nullptr;
    QCheckBox* cbMaiusculas = nullptr;
    QRadioButton* rbAcima = nullptr;
    QRadioButton* rbAbaixo = nullptr;
    QPushButton* btLocalizar = nullptr;
    QPushButton* btCancelar = nullptr;
};

} // namespace zr::textreport::ui
