#pragma once

// The names screen readers call the windows' controls by.

#include <QString>

class QWidget;

namespace zr::textreport::ui {

// A caption as it should be spoken: the mnemonic marks taken out ("&&" stays a single "&"),
// line breaks and repeated blanks made single blanks, and a trailing colon dropped.
QString accessibleCaption(const QString& caption);

// Gives `widget` the spoken form of `caption` as its accessible name.
void setAccessibleCaption(QWidget* widget, const QString& caption);

} // namespace zr::textreport::ui
