#pragma once

// The file formats a text report is written in, and the one place that turns a format into the
// engine's write. Every door that writes a report (the preview's Save, the converter) goes
// through writeReportAs, so a format means the same bytes whichever door asked for it.

#include "platform/interaction/outcome.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace zr::textreport {

class TGravana;

enum class TextReportFormat {
    Gvp, // the saved report itself (GravarRelatorio)
    Prn, // the printer's bytes (GravarPRN)
    Txt, // plain text (GravarTXT)
    Htm, // HTML (GravarHTML)
    Pdf, // PDF (GerarPDF, with the component's OpcoesPDF)
};

// The format an extension names, in any case and without its dot: "gvp", "prn", "txt", "htm" or
// "html", "pdf". nullopt for any other text.
std::optional<TextReportFormat> textReportFormatOf(QStringView extension);

// The format named by the extension of a file name's last component (what follows its last dot;
// a name that begins with its only dot has none). nullopt when it names none.
std::optional<TextReportFormat> textReportFormatOfFileName(const QString& fileName);

// The format's own extension as the program writes it, without its dot: "GVP", "PRN", "TXT",
// "HTM", "PDF".
QString extensionOf(TextReportFormat format);

// Writes the open report of `gravana` to `fileName` in `format`, through the engine's write for
// that format, and returns what the write came to; the write reports its own failures, and
// leaves an existing file intact when it fails. The name is used as given (no extension is
// added or changed).
Outcome writeReportAs(TGravana& gravana, TextReportFormat format, const QString& fileName);

} // namespace zr::textreport
