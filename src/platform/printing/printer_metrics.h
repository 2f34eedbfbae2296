#pragma once

namespace zr {

// What a printer's page looks like to a program, in device pixels: the physical paper, the
// printable area inside it and the resolution.
struct PrinterMetrics {
    int offsetLeft = 0;   // physical left offset (unprintable strip on the left)
    int offsetTop = 0;    // physical top offset
    int offsetRight = 0;  // physical width - left offset - printable width
    int offsetBottom = 0; // physical height - top offset - printable height
    int physicalHeight = 0;
    int physicalWidth = 0;
    int printableHeight = 0;
    int printableWidth = 0;
    int dpiX = 0;
    int dpiY = 0;

    bool operator==(const PrinterMetrics&) const = default;
};

} // namespace zr
