// Registers the text report windows' pictures, which live in this static library.

#include "ui_resources.h"

#include <QtGlobal>

static void initTextReportUiResources() {
    // Each resource file of the windows registers here once it exists.
    Q_INIT_RESOURCE(dialogs);
}

namespace zr::textreport::ui {

void initResources() {
    static const bool done = [] {
        initTextReportUiResources();
        return true;
    }();
    (void)done;
}

} // namespace zr::textreport::ui
