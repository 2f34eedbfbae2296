#pragma once

// The page on screen as text for screen readers. A page view is drawn, so the accessibility
// tree would see an unnamed pane; made an accessible page, it is a read-only document whose
// text is the page's, in reading order, one line after the other, with a caret that starts at
// the page's first character. Screen readers (through AT-SPI) read it line by line, and hear
// when paging changes it.
//
//     zr::makeAccessiblePage(view, "Página do relatório", [this] { return currentPageText(); });
//     ... after showing another page:
//     zr::accessiblePageChanged(view);

#include <QString>

#include <functional>

class QWidget;

namespace zr {

// `text` gives the page's text, lines separated by '\n'; it is asked when a reader asks, and
// after accessiblePageChanged. The view keeps its name `name`. Undone when `view` is destroyed.
void makeAccessiblePage(QWidget* view, const QString& name, std::function<QString()> text);

// The page shown has changed: readers are told the text that went and the text that came, and
// the caret goes back to the start.
void accessiblePageChanged(QWidget* view);

} // namespace zr
