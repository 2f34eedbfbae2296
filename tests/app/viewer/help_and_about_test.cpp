#include "app/common/version.h"
#include "app/viewer/about_window.h"
#include "app/viewer/printing_help_window.h"
#include "support/accessible_names.h"
#include "support/active_window.h"
#include "support/key_input.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace zr::app {
namespace {

TEST(PrintingHelpWindow, ShowsTheParagraphsInOrderWithTheirEmphasis) {
    TfrmAjudaImp help;
    EXPECT_EQ(help.windowTitle(), QStringLiteral("Ajuda - Impressão de Documentos"));
    EXPECT_EQ(help.lblPrezadoCliente->text(), QStringLiteral("\"Prezado Cliente\""));
    EXPECT_EQ(help.LblTexto->text(), QStringLiteral("Saiba mais sobre, Impressão de Documentos"));
    EXPECT_TRUE(help.mmAjuda->isReadOnly());

    const QStringList expected = {
        QStringLiteral("Para a correta impressão dos formulários, verifique qual o \"Modelo de "
                       "Impressora\" foi gerado o arquivo original, onde deverá corresponder com "
                       "o utilizado pelo Visualizador Zeral."),
        QStringLiteral("Modelos de Impressora:"),
        QStringLiteral("Epson = Toda a linha Epson matriciais/Jato de Tinta/Laser e impressoras "
                       "que utilizem a linguagem ESC/ESCP/ESCP2 ou que são compatíveis com o "
                       "padrão Epson. (ex. Grafix)."),
        QStringLiteral("HP = Toda linha HP laser e Jato e Tinta e impressoras que utilizem a "
                       "linguagem padrão PCL nível 3 ou superior."),
        QStringLiteral("Rima = Todos os modelos nacionais de impressoras Rima e Emilia PC."),
        QStringLiteral("Gráfico (impressora do sistema) = Impressão em modo Gráfico pela "
                       "impressora do sistema, pode ser utilizados em TODAS as impressoras "
                       "instaladas no sistema. Indicado principalmente para as algumas "
                       "impressoras Laser ou Jato de Tinta que não suportam a impressão em modo "
                       "direto. A impressão será uma cópia fiel do preview."),
        QStringLiteral("Personalizado = Modelo com comandos de controle personalizados pelo "
                       "usuário. Utilize este modelo quando for imprimir em impressoras "
                       "ESPECIAIS que possuem comando próprios e incompatíveis com o padrão do "
                       "mercado."),
        QString(),
        QStringLiteral("Para maiores informações entre em contato com nosso Suporte "
                       "Tecnológico."),
        QStringLiteral("Atenciosamente,"),
        QStringLiteral("Consultoria - Zeral."),
    };
    const QTextDocument& doc = *help.mmAjuda->document();
    ASSERT_EQ(doc.blockCount(), expected.size());
    for (int i = 0; i < doc.blockCount(); ++i) {
        const QTextBlock block = doc.findBlockByNumber(i);
        EXPECT_EQ(block.text(), expected[i]) << "paragraph " << i + 1;
        if (block.text().isEmpty()) {
            continue;
        }
        const QTextCharFormat chars = block.begin().fragment().charFormat();
        EXPECT_EQ(chars.fontWeight() == QFont::Bold, i == 1) << "paragraph " << i + 1;
        EXPECT_EQ(chars.fontItalic(), i == 10) << "paragraph " << i + 1;
        EXPECT_EQ(bool(block.blockFormat().alignment() & Qt::AlignRight), i == 10)
            << "paragraph " << i + 1;
    }
    EXPECT_EQ(help.mmAjuda->textCursor().position(), 0);
}

TEST(PrintingHelpWindow, RetornarClosesIt) {
    TfrmAjudaImp help;
    help.show();
    EXPECT_EQ(help.btbtnRetornar->text(), QStringLiteral("&Retornar"));
    help.btbtnRetornar->click();
    EXPECT_FALSE(help.isVisible());
    EXPECT_EQ(help.result(), QDialog::Accepted);
}

TEST(PrintingHelpWindow, EnterOnTheFocusedButtonOrInTheTextReturns) {
    for (const bool onButton : {true, false}) {
        TfrmAjudaImp help;
        ASSERT_TRUE(test::showActive(&help));
        QWidget* target = onButton ? static_cast<QWidget*>(help.btbtnRetornar) : help.mmAjuda;
        test::focusByTab(target);
        ASSERT_EQ(QApplication::focusWidget(), target);
        test::key(target, Qt::Key_Return);
        EXPECT_FALSE(help.isVisible()) << onButton;
        EXPECT_EQ(help.result(), QDialog::Accepted) << onButton;
    }
}

QString accessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

TEST(ViewerWindows, ScreenReadersFindANameForEveryControl) {
    TfrmAjudaImp help;
    EXPECT_EQ(test::namelessControls(&help), "");
    EXPECT_EQ(test::countedControls(&help), 2); // the text and "Retornar"
    EXPECT_EQ(accessibleName(help.btbtnRetornar), QStringLiteral("Retornar"));
    EXPECT_EQ(accessibleName(help.mmAjuda),
              QStringLiteral("Saiba mais sobre, Impressão de Documentos"));

    // The about window has no controls, only pictures that act as a close button and a link:
    // they are named after what they do, and the frameless window after what it is.
    TfrmSobre about;
    EXPECT_EQ(test::namelessControls(&about), "");
    EXPECT_EQ(accessibleName(&about), QStringLiteral("Sobre"));
    EXPECT_EQ(accessibleName(about.imgFecharOff), QStringLiteral("Fechar"));
    EXPECT_EQ(accessibleName(about.imgFecharOn), QStringLiteral("Fechar"));
    EXPECT_EQ(accessibleName(about.imgSite), QStringLiteral("Site https://www.terravel.com.br"));
}

void mouse(QWidget* target, QEvent::Type type, Qt::MouseButton button = Qt::NoButton) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent event(type, at, target->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST(AboutWindow, ShowsVersionAndTheExecutablesDate) {
    TfrmSobre about;
    about.show();
    EXPECT_EQ(about.lbVersaoSistema->text(), QString::fromLatin1(kProgramVersion));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$"))
                    .match(about.lbEdicaoSistema->text())
                    .hasMatch())
        << about.lbEdicaoSistema->text().toStdString();
}

TEST(AboutWindow, CloseButtonLightsUnderTheMouseAndClosesOnClick) {
    TfrmSobre about;
    about.show();
    EXPECT_FALSE(about.imgFecharOn->isVisible());
    mouse(about.imgFecharOff, QEvent::MouseMove);
    EXPECT_TRUE(about.imgFecharOn->isVisible());
    mouse(about.imgSobre, QEvent::MouseMove);
    EXPECT_FALSE(about.imgFecharOn->isVisible());
    mouse(about.imgFecharOff, QEvent::MouseMove);
    mouse(about.imgFecharOn, QEvent::MouseButtonPress, Qt::LeftButton);
    mouse(about.imgFecharOn, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
}

TEST(AboutWindow, SiteLinkOpensTheMakersSite) {
    TfrmSobre about;
    QList<QUrl> opened;
    about.openUrl = [&](const QUrl& url) {
        opened.append(url);
        return true;
    };
    about.show();
    mouse(about.imgSite, QEvent::MouseButtonPress, Qt::LeftButton);
    mouse(about.imgSite, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://www.terravel.com.br"))});
    EXPECT_TRUE(about.isVisible());
}

} // namespace
} // namespace zr::app
