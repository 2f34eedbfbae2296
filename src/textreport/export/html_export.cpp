// HTML export: one web page that draws every report page as a framed box with a navigation
// bar, and places each text run at its line and column with absolute positions.

#include "textreport/gravana.h"

#include "platform/files/atomic_file.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "textreport/gvtools.h"
#include "textreport/io/file_message.h"

namespace zr::textreport {

namespace {

// The address written in the page's header comment; the comment is 63 characters wide.
constexpr char kMakerAddress[] = "www.morvane.info.br";

QByteArray num(qint64 n) { return QByteArray::number(n); }

QByteArray twoDigits(int n) { return QByteArray::number(n).rightJustified(2, '0'); }

struct Layout {
    int pitch = 10; // default pitch P
    int cw = 10;    // column width in pixels
    int lh = 17;    // line height in pixels
    qint64 pw = 0;  // page box width
    qint64 ph = 0;  // page box height
};

Layout layoutFor(TSize size, TLinha spacing, int columns, int lines) {
    Layout l;
    switch (size) {
    case TSize::S05cpp:
        l.pitch = 5;
        l.cw = 5;
        break;
    case TSize::S10cpp:
        l.pitch = 10;
        l.cw = 10;
        break;
    case TSize::S12cpp:
        l.pitch = 12;
        l.cw = 8;
        break;
    case TSize::S17cpp:
        l.pitch = 17;
        l.cw = 6;
        break;
    case TSize::S20cpp:
        l.pitch = 20;
        l.cw = 5;
        break;
    }
    l.lh = spacing == TLinha::Seis ? 17 : 13;
    l.pw = qint64(l.cw) * (columns + 5);
    l.ph = qint64(l.lh) * (lines + 3);
    return l;
}

QByteArray divRuleStart(int pitch) {
    switch (pitch) {
    case 5:
        return "div {font-family:Courier New;font-size:16px;Letter-spacing:10px;";
    case 12:
        return "div {font-family:Courier New;font-size:16px;Letter-spacing:-2px;";
    case 17:
        return "div {font-family:Courier New;font-size:11px;Letter-spacing:-1px;";
    case 20:
        return "div {font-family:Courier New;font-size:11px;Letter-spacing:-2px;";
    default:
        return "div {font-family:Courier New;font-size:16px;";
    }
}

} // namespace

Outcome TGravana::GravarHTML(QString fileName) {
    if (fileName.isEmpty()) {
        fileName = QStringLiteral("Gravana.HTM");
    }
    if (OnSave) {
        OnSave(*this, fileName);
    }
    if (fileName.isEmpty()) {
        return Outcome::cancellation(); // the hook took the name away
    }
    const Layout L =
        layoutFor(FonteTamanhoPadrao, TamanhoQteLPP, TamanhoQteColunas, TamanhoQteLinhas);
    const QByteArray paper = CorParaHex(OpcoesPreview.CorPapelPreview);
    const QByteArray ink = CorParaHex(OpcoesPreview.CorLetraPreview);

    static const PageStore kEmpty;
    const PageStore& st = store() ? *store() : kEmpty;
    CancelRequest::clear();
    auto progress =
        m_ui.beginProgress(progressInfo(QStringLiteral("Gerando HTML..."), fileName, st.size()));

    QByteArray out;
    auto line = [&out](const QByteArray& text) {
        out += text;
        out += "\r\n";
    };
    const QByteArray rule = "<!-- ////////////////////////////////////////////////////// -->";
    line("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">");
    line(rule);
    line(QByteArray("<!-- //   Gerado com Gravana 5.0 - ") + kMakerAddress + "   // -->");
    line(rule);
    line("<html>");
    line("<head>");
    line("<title>" + codepages::toCp1252(fileName) + "</title>");
    line("<style type=\"text/css\">");
    line("a:link,a:visited {font-weight:bold;width:100px;text-align:center;padding:0px;"
         "text-decoration:none;}");
    line("a:hover,a:active {background-color:#4682B4;color:#ffffff;}");
    line(".f05 {font-family:Courier New;font-size: 16px;Letter-spacing:10px}");
    line(".f10 {font-family:Courier New;font-size: 16px;Letter-spacing:0px}");
    line(".f12 {font-family:Courier New;font-size: 16px;Letter-spacing:-2px}");
    line(".f15 {font-family:Courier New;font-size: 13px;Letter-spacing:-1px}");
    line(".f17 {font-family:Courier New;font-size: 11px;Letter-spacing:-1px}");
    line(".f20 {font-family:Courier New;font-size: 11px;Letter-spacing:-2px}");
    line(".e05 {font-family:Courier New;font-size: 20px;Letter-spacing:8px}");
    line(".e10 {font-family:Courier New;font-size: 20px;Letter-spacing:8px}");
    line(".e12 {font-family:Courier New;font-size: 20px;Letter-spacing:3px}");
    line(".e15 {font-family:Courier New;font-size: 18px;Letter-spacing:3px}");
    line(".e17 {font-family:Courier New;font-size: 15px;Letter-spacing:3px}");
    line(".e20 {font-family:Courier New;font-size: 16px;Letter-spacing:0px}");
    line("body {background-color: #8B8989;}");
    line(divRuleStart(L.pitch));
    line("backround-color:#" + paper + "; color:#" + ink +
         "; position: absolute; z-index: 0; left: 0px; top: 0px }");
    line("</style>");
    line("</head>");
    line("<body>");
    line("<nobr>");
    line("<nowrap>");

    const qint64 pages = TotalPaginas();
    int lastPage = 0;
    qint64 r = 0;
    bool cancelled = false;
    for (qsizetype i = 0; i < st.size(); ++i) {
        progress->step();
        if (progress->cancelled()) {
            if (OnCancel) {
                OnCancel(*this);
            }
            cancelled = true;
            break; // the page is still finished with what was collected
        }
        const QByteArrayView raw = st.item(i);
        if (raw.size() <= 13 || raw[13] != 'T') {
            continue; // only text is placed; boxes and control codes are not
        }
        const DecodedItem& d = DecodificarItem(raw);
        if (d.pagina != lastPage) {
            const qint64 pg = d.pagina;
            r = pg == 1 ? 0 : (pg - 1) * (L.ph + 30);
            const qint64 T = r + 30;
            line("<div style=\"top:" + num(T) + ";left:30;width:" + num(L.pw) +
                 "px;Height:" + num(L.ph) + "px; background:#" + paper + "\"></div>");
            line("<div style=\"top:" + num(T) + ";left:30;width:1px;Height:" + num(L.ph) +
                 "px;background:#000000\"></div>");
            line("<div style=\"top:" + num(T) + ";left:" + num(L.pw + 29) +
                 ";width:1px;Height:" + num(L.ph) + "px;background:#000000\"></div>");
            line("<div style=\"top:" + num(T) + ";left:30;width:" + num(L.pw) +
                 "px;Height:1px;background:#000000\"><span></span></div>");
            line("<div style=\"top:" + num(T + L.ph) + ";left:30;width:" + num(L.pw) +
                 "px;Height:1px;background:#000000\"><span></span></div>");
            line("<div class=\"f10\" style=\"top:" + num(r + 34) + ";left:30;width:" +
                 num(L.pw) + "px;text-align:center\">" +
                 "<a href=\"#pagina_1\"> Primeira</a><a href=\"#pagina_" + num(pg - 1) +
                 "\">Anterior</a>" +
                 "<span style=\"font-weight:bold;font-size:16px;color:clred\">" +
                 "<a name=\"pagina_" + num(pg) + "\">&nbsp;&nbsp;&nbsp;P\xc1GINA: " + num(pg) +
                 "&nbsp;&nbsp;de&nbsp;&nbsp;" + num(pages) + "&nbsp;&nbsp;&nbsp;</a></span>" +
                 "<a href=\"#pagina_" + num(pg + 1) + "\">Pr\xf3xima</a>" +
                 "<a href=\"#pagina_" + num(pages) + "\">\xdaltima</a></div>");
            line("<div style=\"top:" + num(r + 55) + ";left:30;width:" + num(L.pw) +
                 "px;Height:2px;background:#4682B4\"><span></span></div>");
            lastPage = d.pagina;
        }

        QByteArray text = EscaparHTML(d.texto);
        if (d.negrito) {
            text = "<b>" + text + "</b>";
        }
        if (d.italico) {
            text = "<i>" + text + "</i>";
        }
        if (d.sublinhado) {
            text = "<u>" + text + "</u>";
        }
        if (text.contains("  ")) {
            text = "<pre>" + text + "</pre>";
        }
        QByteArray cls;
        if (d.pitch != L.pitch) {
            cls = d.expandido ? "class=\"e" + twoDigits(L.pitch) + "\" "
                              : "class=\"f" + twoDigits(d.pitch) + "\" ";
        }
        const qint64 top = qint64(d.linha + 1) * L.lh + r + 30;
        const qint64 left = qint64(d.coluna + 2) * L.cw + 30;
        QByteArray div = "<div " + cls + "style=\"top:" + num(top) + "px;left:" + num(left) + "px";
        if (d.corTexto != ink) {
            div += ";Color:#" + d.corTexto;
        }
        line(div + "\">" + text + "</div>");
    }
    line("</nowrap>");
    line("</nobr>");
    line("</body>");
    line("</html>");

    AtomicFile file(fileName);
    const bool ok = file.open() && file.write(out) && file.commit();
    progress.reset();
    if (!ok) {
        m_ui.message(MessageKind::Error,
                     fileMessage(QStringLiteral("Erro na gravação do arquivo..."), fileName,
                                 file.errorString()));
        return Outcome::failure(file.error());
    }
    return cancelled ? Outcome::cancellation() : Outcome::success();
}

} // namespace zr::textreport
