// The print job: the pages of the open report, in the order and number the job options ask
// for, sent either as bytes in the printer's control language (to a port, a file or the
// spooler) or drawn on the system printer in graphic mode.

#include "textreport/gravana.h"

#include "platform/files/display_path.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "textreport/gvtools.h"
#include "textreport/printing/port_output.h"

namespace zr::textreport {

namespace {

// The component's own words, then the system's reason for the error number on a line of its
// own, as for every other file the component cannot write.
QString ioError(int error, const QString& port) {
    QString text = QStringLiteral("Erro #03 - I/O %1 %2").arg(error).arg(displayPath(port));
    if (error != 0) {
        text += QLatin1Char('\r') + systemReason(error);
    }
    return text;
}

// A job the print system did not take whole: its own words for why, else its status code.
QString notReceived(const QString& what, int error, const QString& reason) {
    return QStringLiteral("A impressora do sistema não recebeu %1 (%2).")
        .arg(what, reason.isEmpty() ? QStringLiteral("código %1").arg(error) : reason);
}

} // namespace

Outcome TGravana::Imprimir(const QString& fileName) {
    ReportState& s = state();
    if (fileName.isEmpty() && OnBeforePrint) {
        bool continuar = true;
        OnBeforePrint(*this, continuar);
        if (!continuar) {
            return Outcome::cancellation();
        }
    }
    s.abortado = false;
    CancelRequest::clear();
    m_graphicPageStarted = false;
    m_cancelRaised = false;

    // A range that is none, or leaves no page, starts no job.
    QString rangeError;
    const std::optional<std::vector<int>> chosen =
        PageSelection::select(QString::fromLatin1(s.job.faixa), TotalPaginas(),
                              s.job.parImpar == 1   ? PageSelection::Parity::Odd
                              : s.job.parImpar == 2 ? PageSelection::Parity::Even
                                                    : PageSelection::Parity::All,
                              s.job.inverter, &rangeError);
    if (!chosen) {
        m_ui.message(MessageKind::Error, rangeError);
        return Outcome::failure();
    }
    const std::vector<int>& pages = *chosen;
    if (const Outcome begun = IniciarTrabalho(fileName); !begun.done()) {
        return begun;
    }
    const int copies = std::max(1, s.job.copias);

    std::unique_ptr<Progress> progress;
    if (MostrarProgresso) {
        progress = m_ui.beginProgress(progressInfo(
            fileName.isEmpty() ? QStringLiteral("Imprimindo...") : QStringLiteral("Gravando..."),
            codepages::fromCp1252(TitulodoRelatorio), qint64(pages.size()) * copies));
    } else {
        progress = std::make_unique<SilentProgress>();
    }
    printPages(pages, *progress);
    progress.reset();
    // A job stopped half-way still ends: what it sent is kept.
    const bool stopped = CancelRequest::isSet() || s.abortado;

    const Outcome ended = EncerrarTrabalho();
    if (fileName.isEmpty() && OnAfterPrint) {
        OnAfterPrint(*this);
    }
    return !ended.done() ? ended : stopped ? Outcome::cancellation() : Outcome::success();
}

bool TGravana::cancelRequested() {
    if (!CancelRequest::isSet()) {
        return false;
    }
    if (!m_cancelRaised) {
        m_cancelRaised = true;
        if (OnCancel) {
            OnCancel(*this);
        }
    }
    return true;
}

void TGravana::printPages(const std::vector<int>& pages, Progress& progress) {
    const ReportState& s = state();
    const int copies = std::max(1, s.job.copias);
    const int passes = s.job.agrupar ? copies : 1;
    const int perPage = s.job.agrupar ? 1 : copies;
    for (int pass = 0; pass < passes; ++pass) {
        for (const int p : pages) {
            for (int c = 0; c < perPage; ++c) {
                if (Impressora == TModelo::Grafico) {
                    if (m_graphicPageStarted && impressoraGrafica) {
                        impressoraGrafica->newPage();
                    }
                    ImprimirPaginaGrafica(p);
                } else {
                    ImprimirPaginaTexto(p);
                }
                progress.step();
                if (cancelRequested() || s.abortado) {
                    return;
                }
            }
        }
        if (cancelRequested() || s.abortado) {
            return;
        }
    }
}

Outcome TGravana::IniciarTrabalho(const QString& fileName) {
    ReportState& s = state();
    m_lastJobId = 0;
    if (Impressora == TModelo::Grafico && fileName.isEmpty()) {
        if (!impressoraGrafica ||
            !impressoraGrafica->beginDocument(codepages::fromCp1252(TitulodoRelatorio),
                                              Orientacao == TOrientacao::poLandscape)) {
            m_ui.message(MessageKind::Error,
                         QStringLiteral("Erro - a impressora do sistema não está disponível."));
            return Outcome::failure();
        }
        return Outcome::success();
    }

    const bool toPort = !fileName.isEmpty() || !UsaGerenciadorImpr;
    m_outputIsPort = toPort;
    if (toPort) {
        // A file name given to the job (GravarPRN) is the port; otherwise PortaComunicacao.
        const QString port = fileName.isEmpty() ? PortaComunicacao : fileName;
        int error = 0;
        m_output = PortOutput::open(port, error);
        if (!m_output) {
            reportError(ioError(error, PortaComunicacao));
            return Outcome::failure(error);
        }
    } else {
        QString error;
        if (spoolerHook) {
            m_output = spoolerHook(TitulodoRelatorio, error);
        }
        if (!m_output) {
            m_ui.message(MessageKind::Error, error.isEmpty()
                                                 ? QStringLiteral("Nenhuma impressora do sistema.")
                                                 : error);
            return Outcome::failure();
        }
    }

    const SequenceSet& q = s.sequencias;
    EnviarBytes(q.espacamento + q.tamanhoPagina + q.reset + q.prefixoPadrao);
    if (const int error = toPort ? m_output->error() : 0; error != 0) {
        reportError(ioError(error, PortaComunicacao));
        m_output.reset(); // a file begun is dropped; an older one stays as it was
        return Outcome::failure(error);
    }
    return Outcome::success();
}

bool TGravana::EnviarBytes(QByteArrayView bytes) {
    if (!m_output) {
        return false;
    }
    return bytes.isEmpty() || m_output->write(bytes);
}

Outcome TGravana::EncerrarTrabalho() {
    if (Impressora == TModelo::Grafico && !m_output) {
        if (impressoraGrafica) {
            impressoraGrafica->endDocument();
            // A document the print system did not take is not a printed job.
            if (const int error = impressoraGrafica->error(); error != 0) {
                m_ui.message(MessageKind::Error, notReceived(QStringLiteral("o documento"), error,
                                                             impressoraGrafica->reason()));
                return Outcome::failure(); // a status of the print system, not of a call
            }
            m_lastJobId = impressoraGrafica->jobId();
        }
        return Outcome::success();
    }
    if (!m_output) {
        return Outcome::success();
    }
    EnviarBytes(state().sequencias.inicializar);
    const bool ok = m_output->finish();
    const int error = m_output->error();
    const QString reason = m_output->reason();
    const int job = m_output->jobId();
    m_output.reset();
    if (ok) {
        m_lastJobId = job;
        return Outcome::success();
    }
    if (m_outputIsPort) {
        reportError(ioError(error, PortaComunicacao));
        return Outcome::failure(error);
    }
    // The spooler's job failed: the port has nothing to do with it (and its number may be a
    // status of the print system).
    m_ui.message(MessageKind::Error, notReceived(QStringLiteral("o trabalho"), error, reason));
    return Outcome::failure();
}

void TGravana::ImprimirPaginaTexto(int page) {
    ReportState& s = state();
    if (cancelRequested()) {
        return;
    }
    const auto [first, last] = itensDaPagina(page);
    const SequenceSet& q = s.sequencias;

    int line = 1;
    int column = 1;
    QByteArray buffer;
    for (qsizetype i = first; i < last; ++i) {
        if (cancelRequested()) {
            return; // the page ends without its page feed
        }
        const DecodedItem& d = DecodificarItem(store()->item(i));
        QByteArray text = ConverterAcentos(d.texto);
        if (d.tipo == 'C') {
            text = CodigosParaBytes(text);
        } else if (d.tipo == 'B') {
            text = ConverterBox(text);
        }

        while (line < d.linha) {
            if (s.abortado) {
                return;
            }
            buffer += "\n\r";
            ++line;
            column = 1;
        }
        if (column < d.coluna) {
            buffer.append(d.coluna - column, ' ');
            column = d.coluna;
        }
        while (column > d.coluna) {
            buffer += '\b';
            --column;
        }

        QByteArray styles;
        int pitch = q.pitchPadrao;
        if (d.atributo != q.atributoPadrao) {
            int a = d.atributo;
            const struct {
                int value;
                const QByteArray* sequence;
                int pitch;
            } steps[] = {{128, &q.comprimir20, 20}, {64, &q.comprimir17, 17},
                         {32, &q.comprimir12, 12},  {16, &q.normal10, 10},
                         {8, &q.expandido, 5},      {4, &q.sublinhado, 0},
                         {2, &q.negrito, 0},        {1, &q.italico, 0}};
            for (const auto& step : steps) {
                if (a >= step.value) {
                    a -= step.value;
                    styles += *step.sequence;
                    if (step.pitch != 0) {
                        pitch = step.pitch;
                    }
                }
            }
        }
        if (pitch != q.pitchPadrao) {
            // Text in another pitch does not take the columns of the grid: the head returns to
            // where the text began.
            text.append(text.size(), '\b');
        } else if (d.tipo != 'C') {
            column += int(text.size());
        }

        if (styles.isEmpty()) {
            buffer += text;
        } else {
            buffer += styles + text + q.reset + q.prefixoPadrao;
        }
        if (s.abortado) {
            return;
        }
        EnviarBytes(buffer);
        buffer.clear();
    }
    if (!s.abortado) {
        EnviarBytes(q.saltoPagina);
    }
}

Outcome TGravana::GravarPRN(QString fileName) {
    if (Impressora == TModelo::Grafico) {
        m_ui.message(MessageKind::Error,
                     QStringLiteral("O modelo de impressora Gráfico imprime pela impressora do "
                                    "sistema e não pode ser gravado em arquivo.\r\rEscolha outro "
                                    "modelo para gerar o arquivo .PRN."));
        return Outcome::failure();
    }
    if (fileName.isEmpty()) {
        fileName = QStringLiteral("Gravana.PRN");
    }
    raiseBeforeNewPageIfPending();
    if (OnSave) {
        OnSave(*this, fileName);
    }
    if (fileName.isEmpty()) {
        return Outcome::cancellation(); // the hook took the name away
    }
    const QString port = PortaComunicacao;
    PortaComunicacao = fileName;
    state().paginaAtual = 1;
    const Outcome outcome = Imprimir(fileName);
    PortaComunicacao = port;
    return outcome;
}

} // namespace zr::textreport
