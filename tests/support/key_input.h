#pragma once

// Keys as the user types them, for window tests: press and release delivered to a widget (and,
// when it ignores them, to its parents, as Qt does).

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace zr::test {

inline void key(QWidget* w, int k, const QString& text = {},
                Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, k, modifiers, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, modifiers, text);
    QApplication::sendEvent(w, &release);
}

// Each character as its key, with its text.
inline void type(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        key(w, c.toUpper().unicode(), QString(c));
    }
}

} // namespace zr::test
