#include "convert_options.h"

#include "app/conv/convert_job.h"
#include "app/conv/thumbnail.h"
#include "platform/printing/print_destination.h"
#include "reportlib/document/qdx_components.h"

#include <QRegularExpression>

namespace zr::app {

namespace {

using textreport::TAcento;
using textreport::TModelo;

bool positiveInt(const QString& text, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 1) {
        return false;
    }
    out = v;
    return true;
}

// Sets a flag of the job.
template <bool ConvertJob::*Flag>
bool setFlag(ConvertJob& job, const QString&, QString&) {
    job.*Flag = true;
    return true;
}

// Keeps a text value as given.
template <QString ConvertJob::*Text>
bool setText(ConvertJob& job, const QString& value, QString&) {
    job.*Text = value;
    return true;
}

bool setModel(ConvertJob& job, const QString& value, QString& error) {
    static const std::pair<const char*, TModelo> models[] = {
        {"epson", TModelo::Epson},         {"rima", TModelo::Rima},
        {"hp", TModelo::HP},               {"grafico", TModelo::Grafico},
        {"personalizado", TModelo::Personalizado}, {"bobina", TModelo::Bobina}};
    for (const auto& [name, model] : models) {
        if (value.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            job.model = model;
            return true;
        }
    }
    error = QStringLiteral("modelo desconhecido: %1").arg(value);
    return false;
}

bool setAccents(ConvertJob& job, const QString& value, QString& error) {
    if (value.toLower() == QLatin1String("transliterate")) {
        job.accents = TAcento::Transliterate;
    } else if (value.toLower() == QLatin1String("sem-acento")) {
        job.accents = TAcento::SemAcento;
    } else {
        error = QStringLiteral("acentuação desconhecida: %1").arg(value);
        return false;
    }
    return true;
}

bool setTo(ConvertJob& job, const QString& value, QString& error) {
    job.to = value.toLower();
    if (outputBit(job.to) == 0) {
        error = QStringLiteral("tipo de saída desconhecido: %1").arg(value);
        return false;
    }
    return true;
}

bool setCopies(ConvertJob& job, const QString& value, QString& error) {
    if (!positiveInt(value, job.copies)) {
        error = QStringLiteral("número de cópias inválido: %1").arg(value);
        return false;
    }
    return true;
}

bool setPage(ConvertJob& job, const QString& value, QString& error) {
    if (!positiveInt(value, job.page)) {
        error = QStringLiteral("página inválida: %1").arg(value);
        return false;
    }
    return true;
}

bool setScale(ConvertJob& job, const QString& value, QString& error) {
    bool ok = false;
    job.scale = value.toDouble(&ok);
    if (!ok || !(job.scale > 0.0) || job.scale > 100.0) {
        error = QStringLiteral("escala inválida: %1 (maior que 0, até 100)").arg(value);
        return false;
    }
    return true;
}

bool setQuality(ConvertJob& job, const QString& value, QString& error) {
    bool ok = false;
    job.quality = value.trimmed().toInt(&ok);
    if (!ok || job.quality < 1 || job.quality > 100) {
        error = QStringLiteral("qualidade JPEG inválida: %1 (de 1 a 100)").arg(value);
        return false;
    }
    return true;
}

bool setMode(ConvertJob& job, const QString& value, QString& error) {
    static const QStringList modes = {QStringLiteral("default"), QStringLiteral("split"),
                                      QStringLiteral("join"), QStringLiteral("scale")};
    job.printMode = int(modes.indexOf(value.toLower()));
    if (job.printMode < 0) {
        error = QStringLiteral("modo de impressão desconhecido: %1").arg(value);
        return false;
    }
    return true;
}

bool setSheet(ConvertJob& job, const QString& value, QString& error) {
    if (!positiveInt(value, job.sheet) || !reportlib::StandardPaperSize(job.sheet)) {
        error = QStringLiteral("código de papel inválido: %1").arg(value);
        return false;
    }
    return true;
}

bool setMedia(ConvertJob& job, const QString& value, QString& error) {
    job.media = value;
    if (!printMediaByName(value)) {
        error = QStringLiteral("papel desconhecido: %1").arg(value);
        return false;
    }
    return true;
}

bool setSides(ConvertJob& job, const QString& value, QString& error) {
    static const QStringList sides = {QStringLiteral("one-sided"),
                                      QStringLiteral("two-sided-long-edge"),
                                      QStringLiteral("two-sided-short-edge")};
    if (!sides.contains(value)) {
        error = QStringLiteral("lados desconhecidos: %1 (one-sided, two-sided-long-edge ou "
                               "two-sided-short-edge)")
                    .arg(value);
        return false;
    }
    job.sides = value;
    return true;
}

bool setTitle(ConvertJob& job, const QString& value, QString&) {
    job.title = value;
    job.titleGiven = true;
    return true;
}

// As lp: NAME=VALUE, or NAME alone for a true value.
bool addJobOption(ConvertJob& job, const QString& value, QString& error) {
    const qsizetype equals = value.indexOf(QLatin1Char('='));
    const QString name = (equals < 0 ? value : value.left(equals)).trimmed();
    static const QRegularExpression attribute(QStringLiteral("^[a-zA-Z][a-zA-Z0-9-]*$"));
    if (!attribute.match(name).hasMatch()) {
        error = QStringLiteral("opção do CUPS inválida: %1 (use -o NOME=VALOR)").arg(value);
        return false;
    }
    job.jobOptions.emplace_back(name.toUtf8(), equals < 0 ? QByteArray("true")
                                                          : value.mid(equals + 1).toUtf8());
    return true;
}

bool setThumbnailSize(ConvertJob& job, const QString& value, QString& error) {
    if (!positiveInt(value, job.thumbnailSize) || job.thumbnailSize > kMaxThumbnailSize) {
        error = QStringLiteral("tamanho inválido: %1 (de 1 a %2)").arg(value).arg(kMaxThumbnailSize);
        return false;
    }
    return true;
}

bool setOdd(ConvertJob& job, const QString&, QString&) {
    job.oddEven |= 1;
    return true;
}

bool setEven(ConvertJob& job, const QString&, QString&) {
    job.oddEven |= 2;
    return true;
}

// The usage errors of options an output or a kind of report does not take; options that go
// together share theirs.
constexpr const char* kPdfProtection =
    "--user-password, --owner-password e --aes256 só valem para .pdf";
constexpr const char* kPdfRights =
    "--no-print, --no-copy, --no-modify e --no-annotate só valem para .pdf";
constexpr const char* kPreparedPdf = "--outline, --title, --background e --quality só valem para "
                                     "o .pdf de relatórios preparados (.QP3)";
constexpr const char* kPrinterCharacters =
    "--model e --accents só valem para .prn e .txt (ou para print)";
constexpr const char* kTextOnly = "--model e --accents são de relatórios texto (.GVP)";
constexpr const char* kPrintPreparedOnly =
    "--mode, --sheet, --media, --duplex, --sides, --title e -o são de relatórios preparados "
    "(.QP3)";
constexpr const char* kCopies = "--copies e --no-collate só valem para .prn (ou para print)";
constexpr const char* kPicture = "--page e --scale só valem para .png";
constexpr const char* kWholeQp3 = "a saída .qp3 guarda o relatório inteiro: --pages, --odd, "
                                  "--even e --reverse não valem para ela";

constexpr unsigned kPaged = ToAny & ~ToQp3;

const ConvertOption kOptions[] = {
    {.name = "to",
     .argument = "TIPO",
     .commands = ForConvert,
     .help = "tipo da saída (obrigatório com SAÍDA \"-\")",
     .apply = setTo},
    {.name = "printer",
     .argument = "FILA",
     .commands = ForPrint,
     .help = "fila de impressão ou FILA/INSTÂNCIA, com as opções guardadas\n(sem ela, o destino "
             "padrão do CUPS: lpoptions, PRINTER, o\npadrão do servidor)",
     .apply = setText<&ConvertJob::printer>},
    {.name = "pages",
     .argument = "FAIXA",
     .commands = ForConvert | ForPrint,
     .help = "páginas na ordem dada, por exemplo 1,3,5-12, -3 ou 4- (todas\nas saídas "
             "menos .qp3; em .png escolhe a página desenhada)",
     .printHelp = "páginas na ordem dada, por exemplo 1,3,5-12, -3 ou 4-",
     .outputs = kPaged,
     .refusal = kWholeQp3,
     .apply = setText<&ConvertJob::pages>},
    {.name = "odd",
     .commands = ForConvert | ForPrint,
     .outputs = kPaged,
     .refusal = kWholeQp3,
     .apply = setOdd},
    {.name = "even",
     .commands = ForConvert | ForPrint,
     .help = "só páginas ímpares ou só pares (idem)",
     .printHelp = "só páginas ímpares ou só pares",
     .outputs = kPaged,
     .refusal = kWholeQp3,
     .apply = setEven},
    {.name = "reverse",
     .commands = ForConvert | ForPrint,
     .help = "ordem inversa (idem)",
     .printHelp = "ordem inversa",
     .outputs = kPaged,
     .refusal = kWholeQp3,
     .apply = setFlag<&ConvertJob::reverse>},
    {.name = "copies",
     .argument = "N",
     .commands = ForConvert | ForPrint,
     .help = "número de cópias (só .prn)",
     .printHelp = "número de cópias",
     .outputs = ToPrn,
     .refusal = kCopies,
     .apply = setCopies},
    {.name = "no-collate",
     .commands = ForConvert | ForPrint,
     .help = "cópias não agrupadas (só .prn)",
     .printHelp = "cópias não agrupadas",
     .outputs = ToPrn,
     .refusal = kCopies,
     .apply =
         [](ConvertJob& job, const QString&, QString&) {
             job.collate = false;
             return true;
         }},
    {.name = "model",
     .argument = "MODELO",
     .commands = ForConvert | ForPrint,
     .help = "epson, rima, hp, grafico, personalizado ou bobina (de .GVP)",
     .printHelp = "de .GVP: epson, rima, hp, personalizado ou bobina em modo\ntexto (bruto); "
                  "grafico em modo gráfico",
     .outputs = ToPrn | ToTxt,
     .kinds = OfText,
     .refusal = kPrinterCharacters,
     .kindRefusal = kTextOnly,
     .apply = setModel},
    {.name = "accents",
     .argument = "MODO",
     .commands = ForConvert | ForPrint,
     .help = "transliterate ou sem-acento (de .GVP)",
     .outputs = ToPrn | ToTxt,
     .kinds = OfText,
     .refusal = kPrinterCharacters,
     .kindRefusal = kTextOnly,
     .apply = setAccents},
    {.name = "page",
     .argument = "N",
     .commands = ForConvert,
     .help = "página de uma saída .png",
     .outputs = ToPng,
     .refusal = kPicture,
     .apply = setPage},
    {.name = "scale",
     .argument = "S",
     .commands = ForConvert,
     .help = "escala de uma saída .png, maior que 0 e até 100 (1 por\nomissão)",
     .outputs = ToPng,
     .refusal = kPicture,
     .apply = setScale},
    {.name = "user-password",
     .argument = "P",
     .commands = ForConvert,
     .help = "senha de abertura do PDF",
     .outputs = ToPdf,
     .refusal = kPdfProtection,
     .apply = setText<&ConvertJob::userPassword>},
    {.name = "owner-password",
     .argument = "P",
     .commands = ForConvert,
     .help = "senha de permissões do PDF",
     .outputs = ToPdf,
     .refusal = kPdfProtection,
     .apply = setText<&ConvertJob::ownerPassword>},
    {.name = "aes256",
     .commands = ForConvert,
     .help = "protege o PDF com AES-256 em vez de RC4",
     .outputs = ToPdf,
     .refusal = kPdfProtection,
     .apply = setFlag<&ConvertJob::aes256>},
    {.name = "no-print",
     .commands = ForConvert,
     .outputs = ToPdf,
     .refusal = kPdfRights,
     .apply = setFlag<&ConvertJob::noPrint>},
    {.name = "no-copy",
     .commands = ForConvert,
     .outputs = ToPdf,
     .refusal = kPdfRights,
     .apply = setFlag<&ConvertJob::noCopy>},
    {.name = "no-modify",
     .commands = ForConvert,
     .outputs = ToPdf,
     .refusal = kPdfRights,
     .apply = setFlag<&ConvertJob::noModify>},
    {.name = "no-annotate",
     .commands = ForConvert,
     .help = "tira do PDF o direito de imprimir, copiar, alterar ou\nanotar (com "
             "--owner-password)",
     .outputs = ToPdf,
     .refusal = kPdfRights,
     .apply = setFlag<&ConvertJob::noAnnotate>},
    {.name = "outline",
     .commands = ForConvert,
     .help = "o resumo (outline) do relatório como marcadores (de .QP3)",
     .outputs = ToPdf,
     .kinds = OfPrepared,
     .refusal = kPreparedPdf,
     .apply = setFlag<&ConvertJob::outline>},
    {.name = "title",
     .shortName = 't',
     .argument = "TÍTULO",
     .commands = ForConvert | ForPrint,
     .shortCommands = ForPrint,
     .help = "título do PDF (de .QP3; por omissão o nome do relatório)",
     .printHelp = "de .QP3: nome do trabalho (por omissão o do relatório)",
     .outputs = ToPdf,
     .kinds = OfPrepared,
     .refusal = kPreparedPdf,
     .kindRefusal = kPrintPreparedOnly,
     .apply = setTitle},
    {.name = "background",
     .commands = ForConvert,
     .help = "grava o fundo das páginas (de .QP3)",
     .outputs = ToPdf,
     .kinds = OfPrepared,
     .refusal = kPreparedPdf,
     .apply = setFlag<&ConvertJob::background>},
    {.name = "quality",
     .argument = "N",
     .commands = ForConvert,
     .help = "qualidade JPEG das imagens do PDF, de 1 a 100 (de .QP3;\n95 por omissão)",
     .outputs = ToPdf,
     .kinds = OfPrepared,
     .refusal = kPreparedPdf,
     .apply = setQuality},
    {.name = "pdfa",
     .commands = ForConvert,
     .help = "PDF/A-2a para arquivamento (marcado para leitores de tela,\nfontes embutidas, sem senha)",
     .outputs = ToPdf,
     .refusal = "--pdfa só vale para .pdf",
     .apply = setFlag<&ConvertJob::pdfa>},
    {.name = "pdfua",
     .commands = ForConvert,
     .help = "PDF/UA-1 acessível (marcado, fontes embutidas, título na\njanela; não admite --no-copy)",
     .outputs = ToPdf,
     .refusal = "--pdfua só vale para .pdf",
     .apply = setFlag<&ConvertJob::pdfua>},
    {.name = "mode",
     .argument = "MODO",
     .commands = ForPrint,
     .help = "de .QP3: default, scale, split ou join",
     .kinds = OfPrepared,
     .kindRefusal = kPrintPreparedOnly,
     .apply = setMode},
    {.name = "sheet",
     .argument = "CÓDIGO",
     .commands = ForPrint,
     .help = "de .QP3: papel da folha dos modos scale, split e join\n(código de papel, 9 = A4 "
             "por omissão)",
     .kinds = OfPrepared,
     .kindRefusal = kPrintPreparedOnly,
     .apply = setSheet},
    {.name = "media",
     .argument = "NOME",
     .commands = ForPrint,
     .help = "de .QP3: papel do trabalho como o lp o aceita (A4, Letter,\n"
             "iso_a4_210x297mm, Custom.100x150mm...); também a folha dos modos",
     .kinds = OfPrepared,
     .kindRefusal = kPrintPreparedOnly,
     .apply = setMedia},
    {.name = "duplex",
     .commands = ForPrint,
     .help = "de .QP3: frente e verso (lado maior)",
     .kinds = OfPrepared,
     .kindRefusal = kPrintPreparedOnly,
     .apply = setFlag<&ConvertJob::duplex>},
    {.name = "sides",
     .argument = "LADOS",
     .commands = ForPrint,
     .help = "de .QP3: one-sided, two-sided-long-edge ou\ntwo-sided-short-edge",
     .kinds = OfPrepared,
     .kindRefusal = kPrintPreparedOnly,
     .apply = setSides},
    {.name = "",
     .shortName = 'o',
     .argument = "NOME=VALOR",
     .commands = ForPrint,
     .help = "de .QP3: opção do CUPS para o trabalho (repetível); as\nopções acima prevalecem",
     .kinds = OfPrepared,
     .kindRefusal = kPrintPreparedOnly,
     .apply = addJobOption},
    {.name = "size",
     .argument = "N",
     .commands = ForThumbnail,
     .help = "lado do quadrado em que a página cabe, em pixels\n(1 a 4096, 256 por omissão)",
     .apply = setThumbnailSize},
    {.name = "help",
     .shortName = 'h',
     .commands = ForAll,
     .help = "esta ajuda (depois de um comando, só a dele)"},
    {.name = "version", .commands = 0, .help = "a versão do programa"},
};

constexpr int kHelpColumn = 23; // where the help texts start

} // namespace

QString ConvertOption::spelling() const {
    return *name != '\0' ? QStringLiteral("--") + QLatin1String(name)
                         : QStringLiteral("-") + QLatin1Char(shortName);
}

std::span<const ConvertOption> convertOptions() {
    return kOptions;
}

unsigned outputBit(const QString& kind) {
    static const std::pair<const char*, unsigned> kinds[] = {
        {"gvp", ToGvp}, {"prn", ToPrn}, {"txt", ToTxt}, {"htm", ToHtm},
        {"html", ToHtm}, {"pdf", ToPdf}, {"qp3", ToQp3}, {"png", ToPng}};
    for (const auto& [name, bit] : kinds) {
        if (kind == QLatin1String(name)) {
            return bit;
        }
    }
    return 0;
}

QString optionHelp(unsigned command) {
    QString out;
    QString label;
    for (const ConvertOption& o : kOptions) {
        if (!o.takes(command) || (command == ForAll && o.commands != ForAll)) {
            continue;
        }
        QString spelled = o.spelling();
        if (o.shortName != 0 && *o.name != '\0' && o.takesShort(command)) {
            spelled = QStringLiteral("-") + QLatin1Char(o.shortName) + QStringLiteral(", ") +
                      spelled;
        }
        if (o.argument) {
            spelled += QLatin1Char(' ') + QString::fromUtf8(o.argument);
        }
        label += (label.isEmpty() ? QString() : QStringLiteral(", ")) + spelled;
        const char* help = command == ForPrint && o.printHelp ? o.printHelp : o.help;
        if (*help == '\0') {
            continue; // shown with the next option
        }
        const QString indent(kHelpColumn, QLatin1Char(' '));
        QString line = QStringLiteral("  ") + label;
        if (line.size() < kHelpColumn) {
            line += QString(kHelpColumn - line.size(), QLatin1Char(' '));
        } else {
            line += QLatin1Char('\n') + indent;
        }
        line += QString::fromUtf8(help).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent);
        out += line + QLatin1Char('\n');
        label.clear();
    }
    return out;
}

} // namespace zr::app
