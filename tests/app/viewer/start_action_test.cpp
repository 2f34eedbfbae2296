#include "app/viewer/name_filters.h"
#include "app/viewer/start_action.h"
#include "support/temp_dir.h"

#include <QDir>

#include <gtest/gtest.h>

namespace zr::app {
namespace {

// A start-up argument, written with "@" for the folder of the test files.
struct StartCase {
    const char* argument;
    StartAction action;
    const char* fileName;      // with "@" for the folder; empty when nothing opens
    const char* pdfExportName; // OpenQp3 only
};

void PrintTo(const StartCase& c, std::ostream* os) {
    *os << '"' << c.argument << '"';
}

class StartActionRule : public ::testing::TestWithParam<StartCase> {
protected:
    static void SetUpTestSuite() {
        dir = new test::TempDir;
        for (const char* name : {"r.GVP", "low.gvp", "mixed.Gvp", "a.qp3", "b.QP3", "notes.txt",
                                 "r.GVP.bak", "noext", ".GVP"}) {
            dir->write(QString::fromLatin1(name), "x");
        }
        QDir(dir->root()).mkdir(QStringLiteral("folder.GVP"));
        QDir(dir->root()).mkdir(QStringLiteral("sub.QP3"));
        dir->write(QStringLiteral("sub.QP3/report"), "x");
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    static QString expand(const char* text) {
        return QString::fromUtf8(text).replace(QLatin1Char('@'), dir->root());
    }
    static test::TempDir* dir;
};

test::TempDir* StartActionRule::dir = nullptr;

TEST_P(StartActionRule, DecidesFromTheTrimmedArgument) {
    const StartCase& c = GetParam();
    const StartDecision d = startActionFor(expand(c.argument));
    EXPECT_EQ(d.action, c.action);
    EXPECT_EQ(d.fileName, expand(c.fileName));
    EXPECT_EQ(d.pdfExportName, QString::fromUtf8(c.pdfExportName));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, StartActionRule,
    ::testing::Values(
        // Blanks around an existing upper-case .GVP are dropped before anything else.
        StartCase{"  @/r.GVP  ", StartAction::OpenGvp, "@/r.GVP", ""},
        StartCase{"\t@/r.GVP\r\n", StartAction::OpenGvp, "@/r.GVP", ""},
        StartCase{"@/.GVP", StartAction::OpenGvp, "@/.GVP", ""},
        // The .GVP test minds case; the .QP3 test does not.
        StartCase{"@/low.gvp", StartAction::None, "", ""},
        StartCase{"@/mixed.Gvp", StartAction::None, "", ""},
        StartCase{"@/a.qp3", StartAction::OpenQp3, "@/a.qp3", "a"},
        // The trimmed name is the one loaded, not the argument with its blanks.
        StartCase{" @/b.QP3 ", StartAction::OpenQp3, "@/b.QP3", "b"},
        // Nothing for missing files, folders, blanks and other extensions.
        StartCase{"@/missing.GVP", StartAction::None, "", ""},
        StartCase{"@/folder.GVP", StartAction::None, "", ""},
        StartCase{"", StartAction::None, "", ""}, StartCase{"   ", StartAction::None, "", ""},
        StartCase{"@/notes.txt", StartAction::None, "", ""},
        StartCase{"@/r.GVP.bak", StartAction::None, "", ""},
        StartCase{"@/noext", StartAction::None, "", ""},
        // A dot in a folder name is not the file's extension.
        StartCase{"@/sub.QP3/report", StartAction::None, "", ""}));

TEST(PdfExportName, IsTheNameWithoutFolderAndLastFourCharacters) {
    EXPECT_EQ(pdfExportNameFor(QStringLiteral("/home/u/Vendas 2024.QP3")),
              QStringLiteral("Vendas 2024"));
    EXPECT_EQ(pdfExportNameFor(QStringLiteral("a.qp3")), QStringLiteral("a"));
    EXPECT_EQ(pdfExportNameFor(QStringLiteral("/x/ab")), QString());
}

TEST(MenuOpenRule, SendsQp3InAnyCaseToPreparedReportsAndAllElseToTextReports) {
    for (const char* name : {"a.QP3", "/d/a.qp3", "a.Qp3"}) {
        EXPECT_EQ(openActionFor(QString::fromLatin1(name)), StartAction::OpenQp3) << name;
    }
    for (const char* name : {"a.GVP", "a.gvp", "notes.txt", "noext", "/d/x.qp3/file", "a.QP3x"}) {
        EXPECT_EQ(openActionFor(QString::fromLatin1(name)), StartAction::OpenGvp) << name;
    }
}

TEST(NameFilters, KeepTheCaptionAndMatchBothCases) {
    EXPECT_EQ(
        toQtNameFilters(QStringLiteral("Relatórios Zeral ( *.GVP; *.QP3 )|*.GVP;*.QP3")),
        QStringList{QStringLiteral("Relatórios Zeral ( *.GVP; *.QP3 ) (*.GVP *.gvp *.QP3 *.qp3)")});
    EXPECT_EQ(toQtNameFilters(QStringLiteral("Texto|*.txt|Todos|")),
              (QStringList{QStringLiteral("Texto (*.txt)"), QStringLiteral("Todos (*)")}));
}

} // namespace
} // namespace zr::app
