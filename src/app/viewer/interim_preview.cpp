#include "interim_preview.h"

#include "platform/text/codepages.h"
#include "textreport/gravana.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>
#include <vector>

namespace zr::app {

namespace {

constexpr qsizetype kHeaderLength = 20; // page 4, line 3, column 3, attribute 3, kind 1, colour 6

// The decimal number in item[from, from + width), or -1 when a character is not a digit.
int number(QByteArrayView item, qsizetype from, qsizetype width) {
    int value = 0;
    for (qsizetype i = from; i < from + width; ++i) {
        const char c = item[i];
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

QStringList interimPreviewPages(const textreport::PageStore& store) {
    std::map<int, std::vector<QString>> pages;
    for (qsizetype i = 0; i < store.size(); ++i) {
        const QByteArrayView item = store.item(i);
        if (item.size() < kHeaderLength) {
            continue;
        }
        const int page = number(item, 0, 4);
        const int line = number(item, 4, 3);
        const int column = number(item, 7, 3);
        if (page < 0 || line < 1 || column < 1) {
            continue;
        }
        std::vector<QString>& lines = pages[page];
        if (item[13] != 'T') {
            continue;
        }
        if (lines.size() < std::size_t(line)) {
            lines.resize(std::size_t(line));
        }
        QString& row = lines[std::size_t(line - 1)];
        const QString text = codepages::fromCp1252(item.sliced(kHeaderLength));
        const qsizetype at = column - 1;
        if (row.size() < at + text.size()) {
            row = row.leftJustified(at + text.size(), QLatin1Char(' '));
        }
        row.replace(at, text.size(), text);
    }
    QStringList result;
    for (const auto& [page, lines] : pages) {
        QStringList rows;
        for (const QString& row : lines) {
            rows.append(row);
        }
        result.append(rows.join(QLatin1Char('\n')));
    }
    return result;
}

void showInterimPreview(textreport::TGravana& gravana, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(gravana.OpcoesPreview.CaptionPreview);
    dialog.resize(860, 640);

    auto* view = new QPlainTextEdit(&dialog);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QStringList text;
    if (const textreport::PageStore* store = gravana.store()) {
        const QStringList pages = interimPreviewPages(*store);
        for (qsizetype i = 0; i < pages.size(); ++i) {
            text.append(QStringLiteral("----- %1 / %2 -----").arg(i + 1).arg(pages.size()));
            text.append(pages.at(i));
        }
    }
    view->setPlainText(text.join(QLatin1Char('\n')));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Fechar"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    layout->addWidget(buttons);
    dialog.exec();
}

} // namespace zr::app
