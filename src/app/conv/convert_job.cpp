#include "convert_job.h"

#include "app/common/document_kind.h"
#include "app/common/printing_hooks.h"
#include "app/common/report_file.h"
#include "app/common/version.h"
#include "app/common/viewer_settings.h"
#include "app/conv/convert_options.h"
#include "app/conv/font_report.h"
#include "pdfwriter/qdx_pdf_security.h"
#include "platform/files/atomic_file.h"
#include "platform/files/temporary_files.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/interaction/outcome.h"
#include "platform/printing/system_printer.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/document/qdx_scoped_interaction.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/print/qdx_print_job.h"
#include "reportlib/print/qdx_printer.h"
#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"
#include "textreport/export/report_format.h"
#include "textreport/gravana.h"
#include "textreport/io/gvp_file.h"
#include "textreport/render/page_renderer.h"
#include "thumbnail.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <new>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace zr::app {

using namespace zr::textreport;

namespace {

// The outputs each kind of input can be converted to, by lower-case extension.
bool outputKnown(DocumentKind kind, const QString& ext) {
    static const QStringList text = {
        QStringLiteral("gvp"),  QStringLiteral("prn"), QStringLiteral("txt"), QStringLiteral("htm"),
        QStringLiteral("html"), QStringLiteral("pdf"), QStringLiteral("png")};
    static const QStringList prepared = {QStringLiteral("qp3"), QStringLiteral("pdf"),
                                         QStringLiteral("png")};
    return (kind == DocumentKind::TextReport ? text : prepared).contains(ext);
}

QByteArray pitchNumber(TSize size) {
    return QByteArray::number(pitchOf(size));
}

// Largest picture output: 100 million pixels (400 MiB in memory).
constexpr qint64 kMaxImagePixels = 100'000'000;

// The system's reason for an error number, as the tools around the converter give it.
QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The converter's own message for an output it could not write.
QString writeFailedMessage(const QString& output, int error = 0) {
    return QStringLiteral("Erro na gravação do arquivo ") + output +
           (error != 0 ? QStringLiteral(": ") + reason(error) : QString());
}

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

// The message for a picture the size of which no memory would hold.
QString tooLargeMessage(qint64 width, qint64 height) {
    return QStringLiteral("A imagem seria grande demais (%1 x %2 pixels): use uma escala menor.")
        .arg(width)
        .arg(height);
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
        if (!job.media.isEmpty()) {
            job.sheet = mediaPaperCode(job.media);
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

int ConvertJob::mediaPaperCode(const QString& name) {
    // The usual names (the print system's, any case), then self-describing PWG names, whose
    // last part is the size ("iso_a4_210x297mm", "na_letter_8.5x11in").
    static const std::pair<const char*, int> names[] = {
        {"letter", 1},    {"tabloid", 3}, {"ledger", 4},  {"legal", 5}, {"statement", 6},
        {"executive", 7}, {"a3", 8},      {"a4", 9},      {"a5", 11},   {"b4", 12},
        {"b5", 13},       {"folio", 14},  {"quarto", 15}, {"10x14", 16}};
    const QString lower = name.trimmed().toLower();
    for (const auto& [n, code] : names) {
        if (lower == QLatin1String(n)) {
            return reportlib::StandardPaperSize(code) ? code : 0;
        }
    }
    static const QRegularExpression pwg(
        QStringLiteral("^[a-z0-9-]+_[a-z0-9.-]+_(\\d+(?:\\.\\d+)?)x(\\d+(?:\\.\\d+)?)(mm|in)$"));
    const QRegularExpressionMatch m = pwg.match(lower);
    if (!m.hasMatch()) {
        return 0;
    }
    const double unit = m.captured(3) == QLatin1String("in") ? 25.4 : 1.0;
    return reportlib::preview::StandardPaperCodeBySize(m.captured(1).toDouble() * unit,
                                                       m.captured(2).toDouble() * unit, 1.0);
}

bool ConvertJob::checkFor(bool prepared, QString& error) const {
    const unsigned kind = prepared ? OfPrepared : OfText;
    const QString ext = outputKind();
    const unsigned outputKindBit = outputBit(ext);
    if (command == Command::Convert &&
        !outputKnown(prepared ? DocumentKind::PreparedReport : DocumentKind::TextReport, ext)) {
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

// A private folder in the temporary folder for standard input and output, removed with what
// it holds when the job ends (and by a repeated interruption, through TemporaryFiles).
class Scratch {
public:
    Scratch() : m_dir(QDir::tempPath() + QStringLiteral("/zeralconv-XXXXXX")) {
        if (m_dir.isValid()) {
            m_slots.push_back(TemporaryFiles::track(QFile::encodeName(m_dir.path())));
        }
    }
    ~Scratch() {
        for (const int slot : m_slots) {
            TemporaryFiles::untrack(slot);
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_dir.errorString(); }
    // The path of a file `name` in the folder, removed with it.
    QString file(const QString& name) {
        const QString path = m_dir.filePath(name);
        m_slots.push_back(TemporaryFiles::track(QFile::encodeName(path)));
        return path;
    }

private:
    QTemporaryDir m_dir;
    std::vector<int> m_slots;
};

// Copies standard input into `path`. False (having said why) on a read or write error or an
// interruption.
bool copyStandardInput(const QString& path, Interaction& ui) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ui.message(MessageKind::Error, writeFailedMessage(path, int(file.error() != 0 ? errno : 0)));
        return false;
    }
    char buffer[64 * 1024];
    while (!CancelRequest::interrupted()) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ui.message(MessageKind::Error,
                       QStringLiteral("Erro na leitura da entrada padrão: ") + reason(errno));
            return false;
        }
        if (file.write(buffer, n) != n) {
            ui.message(MessageKind::Error, writeFailedMessage(path, errno));
            return false;
        }
    }
    return false;
}

// Whether everything written to `out` (standard output) has reached it; says why not.
// `error` is the reason of a write already seen to fail.
bool outputFlushed(std::FILE* out, Interaction& ui, int error = 0) {
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out) != 0 || error != 0) {
        error = error != 0 ? error : errno;
        ui.message(MessageKind::Error, QStringLiteral("Erro na gravação da saída padrão: ") +
                                           reason(error != 0 ? error : EIO));
        std::clearerr(out);
        return false;
    }
    return true;
}

// Copies the file at `path` to `out` (standard output). False (having said why) on an error.
bool copyToOutput(const QString& path, std::FILE* out, Interaction& ui) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui.message(MessageKind::Error, openFailedMessage(path, ENOENT));
        return false;
    }
    while (!file.atEnd() && !CancelRequest::interrupted()) {
        const QByteArray chunk = file.read(256 * 1024);
        errno = 0;
        if (chunk.isEmpty() || std::fwrite(chunk.constData(), 1, std::size_t(chunk.size()), out) !=
                                   std::size_t(chunk.size())) {
            outputFlushed(out, ui, errno != 0 ? errno : EIO);
            return false;
        }
    }
    return outputFlushed(out, ui) && !CancelRequest::interrupted();
}

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
        ForwardingInteraction::message(
            kind, what + QLatin1Char(' ') + m.captured(2) + (why.isEmpty() ? QString() : QStringLiteral(": ") + why),
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

// Replaces the open text report's pages by `pages`, in that order, numbered from 1, so that the
// engine's saves and exports write just those pages. The page-count macro keeps showing the
// whole report's count ("page 3 of 10", not "of 2").
void keepTextPages(TGravana& g, const std::vector<int>& pages) {
    static constexpr QByteArrayView kPageCount = "&PAGE&";
    static constexpr qsizetype kTextStart = 20; // an item's text follows its 20-byte header
    const QByteArray pageCount = g.ExpandirMacros(kPageCount);
    const PageStore& old = *g.store();
    auto subset = std::make_unique<PageStore>();
    for (std::size_t k = 0; k < pages.size(); ++k) {
        const QByteArray number = QByteArray::number(qulonglong(k + 1)).rightJustified(4, '0');
        const auto [first, last] = g.itensDaPagina(pages[k]);
        for (qsizetype i = first; i < last; ++i) {
            QByteArray item = old.item(i).toByteArray();
            item.replace(0, 4, number);
            // The engine expands the first occurrence only, in any case.
            const qsizetype at =
                item.contains('&') ? item.toUpper().indexOf(kPageCount, kTextStart) : -1;
            if (at >= 0) {
                item.replace(at, kPageCount.size(), pageCount);
            }
            subset->appendUnsorted(item);
        }
    }
    subset->sort();
    g.state().store = std::move(subset);
}

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

void printLine(std::FILE* out, const char* key, const QByteArray& value) {
    std::fputs(infoLine(key, value).constData(), out);
}

} // namespace

// Passes everything on, except that between hold() and release() error messages are held back
// until the write's outcome is known: a write that failed in a call of the system is then said
// in the converter's own line, with the system's reason, in place of the engine's words;
// otherwise what was held passes on.
class ConvertJob::WriteMessages final : public ForwardingInteraction {
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
    OpenedReport report = openReport(input, messages);
    if (report.kind == ReportContent::Unknown) {
        if (report.cancelled) {
            ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        }
        return ExitFailed;
    }
    if (command == Command::Fonts) {
        if (!report.prepared) {
            ui.message(MessageKind::Error,
                       QStringLiteral("%1 não é um relatório preparado (.QP3): só estes usam "
                                      "fontes do sistema")
                           .arg(QFileInfo(input).fileName()));
            return ExitFailed;
        }
        return WriteFontReport(*report.prepared, messages, out);
    }
    if (report.prepared) {
        return runPreparedReport(*report.prepared, messages, out);
    }
    TGravana& g = *report.text;
    if (model) {
        g.Impressora = *model;
        g.MontarSequencias(g.Impressora, g.TamanhoQteLinhas, g.TamanhoQteLPP);
    }
    if (accents) {
        g.Acentuacao = *accents;
    }
    JobOptions& options = g.state().job;
    options.copias = copies;
    options.agrupar = collate;

    if (command == Command::Info) {
        printLine(out, "format", "GVP " + QByteArray::number(g.versaoLida()));
        printLine(out, "title", codepages::fromCp1252(g.TitulodoRelatorio).toUtf8());
        printLine(out, "pages", QByteArray::number(g.TotalPaginas()));
        printLine(out, "items", QByteArray::number(g.store()->size()));
        printLine(out, "lines", QByteArray::number(g.TamanhoQteLinhas));
        printLine(out, "columns", QByteArray::number(g.TamanhoQteColunas));
        printLine(out, "lpp", g.TamanhoQteLPP == TLinha::Seis ? "6" : "8");
        printLine(out, "pitch", pitchNumber(g.FonteTamanhoPadrao));
        printLine(out, "style", gvp::styleLetters(g.FonteEstiloPadrao));
        return ExitDone;
    }
    int code = ExitDone;
    // An empty store is a report of no page (the engine counts it as one blank page).
    const int total = g.store() && !g.store()->empty() ? g.TotalPaginas() : 0;
    const std::vector<int> selection = selectedPages(total);
    const QString ext = outputKind();
    const bool pageOptions = !pages.isEmpty() || oddEven != 0 || reverse;
    if (selection.empty() &&
        (command == Command::Print || pageOptions || (ext != QLatin1String("gvp") && !pageGiven))) {
        ui.message(MessageKind::Error, PageSelection::noPageMessage());
        code = ExitFailed;
    } else if (command == Command::Print || ext == QLatin1String("prn")) {
        // The print job takes the selection as an explicit list in its final order, and adds
        // the copies and their collation itself.
        QStringList list;
        for (const int p : selection) {
            list += QString::number(p);
        }
        options.faixa = list.join(QLatin1Char(',')).toLatin1();
        options.inverter = false;
        options.parImpar = 0;
        code = command == Command::Print ? printTextReport(g, messages)
                                         : writeTextReport(g, messages, page);
    } else {
        // The other outputs are given just the selected pages.
        if (ext != QLatin1String("png") && !PageSelection::everyPageInOrder(selection, total)) {
            keepTextPages(g, selection);
        }
        code =
            writeTextReport(g, messages, pageGiven || selection.empty() ? page : selection.front());
    }
    return code;
}

int ConvertJob::writeTextReport(TGravana& g, WriteMessages& ui, int picturePage) const {
    const QString ext = outputKind();
    if (ext == QLatin1String("png")) {
        return writePageImage(g, ui, picturePage);
    }
    // The formats go through the one write the text preview's Save uses.
    const std::optional<TextReportFormat> format = textReportFormatOf(ext);
    if (!format) {
        return ExitFailed; // parse() refuses any other kind
    }
    if (*format == TextReportFormat::Pdf) {
        g.OpcoesPDF.userPassword = userPassword;
        g.OpcoesPDF.ownerPassword = ownerPassword;
        g.OpcoesPDF.aes256 = aes256;
        g.OpcoesPDF.permissions =
            zr::pdf::TqdxPDFSecurity::PermissionValue(!noPrint, !noModify, !noCopy, !noAnnotate);
        g.OpcoesPDF.archival = pdfa;
    }
    ui.hold();
    return ui.release(writeReportAs(g, *format, output), output);
}

int ConvertJob::writePageImage(TGravana& g, Interaction& ui, int picturePage) const {
    if (picturePage > g.TotalPaginas()) {
        ui.message(MessageKind::Error, QStringLiteral("O relatório não tem a página %1 (tem %2).")
                                           .arg(picturePage)
                                           .arg(g.TotalPaginas()));
        return ExitFailed;
    }
    const PageGeometry paper =
        pageGeometry(PageLayout::Print, g.TamanhoQteColunas, g.TamanhoQteLinhas);
    const qint64 width = qRound64(paper.width * scale);
    const qint64 height = qRound64(paper.height * scale);
    if (width * height > kMaxImagePixels || width > kMaxImageSide || height > kMaxImageSide) {
        ui.message(MessageKind::Error, tooLargeMessage(width, height));
        return ExitFailed;
    }
    const QImage image = renderPageImage(g, picturePage, scale);
    if (image.isNull()) {
        throw std::bad_alloc(); // the size is allowed: only memory was missing
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    AtomicFile file(output);
    if (!image.save(&buffer, "PNG")) {
        ui.message(MessageKind::Error, writeFailedMessage(output));
        return ExitFailed;
    }
    if (!file.open() || !file.write(png) || !file.commit()) {
        ui.message(MessageKind::Error, writeFailedMessage(output, file.error()));
        return ExitFailed;
    }
    return ExitDone;
}

int ConvertJob::runPreparedReport(reportlib::TqdxReport& report, Interaction& ui,
                                  std::FILE* out) const {
    const QString ext = outputKind();
    reportlib::TqdxPreviewPages& store = report.PreviewPages();
    if (command == Command::Info) {
        // Gathered before anything is printed, so that a page that cannot be measured leaves
        // no half description behind.
        const int count = store.Count();
        QByteArray info = infoLine("format", "QP3");
        info += infoLine("title", codepages::fromCp1252(report.ReportOptions.Name).toUtf8());
        info += infoLine("pages", QByteArray::number(count));
        try {
            for (int i = 0; i < count; ++i) {
                const QSize size = store.PageExtent(i);
                info += infoLine("page " + QByteArray::number(i + 1),
                                 QByteArray::number(size.width()) + " x " +
                                     QByteArray::number(size.height()));
            }
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
            return ExitFailed;
        }
        std::fwrite(info.constData(), 1, std::size_t(info.size()), out);
        return ExitDone;
    }
    const std::vector<int> selection = selectedPages(store.Count());
    const bool pageOptions = !pages.isEmpty() || oddEven != 0 || reverse;
    if (selection.empty() && (command == Command::Print || ext == QLatin1String("pdf") ||
                              (ext == QLatin1String("png") && !pageGiven))) {
        ui.message(MessageKind::Error, PageSelection::noPageMessage());
        return ExitFailed;
    }
    if (command == Command::Print) {
        return printPreparedReport(report, ui, out, selection);
    }
    if (ext == QLatin1String("png")) {
        return writePreparedPageImage(store, ui,
                                      pageGiven || !pageOptions ? page : selection.front());
    }
    if (ext == QLatin1String("pdf")) {
        return writePreparedPdf(report, ui,
                                PageSelection::everyPageInOrder(selection, store.Count())
                                    ? std::vector<int>{}
                                    : selection);
    }
    int error = 0;
    if (!store.SaveToFile(output, &error)) {
        ui.message(MessageKind::Error, writeFailedMessage(output, error));
        return ExitFailed;
    }
    return ExitDone;
}

int ConvertJob::writePreparedPdf(reportlib::TqdxReport& report, Interaction& ui,
                                 const std::vector<int>& order) const {
    reportlib::pdf::TqdxPDFExport filter;
    reportlib::pdf::ApplyMainWindowDefaults(filter);
    filter.Report = &report;
    filter.FileName = output;
    filter.ShowDialog = false; // the converter never asks
    filter.PageOrder = order;
    filter.UserPassword = userPassword;
    filter.OwnerPassword = ownerPassword;
    // What the options dialog would set: the permissions, the outline, the background, the
    // pictures' quality, and the title, the report's name unless one is given.
    filter.ProtectionFlags =
        (noPrint ? 0 : reportlib::pdf::ePrint) | (noModify ? 0 : reportlib::pdf::eModify) |
        (noCopy ? 0 : reportlib::pdf::eCopy) | (noAnnotate ? 0 : reportlib::pdf::eAnnot);
    filter.Outline = outline;
    filter.Background = background;
    if (quality != 0) {
        filter.Quality = quality;
    }
    filter.Title = titleGiven ? title : codepages::fromCp1252(report.ReportOptions.Name);
    if (aes256) {
        filter.Encryption = reportlib::pdf::TqdxPDFEncryption::AES_256;
    }
    if (outline) {
        // Read only, as the export reads it: a report without an outline is not given one.
        reportlib::TqdxPreviewPages& store = report.PreviewPages();
        bool items = false;
        if (store.Document().Root().Find("outline") >= 0) {
            store.Outline().LevelRoot();
            items = store.Outline().Count() > 0;
            store.Outline().Reset();
        }
        if (!items) {
            ui.message(MessageKind::Warning,
                       QStringLiteral("O relatório não tem resumo: o PDF não terá marcadores."));
        }
    }
    filter.PdfA = pdfa;
    // A conversion either writes the whole file or leaves an existing one alone.
    filter.KeepIncompleteOutput = false;
    WriteMessages held(ui);
    held.hold();
    // Progress on a terminal, and the report's error display.
    const reportlib::ScopedUserInteraction interaction(report, held);
    try {
        // When the export fails the report's error display has said why, except for the last
        // step (see TqdxPDFExport).
        if (!reportlib::render::Export(report.PreviewPages(), &filter)) {
            return held.release(Outcome::failure(filter.SystemError), output);
        }
    } catch (const std::bad_alloc&) {
        throw; // reported where the job ends
    } catch (const std::exception& e) {
        // A page range that is no range (a file that cannot be begun is reported by Export()).
        held.message(MessageKind::Error, QString::fromUtf8(e.what()));
        return held.release(Outcome::failure(), output);
    }
    if (!filter.Succeeded() && !filter.ErrorText.isEmpty()) {
        held.message(MessageKind::Error, filter.ErrorText);
    }
    return held.release(
        filter.Succeeded() ? Outcome::success() : Outcome::failure(filter.SystemError), output);
}

// The queue a print job goes to: `printer`, or the print system's default destination (the
// user's lpoptions, PRINTER, then the server's default). Empty, having said why, when that is
// no queue of the system.
static QString printQueue(const QString& printer, Interaction& ui) {
    if (printer.isEmpty()) {
        const QString queue = defaultPrinterName();
        if (queue.isEmpty()) {
            ui.message(MessageKind::Error,
                       QStringLiteral("Não há impressora padrão: use --printer FILA."));
        }
        return queue;
    }
    if (systemPrinters().contains(printer, Qt::CaseInsensitive)) {
        return printer;
    }
    ui.message(MessageKind::Error,
               QStringLiteral("A impressora \"%1\" não está instalada no sistema.").arg(printer));
    return {};
}

int ConvertJob::printPreparedReport(reportlib::TqdxReport& report, Interaction& ui, std::FILE* out,
                                    const std::vector<int>& selection) const {
    const QString queue = printQueue(printer, ui);
    if (queue.isEmpty()) {
        return ExitFailed;
    }
    reportlib::TqdxPrintOptions& o = report.PrintOptions;
    o.Copies = copies;
    o.Collate = collate;
    // The pages as `convert` selects them (a backward range selects nothing), in their order.
    QStringList numbers;
    if (!PageSelection::everyPageInOrder(selection, report.PreviewPages().Count())) {
        for (const int p : selection) {
            numbers.append(QString::number(p));
        }
    }
    o.PageNumbers = numbers.join(QLatin1Char(',')).toLatin1();
    o.PrintPages = reportlib::ppAll;
    o.Reverse = false;
    o.PrintMode = printMode;
    o.PrintOnSheet = sheet;
    o.ShowDialog = false;
    o.Duplex = sides == QLatin1String("one-sided")              ? reportlib::dmSimplex
               : sides == QLatin1String("two-sided-long-edge")  ? reportlib::dmVertical
               : sides == QLatin1String("two-sided-short-edge") ? reportlib::dmHorizontal
               : duplex                                         ? reportlib::dmVertical
                                                                : reportlib::dmNone;
    reportlib::preview::TqdxJobRequest request;
    request.title = title;
    if (request.title.isEmpty() && report.ReportOptions.Name.isEmpty() &&
        input != QLatin1String("-")) {
        request.title = QFileInfo(input).fileName();
    }
    request.media = media;
    request.extra = jobOptions;
    request.queueCollatedCopies = true; // the converter's copies show no copy number
    const reportlib::ScopedUserInteraction interaction(report, ui);
    reportlib::preview::TqdxPrintResult result;
    try {
        result = reportlib::preview::PrintReport(report, queue, {}, request);
    } catch (const std::bad_alloc&) {
        throw; // reported where the job ends
    } catch (const std::exception& e) {
        ui.message(MessageKind::Error, QString::fromUtf8(e.what())); // a page range that is none
        return ExitFailed;
    }
    if (result.cancelled) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
    }
    if (result.printed && result.jobId > 0) {
        // As lp's "request id is": the queue and the job's number.
        const QByteArray line =
            QStringLiteral("pedido ID: %1-%2\n").arg(queue).arg(result.jobId).toUtf8();
        std::fwrite(line.constData(), 1, std::size_t(line.size()), out);
    }
    return result.printed ? ExitDone : ExitFailed; // the job has said why
}

int ConvertJob::printTextReport(TGravana& g, Interaction& ui) const {
    const QString queue = printQueue(printer, ui);
    if (queue.isEmpty()) {
        return ExitFailed;
    }
    const QString previous = chosenPrinter();
    setCurrentPrinter(queue);
    g.UsaGerenciadorImpr = true; // raw models go to the queue, not to a port
    connectSystemPrinting(g);
    const Outcome printed = g.Imprimir(QString());
    setCurrentPrinter(previous);
    return exitCodeOf(printed, ui);
}

int ConvertJob::writePreparedPageImage(reportlib::TqdxPreviewPages& store, Interaction& ui,
                                       int picturePage) const {
    if (picturePage > store.Count()) {
        ui.message(MessageKind::Error, QStringLiteral("O relatório não tem a página %1 (tem %2).")
                                           .arg(picturePage)
                                           .arg(store.Count()));
        return ExitFailed;
    }
    // A white image of the page's paper at the scale, the page painted on it.
    const QSize paper = store.PageExtent(picturePage - 1);
    const QSize size(std::max(1, reportlib::render::Round(paper.width() * scale)),
                     std::max(1, reportlib::render::Round(paper.height() * scale)));
    if (qint64(size.width()) * size.height() > kMaxImagePixels) {
        ui.message(MessageKind::Error, tooLargeMessage(size.width(), size.height()));
        return ExitFailed;
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        throw std::bad_alloc();
    }
    image.fill(Qt::white);
    try {
        QPainter painter(&image);
        reportlib::render::PaintPage(store, picturePage - 1, painter, scale, scale, 0, 0);
    } catch (const std::bad_alloc&) {
        throw; // reported where the job ends
    } catch (const std::exception& e) {
        ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        return ExitFailed;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    AtomicFile file(output);
    if (!image.save(&buffer, "PNG")) {
        ui.message(MessageKind::Error, writeFailedMessage(output));
        return ExitFailed;
    }
    if (!file.open() || !file.write(png) || !file.commit()) {
        ui.message(MessageKind::Error, writeFailedMessage(output, file.error()));
        return ExitFailed;
    }
    return ExitDone;
}

} // namespace zr::app
