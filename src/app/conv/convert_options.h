#pragma once

// The converter's options, each declared once: the parser, the help of every command, the
// checks against the kind of report and of output, and the tests that hold the manual page and
// the README to the program all read this table.

#include <QString>

#include <span>

namespace zr::app {

struct ConvertJob;

// The commands an option belongs to.
enum OptionCommand : unsigned {
    ForInfo = 1,
    ForFonts = 2,
    ForConvert = 4,
    ForPrint = 8,
    ForThumbnail = 16,
    ForAll = 31,
};

// The outputs of `convert` an option applies to.
enum OptionOutput : unsigned {
    ToGvp = 1,
    ToPrn = 2,
    ToTxt = 4,
    ToHtm = 8, // .htm and .html
    ToPdf = 16,
    ToQp3 = 32,
    ToPng = 64,
    ToAny = 127,
};

// The kinds of report an option applies to (for `convert` and `print`).
enum OptionKind : unsigned { OfText = 1, OfPrepared = 2, OfEither = 3 };

struct ConvertOption {
    const char* name;              // long name without the dashes; empty for a short-only one
    char shortName = 0;            // the one-letter name, 0 for none
    const char* argument = nullptr; // the value's name in the help; null for a flag
    unsigned commands = 0;         // OptionCommand bits
    unsigned shortCommands = 0;    // where the one-letter name is taken; 0: `commands`
    // Help text (continuation lines after '\n'); empty: shown on the previous option's line.
    const char* help = "";
    const char* printHelp = nullptr; // the text under `print`, where it differs
    unsigned outputs = ToAny;        // for `convert`
    unsigned kinds = OfEither;
    // The usage error when `convert` cannot honour it (output or kind) and when `print` cannot
    // (kind).
    const char* refusal = nullptr;
    const char* kindRefusal = nullptr;
    // Stores the value (empty for a flag) in the job; false with `error` set when it is no value
    // the option takes. Null for --help and --version, which the parser handles itself.
    bool (*apply)(ConvertJob& job, const QString& value, QString& error) = nullptr;

    // "--name", or "-x" for a short-only option.
    QString spelling() const;
    bool takes(unsigned command) const { return (commands & command) != 0; }
    bool takesShort(unsigned command) const {
        return ((shortCommands != 0 ? shortCommands : commands) & command) != 0;
    }
};

// Every option, in the order the help lists them.
std::span<const ConvertOption> convertOptions();

// The option bit of a lower-case output kind ("html" counts as htm); 0 for an unknown kind.
unsigned outputBit(const QString& kind);

// The option lines of one command's help ("  --to TIPO            tipo da saída ...").
QString optionHelp(unsigned command);

} // namespace zr::app
