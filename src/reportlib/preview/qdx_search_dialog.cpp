#include "qdx_search_dialog.h"

#include "reportlib/print/qdx_res.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zr::reportlib::preview {

namespace {

// The remembered text lives on the GUI thread only, like the dialogs that use it.
QString& rememberedText() {
    static QString text;
    return text;
}

} // namespace

QString TqdxSearchDialog::RememberedText() { return rememberedText(); }

void TqdxSearchDialog::ResetRememberedText() { rememberedText().clear(); }

TqdxSearchDialog::TqdxSearchDialog(QWidget* parent, bool rightToLeft) : QDialog(parent) {
    TqdxResources& res = qdxResources();
    setObjectName(QStringLiteral("TqdxSearchDialog"));
    setWindowTitle(res.Text(300));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    if (rightToLeft) {
        setLayoutDirection(Qt::RightToLeft);
    }

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 4, 8, 8);
    outer->setSpacing(4);

    TextL = new QLabel(res.Text(301), this);
    TextE = new QLineEdit(this);
    TextE->setObjectName(QStringLiteral("TextE"));
    TextE->setMinimumWidth(237);
    TextE->setAccessibleName(TextL->text());
    TextL->setBuddy(TextE);
    outer->addWidget(TextL);
    outer->addWidget(TextE);

    ReplacePanel = new QWidget(this);
    auto* replaceRow = new QVBoxLayout(ReplacePanel);
    replaceRow->setContentsMargins(0, 0, 0, 0);
    ReplaceL = new QLabel(res.Text(303), ReplacePanel);
    ReplaceE = new QLineEdit(ReplacePanel);
    ReplaceE->setAccessibleName(ReplaceL->text());
    replaceRow->addWidget(ReplaceL);
    replaceRow->addWidget(ReplaceE);
    ReplacePanel->hide();
    outer->addWidget(ReplacePanel);

    SearchL = new QGroupBox(res.Text(302), this);
    SearchL->setAccessibleName(res.Text(302).trimmed());
    auto* options = new QVBoxLayout(SearchL);
    TopCB = new QCheckBox(res.Text(304), SearchL);
    TopCB->setObjectName(QStringLiteral("TopCB"));
    TopCB->setAccessibleName(TopCB->text());
    CaseCB = new QCheckBox(res.Text(305), SearchL);
    CaseCB->setObjectName(QStringLiteral("CaseCB"));
    CaseCB->setAccessibleName(CaseCB->text());
    options->addWidget(TopCB);
    options->addWidget(CaseCB);
    outer->addWidget(SearchL);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    OkB = new QPushButton(res.Text(1), this);
    OkB->setObjectName(QStringLiteral("OkB"));
    OkB->setAccessibleName(OkB->text());
    OkB->setDefault(true);
    CancelB = new QPushButton(res.Text(2), this);
    CancelB->setObjectName(QStringLiteral("CancelB"));
    CancelB->setAccessibleName(CancelB->text());
    // A focused push button takes Enter for itself (auto-default), so Enter on Cancel cancels.
    CancelB->setAutoDefault(true);
    buttons->addWidget(OkB);
    buttons->addWidget(CancelB);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(OkB, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelB, &QPushButton::clicked, this, &QDialog::reject);
}

void TqdxSearchDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TopCB->setChecked(false);
    CaseCB->setChecked(false);
    TextE->setText(rememberedText());
    TextE->selectAll();
    TextE->setFocus(Qt::ActiveWindowFocusReason);
}

void TqdxSearchDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        qdxResources().Help(this);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TqdxSearchDialog::done(int result) {
    if (result == QDialog::Accepted) {
        rememberedText() = TextE->text();
    }
    QDialog::done(result);
}

} // namespace zr::reportlib::preview
