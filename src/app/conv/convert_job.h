#pragma once

// The converter's jobs: `info` describes a report, `fonts` lists the faces it is drawn with,
// `convert` writes it in another format, `print` sends it to a queue and `thumbnail` draws its
// first page small. The command line is parsed into a ConvertJob value; run() does the work through
// the engines and returns the program's exit code. Messages of the engines go through the
// Interaction given.

#include "textreport/types.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "app/conv/thumbnail.h"
#include "platform/interaction/interaction.h"

namespace zr::app {

class ReportDocument;
struct ConvertOption;

enum ExitCode : int {
    ExitDone = 0,   // done (warnings may have been shown)
    ExitFailed = 1, // input rejected or output not written
    ExitUsage = 2,  // the command line is wrong
};

struct ConvertJob {
    enum class Command { Info, Convert, Print, Thumbnail, Fonts, Help, Version };
    Command command = Command::Help;
    QString input;     // "-": standard input
    QString output;    // "-": standard output (then `to` names the kind)
    QString to;        // the kind of output (an extension without the dot), overriding OUTPUT's
    QString helpTopic; // Help: the command whose help is asked for, empty for all

    // Options of `convert`. Each is honoured by the outputs it applies to and refused as a usage
    // error by the others; nothing is ignored.
    QString pages; // page selection, "1,3,5-12" (checked by parse)
    std::optional<textreport::TModelo> model;
    std::optional<textreport::TAcento> accents;
    int copies = 1;
    bool collate = true;
    bool reverse = false;
    int oddEven = 0; // 0 all, 1 odd, 2 even (3, both, is refused)
    int page = 1;    // the page of a picture output
    double scale = 1.0;
    bool pageGiven = false;
    bool scaleGiven = false;
    bool sheetGiven = false;
    QString userPassword;
    QString ownerPassword;
    bool aes256 = false; // protect the PDF with AES-256 instead of RC4
    // What the viewer's PDF options dialog sets, for a prepared report's PDF. The permissions
    // taken away need an owner password (with none, or with the user password alone, whoever
    // opens the file has every right).
    bool outline = false;    // the report's outline as bookmarks
    bool background = false; // the page background object
    bool titleGiven = false; // convert: `title` is the PDF's title (else the report's name)
    bool noPrint = false;
    bool noCopy = false;
    bool noModify = false;
    bool noAnnotate = false;
    int quality = 0; // JPEG quality of the pictures, 1-100; 0: the viewer's (95)
    bool pdfa = false;  // write an archival PDF/A-2 file (no password)
    bool pdfua = false; // write an accessible PDF/UA-1 file (copying for screen readers allowed)
    // Options of `print`: the queue, and for a prepared report its print mode and duplex.
    QString printer;   // empty: the print system's default destination
    int printMode = 0; // TqdxPrintMode: 0 default, 1 split, 2 join, 3 scale
    int sheet = 9;     // paper code of the sheet of the scale, split and join modes
    bool duplex = false;
    QString sides;     // IPP "sides" keyword (--sides); overrides --duplex's long edge
    QString title;     // the job's name; empty: the report's name, else the input's file name
    QString media;     // the job's "media" (--media), a name lp takes; also the modes' sheet
    std::vector<std::pair<QByteArray, QByteArray>> jobOptions; // -o NAME=VALUE, in order
    // Option of `thumbnail`: the side of the square the first page is fitted into, in pixels.
    int thumbnailSize = kDefaultThumbnailSize;
    // The options given, in order (entries of convertOptions()).
    std::vector<const ConvertOption*> given;
    // Whether the option of that long name was given.
    bool gave(const char* name) const;

    // Parses the arguments after the program name. nullopt with `error` set on a usage error
    // (one line). When INPUT is a file, the options are also checked against its kind.
    static std::optional<ConvertJob> parse(const QStringList& args, QString& error);

    // Checks the options against the kind of input (a prepared report or not) and the kind of
    // output; false with `error` set (one line) on a usage error.
    bool checkFor(bool prepared, QString& error) const;

    // The kind of output: `to`, else OUTPUT's extension, in lower case.
    QString outputKind() const;

    // The pages `convert` and `print` go through, numbered from 1, in order: those the range
    // selects (a PageSelection, all pages when empty), odd or even ones only, reversed on
    // request. Each page appears once.
    std::vector<int> selectedPages(int total) const;

    // Runs the job; `out` receives the `info` lines and the help text. After an interruption
    // (CancelRequest::interrupt) no file has been replaced, and the job ends with exit 1 and
    // the one message "Operação cancelada.".
    int run(Interaction& ui, std::FILE* out) const;

    // The help of every command, or of one ("info", "convert", "print", "thumbnail").
    static QString usage(const QString& command = {});
    // The line that follows a usage error.
    static QString usageHint();

private:
    int runCommand(Interaction& ui, std::FILE* out) const;
    int runOnFiles(Interaction& ui, std::FILE* out) const;
    // Prints the job's number ("pedido ID: FILA-N") on `out`.
    int printDocument(ReportDocument& document, const std::vector<int>& selection, Interaction& ui,
                      std::FILE* out) const;
};

} // namespace zr::app
