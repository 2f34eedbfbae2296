#include "code_page_conversion.h"

#include "codepages.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <string>
#include <vector>

namespace zr::codepages {

namespace {

const char* iconvName(unsigned codePage) {
    switch (codePage) {
    case 874:
        return "CP874";
    case 932:
        return "CP932";
    case 936:
        return "GBK";
    case 949:
        return "CP949";
    case 950:
        return "BIG5";
    case 1250:
        return "CP1250";
    case 1251:
        return "CP1251";
    case 1253:
        return "CP1253";
    case 1254:
        return "CP1254";
    case 1255:
        return "CP1255";
    case 1256:
        return "CP1256";
    case 1257:
        return "CP1257";
    case 1258:
        return "CP1258";
    case 1361:
        return "JOHAB";
    case kCodePageOem:
    case 850:
        return "CP850";
    case kCodePageMac:
    case 10000:
        return "MACINTOSH";
    default:
        return nullptr;
    }
}

// One conversion through iconv. Input the target cannot take is replaced: the offending unit is
// skipped and `replacement` (already in the target encoding) written instead.
QByteArray convert(const char* to, const char* from, QByteArrayView input,
                   QByteArrayView replacement, qsizetype unit) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("No converter from ") + from + " to " + to);
    }
    QByteArray out;
    out.resize(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = static_cast<size_t>(input.size());
    char* dst = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = static_cast<size_t>(out.size() - used);
            continue;
        }
        // An invalid or incomplete sequence: replace one unit and go on.
        const size_t skip = std::min(inLeft, static_cast<size_t>(unit));
        in += skip;
        inLeft -= skip;
        if (outLeft < static_cast<size_t>(replacement.size())) {
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2 + replacement.size());
            dst = out.data() + used;
            outLeft = static_cast<size_t>(out.size() - used);
        }
        std::copy(replacement.begin(), replacement.end(), dst);
        dst += replacement.size();
        outLeft -= static_cast<size_t>(replacement.size());
    }
    iconv_close(cd);
    out.truncate(dst - out.data());
    return out;
}

} // namespace

UnsupportedCodePage::UnsupportedCodePage(unsigned codePage)
    : std::runtime_error("Unsupported code page " + std::to_string(codePage)),
      m_codePage(codePage) {}

QString toUnicode(unsigned codePage, QByteArrayView bytes) {
    switch (codePage) {
    case kCodePageAnsi:
        return fromCp1252(bytes);
    case kCodePageOem:
    case 850:
        return fromCp850(bytes);
    case kCodePageUtf8:
        return QString::fromUtf8(bytes);
    case 28591:
        return QString::fromLatin1(bytes);
    default:
        break;
    }
    const char* name = iconvName(codePage);
    if (name == nullptr) {
        throw UnsupportedCodePage(codePage);
    }
    // U+FFFD in UTF-16LE.
    static const char kReplacement[] = {'\xFD', '\xFF'};
    const QByteArray utf16 = convert("UTF-16LE", name, bytes, QByteArrayView(kReplacement, 2), 1);
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
}

QByteArray fromUnicode(unsigned codePage, QStringView text) {
    switch (codePage) {
    case kCodePageAnsi:
        return toCp1252(text);
    case kCodePageUtf8:
        return text.toUtf8();
    case 28591:
        return text.toLatin1();
    default:
        break;
    }
    const char* name = iconvName(codePage);
    if (name == nullptr) {
        throw UnsupportedCodePage(codePage);
    }
    const QByteArrayView utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return convert(name, "UTF-16LE", utf16, "?", 2);
}

} // namespace zr::codepages
