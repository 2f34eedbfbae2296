// The text preview's Save, driven through Qt's own file dialog by keys: what it writes for each
// type must be what the converter writes for the same type from the same report.

#include "active_window.h"
#include "app/common/viewer_settings.h"
#include "key_input.h"
#include "modal_keys.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/gravana.h"
#include "textreport/ui/preview_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <iterator>

namespace zr::app {
namespace {

using test::RecordingInteraction;
using test::ReportBuilder;
using test::TempDir;

const QString kConverter = QStringLiteral(ZR_BIN_DIR "/zeralconv");

// What a reader takes from a file: its bytes, or for a PDF the text of its pages (its dates and
// identifier differ from one writing to the next).
QByteArray contentOf(const QString& path, const char* name) {
    if (!QByteArray(name).toLower().endsWith(".pdf")) {
        return TempDir::read(path);
    }
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray("pdftotext failed");
}

TEST(PreviewSave, WritesTheTypePickedOrTypedAsTheConverterDoes) {
    if (!QFile::exists(kConverter)) {
        GTEST_SKIP() << "zeralconv not built";
    }
    TempDir dir;
    // Accented text (code page 1252), so that the accents setting shows in every type.
    const QString report =
        dir.write("rel.GVP", ReportBuilder()
                                 .title("Vendas")
                                 .item(1, 1, 1, "RELAT\xD3RIO DE VENDAS - A\xC7\xC3O")
                                 .item(1, 3, 10, "Jos\xE9 Concei\xE7\xE3o  1.234,56")
                                 .item(2, 1, 1, "P\xC1GINA DOIS")
                                 .build());

    textreport::ReportState::ScopedOverride state;
    RecordingInteraction ui;
    textreport::TGravana g(ui);
    applyViewerSettings(g); // what the viewer's main window gives its component
    ASSERT_TRUE(g.Abrir());
    ASSERT_EQ(g.LerRelatorio(report), textreport::LoadResult::Loaded);
    textreport::ui::TDFMPreview window(g);
    window.nomeImpressoraAtual = [] { return QStringLiteral("Fila1"); };
    ASSERT_TRUE(test::showActive(&window));

    // The type box's captions as shown (Qt drops the blank at the end of the HTML one).
    const char* const kTypes[] = {"Relatório Gravana (*.GVP)", "Arquivo para Impressão (*.PRN)",
                                  "Arquivo Texto (*.TXT)", "Arquivo HTML(*.HTM)",
                                  "Arquivo PDF (*.PDF)"};
    const struct {
        const char* typed; // what is typed in the name box
        int picked;        // the type picked in the box by keys (from 0), -1 for none
        const char* written;
    } cases[] = {
        // Picked in the box, the name without an extension: it gets the type's.
        {"p1", 0, "p1.GVP"},
        {"p2", 1, "p2.PRN"},
        {"p3", 2, "p3.TXT"},
        {"p4", 3, "p4.HTM"},
        {"p5", 4, "p5.PDF"},
        // Typed with the extension of a type (any case), whatever the box showed before: the
        // type follows and the name is kept exactly.
        {"r4.GVP", 2, "r4.GVP"},
        {"r5.Prn", 0, "r5.Prn"},
        {"r.txt", 4, "r.txt"},
        {"r1.htm", 0, "r1.htm"},
        {"r2.pdf", 3, "r2.pdf"},
    };
    const int expectedType[] = {0, 1, 2, 3, 4, 0, 1, 2, 3, 4}; // the type each case writes
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.typed);
        const QString typed = dir.path(QString::fromUtf8(c.typed));
        QString shownWhileTyping;
        bool driven = false;
        test::whenModal<QFileDialog>([&](QFileDialog& dialog) {
            if (c.picked >= 0 && !test::pickFileType(dialog, c.picked)) {
                return dialog.reject();
            }
            if (!test::typeFileName(dialog, typed)) {
                return dialog.reject();
            }
            shownWhileTyping = test::fileTypeBox(dialog)->currentText();
            driven = test::confirmFileDialog(dialog);
        });
        // The window is active again once the dialog before has closed, as on a desktop.
        ASSERT_TRUE(test::showActive(&window));
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        test::key(QApplication::focusWidget(), Qt::Key_S, {}, Qt::ControlModifier);
        ASSERT_TRUE(driven);
        EXPECT_EQ(shownWhileTyping.simplified(), QString::fromUtf8(kTypes[expectedType[i]]));
        EXPECT_EQ(ui.texts(), std::vector<QString>{});

        const QString written = dir.path(QString::fromUtf8(c.written));
        ASSERT_TRUE(QFile::exists(written));
        EXPECT_EQ(
            QDir(dir.root())
                .entryList({QStringLiteral("p*"), QStringLiteral("r?.*"), QStringLiteral("r.*")},
                           QDir::Files)
                .count(),
            int(i) + 1); // nothing written under another name

        // The converter writes the same name (an HTML file holds its own name), after the
        // window's file is moved aside.
        const QString fromWindow = dir.path(QStringLiteral("janela.") + QString::number(i));
        ASSERT_TRUE(QFile::rename(written, fromWindow));
        QProcess conv;
        conv.start(kConverter, {QStringLiteral("convert"), report, written});
        conv.waitForFinished(120000);
        ASSERT_EQ(conv.exitCode(), 0) << conv.readAllStandardError().constData();
        const QByteArray expected = contentOf(written, c.written);
        EXPECT_FALSE(expected.isEmpty());
        EXPECT_EQ(contentOf(fromWindow, c.written), expected);
        ASSERT_TRUE(QFile::remove(written));
        ASSERT_TRUE(QFile::rename(fromWindow, written));
    }
}

} // namespace
} // namespace zr::app
