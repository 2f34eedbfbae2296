#include "pdfwriter/pdf_format.h"
#include "pdfwriter/pdf_object_writer.h"
#include "pdfwriter/qdx_md5.h"
#include "pdfwriter/qdx_pdf_security.h"
#include "pdfwriter/qdx_rc4.h"

#include "temp_dir.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>

using namespace zr::pdf;

namespace {

QByteArray md5Hex(QByteArrayView data) {
    return TqdxMD5::Digest(data).toHex();
}

// ---- MD5 and RC4 against the published vectors --------------------------------------------

TEST(TqdxMD5Test, Rfc1321Suite) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Hex(QByteArray("1234567890").repeated(8)), "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(md5Hex(QByteArray(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

// Lengths around the block and padding boundaries, fed in uneven pieces, give the one-shot
// digest; and Final() starts a new message.
TEST(TqdxMD5Test, IncrementalMatchesOneShot) {
    QByteArray message;
    for (int i = 0; i < 200; ++i) {
        message += char(i * 7 + 3);
    }
    for (const qsizetype length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 200}) {
        const QByteArray part = message.left(length);
        TqdxMD5 md5;
        for (qsizetype pos = 0, step = 1; pos < part.size(); pos += step, step = step * 3 % 17) {
            md5.Update(QByteArrayView(part).sliced(pos, qMin(step, part.size() - pos)));
        }
        md5.Update({});
        EXPECT_EQ(md5.Final(), TqdxMD5::Digest(part)) << "length " << length;
        md5.Update("abc");
        EXPECT_EQ(md5.Final().toHex(), "900150983cd24fb0d6963f7d28e17f72");
    }
}

// RFC 6229: the key stream at offsets 0, 16, 240, 256, 1520, 1536, 4080 and 4096.
TEST(TqdxRC4Test, Rfc6229KeyStreams) {
    struct Vector {
        const char* key;
        int offset;
        const char* stream;
    };
    const Vector vectors[] = {
        {"0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8"},
        {"0102030405", 16, "6982944f18fc82d589c403a47a0d0919"},
        {"0102030405", 240, "28cb1132c96ce286421dcaadb8b69eae"},
        {"0102030405", 256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
        {"0102030405", 1520, "3294f744d8f9790507e70f62e5bbceea"},
        {"0102030405", 1536, "d8729db41882259bee4f825325f5a130"},
        {"0102030405", 4080, "068326a2118416d21f9d04b2cd1ca050"},
        {"0102030405", 4096, "ff25b58995996707e51fbdf08b34d875"},
        {"0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
        {"0102030405060708090a0b0c0d0e0f10", 16, "5248c4959014126a6e8a84f11d1a9e1c"},
        {"0102030405060708090a0b0c0d0e0f10", 240, "065902e4b620f6cc36c8589f66432f2b"},
        {"0102030405060708090a0b0c0d0e0f10", 256, "d39d566bc6bce3010768151549f3873f"},
        {"0102030405060708090a0b0c0d0e0f10", 1520, "b40110c4190b5622a96116b0017ed297"},
        {"0102030405060708090a0b0c0d0e0f10", 1536, "ffa0b514647ec04f6306b892ae661181"},
        {"0102030405060708090a0b0c0d0e0f10", 4080, "ff38265c1642c1abe8d3c2fe5e572bf8"},
        {"0102030405060708090a0b0c0d0e0f10", 4096, "a36a4c301ae8ac13610ccbc12256cacc"},
    };
    for (const Vector& v : vectors) {
        TqdxRC4 rc4(QByteArray::fromHex(v.key));
        QByteArray skipped(v.offset, '\0');
        rc4.Crypt(skipped); // the key stream moves on across calls
        EXPECT_EQ(rc4.Crypted(QByteArray(16, '\0')).toHex(), v.stream)
            << v.key << " at " << v.offset;
    }
    // Decrypting is encrypting again with a fresh state.
    const QByteArray text = "Attack at dawn";
    const QByteArray secret = TqdxRC4("Secret").Crypted(text);
    EXPECT_EQ(secret.toHex(), "45a01f645fc35b383552544b9bf5");
    EXPECT_EQ(TqdxRC4("Secret").Crypted(secret), text);
    EXPECT_EQ(TqdxRC4({}).Crypted({}), QByteArray()); // empty key and data: no fault
}

// ---- The handler's values -----------------------------------------------------------------

const QByteArray kId = "0123456789abcdef0123456789abcdef";

QList<QByteArray> dictionaryLines(const TqdxPDFSecurity& s) {
    QByteArray dict = s.EncryptDictionary();
    EXPECT_TRUE(dict.endsWith(">>\r\n"));
    QList<QByteArray> lines = dict.split('\n');
    lines.removeLast();
    for (QByteArray& l : lines) {
        EXPECT_TRUE(l.endsWith('\r'));
        l.chop(1);
    }
    return lines;
}

TEST(TqdxPDFSecurityTest, Rc4ValuesAndDictionary) {
    EXPECT_EQ(TqdxPDFSecurity::PermissionValue(true, true, true, true), -4);
    EXPECT_EQ(TqdxPDFSecurity::PermissionValue(false, true, false, true), -24);
    const auto s =
        TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, "user", "owner",
                                 TqdxPDFSecurity::PermissionValue(false, false, false, false), kId);
    EXPECT_EQ(s->P(), -64);
    EXPECT_EQ(s->O().size(), 32);
    EXPECT_EQ(s->Key().size(), 16);
    ASSERT_EQ(s->U().size(), 32);
    EXPECT_EQ(s->U().mid(16), QByteArray(16, '\0'));
    const QList<QByteArray> lines = dictionaryLines(*s);
    const QList<QByteArray> expected = {"/Encrypt <<",
                                        "/Filter /Standard",
                                        "/V 2",
                                        "/R 3",
                                        "/Length 128",
                                        "/P -64",
                                        "/O (" + EscapeLiteral(s->O()) + ")",
                                        "/U (" + EscapeLiteral(s->U()) + ")",
                                        ">>"};
    EXPECT_EQ(lines, expected);

    // O depends on the passwords only; the key and U also on P and the ID.
    const auto other = TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, "user", "owner", -4,
                                                "fedcba9876543210fedcba9876543210");
    EXPECT_EQ(other->O(), s->O());
    EXPECT_NE(other->Key(), s->Key());
    EXPECT_NE(other->U(), s->U());

    // RC4 keeps the length; each object has its own key; the same object gives the same bytes.
    const QByteArray data = "(text) \\ with\r\nbreaks";
    EXPECT_EQ(s->Encrypt(7, data).size(), data.size());
    EXPECT_EQ(s->Encrypt(7, data), s->Encrypt(7, data));
    EXPECT_NE(s->Encrypt(7, data), s->Encrypt(8, data));
    // Only the three low bytes of the number enter the key.
    EXPECT_EQ(s->Encrypt(7, data), s->Encrypt(7 + (1 << 24), data));
    EXPECT_NE(s->Encrypt(7, data), s->Encrypt(7 + (1 << 16), data));
}

TEST(TqdxPDFSecurityTest, Rc4PasswordsAreCutAndLatin1) {
    const QString longPassword = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz");
    const auto cut = TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, longPassword.left(32),
                                              longPassword.left(32), -4, kId);
    const auto full =
        TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, longPassword, longPassword, -4, kId);
    EXPECT_EQ(full->O(), cut->O());
    EXPECT_EQ(full->Key(), cut->Key());
    EXPECT_EQ(full->U(), cut->U());

    // Latin-1 accents are fine; anything above U+00FF is refused with the message to show.
    EXPECT_NO_THROW(TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, QStringLiteral("açúcar"),
                                             QStringLiteral("ÿ"), -4, kId));
    for (const QString& bad :
         {QStringLiteral("пароль"), QStringLiteral("a€"), QStringLiteral("x\U0001F600")}) {
        try {
            TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, bad, "owner", -4, kId);
            ADD_FAILURE() << "accepted " << bad.toStdString();
        } catch (const TqdxPDFPasswordError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains("Latin-1")) << e.what();
        }
        EXPECT_THROW(TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, "user", bad, -4, kId),
                     TqdxPDFPasswordError);
    }
    EXPECT_THROW(TqdxPDFSecurity::Prepare(TqdxPDFEncryption::RC4_128, "u", "o", -4, "12345"),
                 std::invalid_argument);
    EXPECT_THROW(TqdxPDFSecurity::Prepare(TqdxPDFEncryption::AES_256, "u", "o", -4,
                                          "0123456789abcdef0123456789abcdeg"),
                 std::invalid_argument);
}

TEST(TqdxPDFSecurityTest, Aes256ValuesAndDictionary) {
    const auto s = TqdxPDFSecurity::Prepare(TqdxPDFEncryption::AES_256, QStringLiteral("пароль"),
                                            QStringLiteral("密码"), -3904, kId);
    EXPECT_EQ(s->Key().size(), 32);
    EXPECT_EQ(s->U().size(), 48);
    EXPECT_EQ(s->O().size(), 48);
    const QList<QByteArray> lines = dictionaryLines(*s);
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(
        lines.mid(0, 9),
        (QList<QByteArray>{"/Encrypt <<", "/Filter /Standard", "/V 5", "/R 6", "/Length 256",
                           "/CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >>",
                           "/StmF /StdCF", "/StrF /StdCF", "/P -3904"}));
    EXPECT_EQ(lines[9], "/O (" + EscapeLiteral(s->O()) + ")");
    EXPECT_EQ(lines[10], "/U (" + EscapeLiteral(s->U()) + ")");
    EXPECT_TRUE(lines[11].startsWith("/OE ("));
    EXPECT_TRUE(lines[12].startsWith("/UE ("));
    EXPECT_TRUE(lines[13].startsWith("/Perms ("));
    EXPECT_EQ(lines[14], ">>");

    // A random IV in front and 1 to 16 bytes of padding: the length grows to whole blocks.
    EXPECT_EQ(s->Encrypt(3, {}).size(), 32);
    EXPECT_EQ(s->Encrypt(3, QByteArray(15, 'x')).size(), 32);
    EXPECT_EQ(s->Encrypt(3, QByteArray(16, 'x')).size(), 48);
    EXPECT_NE(s->Encrypt(3, "same"), s->Encrypt(3, "same"));

    // Fresh salts and key each time.
    const auto again = TqdxPDFSecurity::Prepare(
        TqdxPDFEncryption::AES_256, QStringLiteral("пароль"), QStringLiteral("密码"), -4, kId);
    EXPECT_NE(again->Key(), s->Key());
    EXPECT_NE(again->U(), s->U());
}

TEST(TqdxPDFSecurityTest, Aes256RefusesWhatSaslPrepRejects) {
    // A control character, an unpaired surrogate, U+0000, a password SASLprep maps to nothing
    // (soft hyphens: the file would silently have none), Latin next to Hebrew.
    for (const QString& bad : {QStringLiteral("abc\u0007"), QString(QChar(0xD800)) + "x",
                               QStringLiteral("a") + QChar(0) + "b", QStringLiteral("\u00ad\u00ad"),
                               QStringLiteral("a\u05d0")}) {
        try {
            TqdxPDFSecurity::Prepare(TqdxPDFEncryption::AES_256, bad, "owner", -4, kId);
            ADD_FAILURE() << "accepted a password SASLprep rejects";
        } catch (const TqdxPDFPasswordError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains("senha")) << e.what();
        }
    }
}

TEST(TqdxPDFSecurityTest, DocumentId) {
    const QByteArray a = NewDocumentId();
    const QByteArray b = NewDocumentId();
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{32}$").match(QString::fromLatin1(a)).hasMatch())
        << a.constData();
    EXPECT_NE(a, b);
}

// ---- Whole files checked by real readers ---------------------------------------------------

bool haveTool(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

struct RunResult {
    int exitCode = -1;
    QString output; // standard output and error together
};

RunResult run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    RunResult result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

const char* const kPageText = "Hello protected world";
const QString kTitle = QStringLiteral("Relatório (secreto) \\ 2026");

// A small complete PDF: page tree, catalog, a Helvetica font, a compressed content stream, an
// information dictionary with an encrypted title. 300 filler objects push the content stream
// and the information dictionary past object 256, so that the second byte of the number
// enters their keys.
void writePdf(const QString& path, const TqdxPDFSecurity& security, const QByteArray& id,
              QByteArrayView header) {
    PdfObjectWriter w;
    ASSERT_TRUE(w.open(path));
    w.line(header);
    w.line("%\xE2\xE3\xCF\xD3");
    const int pages = w.reserve();
    const int catalog = w.beginObject();
    w.line("<< /Type /Catalog /Pages " + QByteArray::number(pages) + " 0 R >>");
    w.endObject();
    const int font = w.beginObject();
    w.line("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    w.endObject();
    for (int i = 0; i < 300; ++i) {
        w.beginObject();
        w.line("null");
        w.endObject();
    }
    const QByteArray content =
        Deflate(QByteArray("BT /F1 18 Tf 72 700 Td (") + kPageText + ") Tj ET\n");
    const int stream = w.beginObject();
    const QByteArray encrypted = security.Encrypt(stream, content);
    w.line("<< /Length " + QByteArray::number(encrypted.size()) + " /Filter /FlateDecode >>");
    w.line("stream");
    w.raw(encrypted);
    w.line("");
    w.line("endstream");
    w.endObject();
    const int page = w.beginObject();
    w.line("<< /Type /Page /Parent " + QByteArray::number(pages) +
           " 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 " + QByteArray::number(font) +
           " 0 R >> >> /Contents " + QByteArray::number(stream) + " 0 R >>");
    w.endObject();
    w.beginReserved(pages);
    w.line("<< /Type /Pages /Kids [" + QByteArray::number(page) + " 0 R] /Count 1 >>");
    w.endObject();
    const int info = w.beginObject();
    w.line("<< /Title " + TextString(kTitle, &security, info) + " /CreationDate " +
           LiteralString("D:20260101120000", &security, info) + " >>");
    w.endObject();
    w.beginTrailer();
    w.line("/Root " + QByteArray::number(catalog) + " 0 R");
    w.line("/Info " + QByteArray::number(info) + " 0 R");
    w.line("/ID [<" + id + "><" + id + ">]");
    w.raw(security.EncryptDictionary());
    w.finishTrailer();
    ASSERT_TRUE(w.commit());
}

class EncryptedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveTool("qpdf") || !haveTool("pdftotext")) {
            GTEST_SKIP() << "qpdf or pdftotext (poppler-utils) is not installed";
        }
    }

    QString make(TqdxPDFEncryption method, const QString& user, const QString& owner,
                 int permissions) {
        const QByteArray id = NewDocumentId();
        const auto security = TqdxPDFSecurity::Prepare(method, user, owner, permissions, id);
        const QString path = m_dir.path(QStringLiteral("doc%1.pdf").arg(++m_count));
        writePdf(path, *security, id,
                 method == TqdxPDFEncryption::AES_256 ? "%PDF-2.0" : "%PDF-1.5");
        return path;
    }

    // qpdf --check with the password passes with no warning.
    static void expectClean(const QString& path, const QString& password) {
        const RunResult r = run("qpdf", {"--check", "--password=" + password, path});
        EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
        EXPECT_FALSE(r.output.contains("WARNING", Qt::CaseInsensitive)) << r.output.toStdString();
    }

    static void expectRefused(const QString& path, const QString& password) {
        const RunResult r = run("qpdf", {"--check", "--password=" + password, path});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(r.output.contains("invalid password")) << r.output.toStdString();
    }

    static QString encryption(const QString& path, const QString& password) {
        const RunResult r = run("qpdf", {"--show-encryption", "--password=" + password, path});
        EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
        return r.output;
    }

    static void expectText(const QString& path, const QString& userPassword) {
        const RunResult r = run("pdftotext", {"-upw", userPassword, path, "-"});
        EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
        EXPECT_TRUE(r.output.contains(kPageText)) << r.output.toStdString();
        if (haveTool("pdfinfo")) {
            const RunResult info = run("pdfinfo", {"-upw", userPassword, path});
            EXPECT_TRUE(info.output.contains(kTitle)) << info.output.toStdString();
        }
    }

    zr::test::TempDir m_dir;
    int m_count = 0;
};

TEST_F(EncryptedFileTest, Rc4UserPasswordOnly) {
    const QString path = make(TqdxPDFEncryption::RC4_128, "segredo", {},
                              TqdxPDFSecurity::PermissionValue(true, true, true, true));
    expectClean(path, "segredo");
    expectRefused(path, "");
    expectRefused(path, "errado");
    expectText(path, "segredo");
    // The owner password became the user's: the same text gives full rights.
    const QString shown = encryption(path, "segredo");
    EXPECT_TRUE(shown.contains("R = 3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("P = -4")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Supplied password is owner password")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("print low resolution: allowed")) << shown.toStdString();
}

TEST_F(EncryptedFileTest, Rc4OwnerPasswordOnlyOpensWithRestrictions) {
    const QString path = make(TqdxPDFEncryption::RC4_128, {}, "dono",
                              TqdxPDFSecurity::PermissionValue(false, false, true, false));
    expectClean(path, "");
    expectText(path, "");
    const QString restricted = encryption(path, "");
    EXPECT_TRUE(restricted.contains("P = -48")) << restricted.toStdString();
    EXPECT_TRUE(restricted.contains("print low resolution: not allowed"))
        << restricted.toStdString();
    EXPECT_TRUE(restricted.contains("modify other: not allowed")) << restricted.toStdString();
    EXPECT_TRUE(restricted.contains("extract for any purpose: allowed"))
        << restricted.toStdString();
    EXPECT_TRUE(encryption(path, "dono").contains("Supplied password is owner password"));
}

TEST_F(EncryptedFileTest, Rc4NoPermissionsLongAndLatin1Passwords) {
    // More than 32 bytes: only the first 32 count.
    const QString longPassword = QStringLiteral("uma senha bem comprida com mais de 32 bytes");
    const QString path = make(TqdxPDFEncryption::RC4_128, longPassword, QStringLiteral("açúcar"),
                              TqdxPDFSecurity::PermissionValue(false, false, false, false));
    expectClean(path, longPassword.left(32));
    expectText(path, longPassword.left(32));
    const QString shown = encryption(path, longPassword);
    EXPECT_TRUE(shown.contains("P = -64")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("print low resolution: not allowed")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("extract for any purpose: not allowed")) << shown.toStdString();
    // A Latin-1 owner password: qpdf turns the UTF-8 it is given into the file's bytes.
    EXPECT_TRUE(
        encryption(path, QStringLiteral("açúcar")).contains("Supplied password is owner password"));
}

TEST_F(EncryptedFileTest, Aes256WithNonAsciiPasswords) {
    const QString path =
        make(TqdxPDFEncryption::AES_256, QStringLiteral("пароль"), QStringLiteral("密码"),
             TqdxPDFSecurity::PermissionValue(false, true, true, true));
    expectClean(path, QStringLiteral("пароль"));
    expectClean(path, QStringLiteral("密码"));
    expectRefused(path, "");
    expectRefused(path, "senha");
    expectText(path, QStringLiteral("пароль"));
    const QString shown = encryption(path, QStringLiteral("密码"));
    EXPECT_TRUE(shown.contains("R = 6")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("stream encryption method: AESv3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("string encryption method: AESv3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Supplied password is owner password")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("print low resolution: not allowed")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("modify other: allowed")) << shown.toStdString();
}

TEST_F(EncryptedFileTest, Aes256OwnerOnlyAndPreparedPasswords) {
    // SASLprep maps U+2168 (roman numeral nine) to "IX" and a no-break space to a space; the
    // file opens with what a reader gets from the prepared form. Past 127 bytes nothing counts.
    const QString owner = QStringLiteral("Ⅸ\u00a0") + QString(150, QChar('z'));
    const QString path = make(TqdxPDFEncryption::AES_256, {}, owner,
                              TqdxPDFSecurity::PermissionValue(true, false, false, false));
    expectClean(path, "");
    expectText(path, "");
    const QString restricted = encryption(path, "");
    EXPECT_TRUE(restricted.contains("R = 6")) << restricted.toStdString();
    EXPECT_TRUE(restricted.contains("modify other: not allowed")) << restricted.toStdString();
    const QString prepared = QStringLiteral("IX ") + QString(124, QChar('z')); // 127 bytes
    EXPECT_TRUE(encryption(path, prepared).contains("Supplied password is owner password"));
}

} // namespace
