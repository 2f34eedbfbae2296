// The report document of either kind gives the text each page shows: what the converter's
// plain text holds for a text report, what a PDF reader reads off the converter's PDF for a
// prepared one.

#include "app/common/report_document.h"
#include "qp3_generator.h"
#include "recording_interaction.h"
#include "report_builder.h"
#include "temp_dir.h"
#include "textreport/gravana.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace zr::app {
namespace {

using test::RecordingInteraction;
using test::TempDir;

const QString kProgram = QStringLiteral(ZR_BIN_DIR "/zeralconv");

QByteArray run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << ' ' << args.join(' ').toStdString()
                               << ": " << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
}

// The lines of a text without trailing blanks, trailing empty lines left out.
QStringList trimmedLines(const QString& text) {
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r?\n")));
    for (QString& line : lines) {
        while (line.endsWith(u' ')) {
            line.chop(1);
        }
    }
    while (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QString withoutBlanks(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("\\s+")));
}

TEST(ReportDocument, EachPageTextIsWhatTheConverterWritesOfThatPage) {
    textreport::ReportState::ScopedOverride state;
    TempDir dir;
    RecordingInteraction ui;
    // Items out of column order, one overwriting the rest of its line, a box line, a blank
    // line between, and a page that ends early.
    const QString text =
        dir.write(QStringLiteral("r.gvp"), test::ReportBuilder()
                                               .item(1, 1, 1, "RELATORIO DE VENDAS")
                                               .item(1, 1, 12, "COMPRAS")
                                               .item(1, 3, 5, "Cliente 1")
                                               .item(1, 3, 30, "1.234,56")
                                               .item(1, 4, 5, "-----", 16, 'B')
                                               .item(2, 2, 3, "Total geral")
                                               .build());
    const QString prepared = dir.path(QStringLiteral("r.qp3"));
    tools::Qp3GeneratorOptions options;
    options.pages = 3;
    ASSERT_TRUE(tools::WritePreparedReport(prepared, options));

    for (const QString& path : {text, prepared}) {
        SCOPED_TRACE(path.toStdString());
        const std::unique_ptr<ReportDocument> document = openReportDocument(path, ui);
        ASSERT_TRUE(document);
        ASSERT_GE(document->pageCount(), 2);
        for (int page = 1; page <= document->pageCount(); ++page) {
            const QString number = QString::number(page);
            const QString shown = document->pageText(page);
            if (document->kind() == ReportContent::TextReport) {
                const QString txt = dir.path(QStringLiteral("p%1.txt").arg(page));
                run(kProgram, {"convert", "--pages", number, path, txt});
                QFile file(txt);
                ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                EXPECT_EQ(trimmedLines(shown), trimmedLines(QString::fromLatin1(file.readAll())))
                    << "page " << page;
            } else {
                const QString pdf = dir.path(QStringLiteral("p%1.pdf").arg(page));
                run(kProgram, {"convert", "--pages", number, path, pdf});
                const QString read =
                    QString::fromUtf8(run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
                EXPECT_FALSE(shown.trimmed().isEmpty()) << "page " << page;
                // Each line the page shows is read off the PDF, whatever blanks each reader puts
                // between the pieces of a line.
                const QString flat = withoutBlanks(read);
                for (const QString& line : shown.split(u'\n', Qt::SkipEmptyParts)) {
                    EXPECT_TRUE(flat.contains(withoutBlanks(line)))
                        << "page " << page << ": " << line.toStdString();
                }
            }
        }
    }
    EXPECT_TRUE(ui.texts().empty());
}

} // namespace
} // namespace zr::app
