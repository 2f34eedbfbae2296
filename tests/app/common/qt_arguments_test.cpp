#include "app/common/qt_arguments.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

TEST(QtArguments, QtSeesOnlyTheProgramNameAndTheProgramEverything) {
    char program[] = "zeralvisualizador";
    char reverse[] = "-reverse";
    char platform[] = "--platform";
    char value[] = "xcb";
    char report[] = "-session.GVP";
    char accented[] = "relat\xc3\xb3rio.QP3";
    char* argv[] = {program, reverse, platform, value, report, accented, nullptr};
    zr::app::QtArguments arguments(6, argv);
    EXPECT_EQ(arguments.argc(), 1);
    EXPECT_STREQ(arguments.argv()[0], "zeralvisualizador");
    EXPECT_EQ(arguments.argv()[1], nullptr);
    EXPECT_EQ(arguments.arguments(),
              (QStringList{"-reverse", "--platform", "xcb", "-session.GVP",
                           QString::fromUtf8("relat\xc3\xb3rio.QP3")}));

    // The application object built from it keeps a left-to-right layout and takes nothing.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(arguments.argc(), arguments.argv());
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(QCoreApplication::arguments(), QStringList{"zeralvisualizador"});
    EXPECT_EQ(arguments.arguments().size(), 5);
}
