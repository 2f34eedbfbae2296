#include "printing_help_window.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace zr::app {

TfrmAjudaImp::TfrmAjudaImp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAjudaImp"));
    setWindowTitle(QStringLiteral("Ajuda - Impressão de Documentos"));
    setFixedSize(552, 304);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/impressora_32.png")));
    Image1->setFixedSize(32, 32);

    lblPrezadoCliente = new QLabel(QStringLiteral("\"Prezado Cliente\""), this);
    lblPrezadoCliente->setObjectName(QStringLiteral("lblPrezadoCliente"));
    QFont bold = lblPrezadoCliente->font();
    bold.setBold(true);
    lblPrezadoCliente->setFont(bold);

    LblTexto = new QLabel(QStringLiteral("Saiba mais sobre, Impressão de Documentos"), this);
    LblTexto->setObjectName(QStringLiteral("LblTexto"));

    mmAjuda = new QTextEdit(this);
    mmAjuda->setObjectName(QStringLiteral("mmAjuda"));
    mmAjuda->setReadOnly(true);
    // Read-only, but the caret stays, so the text can be walked and selected with the keyboard.
    mmAjuda->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

    pnlRodape = new QWidget(this);
    pnlRodape->setObjectName(QStringLiteral("pnlRodape"));
    btbtnRetornar = new QPushButton(QStringLiteral("&Retornar"), pnlRodape);
    btbtnRetornar->setObjectName(QStringLiteral("btbtnRetornar"));
    btbtnRetornar->setDefault(true);
    btbtnRetornar->setAccessibleName(QStringLiteral("Retornar"));
    mmAjuda->setAccessibleName(LblTexto->text());
    Image1->setAccessibleName(QStringLiteral("Impressora"));
    connect(btbtnRetornar, &QPushButton::clicked, this, &QDialog::accept);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(lblPrezadoCliente);
    titles->addWidget(LblTexto);
    auto* header = new QHBoxLayout;
    header->addWidget(Image1, 0, Qt::AlignTop);
    header->addLayout(titles, 1);
    auto* footer = new QHBoxLayout(pnlRodape);
    footer->setContentsMargins(0, 0, 0, 0);
    footer->addStretch(1);
    footer->addWidget(btbtnRetornar);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(mmAjuda, 1);
    layout->addWidget(pnlRodape);

    fillHelpText();
}

void TfrmAjudaImp::fillHelpText() {
    struct Paragraph {
        const char* text;
        bool bold;
        bool italic;
        Qt::Alignment alignment;
    };
    static const Paragraph paragraphs[] = {
        {"Para a correta impressão dos formulários, verifique qual o \"Modelo de Impressora\" "
         "foi gerado o arquivo original, onde deverá corresponder com o utilizado pelo "
         "Visualizador Zeral.",
         false, false, Qt::AlignLeft},
        {"Modelos de Impressora:", true, false, Qt::AlignLeft},
        {"Epson = Toda a linha Epson matriciais/Jato de Tinta/Laser e impressoras que utilizem "
         "a linguagem ESC/ESCP/ESCP2 ou que são compatíveis com o padrão Epson. (ex. Grafix).",
         false, false, Qt::AlignLeft},
        {"HP = Toda linha HP laser e Jato e Tinta e impressoras que utilizem a linguagem padrão "
         "PCL nível 3 ou superior.",
         false, false, Qt::AlignLeft},
        {"Rima = Todos os modelos nacionais de impressoras Rima e Emilia PC.", false, false,
         Qt::AlignLeft},
        {"Gráfico (impressora do sistema) = Impressão em modo Gráfico pela impressora do "
         "sistema, pode ser utilizados em TODAS as impressoras instaladas no sistema. Indicado "
         "principalmente para as algumas impressoras Laser ou Jato de Tinta que não suportam a "
         "impressão em modo direto. A impressão será uma cópia fiel do preview.",
         false, false, Qt::AlignLeft},
        {"Personalizado = Modelo com comandos de controle personalizados pelo usuário. Utilize "
         "este modelo quando for imprimir em impressoras ESPECIAIS que possuem comando próprios "
         "e incompatíveis com o padrão do mercado.",
         false, false, Qt::AlignLeft},
        {"", false, false, Qt::AlignLeft},
        {"Para maiores informações entre em contato com nosso Suporte Tecnológico.", false, false,
         Qt::AlignLeft},
        {"Atenciosamente,", false, false, Qt::AlignLeft},
        {"Consultoria - Zeral.", false, true, Qt::AlignRight},
    };

    mmAjuda->clear();
    QTextCursor cursor(mmAjuda->document());
    bool first = true;
    for (const Paragraph& p : paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(p.alignment);
        QTextCharFormat chars;
        chars.setFontWeight(p.bold ? QFont::Bold : QFont::Normal);
        chars.setFontItalic(p.italic);
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(chars);
            first = false;
        } else {
            cursor.insertBlock(block, chars);
        }
        cursor.insertText(QString::fromUtf8(p.text), chars);
    }
    mmAjuda->moveCursor(QTextCursor::Start);
}

} // namespace zr::app
