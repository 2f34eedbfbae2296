#include "pdf_format.h"

#include "pdf_object_writer.h"

#include <cmath>
#include <cstdio>

namespace zr::pdf {

QByteArray Num2(double value) {
    if (!std::isfinite(value)) {
        return "0";
    }
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        const auto whole = static_cast<long long>(value);
        return QByteArray::number(whole);
    }
    if (std::fabs(value) < 1e15) {
        // Hundredths rounded half away from zero, as the decimal form of the binary value
        // rounds: the product is exact in the 64-bit significand of long double.
        const auto hundredths = static_cast<unsigned long long>(
            std::roundl(std::fabs(static_cast<long double>(value) * 100.0L)));
        char text[32];
        char* end = text + sizeof text;
        char* p = end;
        unsigned long long rest = hundredths;
        *--p = char('0' + rest % 10);
        rest /= 10;
        *--p = char('0' + rest % 10);
        rest /= 10;
        *--p = '.';
        do {
            *--p = char('0' + rest % 10);
            rest /= 10;
        } while (rest > 0);
        if (value < 0 && hundredths > 0) {
            *--p = '-';
        }
        return QByteArray(p, end - p);
    }
    // QByteArray::number ignores the process locale: always a period.
    QByteArray out = QByteArray::number(value, 'f', 2);
    if (out == "-0.00") {
        return "0.00";
    }
    return out;
}

QByteArray EscapeLiteral(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '(':
        case ')':
        case '\\':
            out += '\\';
            out += c;
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray LiteralString(QByteArrayView bytes, const PdfEncryptor* encryptor, int objectNumber) {
    if (encryptor) {
        return '(' + EscapeLiteral(encryptor->Encrypt(objectNumber, bytes)) + ')';
    }
    return '(' + EscapeLiteral(bytes) + ')';
}

QByteArray TextString(const QString& text, const PdfEncryptor* encryptor, int objectNumber) {
    if (encryptor) {
        QByteArray units("\xfe\xff", 2);
        for (const QChar c : text) {
            units += char(c.unicode() >> 8);
            units += char(c.unicode() & 0xff);
        }
        return '(' + EscapeLiteral(encryptor->Encrypt(objectNumber, units)) + ')';
    }
    QByteArray out = "<FEFF";
    char hex[8];
    for (const QChar c : text) {
        std::snprintf(hex, sizeof hex, "%04X", unsigned(c.unicode()));
        out += hex;
    }
    out += '>';
    return out;
}

} // namespace zr::pdf
