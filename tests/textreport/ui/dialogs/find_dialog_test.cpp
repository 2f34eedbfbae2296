#include "textreport/ui/find_dialog.h"

#include "accessible_names.h"
#include "active_window.h"
#include "key_input.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace zr::textreport::ui {
namespace {

TEST(FindDialog, EnterFindsNextFromTheTextButCancelsOnAFocusedCancelButton) {
    FindDialog d;
    int found = 0;
    d.onFindNext = [&] { ++found; };
    ASSERT_TRUE(test::showActive(&d));
    test::focusByTab(d.edText);
    test::type(d.edText, QStringLiteral("total"));
    test::key(d.edText, Qt::Key_Return);
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(d.isVisible());

    // A focused check box leaves Enter to the default button, "find next".
    test::focusByTab(d.cbMaiusculas);
    test::key(d.cbMaiusculas, Qt::Key_Return);
    EXPECT_EQ(found, 2);
    EXPECT_TRUE(d.isVisible());

    test::focusByTab(d.btCancelar);
    ASSERT_EQ(QApplication::focusWidget(), d.btCancelar);
    test::key(d.btCancelar, Qt::Key_Return);
    EXPECT_EQ(found, 2);
    EXPECT_FALSE(d.isVisible());
}

TEST(FindDialog, ScreenReadersFindANameForEveryControl) {
    FindDialog d;
    EXPECT_EQ(test::namelessControls(&d), "");
    EXPECT_EQ(test::countedControls(&d), 7);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(d.edText)->text(QAccessible::Name),
              QStringLiteral("Procurar"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(d.btLocalizar)->text(QAccessible::Name),
              QStringLiteral("Localizar próxima"));
}

} // namespace
} // namespace zr::textreport::ui
