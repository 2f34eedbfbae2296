#pragma once

// TqdxPDFSecurity: the standard security handler of the PDF export. Revision 3 (RC4 with a
// 128-bit key, MD5-derived O and U values and per-object keys) is the default; revision 6
// (AES-256, SHA-2 hashes, UTF-8 passwords prepared with SASLprep) is the stronger choice.

#include "pdf_object_writer.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <stdexcept>

namespace zr::pdf {

enum class TqdxPDFEncryption { RC4_128, AES_256 };

// A password that the chosen method cannot take (for RC4: a character outside Latin-1). The
// message is the program's Portuguese text, ready to show.
class TqdxPDFPasswordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TqdxPDFSecurity final : public PdfEncryptor {
public:
    // P from the four permissions: -64 plus 4 (print), 8 (modify), 16 (copy), 32 (annotate).
    static int PermissionValue(bool print, bool modify, bool copy, bool annotate);

    // Computes the security values of one document. `documentId` is the document ID as its 32
    // hexadecimal digits (std::invalid_argument otherwise); only RC4 mixes it into the key. An
    // empty owner password stands for the user password (the export also keeps that value in
    // its property). RC4 takes the passwords as Latin-1 bytes cut to 32; AES-256 as UTF-8
    // after SASLprep, cut to 127 bytes, with a fresh random file key and salts. Throws
    // TqdxPDFPasswordError for a password the method cannot take (RC4: a character above U+00FF;
    // AES-256: one SASLprep prohibits).
    static std::unique_ptr<TqdxPDFSecurity> Prepare(TqdxPDFEncryption method,
                                                    const QString& userPassword,
                                                    const QString& ownerPassword, int permissions,
                                                    const QByteArray& documentId);

    // The bytes of a string or stream of object `objectNumber`, encrypted. RC4 keeps the length
    // (the object's own key); AES-256 puts a random 16-byte IV in front and pads to whole
    // blocks (PKCS#5), so the result is 17 to 32 bytes longer.
    QByteArray Encrypt(int objectNumber, QByteArrayView data) const override;

    // The trailer's encryption dictionary: "/Encrypt <<" ... ">>", each line ending in CR LF;
    // O, U (and OE, UE, Perms) as escaped literal strings. A file with the AES-256 handler is
    // a PDF 2.0 file: its header must read "%PDF-2.0" (or "%PDF-1.7" with the catalog entry
    // /Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>).
    QByteArray EncryptDictionary() const;

    TqdxPDFEncryption Method() const { return m_method; }
    int P() const { return m_p; }
    const QByteArray& O() const { return m_o; }
    const QByteArray& U() const { return m_u; }
    const QByteArray& Key() const { return m_key; }

private:
    TqdxPDFSecurity() = default;
    TqdxPDFEncryption m_method = TqdxPDFEncryption::RC4_128;
    int m_p = -4;
    QByteArray m_o;
    QByteArray m_u;
    QByteArray m_key;
    QByteArray m_oe;    // AES-256 only
    QByteArray m_ue;    // AES-256 only
    QByteArray m_perms; // AES-256 only
};

// A new document ID: the MD5 digest of a fresh GUID's registry text (braces, upper-case
// hexadecimal groups 8-4-4-4-12), as 32 lower-case hexadecimal digits.
QByteArray NewDocumentId();

} // namespace zr::pdf
