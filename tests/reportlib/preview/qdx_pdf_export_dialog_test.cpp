#include "reportlib/preview/qdx_pdf_export_dialog.h"

#include "reportlib/document/qdx_report.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QKeyEvent>

#include "active_window.h"
#include "key_input.h"
#include "qp3_generator.h"

#include <gtest/gtest.h>

#include <tuple>

namespace zr::reportlib::preview {
namespace {

using pdf::TqdxPDFEncryption;

using test::key;
using test::type;

// The control that has the keyboard focus in `window`.
QWidget* focused(QWidget* window) {
    return window->focusWidget();
}

// Every property the dialog shows or writes, for "nothing changed" checks.
auto snapshot(const pdf::TqdxPDFExport& f) {
    return std::make_tuple(
        f.Compressed, f.EmbeddedFonts, f.OpenAfterExport, f.PrintOptimized, f.Outline,
        f.Background, f.Quality, f.Title, f.Author, f.Subject, f.Keywords, f.Creator, f.Producer,
        f.UserPassword, f.OwnerPassword, f.ProtectionFlags, f.Encryption, f.HideToolbar,
        f.HideMenubar, f.HideWindowUI, f.FitWindow, f.CenterWindow, f.PrintScaling, f.FileName,
        f.DefaultPath, f.CurrentPage, f.PageNumbers);
}

// A filter whose every property differs from the defaults.
void setAllOff(pdf::TqdxPDFExport& f) {
    f.Compressed = false;
    f.EmbeddedFonts = true;
    f.OpenAfterExport = true;
    f.PrintOptimized = true;
    f.Background = true;
    f.Quality = 42;
    f.Title = QStringLiteral("Vendas — 2024 ✓"); // beyond code page 1252 on purpose
    f.Author = QStringLiteral("Ana");
    f.Subject = QStringLiteral("Mensal");
    f.Keywords = QStringLiteral("a b");
    f.Creator = QStringLiteral("Zeral");
    f.Producer = QStringLiteral("Prod");
    f.OwnerPassword = QStringLiteral("dono");
    f.UserPassword = QStringLiteral("leitor");
    f.Encryption = TqdxPDFEncryption::AES_256;
    f.ProtectionFlags = pdf::eModify | pdf::eAnnot;
    f.HideToolbar = f.HideMenubar = f.HideWindowUI = true;
    f.FitWindow = f.CenterWindow = f.PrintScaling = true;
    f.PageNumbers = QStringLiteral("2-4");
}

class PdfExportDialog : public ::testing::Test {
protected:
    std::unique_ptr<TqdxPDFExportDialog> open(QWidget* parent = nullptr) {
        auto d = std::make_unique<TqdxPDFExportDialog>(filter, parent);
        d->ShowError = [this](const QString& message) { errors.append(message); };
        test::showActive(d.get());
        return d;
    }

    pdf::TqdxPDFExport filter;
    QStringList errors;
};

TEST_F(PdfExportDialog, CaptionsComeFromTheStringTableAndNameTheControls) {
    TqdxPDFExportDialog d(filter);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Exportar para PDF"));
    ASSERT_EQ(d.PageControl1->count(), 4);
    EXPECT_EQ(d.PageControl1->tabText(0), QStringLiteral("Exportar"));
    EXPECT_EQ(d.PageControl1->tabText(1), QStringLiteral("Informação"));
    EXPECT_EQ(d.PageControl1->tabText(2), QStringLiteral("Segurança"));
    EXPECT_EQ(d.PageControl1->tabText(3), QStringLiteral("Leitor"));
    EXPECT_EQ(d.PageNumbersRB->text(), QStringLiteral("Páginas:"));
    EXPECT_EQ(d.DescrL->text(), QStringLiteral("Digite números de página e/ou intervalos, "
                                               "separados por vírgulas. Por exemplo, 1,3,5-12"));
    EXPECT_EQ(d.EmbeddedCB->text(), QStringLiteral("T.Letra Embutidos"));
    EXPECT_EQ(d.Label2->text(), QStringLiteral("JPEG Quality"));
    EXPECT_EQ(d.AnnotCB->text(), QStringLiteral("Adicionar ou modificar anotações"));
    EXPECT_EQ(d.PrintScalingCB->text(), QStringLiteral("Imprimir à escala"));
    EXPECT_EQ(d.AesCB->text(), QStringLiteral("Proteção AES-256 (mais segura)"));
    EXPECT_EQ(d.OkB->text(), QStringLiteral("OK"));
    EXPECT_EQ(d.CancelB->text(), QStringLiteral("Cancelar"));
    // Every control, edits included, carries its caption for assistive tools.
    for (QWidget* w : d.findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
            qobject_cast<QGroupBox*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(d.TitleE->accessibleName(), QStringLiteral("Título"));
    EXPECT_EQ(d.UserPassE->accessibleName(), QStringLiteral("Senha de abertura"));
    EXPECT_EQ(d.UserPassE->echoMode(), QLineEdit::Password);
}

TEST_F(PdfExportDialog, ControlsShowTheFiltersProperties) {
    {
        TqdxPDFExportDialog d(filter); // defaults
        EXPECT_TRUE(d.AllRB->isChecked());
        EXPECT_TRUE(d.CompressedCB->isChecked());
        EXPECT_FALSE(d.EmbeddedCB->isChecked());
        EXPECT_EQ(d.Quality->text(), QStringLiteral("95"));
        EXPECT_EQ(d.AuthorE->text(), QStringLiteral("Quadrel"));
        EXPECT_FALSE(d.AesCB->isChecked());
        EXPECT_TRUE(d.PrintCB->isChecked() && d.ModCB->isChecked() && d.CopyCB->isChecked() &&
                    d.AnnotCB->isChecked());
        // Without a report the outline is offered and on.
        EXPECT_TRUE(d.OutlineCB->isChecked());
        EXPECT_TRUE(d.OutlineCB->isEnabled());
    }
    setAllOff(filter);
    TqdxPDFExportDialog d(filter);
    EXPECT_TRUE(d.PageNumbersRB->isChecked());
    EXPECT_EQ(d.PageNumbersE->text(), QStringLiteral("2-4"));
    EXPECT_FALSE(d.CompressedCB->isChecked());
    EXPECT_TRUE(d.EmbeddedCB->isChecked());
    EXPECT_TRUE(d.BackgrCB->isChecked());
    EXPECT_TRUE(d.PrintOptCB->isChecked());
    EXPECT_TRUE(d.OpenCB->isChecked());
    EXPECT_EQ(d.Quality->text(), QStringLiteral("42"));
    EXPECT_EQ(d.TitleE->text(), filter.Title);
    EXPECT_EQ(d.AuthorE->text(), QStringLiteral("Ana"));
    EXPECT_EQ(d.SubjectE->text(), QStringLiteral("Mensal"));
    EXPECT_EQ(d.KeywordsE->text(), QStringLiteral("a b"));
    EXPECT_EQ(d.CreatorE->text(), QStringLiteral("Zeral"));
    EXPECT_EQ(d.ProducerE->text(), QStringLiteral("Prod"));
    EXPECT_EQ(d.OwnPassE->text(), QStringLiteral("dono"));
    EXPECT_EQ(d.UserPassE->text(), QStringLiteral("leitor"));
    EXPECT_TRUE(d.AesCB->isChecked());
    EXPECT_FALSE(d.PrintCB->isChecked());
    EXPECT_TRUE(d.ModCB->isChecked());
    EXPECT_FALSE(d.CopyCB->isChecked());
    EXPECT_TRUE(d.AnnotCB->isChecked());
    for (QCheckBox* box : {d.HideToolbarCB, d.HideMenubarCB, d.HideWindowUICB, d.FitWindowCB,
                           d.CenterWindowCB, d.PrintScalingCB}) {
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    }

    // The current-page flag wins over the range text the export left behind.
    filter.CurrentPage = true;
    TqdxPDFExportDialog current(filter);
    EXPECT_TRUE(current.CurPageRB->isChecked());
}

TEST_F(PdfExportDialog, ReportGivesTheTitleAndWhetherAnOutlineCanBeWritten) {
    TqdxReport report;
    report.ReportOptions.Name = "Relat\xf3rio anual"; // code page 1252
    report.PreviewOptions.OutlineVisible = false;
    filter.Report = &report;
    filter.Outline = true;
    TqdxPDFExportDialog d(filter);
    EXPECT_EQ(d.TitleE->text(), QStringLiteral("Relatório anual"));
    EXPECT_FALSE(d.OutlineCB->isChecked());
    EXPECT_FALSE(d.OutlineCB->isEnabled());
    d.OkB->click();
    EXPECT_FALSE(filter.Outline);
    EXPECT_EQ(filter.Title, QStringLiteral("Relatório anual"));

    // A title of the filter's own is kept.
    filter.Title = QStringLiteral("Meu título");
    report.PreviewOptions.OutlineVisible = true;
    TqdxPDFExportDialog again(filter);
    EXPECT_EQ(again.TitleE->text(), QStringLiteral("Meu título"));
    EXPECT_TRUE(again.OutlineCB->isChecked());
    EXPECT_TRUE(again.OutlineCB->isEnabled());
}

TEST_F(PdfExportDialog, OkWritesEveryPropertyBack) {
    pdf::TqdxPDFExport expected;
    setAllOff(expected);
    expected.Outline = false;
    expected.PageNumbers = QStringLiteral("1,3,5-12");

    auto d = open();
    d->CompressedCB->setChecked(false);
    d->EmbeddedCB->setChecked(true);
    d->BackgrCB->setChecked(true);
    d->PrintOptCB->setChecked(true);
    d->OutlineCB->setChecked(false);
    d->OpenCB->setChecked(true);
    d->Quality->setText(QStringLiteral("42"));
    type(d->PageNumbersE, QStringLiteral("1,3,5-12"));
    d->TitleE->setText(expected.Title);
    d->AuthorE->setText(QStringLiteral("Ana"));
    d->SubjectE->setText(QStringLiteral("Mensal"));
    d->KeywordsE->setText(QStringLiteral("a b"));
    d->CreatorE->setText(QStringLiteral("Zeral"));
    d->ProducerE->setText(QStringLiteral("Prod"));
    d->OwnPassE->setText(QStringLiteral("dono"));
    d->UserPassE->setText(QStringLiteral("leitor"));
    d->AesCB->setChecked(true);
    d->PrintCB->setChecked(false);
    d->CopyCB->setChecked(false);
    for (QCheckBox* box : {d->HideToolbarCB, d->HideMenubarCB, d->HideWindowUICB, d->FitWindowCB,
                           d->CenterWindowCB, d->PrintScalingCB}) {
        box->setChecked(true);
    }
    d->OkB->click();

    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(snapshot(filter), snapshot(expected));
    EXPECT_TRUE(errors.isEmpty());

    // Unticking the AES box goes back to RC4.
    TqdxPDFExportDialog again(filter);
    again.AesCB->setChecked(false);
    again.OkB->click();
    EXPECT_EQ(filter.Encryption, TqdxPDFEncryption::RC4_128);
}

TEST_F(PdfExportDialog, PageRangeIsAllTheCurrentPageOrTypedNumbers) {
    filter.PageNumbers = QStringLiteral("7");
    auto d = open();
    d->AllRB->setChecked(true);
    type(d->PageNumbersE, QStringLiteral("x ,9"));
    // Typing chooses the typed pages; only digits, commas and hyphens get in.
    EXPECT_TRUE(d->PageNumbersRB->isChecked());
    EXPECT_EQ(d->PageNumbersE->text(), QStringLiteral("7,9"));
    d->OkB->click();
    EXPECT_EQ(filter.PageNumbers, QStringLiteral("7,9"));
    EXPECT_FALSE(filter.CurrentPage);

    auto current = open();
    current->CurPageRB->click();
    current->OkB->click();
    EXPECT_TRUE(filter.CurrentPage);
    EXPECT_TRUE(filter.PageNumbers.isEmpty());

    auto all = open();
    all->AllRB->click();
    all->OkB->click();
    EXPECT_FALSE(filter.CurrentPage);
    EXPECT_TRUE(filter.PageNumbers.isEmpty());

    // A range the export could not read is refused while it can still be mended.
    auto bad = open();
    bad->PageNumbersE->setText(QStringLiteral("1,3x"));
    bad->PageNumbersRB->click();
    bad->OkB->click();
    EXPECT_TRUE(bad->isVisible());
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(focused(bad.get()), bad->PageNumbersE);
    EXPECT_TRUE(filter.PageNumbers.isEmpty());
    key(bad->PageNumbersE, Qt::Key_End);
    key(bad->PageNumbersE, Qt::Key_Backspace);
    key(bad->PageNumbersE, Qt::Key_Return); // the default button
    EXPECT_EQ(bad->result(), QDialog::Accepted);
    EXPECT_EQ(filter.PageNumbers, QStringLiteral("1,3"));

    // Numbers that name no page of the report would give an empty document: refused.
    TqdxReport report;
    tools::Qp3GeneratorOptions options;
    options.pages = 3;
    tools::BuildPreparedReport(report, options);
    filter.Report = &report;
    errors.clear();
    for (const char* none : {"7", "4-9"}) {
        auto empty = open();
        empty->PageNumbersE->setText(QString::fromLatin1(none));
        empty->PageNumbersRB->click();
        empty->OkB->click();
        EXPECT_TRUE(empty->isVisible()) << none;
        EXPECT_EQ(errors.value(errors.size() - 1).section(QLatin1Char('\n'), 0, 0),
                  QStringLiteral("Nenhuma página selecionada."))
            << none;
    }
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(filter.PageNumbers, QStringLiteral("1,3"));
    filter.Report = nullptr;
}

TEST_F(PdfExportDialog, QualityTakesOnlyWholeNumbersFromOneToAHundred) {
    auto d = open();
    d->Quality->clear();
    type(d->Quality, QStringLiteral("8a.5x0"));
    EXPECT_EQ(d->Quality->text(), QStringLiteral("850"));

    const auto before = snapshot(filter);
    for (const QString& bad : {QString(), QStringLiteral("-"), QStringLiteral("99999999999"),
                               QStringLiteral("500"), QStringLiteral("0"), QStringLiteral("-3")}) {
        d->Quality->setText(bad);
        d->PageControl1->setCurrentIndex(2);
        d->OkB->click();
        EXPECT_TRUE(d->isVisible()) << bad.toStdString();
        EXPECT_EQ(d->PageControl1->currentWidget(), d->ExportPage);
        EXPECT_EQ(snapshot(filter), before);
    }
    EXPECT_EQ(errors.size(), 6);

    d->Quality->setText(QStringLiteral("100"));
    d->OkB->click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(filter.Quality, 100);
}

TEST_F(PdfExportDialog, PasswordsTheChosenEncryptionCannotTakeAreRefused) {
    auto d = open();
    d->UserPassE->setText(QStringLiteral("senha Ω")); // beyond Latin-1: RC4 cannot take it
    d->OkB->click();
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->PageControl1->currentWidget(), d->SecurityPage);
    EXPECT_EQ(focused(d.get()), d->UserPassE);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QStringLiteral("AES-256")));
    EXPECT_TRUE(filter.UserPassword.isEmpty());

    d->AesCB->setChecked(true);
    d->OkB->click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(filter.UserPassword, QStringLiteral("senha Ω"));
    EXPECT_EQ(filter.Encryption, TqdxPDFEncryption::AES_256);

    // An archival file takes no password at all: the box and a password are refused together.
    errors.clear();
    auto archival = open();
    EXPECT_EQ(archival->PdfACB->text(), QStringLiteral("PDF/A-2a (arquivamento acessível)"));
    archival->PdfACB->setChecked(true);
    archival->OkB->click();
    EXPECT_TRUE(archival->isVisible());
    EXPECT_EQ(archival->PageControl1->currentWidget(), archival->SecurityPage);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QStringLiteral("PDF/A"))) << errors.front().toStdString();
    archival->UserPassE->clear();
    archival->OwnPassE->clear();
    archival->OkB->click();
    EXPECT_EQ(archival->result(), QDialog::Accepted);
    EXPECT_TRUE(filter.PdfA);
    EXPECT_TRUE(filter.UserPassword.isEmpty());
}

// A right taken away binds only readers without the owner password: with no owner password, or
// the opening one as the owner's, whoever opens the file would have every right.
TEST_F(PdfExportDialog, RightsTakenAwayNeedAnOwnerPasswordOfTheirOwn) {
    auto d = open();
    const auto before = snapshot(filter);
    d->PrintCB->setChecked(false);
    d->UserPassE->setText(QStringLiteral("leitor"));
    d->OkB->click();
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->PageControl1->currentWidget(), d->SecurityPage);
    ASSERT_EQ(focused(d.get()), d->OwnPassE);
    type(focused(d.get()), QStringLiteral("leitor"));
    d->OkB->click();
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(snapshot(filter), before);
    EXPECT_EQ(errors.size(), 2);

    type(focused(d.get()), QStringLiteral("dono")); // the refused text is selected: replaced
    d->OkB->click();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(filter.OwnerPassword, QStringLiteral("dono"));
    EXPECT_EQ(filter.ProtectionFlags, pdf::eModify | pdf::eCopy | pdf::eAnnot);
}

TEST_F(PdfExportDialog, CancelByKeyboardLeavesTheFilterUnchanged) {
    setAllOff(filter);
    const auto before = snapshot(filter);
    auto change = [](TqdxPDFExportDialog& d) {
        d.AesCB->setChecked(false);
        d.TitleE->setText(QStringLiteral("outro"));
        d.CurPageRB->setChecked(true);
        d.Quality->setText(QStringLiteral("7"));
    };

    // Tab from "OK" to "Cancelar", then Enter: Cancelar is pressed, not the default button.
    auto d = open();
    change(*d);
    d->OkB->setFocus();
    key(focused(d.get()), Qt::Key_Tab);
    ASSERT_EQ(focused(d.get()), d->CancelB);
    key(d->CancelB, Qt::Key_Return);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_EQ(snapshot(filter), before);

    auto esc = open();
    change(*esc);
    esc->HideToolbarCB->setFocus();
    key(focused(esc.get()), Qt::Key_Escape);
    EXPECT_FALSE(esc->isVisible());
    EXPECT_EQ(esc->result(), QDialog::Rejected);
    EXPECT_EQ(snapshot(filter), before);

    // Enter in an edit presses the default button.
    auto enter = open();
    enter->TitleE->setFocus();
    key(enter->TitleE, Qt::Key_Enter);
    EXPECT_EQ(enter->result(), QDialog::Accepted);
}

TEST_F(PdfExportDialog, SaveDialogGetsTheFolderAndNameAndItsAnswerBecomesFileName) {
    filter.DefaultPath = QStringLiteral("/tmp/saidas");
    filter.FileName = QStringLiteral("vendas.pdf");
    filter.OverwritePrompt = true;
    TqdxPDFSaveRequest asked;
    int asks = 0;
    QString answer = QStringLiteral("/tmp/saidas/maio.pdf");
    auto save = [&](QWidget*, const TqdxPDFSaveRequest& r) {
        ++asks;
        asked = r;
        return answer;
    };
    auto ok = [](TqdxPDFExportDialog& d) {
        d.CompressedCB->setChecked(false);
        d.OkB->click();
        return d.result();
    };

    EXPECT_TRUE(TqdxPDFExportDialog::Execute(filter, nullptr, {}, ok, save));
    EXPECT_EQ(asked.directory, QStringLiteral("/tmp/saidas"));
    EXPECT_EQ(asked.fileName, QStringLiteral("vendas.pdf"));
    EXPECT_EQ(asked.filter, QStringLiteral("Ficheiro Adobe PDF (*.pdf)"));
    EXPECT_EQ(asked.defaultSuffix, QStringLiteral("pdf"));
    EXPECT_TRUE(asked.overwritePrompt);
    EXPECT_EQ(filter.FileName, QStringLiteral("/tmp/saidas/maio.pdf"));
    EXPECT_FALSE(filter.Compressed);

    // Without a file name the report's file gives one; cancelling keeps the options.
    filter.FileName.clear();
    filter.Compressed = true;
    answer.clear();
    EXPECT_FALSE(TqdxPDFExportDialog::Execute(filter, nullptr, QStringLiteral("/dados/Mapa.v2.QP3"),
                                              ok, save));
    EXPECT_EQ(asked.fileName, QStringLiteral("Mapa.v2.pdf"));
    EXPECT_TRUE(filter.FileName.isEmpty());
    EXPECT_FALSE(filter.Compressed);

    // Cancelling the options never reaches the save dialog.
    const int asksBefore = asks;
    EXPECT_FALSE(TqdxPDFExportDialog::Execute(
        filter, nullptr, {},
        [](TqdxPDFExportDialog& d) {
            d.CancelB->click();
            return d.result();
        },
        save));
    EXPECT_EQ(asks, asksBefore);

    // The process-wide hooks stand in for the real dialogs in Execute(filter, parent).
    answer = QStringLiteral("/tmp/x.pdf");
    TqdxPDFExportDialog::SetHooks(ok, save);
    EXPECT_TRUE(TqdxPDFExportDialog::Execute(filter));
    TqdxPDFExportDialog::SetHooks(nullptr, nullptr);
    EXPECT_EQ(filter.FileName, QStringLiteral("/tmp/x.pdf"));
}

TEST(PdfExportDialogFilter, PipeFiltersBecomeQtFilters) {
    EXPECT_EQ(TqdxPDFExportDialog::QtFilter(QStringLiteral("Ficheiro Adobe PDF (*.pdf)|*.pdf")),
              QStringLiteral("Ficheiro Adobe PDF (*.pdf)"));
    EXPECT_EQ(TqdxPDFExportDialog::QtFilter(QStringLiteral("PDF|*.pdf|Todos|*.pdf;*.PDF")),
              QStringLiteral("PDF (*.pdf);;Todos (*.pdf *.PDF)"));
    EXPECT_EQ(TqdxPDFExportDialog::QtFilter(QStringLiteral("só texto")), QStringLiteral("só texto"));
    EXPECT_EQ(TqdxPDFExportDialog::QtFilter(QString()), QString());
}

} // namespace
} // namespace zr::reportlib::preview
