// TGravana::GerarPDF: the open report as a PDF file. The page is rebuilt from the character
// grid on a scale of 60 units per inch (a 10 cpi cell is 6 units wide, a 6 lpi line 10 high):
// each text item becomes one text object in a Courier face stretched or squeezed to the item's
// pitch, and each box-drawing item becomes thin straight lines.
//
// The file is tagged: each line of the grid that shows text is one paragraph, in the order of
// the store (page, line, column), so a screen reader reads the report as it is printed. Box
// lines, underlines and items of blanks are decoration.

#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "textreport/gravana.h"
#include "textreport/io/file_message.h"
#include "textreport/pdf/writer/print_pdf.h"

#include <QRgb>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <exception>
#include <new>
#include <optional>
#include <utility>

namespace zr::textreport {

namespace {

// One stroke of a box letter in cell units: the cell spans 0..6 across and 0..10 down, single
// lines run through the middle (3 across, 5 down), double lines lie at 2 and 4 across and at 4
// and 6 down.
struct Segment {
    signed char a, b, c, d; // from (a, b) to (c, d)
};

struct BoxLetter {
    char letter;
    std::array<Segment, 8> segments;
    int count;
};

// The strokes of each box letter, in drawing order.
constexpr std::array<BoxLetter, 22> kBoxLetters = {{
    {'=', {{{0, 4, 6, 4}, {0, 6, 6, 6}}}, 2},
    {'I', {{{2, 0, 2, 10}, {4, 0, 4, 10}}}, 2},
    {'#',
     {{{0, 4, 2, 4},
       {0, 6, 2, 6},
       {4, 4, 6, 4},
       {4, 6, 6, 6},
       {2, 0, 2, 4},
       {2, 6, 2, 10},
       {4, 0, 4, 4},
       {4, 6, 4, 10}}},
     8},
    {'[', {{{2, 0, 2, 10}, {4, 4, 6, 4}, {4, 6, 6, 6}, {4, 0, 4, 4}, {4, 6, 4, 10}}}, 5},
    {']', {{{4, 0, 4, 10}, {0, 4, 2, 4}, {0, 6, 2, 6}, {2, 0, 2, 4}, {2, 6, 2, 10}}}, 5},
    {'T', {{{0, 4, 6, 4}, {0, 6, 2, 6}, {4, 6, 6, 6}, {2, 6, 2, 10}, {4, 6, 4, 10}}}, 5},
    {'V', {{{0, 6, 6, 6}, {0, 4, 2, 4}, {4, 4, 6, 4}, {2, 0, 2, 4}, {4, 0, 4, 4}}}, 5},
    {'A', {{{2, 4, 6, 4}, {4, 6, 6, 6}, {2, 4, 2, 10}, {4, 6, 4, 10}}}, 4},
    {'B', {{{0, 4, 4, 4}, {0, 6, 2, 6}, {4, 4, 4, 10}, {2, 6, 2, 10}}}, 4},
    {'C', {{{0, 4, 2, 4}, {0, 6, 4, 6}, {2, 0, 2, 4}, {4, 0, 4, 6}}}, 4},
    {'D', {{{2, 0, 2, 6}, {4, 0, 4, 4}, {2, 6, 6, 6}, {4, 4, 6, 4}}}, 4},
    {'-', {{{0, 5, 6, 5}}}, 1},
    {'i', {{{3, 0, 3, 10}}}, 1},
    {'+', {{{0, 5, 6, 5}, {3, 0, 3, 10}}}, 2},
    {'t', {{{0, 5, 6, 5}, {3, 5, 3, 10}}}, 2},
    {'v', {{{0, 5, 6, 5}, {3, 5, 3, 0}}}, 2},
    {'<', {{{3, 0, 3, 10}, {3, 5, 6, 5}}}, 2},
    {'>', {{{3, 0, 3, 10}, {0, 5, 3, 5}}}, 2},
    {'a', {{{3, 5, 6, 5}, {3, 5, 3, 10}}}, 2},
    {'b', {{{0, 5, 3, 5}, {3, 5, 3, 10}}}, 2},
    {'c', {{{0, 5, 3, 5}, {3, 0, 3, 5}}}, 2},
    {'d', {{{3, 0, 3, 5}, {3, 5, 6, 5}}}, 2},
}};

// Box letter by byte value, null for bytes that draw nothing.
const std::array<const BoxLetter*, 256>& boxLetterTable() {
    static const std::array<const BoxLetter*, 256> table = [] {
        std::array<const BoxLetter*, 256> t{};
        for (const BoxLetter& l : kBoxLetters) {
            t[static_cast<unsigned char>(l.letter)] = &l;
        }
        return t;
    }();
    return table;
}

// Whether text shows nothing but blanks (or controls, which print as blanks).
bool isBlank(const QByteArray& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b == 0xA0;
    });
}

double horizontalFactor(TSize pitch) {
    switch (pitch) {
    case TSize::S05cpp:
        return 0.5;
    case TSize::S10cpp:
        return 1.0;
    case TSize::S12cpp:
        return 1.2;
    case TSize::S17cpp:
        return 1.71;
    case TSize::S20cpp:
        return 2.0;
    }
    return 1.0;
}

// Nearest integer, halves to the even neighbour.
long long roundHalfEven(double v) {
    const double lower = std::floor(v);
    const double fraction = v - lower;
    double r = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0)) {
        r = lower + 1;
    }
    return static_cast<long long>(r);
}

int clampToInt(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// A margin in millimetres as whole grid units, truncated towards zero.
int marginUnits(int millimetres) {
    return static_cast<int>(millimetres / 254.0 * 60);
}

// Horizontal scaling (percent) that makes a 6-unit Courier cell fill one cell of the pitch.
double scalingFor(int pitch, double h) {
    switch (pitch) {
    case 5:
        return 200 / h;
    case 12:
        return 83.33;
    case 15:
        return 66.67;
    case 17:
        return 58.48;
    case 20:
        return 50;
    default:
        return 100;
    }
}

} // namespace

Outcome TGravana::GerarPDF(QString fileName) {
    if (fileName.isEmpty()) {
        fileName = QStringLiteral("Gravana.PDF");
    }
    if (OnSave) {
        OnSave(*this, fileName);
    }

    const double h = horizontalFactor(FonteTamanhoPadrao);
    const double v = TamanhoQteLPP == TLinha::Oito ? 1.3333 : 1.0;
    const int left = marginUnits(Margens.Left);
    const int right = marginUnits(Margens.Right);
    const int top = marginUnits(Margens.Top);
    const int bottom = marginUnits(Margens.Bottom);

    std::optional<TPrintPDF> pdf;
    try {
        pdf.emplace();
        pdf->TITLE = TitulodoRelatorio;
        pdf->Author = codepages::toCp1252(AutorPDF);
        pdf->Producer = "Gravana PDF Export";
        pdf->Creator = "Gravana (Morvane)";
        pdf->Keywords = QByteArray();
        pdf->Subject = "Relat\xf3rio Criado com Gravana ";
        pdf->Compress = true;
        pdf->PageWidth = clampToInt(roundHalfEven(TamanhoQteColunas * 6.0 / h) + left + right);
        pdf->PageHeight = clampToInt(roundHalfEven(TamanhoQteLinhas * 10.0 / v) + top + bottom);
        pdf->FileName = fileName;
        pdf->CreationDate = clock();
        pdf->UserPassword = OpcoesPDF.userPassword;
        pdf->OwnerPassword = OpcoesPDF.ownerPassword;
        pdf->Permissions = OpcoesPDF.permissions;
        pdf->Encryption =
            OpcoesPDF.aes256 ? pdf::TqdxPDFEncryption::AES_256 : pdf::TqdxPDFEncryption::RC4_128;
        pdf->PdfA = OpcoesPDF.archival;
        pdf->PdfUA = OpcoesPDF.universal;
        pdf->Tagged = true;
        pdf->BeginDoc();
        pdf->LineWidth = 0.75;
    } catch (const std::bad_alloc&) {
        throw; // for the caller to report: nothing has been written
    } catch (const pdf::TqdxPDFPasswordError& e) {
        m_ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        return Outcome::failure();
    } catch (const std::exception&) {
        m_ui.message(
            MessageKind::Error,
            fileMessage(QStringLiteral("Erro na cria\u00e7\u00e3o do PDF..."), fileName, 0));
        return Outcome::failure();
    }

    const qsizetype count = store() ? store()->size() : 0;
    CancelRequest::clear();
    auto progress = m_ui.beginProgress(progressInfo(QStringLiteral("Gerando PDF..."), fileName, qint64(count)));

    const auto& boxLetters = boxLetterTable();
    // a / H and b / V for the cell coordinates of the box strokes, worked out once.
    std::array<double, 11> across{};
    std::array<double, 11> down{};
    for (std::size_t k = 0; k < across.size(); ++k) {
        across[k] = double(k) / h;
        down[k] = double(k) / v;
    }
    int currentPage = 1;
    // The colours last set on this page, kNone when none (a new page starts in black).
    constexpr qint64 kNone = -1;
    qint64 lineColour = kNone;
    qint64 fillColour = kNone;
    // The grid line of the paragraph being drawn (page, line), none yet, and where its text
    // drawn so far ends across.
    std::pair<int, int> paragraphLine{-1, -1};
    double paragraphEnd = 0;
    bool cancelled = false;
    try {
        for (qsizetype i = 0; i < count; ++i) {
            progress->step();
            if (progress->cancelled()) {
                if (OnCancel) {
                    OnCancel(*this);
                }
                cancelled = true;
                break;
            }
            // An OnErro handler may have closed the report meanwhile.
            const PageStore* st = store();
            if (!st || i >= st->size()) {
                break;
            }
            const DecodedItem& d = DecodificarItem(st->item(i));
            const double x = (d.coluna - 1) * 6 / h + left;
            const double y = d.linha * 10 / v + top - 2;

            if (d.pagina != currentPage) {
                // A jump of several page numbers still starts only one new page.
                pdf->NewPage();
                currentPage = d.pagina;
                lineColour = kNone;
                fillColour = kNone;
            }

            if (d.tipo == 'C') {
                continue;
            }
            const qint64 colour = d.cor.rgb();
            if (d.tipo == 'B') {
                pdf->LineWidth = 0.75;
                const double y0 = y - 8;
                for (qsizetype k = 0; k < d.texto.size(); ++k) {
                    const double xk = double(k) * 6 / h + x;
                    if (lineColour != colour) {
                        pdf->SetLineColor(d.cor);
                        lineColour = colour;
                    }
                    const BoxLetter* letter = boxLetters[static_cast<unsigned char>(d.texto[k])];
                    if (!letter) {
                        continue;
                    }
                    for (int s = 0; s < letter->count; ++s) {
                        const Segment& seg = letter->segments[std::size_t(s)];
                        pdf->DrawLine(
                            xk + across[std::size_t(seg.a)], y0 + down[std::size_t(seg.b)],
                            xk + across[std::size_t(seg.c)], y0 + down[std::size_t(seg.d)]);
                    }
                }
                continue;
            }
            if (d.texto.isEmpty()) {
                continue;
            }
            pdf->Font.Size = 10;
            pdf->Font.Name = std::uint8_t(4 + (d.negrito ? 1 : 0) + (d.italico ? 2 : 0));
            const double scaling = scalingFor(d.pitch, h);
            if (fillColour != colour) {
                pdf->SetFillColor(d.cor);
                fillColour = colour;
            }
            pdf->DecorativeText = isBlank(d.texto);
            if (!pdf->DecorativeText) {
                if (paragraphLine != std::pair{d.pagina, d.linha}) {
                    pdf->BeginParagraph();
                    paragraphLine = {d.pagina, d.linha};
                } else if (x - paragraphEnd >= 0.5) {
                    // Items of a line apart on the grid are words apart to a reader: a blank
                    // stretched over the gap (it draws nothing) keeps them from running together.
                    pdf->TextOut(" ", false, paragraphEnd, y, (x - paragraphEnd) * 100 / 6);
                }
                paragraphEnd = x + double(d.texto.size()) * 6 * scaling / 100;
            }
            pdf->TextOut(d.texto, false, x, y, scaling);
            if (d.sublinhado) {
                // Stroked in the page's current line colour.
                pdf->LineWidth = 0.75;
                pdf->DrawLine(x, y + 1.2, x + double(d.texto.size()) * 6 * scaling / 100, y + 1.2);
            }
        }
        // A cancelled export writes nothing: the unfinished document is dropped with the
        // writer, and a file of that name keeps what it held.
        if (!cancelled) {
            pdf->EndDoc();
        }
    } catch (const std::bad_alloc&) {
        progress.reset();
        throw; // for the caller to report: nothing has been written
    } catch (const std::exception& e) {
        // Nothing was written: the file keeps what it held before (see TPrintPDF::EndDoc).
        progress.reset();
        const auto* written = dynamic_cast<const PdfWriteError*>(&e);
        m_ui.message(MessageKind::Error,
                     fileMessage(QStringLiteral("Erro na grava\u00e7\u00e3o do arquivo..."),
                                 fileName, written ? written->error() : 0));
        return Outcome::failure(written ? written->error() : 0);
    }
    return cancelled ? Outcome::cancellation() : Outcome::success();
}

} // namespace zr::textreport
