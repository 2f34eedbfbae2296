#include "gvp_file.h"

#include "platform/files/atomic_file.h"
#include "platform/files/display_path.h"
#include "platform/interaction/cancel_request.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "textreport/gravana.h"
#include "textreport/io/file_message.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

namespace zr::textreport {

namespace gvp {

int versionOfMarker(QByteArrayView line) {
    if (line == QByteArrayView(kMarkerV5)) {
        return 5;
    }
    if (line == QByteArrayView(kMarkerV4)) {
        return 4;
    }
    if (line == QByteArrayView(kMarkerV3)) {
        return 3;
    }
    return 0;
}

bool parseNumber(QByteArrayView text, int& out) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size()) {
        return false;
    }
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1) {
            return false;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
        return false;
    }
    out = int(value);
    return true;
}

std::optional<TSize> pitchFromCode(QByteArrayView code) {
    if (code == "F05") {
        return TSize::S05cpp;
    }
    if (code == "F10") {
        return TSize::S10cpp;
    }
    if (code == "F12") {
        return TSize::S12cpp;
    }
    if (code == "F17") {
        return TSize::S17cpp;
    }
    if (code == "F20") {
        return TSize::S20cpp;
    }
    return std::nullopt;
}

QByteArray pitchCode(TSize size) {
    switch (size) {
    case TSize::S05cpp:
        return "F05";
    case TSize::S10cpp:
        return "F10";
    case TSize::S12cpp:
        return "F12";
    case TSize::S17cpp:
        return "F17";
    case TSize::S20cpp:
        return "F20";
    }
    return "F10";
}

TStyle styleFromLetters(QByteArrayView letters) {
    TStyle s;
    s.Snegrito = letters.contains('N');
    s.Sitalico = letters.contains('I');
    s.Ssublinhado = letters.contains('S');
    return s;
}

QByteArray styleLetters(const TStyle& style) {
    QByteArray out;
    if (style.Snegrito) {
        out += 'N';
    }
    if (style.Sitalico) {
        out += 'I';
    }
    if (style.Ssublinhado) {
        out += 'S';
    }
    return out;
}

QByteArray convertV3Item(QByteArrayView line) {
    QByteArray out;
    out.reserve(line.size() + 6);
    out.append(line.first(std::min<qsizetype>(14, line.size())));
    out.append("000000");
    if (line.size() > 14) {
        out.append(line.sliced(14));
    }
    return out;
}

QByteArray sixDigits(qint64 n) {
    QByteArray digits = QByteArray::number(n < 0 ? -n : n);
    if (digits.size() < 6) {
        digits.prepend(QByteArray(6 - digits.size(), '0'));
    }
    return n < 0 ? "-" + digits : digits;
}

bool LineReader::next(QByteArrayView& line, qsizetype& offset) {
    if (m_pos >= m_buffer.size()) {
        return false;
    }
    const char* begin = m_buffer.data() + m_pos;
    const qsizetype left = m_buffer.size() - m_pos;
    const void* lf = std::memchr(begin, '\n', size_t(left));
    qsizetype length = lf ? static_cast<const char*>(lf) - begin : left;
    offset = m_pos;
    m_pos += lf ? length + 1 : length;
    if (lf && length > 0 && begin[length - 1] == '\r') {
        --length;
    }
    line = QByteArrayView(begin, length);
    return true;
}

} // namespace gvp

namespace {

// The largest file read: a report beyond this is refused rather than exhausting memory.
constexpr qint64 kMaxFileSize = qint64(4) << 30;

enum class ReadStatus { Ok, CannotOpen, TooLarge };

// `reason` takes the system's words when the file cannot be opened.
ReadStatus readWholeFile(const QString& name, QByteArray& out, QString& reason) {
    if (QFileInfo(name).isDir()) {
        reason = QString::fromLocal8Bit(std::strerror(EISDIR));
        return ReadStatus::CannotOpen;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return ReadStatus::CannotOpen;
    }
    try {
        const qint64 size = file.size();
        if (size > kMaxFileSize) {
            return ReadStatus::TooLarge;
        }
        if (!file.isSequential() && size > 0) {
            out = QByteArray(size, Qt::Uninitialized); // exactly the file's size
            qint64 got = 0;
            while (got < size) {
                const qint64 n = file.read(out.data() + got, size - got);
                if (n <= 0) {
                    break;
                }
                got += n;
            }
            out.resize(got);
        }
        // Devices and pipes (and files that grew meanwhile) are read to their end in chunks.
        char chunk[65536];
        for (;;) {
            const qint64 n = file.read(chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            if (out.size() + n > kMaxFileSize) {
                return ReadStatus::TooLarge;
            }
            out.append(chunk, n);
        }
    } catch (const std::bad_alloc&) {
        out = QByteArray();
        return ReadStatus::TooLarge;
    }
    return ReadStatus::Ok;
}

QString formatInvalid() { return QStringLiteral("Formato do arquivo é inválido..."); }

} // namespace

LoadResult TGravana::LerRelatorio(QString fileName) {
    if (OnLoad) {
        OnLoad(*this, fileName);
    }
    if (fileName.isEmpty()) {
        return LoadResult::Failed;
    }

    QByteArray buffer;
    QString reason;
    const ReadStatus status = readWholeFile(fileName, buffer, reason);
    if (status == ReadStatus::CannotOpen) {
        m_ui.message(
            MessageKind::Error,
            fileMessage(QStringLiteral("Erro na Abertura do arquivo..."), fileName, reason));
        return LoadResult::Failed;
    }
    if (status == ReadStatus::TooLarge) {
        m_ui.message(MessageKind::Error, formatInvalid());
        return LoadResult::Failed;
    }

    gvp::LineReader reader(buffer);
    QByteArrayView line;
    qsizetype offset = 0;

    // Control record. Each value is stored as soon as it is read, so a record that breaks off
    // leaves the values before the break in place.
    const int version = reader.next(line, offset) ? gvp::versionOfMarker(line) : 0;
    if (version == 0) {
        m_ui.message(MessageKind::Error, formatInvalid());
        return LoadResult::Failed;
    }
    int expected = 0;
    int number = 0;
    bool ok = reader.next(line, offset); // line 2 is not checked
    ok = ok && reader.next(line, offset) && gvp::parseNumber(line, expected);
    if (ok && (ok = reader.next(line, offset))) {
        TitulodoRelatorio = line.toByteArray();
    }
    // Pages and columns are bounded by what an item can address (three digits each): a
    // control record outside 1..999 is not one this program wrote.
    if (ok && (ok = reader.next(line, offset) && gvp::parseNumber(line, number) && number >= 1 &&
                    number <= 999)) {
        TamanhoQteLinhas = number;
    }
    if (ok && (ok = reader.next(line, offset) && gvp::parseNumber(line, number) && number >= 1 &&
                    number <= 999)) {
        TamanhoQteColunas = number;
    }
    if (ok && (ok = reader.next(line, offset))) {
        TamanhoQteLPP = line == "6" ? TLinha::Seis : TLinha::Oito;
    }
    if (ok && (ok = reader.next(line, offset))) {
        if (const auto pitch = gvp::pitchFromCode(line)) {
            FonteTamanhoPadrao = *pitch;
        }
    }
    if (ok && (ok = reader.next(line, offset))) {
        FonteEstiloPadrao = gvp::styleFromLetters(line);
    }
    if (!ok) {
        m_ui.message(MessageKind::Error, formatInvalid());
        return LoadResult::Failed;
    }
    m_versionRead = version;

    ReportState& s = state();
    if (!s.store) {
        s.store = std::make_unique<PageStore>();
    }
    PageStore& st = *s.store;
    st.clear();

    CancelRequest::clear();
    const auto progress =
        m_ui.beginProgress(
        progressInfo(QStringLiteral("Lendo..."), fileName, qint64(std::max(expected, 0))));

    // Version 3 items get their colour field, so they are copied in; later versions' items stay
    // where they are in the file's bytes and the store only records where. Moving the buffer
    // keeps its bytes in place, so the reader's view stays valid.
    if (version != 3) {
        st.adoptBuffer(std::move(buffer));
    }
    bool cancelled = false;
    bool tooLong = false;
    while (reader.next(line, offset) && !line.isEmpty()) {
        const bool added = version == 3 ? st.appendUnsorted(gvp::convertV3Item(line))
                                        : st.appendSpan(offset, line.size());
        if (!added) {
            tooLong = true;
            break;
        }
        progress->step();
        if (progress->cancelled()) {
            cancelled = true;
            break;
        }
    }
    st.sort();
    if (cancelled && OnCancel) {
        OnCancel(*this);
    }
    if (tooLong) {
        st.clear();
        m_ui.message(MessageKind::Error, formatInvalid());
        return LoadResult::Failed;
    }

    LoadResult result = cancelled ? LoadResult::Cancelled : LoadResult::Loaded;
    if (st.size() != expected) {
        m_ui.message(MessageKind::Warning,
                     QStringLiteral("Gravana: Erro no controle, relatório pode causar erro"));
        if (result == LoadResult::Loaded) {
            result = LoadResult::CountWarning;
        }
    }
    MontarSequencias(Impressora, TamanhoQteLinhas, TamanhoQteLPP);
    return result;
}

LoadResult TGravana::SubstituirRelatorio(QString fileName) {
    ReportState& s = state();
    std::unique_ptr<PageStore> previous = std::move(s.store);
    const QByteArray titulo = TitulodoRelatorio;
    const int linhas = TamanhoQteLinhas;
    const int colunas = TamanhoQteColunas;
    const TLinha lpp = TamanhoQteLPP;
    const TSize tamanho = FonteTamanhoPadrao;
    const TStyle estilo = FonteEstiloPadrao;
    const int versao = m_versionRead;
    auto restore = [&] {
        s.store = std::move(previous);
        TitulodoRelatorio = titulo;
        TamanhoQteLinhas = linhas;
        TamanhoQteColunas = colunas;
        TamanhoQteLPP = lpp;
        FonteTamanhoPadrao = tamanho;
        FonteEstiloPadrao = estilo;
        m_versionRead = versao;
    };
    LoadResult result = LoadResult::Failed;
    try {
        result = LerRelatorio(std::move(fileName));
    } catch (...) {
        restore();
        throw;
    }
    if (result == LoadResult::Failed) {
        restore();
    }
    return result;
}

Outcome TGravana::GravarRelatorio(QString fileName) {
    if (fileName.isEmpty()) {
        fileName = QStringLiteral("Gravana.GVP");
    }
    raiseBeforeNewPageIfPending();
    if (OnSave) {
        OnSave(*this, fileName);
    }

    AtomicFile file(fileName);
    if (!file.open()) {
        m_ui.message(MessageKind::Error,
                     fileMessage(QStringLiteral("Erro na abertura do arquivo..."), fileName,
                                 file.errorString()));
        return Outcome::failure(file.error());
    }

    static const PageStore kEmpty;
    const PageStore& st = store() ? *store() : kEmpty;

    // The title is one line of the file: line breaks inside it would split the record.
    QByteArray title = TitulodoRelatorio;
    title.replace('\r', ' ').replace('\n', ' ');
    QByteArray record;
    record += gvp::kMarkerV5;
    record += "\r\n";
    record += gvp::kWarningLine;
    record += "\r\n";
    record += gvp::sixDigits(st.size()) + "\r\n";
    record += title + "\r\n";
    record += gvp::sixDigits(TamanhoQteLinhas) + "\r\n";
    record += gvp::sixDigits(TamanhoQteColunas) + "\r\n";
    record += TamanhoQteLPP == TLinha::Oito ? "8\r\n" : "6\r\n";
    record += gvp::pitchCode(FonteTamanhoPadrao) + "\r\n";
    record += gvp::styleLetters(FonteEstiloPadrao) + "\r\n";
    if (!file.write(record)) {
        m_ui.message(MessageKind::Error,
                     QStringLiteral("Erro na gravação do Registro de Controle...") +
                         displayPath(fileName) + QLatin1Char('\r') + file.errorString());
        return Outcome::failure(file.error());
    }

    CancelRequest::clear();
    const auto progress =
        m_ui.beginProgress(progressInfo(QStringLiteral("Gravando..."), fileName, st.size()));
    const QString writeError = QStringLiteral("Erro na gravação do arquivo...");
    for (qsizetype i = 0; i < st.size(); ++i) {
        progress->step();
        if (progress->cancelled()) {
            if (OnCancel) {
                OnCancel(*this);
            }
            // The file being replaced stays as it was; nothing half-written takes its place.
            file.discard();
            return Outcome::cancellation();
        }
        const QByteArrayView item = st.item(i);
        if (!file.write(item) || !file.write("\r\n")) {
            m_ui.message(MessageKind::Error, fileMessage(writeError, fileName, file.errorString()));
            return Outcome::failure(file.error());
        }
    }
    if (!file.commit()) {
        m_ui.message(MessageKind::Error, fileMessage(writeError, fileName, file.errorString()));
        return Outcome::failure(file.error());
    }
    return Outcome::success();
}

} // namespace zr::textreport
