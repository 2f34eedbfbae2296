#include "print_pdf.h"

#include "embedded_true_type.h"
#include "pdfwriter/pdf_archive.h"
#include "pdfwriter/pdf_format.h"
#include "platform/files/atomic_file.h"
#include "platform/text/codepages.h"

#include <QFileInfo>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>

namespace zr::textreport {

// ---------------------------------------------------------------------------------------------
// Numbers and strings. Everything appends to a std::string the caller reserves; nothing here
// allocates per number or consults the process locale.

namespace {

void putInt(std::string& out, long long value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

void putText(std::string& out, QByteArrayView bytes) {
    out.append(bytes.data(), std::size_t(bytes.size()));
}

// v × 100 rounded to an integer, halves away from zero, where "half" is judged on the
// number's decimal form with 15 significant digits: 1.005 is stored as 1.00499999999999989...
// but reads, and is written, as 1.01. Requires |v| < 1e13.
long long hundredthsFromDecimal(double v) {
    char buf[40];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
    // buf holds d.ddddddddddddddde±XX: 15 significant digits and an exponent.
    std::array<char, 15> digits{};
    digits[0] = buf[0];
    std::memcpy(digits.data() + 1, buf + 2, 14);
    const char* e = std::find(buf, r.ptr, 'e');
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
    // The value is 0.D × 10^(exponent + 1); its hundredths are the first exponent + 3 digits.
    const int keep = exponent + 3;
    long long n = 0;
    if (keep <= 0) {
        n = keep == 0 && digits[0] >= '5' ? 1 : 0;
    } else {
        for (int i = 0; i < keep; ++i) {
            n = n * 10 + (i < 15 ? digits[std::size_t(i)] - '0' : 0);
        }
        if (keep < 15 && digits[std::size_t(keep)] >= '5') {
            ++n;
        }
    }
    return v < 0 ? -n : n;
}

long long hundredths(double v) {
    const double scaled = v * 100.0;
    const auto whole = static_cast<long long>(scaled); // towards zero; |scaled| < 1e15
    const double fraction = std::fabs(scaled - double(whole));
    // Clear of a half by more than the error of one multiplication: the binary value decides.
    if (std::fabs(fraction - 0.5) > 1e-9 + std::fabs(scaled) * 1e-14) {
        return fraction < 0.5 ? whole : whole + (scaled < 0 ? -1 : 1);
    }
    return hundredthsFromDecimal(v);
}

// Whether the two-decimal forms write v as zero.
bool roundsToZero(double v) {
    return !std::isfinite(v) || (std::fabs(v) < 1 && hundredths(v) == 0);
}

// Room writeNumber needs: the longest double in fixed notation, a sign and a space.
constexpr std::size_t kNumberRoom = 330;

// Writes the number's text at p and returns the end; p must have kNumberRoom bytes.
char* writeNumber(char* p, double v, PdfNumberForm form) {
    char* const end = p + kNumberRoom;
    if (!std::isfinite(v)) {
        v = 0;
    }
    if (form == PdfNumberForm::Integer) {
        const double rounded = std::round(v);
        const double limit = 9.2e18;
        p = std::to_chars(p, end, static_cast<long long>(std::clamp(rounded, -limit, limit))).ptr;
    } else if (std::fabs(v) >= 1e13) {
        // Far beyond any page: its hundredths are not held by a double anyway.
        p = std::to_chars(p, end, v, std::chars_format::fixed, 0).ptr;
    } else {
        const long long n = hundredths(v);
        const unsigned long long a =
            n < 0 ? static_cast<unsigned long long>(-n) : static_cast<unsigned long long>(n);
        if (n < 0) {
            *p++ = '-';
        }
        const unsigned long long whole = a / 100;
        const auto fraction = static_cast<unsigned>(a % 100);
        if (whole != 0 || form != PdfNumberForm::NoLeadingZero) {
            p = std::to_chars(p, end, whole).ptr;
        }
        if (fraction != 0) {
            *p++ = '.';
            *p++ = static_cast<char>('0' + fraction / 10);
            if (fraction % 10 != 0) {
                *p++ = static_cast<char>('0' + fraction % 10);
            }
        }
    }
    if (form == PdfNumberForm::Component) {
        *p++ = ' ';
    }
    return p;
}

void putNumber(std::string& out, double v, PdfNumberForm form) {
    char buf[kNumberRoom];
    out.append(buf, writeNumber(buf, v, form));
}

char* writeText(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

// Which bytes a literal string cannot hold as they are.
constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> t{};
    for (int b = 0; b < 32; ++b) {
        t[std::size_t(b)] = true;
    }
    t['('] = t[')'] = t['\\'] = t[127] = true;
    return t;
}();

// "(" + the bytes, escaped + ")". Runs of plain bytes are copied at once.
void putLiteral(std::string& out, QByteArrayView text) {
    out += '(';
    const char* s = text.data();
    const std::size_t n = std::size_t(text.size());
    std::size_t run = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (!kNeedsEscape[b]) {
            continue;
        }
        out.append(s + run, i - run);
        run = i + 1;
        out += '\\';
        switch (b) {
        case '(':
        case ')':
        case '\\':
            out += char(b);
            break;
        case '\b':
            out += 'b';
            break;
        case '\n':
            out += 'n';
            break;
        case '\f':
            out += 'f';
            break;
        case '\r':
            out += 'r';
            break;
        default:
            out += char('0' + (b >> 6));
            out += char('0' + ((b >> 3) & 7));
            out += char('0' + (b & 7));
        }
    }
    out.append(s + run, n - run);
    out += ')';
}

constexpr std::array<const char*, 14> kBaseFonts = {
    "Helvetica",   "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
    "Courier",     "Courier-Bold",   "Courier-Oblique",   "Courier-BoldOblique",
    "Times-Roman", "Times-Bold",     "Times-Italic",      "Times-BoldItalic",
    "Symbol",      "ZapfDingbats"};

} // namespace

QByteArray formatPdfNumber(double value, PdfNumberForm form) {
    std::string out;
    putNumber(out, value, form);
    return QByteArray(out.data(), qsizetype(out.size()));
}

PdfWriteError::PdfWriteError(QString path, int error)
    : std::runtime_error("cannot write " + path.toStdString() + ": " + std::strerror(error)),
      m_path(std::move(path)), m_error(error) {}

// ---------------------------------------------------------------------------------------------
// Page compression. A closed page's operators are deflated by a worker while the caller draws
// the next pages; the finished streams are appended in page order, so the bytes are those of
// compressing each page in turn.

namespace {

// One zlib stream, reused for every page it compresses (deflateReset gives the same output
// as a fresh stream): the zlib format at the level asked (the default one, as compress2 writes it).
class Deflater {
public:
    explicit Deflater(int level) {
        if (deflateInit(&m_z, level) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~Deflater() { deflateEnd(&m_z); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Replaces `data` by its deflated form (in a string of just that size: the document holds
    // thousands of them).
    void compress(std::string& data) {
        deflateReset(&m_z);
        // The output space is kept from page to page, so it is cleared only when it grows.
        const auto bound = std::size_t(deflateBound(&m_z, uLong(data.size())));
        if (m_out.size() < bound) {
            m_out.resize(bound);
        }
        constexpr std::size_t kChunk = std::size_t(1) << 30; // zlib counts in 32 bits
        std::size_t consumed = 0;
        std::size_t produced = 0;
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            const std::size_t inLeft = data.size() - consumed;
            if (produced == m_out.size()) {
                m_out.resize(m_out.size() + m_out.size() / 2 + 64);
            }
            m_z.next_in = reinterpret_cast<Bytef*>(data.data() + consumed);
            m_z.avail_in = uInt(std::min(inLeft, kChunk));
            m_z.next_out = reinterpret_cast<Bytef*>(m_out.data() + produced);
            m_z.avail_out = uInt(std::min(m_out.size() - produced, kChunk));
            const uInt inBefore = m_z.avail_in;
            const uInt outBefore = m_z.avail_out;
            status = deflate(&m_z, inLeft <= kChunk ? Z_FINISH : Z_NO_FLUSH);
            if (status == Z_STREAM_ERROR) {
                throw std::runtime_error("deflate failed");
            }
            consumed += inBefore - m_z.avail_in;
            produced += outBefore - m_z.avail_out;
        }
        data = std::string(m_out.data(), produced);
    }

private:
    z_stream m_z{};
    std::vector<char> m_out;
};

} // namespace

struct PageCompressJob {
    std::string data; // operators in, stream data out
    bool done = false;
    std::exception_ptr error;
};

// Compresses jobs on worker threads (or in the caller's thread when given one thread).
class PageCompressor {
public:
    PageCompressor(int threads, int level) : m_threads(std::max(1, threads)), m_level(level) {}
    ~PageCompressor() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
            m_todo.clear();
        }
        m_work.notify_all();
        for (std::thread& t : m_workers) {
            t.join();
        }
    }
    PageCompressor(const PageCompressor&) = delete;
    PageCompressor& operator=(const PageCompressor&) = delete;

    int threads() const { return m_threads; }
    int level() const { return m_level; }

    // Compresses now, in this thread.
    void compressHere(PageCompressJob& job) {
        try {
            if (!m_local) {
                m_local = std::make_unique<Deflater>(m_level);
            }
            m_local->compress(job.data);
        } catch (...) {
            job.error = std::current_exception();
        }
        job.done = true;
    }

    // Queues a job; `job` must stay alive until done (or until cancelQueued returns).
    void submit(PageCompressJob& job) {
        if (m_threads <= 1) {
            compressHere(job);
            return;
        }
        if (m_workers.empty()) {
            for (int i = 0; i < m_threads; ++i) {
                m_workers.emplace_back([this] { run(); });
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_todo.push_back(&job);
        }
        m_work.notify_one();
    }

    bool isDone(const PageCompressJob& job) {
        std::lock_guard lock(m_mutex);
        return job.done;
    }

    void wait(const PageCompressJob& job) {
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [&] { return job.done; });
    }

    // Drops the jobs not started and waits for those running.
    void cancelQueued() {
        std::unique_lock lock(m_mutex);
        m_todo.clear();
        m_finished.wait(lock, [&] { return m_running == 0; });
    }

private:
    void run() {
        std::unique_ptr<Deflater> deflater;
        for (;;) {
            PageCompressJob* job = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_work.wait(lock, [&] { return m_stop || !m_todo.empty(); });
                if (m_stop) {
                    return;
                }
                job = m_todo.front();
                m_todo.pop_front();
                ++m_running;
            }
            try {
                if (!deflater) {
                    deflater = std::make_unique<Deflater>(m_level);
                }
                deflater->compress(job->data);
            } catch (...) {
                job->error = std::current_exception();
            }
            {
                std::lock_guard lock(m_mutex);
                job->done = true;
                --m_running;
            }
            m_finished.notify_all();
        }
    }

    const int m_threads;
    const int m_level;
    std::unique_ptr<Deflater> m_local;
    std::vector<std::thread> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_finished;
    std::deque<PageCompressJob*> m_todo;
    int m_running = 0;
    bool m_stop = false;
};

struct TPrintPDF::PendingPage {
    std::string head; // the content object's lines up to and including "stream"
    int contentObject = 0;
    int lengthObject = 0;
    PageCompressJob job;
};

// ---------------------------------------------------------------------------------------------
// The writer.

TPrintPDF::TPrintPDF() = default;

TPrintPDF::~TPrintPDF() {
    discardDocument();
}

void TPrintPDF::discardDocument() {
    if (m_compressor) {
        m_compressor->cancelQueued();
    }
    m_pending.clear();
    m_open = false;
    m_file = std::string();
    m_parts.clear();
    m_partsBytes = 0;
    m_content = std::string();
    m_pageHead.clear();
    m_offsets.clear();
    m_contentObjects.clear();
    m_pageTags.clear();
    m_mcidParagraph = std::vector<std::uint32_t>();
}

QDateTime TPrintPDF::creationTime() const {
    return CreationDate && CreationDate->isValid() ? *CreationDate : QDateTime::currentDateTime();
}

void TPrintPDF::putInfoString(std::string& out, QByteArrayView bytes) const {
    if (m_security) {
        out += pdf::LiteralString(bytes, m_security.get(), 1).toStdString();
    } else if (m_pdfa) {
        out +=
            pdf::TextString(codepages::fromCp1252(bytes.toByteArray()), nullptr, 1).toStdString();
    } else {
        putLiteral(out, bytes);
    }
}

QByteArray TPrintPDF::creationDate() const {
    const QDateTime when = m_created;
    const QDate d = when.date();
    const QTime t = when.time();
    char buf[32];
    const int n =
        std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", std::clamp(d.year(), 0, 9999),
                      d.month(), d.day(), t.hour(), t.minute(), t.second());
    return QByteArray(buf, n);
}

void TPrintPDF::startObject(int number) {
    const auto index = std::size_t(number - 1);
    if (m_offsets.size() <= index) {
        m_offsets.resize(index + 1);
    }
    m_offsets[index] = position();
}

void TPrintPDF::appendObject(int number, std::string_view body) {
    startObject(number);
    putInt(m_file, number);
    m_file += " 0 obj\r\n";
    m_file += body;
    m_file += "endobj\r\n";
}

void TPrintPDF::BeginDoc() {
    discardDocument();
    int threads = Threads;
    if (threads <= 0) {
        threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    }
    // An archival file keeps nothing of the ordinary layout: its pages are deflated at zlib's
    // fastest level, which pays for the embedded faces.
    const int level = PdfA ? Z_BEST_SPEED : Z_DEFAULT_COMPRESSION;
    if (!m_compressor || m_compressor->threads() != threads || m_compressor->level() != level) {
        m_compressor = std::make_unique<PageCompressor>(threads, level);
    }

    m_security.reset();
    m_documentId.clear();
    m_fontUsed = {};
    m_pdfa = PdfA;
    m_universal = PdfUA;
    m_tagged = Tagged || PdfUA;
    m_embedded = m_pdfa || m_universal;
    if (m_universal && TITLE.trimmed().isEmpty()) {
        TITLE = codepages::toCp1252(QFileInfo(FileName).completeBaseName());
    }
    m_documentElement = 0;
    m_created = creationTime();
    const bool encrypted = !UserPassword.isEmpty() || !OwnerPassword.isEmpty();
    if (encrypted && m_pdfa) {
        throw std::invalid_argument("an archival PDF cannot be encrypted");
    }
    if (encrypted || m_pdfa) {
        m_documentId =
            FixedDocumentId.size() == 32 ? FixedDocumentId.toLower() : pdf::NewDocumentId();
    }
    if (encrypted) {
        m_security = pdf::TqdxPDFSecurity::Prepare(
            Encryption, UserPassword, OwnerPassword.isEmpty() ? UserPassword : OwnerPassword,
            Permissions, m_documentId);
    }
    if (m_embedded) {
        // Embedding needs every face used; finding them now makes a missing one fail early.
        for (int f = 4; f < 8; ++f) {
            EmbeddedTrueTypeFace::ForStandardFont(f);
        }
    }

    m_open = true;
    m_pageNumber = 1;
    m_objectCount = 0;
    if (m_pdfa) {
        m_file += "%PDF-1.7\r\n%\xE2\xE3\xCF\xD3\r\n";
    } else if (m_security && Encryption == pdf::TqdxPDFEncryption::AES_256) {
        m_file += "%PDF-2.0\r\n%\xE2\xE3\xCF\xD3\r\n";
    } else {
        m_file += "%PDF-1.4\r\n";
    }

    std::string info;
    info.reserve(512);
    if (m_pdfa) {
        // Only what is there, each value equal to the metadata's; both dates with the zone.
        info += "<<\r\n";
        const std::pair<const char*, const QByteArray*> values[] = {
            {"/Producer ", &Producer}, {"/Author ", &Author},   {"/Creator ", &Creator},
            {"/Keywords ", &Keywords}, {"/Subject ", &Subject}, {"/Title ", &TITLE}};
        for (const auto& value : values) {
            if (!value.second->isEmpty()) {
                info += value.first;
                putInfoString(info, *value.second);
                info += "\r\n";
            }
        }
        const QByteArray date = pdf::PdfDateWithZone(m_created);
        info += "/CreationDate (" + date.toStdString() + ")\r\n/ModDate (" + date.toStdString() +
                ")\r\n>>\r\n";
    } else {
        info += "<<\r\n/Producer ";
        putInfoString(info, Producer);
        info += "\r\n/Author ";
        putInfoString(info, Author);
        // The document is made once: it was last changed when it was created.
        const auto putDate = [&] {
            if (m_security) {
                putInfoString(info, "D:" + creationDate());
            } else {
                info += "(D:";
                putText(info, creationDate());
                info += ')';
            }
        };
        info += "\r\n/CreationDate ";
        putDate();
        info += "\r\n/Creator ";
        putInfoString(info, Creator);
        info += "\r\n/Keywords ";
        putInfoString(info, Keywords);
        info += "\r\n/Subject ";
        putInfoString(info, Subject);
        info += "\r\n/Title ";
        putInfoString(info, TITLE);
        info += "\r\n/ModDate ";
        putDate();
        info += "\r\n>>\r\n";
    }
    appendObject(allocate(), info);
    if (m_tagged) {
        m_documentElement = allocate(); // written by EndDoc, when all its children are known
    }

    openPage();
}

void TPrintPDF::openPage() {
    m_pageObject = allocate();
    m_pageCompressed = Compress;
    m_contentObjects.push_back(m_pageObject);
    if (m_tagged) {
        // The length object (content + 1, as in an untagged file) and the page object, which
        // EndDoc writes: the page's P elements, written when it closes, refer to it.
        allocate();
        allocate();
    }
    m_marked = Marked::None;
    m_paragraphPending = true;
    m_paragraphs = 0;
    m_mcidParagraph.clear();
    m_pageHead.clear();
    putInt(m_pageHead, m_pageObject);
    m_pageHead += " 0 obj\r\n<< /Length ";
    putInt(m_pageHead, m_pageObject + 1);
    m_pageHead += " 0 R\r\n";
    if (m_pageCompressed) {
        m_pageHead += "/Filter [/FlateDecode]\r\n";
    }
    m_pageHead += " >>\r\nstream\r\n";
    m_content.clear();
    m_content.reserve(m_contentReserve);
}

void TPrintPDF::closePage(bool last) {
    closeMarked();
    auto page = std::make_unique<PendingPage>();
    page->head = std::move(m_pageHead);
    m_pageHead = std::string();
    page->contentObject = m_pageObject;
    page->lengthObject = m_tagged ? m_pageObject + 1 : allocate();
    if (m_tagged) {
        writePageElements();
    }
    // The next page is likely about as long: reserve that much once rather than growing.
    m_contentReserve = std::max<std::size_t>(4096, m_content.size() + m_content.size() / 8);
    page->job.data = std::move(m_content);
    m_content = std::string();
    PageCompressJob& job = page->job;
    const bool compress = m_pageCompressed;
    const bool nothingWaiting = m_pending.empty();
    m_pending.push_back(std::move(page));
    if (!compress) {
        job.done = true;
    } else if (nothingWaiting && last) {
        m_compressor->compressHere(job); // the last page, with no other page to overlap
    } else {
        m_compressor->submit(job);
    }
}

void TPrintPDF::appendFinished(bool wait, std::size_t keepAtMost) {
    while (!m_pending.empty()) {
        PendingPage& page = *m_pending.front();
        if (!m_compressor->isDone(page.job)) {
            if (!wait && m_pending.size() <= keepAtMost) {
                return;
            }
            m_compressor->wait(page.job);
        }
        if (page.job.error) {
            const std::exception_ptr error = page.job.error;
            discardDocument();
            std::rethrow_exception(error);
        }
        if (m_security) {
            const QByteArray sealed = m_security->Encrypt(
                page.contentObject,
                QByteArrayView(page.job.data.data(), qsizetype(page.job.data.size())));
            page.job.data.assign(sealed.constData(), std::size_t(sealed.size()));
        }
        // The stream data joins the document as a part of its own, without being copied.
        const std::size_t length = page.job.data.size();
        startObject(page.contentObject);
        m_file += page.head;
        m_partsBytes += m_file.size() + length;
        m_parts.push_back(std::move(m_file));
        m_parts.push_back(std::move(page.job.data));
        m_file = std::string();
        m_file += m_pdfa || m_security ? "\r\nendstream\r\nendobj\r\n" : "endstream\r\nendobj\r\n";
        // The length object: the bytes between the line end after "stream" and "endstream".
        startObject(page.lengthObject);
        putInt(m_file, page.lengthObject);
        m_file += " 0 obj\r\n";
        putInt(m_file, static_cast<long long>(length));
        m_file += "\r\nendobj\r\n";
        m_pending.pop_front();
    }
}

void TPrintPDF::NewPage() {
    if (!m_open) {
        return;
    }
    ++m_pageNumber;
    closePage(false);
    // A few pages may be compressing at once; beyond that the caller waits, so memory stays
    // bounded whatever the page count.
    appendFinished(false, std::size_t(4 * m_compressor->threads()));
    openPage();
}

// ---------------------------------------------------------------------------------------------
// Tagging. Text is shown inside "/P <</MCID n>> BDC ... EMC" and lines inside "/Artifact BMC
// ... EMC"; a sequence stays open while the same kind of content follows, so a line of text
// drawn item by item is one sequence unless an underline or a box stroke comes between. The
// open page keeps one small number per marked-content ID; a closed page writes its elements at
// once and keeps only where they are.

void TPrintPDF::BeginParagraph() {
    if (m_open && m_tagged) {
        m_paragraphPending = true;
    }
}

void TPrintPDF::closeMarked() {
    if (m_marked != Marked::None) {
        m_content += "EMC\r\n";
        m_marked = Marked::None;
    }
}

void TPrintPDF::markText() {
    if (m_paragraphPending) {
        m_paragraphPending = false;
        ++m_paragraphs;
        closeMarked();
    }
    if (m_marked == Marked::Text) {
        return;
    }
    closeMarked();
    m_content += "/P <</MCID ";
    putInt(m_content, static_cast<long long>(m_mcidParagraph.size()));
    m_content += ">> BDC\r\n";
    m_mcidParagraph.push_back(std::uint32_t(m_paragraphs - 1));
    m_marked = Marked::Text;
}

void TPrintPDF::markArtifact() {
    if (m_marked != Marked::Artifact) {
        closeMarked();
        m_content += "/Artifact BMC\r\n";
        m_marked = Marked::Artifact;
    }
}

void TPrintPDF::writePageElements() {
    PageTags tags;
    tags.elements = m_paragraphs;
    if (m_paragraphs > 0) {
        tags.firstElement = m_objectCount + 1;
        m_objectCount += m_paragraphs;
        const int array = allocate();
        const int page = m_pageObject + 2;
        std::string body;
        // Each paragraph's marked-content IDs are consecutive: one run of m_mcidParagraph.
        const std::size_t ids = m_mcidParagraph.size();
        for (std::size_t first = 0; first < ids;) {
            std::size_t end = first + 1;
            while (end < ids && m_mcidParagraph[end] == m_mcidParagraph[first]) {
                ++end;
            }
            // One short line each (without the optional /Type): a long report has one per line.
            body.clear();
            body += "<< /S /P /P ";
            putInt(body, m_documentElement);
            body += " 0 R /Pg ";
            putInt(body, page);
            body += " 0 R /K ";
            if (end - first == 1) {
                putInt(body, static_cast<long long>(first));
            } else {
                body += '[';
                for (std::size_t id = first; id < end; ++id) {
                    body += id == first ? "" : " ";
                    putInt(body, static_cast<long long>(id));
                }
                body += ']';
            }
            body += " >>\r\n";
            appendObject(tags.firstElement + int(m_mcidParagraph[first]), body);
            first = end;
        }
        body.clear();
        body += '[';
        for (std::size_t id = 0; id < ids; ++id) {
            body += id % 8 == 0 ? "\r\n" : " ";
            putInt(body, tags.firstElement + int(m_mcidParagraph[id]));
            body += " 0 R";
        }
        body += "\r\n]\r\n";
        appendObject(array, body);
    }
    m_pageTags.push_back(tags);
    m_mcidParagraph.clear();
}

int TPrintPDF::pageObject(std::size_t page, int firstUntagged) const {
    return m_tagged ? m_contentObjects[page] + 2 : firstUntagged + int(page);
}

// The parent tree: a number tree from each page's /StructParents key (its index) to its array.
// One node holds every key of a short document; a long one gets leaves of a few dozen pages
// under a root, so that no reader meets one huge array.
int TPrintPDF::writeParentTree() {
    constexpr std::size_t kLeafKeys = 64;
    std::vector<std::size_t> keyed; // pages with elements
    for (std::size_t k = 0; k < m_pageTags.size(); ++k) {
        if (m_pageTags[k].elements > 0) {
            keyed.push_back(k);
        }
    }
    const auto putNums = [&](std::string& body, std::size_t from, std::size_t to) {
        body += "/Nums [";
        for (std::size_t i = from; i < to; ++i) {
            const PageTags& tags = m_pageTags[keyed[i]];
            body += "\r\n";
            putInt(body, static_cast<long long>(keyed[i]));
            body += ' ';
            putInt(body, tags.firstElement + tags.elements);
            body += " 0 R";
        }
        body += "\r\n]\r\n";
    };
    const int root = allocate();
    std::string body = "<< ";
    if (keyed.size() <= kLeafKeys) {
        putNums(body, 0, keyed.size());
        body += ">>\r\n";
        appendObject(root, body);
        return root;
    }
    const std::size_t leaves = (keyed.size() + kLeafKeys - 1) / kLeafKeys;
    const int firstLeaf = m_objectCount + 1;
    m_objectCount += int(leaves);
    body += "/Kids [";
    for (std::size_t l = 0; l < leaves; ++l) {
        body += l % 8 == 0 ? "\r\n" : " ";
        putInt(body, firstLeaf + int(l));
        body += " 0 R";
    }
    body += "\r\n]\r\n>>\r\n";
    appendObject(root, body);
    for (std::size_t l = 0; l < leaves; ++l) {
        const std::size_t from = l * kLeafKeys;
        const std::size_t to = std::min(keyed.size(), from + kLeafKeys);
        body = "<< /Limits [";
        putInt(body, static_cast<long long>(keyed[from]));
        body += ' ';
        putInt(body, static_cast<long long>(keyed[to - 1]));
        body += "]\r\n";
        putNums(body, from, to);
        body += ">>\r\n";
        appendObject(firstLeaf + int(l), body);
    }
    return root;
}

void TPrintPDF::TextOut(QByteArrayView text, bool rotated, double x, double y, double hscale) {
    if (!m_open) {
        return;
    }
    if (m_tagged) {
        if (DecorativeText) {
            markArtifact();
        } else {
            markText();
        }
    }
    std::string& c = m_content;
    const double py = double(PageHeight) - y;
    c += "BT\r\n";
    // A scaling that rounds to nothing would leave the operator without its operand.
    if (!roundsToZero(hscale)) {
        putNumber(c, hscale, PdfNumberForm::NoLeadingZero);
        c += " Tz\r\n";
    }
    c += "/F";
    putInt(c, Font.Name + 1);
    c += ' ';
    putInt(c, Font.Size);
    if (Font.Name < m_fontUsed.size()) {
        m_fontUsed[Font.Name] = true;
        if (m_embedded) {
            // A byte the embedded face has no glyph for would draw .notdef: a space instead.
            const EmbeddedTrueTypeFace& face = EmbeddedTrueTypeFace::ForStandardFont(Font.Name);
            const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
            const auto n = std::size_t(text.size());
            std::size_t i = 0;
            while (i < n && face.Draws(bytes[i])) {
                ++i;
            }
            if (i < n) {
                m_drawable.assign(text.data(), n);
                for (; i < n; ++i) {
                    if (!face.Draws(bytes[i])) {
                        m_drawable[i] = ' ';
                    }
                }
                text = QByteArrayView(m_drawable.data(), qsizetype(n));
            }
        }
    }
    c += " Tf\r\n";
    putNumber(c, x, PdfNumberForm::Decimal);
    c += ' ';
    putNumber(c, py, PdfNumberForm::Decimal);
    c += " Td\r\n";
    if (rotated) {
        c += "0.71 0.71 -0.71 0.71 ";
        putNumber(c, x, PdfNumberForm::Decimal);
        c += ' ';
        putNumber(c, py, PdfNumberForm::Decimal);
        c += " Tm\r\n";
    }
    putLiteral(c, text);
    c += " Tj\r\nET\r\n";
}

void TPrintPDF::DrawLine(double x1, double y1, double x2, double y2) {
    if (!m_open) {
        return;
    }
    if (m_tagged) {
        markArtifact();
    }
    // Lines come by the million: each is built in one buffer and appended at once, and the
    // width's text is kept while LineWidth stays the same.
    if (!(LineWidth == m_lineWidthFor)) {
        m_lineWidthFor = LineWidth;
        char width[kNumberRoom + 16];
        char* end = writeNumber(width, LineWidth, PdfNumberForm::NoLeadingZero);
        // A width that rounds to nothing is written as 0 (the thinnest line), never as an
        // empty operand.
        if (end == width) {
            *end++ = '0';
        }
        end = writeText(end, " w\r\nS\r\n");
        m_lineWidthText.assign(width, end);
    }
    const double h = double(PageHeight);
    char buf[4 * kNumberRoom + 16];
    char* p = writeNumber(buf, x1, PdfNumberForm::Decimal);
    *p++ = ' ';
    p = writeNumber(p, h - y1, PdfNumberForm::Decimal);
    p = writeText(p, " m\r\n");
    p = writeNumber(p, x2, PdfNumberForm::Decimal);
    *p++ = ' ';
    p = writeNumber(p, h - y2, PdfNumberForm::Decimal);
    p = writeText(p, " l\r\n");
    m_content.append(buf, p);
    m_content += m_lineWidthText;
}

namespace {
void putColour(std::string& c, const QColor& colour, const char* op) {
    const QColor rgb = colour.toRgb();
    putNumber(c, rgb.red() / 255.0, PdfNumberForm::Component);
    putNumber(c, rgb.green() / 255.0, PdfNumberForm::Component);
    putNumber(c, rgb.blue() / 255.0, PdfNumberForm::Component);
    c += op;
    c += "\r\n";
}
} // namespace

// In a tagged file a colour is set between marked-content sequences, which then hold only what
// they mark.
void TPrintPDF::SetFillColor(const QColor& colour) {
    if (m_open) {
        closeMarked();
        putColour(m_content, colour, "rg");
    }
}

void TPrintPDF::SetLineColor(const QColor& colour) {
    if (m_open) {
        closeMarked();
        putColour(m_content, colour, "RG");
    }
}

void TPrintPDF::writeStreamObject(int number, std::string_view dict, QByteArrayView data) {
    // Written unfiltered: the metadata must stay readable without filters, and the profile is
    // small. Encrypted in an accessible file with a password (an archival file has none).
    const QByteArray sealed =
        m_security ? m_security->Encrypt(number, data) : QByteArray(data.data(), data.size());
    startObject(number);
    putInt(m_file, number);
    m_file += " 0 obj\r\n<< ";
    m_file += dict;
    m_file += "/Length ";
    putInt(m_file, sealed.size());
    m_file += "\r\n>>\r\nstream\r\n";
    m_file.append(sealed.constData(), std::size_t(sealed.size()));
    m_file += "\r\nendstream\r\nendobj\r\n";
}

void TPrintPDF::writeArchivalFonts(std::array<int, 14>& fonts) {
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        if (!m_fontUsed[i]) {
            continue;
        }
        const EmbeddedTrueTypeFace& face = EmbeddedTrueTypeFace::ForStandardFont(int(i));
        fonts[i] = allocate();
        const int descriptor = allocate();
        const int file = allocate();
        appendObject(fonts[i], face.FontDictionary(int(i + 1), descriptor));
        appendObject(descriptor, face.Descriptor(file, m_security.get(), descriptor));
        const QByteArray program =
            m_security ? m_security->Encrypt(file, face.File()) : face.File();
        startObject(file);
        putInt(m_file, file);
        m_file += " 0 obj\r\n<< /Length ";
        putInt(m_file, program.size());
        m_file += "\r\n/Length1 ";
        putInt(m_file, face.FileLength());
        m_file += "\r\n/Filter /FlateDecode\r\n>>\r\nstream\r\n";
        m_file.append(program.constData(), std::size_t(program.size()));
        m_file += "\r\nendstream\r\nendobj\r\n";
    }
}

void TPrintPDF::EndDoc() {
    if (!m_open) {
        throw std::logic_error("TPrintPDF::EndDoc without an open document");
    }
    m_open = false;
    closePage(true);
    appendFinished(true, 0);

    const int pages = m_pageNumber;
    std::string body;
    body.reserve(256);

    const int outlines = allocate();
    appendObject(outlines, "<< /Type /Outlines\r\n/Count 0\r\n>>\r\n");

    std::array<int, kBaseFonts.size()> fonts{};
    if (m_embedded) {
        writeArchivalFonts(fonts);
    }
    for (std::size_t i = 0; i < kBaseFonts.size() && !m_embedded; ++i) {
        fonts[i] = allocate();
        body.clear();
        body += "<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F";
        putInt(body, static_cast<long long>(i + 1));
        body += "\r\n/BaseFont /";
        body += kBaseFonts[i];
        body += "\r\n/Encoding /WinAnsiEncoding\r\n>>\r\n";
        appendObject(fonts[i], body);
    }

    const int pagesTree = allocate();
    const int resources = pagesTree + 1;
    const int firstPage = pagesTree + 2; // of an untagged file
    body.clear();
    body.reserve(64 + std::size_t(pages) * 12);
    body += "<< /Type /Pages\r\n/Kids [\r\n";
    for (int k = 0; k < pages; ++k) {
        putInt(body, pageObject(std::size_t(k), firstPage));
        body += " 0 R\r\n";
    }
    body += "]\r\n/Count ";
    putInt(body, pages);
    body += "\r\n>>\r\n";
    appendObject(pagesTree, body);

    allocate(); // resources
    body.clear();
    body += "<< /ProcSet [ /PDF /Text /ImageC]\r\n/XObject << \r\n>>\r\n/Font << \r\n";
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        if (fonts[i] == 0) {
            continue; // an archival file lists the fonts used alone
        }
        body += "/F";
        putInt(body, static_cast<long long>(i + 1));
        body += ' ';
        putInt(body, fonts[i]);
        body += " 0 R \r\n";
    }
    body += ">>\r\n>>\r\n";
    appendObject(resources, body);

    for (int k = 0; k < pages; ++k) {
        body.clear();
        body += "<< /Type /Page\r\n/Parent ";
        putInt(body, pagesTree);
        body += " 0 R\r\n/MediaBox [ 0 0 ";
        putInt(body, PageWidth);
        body += ' ';
        putInt(body, PageHeight);
        body += "]\r\n/Contents ";
        putInt(body, m_contentObjects[std::size_t(k)]);
        body += " 0 R\r\n/Resources ";
        putInt(body, resources);
        body += " 0 R\r\n";
        if (m_tagged && m_pageTags[std::size_t(k)].elements > 0) {
            body += "/StructParents ";
            putInt(body, k);
            body += "\r\n";
        }
        body += ">>\r\n";
        appendObject(m_tagged ? pageObject(std::size_t(k), firstPage) : allocate(), body);
    }

    int structTree = 0;
    if (m_tagged) {
        const int parentTree = writeParentTree();
        structTree = allocate();
        body.clear();
        body += "<< /Type /StructTreeRoot\r\n/K ";
        putInt(body, m_documentElement);
        body += " 0 R\r\n/ParentTree ";
        putInt(body, parentTree);
        body += " 0 R\r\n/ParentTreeNextKey ";
        putInt(body, pages);
        body += "\r\n>>\r\n";
        appendObject(structTree, body);
        // The Document element lists every paragraph, page by page: written straight into the
        // file, as it holds a reference per line of the report.
        startObject(m_documentElement);
        putInt(m_file, m_documentElement);
        m_file += " 0 obj\r\n<< /Type /StructElem\r\n/S /Document\r\n/P ";
        putInt(m_file, structTree);
        m_file += " 0 R\r\n/K [";
        int listed = 0;
        for (const PageTags& tags : m_pageTags) {
            for (int e = 0; e < tags.elements; ++e) {
                m_file += listed++ % 8 == 0 ? "\r\n" : " ";
                putInt(m_file, tags.firstElement + e);
                m_file += " 0 R";
            }
        }
        m_file += "\r\n]\r\n>>\r\nendobj\r\n";
    }

    int metadata = 0;
    int intent = 0;
    if (m_pdfa || m_universal) {
        pdf::PdfArchiveInfo archive;
        archive.archival = m_pdfa;
        archive.conformance = m_tagged ? 'A' : 'B';
        archive.universal = m_universal;
        archive.title = codepages::fromCp1252(TITLE);
        archive.author = codepages::fromCp1252(Author);
        archive.subject = codepages::fromCp1252(Subject);
        archive.keywords = codepages::fromCp1252(Keywords);
        archive.creator = codepages::fromCp1252(Creator);
        archive.producer = codepages::fromCp1252(Producer);
        archive.created = m_created;
        const QByteArray xmp = pdf::XmpMetadata(archive);
        metadata = allocate();
        writeStreamObject(metadata, "/Type /Metadata\r\n/Subtype /XML\r\n", xmp);
    }
    if (m_pdfa) {
        const QByteArray icc = pdf::SrgbIccProfile();
        const int profile = allocate();
        writeStreamObject(profile, "/N 3\r\n", icc);
        intent = allocate();
        appendObject(intent, pdf::OutputIntentDictionary(profile).toStdString());
    }

    const int catalog = allocate();
    body.clear();
    body += "<< /Type /Catalog\r\n/Pages ";
    putInt(body, pagesTree);
    body += " 0 R\r\n/Outlines ";
    putInt(body, outlines);
    body += " 0 R\r\n";
    if (metadata > 0) {
        body += "/Metadata ";
        putInt(body, metadata);
        body += " 0 R\r\n";
    }
    if (m_pdfa) {
        body += "/OutputIntents [";
        putInt(body, intent);
        body += " 0 R]\r\n";
    }
    if (m_tagged) {
        body += "/StructTreeRoot ";
        putInt(body, structTree);
        body += " 0 R\r\n/MarkInfo << /Marked true >>\r\n/Lang ";
        body += pdf::LiteralString("pt-BR", m_security.get(), catalog).toStdString();
        body += "\r\n/ViewerPreferences << /DisplayDocTitle true >>\r\n";
    }
    body += ">>\r\n";
    appendObject(catalog, body);

    // Cross-reference section: every entry is exactly 20 bytes.
    const std::uint64_t xref = position();
    m_offsets.resize(std::size_t(m_objectCount)); // every object is written: a safeguard
    const int size = m_objectCount + 1;
    m_file.reserve(m_file.size() + std::size_t(size) * 20 + 256);
    m_file += "xref\r\n0 ";
    putInt(m_file, size);
    m_file += "\r\n0000000000 65535 f\r\n";
    for (int n = 1; n <= m_objectCount; ++n) {
        char entry[32];
        const int length =
            std::snprintf(entry, sizeof entry, "%010llu 00000 n\r\n",
                          static_cast<unsigned long long>(m_offsets[std::size_t(n - 1)]));
        m_file.append(entry, std::size_t(length));
    }
    m_file += "trailer\r\n<< /Size ";
    putInt(m_file, size);
    m_file += "\r\n/Root ";
    putInt(m_file, catalog);
    m_file += " 0 R\r\n/Info 1 0 R\r\n";
    if (!m_documentId.isEmpty()) {
        m_file +=
            "/ID [<" + m_documentId.toStdString() + "><" + m_documentId.toStdString() + ">]\r\n";
    }
    if (m_security) {
        m_file += m_security->EncryptDictionary().toStdString();
    }
    m_file += ">>\r\nstartxref\r\n";
    putInt(m_file, static_cast<long long>(xref));
    m_file += "\r\n%%EOF\r\n";

    // Save: the bytes go to a temporary file renamed over FileName once complete.
    std::vector<std::string> parts = std::move(m_parts);
    parts.push_back(std::move(m_file));
    discardDocument();
    AtomicFile out(FileName);
    bool ok = out.open();
    for (std::size_t i = 0; ok && i < parts.size(); ++i) {
        ok = out.write(QByteArrayView(parts[i].data(), qsizetype(parts[i].size())));
        parts[i] = std::string(); // memory goes back as the file is written
    }
    if (!ok || !out.commit()) {
        const int error = out.error() != 0 ? out.error() : EIO;
        out.discard();
        throw PdfWriteError(FileName, error);
    }
}

} // namespace zr::textreport
