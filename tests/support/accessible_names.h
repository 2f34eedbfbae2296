#pragma once

// What a screen reader finds nameless in a window: every control (button, tool button, check
// box, radio button, editable text, combo box, spin box) and every status bar panel among the
// window's widgets, hidden ones included, whose accessible interface has an empty name.

#include <QAccessible>
#include <QAccessibleInterface>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <string>

namespace zr::test {

inline bool isControlRole(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Button:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
        return true;
    default:
        return false;
    }
}

inline QString describe(const QWidget* w) {
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

// The nameless controls and panels of `window`, as "class "name"" separated by "; " (empty when
// every one has a name); also those that have no accessible interface at all.
inline std::string namelessControls(QWidget* window) {
    QStringList out;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (w->isWindow() && w != window) {
            continue; // another window (a dialog or a menu): checked on its own
        }
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        if (!iface) {
            out.append(describe(w) + QStringLiteral(" (no interface)"));
            continue;
        }
        const bool panel = qobject_cast<QStatusBar*>(w->parentWidget()) != nullptr &&
                           qobject_cast<QLabel*>(w) != nullptr;
        if ((panel || isControlRole(iface->role())) &&
            iface->text(QAccessible::Name).trimmed().isEmpty()) {
            out.append(describe(w));
        }
    }
    return out.join(QStringLiteral("; ")).toStdString();
}

// How many controls and panels `namelessControls` looked at, so that a test can see it looked.
inline int countedControls(QWidget* window) {
    int n = 0;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w)) {
            n += isControlRole(iface->role()) ? 1 : 0;
        }
    }
    return n;
}

} // namespace zr::test
