#include "find_dialog.h"

#include "accessible_caption.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace zr::textreport::ui {

FindDialog::FindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(QStringLiteral("Procurar"));
    setModal(false);

    auto* label = new QLabel(QStringLiteral("&Procurar:"), this);
    edText = new QLineEdit(this);
    edText->setObjectName(QStringLiteral("edText"));
    label->setBuddy(edText);

    cbPalavraInteira = new QCheckBox(QStringLiteral("Somente palavras &inteiras"), this);
    cbPalavraInteira->setObjectName(QStringLiteral("cbPalavraInteira"));
    cbPalavraInteira->setEnabled(false);
    cbMaiusculas = new QCheckBox(QStringLiteral("&Diferenciar maiúsculas de minúsculas"), this);
    cbMaiusculas->setObjectName(QStringLiteral("cbMaiusculas"));

    auto* direction = new QGroupBox(QStringLiteral("Direção"), this);
    rbAcima = new QRadioButton(QStringLiteral("&Acima"), direction);
    rbAcima->setObjectName(QStringLiteral("rbAcima"));
    rbAbaixo = new QRadioButton(QStringLiteral("A&baixo"), direction);
    rbAbaixo->setObjectName(QStringLiteral("rbAbaixo"));
    rbAbaixo->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(rbAcima);
    directionLayout->addWidget(rbAbaixo);

    btLocalizar = new QPushButton(QStringLiteral("&Localizar próxima"), this);
    btLocalizar->setObjectName(QStringLiteral("btLocalizar"));
    btLocalizar->setDefault(true);
    btLocalizar->setEnabled(false);
    btCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    btCancelar->setObjectName(QStringLiteral("btCancelar"));
    // Enter on a focused button presses that button; anywhere else it finds the next match.
    btLocalizar->setAutoDefault(true);
    btCancelar->setAutoDefault(true);

    setAccessibleCaption(edText, label->text());
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             cbPalavraInteira, cbMaiusculas, rbAcima, rbAbaixo, btLocalizar, btCancelar}) {
        setAccessibleCaption(b, b->text());
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(edText, 0, 1, 1, 2);
    grid->addWidget(btLocalizar, 0, 3);
    grid->addWidget(cbPalavraInteira, 1, 0, 1, 2);
    grid->addWidget(btCancelar, 1, 3);
    grid->addWidget(cbMaiusculas, 2, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);

    connect(edText, &QLineEdit::textChanged, this,
            [this](const QString& text) { btLocalizar->setEnabled(!text.isEmpty()); });
    connect(btLocalizar, &QPushButton::clicked, this, [this] {
        if (onFindNext) {
            onFindNext();
        }
    });
    connect(btCancelar, &QPushButton::clicked, this, &QDialog::close);
}

QString FindDialog::findText() const {
    return edText->text();
}

void FindDialog::setFindText(const QString& text) {
    edText->setText(text);
}

bool FindDialog::matchCase() const {
    return cbMaiusculas->isChecked();
}

SearchDirection FindDialog::direction() const {
    return rbAcima->isChecked() ? SearchDirection::Up : SearchDirection::Down;
}

} // namespace zr::textreport::ui
