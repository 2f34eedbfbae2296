#pragma once

// Little-endian reads from a byte range that never leave it: a read past the end gives 0, so
// a decoder working on truncated data sees zeros instead of touching foreign memory. Decoders
// still check has() where a missing field must stop them.

#include <QByteArrayView>
#include <QtGlobal>

#include <cstring>

namespace zr::reportlib::render::picture_detail {

class ByteReader {
public:
    explicit ByteReader(QByteArrayView data) : m_data(data) {}

    qsizetype size() const { return m_data.size(); }
    const char* data() const { return m_data.data(); }

    // True when [offset, offset + count) lies inside the data.
    bool has(qint64 offset, qint64 count) const {
        return offset >= 0 && count >= 0 && offset <= m_data.size() &&
               count <= m_data.size() - offset;
    }

    quint8 u8(qint64 offset) const {
        return has(offset, 1) ? static_cast<quint8>(m_data[qsizetype(offset)]) : quint8(0);
    }
    quint16 u16(qint64 offset) const {
        return static_cast<quint16>(u8(offset) | u8(offset + 1) << 8);
    }
    quint32 u32(qint64 offset) const {
        return quint32(u16(offset)) | quint32(u16(offset + 2)) << 16;
    }
    qint16 i16(qint64 offset) const { return static_cast<qint16>(u16(offset)); }
    qint32 i32(qint64 offset) const { return static_cast<qint32>(u32(offset)); }
    float f32(qint64 offset) const {
        const quint32 bits = u32(offset);
        float v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

    // The part of [offset, offset + count) that exists (possibly empty).
    QByteArrayView slice(qint64 offset, qint64 count) const {
        if (offset < 0 || count <= 0 || offset >= m_data.size()) {
            return {};
        }
        const qint64 n = qMin<qint64>(count, m_data.size() - offset);
        return m_data.sliced(qsizetype(offset), qsizetype(n));
    }
    QByteArrayView from(qint64 offset) const {
        return offset >= 0 && offset < m_data.size() ? m_data.sliced(qsizetype(offset))
                                                     : QByteArrayView();
    }

private:
    QByteArrayView m_data;
};

} // namespace zr::reportlib::render::picture_detail
