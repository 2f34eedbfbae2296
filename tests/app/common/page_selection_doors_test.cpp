// One table of page selections through every door that takes one: `zeralconv convert --pages`
// for both report kinds, the text report's print setup dialog, and the prepared report's print
// and PDF options dialogs, each typed into by keys. Every door must print or write the same
// pages in the same order, or refuse the text with the same message.

#include "qp3_generator.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"

#include "active_window.h"
#include "pdf_info.h"
#include "platform/printing/system_printer.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/preview/qdx_pdf_export_dialog.h"
#include "reportlib/preview/qdx_print_dialog.h"
#include "reportlib/print/qdx_print_job.h"
#include "reportlib/render/page_services.h"
#include "textreport/gravana.h"
#include "textreport/ui/setup_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

namespace zr {
namespace {

using test::RecordingInteraction;
using test::ReportBuilder;
using test::TempDir;

const QString kConverter = QStringLiteral(ZR_BIN_DIR "/zeralconv");
constexpr int kPages = 6;

struct Case {
    const char* text;
    const char* pages;   // the pages written, in order; empty when refused
    const char* message; // the message of a refusal
};

const char* const kBackward =
    "Intervalo de páginas invertido: '5-2' (a primeira página vem depois da última).";

const Case kCases[] = {
    {"-3", "1 2 3", nullptr},
    {"4-", "4 5 6", nullptr},
    {"2,1", "2 1", nullptr},
    {"3,1-3", "3 1 2", nullptr},
    {"5-2", "", kBackward},
    {"9", "", "Nenhuma página selecionada."},
    {"1-2-3", "", "Intervalo de páginas inválido: '1-2-3'."},
};

// The numbers a pattern finds, in order, as "1 2 3".
QString numbersOf(const QString& text, const QString& pattern) {
    QStringList found;
    for (const auto& m : QRegularExpression(pattern).globalMatch(text)) {
        found += m.captured(1);
    }
    return found.join(QLatin1Char(' '));
}

// The sheets of a generated prepared report's PDF, in order.
QString pdfSheets(const QString& path) {
    const std::optional<QByteArray> text = test::popplerText(path);
    return text ? numbersOf(QString::fromUtf8(*text), QStringLiteral("folha (\\d+)")) : QString();
}

struct ConverterRun {
    int code = -1;
    QString err;
};

ConverterRun convert(const QStringList& args) {
    QProcess p;
    p.start(kConverter, QStringList{QStringLiteral("convert")} + args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

// Types `text` into a prepared report dialog's page box and presses Enter, as a user would.
// Returns whether the dialog took it; a refusal must be shown, as the first line of the dialog's
// error, with `message`.
template <class Dialog>
bool typeIntoPageBox(Dialog& d, const QString& text, const QString& message) {
    QStringList errors;
    d.ShowError = [&](const QString& m) { errors.append(m.section('\n', 0, 0)); };
    test::showActive(&d);
    d.PageNumbersE->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    if (message.isEmpty()) {
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_TRUE(errors.isEmpty());
        return d.result() == QDialog::Accepted;
    }
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(errors, QStringList{message});
    return false;
}

class PageSelectionDoors : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kConverter)) {
            GTEST_SKIP() << "zeralconv not built";
        }
        qputenv("CUPS_SERVER", "/nonexistent/zr-test-cups.sock"); // the virtual printer
        ReportBuilder text;
        for (int p = 1; p <= kPages; ++p) {
            text.item(p, 1, 1, "PAGINA-" + QByteArray::number(p));
        }
        textReport = dir.write(QStringLiteral("r.GVP"), text.build());
        preparedReport = dir.path(QStringLiteral("r.QP3"));
        tools::Qp3GeneratorOptions options;
        options.pages = kPages;
        options.sectionPages = 100;
        ASSERT_TRUE(tools::WritePreparedReport(preparedReport, options));
    }

    TempDir dir;
    QString textReport;
    QString preparedReport;
};

TEST_F(PageSelectionDoors, EveryDoorSelectsTheSamePages) {
    for (const Case& c : kCases) {
        const QString text = QString::fromLatin1(c.text);
        const QString expected = QString::fromLatin1(c.pages);
        const QString message = c.message ? QString::fromUtf8(c.message) : QString();
        SCOPED_TRACE(c.text);

        // The converter, both kinds.
        const QString txt = dir.path(QStringLiteral("o.txt"));
        QFile::remove(txt);
        ConverterRun r = convert({QStringLiteral("--pages"), text, textReport, txt});
        if (expected.isEmpty()) {
            EXPECT_NE(r.code, 0);
            EXPECT_TRUE(r.err.startsWith(QStringLiteral("zeralconv: ") + message + '\n'))
                << r.err.toStdString();
        } else {
            EXPECT_EQ(r.code, 0) << r.err.toStdString();
            EXPECT_EQ(
                numbersOf(QString::fromLatin1(TempDir::read(txt)), QStringLiteral("PAGINA-(\\d)")),
                expected);
        }
        const QString pdf = dir.path(QStringLiteral("o.pdf"));
        QFile::remove(pdf);
        r = convert({QStringLiteral("--pages"), text, preparedReport, pdf});
        if (expected.isEmpty()) {
            EXPECT_TRUE(r.err.startsWith(QStringLiteral("zeralconv: ") + message + '\n'))
                << r.err.toStdString();
        } else {
            EXPECT_EQ(pdfSheets(pdf), expected);
        }

        // The text report's print setup dialog, then the job it sets up (to a printer file).
        {
            textreport::ReportState::ScopedOverride state;
            RecordingInteraction ui;
            textreport::TGravana g(ui);
            g.PortaComunicacao = QStringLiteral("LPT2");
            g.OpcoesPreview.Preview = false;
            g.Abrir();
            g.LerRelatorio(textReport);
            textreport::ui::PrinterSource printers;
            // A dot-matrix printer, so that the job can go to a printer file.
            printers.names = [] { return QStringList{QStringLiteral("EPSON LX-300")}; };
            printers.current = [] {
                return CurrentPrinter{QStringLiteral("EPSON LX-300"), QStringLiteral("LPT2")};
            };
            printers.makeCurrent = [](const QString&) {};
            textreport::ui::TDFMsetup d(g, printers);
            test::showActive(&d);
            d.chkSelecao->click();
            QTest::keyClicks(QApplication::focusWidget(), text);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            if (expected.isEmpty()) {
                EXPECT_TRUE(d.isVisible());
                EXPECT_EQ(ui.texts(), std::vector<QString>{message});
            } else {
                EXPECT_EQ(d.result(), QDialog::Accepted);
                d.applyChoices();
                const QString prn = dir.path(QStringLiteral("o.prn"));
                g.GravarPRN(prn);
                EXPECT_TRUE(ui.texts().empty());
                EXPECT_EQ(numbersOf(QString::fromLatin1(TempDir::read(prn)),
                                    QStringLiteral("PAGINA-(\\d)")),
                          expected);
            }
            g.Abortar();
        }

        reportlib::TqdxReport report;
        report.PreviewPages().LoadFromFile(preparedReport, true);
        ASSERT_EQ(report.PreviewPages().Count(), kPages);

        // The prepared report's print dialog, and the order the print job takes from it.
        {
            reportlib::preview::TqdxPrintDialog d(report, reportlib::dmNone);
            if (typeIntoPageBox(d, text, message)) {
                QStringList order;
                for (const int index : reportlib::preview::PrintPageOrder(
                         QString::fromLatin1(report.PrintOptions.PageNumbers), kPages,
                         report.PrintOptions.PrintPages, report.PrintOptions.Reverse)) {
                    order += QString::number(index + 1);
                }
                EXPECT_EQ(order.join(' '), expected);
            }
        }

        // The PDF options dialog, then the export it sets up.
        {
            reportlib::pdf::TqdxPDFExport filter;
            reportlib::pdf::ApplyMainWindowDefaults(filter);
            filter.Report = &report;
            reportlib::preview::TqdxPDFExportDialog d(filter);
            if (typeIntoPageBox(d, text, message)) {
                const QString exported = dir.path(QStringLiteral("d.pdf"));
                filter.FileName = exported;
                filter.ShowDialog = false;
                filter.ShowProgress = false;
                filter.OpenAfterExport = false;
                EXPECT_TRUE(reportlib::render::Export(report.PreviewPages(), &filter));
                EXPECT_EQ(pdfSheets(exported), expected);
            }
        }
    }
}

} // namespace
} // namespace zr
