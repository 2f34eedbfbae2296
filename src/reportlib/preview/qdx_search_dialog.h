#pragma once

// The find-text dialog of the prepared-report preview: the text to look for and two options,
// "from the beginning" and "match case". The preview window shows it modally and, after OK,
// runs the preview's search with TextE, CaseCB and TopCB.
//
// The dialog remembers, for the whole process, the last text confirmed with OK and offers it
// the next time it opens. Enter confirms (OK is the default button); Enter on a focused Cancel
// button cancels. F1 opens the help.

#include <QDialog>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace zr::reportlib::preview {

class TqdxSearchDialog final : public QDialog {
    Q_OBJECT

public:
    explicit TqdxSearchDialog(QWidget* parent = nullptr, bool rightToLeft = false);

    // The last text confirmed with OK in any search dialog of this process ("" at start).
    static QString RememberedText();
    // Forgets it (tests, a new session).
    static void ResetRememberedText();

    QLabel* TextL = nullptr;
    QLineEdit* TextE = nullptr;
    // The replace row exists for the layout's sake; the preview never shows it.
    QWidget* ReplacePanel = nullptr;
    QLabel* ReplaceL = nullptr;
    QLineEdit* ReplaceE = nullptr;
    QGroupBox* SearchL = nullptr;
    QCheckBox* TopCB = nullptr;
    QCheckBox* CaseCB = nullptr;
    QPushButton* OkB = nullptr;
    QPushButton* CancelB = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace zr::reportlib::preview
