#pragma once

// Shows a window and waits (up to two seconds) until it is the active one, so that focus moves
// and key presses reach it as they would on a desktop.

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

namespace zr::test {

inline bool showActive(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (!window->isActiveWindow() && waited.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return window->isActiveWindow();
}

// Gives `w` the keyboard focus as a Tab press would.
inline QWidget* focusByTab(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    return QApplication::focusWidget();
}

} // namespace zr::test
