// AES-256 and SHA-2 come from nettle rather than OpenSSL: nettle is small, has a stable,
// crypto-only API of plain functions over caller-owned contexts, and keeps no global state.

#include "qdx_pdf_security.h"

#include "pdf_format.h"
#include "qdx_md5.h"
#include "qdx_rc4.h"

#include <nettle/aes.h>
#include <nettle/cbc.h>
#include <nettle/sha2.h>
#include <stringprep.h>

#include <QRandomGenerator>
#include <QUuid>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zr::pdf {

namespace {

// The 32-byte padding string of the standard security handler.
const QByteArray kPadding = QByteArray::fromRawData("\x28\xBF\x4E\x5E\x4E\x75\x8A\x41"
                                                    "\x64\x00\x4E\x56\xFF\xFA\x01\x08"
                                                    "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80"
                                                    "\x2F\x0C\xA9\xFE\x64\x53\x69\x7A",
                                                    32);

constexpr qsizetype kMaxUtf8Password = 127; // bytes, after SASLprep

const std::uint8_t* Bytes(QByteArrayView data) {
    return reinterpret_cast<const std::uint8_t*>(data.data());
}

std::uint8_t* Bytes(QByteArray& data) {
    return reinterpret_cast<std::uint8_t*>(data.data());
}

QByteArray RandomBytes(qsizetype count) {
    std::vector<quint32> words(std::size_t((count + 3) / 4));
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    QByteArray out(count, Qt::Uninitialized);
    if (count > 0) {
        std::memcpy(out.data(), words.data(), std::size_t(count));
    }
    return out;
}

QByteArray LittleEndian32(int value) {
    const auto v = static_cast<std::uint32_t>(value);
    QByteArray out(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<char>(v >> (8 * i));
    }
    return out;
}

// ---- Revision 3: RC4 with a 128-bit key -------------------------------------------------------

// The RC4 key is Latin-1 text: one byte per character.
QByteArray Latin1Password(const QString& password) {
    for (const QChar c : password) {
        if (c.unicode() > 0xff) {
            throw TqdxPDFPasswordError(
                "A senha do PDF só pode ter caracteres Latin-1 (sem acentos de outros "
                "alfabetos); use a proteção AES-256 para outras senhas.");
        }
    }
    return password.toLatin1();
}

// Cut to 32 bytes, or completed to 32 with the leading bytes of the padding string.
QByteArray Padded(const QByteArray& password) {
    return password.left(32) + kPadding.left(32 - qMin<qsizetype>(password.size(), 32));
}

QByteArray Md5Rounds(QByteArray digest) {
    for (int i = 0; i < 50; ++i) {
        digest = TqdxMD5::Digest(digest);
    }
    return digest;
}

// RC4 under `key`, then 19 more times under the key with every byte XORed with 1 .. 19.
QByteArray Rc4Rounds(const QByteArray& key, QByteArray data) {
    for (int i = 0; i < 20; ++i) {
        QByteArray roundKey = key;
        for (char& b : roundKey) {
            b = static_cast<char>(static_cast<unsigned char>(b) ^ static_cast<unsigned>(i));
        }
        TqdxRC4(roundKey).Crypt(data);
    }
    return data;
}

// ---- Revision 6: AES-256 ----------------------------------------------------------------------

// A password as UTF-8 after SASLprep, cut to 127 bytes as readers cut it (even inside a
// character). Unassigned code points are let through, as a reader preparing the typed password
// (a query, in stringprep's terms) lets them through, so both sides get the same bytes.
QByteArray Utf8Password(const QString& password) {
    if (password.isEmpty()) {
        return {};
    }
    // A C string cannot carry U+0000, and an unpaired surrogate has no UTF-8 form: neither may
    // be replaced silently, or the file would open with a password nobody typed.
    if (password.contains(QChar(0)) || !password.isValidUtf16()) {
        throw TqdxPDFPasswordError("A senha do PDF contém caracteres inválidos.");
    }
    const QByteArray utf8 = password.toUtf8();
    char* prepared = nullptr;
    const int rc = stringprep_profile(utf8.constData(), &prepared, "SASLprep",
                                      static_cast<Stringprep_profile_flags>(0));
    if (rc != STRINGPREP_OK || prepared == nullptr) {
        std::free(prepared);
        throw TqdxPDFPasswordError(
            "A senha do PDF contém caracteres que não podem ser usados em senhas (por exemplo, "
            "caracteres de controle, ou escrita da direita para a esquerda misturada com a da "
            "esquerda para a direita).");
    }
    QByteArray out(prepared);
    std::free(prepared);
    // Characters that SASLprep drops (soft hyphen, zero-width joiners) must not turn a password
    // into none at all: the file would open, or grant every permission, without one.
    if (out.isEmpty()) {
        throw TqdxPDFPasswordError(
            "A senha do PDF só tem caracteres que não contam numa senha (como hífens "
            "invisíveis); escolha outra senha.");
    }
    out.truncate(kMaxUtf8Password);
    return out;
}

QByteArray Sha256(QByteArrayView data) {
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, std::size_t(data.size()), Bytes(data));
    QByteArray out(SHA256_DIGEST_SIZE, Qt::Uninitialized);
    sha256_digest(&ctx, SHA256_DIGEST_SIZE, Bytes(out));
    return out;
}

QByteArray Sha384(QByteArrayView data) {
    sha512_ctx ctx;
    sha384_init(&ctx);
    sha384_update(&ctx, std::size_t(data.size()), Bytes(data));
    QByteArray out(SHA384_DIGEST_SIZE, Qt::Uninitialized);
    sha384_digest(&ctx, SHA384_DIGEST_SIZE, Bytes(out));
    return out;
}

QByteArray Sha512(QByteArrayView data) {
    sha512_ctx ctx;
    sha512_init(&ctx);
    sha512_update(&ctx, std::size_t(data.size()), Bytes(data));
    QByteArray out(SHA512_DIGEST_SIZE, Qt::Uninitialized);
    sha512_digest(&ctx, SHA512_DIGEST_SIZE, Bytes(out));
    return out;
}

// AES-256-CBC over whole blocks, no padding.
QByteArray Aes256Cbc(QByteArrayView key, QByteArray iv, QByteArrayView data) {
    aes256_ctx ctx;
    aes256_set_encrypt_key(&ctx, Bytes(key));
    QByteArray out(data.size(), Qt::Uninitialized);
    cbc_aes256_encrypt(&ctx, Bytes(iv), std::size_t(data.size()), Bytes(out), Bytes(data));
    return out;
}

// The iterated hash of revision 6: SHA-256 of password, salt and user data, then rounds of
// AES-128-CBC over 64 copies of (password, K, user data) followed by SHA-256, -384 or -512
// chosen by the first 16 encrypted bytes modulo 3, at least 64 rounds and until the last
// encrypted byte is at most the round number minus 32.
QByteArray Hash2B(const QByteArray& password, const QByteArray& salt, const QByteArray& userData) {
    QByteArray k = Sha256(password + salt + userData);
    for (int round = 1;; ++round) {
        const QByteArray k1 = (password + k + userData).repeated(64);
        aes128_ctx ctx;
        aes128_set_encrypt_key(&ctx, Bytes(k));
        std::uint8_t iv[AES_BLOCK_SIZE];
        std::memcpy(iv, k.constData() + 16, AES_BLOCK_SIZE);
        QByteArray e(k1.size(), Qt::Uninitialized);
        cbc_aes128_encrypt(&ctx, iv, std::size_t(k1.size()), Bytes(e), Bytes(k1));
        unsigned sum = 0;
        for (int i = 0; i < 16; ++i) {
            sum += static_cast<unsigned char>(e[i]);
        }
        switch (sum % 3) {
        case 0:
            k = Sha256(e);
            break;
        case 1:
            k = Sha384(e);
            break;
        default:
            k = Sha512(e);
        }
        if (round >= 64 && static_cast<unsigned char>(e.back()) <= round - 32) {
            break;
        }
    }
    return k.left(32);
}

} // namespace

int TqdxPDFSecurity::PermissionValue(bool print, bool modify, bool copy, bool annotate) {
    return -64 + (print ? 4 : 0) + (modify ? 8 : 0) + (copy ? 16 : 0) + (annotate ? 32 : 0);
}

std::unique_ptr<TqdxPDFSecurity> TqdxPDFSecurity::Prepare(TqdxPDFEncryption method,
                                                          const QString& userPassword,
                                                          const QString& ownerPassword,
                                                          int permissions,
                                                          const QByteArray& documentId) {
    const QByteArray id = QByteArray::fromHex(documentId);
    if (documentId.size() != 32 || id.size() != 16 || id.toHex() != documentId.toLower()) {
        throw std::invalid_argument("the PDF document ID must be 32 hexadecimal digits");
    }
    // An empty owner password would open the file with every permission and no password at
    // all: it stands for the user password here too, whatever the caller did.
    const QString& owner = ownerPassword.isEmpty() ? userPassword : ownerPassword;
    std::unique_ptr<TqdxPDFSecurity> s(new TqdxPDFSecurity);
    s->m_method = method;
    s->m_p = permissions;

    if (method == TqdxPDFEncryption::AES_256) {
        const QByteArray user = Utf8Password(userPassword);
        const QByteArray ownerBytes = Utf8Password(owner);
        s->m_key = RandomBytes(32);
        const QByteArray salts = RandomBytes(32);
        const QByteArray zeroIv(AES_BLOCK_SIZE, '\0');
        const QByteArray userValidation = salts.mid(0, 8);
        const QByteArray userKeySalt = salts.mid(8, 8);
        const QByteArray ownerValidation = salts.mid(16, 8);
        const QByteArray ownerKeySalt = salts.mid(24, 8);

        s->m_u = Hash2B(user, userValidation, {}) + userValidation + userKeySalt;
        s->m_ue = Aes256Cbc(Hash2B(user, userKeySalt, {}), zeroIv, s->m_key);
        s->m_o = Hash2B(ownerBytes, ownerValidation, s->m_u) + ownerValidation + ownerKeySalt;
        s->m_oe = Aes256Cbc(Hash2B(ownerBytes, ownerKeySalt, s->m_u), zeroIv, s->m_key);

        // P, its sign extension to 64 bits, 'T' (metadata encrypted), "adb", 4 random bytes;
        // one AES-256 block (ECB) under the file key.
        const QByteArray perms =
            LittleEndian32(s->m_p) + QByteArray(4, '\xff') + "Tadb" + RandomBytes(4);
        s->m_perms = Aes256Cbc(s->m_key, zeroIv, perms);
        return s;
    }

    const QByteArray user = Padded(Latin1Password(userPassword));
    const QByteArray ownerBytes = Padded(Latin1Password(owner));

    s->m_o = Rc4Rounds(Md5Rounds(TqdxMD5::Digest(ownerBytes)), user);

    TqdxMD5 md5;
    md5.Update(user);
    md5.Update(s->m_o);
    md5.Update(LittleEndian32(s->m_p));
    md5.Update(id);
    s->m_key = Md5Rounds(md5.Final());

    md5.Update(kPadding);
    md5.Update(id);
    s->m_u = Rc4Rounds(s->m_key, md5.Final()) + QByteArray(16, '\0');
    return s;
}

QByteArray TqdxPDFSecurity::Encrypt(int objectNumber, QByteArrayView data) const {
    if (m_method == TqdxPDFEncryption::AES_256) {
        // A random IV in front; PKCS#5 padding of 1 to 16 bytes, each the padding's length.
        const qsizetype pad = AES_BLOCK_SIZE - data.size() % AES_BLOCK_SIZE;
        QByteArray plain = data.toByteArray();
        plain.append(pad, static_cast<char>(pad));
        const QByteArray iv = RandomBytes(AES_BLOCK_SIZE);
        return iv + Aes256Cbc(m_key, iv, plain);
    }
    // The object's key: MD5 of the file key, the number's three low bytes (low byte first)
    // and generation 0 as two zero bytes.
    const auto number = static_cast<std::uint32_t>(objectNumber);
    const char suffix[5] = {static_cast<char>(number & 0xff),
                            static_cast<char>((number >> 8) & 0xff),
                            static_cast<char>((number >> 16) & 0xff), 0, 0};
    TqdxMD5 md5;
    md5.Update(m_key);
    md5.Update(QByteArrayView(suffix, 5));
    return TqdxRC4(md5.Final()).Crypted(data);
}

QByteArray TqdxPDFSecurity::EncryptDictionary() const {
    const auto literal = [](const QByteArray& bytes) { return '(' + EscapeLiteral(bytes) + ')'; };
    QByteArray out = "/Encrypt <<\r\n/Filter /Standard\r\n";
    if (m_method == TqdxPDFEncryption::AES_256) {
        out += "/V 5\r\n/R 6\r\n/Length 256\r\n"
               "/CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >>\r\n"
               "/StmF /StdCF\r\n/StrF /StdCF\r\n";
    } else {
        out += "/V 2\r\n/R 3\r\n/Length 128\r\n";
    }
    out += "/P " + QByteArray::number(m_p) + "\r\n";
    out += "/O " + literal(m_o) + "\r\n";
    out += "/U " + literal(m_u) + "\r\n";
    if (m_method == TqdxPDFEncryption::AES_256) {
        out += "/OE " + literal(m_oe) + "\r\n";
        out += "/UE " + literal(m_ue) + "\r\n";
        out += "/Perms " + literal(m_perms) + "\r\n";
    }
    out += ">>\r\n";
    return out;
}

QByteArray NewDocumentId() {
    const QByteArray guid = QUuid::createUuid().toByteArray(QUuid::WithBraces).toUpper();
    return TqdxMD5::Digest(guid).toHex();
}

} // namespace zr::pdf
