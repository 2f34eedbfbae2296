#include "pdf_object_writer.h"

#include "platform/files/atomic_file.h"
#include "platform/printing/print_output.h"

#include <libdeflate.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace zr::pdf {

PdfObjectWriter::PdfObjectWriter() = default;
PdfObjectWriter::~PdfObjectWriter() = default;

void PdfObjectWriter::open(std::unique_ptr<RawOutput> output) {
    discard();
    m_errno = 0;
    m_failed = false;
    m_position = 0;
    m_xref = 0;
    m_offsets.clear();
    m_objectStreams = false;
    m_holding = false;
    m_object.clear();
    m_packed.clear();
    m_packedBytes = 0;
    m_output = std::move(output);
}

bool PdfObjectWriter::open(const QString& path) {
    open(std::unique_ptr<RawOutput>());
    auto file = std::make_unique<AtomicFile>(path);
    if (!file->open()) {
        m_errno = file->error();
        return false;
    }
    m_file = std::move(file);
    return true;
}

bool PdfObjectWriter::commit() {
    if (m_output) {
        const bool ok = !m_failed && m_output->finish();
        if (!ok && m_errno == 0) {
            m_errno = m_output->error() != 0 ? m_output->error() : EIO;
        }
        m_output.reset();
        return ok;
    }
    if (!m_file) {
        return false;
    }
    const bool ok = !m_failed && m_file->commit();
    if (!ok && m_errno == 0) {
        m_errno = m_file->error() != 0 ? m_file->error() : EIO;
    }
    m_file.reset();
    return ok;
}

void PdfObjectWriter::discard() {
    m_output.reset(); // an output not finished is dropped (a print job is cancelled)
    if (m_file) {
        m_file->discard();
        m_file.reset();
    }
}

QString PdfObjectWriter::errorString() const {
    return m_errno != 0 ? QString::fromLocal8Bit(std::strerror(m_errno)) : QString();
}

void PdfObjectWriter::raw(QByteArrayView bytes) {
    if (m_holding) {
        m_object.append(bytes);
        return;
    }
    m_position += std::uint64_t(bytes.size());
    if (m_failed) {
        return;
    }
    if (m_output && !m_output->write(bytes)) {
        m_failed = true;
        m_errno = m_output->error();
    } else if (m_file && !m_file->write(bytes)) {
        m_failed = true;
        m_errno = m_file->error();
    }
}

void PdfObjectWriter::line(QByteArrayView text) {
    raw(text);
    raw("\r\n");
}

void PdfObjectWriter::startObject(int number) {
    m_offsets[std::size_t(number - 1)] = Entry{m_position, 0, false};
    if (m_objectStreams) {
        // Held until its end tells whether it has a stream.
        m_holding = true;
        m_held = number;
        m_object.clear();
    } else {
        line(QByteArray::number(number) + " 0 obj");
    }
}

int PdfObjectWriter::beginObject() {
    m_offsets.push_back({});
    const int number = int(m_offsets.size());
    startObject(number);
    return number;
}

int PdfObjectWriter::reserve() {
    m_offsets.push_back({});
    return int(m_offsets.size());
}

void PdfObjectWriter::beginReserved(int number) {
    if (number < 1 || number > int(m_offsets.size())) {
        return;
    }
    startObject(number);
}

void PdfObjectWriter::endObject() {
    if (!m_holding) {
        line("endobj");
        return;
    }
    m_holding = false;
    if (m_object.contains("\nstream\r\n") || m_object.startsWith("stream\r\n")) {
        // A stream object stays in the file itself.
        m_offsets[std::size_t(m_held - 1)] = Entry{m_position, 0, false};
        line(QByteArray::number(m_held) + " 0 obj");
        raw(m_object);
        line("endobj");
    } else {
        m_packedBytes += m_object.size();
        m_packed.emplace_back(m_held, std::move(m_object));
        if (m_packed.size() >= 200 || m_packedBytes >= 256 * 1024) {
            flushObjectStream();
        }
    }
    m_object = QByteArray();
}

void PdfObjectWriter::flushObjectStream() {
    if (m_packed.empty()) {
        return;
    }
    // The numbers and offsets of the objects, then the objects themselves.
    QByteArray index;
    QByteArray bodies;
    for (const auto& [number, body] : m_packed) {
        index += QByteArray::number(number) + ' ' + QByteArray::number(bodies.size()) + ' ';
        bodies += body;
    }
    index += '\n';
    const QByteArray data = Deflate(index + bodies);
    m_offsets.push_back(Entry{m_position, 0, false});
    const int stream = int(m_offsets.size());
    for (std::size_t i = 0; i < m_packed.size(); ++i) {
        m_offsets[std::size_t(m_packed[i].first - 1)] =
            Entry{std::uint64_t(stream), std::uint32_t(i), true};
    }
    line(QByteArray::number(stream) + " 0 obj");
    line("<< /Type /ObjStm /N " + QByteArray::number(qsizetype(m_packed.size())) + " /First " +
         QByteArray::number(index.size()) + " /Filter /FlateDecode /Length " +
         QByteArray::number(data.size()) + " >>");
    line("stream");
    raw(data);
    line("");
    line("endstream");
    line("endobj");
    m_packed.clear();
    m_packedBytes = 0;
}

void PdfObjectWriter::beginTrailer() {
    if (m_objectStreams) {
        flushObjectStream();
        // The caller's entries are held for the cross-reference stream's dictionary.
        m_holding = true;
        m_object.clear();
        return;
    }
    m_xref = m_position;
    line("xref");
    line("0 " + QByteArray::number(qsizetype(m_offsets.size()) + 1));
    line("0000000000 65535 f");
    char entry[32];
    for (const Entry& e : m_offsets) {
        std::snprintf(entry, sizeof entry, "%010llu 00000 n",
                      static_cast<unsigned long long>(e.offset));
        line(entry);
    }
    line("trailer");
    line("<<");
    line("/Size " + QByteArray::number(qsizetype(m_offsets.size()) + 1));
}

void PdfObjectWriter::finishTrailer() {
    if (m_objectStreams) {
        m_holding = false;
        const QByteArray entries = m_object;
        m_object = QByteArray();
        m_xref = m_position;
        m_offsets.push_back(Entry{m_position, 0, false});
        const int number = int(m_offsets.size());
        // Type, offset (or object stream), generation (or index): 1, 4 or 8, and 2 bytes.
        const int width = m_position < (std::uint64_t(1) << 32) ? 4 : 8;
        QByteArray table;
        table.reserve(qsizetype(m_offsets.size() + 1) * (3 + width));
        const auto put = [&](int type, std::uint64_t field, std::uint32_t second) {
            table += char(type);
            for (int b = width - 1; b >= 0; --b) {
                table += char((field >> (8 * b)) & 0xFF);
            }
            table += char((second >> 8) & 0xFF);
            table += char(second & 0xFF);
        };
        put(0, 0, 65535);
        for (const Entry& e : m_offsets) {
            put(e.packed ? 2 : 1, e.offset, e.index);
        }
        // Rows as PNG "Up" rows (a filter byte, then each byte less the one above it): the
        // offsets of neighbouring objects differ little, so the rows deflate to a fraction.
        const int columns = 3 + width;
        QByteArray rows;
        rows.reserve(table.size() / columns * (columns + 1));
        for (qsizetype at = 0; at < table.size(); at += columns) {
            rows += char(2);
            for (int c = 0; c < columns; ++c) {
                const auto above = at >= columns ? std::uint8_t(table[at - columns + c]) : 0;
                rows += char(std::uint8_t(std::uint8_t(table[at + c]) - above));
            }
        }
        const QByteArray data = Deflate(rows);
        line(QByteArray::number(number) + " 0 obj");
        line("<< /Type /XRef /Size " + QByteArray::number(qsizetype(m_offsets.size()) + 1) +
             " /W [1 " + QByteArray::number(width) + " 2]");
        raw(entries);
        line("/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns " +
             QByteArray::number(columns) + " >> /Length " + QByteArray::number(data.size()) +
             " >>");
        line("stream");
        raw(data);
        line("");
        line("endstream");
        line("endobj");
        line("startxref");
        line(QByteArray::number(static_cast<qulonglong>(m_xref)));
        line("%%EOF");
        return;
    }
    line(">>");
    line("startxref");
    line(QByteArray::number(static_cast<qulonglong>(m_xref)));
    line("%%EOF");
}

QByteArray Deflate(QByteArrayView data) {
    // One compressor a thread (a compressor serves one call at a time), made at first use.
    struct Free {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    thread_local const std::unique_ptr<libdeflate_compressor, Free> compressor(
        libdeflate_alloc_compressor(6));
    if (!compressor) {
        throw std::bad_alloc();
    }
    const std::size_t bound =
        libdeflate_zlib_compress_bound(compressor.get(), std::size_t(data.size()));
    QByteArray out(qsizetype(bound), Qt::Uninitialized);
    const std::size_t size = libdeflate_zlib_compress(compressor.get(), data.data(),
                                                      std::size_t(data.size()), out.data(), bound);
    if (size == 0) {
        throw std::bad_alloc();
    }
    out.truncate(qsizetype(size));
    return out;
}

} // namespace zr::pdf
