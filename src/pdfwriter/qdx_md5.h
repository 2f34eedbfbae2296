#pragma once

// TqdxMD5: the MD5 message digest (RFC 1321). Used only where the PDF format prescribes it
// (the revision 3 security handler and the document ID); it is no protection by itself.

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace zr::pdf {

class TqdxMD5 {
public:
    TqdxMD5();
    // Adds bytes to the message; may be called any number of times.
    void Update(QByteArrayView data);
    // The 16-byte digest of everything added. The object starts a new message afterwards.
    QByteArray Final();
    // The digest of `data` in one call.
    static QByteArray Digest(QByteArrayView data);

private:
    void Reset();
    void Transform(const unsigned char* block);

    std::array<std::uint32_t, 4> m_state{};
    std::array<unsigned char, 64> m_buffer{};
    std::uint64_t m_length = 0; // bytes added so far
};

} // namespace zr::pdf
