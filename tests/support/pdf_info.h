#pragma once

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

namespace zr::test {

// What poppler's pdfinfo says of a PDF: page count, first page size in points, title.
struct PdfInfo {
    int pages = 0;
    QSizeF pageSize;
    QString title;
};

// True when pdfinfo (package poppler-utils) can be run.
bool pdfInfoAvailable();

// Runs pdfinfo on the bytes (bounded in time); nothing when they are not a readable PDF.
std::optional<PdfInfo> pdfInfo(const QByteArray& pdf);

// How a program run by runProgram went.
struct ProgramRun {
    bool found = false; // false when the program is not installed
    int exitCode = -1;  // -1 when it crashed or did not finish in time
    QByteArray out;
    QByteArray err;
};

// Runs `program` (searched in PATH) with the arguments, at most `timeoutMs` milliseconds.
ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 120000);

// What qpdf --check says against the file: empty when it exits 0 with no warning, else the
// reason; "qpdf missing" when it is not installed. With a password, it is given to qpdf.
QString qpdfCheckProblems(const QString& path, const QString& password = {});

// pdftotext's text of the whole file (UTF-8, -layout), with -upw when a password is given;
// nothing when pdftotext is missing or fails.
std::optional<QByteArray> popplerText(const QString& path, const QString& password = {});

// The text of each page of a PDF held in memory, in order, its white space made single blanks
// (a blank page gives an empty entry); empty when pdftotext is missing or fails.
QStringList popplerPageTexts(const QByteArray& pdf);

// The text pdf.js (npm's pdfjs-dist, run by node with `script`, tests/support/pdfjs_text.mjs)
// reads from every page, one text item a line. Nothing when node or pdfjs-dist is missing
// (`available` then false); an empty optional with `available` true when pdf.js could not open
// the file, whose reason goes to `error`.
std::optional<QByteArray> pdfjsText(const QString& script, const QString& path,
                                    const QString& password, bool& available,
                                    QString* error = nullptr);

} // namespace zr::test
