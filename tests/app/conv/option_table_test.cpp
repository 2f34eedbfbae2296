// The option table is the converter's one statement of its options: the manual page and the
// README's table must say what it says.

#include "app/conv/convert_options.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace zr::app {
namespace {

QString readSource(const char* path) {
    QFile file(QStringLiteral(ZR_SOURCE_DIR "/") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const ConvertOption* findSpelled(const QString& spelled) {
    for (const ConvertOption& o : convertOptions()) {
        if (o.spelling() == spelled ||
            (o.shortName != 0 && spelled == QStringLiteral("-") + QLatin1Char(o.shortName))) {
            return &o;
        }
    }
    return nullptr;
}

TEST(OptionTable, TheManualPageListsEveryOptionWithItsArgument) {
    const QString page = readSource("data/man/zeralconv.1");
    const qsizetype from = page.indexOf(QStringLiteral(".SH OPÇÕES"));
    const qsizetype to = page.indexOf(QLatin1String(".SH "), from + 4);
    ASSERT_GT(from, 0);
    // Each entry is a ".TP" followed by its tag line: ".BI \-\-pages " FAIXA"", ".B \-\-odd".
    QSet<QString> listed;
    QSet<QString> arguments;
    const QStringList lines = page.mid(from, to - from).split(QLatin1Char('\n'));
    static const QRegularExpression option(QStringLiteral("(\\\\-\\\\-[a-z0-9\\\\-]+|\\\\-[a-z])"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] != QLatin1String(".TP")) {
            continue;
        }
        const QString tag = lines[i + 1];
        for (const auto& m : option.globalMatch(tag)) {
            QString name = m.captured(1);
            name.remove(QLatin1Char('\\'));
            listed.insert(name);
        }
        static const QRegularExpression argument(QStringLiteral("\" ([^\"]+)\"$"));
        if (const auto m = argument.match(tag); m.hasMatch()) {
            arguments.insert(m.captured(1));
        }
    }
    QSet<QString> table;
    for (const ConvertOption& o : convertOptions()) {
        table.insert(o.spelling());
        if (o.shortName != 0) {
            table.insert(QStringLiteral("-") + QLatin1Char(o.shortName));
        }
        if (o.argument) {
            EXPECT_TRUE(arguments.contains(QString::fromUtf8(o.argument)))
                << o.spelling().toStdString() << " " << o.argument;
        }
    }
    for (const QString& name : table) {
        EXPECT_TRUE(listed.contains(name)) << name.toStdString() << " is not in the manual page";
    }
    for (const QString& name : listed) {
        EXPECT_TRUE(table.contains(name)) << name.toStdString() << " is no option";
    }
}

// The README's table of `convert` outputs: a cell that says "refused" for an option the table
// lets that output take, or the reverse, is a contradiction.
TEST(OptionTable, TheReadmeTableAgreesWithIt) {
    const QString readme = readSource("README.md");
    const qsizetype at = readme.indexOf(QLatin1String("| Option | `gvp` |"));
    ASSERT_GE(at, 0);
    const QStringList rows = readme.mid(at).split(QLatin1Char('\n'));
    struct Column {
        unsigned kinds;
        unsigned outputs; // 0: the print command
    };
    const Column columns[] = {{OfText, ToGvp},      {OfText, ToPrn}, {OfText, ToTxt | ToHtm},
                              {OfText, ToPdf},      {OfPrepared, ToQp3},
                              {OfPrepared, ToPdf},  {OfEither, ToPng}, {OfEither, 0}};
    static const QRegularExpression named(QStringLiteral("`(--?[a-z0-9-]+)"));
    QSet<const ConvertOption*> seen;
    int checked = 0;
    for (qsizetype r = 2; r < rows.size() && rows[r].startsWith(QLatin1Char('|')); ++r) {
        QStringList cells = rows[r].split(QLatin1String(" | "));
        ASSERT_EQ(cells.size(), 9) << rows[r].toStdString();
        // An option named by its one-letter name alone ("`-t`") is judged by where that name
        // is taken.
        std::vector<std::pair<const ConvertOption*, bool>> options;
        for (const auto& m : named.globalMatch(cells[0])) {
            const ConvertOption* o = findSpelled(m.captured(1));
            ASSERT_TRUE(o) << m.captured(1).toStdString();
            options.emplace_back(o, !m.captured(1).startsWith(QLatin1String("--")));
            seen.insert(o);
        }
        for (int c = 0; c < 8; ++c) {
            const QString cell = cells[c + 1].remove(QLatin1Char('|')).trimmed();
            QSet<const ConvertOption*> applying;
            if (cell.startsWith(QLatin1String("`--"))) {
                // "`--title`: the job's name": the options named take it, the others not.
                for (const auto& m : named.globalMatch(cell)) {
                    applying.insert(findSpelled(m.captured(1)));
                }
            } else if (cell.contains(QLatin1String("refused")) && cell != QLatin1String("refused")) {
                continue; // a cell that splits its outputs ("`txt`: ...; `htm`: refused")
            } else if (cell != QLatin1String("refused")) {
                for (const auto& [o, shortName] : options) {
                    applying.insert(o);
                }
            }
            for (const auto& [o, shortName] : options) {
                const Column& col = columns[c];
                const unsigned command = col.outputs == 0 ? ForPrint : ForConvert;
                const bool inCommand = shortName ? o->takesShort(command) : o->takes(command);
                const bool takes = inCommand && (col.outputs == 0 || ((o->kinds & col.kinds) != 0 &&
                                                                  (o->outputs & col.outputs) != 0));
                EXPECT_EQ(applying.contains(o), takes)
                    << o->spelling().toStdString() << " in column " << c + 1 << ": "
                    << cell.toStdString();
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100);
    for (const ConvertOption& o : convertOptions()) {
        if (o.apply && (o.takes(ForConvert) || o.takes(ForPrint))) {
            EXPECT_TRUE(seen.contains(&o)) << o.spelling().toStdString() << " is not in the README";
        }
    }
}

} // namespace
} // namespace zr::app
