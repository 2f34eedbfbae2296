#include "pdf_object_writer.h"

#include "platform/files/atomic_file.h"
#include "platform/printing/print_output.h"

#include <zlib.h>

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

int PdfObjectWriter::beginObject() {
    m_offsets.push_back(m_position);
    const int number = int(m_offsets.size());
    line(QByteArray::number(number) + " 0 obj");
    return number;
}

int PdfObjectWriter::reserve() {
    m_offsets.push_back(0);
    return int(m_offsets.size());
}

void PdfObjectWriter::beginReserved(int number) {
    if (number < 1 || number > int(m_offsets.size())) {
        return;
    }
    m_offsets[std::size_t(number - 1)] = m_position;
    line(QByteArray::number(number) + " 0 obj");
}

void PdfObjectWriter::beginTrailer() {
    m_xref = m_position;
    line("xref");
    line("0 " + QByteArray::number(qsizetype(m_offsets.size()) + 1));
    line("0000000000 65535 f");
    char entry[32];
    for (const std::uint64_t offset : m_offsets) {
        std::snprintf(entry, sizeof entry, "%010llu 00000 n",
                      static_cast<unsigned long long>(offset));
        line(entry);
    }
    line("trailer");
    line("<<");
    line("/Size " + QByteArray::number(qsizetype(m_offsets.size()) + 1));
}

void PdfObjectWriter::finishTrailer() {
    line(">>");
    line("startxref");
    line(QByteArray::number(static_cast<qulonglong>(m_xref)));
    line("%%EOF");
}

QByteArray DeflateFast(QByteArrayView data) {
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                             reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), 1);
    if (rc != Z_OK) {
        throw std::bad_alloc();
    }
    out.truncate(qsizetype(size));
    return out;
}

} // namespace zr::pdf
