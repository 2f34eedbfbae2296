#include "app/viewer/qt_translations.h"

#include "support/temp_dir.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include <gtest/gtest.h>

namespace zr::app {
namespace {

// Takes out every translator the loader installed, so that the other tests of this program
// see Qt's texts as before.
class QtTranslations : public ::testing::Test {
protected:
    void TearDown() override {
        for (QTranslator* t : qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
        QLocale::setDefault(m_locale);
    }
    QLocale m_locale;
};

TEST_F(QtTranslations, MessageBoxButtonsAndFileDialogSpeakPortugueseWhateverTheLocale) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        ASSERT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Cancel"));
    }

    const QString loaded = installQtTranslations();
    ASSERT_FALSE(loaded.isEmpty())
        << "no Portuguese catalogue of Qt in "
        << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString()
        << " (scripts/install-deps.sh installs it)";
    EXPECT_TRUE(loaded.endsWith(QStringLiteral("_pt_BR.qm"))) << loaded.toStdString();

    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Sim"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("&Não"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Cancelar"));

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    const auto* fileName = dialog.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    ASSERT_NE(lookIn, nullptr);
    ASSERT_NE(fileName, nullptr);
    EXPECT_NE(lookIn->text(), QStringLiteral("Look in:"));
    EXPECT_NE(fileName->text(), QStringLiteral("File &name:"));
    EXPECT_TRUE(fileName->text().contains(QStringLiteral("arquivo"), Qt::CaseInsensitive))
        << fileName->text().toStdString();
}

TEST_F(QtTranslations, AFolderWithoutUsableCataloguesInstallsNothing) {
    test::TempDir empty;
    EXPECT_EQ(installQtTranslations(empty.root()), QString());
    // A damaged catalogue is passed over like a missing one.
    test::TempDir damaged;
    damaged.write(QStringLiteral("qtbase_pt_BR.qm"), QByteArray("not a catalogue", 15));
    damaged.write(QStringLiteral("qt_pt_BR.qm"), QByteArray());
    EXPECT_EQ(installQtTranslations(damaged.root()), QString());
    EXPECT_EQ(installQtTranslations(QString()), QString());
    EXPECT_TRUE(qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly).isEmpty());
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Cancel"));
}

} // namespace
} // namespace zr::app
