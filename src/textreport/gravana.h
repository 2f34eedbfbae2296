#pragma once

// The text report component: one character-grid report at a time in a sorted page store,
// loaded from and saved to .GVP files, printed, previewed and exported.

#include "platform/interaction/interaction.h"
#include "platform/interaction/outcome.h"
#include "platform/printing/print_output.h"
#include "textreport/model/page_store.h"
#include "textreport/printing/sequences.h"
#include "textreport/types.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QPicture;

namespace zr {
class Interaction;
class Progress;
}

namespace zr::textreport {

class TGravana;

// Job options of the open report (copies, collation, order, page range, odd/even filter).
struct JobOptions {
    int copias = 1;
    bool agrupar = true;  // collate
    bool inverter = false; // reverse order
    QByteArray faixa;      // page selection text (PageSelection), empty for all pages
    int parImpar = 0;      // 0 all pages, 1 odd only, 2 even only
};

// The report state. It is held once per process, not per component: the program works on one
// text report at a time. ReportState::current() is the one instance; tests swap in a fresh one
// with ReportState::ScopedOverride.
struct ReportState {
    bool aberto = false;        // a report is open
    bool abortado = false;      // Abortar was called
    bool previewAtivo = false;  // the preview window is showing
    std::unique_ptr<PageStore> store; // exists while a report is open
    QByteArray destaque;        // highlight item (kind "M"), empty when none
    int paginaAtual = 1;        // current page
    bool paginaPendente = false; // OnBeforeNewPage not yet raised
    JobOptions job;
    SequenceSet sequencias;

    static ReportState& current();

    class ScopedOverride {
    public:
        ScopedOverride();
        ~ScopedOverride();
        ScopedOverride(const ScopedOverride&) = delete;
        ScopedOverride& operator=(const ScopedOverride&) = delete;

    private:
        ReportState* m_previous;
        std::unique_ptr<ReportState> m_state;
    };
};

// The fields of one decoded item. They stay the decoder's current values until the next item
// is decoded; a field that fails to decode leaves it and the fields after it unchanged.
struct DecodedItem {
    int pagina = 0;
    int linha = 0;
    int coluna = 0;
    int atributo = 0;
    int pitch = 10; // 5, 10, 12, 15, 17 or 20
    bool negrito = false;
    bool italico = false;
    bool sublinhado = false;
    bool expandido = false;
    char tipo = 0; // 'T', 'B', 'C' or 'M'
    QByteArray corTexto; // the six colour characters as written
    QColor cor = Qt::black;
    QByteArray texto; // after macro expansion
};

enum class SearchDirection { Down, Up };

// How LerRelatorio ended (the component itself reports every problem to the user).
enum class LoadResult {
    Loaded,       // the file is in the store
    CountWarning, // loaded, but the item count differs from the control record
    Cancelled,    // the user cancelled; the store holds what was read
    Failed,       // not loaded: no name, unreadable, or not a saved text report
};

class TGravana {
public:
    // `ui` must outlive the component; it shows every message, question and progress.
    explicit TGravana(Interaction& ui);
    ~TGravana();
    TGravana(const TGravana&) = delete;
    TGravana& operator=(const TGravana&) = delete;

    // ---- Published properties, with the component's own defaults.
    TCustom ImpressoraPersonalizada;
    TPreviewOptions OpcoesPreview;
    TMargens Margens;
    TAutor Autor = TAutor::Morvane;
    TAcento Acentuacao = TAcento::Transliterate;
    QString CaptionSetup = QStringLiteral("Gravana Setup");
    QByteArray TitulodoRelatorio = "Gerado por Gravana"; // code page 1252
    bool UsaGerenciadorImpr = true;
    QColor CorForm = QColor(0xF0, 0xF0, 0xF0); // button face
    QColor CorFonte = Qt::black;
    TModelo Impressora = TModelo::Epson;
    QStringList Mapeamento = defaultMapping();
    QString PortaComunicacao;
    bool MostrarProgresso = true;
    int TamanhoQteLinhas = 66;
    int TamanhoQteColunas = 80;
    TLinha TamanhoQteLPP = TLinha::Seis;
    int NumerodeCopias = 1;
    TSize FonteTamanhoPadrao = TSize::S10cpp;
    TStyle FonteEstiloPadrao;
    TOrientacao Orientacao = TOrientacao::poPortrait;

    // ---- Events (all optional).
    std::function<void(TGravana&, const QString& mensagem)> OnErro;
    std::function<void(TGravana&, int pagina)> OnNewPage;
    std::function<void(TGravana&, int pagina)> OnBeforeNewPage;
    std::function<void(TGravana&, bool& continuar)> OnBeforePrint;
    std::function<void(TGravana&)> OnAfterPrint;
    std::function<void(TGravana&)> OnCancel;
    std::function<void(TGravana&, QString& arquivo)> OnSave;
    std::function<void(TGravana&, QString& arquivo)> OnLoad;
    std::function<void(TGravana&)> OnPreview;
    std::function<void(TGravana&)> OnSendMail;

    // ---- Hooks filled in by the layers above the engine: the preview window (Visualizar), the
    // print spooler for raw jobs (Imprimir with UsaGerenciadorImpr) and the system printer for
    // graphic printing (the Grafico model). An unset spooler or printer fails the job with the
    // message of a printer that cannot be opened.
    std::function<void(TGravana&)> previewHook;
    // The print setup dialog: shows the choices, and on OK writes them into the component and
    // the job options (printer port, model, range, odd/even, collation, order, preview, copies)
    // and returns true.
    std::function<bool(TGravana&)> setupHook;
    std::function<std::unique_ptr<zr::RawOutput>(const QByteArray& documentName, QString& error)>
        spoolerHook;
    zr::GraphicPrinter* impressoraGrafica = nullptr;

    // The author written into PDF files (a configurable organisation name).
    QString AutorPDF = QStringLiteral("ZeralVisualizador");

    // How GerarPDF protects or archives the file: passwords (either one encrypts, with RC4 of
    // 128 bits or AES-256), or an archival PDF/A-2a file (never encrypted: with a password too,
    // GerarPDF reports an error and writes nothing); and an accessible PDF/UA-1 file.
    struct PdfFileOptions {
        QString userPassword;
        QString ownerPassword;
        bool aes256 = false;
        int permissions = -4; // the P value of an encrypted file (-4: everything allowed)
        bool archival = false;
        bool universal = false;
    };
    PdfFileOptions OpcoesPDF;

    // ---- Life cycle.
    bool Abrir();
    bool Fechar();
    bool Abortar();

    // ---- The .GVP file.
    LoadResult LerRelatorio(QString fileName);
    // LerRelatorio into a fresh store, for a window that shows a report while the user picks
    // another: the open report is replaced only when the file loads. When it does not (Failed,
    // or a failure thrown), the store, the report's title, size, spacing, pitch and style and
    // the version read are those of before.
    LoadResult SubstituirRelatorio(QString fileName);
    // GravarRelatorio, the print job and the exports show their failures through the
    // Interaction and return what they came to: Failed with the error number of the call of the
    // system that failed, when one did; Cancelled when the user stopped the work or a hook
    // declined it (a cancelled save keeps the old file, a cancelled export what it wrote).
    zr::Outcome GravarRelatorio(QString fileName);

    // ---- Preview and print setup (through the hooks above). Setup returns true when the user
    // confirmed; cancelling outside the preview abandons the report.
    void Visualizar();
    bool Setup();

    // ---- The print job. With an empty file name a real job (events, spooler or port);
    // with a file name (from GravarPRN) the same bytes go to that file.
    zr::Outcome Imprimir(const QString& fileName);
    zr::Outcome IniciarTrabalho(const QString& fileName);
    bool EnviarBytes(QByteArrayView bytes);
    zr::Outcome EncerrarTrabalho();
    // The print system's number of the job the last print went to; 0 when it went to a port
    // or a file, failed, or the print system gave none.
    int lastJobId() const { return m_lastJobId; }
    void ImprimirPaginaTexto(int page);
    void ImprimirPaginaGrafica(int page);

    // ---- Graphic rendering: draws a page into a picture sized for the mode (print: plain white;
    // preview: paper, frame, tractor feed, zebra, highlight) and returns its size in picture
    // units. drawPage does the same on any painter (its device already sized).
    QSize DesenharPagina(int page, QPicture& picture, bool preview);
    void drawPage(int page, QPainter& painter, bool preview);
    // The page's text as a reader takes it: its grid lines from the first to the last that holds
    // text, in order, with the items' columns kept as blanks, accents kept, and the box-drawing
    // lines left out (blanks). Lines end with '\n'.
    QString TextoDaPagina(int page);

    // ---- Exports.
    zr::Outcome GravarPRN(QString fileName);
    zr::Outcome GravarTXT(QString fileName);
    zr::Outcome GravarHTML(QString fileName);
    zr::Outcome GerarPDF(QString fileName);

    // The range [first, last) of store indices holding the items of a page, in store order.
    std::pair<qsizetype, qsizetype> itensDaPagina(int page) const;

    // ---- Printer models.
    void MontarSequencias(TModelo modelo, int linhas, TLinha espacamento);
    void ModeloPorNome(const QString& printerName);
    QByteArray ConverterAcentos(QByteArrayView text) const;

    // ---- Reading the store.
    int TotalPaginas() const;
    const DecodedItem& DecodificarItem(QByteArrayView item);
    const DecodedItem& itemAtual() const { return m_item; }
    QByteArray ExpandirMacros(QByteArrayView text) const;
    bool Procurar(SearchDirection direction, bool matchCase, int& start, int& column, int& line,
                  int& page, QByteArrayView text);

    // The default attribute code of the current pitch and style.
    int atributoPadrao() const;

    // The report state (process-wide) and the open report's store (null when closed).
    ReportState& state() const { return ReportState::current(); }
    PageStore* store() const { return state().store.get(); }

    Interaction& ui() const { return m_ui; }

    // The clock used by the time and date macros (tests fix it).
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // Reports a message by the error rule: to OnErro when set, else an error message box.
    void reportError(const QString& mensagem);

    // The file version (3, 4 or 5) of the last file read, 0 before any.
    int versaoLida() const { return m_versionRead; }

private:
    void raiseBeforeNewPageIfPending();
    // What a long job's progress display shows, in the component's window colours.
    ProgressInfo progressInfo(const QString& caption, const QString& label, qint64 maximum) const;
    // Prints `pages` (from 1, in printing order), each collated copy in turn or each page as many
    // times as there are copies.
    void printPages(const std::vector<int>& pages, Progress& progress);
    // True once the user asked to cancel the running job; raises OnCancel the first time.
    bool cancelRequested();

    std::unique_ptr<zr::RawOutput> m_output; // the open text-mode job's output
    bool m_graphicPageStarted = false;
    bool m_cancelRaised = false;
    bool m_outputIsPort = false; // the open job writes to a port or file, not the spooler
    int m_lastJobId = 0;

    Interaction& m_ui;
    DecodedItem m_item;
    int m_versionRead = 0;
};

} // namespace zr::textreport
