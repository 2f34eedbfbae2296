#pragma once

// TqdxRC4: the RC4 stream cipher, as the revision 3 security handler of PDF prescribes it.
// Encrypting and decrypting are the same operation. It is no protection by itself.

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace zr::pdf {

class TqdxRC4 {
public:
    // Keys of 1 to 256 bytes are used as they are; an empty key acts as the single byte 0.
    explicit TqdxRC4(QByteArrayView key);

    // XORs `size` bytes with the next bytes of the key stream, in place.
    void Crypt(char* data, qsizetype size);
    void Crypt(QByteArray& data) { Crypt(data.data(), data.size()); }
    // The same as a copy; the key stream moves on as with Crypt().
    QByteArray Crypted(QByteArrayView data);

private:
    std::array<std::uint8_t, 256> m_s{};
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
};

} // namespace zr::pdf
