#pragma once

// The value of one hexadecimal digit, either case; -1 for any other character. The report
// files keep binary properties and colours as hexadecimal text.

namespace zr::text {

constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace zr::text
