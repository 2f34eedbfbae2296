#pragma once

#include <QString>

#include <functional>

namespace zr {
class Interaction;
}

namespace zr::app {

class TfrmMenu;

// What the viewer does with a report file handed to it at start-up or chosen in its open dialog.
enum class StartAction {
    None,    // nothing: the main window is used as usual
    OpenGvp, // the text report component loads and previews the file
    OpenQp3, // the prepared-report store loads and previews the file
    Refused, // the file was named as a report but holds none: the user was told, nothing opened
};

struct StartDecision {
    StartAction action = StartAction::None;
    QString fileName;      // the file to open (blanks around the argument removed)
    QString pdfExportName; // OpenQp3 only: the PDF export's default file name
};

// Tells whether a path names an existing regular file.
using FileExists = std::function<bool(const QString& path)>;
bool isExistingFile(const QString& path);

// The text with every leading and trailing character up to and including the blank (all control
// characters and the space) removed.
QString trimBlanks(const QString& text);

// The extension of a file name: from the last '.' of its last path component to the end, dot
// included; empty when that component has no dot.
QString fileExtension(const QString& fileName);

// The PDF export's default name for a prepared report: the file name without its folder and
// without its last four characters (the name without ".QP3").
QString pdfExportNameFor(const QString& fileName);

// The start-up rule for the program's first argument. The argument is trimmed of blanks; when the
// result is empty or names no existing file nothing is opened. An extension of exactly ".GVP"
// (case matters: ".gvp" is not opened) goes to the text report component; an extension that is
// ".QP3" in any case goes to the prepared reports; any other extension opens nothing.
StartDecision startActionFor(const QString& argument, const FileExists& exists = isExistingFile);

// The desktop's rule, for `zeralvisualizador --open FILE` (what the desktop entry runs): the
// file's content decides, not its name, so "relatorio.gvp" or a report without an extension
// opens too. A text report (version marker on its first line) goes to the text report
// component, a prepared report (XML whose root is "preparedreport") to the prepared reports,
// with desktopPdfExportName as the PDF export's name. For anything else the decision is None
// and `problem` holds the message the user must see: the file is missing (or no file), or it is
// neither kind of report.
StartDecision openFileDecision(const QString& fileName, QString& problem);

// The PDF export's default name for a prepared report opened from the desktop: the file name
// without its folder and without its extension (".QP3" or any other); the whole name when it
// has none.
QString desktopPdfExportName(const QString& fileName);

// The caption of the viewer's own message boxes.
inline constexpr const char* kViewerCaption = "ZeralVisualizador";

// `--open FILE`: opens the file by openFileDecision in the window's engines (each previews its
// report and returns when the preview closes) and returns the program's exit code: 0 when a
// report was opened (the engines report their own load errors, as from the menu), 1 when the
// file is missing or no report, after telling the user so through `ui`.
int openFromDesktop(TfrmMenu& window, Interaction& ui, const QString& fileName);

// Where a file chosen in the open dialog goes: its content decides, as for the desktop; a file
// whose content tells nothing goes by its name, ".QP3" in any case to the prepared reports,
// every other name to the text report component, whose loader then says why it cannot read it.
StartAction openActionFor(const QString& fileName);

} // namespace zr::app
