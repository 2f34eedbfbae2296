#pragma once

// Answers the modal windows a key press opens (Qt's file dialog, a message box) as the user
// does: by keys on the focus widget. Each answer is set up before the key that opens the window
// and runs from the window's own event loop once the window is the active modal one.

#include "key_input.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace zr::test {

// Runs `act` on the first modal window of type W to be shown and active. Gives up (running
// nothing) after a great many turns of the event loop without one, so that a test whose window
// never comes fails instead of hanging.
template <typename W> void whenModal(std::function<void(W&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(0);
    auto turns = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, turns] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (w && w->isVisible() && w->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            act(*w);
        } else if (++*turns > 200000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// The file dialog's boxes, as Qt names them.
inline QLineEdit* fileNameBox(QFileDialog& dialog) {
    return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}
inline QComboBox* fileTypeBox(QFileDialog& dialog) {
    return dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
}

// Moves the focus by Tab presses until `target` has it; false when a round of the dialog's
// controls does not reach it.
inline bool tabTo(QWidget* target) {
    for (int i = 0; i < 40 && QApplication::focusWidget() != target; ++i) {
        key(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return QApplication::focusWidget() == target;
}

// In the file dialog on screen: selects what the name box holds and types `name` over it.
inline bool typeFileName(QFileDialog& dialog, const QString& name) {
    if (!tabTo(fileNameBox(dialog))) {
        return false;
    }
    key(QApplication::focusWidget(), Qt::Key_A, {}, Qt::ControlModifier);
    type(QApplication::focusWidget(), name);
    return true;
}

// In the file dialog on screen: picks entry `index` (from 0) of the type box by keys (Home,
// then Down).
inline bool pickFileType(QFileDialog& dialog, int index) {
    if (!tabTo(fileTypeBox(dialog))) {
        return false;
    }
    key(QApplication::focusWidget(), Qt::Key_Home);
    for (int i = 0; i < index; ++i) {
        key(QApplication::focusWidget(), Qt::Key_Down);
    }
    return true;
}

// Enter in the name box: the dialog's default button.
inline bool confirmFileDialog(QFileDialog& dialog) {
    if (!tabTo(fileNameBox(dialog))) {
        return false;
    }
    key(QApplication::focusWidget(), Qt::Key_Return);
    return true;
}

} // namespace zr::test
