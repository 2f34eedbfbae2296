#include "convert_job.h"

#include "app/common/document_kind.h"
#include "app/common/printing_hooks.h"
#include "app/common/version.h"
#include "app/common/viewer_settings.h"
#include "app/conv/font_report.h"
#include "pdfwriter/qdx_pdf_security.h"
#include "platform/files/atomic_file.h"
#include "platform/files/temporary_files.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/printing/system_printer.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/print/qdx_print_job.h"
#include "reportlib/print/qdx_printer.h"
#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"
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
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

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

QString missingInputMessage(const QString& input, int error) {
    return QStringLiteral("Erro na Abertura do arquivo...\r\rArquivo: ") + input +
           QLatin1Char('\r') + reason(error);
}

// The converter's own message for an output it could not write.
QString writeFailedMessage(const QString& output, int error = 0) {
    return QStringLiteral("Erro na gravação do arquivo...\r\rArquivo: ") + output +
           (error != 0 ? QLatin1Char('\r') + reason(error) : QString());
}

// Whether the input can be read; says why not (with the system's reason) when it cannot.
bool inputReadable(const QString& input, Interaction& ui) {
    if (QFileInfo(input).isDir()) {
        ui.message(MessageKind::Error, missingInputMessage(input, EISDIR));
        return false;
    }
    const int fd = ::open(QFile::encodeName(input).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ui.message(MessageKind::Error, missingInputMessage(input, errno));
        return false;
    }
    ::close(fd);
    return true;
}

// Whether a file can be written as `output` (its folder exists and takes a new file of that
// name); says why not, with the system's reason, before any work is done.
bool outputWritable(const QString& output, Interaction& ui) {
    AtomicFile probe(output);
    if (!probe.open()) {
        ui.message(MessageKind::Error, writeFailedMessage(output, probe.error()));
        return false;
    }
    probe.discard();
    return true;
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

QString ConvertJob::usageHint() {
    return QStringLiteral("Use 'zeralconv --help' para ver as opções.");
}

QString ConvertJob::usage(const QString& command) {
    static const QString synopsis = QStringLiteral(
        "Uso:\n"
        "  zeralconv info ARQUIVO\n"
        "  zeralconv fonts ARQUIVO\n"
        "  zeralconv convert [OPÇÕES] ENTRADA SAÍDA\n"
        "  zeralconv print [OPÇÕES] [--printer FILA] ENTRADA\n"
        "  zeralconv thumbnail [--size N] ENTRADA SAÍDA.png\n"
        "  zeralconv COMANDO --help | zeralconv --version\n"
        "\n"
        "O tipo do relatório (texto .GVP ou preparado .QP3) é reconhecido pelo conteúdo.\n"
        "ENTRADA \"-\" lê a entrada padrão; SAÍDA \"-\" grava na saída padrão (com --to).\n");
    static const QString info = QStringLiteral(
        "zeralconv info ARQUIVO\n"
        "  Escreve linhas \"chave: valor\": format, title, pages; de relatórios texto também\n"
        "  items, lines, columns, lpp, pitch e style; de relatórios preparados uma linha\n"
        "  \"page N: L x A\" por página (pixels a 96 por polegada).\n");
    static const QString fonts = QStringLiteral(
        "zeralconv fonts ARQUIVO\n"
        "  Lista as fontes (família e estilo) dos textos de um relatório preparado, cada uma\n"
        "  com a fonte instalada que a desenha e as fontes de reserva que foram precisas.\n");
    static const QString convert = QStringLiteral(
        "zeralconv convert [OPÇÕES] ENTRADA SAÍDA\n"
        "  O tipo da saída vem da extensão de SAÍDA (maiúsculas ou minúsculas) ou de --to:\n"
        "    de relatórios texto: gvp prn txt htm html pdf png\n"
        "    de relatórios preparados: qp3 pdf png\n"
        "  --to TIPO            tipo da saída (obrigatório com SAÍDA \"-\")\n"
        "  --pages FAIXA        páginas, por exemplo 1,3,5-12 ou 4- (todas as saídas menos\n"
        "                       .qp3; em .png escolhe a página desenhada)\n"
        "  --odd | --even       só páginas ímpares ou só pares (idem)\n"
        "  --reverse            ordem inversa (idem)\n"
        "  --copies N           número de cópias (só .prn)\n"
        "  --no-collate         cópias não agrupadas (só .prn)\n"
        "  --model MODELO       epson, rima, hp, grafico, personalizado ou bobina (de .GVP)\n"
        "  --accents MODO       transliterate ou sem-acento (de .GVP)\n"
        "  --page N             página de uma saída .png\n"
        "  --scale S            escala de uma saída .png\n"
        "  --user-password P    senha de abertura do PDF\n"
        "  --owner-password P   senha de permissões do PDF\n"
        "  --aes256             protege o PDF com AES-256 em vez de RC4\n"
        "  --no-print, --no-copy, --no-modify, --no-annotate\n"
        "                       tira do PDF o direito de imprimir, copiar, alterar ou\n"
        "                       anotar (com --owner-password)\n"
        "  --outline            o resumo (outline) do relatório como marcadores (de .QP3)\n"
        "  --title TÍTULO       título do PDF (de .QP3; por omissão o nome do relatório)\n"
        "  --background         grava o fundo das páginas (de .QP3)\n"
        "  --quality N          qualidade JPEG das imagens do PDF, de 1 a 100 (de .QP3;\n"
        "                       95 por omissão)\n"
        "  --pdfa               PDF/A-2b para arquivamento (fontes embutidas, sem senha)\n"
        "  Uma seleção sem nenhuma página é um erro; o arquivo de saída não é gravado.\n");
    static const QString print = QStringLiteral(
        "zeralconv print [OPÇÕES] [--printer FILA] ENTRADA\n"
        "  Envia o relatório a uma fila do CUPS, sem diálogo, e escreve \"pedido ID: FILA-N\".\n"
        "  --printer FILA       fila de impressão (sem ela, o destino padrão do CUPS:\n"
        "                       lpoptions, PRINTER, o padrão do servidor)\n"
        "  --pages FAIXA, --odd, --even, --reverse, --copies N, --no-collate\n"
        "  --model MODELO, --accents MODO   de .GVP: modo texto (bruto) com os modelos de\n"
        "                       impressora matricial, modo gráfico com --model grafico\n"
        "  --mode MODO          de .QP3: default, scale, split ou join\n"
        "  --sheet CÓDIGO       de .QP3: papel da folha dos modos scale, split e join\n"
        "                       (código de papel, 9 = A4 por omissão)\n"
        "  --media NOME         de .QP3: papel do trabalho como o lp o aceita (A4, Letter,\n"
        "                       Legal, A5, iso_a4_210x297mm...); também a folha dos modos\n"
        "  --duplex             de .QP3: frente e verso (lado maior)\n"
        "  --sides LADOS        de .QP3: one-sided, two-sided-long-edge ou\n"
        "                       two-sided-short-edge\n"
        "  -t, --title TÍTULO   de .QP3: nome do trabalho (por omissão o do relatório)\n"
        "  -o NOME=VALOR        de .QP3: opção do CUPS para o trabalho (repetível); as\n"
        "                       opções acima prevalecem\n");
    static const QString thumbnail = QStringLiteral(
        "zeralconv thumbnail [--size N] ENTRADA SAÍDA.png\n"
        "  Desenha a primeira página de um relatório de qualquer tipo numa imagem PNG:\n"
        "  --size N             lado do quadrado em que a página cabe, em pixels\n"
        "                       (1 a 4096, 256 por omissão)\n");
    static const QString exits = QStringLiteral(
        "Saída: 0 concluído; 1 entrada rejeitada, saída não gravada ou operação cancelada;\n"
        "2 erro de uso.\n");
    if (command == QLatin1String("info")) {
        return QStringLiteral("Uso: ") + info + QLatin1Char('\n') + exits;
    }
    if (command == QLatin1String("fonts")) {
        return QStringLiteral("Uso: ") + fonts + QLatin1Char('\n') + exits;
    }
    if (command == QLatin1String("convert")) {
        return QStringLiteral("Uso: ") + convert + QLatin1Char('\n') + exits;
    }
    if (command == QLatin1String("print")) {
        return QStringLiteral("Uso: ") + print + QLatin1Char('\n') + exits;
    }
    if (command == QLatin1String("thumbnail")) {
        return QStringLiteral("Uso: ") + thumbnail + QLatin1Char('\n') + exits;
    }
    return synopsis + QLatin1Char('\n') + info + QLatin1Char('\n') + fonts + QLatin1Char('\n') +
           convert + QLatin1Char('\n') + print + QLatin1Char('\n') + thumbnail + QLatin1Char('\n') +
           exits;
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
        if (verb == QLatin1String("help") && args.size() > 1) {
            job.helpTopic = args[1];
        }
        return job;
    }
    if (verb == QLatin1String("--version")) {
        job.command = Command::Version;
        return job;
    }
    if (verb == QLatin1String("info")) {
        job.command = Command::Info;
    } else if (verb == QLatin1String("fonts")) {
        job.command = Command::Fonts;
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
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            job.command = Command::Help;
            job.helpTopic = verb;
            return job;
        }
        if (job.command == Command::Print &&
            (a == QLatin1String("-t") || a == QLatin1String("-o"))) {
            QString v;
            if (!value(v)) {
                return std::nullopt;
            }
            if (a == QLatin1String("-t")) {
                job.title = v;
                continue;
            }
            // As lp: NAME=VALUE, or NAME alone for a true value.
            const qsizetype equals = v.indexOf(QLatin1Char('='));
            const QString name = (equals < 0 ? v : v.left(equals)).trimmed();
            static const QRegularExpression attribute(QStringLiteral("^[a-zA-Z][a-zA-Z0-9-]*$"));
            if (!attribute.match(name).hasMatch()) {
                error = QStringLiteral("opção do CUPS inválida: %1 (use -o NOME=VALOR)").arg(v);
                return std::nullopt;
            }
            job.jobOptions.emplace_back(name.toUtf8(), equals < 0 ? QByteArray("true")
                                                                  : v.mid(equals + 1).toUtf8());
            continue;
        }
        if (!a.startsWith(QLatin1String("--")) || a.size() == 2) {
            positional += a;
            continue;
        }
        if (job.command == Command::Info || job.command == Command::Fonts) {
            error = QStringLiteral("opção desconhecida para %1: %2").arg(verb, a);
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
                error = QStringLiteral("tamanho inválido: %1 (de 1 a %2)")
                            .arg(v)
                            .arg(kMaxThumbnailSize);
                return std::nullopt;
            }
            continue;
        }
        const bool printOnly = a == QLatin1String("--printer") || a == QLatin1String("--mode") ||
                               a == QLatin1String("--sheet") || a == QLatin1String("--duplex") ||
                               a == QLatin1String("--sides") || a == QLatin1String("--media");
        static const QStringList convertOptions = {QStringLiteral("--page"),
                                                   QStringLiteral("--scale"),
                                                   QStringLiteral("--to"),
                                                   QStringLiteral("--user-password"),
                                                   QStringLiteral("--owner-password"),
                                                   QStringLiteral("--aes256"),
                                                   QStringLiteral("--outline"),
                                                   QStringLiteral("--background"),
                                                   QStringLiteral("--no-print"),
                                                   QStringLiteral("--no-copy"),
                                                   QStringLiteral("--no-modify"),
                                                   QStringLiteral("--no-annotate"),
                                                   QStringLiteral("--quality"),
                                                   QStringLiteral("--pdfa")};
        const bool convertOnly = convertOptions.contains(a);
        const bool printOrConvert = a == QLatin1String("--title");
        if ((printOnly && job.command != Command::Print) ||
            (convertOnly && job.command != Command::Convert) ||
            (printOrConvert && job.command != Command::Print && job.command != Command::Convert)) {
            error = QStringLiteral("opção desconhecida para %1: %2").arg(verb, a);
            return std::nullopt;
        }
        QString v;
        if (a == QLatin1String("--pages")) {
            if (!value(job.pages)) {
                return std::nullopt;
            }
            if (!PageSelection::parse(job.pages, &error)) {
                return std::nullopt;
            }
        } else if (a == QLatin1String("--to")) {
            if (!value(v)) {
                return std::nullopt;
            }
            static const QStringList kinds = {QStringLiteral("pdf"), QStringLiteral("txt"),
                                              QStringLiteral("htm"), QStringLiteral("html"),
                                              QStringLiteral("prn"), QStringLiteral("gvp"),
                                              QStringLiteral("qp3"), QStringLiteral("png")};
            job.to = v.toLower();
            if (!kinds.contains(job.to)) {
                error = QStringLiteral("tipo de saída desconhecido: %1").arg(v);
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
            job.pageGiven = true;
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
            job.scaleGiven = true;
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
        } else if (a == QLatin1String("--outline")) {
            job.outline = true;
        } else if (a == QLatin1String("--background")) {
            job.background = true;
        } else if (a == QLatin1String("--no-print")) {
            job.noPrint = true;
        } else if (a == QLatin1String("--no-copy")) {
            job.noCopy = true;
        } else if (a == QLatin1String("--no-modify")) {
            job.noModify = true;
        } else if (a == QLatin1String("--no-annotate")) {
            job.noAnnotate = true;
        } else if (a == QLatin1String("--quality")) {
            if (!value(v)) {
                return std::nullopt;
            }
            bool ok = false;
            job.quality = v.trimmed().toInt(&ok);
            if (!ok || job.quality < 1 || job.quality > 100) {
                error = QStringLiteral("qualidade JPEG inválida: %1 (de 1 a 100)").arg(v);
                return std::nullopt;
            }
        } else if (a == QLatin1String("--pdfa")) {
            job.pdfa = true;
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
            job.sheetGiven = true;
        } else if (a == QLatin1String("--duplex")) {
            job.duplex = true;
        } else if (a == QLatin1String("--sides")) {
            if (!value(v)) {
                return std::nullopt;
            }
            static const QStringList sides = {QStringLiteral("one-sided"),
                                              QStringLiteral("two-sided-long-edge"),
                                              QStringLiteral("two-sided-short-edge")};
            if (!sides.contains(v)) {
                error = QStringLiteral("lados desconhecidos: %1 (one-sided, two-sided-long-edge "
                                       "ou two-sided-short-edge)")
                            .arg(v);
                return std::nullopt;
            }
            job.sides = v;
        } else if (a == QLatin1String("--title")) {
            if (!value(job.title)) {
                return std::nullopt;
            }
            job.titleGiven = true;
        } else if (a == QLatin1String("--media")) {
            if (!value(job.media)) {
                return std::nullopt;
            }
            if (mediaPaperCode(job.media) == 0) {
                error = QStringLiteral("papel desconhecido: %1").arg(job.media);
                return std::nullopt;
            }
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
                : job.command == Command::Fonts ? QStringLiteral("fonts precisa de um arquivo")
                : job.command == Command::Thumbnail
                    ? QStringLiteral("thumbnail precisa de um arquivo de entrada e um de saída")
                : job.command == Command::Print
                    ? QStringLiteral("print precisa de um arquivo")
                    : QStringLiteral("convert precisa de um arquivo de entrada e "
                                     "um de saída");
        return std::nullopt;
    }
    job.input = positional[0];
    if (job.command == Command::Thumbnail) {
        job.output = positional[1];
        return job;
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
    if (job.command == Command::Convert) {
        job.output = positional[1];
        if (job.output == QLatin1String("-") && job.to.isEmpty()) {
            error = QStringLiteral("a saída padrão (-) precisa de --to TIPO");
            return std::nullopt;
        }
    }
    // Standard input is read, and its kind told, when the job runs.
    if (job.input != QLatin1String("-") &&
        !job.checkFor(detectDocumentKind(job.input) == DocumentKind::PreparedReport, error)) {
        return std::nullopt;
    }
    return job;
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
    const bool pageOptions = !pages.isEmpty() || oddEven != 0 || reverse;
    if (command == Command::Print) {
        if (prepared && (model || accents)) {
            error = QStringLiteral("--model e --accents são de relatórios texto (.GVP)");
            return false;
        }
        if (!prepared && (printMode != 0 || duplex || sheetGiven || !sides.isEmpty() ||
                          !media.isEmpty() || !title.isEmpty() || !jobOptions.empty())) {
            error = QStringLiteral("--mode, --sheet, --media, --duplex, --sides, --title e -o são "
                                   "de relatórios preparados (.QP3)");
            return false;
        }
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
    const QString ext = outputKind();
    if (!outputKnown(prepared ? DocumentKind::PreparedReport : DocumentKind::TextReport, ext)) {
        error = QStringLiteral("tipo de saída não suportado para esta entrada: %1")
                    .arg(ext.isEmpty() ? output : QLatin1Char('.') + ext);
        return false;
    }
    const bool passwords = !userPassword.isEmpty() || !ownerPassword.isEmpty() || aes256;
    if (passwords && ext != QLatin1String("pdf")) {
        error = QStringLiteral("--user-password, --owner-password e --aes256 só valem para .pdf");
        return false;
    }
    const bool denied = noPrint || noCopy || noModify || noAnnotate;
    if (denied && ext != QLatin1String("pdf")) {
        error = QStringLiteral("--no-print, --no-copy, --no-modify e --no-annotate só valem para "
                               ".pdf");
        return false;
    }
    const bool preparedOptions = outline || background || titleGiven || quality != 0;
    if (preparedOptions && (!prepared || ext != QLatin1String("pdf"))) {
        error = QStringLiteral("--outline, --title, --background e --quality só valem para o .pdf "
                               "de relatórios preparados (.QP3)");
        return false;
    }
    if (denied && (ownerPassword.isEmpty() || ownerPassword == userPassword)) {
        // Without an owner password of its own whoever opens the file is its owner, with every
        // right.
        error = QStringLiteral("--no-print, --no-copy, --no-modify e --no-annotate precisam de "
                               "--owner-password (diferente de --user-password)");
        return false;
    }
    if (pdfa && ext != QLatin1String("pdf")) {
        error = QStringLiteral("--pdfa só vale para .pdf");
        return false;
    }
    if (pdfa && passwords) {
        // An archival file must open without a password.
        error = QStringLiteral("--pdfa não admite senha (um PDF/A não pode ser cifrado)");
        return false;
    }
    if (prepared && (model || accents)) {
        error = QStringLiteral("--model e --accents são de relatórios texto (.GVP)");
        return false;
    }
    if ((model || accents) && ext != QLatin1String("prn") && ext != QLatin1String("txt")) {
        // Only the printer file and the plain text carry the printer's characters.
        error = QStringLiteral("--model e --accents só valem para .prn e .txt (ou para print)");
        return false;
    }
    if ((copies != 1 || !collate) && ext != QLatin1String("prn")) {
        error = QStringLiteral("--copies e --no-collate só valem para .prn (ou para print)");
        return false;
    }
    if ((pageGiven || scaleGiven) && ext != QLatin1String("png")) {
        error = QStringLiteral("--page e --scale só valem para .png");
        return false;
    }
    if (pageGiven && pageOptions) {
        error = QStringLiteral("--page não pode ser usada com --pages, --odd, --even ou --reverse");
        return false;
    }
    if (prepared && ext == QLatin1String("qp3") && pageOptions) {
        error = QStringLiteral("a saída .qp3 guarda o relatório inteiro: --pages, --odd, --even e "
                               "--reverse não valem para ela");
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
        ui.message(MessageKind::Error,
                   writeFailedMessage(path) + QLatin1Char('\r') + file.errorString());
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
            ui.message(MessageKind::Error,
                       writeFailedMessage(path) + QLatin1Char('\r') + file.errorString());
            return false;
        }
    }
    return false;
}

// Copies the file at `path` to `out` (standard output). False (having said why) on an error.
bool copyToOutput(const QString& path, std::FILE* out, Interaction& ui) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui.message(MessageKind::Error, missingInputMessage(path, ENOENT));
        return false;
    }
    while (!file.atEnd() && !CancelRequest::interrupted()) {
        const QByteArray chunk = file.read(256 * 1024);
        if (chunk.isEmpty() || std::fwrite(chunk.constData(), 1, std::size_t(chunk.size()), out) !=
                                   std::size_t(chunk.size())) {
            ui.message(MessageKind::Error,
                       QStringLiteral("Erro na gravação da saída padrão: ") + reason(errno));
            return false;
        }
    }
    if (std::fflush(out) != 0) {
        ui.message(MessageKind::Error,
                   QStringLiteral("Erro na gravação da saída padrão: ") + reason(errno));
        return false;
    }
    return !CancelRequest::interrupted();
}

// Ends the engines' error messages with the system's reason when a file they were saving failed
// (the engines' own texts do not give it).
class SystemReason final : public ForwardingInteraction {
public:
    using ForwardingInteraction::ForwardingInteraction;
    void message(MessageKind kind, const QString& text, const QString& caption = {}) override {
        const int error = AtomicFile::lastError();
        if (kind == MessageKind::Error && error != 0 && !text.endsWith(reason(error))) {
            ForwardingInteraction::message(kind, text + QLatin1Char('\r') + reason(error), caption);
            return;
        }
        ForwardingInteraction::message(kind, text, caption);
    }
};

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

int ConvertJob::run(Interaction& ui, std::FILE* out) const {
    InterruptFilter filtered(ui);
    const int code = runCommand(filtered, out);
    // A job that finished before the interruption came has done its work; any other has
    // replaced nothing (AtomicFile refuses every commit after an interruption).
    if (CancelRequest::interrupted() && code != ExitDone) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        return ExitFailed;
    }
    return code;
}

int ConvertJob::runCommand(Interaction& ui, std::FILE* out) const {
    switch (command) {
    case Command::Help:
        std::fputs(usage(helpTopic).toLocal8Bit().constData(), out);
        return ExitDone;
    case Command::Version:
        std::fprintf(out, "zeralconv %s\n", app::kProgramVersion);
        return ExitDone;
    case Command::Thumbnail:
        return writeThumbnail(input, output, thumbnailSize, ui);
    case Command::Fonts:
        return inputReadable(input, ui) ? WriteFontReport(input, ui, out) : ExitFailed;
    case Command::Info:
    case Command::Convert:
    case Command::Print:
        break;
    }
    const bool fromStdin = input == QLatin1String("-");
    const bool toStdout = command == Command::Convert && output == QLatin1String("-");
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
        if (!job.checkFor(detectDocumentKind(job.input) == DocumentKind::PreparedReport, error)) {
            ui.message(MessageKind::Error, error + QLatin1Char('\n') + usageHint());
            return ExitUsage;
        }
    }
    if (toStdout) {
        job.output = scratch.file(QStringLiteral("saida.") + outputKind());
    }
    const int code = job.runOnFiles(ui, out);
    if (code != ExitDone || !toStdout) {
        return code;
    }
    return copyToOutput(job.output, out, ui) ? ExitDone : ExitFailed;
}

int ConvertJob::runOnFiles(Interaction& ui, std::FILE* out) const {
    if (!inputReadable(input, ui) || (command == Command::Convert && !outputWritable(output, ui))) {
        return ExitFailed;
    }
    SystemReason withReason(ui);
    if (detectDocumentKind(input) == DocumentKind::PreparedReport) {
        return runPreparedReport(withReason, out);
    }
    ErrorCounter counted(withReason);
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
        closeTextReport(g);
        return ExitDone;
    }
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
        code = command == Command::Print ? printTextReport(g, counted)
                                         : writeTextReport(g, counted, page);
    } else {
        // The other outputs are given just the selected pages.
        if (ext != QLatin1String("png") && !PageSelection::everyPageInOrder(selection, total)) {
            keepTextPages(g, selection);
        }
        code =
            writeTextReport(g, counted, pageGiven || selection.empty() ? page : selection.front());
    }
    closeTextReport(g);
    return code;
}

int ConvertJob::writeTextReport(TGravana& g, ErrorCounter& ui, int picturePage) const {
    const QString ext = outputKind();
    const int errorsBefore = ui.errors;
    AtomicFile::clearLastError();
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
        g.OpcoesPDF.userPassword = userPassword;
        g.OpcoesPDF.ownerPassword = ownerPassword;
        g.OpcoesPDF.aes256 = aes256;
        g.OpcoesPDF.permissions =
            zr::pdf::TqdxPDFSecurity::PermissionValue(!noPrint, !noModify, !noCopy, !noAnnotate);
        g.OpcoesPDF.archival = pdfa;
        g.GerarPDF(output);
    } else if (ext == QLatin1String("png")) {
        writePageImage(g, ui, picturePage);
    }
    if (CancelRequest::isSet()) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
        return ExitFailed;
    }
    return ui.errors == errorsBefore ? ExitDone : ExitFailed;
}

void ConvertJob::writePageImage(TGravana& g, Interaction& ui, int picturePage) const {
    if (picturePage > g.TotalPaginas()) {
        ui.message(MessageKind::Error, QStringLiteral("O relatório não tem a página %1 (tem %2).")
                                           .arg(picturePage)
                                           .arg(g.TotalPaginas()));
        return;
    }
    const QImage image = renderPageImage(g, picturePage, scale);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    AtomicFile file(output);
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        ui.message(MessageKind::Error, writeFailedMessage(output));
    } else if (!file.open() || !file.write(png) || !file.commit()) {
        ui.message(MessageKind::Error, writeFailedMessage(output, file.error()));
    }
}

int ConvertJob::runPreparedReport(Interaction& ui, std::FILE* out) const {
    const QString ext = outputKind();
    reportlib::TqdxReport report;
    reportlib::TqdxPreviewPages& store = report.PreviewPages();
    QByteArray info;
    try {
        store.LoadFromFile(input, true);
        if (command == Command::Info) {
            // Gathered before anything is printed, so that a page that cannot be built leaves
            // no half description behind.
            const int count = store.Count();
            info += infoLine("format", "QP3");
            info += infoLine("title", codepages::fromCp1252(report.ReportOptions.Name).toUtf8());
            info += infoLine("pages", QByteArray::number(count));
            for (int i = 0; i < count; ++i) {
                const QSize size = store.PageExtent(i);
                info += infoLine("page " + QByteArray::number(i + 1),
                                 QByteArray::number(size.width()) + " x " +
                                     QByteArray::number(size.height()));
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
    AtomicFile::clearLastError();
    if (!store.SaveToFile(output)) {
        ui.message(MessageKind::Error, writeFailedMessage(output, AtomicFile::lastError()));
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
    AtomicFile::clearLastError();
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
    report.UserInteraction = &ui;
    reportlib::preview::TqdxPrintResult result;
    try {
        result = reportlib::preview::PrintReport(report, queue, {}, request);
    } catch (const std::exception& e) {
        ui.message(MessageKind::Error, QString::fromUtf8(e.what())); // a page range that is none
        report.UserInteraction = nullptr;
        return ExitFailed;
    }
    report.UserInteraction = nullptr;
    if (result.cancelled) {
        ui.message(MessageKind::Error, QStringLiteral("Operação cancelada."));
    }
    if (result.printed && result.jobId > 0) {
        // As lp's "request id is": the queue and the job's number.
        const QByteArray line =
            QStringLiteral("pedido ID: %1-%2\n").arg(queue).arg(result.jobId).toUtf8();
        std::fwrite(line.constData(), 1, std::size_t(line.size()), out);
        std::fflush(out);
    }
    return result.printed ? ExitDone : ExitFailed; // the job has said why
}

int ConvertJob::printTextReport(TGravana& g, ErrorCounter& ui) const {
    const QString queue = printQueue(printer, ui);
    if (queue.isEmpty()) {
        return ExitFailed;
    }
    const int errorsBefore = ui.errors;
    const QString previous = chosenPrinter();
    setCurrentPrinter(queue);
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
        reportlib::render::PaintPage(store, picturePage - 1, painter, scale, scale, 0, 0);
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
