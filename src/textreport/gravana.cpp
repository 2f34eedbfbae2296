#include "gravana.h"

#include "platform/interaction/interaction.h"
#include "platform/printing/system_printer.h"
#include "platform/text/codepages.h"
#include "textreport/gvtools.h"
#include "textreport/io/gvp_file.h"

#include <QLocale>

#include <algorithm>
#include <climits>

namespace zr::textreport {

// ---- Process-wide report state.

namespace {
ReportState& processState() {
    static ReportState state;
    return state;
}
ReportState* g_state = nullptr;
} // namespace

ReportState& ReportState::current() { return g_state ? *g_state : processState(); }

ReportState::ScopedOverride::ScopedOverride()
    : m_previous(g_state), m_state(std::make_unique<ReportState>()) {
    g_state = m_state.get();
}

ReportState::ScopedOverride::~ScopedOverride() { g_state = m_previous; }

// ---- Component.

TGravana::TGravana(Interaction& ui) : m_ui(ui) {}

TGravana::~TGravana() = default;

void TGravana::reportError(const QString& mensagem) {
    if (OnErro) {
        OnErro(*this, mensagem);
    } else {
        m_ui.message(MessageKind::Error, mensagem);
    }
}

ProgressInfo TGravana::progressInfo(const QString& caption, const QString& label,
                                    qint64 maximum) const {
    return {caption, label, maximum, CorForm, CorFonte};
}

void TGravana::raiseBeforeNewPageIfPending() {
    ReportState& s = state();
    if (s.paginaPendente) {
        if (OnBeforeNewPage) {
            OnBeforeNewPage(*this, s.paginaAtual);
        }
        s.paginaPendente = false;
    }
}

int TGravana::atributoPadrao() const {
    return attributeOf(FonteTamanhoPadrao) + (FonteEstiloPadrao.Snegrito ? 2 : 0) +
           (FonteEstiloPadrao.Sitalico ? 1 : 0) + (FonteEstiloPadrao.Ssublinhado ? 4 : 0);
}

bool TGravana::Abrir() {
    ReportState& s = state();
    if (s.aberto) {
        reportError(QStringLiteral("Erro #01 - (ABRIR) Relatório já foi aberto..."));
        return false;
    }
    s.paginaAtual = 1;
    s.job = JobOptions{};
    s.job.copias = NumerodeCopias;

    if (PortaComunicacao.isEmpty()) {
        const CurrentPrinter printer = ImpressoraAtual();
        PortaComunicacao = printer.port;
        ModeloPorNome(printer.deviceName);
    }

    s.aberto = true;
    s.abortado = false;
    s.previewAtivo = false;
    s.store = std::make_unique<PageStore>();

    MontarSequencias(Impressora, TamanhoQteLinhas, TamanhoQteLPP);

    s.destaque.clear();
    if (OnNewPage) {
        OnNewPage(*this, 1);
    }
    s.paginaPendente = true;
    return true;
}

bool TGravana::Fechar() {
    ReportState& s = state();
    if (s.abortado) {
        return true;
    }
    if (!s.aberto) {
        reportError(QStringLiteral("Erro #02 - (FECHAR) Relatório não foi aberto..."));
        s.aberto = false;
        s.previewAtivo = false;
        return false;
    }
    raiseBeforeNewPageIfPending();
    if (OpcoesPreview.Preview) {
        Visualizar();
    } else {
        Imprimir(QString());
    }
    if (!s.abortado) {
        s.store.reset();
    }
    s.aberto = false;
    s.previewAtivo = false;
    return true;
}

bool TGravana::Abortar() {
    ReportState& s = state();
    const bool wasOpen = s.aberto;
    if (wasOpen) {
        s.store.reset();
    } else {
        reportError(QStringLiteral("Erro #08 - (ABORTAR) Relatório não foi aberto..."));
    }
    s.aberto = false;
    s.abortado = true;
    if (OnCancel) {
        OnCancel(*this);
    }
    return wasOpen;
}

void TGravana::Visualizar() {
    if (OnPreview) {
        OnPreview(*this);
    }
    ReportState& s = state();
    s.previewAtivo = true;
    if (previewHook) {
        previewHook(*this);
    }
    s.previewAtivo = false;
}


bool TGravana::Setup() {
    ReportState& s = state();
    if (!s.aberto) {
        reportError(QStringLiteral("Erro #05 - (SETUP) Relatório não foi aberto..."));
        return false;
    }
    const bool confirmed = setupHook && setupHook(*this);
    if (!confirmed) {
        if (!s.previewAtivo) {
            Abortar();
        }
        return false;
    }
    MontarSequencias(Impressora, TamanhoQteLinhas, TamanhoQteLPP);
    return true;
}

// ---- Printer models.

void TGravana::MontarSequencias(TModelo modelo, int linhas, TLinha espacamento) {
    SequenceSettings settings;
    settings.modelo = modelo;
    settings.linhas = linhas;
    settings.espacamento = espacamento;
    settings.pitch = FonteTamanhoPadrao;
    settings.estilo = FonteEstiloPadrao;
    settings.personalizado = ImpressoraPersonalizada;
    state().sequencias = buildSequences(settings);
}

void TGravana::ModeloPorNome(const QString& printerName) {
    Impressora = modelForPrinterName(printerName, Mapeamento);
    MontarSequencias(Impressora, TamanhoQteLinhas, TamanhoQteLPP);
}

QByteArray TGravana::ConverterAcentos(QByteArrayView text) const {
    if (Acentuacao == TAcento::SemAcento || Impressora == TModelo::Rima) {
        return RemoverAcentos(text);
    }
    if (Impressora != TModelo::Grafico) {
        return codepages::cp1252ToCp850(text);
    }
    return text.toByteArray();
}

// ---- Reading the store.

namespace {

// A decimal field of an item: optional leading blanks, an optional sign and digits that fit an
// int. Anything else is not a number.
bool fieldNumber(QByteArrayView item, qsizetype from, qsizetype width, int& out) {
    if (from >= item.size()) {
        return false;
    }
    return gvp::parseNumber(item.sliced(from, std::min(width, item.size() - from)), out);
}

qsizetype findNoCase(QByteArrayView text, QByteArrayView what) {
    if (what.isEmpty() || text.size() < what.size()) {
        return -1;
    }
    const qsizetype last = text.size() - what.size();
    for (qsizetype i = 0; i <= last; ++i) {
        qsizetype k = 0;
        while (k < what.size() &&
               codepages::foldCp1252(static_cast<unsigned char>(text[i + k])) ==
                   codepages::foldCp1252(static_cast<unsigned char>(what[k]))) {
            ++k;
        }
        if (k == what.size()) {
            return i;
        }
    }
    return -1;
}

QByteArray groupedNumber(int n) {
    const QByteArray digits = QByteArray::number(std::abs(qint64(n)));
    const QString sep = QLocale().groupSeparator();
    const QByteArray sepBytes = codepages::toCp1252(sep);
    QByteArray out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += sepBytes;
        }
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

} // namespace

std::pair<qsizetype, qsizetype> TGravana::itensDaPagina(int page) const {
    const PageStore* st = store();
    if (!st) {
        return {0, 0};
    }
    const qsizetype first = st->lowerBoundPage(page);
    qsizetype last = first;
    int p = 0;
    while (last < st->size() && fieldNumber(st->item(last), 0, 4, p) && p == page) {
        ++last;
    }
    return {first, last};
}

int TGravana::TotalPaginas() const {
    const PageStore* st = store();
    if (!st || st->empty()) {
        return 1;
    }
    int page = 0;
    if (!fieldNumber(st->last(), 0, 4, page)) {
        return 1;
    }
    return page;
}

QByteArray TGravana::ExpandirMacros(QByteArrayView text) const {
    if (!text.contains('&')) {
        return text.toByteArray();
    }
    QByteArray out = text.toByteArray();
    auto replaceFirst = [&out](QByteArrayView macro, const QByteArray& value) {
        const qsizetype at = findNoCase(out, macro);
        if (at >= 0) {
            out.replace(at, macro.size(), value);
        }
    };
    const QDateTime now = clock();
    replaceFirst("&PAGE&", groupedNumber(TotalPaginas()));
    replaceFirst("&HORA&", now.time().toString(QStringLiteral("HH:mm")).toLatin1());
    replaceFirst("&DATA&", now.date().toString(QStringLiteral("dd/MM/yyyy")).toLatin1());
    replaceFirst("&TITULO&", TitulodoRelatorio);
    return out;
}

const DecodedItem& TGravana::DecodificarItem(QByteArrayView item) {
    DecodedItem& d = m_item;
    d.negrito = d.italico = d.sublinhado = d.expandido = false;
    d.pitch = 10;

    auto fail = [&]() -> const DecodedItem& {
        if (OnErro) {
            OnErro(*this, QStringLiteral("Erro #10 - (PARAMETROS INVÁLIDOS) Comando %1")
                              .arg(codepages::fromCp1252(item)));
        }
        return d;
    };

    if (!fieldNumber(item, 0, 4, d.pagina) || !fieldNumber(item, 4, 3, d.linha) ||
        !fieldNumber(item, 7, 3, d.coluna) || !fieldNumber(item, 10, 3, d.atributo)) {
        return fail();
    }
    d.tipo = item.size() > 13 ? item[13] : '\0';
    d.corTexto = item.size() > 14 ? item.sliced(14, std::min<qsizetype>(6, item.size() - 14)).toByteArray() : QByteArray();
    const std::optional<QColor> colour = HexParaCor(d.corTexto);
    if (!colour) {
        return fail();
    }
    d.cor = *colour;
    d.texto = ExpandirMacros(item.size() > 20 ? item.sliced(20) : QByteArrayView());

    int a = d.atributo;
    if (a >= 256) {
        a -= 256;
        d.pitch = 15;
    }
    if (a >= 128) {
        a -= 128;
        d.pitch = 20;
    }
    if (a >= 64) {
        a -= 64;
        d.pitch = 17;
    }
    if (a >= 32) {
        a -= 32;
        d.pitch = 12;
    }
    if (a >= 16) {
        a -= 16;
        d.pitch = 10;
    }
    if (a >= 8) {
        a -= 8;
        d.pitch = 5;
        d.expandido = true;
    }
    if (a >= 4) {
        a -= 4;
        d.sublinhado = true;
    }
    if (a >= 2) {
        a -= 2;
        d.negrito = true;
    }
    if (a >= 1) {
        d.italico = true;
    }
    return d;
}

bool TGravana::Procurar(SearchDirection direction, bool matchCase, int& start, int& column,
                        int& line, int& page, QByteArrayView text) {
    ReportState& s = state();
    s.destaque.clear();
    column = line = page = 0;
    if (text.isEmpty()) {
        return false;
    }
    auto prepare = [matchCase](QByteArrayView t) {
        QByteArray p = RemoverAcentos(t);
        return matchCase ? p : codepages::upperCp1252(p);
    };
    const QByteArray wanted = prepare(text);
    const PageStore* st = store();
    if (!st || st->empty()) {
        return false;
    }
    const int count = int(std::min<qsizetype>(st->size(), INT_MAX));
    const int step = direction == SearchDirection::Down ? 1 : -1;
    // A search that continues past the end in its own direction finds nothing more (clamping
    // it back would find the last match again, and "find next" would never end).
    if ((step > 0 && start >= count) || (step < 0 && start < 0)) {
        return false;
    }
    start = std::clamp(start, 0, count - 1);
    for (int i = start; i >= 0 && i < count; i += step) {
        const QByteArrayView item = st->item(i);
        if (item.size() <= 13 || item[13] != 'T') {
            continue;
        }
        const QByteArrayView raw = item.size() > 20 ? item.sliced(20) : QByteArrayView();
        if (!prepare(raw).contains(wanted)) {
            continue;
        }
        QByteArray highlight = item.toByteArray();
        highlight[13] = 'M';
        s.destaque = highlight;
        int p = 0, l = 0, c = 0;
        fieldNumber(item, 0, 4, p);
        fieldNumber(item, 4, 3, l);
        fieldNumber(item, 7, 3, c);
        page = p;
        line = l + 1;
        column = c + int(raw.size());
        start = i + step;
        return true;
    }
    return false;
}

} // namespace zr::textreport
