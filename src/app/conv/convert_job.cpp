#include "convert_job.h"

#include "app/common/document_kind.h"
#include "app/common/report_document.h"
#include "app/common/report_file.h"
#include "app/common/version.h"
#include "app/conv/convert_options.h"
#include "platform/files/atomic_file.h"
#include "platform/files/temporary_files.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/printing/print_destination.h"
#include "platform/text/page_selection.h"
#include "standard_streams.h"
#include "thumbnail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

namespace zr::app {

namespace {

// Whether a file can be written as `output` (its folder exists and takes a new file of that
// name, or it is a device or pipe that may be written); says why not, with the system's
// reason, before any work is done.
bool outputWritable(const QString& output, Interaction& ui) {
    const int error = AtomicFile::writableError(output);
    if (error != 0) {
        ui.message(MessageKind::Error, writeFailedMessage(output, error));
        return false;
    }
    return true;
}

} // namespace

QString ConvertJob::usageHint() {
    return QStringLiteral("Use 'zeralconv --help' para ver as opções.");
}

namespace {

struct CommandName {
    const char* name;
    ConvertJob::Command command;
    unsigned bit;
    // The help's first line after the command's name, then its description.
    const char* synopsis;
    const char* description;
};

const CommandName kCommands[] = {
    {"info", ConvertJob::Command::Info, ForInfo, "ARQUIVO",
     "  Escreve linhas \"chave: valor\": format, title, pages; de relatórios texto também\n"
     "  items, lines, columns, lpp, pitch e style; de relatórios preparados uma linha\n"
     "  \"page N: L x A\" por página (pixels a 96 por polegada).\n"},
    {"fonts", ConvertJob::Command::Fonts, ForFonts, "ARQUIVO",
     "  Lista as fontes (família e estilo) dos textos de um relatório preparado, cada uma\n"
     "  com a fonte instalada que a desenha e as fontes de reserva que foram precisas.\n"},
    {"convert", ConvertJob::Command::Convert, ForConvert, "[OPÇÕES] ENTRADA SAÍDA",
     "  O tipo da saída vem da extensão de SAÍDA (maiúsculas ou minúsculas) ou de --to:\n"
     "    de relatórios texto: gvp prn txt htm html pdf png\n"
     "    de relatórios preparados: qp3 pdf png\n"},
    {"print", ConvertJob::Command::Print, ForPrint, "[OPÇÕES] [--printer FILA] ENTRADA",
     "  Envia o relatório a uma fila do CUPS, sem diálogo, e escreve \"pedido ID: FILA-N\".\n"},
    {"thumbnail", ConvertJob::Command::Thumbnail, ForThumbnail, "[--size N] ENTRADA SAÍDA.png",
     "  Desenha a primeira página de um relatório de qualquer tipo numa imagem PNG:\n"},
};

QString commandHelp(const CommandName& c) {
    QString text = QStringLiteral("zeralconv ") + QLatin1String(c.name) + QLatin1Char(' ') +
                   QString::fromUtf8(c.synopsis) + QLatin1Char('\n') +
                   QString::fromUtf8(c.description);
    QString options = optionHelp(c.bit);
    // -h/--help closes every command's list; the general help states it once.
    const qsizetype help = options.indexOf(QLatin1String("  -h, --help"));
    if (help >= 0) {
        options.truncate(help);
    }
    text += options;
    if (c.command == ConvertJob::Command::Convert) {
        text += QStringLiteral(
            "  Uma seleção sem nenhuma página é um erro; o arquivo de saída não é gravado.\n");
    }
    return text;
}

} // namespace

QString ConvertJob::usage(const QString& command) {
    static const QString exits = QStringLiteral(
        "Saída: 0 concluído; 1 entrada rejeitada, saída não gravada ou operação cancelada;\n"
        "2 erro de uso.\n");
    for (const CommandName& c : kCommands) {
        if (command == QLatin1String(c.name)) {
            return QStringLiteral("Uso: ") + commandHelp(c) + QLatin1Char('\n') + exits;
        }
    }
    QString text = QStringLiteral("Uso:\n");
    for (const CommandName& c : kCommands) {
        text += QStringLiteral("  zeralconv ") + QLatin1String(c.name) + QLatin1Char(' ') +
                QString::fromUtf8(c.synopsis) + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "  zeralconv COMANDO --help | zeralconv --help | zeralconv --version\n"
        "\n"
        "O tipo do relatório (texto .GVP ou preparado .QP3) é reconhecido pelo conteúdo.\n"
        "ENTRADA \"-\" lê a entrada padrão; SAÍDA \"-\" grava na saída padrão (a de convert\n"
        "com --to). Um argumento que começa por \"-\" e não é opção é um erro de uso; depois\n"
        "de \"--\" todos são arquivos. --OPÇÃO=VALOR vale o mesmo que --OPÇÃO VALOR.\n");
    for (const CommandName& c : kCommands) {
        text += QLatin1Char('\n') + commandHelp(c);
    }
    return text + QLatin1Char('\n') + exits;
}

std::optional<ConvertJob> ConvertJob::parse(const QStringList& args, QString& error) {
    ConvertJob job;
    if (args.isEmpty()) {
        error = QStringLiteral("falta o comando (info, fonts, convert, print ou thumbnail)");
        return std::nullopt;
    }
    const QString& verb = args.first();
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h") ||
        verb == QLatin1String("help")) {
        job.command = Command::Help;
        if (verb == QLatin1String("help") && args.size() > 1) {
            job.helpTopic = args[1];
        }
        return job;
    }
    if (verb == QLatin1String("--version")) {
        job.command = Command::Version;
        return job;
    }
    const CommandName* command = nullptr;
    for (const CommandName& c : kCommands) {
        if (verb == QLatin1String(c.name)) {
            command = &c;
        }
    }
    if (!command) {
        error = QStringLiteral("comando desconhecido: %1").arg(verb);
        return std::nullopt;
    }
    job.command = command->command;

    QStringList positional;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--")) {
            positional += args.mid(i + 1);
            break;
        }
        if (a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            positional += a;
            continue;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            job.command = Command::Help;
            job.helpTopic = verb;
            return job;
        }
        // "--name value", "--name=value" and "-x value".
        const bool isLong = a.startsWith(QLatin1String("--"));
        const qsizetype equals = isLong ? a.indexOf(QLatin1Char('=')) : -1;
        const QString spelled = equals < 0 ? a : a.left(equals);
        const ConvertOption* option = nullptr;
        bool elsewhere = false;
        for (const ConvertOption& o : convertOptions()) {
            const bool named = isLong ? spelled.mid(2) == QLatin1String(o.name) && *o.name != '\0'
                                      : spelled.size() == 2 && o.shortName != 0 &&
                                            spelled[1] == QLatin1Char(o.shortName);
            if (!named || !o.apply) {
                continue;
            }
            if (isLong ? o.takes(command->bit) : o.takesShort(command->bit)) {
                option = &o;
                break;
            }
            elsewhere = true;
        }
        if (!option) {
            error = elsewhere ? QStringLiteral("opção desconhecida para %1: %2").arg(verb, spelled)
                              : QStringLiteral("opção desconhecida: %1").arg(spelled);
            return std::nullopt;
        }
        QString value;
        if (!option->argument) {
            if (equals >= 0) {
                error = QStringLiteral("a opção %1 não leva valor").arg(spelled);
                return std::nullopt;
            }
        } else if (equals >= 0) {
            value = a.mid(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = QStringLiteral("a opção %1 precisa de um valor").arg(a);
            return std::nullopt;
        }
        if (!option->apply(job, value, error)) {
            return std::nullopt;
        }
        job.given.push_back(option);
    }
    if (job.oddEven == 3) {
        error = QStringLiteral("--odd e --even não podem ser usadas juntas");
        return std::nullopt;
    }
    if (!PageSelection::parse(job.pages, &error)) {
        return std::nullopt;
    }
    job.pageGiven = job.gave("page");
    job.scaleGiven = job.gave("scale");
    job.sheetGiven = job.gave("sheet");

    const qsizetype wanted =
        job.command == Command::Convert || job.command == Command::Thumbnail ? 2 : 1;
    if (positional.size() != wanted) {
        error = wanted == 2 ? QStringLiteral("%1 precisa de um arquivo de entrada e um de saída")
                                  .arg(verb)
                            : QStringLiteral("%1 precisa de um arquivo").arg(verb);
        return std::nullopt;
    }
    job.input = positional[0];
    if (wanted == 2) {
        job.output = positional[1];
    }
    if (job.command == Command::Print) {
        if (job.duplex && !job.sides.isEmpty()) {
            error = QStringLiteral("--duplex e --sides não podem ser usadas juntas");
            return std::nullopt;
        }
        if (job.sheetGiven && !job.media.isEmpty()) {
            error = QStringLiteral("--sheet e --media não podem ser usadas juntas");
            return std::nullopt;
        }
    }
    if (job.command == Command::Convert && job.output == QLatin1String("-") && job.to.isEmpty()) {
        error = QStringLiteral("a saída padrão (-) precisa de --to TIPO");
        return std::nullopt;
    }
    // Standard input is read, and its kind told, when the job runs.
    if (job.input != QLatin1String("-") &&
        !job.checkFor(detectDocumentKind(job.input) == DocumentKind::PreparedReport, error)) {
        return std::nullopt;
    }
    return job;
}

bool ConvertJob::gave(const char* name) const {
    return std::any_of(given.begin(), given.end(),
                       [&](const ConvertOption* o) { return std::strcmp(o->name, name) == 0; });
}

QString ConvertJob::outputKind() const {
    return to.isEmpty() ? QFileInfo(output).suffix().toLower() : to;
}

bool ConvertJob::checkFor(bool prepared, QString& error) const {
    const unsigned kind = prepared ? OfPrepared : OfText;
    const QString ext = outputKind();
    const unsigned outputKindBit = outputBit(ext);
    if (command == Command::Convert &&
        !reportFormats(prepared ? ReportContent::PreparedReport : ReportContent::TextReport)
             .contains(ext)) {
        error = QStringLiteral("tipo de saída não suportado para esta entrada: %1")
                    .arg(ext.isEmpty() ? output : QLatin1Char('.') + ext);
        return false;
    }
    // What the table says each option applies to.
    for (const ConvertOption* o : given) {
        if (command == Command::Print && (o->kinds & kind) == 0) {
            error = QString::fromUtf8(o->kindRefusal);
            return false;
        }
        if (command == Command::Convert && ((o->kinds & kind) == 0 || (o->outputs & outputKindBit) == 0)) {
            error = QString::fromUtf8(o->refusal ? o->refusal : o->kindRefusal);
            return false;
        }
    }
    // What options say of each other.
    const bool pageOptions = !pages.isEmpty() || oddEven != 0 || reverse;
    if (command == Command::Print) {
        if (printMode == 2 && (oddEven != 0 || reverse)) {
            error = QStringLiteral("--odd, --even e --reverse não valem com --mode join (as "
                                   "páginas se juntam em ordem)");
            return false;
        }
        if (printMode == 0 && sheetGiven) {
            error = QStringLiteral("--sheet só vale com --mode scale, split ou join (no modo "
                                   "default cada página sai no seu papel)");
            return false;
        }
        return true;
    }
    if (command != Command::Convert) {
        return true;
    }
    const bool denied = noPrint || noCopy || noModify || noAnnotate;
    if (denied && (ownerPassword.isEmpty() || ownerPassword == userPassword)) {
        // Without an owner password of its own whoever opens the file is its owner, with every
        // right.
        error = QStringLiteral("--no-print, --no-copy, --no-modify e --no-annotate precisam de "
                               "--owner-password (diferente de --user-password)");
        return false;
    }
    if (pdfa && (!userPassword.isEmpty() || !ownerPassword.isEmpty() || aes256)) {
        // An archival file must open without a password.
        error = QStringLiteral("--pdfa não admite senha (um PDF/A não pode ser cifrado)");
        return false;
    }
    if (pdfua && noCopy) {
        // A screen reader takes the text through the permission to copy.
        error = QStringLiteral("--pdfua não admite --no-copy (um leitor de tela precisa copiar "
                               "o texto)");
        return false;
    }
    if (pageGiven && pageOptions) {
        error = QStringLiteral("--page não pode ser usada com --pages, --odd, --even ou --reverse");
        return false;
    }
    return true;
}

std::vector<int> ConvertJob::selectedPages(int total) const {
    // The text was checked when the command line was read.
    const std::optional<PageSelection> selection = PageSelection::parse(pages);
    return selection ? selection->pages(total,
                                        oddEven == 1   ? PageSelection::Parity::Odd
                                        : oddEven == 2 ? PageSelection::Parity::Even
                                                       : PageSelection::Parity::All,
                                        reverse)
                     : std::vector<int>{};
}

namespace {

// The converter's view of an interruption: once Ctrl+C or SIGTERM has come, what the engines
// still say (a save that was refused, a job that stopped) is a consequence of it, and only
// "Operação cancelada." is shown at the end.
class InterruptFilter final : public ForwardingInteraction {
public:
    using ForwardingInteraction::ForwardingInteraction;
    void message(MessageKind kind, const QString& text, const QString& caption = {}) override {
        if (!CancelRequest::interrupted()) {
            ForwardingInteraction::message(kind, text, caption);
        }
    }
};

// Gives every error message of the engines one line: one of the layout "WHAT...\r\rArquivo:
// NAME\rREASON" becomes "WHAT NAME: REASON". (A write that failed in a call of the system is
// said by WriteMessages in the converter's own words.)
class OneLineMessages final : public ForwardingInteraction {
public:
    using ForwardingInteraction::ForwardingInteraction;
    void message(MessageKind kind, const QString& text, const QString& caption = {}) override {
        if (kind != MessageKind::Error) {
            ForwardingInteraction::message(kind, text, caption);
            return;
        }
        static const QRegularExpression layout(
            QStringLiteral("^(.*?)\\.\\.\\.\\r\\r?Arquivo: ([^\\r]*)(?:\\r(.*))?$"),
            QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = layout.match(text);
        if (!m.hasMatch()) {
            ForwardingInteraction::message(kind, text, caption);
            return;
        }
        QString what = m.captured(1);
        what.replace(QLatin1String(" na Abertura"), QLatin1String(" na abertura"));
        const QString why = m.captured(3).trimmed().replace(QLatin1Char('\r'), QLatin1Char(' '));
        ForwardingInteraction::message(kind,
                                       what + QLatin1Char(' ') + m.captured(2) +
                                           (why.isEmpty() ? QString() : QStringLiteral(": ") + why),
                                       caption);
    }
};

// The exit code of work that came to `outcome`; cancelled work says so.
int exitCodeOf(const Outcome& outcome, Interaction& ui) {
    if (outcome.cancelled()) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
    }
    return outcome.done() ? ExitDone : ExitFailed;
}

// Passes everything on, except that between hold() and release() error messages are held back
// until the write's outcome is known: a write that failed in a call of the system is then said
// in the converter's own line, with the system's reason, in place of the engine's words;
// otherwise what was held passes on.
class WriteMessages final : public ForwardingInteraction {
public:
    using ForwardingInteraction::ForwardingInteraction;
    void message(MessageKind kind, const QString& text, const QString& caption = {}) override {
        if (m_holding && kind == MessageKind::Error) {
            m_held.emplace_back(text, caption);
            return;
        }
        ForwardingInteraction::message(kind, text, caption);
    }
    void hold() { m_holding = true; }
    // Ends the hold of a write to `output` that came to `outcome`, says why it failed, and
    // returns the job's exit code.
    int release(const Outcome& outcome, const QString& output) {
        m_holding = false;
        const std::vector<std::pair<QString, QString>> held = std::exchange(m_held, {});
        if (outcome.systemError != 0) {
            message(MessageKind::Error, writeFailedMessage(output, outcome.systemError));
        } else {
            for (const auto& [text, caption] : held) {
                message(MessageKind::Error, text, caption);
            }
        }
        return exitCodeOf(outcome, *this);
    }

private:
    std::vector<std::pair<QString, QString>> m_held; // text and caption
    bool m_holding = false;
};

// An `info` line without trailing blanks; control characters in the value become blanks.
QByteArray infoLine(QByteArrayView key, QByteArray value) {
    for (char& c : value) {
        if (uchar(c) < 0x20) {
            c = ' ';
        }
    }
    while (value.endsWith(' ')) {
        value.chop(1);
    }
    return key.toByteArray() + (value.isEmpty() ? ":" : ": ") + value + '\n';
}

} // namespace

int ConvertJob::run(Interaction& ui, std::FILE* out) const {
    InterruptFilter filtered(ui);
    int code = ExitFailed;
    try {
        code = runCommand(filtered, out);
    } catch (const std::bad_alloc&) {
        // Whatever was being built has been freed on the way out, and no output was replaced.
        static const char* const doing[] = {"descrever o relatório", "converter o relatório",
                                            "imprimir o relatório", "desenhar a miniatura",
                                            "listar as fontes"};
        const int at = command == Command::Info      ? 0
                       : command == Command::Convert ? 1
                       : command == Command::Print   ? 2
                       : command == Command::Thumbnail ? 3
                                                       : 4;
        filtered.message(MessageKind::Error, QStringLiteral("Memória insuficiente para %1.")
                                                 .arg(QString::fromUtf8(doing[at])));
        return ExitFailed;
    }
    // What was written to standard output must have reached it.
    if (code == ExitDone && !outputFlushed(out, filtered)) {
        code = ExitFailed;
    }
    // A job that finished before the interruption came has done its work; any other has
    // replaced nothing (AtomicFile refuses every commit after an interruption).
    if (CancelRequest::interrupted() && code != ExitDone) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        return ExitFailed;
    }
    return code;
}

int ConvertJob::runCommand(Interaction& ui, std::FILE* out) const {
    if (command == Command::Help) {
        std::fputs(usage(helpTopic).toLocal8Bit().constData(), out);
        return ExitDone;
    }
    if (command == Command::Version) {
        std::fprintf(out, "zeralconv %s\n", app::kProgramVersion);
        return ExitDone;
    }
    // Every command reads "-" as standard input; the commands that write a file write "-" to
    // standard output. Both go through a private folder, since the engines read and write
    // files by name.
    const bool fromStdin = input == QLatin1String("-");
    const bool toStdout = (command == Command::Convert || command == Command::Thumbnail) &&
                          output == QLatin1String("-");
    if (!fromStdin && !toStdout) {
        return runOnFiles(ui, out);
    }
    Scratch scratch;
    if (!scratch.isValid()) {
        ui.message(MessageKind::Error,
                   QStringLiteral("Erro na criação de uma pasta temporária em %1: %2")
                       .arg(QDir::tempPath(), scratch.errorString()));
        return ExitFailed;
    }
    ConvertJob job = *this;
    if (fromStdin) {
        job.input = scratch.file(QStringLiteral("entrada"));
        if (!copyStandardInput(job.input, ui)) {
            return ExitFailed;
        }
        QString error;
        if (!job.checkFor(reportContentOfFile(job.input) == ReportContent::PreparedReport,
                          error)) {
            ui.message(MessageKind::Error, error + QLatin1Char('\n') + usageHint());
            return ExitUsage;
        }
    }
    if (toStdout) {
        job.output = scratch.file(QStringLiteral("saida.") +
                                  (command == Command::Thumbnail ? QStringLiteral("png")
                                                                 : outputKind()));
    }
    const int code = job.runOnFiles(ui, out);
    if (code != ExitDone || !toStdout) {
        return code;
    }
    return copyToOutput(job.output, out, ui) ? ExitDone : ExitFailed;
}

namespace {

// The request a print job starts from: the destination `printer` names, or the print system's
// default one (the user's lpoptions, PRINTER, then the server's default), with its saved
// options. Nothing, having said why, when there is no such destination.
std::optional<PrintRequest> savedRequest(const QString& printer, Interaction& ui) {
    const DestinationLookup lookup = findPrintDestination(printer);
    if (!lookup.destination) {
        ui.message(MessageKind::Error,
                   lookup.problem == DestinationLookup::Problem::NoDefault
                       ? QStringLiteral("Não há impressora padrão: use --printer FILA.")
                       : lookup.message);
        return std::nullopt;
    }
    return PrintRequest::startingFrom(*lookup.destination);
}

} // namespace

int ConvertJob::runOnFiles(Interaction& ui, std::FILE* out) const {
    if (command == Command::Thumbnail) {
        return writeThumbnail(input, output, thumbnailSize, ui);
    }
    // Both files are looked at before any work is done.
    QString error;
    if (judgeReportFile(input, error) == ReportContent::Unknown) {
        ui.message(MessageKind::Error, error);
        return ExitFailed;
    }
    if (command == Command::Convert && !outputWritable(output, ui)) {
        return ExitFailed;
    }
    OneLineMessages oneLine(ui);
    WriteMessages messages(oneLine);
    bool cancelled = false;
    const std::unique_ptr<ReportDocument> document =
        openReportDocument(input, messages, {model, accents}, &cancelled);
    if (!document) {
        if (cancelled) {
            ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        }
        return ExitFailed;
    }
    if (command == Command::Info) {
        std::vector<InfoLine> lines;
        if (!document->describe(lines).done()) {
            return ExitFailed;
        }
        for (const auto& [key, value] : lines) {
            std::fputs(infoLine(key, value).constData(), out);
        }
        return ExitDone;
    }
    if (command == Command::Fonts) {
        QByteArray text;
        if (!document->listFonts(text).done()) {
            return ExitFailed;
        }
        std::fwrite(text.constData(), 1, std::size_t(text.size()), out);
        return ExitDone;
    }
    const std::vector<int> selection = selectedPages(document->pageCount());
    const QString ext = outputKind();
    const bool pageOptions = !pages.isEmpty() || oddEven != 0 || reverse;
    // A report written in its own format needs no page; a picture of the page asked for needs
    // no other.
    const bool ownFormat = ext == reportFormats(document->kind()).front();
    if (selection.empty() &&
        (command == Command::Print || pageOptions || (!ownFormat && !pageGiven))) {
        ui.message(MessageKind::Error, PageSelection::noPageMessage());
        return ExitFailed;
    }
    if (command == Command::Print) {
        return printDocument(*document, selection, messages, out);
    }
    WriteOptions options;
    options.userPassword = userPassword;
    options.ownerPassword = ownerPassword;
    options.aes256 = aes256;
    options.allowPrint = !noPrint;
    options.allowCopy = !noCopy;
    options.allowModify = !noModify;
    options.allowAnnotate = !noAnnotate;
    options.archival = pdfa;
    options.universal = pdfua;
    options.outline = outline;
    options.background = background;
    options.quality = quality;
    if (titleGiven) {
        options.title = title;
    }
    options.page = pageGiven || selection.empty() ? page : selection.front();
    options.scale = scale;
    options.copies = copies;
    options.collate = collate;
    messages.hold();
    return messages.release(document->write(ext, output, options, selection), output);
}

int ConvertJob::printDocument(ReportDocument& document, const std::vector<int>& selection,
                              Interaction& ui, std::FILE* out) const {
    std::optional<PrintRequest> saved = savedRequest(printer, ui);
    if (!saved) {
        return ExitFailed;
    }
    // The command line's options take the place of the saved ones: -o first, then the options
    // of their own.
    PrintRequest& request = *saved;
    for (const auto& [name, value] : jobOptions) {
        request.setOption(name, value);
    }
    request.title = title;
    if (request.title.isEmpty() && document.title().isEmpty() && input != QLatin1String("-")) {
        request.title = QFileInfo(input).fileName();
    }
    if (gave("copies")) {
        request.copies = copies;
    }
    if (!collate) {
        request.collate = false;
    }
    PrintLayout layout;
    layout.mode = printMode;
    if (sheetGiven) {
        // The sheet is the job's paper.
        layout.sheet = sheet;
        request.media.clear();
        request.mediaMm = {};
    }
    if (!media.isEmpty()) {
        request.setMedia(*printMediaByName(media), media);
    }
    if (!sides.isEmpty() || duplex) {
        request.sides = duplex ? QStringLiteral("two-sided-long-edge") : sides;
    }
    const PrintOutcome printed = document.print(request, layout, selection);
    if (printed.outcome.done() && printed.jobId > 0) {
        // As lp's "request id is": the queue and the job's number.
        const QByteArray line = QStringLiteral("pedido ID: %1-%2\n")
                                    .arg(request.destination.queue)
                                    .arg(printed.jobId)
                                    .toUtf8();
        std::fwrite(line.constData(), 1, std::size_t(line.size()), out);
    }
    return exitCodeOf(printed.outcome, ui);
}

} // namespace zr::app
