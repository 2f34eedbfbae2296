#include "qdx_rc4.h"

#include <utility>

namespace zr::pdf {

TqdxRC4::TqdxRC4(QByteArrayView key) {
    for (std::size_t i = 0; i < 256; ++i) {
        m_s[i] = static_cast<std::uint8_t>(i);
    }
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    const auto length = std::size_t(key.size());
    unsigned j = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        const unsigned keyByte = length > 0 ? k[i % length] : 0U;
        j = (j + m_s[i] + keyByte) & 0xffU;
        std::swap(m_s[i], m_s[j]);
    }
}

void TqdxRC4::Crypt(char* data, qsizetype size) {
    auto* p = reinterpret_cast<unsigned char*>(data);
    for (qsizetype n = 0; n < size; ++n) {
        m_i = static_cast<std::uint8_t>(m_i + 1U);
        m_j = static_cast<std::uint8_t>(m_j + m_s[m_i]);
        std::swap(m_s[m_i], m_s[m_j]);
        p[n] ^= m_s[static_cast<std::uint8_t>(m_s[m_i] + m_s[m_j])];
    }
}

QByteArray TqdxRC4::Crypted(QByteArrayView data) {
    QByteArray out = data.toByteArray();
    Crypt(out);
    return out;
}

} // namespace zr::pdf
