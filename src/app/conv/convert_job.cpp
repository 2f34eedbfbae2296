#include "convert_job.h"

#include "app/common/document_kind.h"
#include "platform/files/atomic_file.h"
#include "platform/interaction/cancel_request.h"
#include "app/common/viewer_settings.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "app/common/printing_hooks.h"
#include "platform/printing/system_printer.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/preview/qdx_print_job.h"
#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"
#include "textreport/gravana.h"
#include "textreport/io/gvp_file.h"
#include "textreport/render/page_renderer.h"
#include "thumbnail.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>

namespace zr::app {

using namespace zr::textreport;

namespace {

std::optional<TModelo> modelFromName(const QString& name) {
    const QString n = name.toLower();
    if (n == QLatin1String("epson")) {
        return TModelo::Epson;
    }
    if (n == QLatin1String("rima")) {
        return TModelo::Rima;
    }
    if (n == QLatin1String("hp")) {
        return TModelo::HP;
    }
    if (n == QLatin1String("grafico")) {
        return TModelo::Grafico;
    }
    if (n == QLatin1String("personalizado")) {
        return TModelo::Personalizado;
    }
    if (n == QLatin1String("bobina")) {
        return TModelo::Bobina;
    }
    return std::nullopt;
}

bool positiveInt(const QString& text, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 1) {
        return false;
    }
    out = v;
    return true;
}

// The outputs each kind of input can be converted to, by lower-case extension.
bool outputKnown(DocumentKind kind, const QString& ext) {
    static const QStringList text = {QStringLiteral("gvp"), QStringLiteral("prn"),
                                     QStringLiteral("txt"), QStringLiteral("htm"),
                                     QStringLiteral("html"), QStringLiteral("pdf"),
                                     QStringLiteral("png")};
    static const QStringList prepared = {QStringLiteral("qp3"), QStringLiteral("pdf"),
                                         QStringLiteral("png")};
    return (kind == DocumentKind::TextReport ? text : prepared).contains(ext);
}

QByteArray pitchNumber(TSize size) { return QByteArray::number(pitchOf(size)); }

void printLine(std::FILE* out, const char* key, const QByteArray& value) {
    std::fprintf(out, "%s: %s\n", key, value.constData());
}

// Largest picture output: 100 million pixels (400 MiB in memory).
constexpr qint64 kMaxImagePixels = 100'000'000;

QString missingInputMessage(const QString& input) {
    return QStringLiteral("Erro na Abertura do arquivo...\r\rArquivo: ") + input;
}

QString writeFailedMessage(const QString& output) {
    return QStringLiteral("Erro na gravaçao do arquivo...\r\rArquivo: ") + output;
}

// Loads a text report into a component with the program's settings. False when the engine
// rejected the file (it has already said why).
bool loadTextReport(TGravana& g, const QString& input, LoadResult& result) {
    applyViewerSettings(g);
    g.OpcoesPreview.Preview = false;
    g.Abrir();
    result = g.LerRelatorio(input);
    return result == LoadResult::Loaded || result == LoadResult::CountWarning;
}

// Closes the report without previewing or printing it.
void closeTextReport(TGravana& g) {
    if (g.state().aberto) {
        g.Abortar();
    }
}

} // namespace

QString ConvertJob::usage() {
    return QStringLiteral(
        "Uso:\n"
        "  zeralconv info ARQUIVO\n"
        "  zeralconv convert [OPÇÕES] ENTRADA SAÍDA\n"
        "  zeralconv print [OPÇÕES] --printer FILA ENTRADA\n"
        "  zeralconv thumbnail [--size N] ENTRADA SAÍDA.png\n"
        "\n"
        "O tipo da saída vem da extensão de SAÍDA (maiúsculas ou minúsculas):\n"
        "  de .GVP: .gvp .prn .txt .htm .html .pdf .png\n"
        "  de .QP3: .qp3 .pdf .png\n"
        "\n"
        "Opções:\n"
        "  --pages FAIXA        páginas, por exemplo 1,3,5-12\n"
        "  --model MODELO       epson, rima, hp, grafico, personalizado ou bobina\n"
        "  --accents MODO       transliterate ou sem-acento\n"
        "  --copies N           número de cópias\n"
        "  --no-collate         cópias não agrupadas\n"
        "  --reverse            ordem inversa\n"
        "  --odd | --even       só páginas ímpares ou só pares\n"
        "  --page N             página de uma saída .png\n"
        "  --scale S            escala de uma saída .png\n"
        "  --user-password P    senha de abertura do PDF (de .QP3)\n"
        "  --owner-password P   senha de permissões do PDF (de .QP3)\n"
        "  --aes256             protege o PDF com AES-256 em vez de RC4 (de .QP3)\n"
        "\n"
        "Opções de print (sem diálogo; também --pages, --copies, --no-collate, --reverse,\n"
        "--odd, --even e, para .GVP, --model e --accents):\n"
        "  --printer FILA       fila de impressão (CUPS) que recebe o trabalho\n"
        "  --mode MODO          de .QP3: default, scale, split ou join\n"
        "  --sheet CÓDIGO       de .QP3: papel da folha dos modos scale, split e join\n"
        "                       (código de papel, 9 = A4 por omissão)\n"
        "  --duplex             de .QP3: frente e verso (lado maior)\n"
        "  Relatórios .GVP imprimem em modo texto (bruto) com os modelos de impressora\n"
        "  matricial e em modo gráfico com --model grafico.\n"
        "\n"
        "thumbnail desenha a primeira página de um relatório de qualquer tipo (reconhecido\n"
        "pelo conteúdo, qualquer que seja a extensão) numa imagem PNG:\n"
        "  --size N             lado do quadrado em que a página cabe, em pixels\n"
        "                       (1 a 4096, 256 por omissão)\n"
        "\n"
        "Saída: 0 concluído; 1 entrada rejeitada ou saída não gravada; 2 erro de uso.\n");
}

std::optional<ConvertJob> ConvertJob::parse(const QStringList& args, QString& error) {
    ConvertJob job;
    if (args.isEmpty()) {
        error = QStringLiteral("falta o comando (info, convert, print ou thumbnail)");
        return std::nullopt;
    }
    const QString& verb = args.first();
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h") ||
        verb == QLatin1String("help")) {
        job.command = Command::Help;
        return job;
    }
    if (verb == QLatin1String("--version")) {
        job.command = Command::Version;
        return job;
    }
    if (verb == QLatin1String("info")) {
        job.command = Command::Info;
    } else if (verb == QLatin1String("convert")) {
        job.command = Command::Convert;
    } else if (verb == QLatin1String("print")) {
        job.command = Command::Print;
    } else if (verb == QLatin1String("thumbnail")) {
        job.command = Command::Thumbnail;
    } else {
        error = QStringLiteral("comando desconhecido: %1").arg(verb);
        return std::nullopt;
    }

    QStringList positional;
    bool odd = false;
    bool even = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("a opção %1 precisa de um valor").arg(a);
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == QLatin1String("--")) {
            positional += args.mid(i + 1);
            break;
        }
        if (!a.startsWith(QLatin1String("--")) || a.size() == 2) {
            positional += a;
            continue;
        }
        if (job.command == Command::Info) {
            error = QStringLiteral("opção desconhecida para info: %1").arg(a);
            return std::nullopt;
        }
        if (job.command == Command::Thumbnail) {
            QString v;
            if (a != QLatin1String("--size")) {
                error = QStringLiteral("opção desconhecida para thumbnail: %1").arg(a);
                return std::nullopt;
            }
            if (!value(v)) {
                return std::nullopt;
            }
            if (!positiveInt(v, job.thumbnailSize) || job.thumbnailSize > kMaxThumbnailSize) {
                error = QStringLiteral("tamanho inválido: %1 (de 1 a %2)").arg(v).arg(
                    kMaxThumbnailSize);
                return std::nullopt;
            }
            continue;
        }
        const bool printOnly = a == QLatin1String("--printer") || a == QLatin1String("--mode") ||
                               a == QLatin1String("--sheet") || a == QLatin1String("--duplex");
        const bool convertOnly = a == QLatin1String("--page") || a == QLatin1String("--scale") ||
                                 a == QLatin1String("--user-password") ||
                                 a == QLatin1String("--owner-password") ||
                                 a == QLatin1String("--aes256");
        if ((printOnly && job.command != Command::Print) ||
            (convertOnly && job.command != Command::Convert)) {
            error = QStringLiteral("opção desconhecida para %1: %2").arg(verb, a);
            return std::nullopt;
        }
        QString v;
        if (a == QLatin1String("--pages")) {
            if (!value(job.pages)) {
                return std::nullopt;
            }
        } else if (a == QLatin1String("--model")) {
            if (!value(v)) {
                return std::nullopt;
            }
            job.model = modelFromName(v);
            if (!job.model) {
                error = QStringLiteral("modelo desconhecido: %1").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--accents")) {
            if (!value(v)) {
                return std::nullopt;
            }
            if (v.toLower() == QLatin1String("transliterate")) {
                job.accents = TAcento::Transliterate;
            } else if (v.toLower() == QLatin1String("sem-acento")) {
                job.accents = TAcento::SemAcento;
            } else {
                error = QStringLiteral("acentuação desconhecida: %1").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--copies")) {
            if (!value(v)) {
                return std::nullopt;
            }
            if (!positiveInt(v, job.copies)) {
                error = QStringLiteral("número de cópias inválido: %1").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--page")) {
            if (!value(v)) {
                return std::nullopt;
            }
            if (!positiveInt(v, job.page)) {
                error = QStringLiteral("página inválida: %1").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--scale")) {
            if (!value(v)) {
                return std::nullopt;
            }
            bool ok = false;
            job.scale = v.toDouble(&ok);
            if (!ok || !(job.scale > 0.0) || job.scale > 100.0) {
                error = QStringLiteral("escala inválida: %1").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--no-collate")) {
            job.collate = false;
        } else if (a == QLatin1String("--reverse")) {
            job.reverse = true;
        } else if (a == QLatin1String("--odd")) {
            odd = true;
        } else if (a == QLatin1String("--even")) {
            even = true;
        } else if (a == QLatin1String("--user-password")) {
            if (!value(job.userPassword)) {
                return std::nullopt;
            }
        } else if (a == QLatin1String("--owner-password")) {
            if (!value(job.ownerPassword)) {
                return std::nullopt;
            }
        } else if (a == QLatin1String("--aes256")) {
            job.aes256 = true;
        } else if (a == QLatin1String("--printer")) {
            if (!value(job.printer)) {
                return std::nullopt;
            }
        } else if (a == QLatin1String("--mode")) {
            if (!value(v)) {
                return std::nullopt;
            }
            static const QStringList modes = {QStringLiteral("default"), QStringLiteral("split"),
                                              QStringLiteral("join"), QStringLiteral("scale")};
            job.printMode = int(modes.indexOf(v.toLower()));
            if (job.printMode < 0) {
                error = QStringLiteral("modo de impressão desconhecido: %1").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--sheet")) {
            if (!value(v)) {
                return std::nullopt;
            }
            if (!positiveInt(v, job.sheet) || !reportlib::StandardPaperSize(job.sheet)) {
                error = QStringLiteral("código de papel inválido: %1").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--duplex")) {
            job.duplex = true;
        } else {
            error = QStringLiteral("opção desconhecida: %1").arg(a);
            return std::nullopt;
        }
    }
    if (odd && even) {
        error = QStringLiteral("--odd e --even não podem ser usadas juntas");
        return std::nullopt;
    }
    job.oddEven = odd ? 1 : (even ? 2 : 0);

    const qsizetype wanted =
        job.command == Command::Convert || job.command == Command::Thumbnail ? 2 : 1;
    if (positional.size() != wanted) {
        error = job.command == Command::Info    ? QStringLiteral("info precisa de um arquivo")
                : job.command == Command::Thumbnail
                    ? QStringLiteral("thumbnail precisa de um arquivo de entrada e um de saída")
                : job.command == Command::Print ? QStringLiteral("print precisa de um arquivo")
                                                : QStringLiteral(
                                                      "convert precisa de um arquivo de entrada e "
                                                      "um de saída");
        return std::nullopt;
    }
    job.input = positional[0];
    if (job.command == Command::Thumbnail) {
        job.output = positional[1];
        return job;
    }
    if (job.command == Command::Print) {
        if (job.printer.isEmpty()) {
            error = QStringLiteral("print precisa de --printer FILA");
            return std::nullopt;
        }
        const bool prepared = detectDocumentKind(job.input) == DocumentKind::PreparedReport;
        if (prepared && (job.model || job.accents)) {
            error = QStringLiteral("--model e --accents são de relatórios texto (.GVP)");
            return std::nullopt;
        }
        if (!prepared && (job.printMode != 0 || job.duplex)) {
            error = QStringLiteral("--mode, --sheet e --duplex são de relatórios preparados (.QP3)");
            return std::nullopt;
        }
    }
    if (job.command == Command::Convert) {
        job.output = positional[1];
        if (detectDocumentKind(job.input) == DocumentKind::TextReport &&
            (!job.userPassword.isEmpty() || !job.ownerPassword.isEmpty() || job.aes256)) {
            // Refused rather than ignored: the PDF of a text report cannot be protected.
            error = QStringLiteral("PDFs de relatórios texto (.GVP) não têm senha");
            return std::nullopt;
        }
        const QString ext = QFileInfo(job.output).suffix().toLower();
        if (!outputKnown(detectDocumentKind(job.input), ext)) {
            error = QStringLiteral("tipo de saída não suportado para esta entrada: %1")
                        .arg(ext.isEmpty() ? job.output : QLatin1Char('.') + ext);
            return std::nullopt;
        }
    }
    return job;
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

} // namespace

int ConvertJob::run(Interaction& ui, std::FILE* out) const {
    InterruptFilter filtered(ui);
    const int code = runCommand(filtered, out);
    if (CancelRequest::interrupted()) {
        // Nothing was replaced: AtomicFile refuses every commit after an interruption.
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        return ExitFailed;
    }
    return code;
}

int ConvertJob::runCommand(Interaction& ui, std::FILE* out) const {
    switch (command) {
    case Command::Help:
        std::fputs(usage().toLocal8Bit().constData(), out);
        return ExitDone;
    case Command::Version:
        std::fprintf(out, "zeralconv 04\n");
        return ExitDone;
    case Command::Thumbnail:
        return writeThumbnail(input, output, thumbnailSize, ui);
    case Command::Info:
    case Command::Convert:
    case Command::Print:
        break;
    }

    if (detectDocumentKind(input) == DocumentKind::PreparedReport) {
        return runPreparedReport(ui, out);
    }
    if (!QFileInfo::exists(input)) {
        ui.message(MessageKind::Error, missingInputMessage(input));
        return ExitFailed;
    }

    ErrorCounter counted(ui);
    TGravana g(counted);
    LoadResult loaded = LoadResult::Failed;
    const bool ok = loadTextReport(g, input, loaded);
    if (!ok) {
        closeTextReport(g);
        if (loaded == LoadResult::Cancelled) {
            ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        }
        return ExitFailed;
    }
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
    options.inverter = reverse;
    options.faixa = pages.toLatin1();
    options.parImpar = oddEven;

    int code = ExitDone;
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
        std::fflush(out);
    } else if (command == Command::Print) {
        code = printTextReport(g, counted);
    } else {
        code = writeTextReport(g, counted);
    }
    closeTextReport(g);
    return code;
}

int ConvertJob::writeTextReport(TGravana& g, ErrorCounter& ui) const {
    const QString ext = QFileInfo(output).suffix().toLower();
    const int errorsBefore = ui.errors;
    // The engine's operations report their own failures; the converter only counts them.
    if (ext == QLatin1String("gvp")) {
        g.GravarRelatorio(output);
    } else if (ext == QLatin1String("prn")) {
        g.GravarPRN(output);
    } else if (ext == QLatin1String("txt")) {
        g.GravarTXT(output);
    } else if (ext == QLatin1String("htm") || ext == QLatin1String("html")) {
        g.GravarHTML(output);
    } else if (ext == QLatin1String("pdf")) {
        g.GerarPDF(output);
    } else if (ext == QLatin1String("png")) {
        writePageImage(g, ui);
    }
    if (CancelRequest::isSet()) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        return ExitFailed;
    }
    return ui.errors == errorsBefore ? ExitDone : ExitFailed;
}

void ConvertJob::writePageImage(TGravana& g, Interaction& ui) const {
    if (page > g.TotalPaginas()) {
        ui.message(MessageKind::Error, QStringLiteral("O relatório não tem a página %1 (tem %2).")
                                           .arg(page)
                                           .arg(g.TotalPaginas()));
        return;
    }
    const QImage image = renderPageImage(g, page, scale);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    AtomicFile file(output);
    if (image.isNull() || !image.save(&buffer, "PNG") || !file.open() || !file.write(png) ||
        !file.commit()) {
        ui.message(MessageKind::Error, writeFailedMessage(output));
    }
}

int ConvertJob::runPreparedReport(Interaction& ui, std::FILE* out) const {
    const QString ext = QFileInfo(output).suffix().toLower();
    if (!QFileInfo::exists(input)) {
        ui.message(MessageKind::Error, missingInputMessage(input));
        return ExitFailed;
    }

    reportlib::TqdxReport report;
    reportlib::TqdxPreviewPages& store = report.PreviewPages();
    QByteArray info;
    try {
        store.LoadFromFile(input, true);
        if (command == Command::Info) {
            // Gathered before anything is printed, so that a page that cannot be built leaves
            // no half description behind.
            const int count = store.Count();
            info += "format: QP3\n";
            info += "title: " + codepages::fromCp1252(report.ReportOptions.Name).toUtf8() + '\n';
            info += "pages: " + QByteArray::number(count) + '\n';
            for (int i = 0; i < count; ++i) {
                const QSize size = store.PageExtent(i);
                info += "page " + QByteArray::number(i + 1) + ": " +
                        QByteArray::number(size.width()) + " x " +
                        QByteArray::number(size.height()) + '\n';
            }
        }
    } catch (const std::exception& e) {
        // "Invalid file format" for what is not a prepared report; an unreadable file or a
        // page of an unknown class says so in its own words.
        ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        return ExitFailed;
    }
    // Attributes that could not be applied do not stop the report from being shown or saved.
    if (!report.Errors.isEmpty()) {
        ui.message(MessageKind::Warning, report.ErrorsText());
    }
    if (command == Command::Info) {
        std::fwrite(info.constData(), 1, std::size_t(info.size()), out);
        std::fflush(out);
        return ExitDone;
    }
    if (command == Command::Print) {
        return printPreparedReport(report, ui);
    }
    if (ext == QLatin1String("png")) {
        return writePreparedPageImage(store, ui);
    }
    if (ext == QLatin1String("pdf")) {
        return writePreparedPdf(report, ui);
    }
    if (!store.SaveToFile(output)) {
        ui.message(MessageKind::Error, writeFailedMessage(output));
        return ExitFailed;
    }
    return ExitDone;
}

int ConvertJob::writePreparedPdf(reportlib::TqdxReport& report, Interaction& ui) const {
    reportlib::pdf::TqdxPDFExport filter;
    reportlib::pdf::ApplyMainWindowDefaults(filter);
    filter.Report = &report;
    filter.FileName = output;
    filter.ShowDialog = false; // the converter never asks
    filter.PageNumbers = pages;
    filter.UserPassword = userPassword;
    filter.OwnerPassword = ownerPassword;
    if (aes256) {
        filter.Encryption = reportlib::pdf::TqdxPDFEncryption::AES_256;
    }
    // A conversion either writes the whole file or leaves an existing one alone.
    filter.KeepIncompleteOutput = false;
    report.UserInteraction = &ui; // progress on a terminal, and the report's error display
    bool exported = false;
    try {
        exported = reportlib::render::Export(report.PreviewPages(), &filter);
    } catch (const std::exception& e) {
        // A page range that is no range (a file that cannot be begun is reported by Export()).
        ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        report.UserInteraction = nullptr;
        return ExitFailed;
    }
    report.UserInteraction = nullptr;
    if (!exported) {
        return ExitFailed; // the report's error display has said why
    }
    if (!filter.Succeeded()) {
        if (!filter.ErrorText.isEmpty()) {
            ui.message(MessageKind::Error, filter.ErrorText);
        }
        return ExitFailed;
    }
    return ExitDone;
}

// Whether `printer` is one of the system's queues; says so when it is not.
static bool printerKnown(const QString& printer, Interaction& ui) {
    if (systemPrinters().contains(printer, Qt::CaseInsensitive)) {
        return true;
    }
    ui.message(MessageKind::Error,
               QStringLiteral("A impressora \"%1\" não está instalada no sistema.").arg(printer));
    return false;
}

int ConvertJob::printPreparedReport(reportlib::TqdxReport& report, Interaction& ui) const {
    if (!printerKnown(printer, ui)) {
        return ExitFailed;
    }
    reportlib::TqdxPrintOptions& o = report.PrintOptions;
    o.Copies = copies;
    o.Collate = collate;
    o.PageNumbers = pages.toLatin1();
    o.PrintPages = oddEven; // ppAll, ppOdd, ppEven
    o.Reverse = reverse;
    o.PrintMode = printMode;
    o.PrintOnSheet = sheet;
    o.ShowDialog = false;
    o.Duplex = duplex ? reportlib::dmVertical : reportlib::dmNone;
    report.UserInteraction = &ui;
    reportlib::preview::TqdxPrintResult result;
    try {
        result = reportlib::preview::PrintReport(report, printer);
    } catch (const std::exception& e) {
        ui.message(MessageKind::Error, QString::fromUtf8(e.what())); // a page range that is none
        report.UserInteraction = nullptr;
        return ExitFailed;
    }
    report.UserInteraction = nullptr;
    if (result.cancelled) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
    }
    return result.printed ? ExitDone : ExitFailed; // the job has said why
}

int ConvertJob::printTextReport(TGravana& g, ErrorCounter& ui) const {
    if (!printerKnown(printer, ui)) {
        return ExitFailed;
    }
    const int errorsBefore = ui.errors;
    const QString previous = chosenPrinter();
    setCurrentPrinter(printer);
    g.UsaGerenciadorImpr = true; // raw models go to the queue, not to a port
    connectSystemPrinting(g);
    bool printed = false;
    const auto after = g.OnAfterPrint;
    g.OnAfterPrint = [&](TGravana& gravana) {
        printed = true;
        if (after) {
            after(gravana);
        }
    };
    g.Imprimir(QString());
    g.OnAfterPrint = after;
    setCurrentPrinter(previous);
    if (CancelRequest::isSet()) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        return ExitFailed;
    }
    return printed && ui.errors == errorsBefore ? ExitDone : ExitFailed;
}

int ConvertJob::writePreparedPageImage(reportlib::TqdxPreviewPages& store, Interaction& ui) const {
    if (page > store.Count()) {
        ui.message(MessageKind::Error,
                   QStringLiteral("O relatório não tem a página %1 (tem %2).")
                       .arg(page)
                       .arg(store.Count()));
        return ExitFailed;
    }
    // A white image of the page's paper at the scale, the page painted on it.
    const QSize paper = store.PageExtent(page - 1);
    const QSize size(std::max(1, reportlib::render::Round(paper.width() * scale)),
                     std::max(1, reportlib::render::Round(paper.height() * scale)));
    if (qint64(size.width()) * size.height() > kMaxImagePixels) {
        ui.message(MessageKind::Error,
                   QStringLiteral("A imagem seria grande demais (%1 x %2 pixels): use uma "
                                  "escala menor.")
                       .arg(size.width())
                       .arg(size.height()));
        return ExitFailed;
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        ui.message(MessageKind::Error, writeFailedMessage(output));
        return ExitFailed;
    }
    image.fill(Qt::white);
    try {
        QPainter painter(&image);
        reportlib::render::PaintPage(store, page - 1, painter, scale, scale, 0, 0);
    } catch (const std::exception& e) {
        ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        return ExitFailed;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    AtomicFile file(output);
    if (!image.save(&buffer, "PNG") || !file.open() || !file.write(png) || !file.commit()) {
        ui.message(MessageKind::Error, writeFailedMessage(output));
        return ExitFailed;
    }
    return ExitDone;
}

} // namespace zr::app
