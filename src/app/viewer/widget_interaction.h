#pragma once

#include "platform/interaction/interaction.h"

#include <QString>

class QWidget;

namespace zr::app {

// The viewer's Interaction: message boxes, Yes/No question boxes and the progress window.
// Boxes are application-modal and sit over the active window when that window can take input.
// A box without a caption takes the application name.
class WidgetInteraction final : public Interaction {
public:
    // An OK box with the information, warning or error icon.
    void message(MessageKind kind, const QString& text, const QString& caption = {}) override;
    // A Yes/No box with the information icon.
    bool confirm(const QString& text, const QString& caption) override;
    // Shows the progress window (see textreport::ui::WindowProgress); its cancel question is
    // asked with confirm().
    std::unique_ptr<Progress> beginProgress(const ProgressInfo& info) override;

    // A text as a box shows it: each carriage return (alone or before a line feed) becomes a
    // line break.
    static QString boxText(const QString& text);
    // The caption a box gets: the given one, or the application name when it is empty.
    static QString boxCaption(const QString& caption);

private:
    static QWidget* boxParent();
};

} // namespace zr::app
