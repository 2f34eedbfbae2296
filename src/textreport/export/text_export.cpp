// Plain-text export: the report laid out on its character grid, one text line per report line,
// every page padded to its full length except the last, no page feed characters.

#include "textreport/gravana.h"

#include "platform/files/atomic_file.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "textreport/gvtools.h"
#include "textreport/io/file_message.h"

namespace zr::textreport {

Outcome TGravana::GravarTXT(QString fileName) {
    if (fileName.isEmpty()) {
        fileName = QStringLiteral("Gravana.TXT");
    }
    raiseBeforeNewPageIfPending();
    if (OnSave) {
        OnSave(*this, fileName);
    }
    if (fileName.isEmpty()) {
        return Outcome::cancellation(); // the hook took the name away
    }
    AtomicFile file(fileName);
    if (!file.open()) {
        m_ui.message(MessageKind::Error,
                     fileMessage(QStringLiteral("Erro na Abertura do arquivo..."), fileName,
                                 file.errorString()));
        return Outcome::failure(file.error());
    }
    static const PageStore kEmpty;
    const PageStore& st = store() ? *store() : kEmpty;
    CancelRequest::clear();
    auto progress =
        m_ui.beginProgress(progressInfo(QStringLiteral("Gravando..."), fileName, st.size()));

    int page = 1;
    int line = 1;
    QByteArray buffer;
    bool cancelled = false;
    auto writeLine = [&file](QByteArrayView text) {
        file.write(text);
        file.write("\r\n");
    };
    for (qsizetype i = 0; i < st.size(); ++i) {
        progress->step();
        if (progress->cancelled()) {
            if (OnCancel) {
                OnCancel(*this);
            }
            cancelled = true;
            break; // the file keeps the lines written so far
        }
        const DecodedItem& d = DecodificarItem(st.item(i));
        QByteArray text;
        if (d.tipo == 'B') {
            text = ConverterBox(d.texto);
        } else if (d.tipo != 'C') {
            text = ConverterAcentos(d.texto);
        }
        if (d.pagina != page) {
            writeLine(buffer);
            for (int l = line + 1; l <= TamanhoQteLinhas; ++l) {
                writeLine({});
            }
            page = d.pagina;
            line = 1;
            buffer.clear();
        }
        if (d.linha != line) {
            writeLine(buffer);
            for (int l = line + 1; l < d.linha; ++l) {
                writeLine({});
            }
            line = d.linha;
            buffer.clear();
        }
        // A later item overwrites the rest of the line from its column on.
        const qsizetype at = std::max(0, d.coluna - 1);
        if (buffer.size() < at) {
            buffer.append(at - buffer.size(), ' ');
        } else {
            buffer.truncate(at);
        }
        buffer += text;
    }
    writeLine(buffer);
    progress.reset();
    if (!file.commit()) {
        m_ui.message(MessageKind::Error,
                     fileMessage(QStringLiteral("Erro na gravação do arquivo..."), fileName,
                                 file.errorString()));
        return Outcome::failure(file.error());
    }
    return cancelled ? Outcome::cancellation() : Outcome::success();
}

} // namespace zr::textreport
