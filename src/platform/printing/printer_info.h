#pragma once

// What the print system (CUPS) tells about one printer queue: its papers with their sizes and
// unprintable strips, its paper sources (bins), resolutions, two-sided printing and defaults.
// Every call asks the print system afresh; nothing here knows of reports.

#include <QList>
#include <QMarginsF>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace zr {

// One paper a printer takes. Sizes and strips are in millimetres with the paper upright
// (width <= height for the usual papers; the printer's own figures are kept as given).
struct PrinterPaper {
    QString key;        // the print system's name (a PWG media name such as "iso_a4_210x297mm",
                        // or a PPD PageSize keyword); what a job asks for
    QString name;       // for people ("A4"); the key when the printer gives no better one
    QSizeF sizeMm;      // width x height, upright
    QMarginsF marginsMm; // unprintable strips left, top, right, bottom, upright
};

// One paper source of a printer.
struct PrinterBin {
    QString key;  // the IPP media-source keyword ("tray-1", "manual", ...) or PPD InputSlot
    QString name; // for people; the key when the printer gives no better one
};

struct PrinterInfo {
    QString name;         // as asked for ("queue" or "queue/instance")
    bool exists = false;  // false: no such printer (every other field is empty)
    bool isDefault = false; // the system's default printer
    QList<PrinterPaper> papers;  // in the printer's order, no key twice
    int defaultPaper = -1;       // index into papers, -1 when the printer names none we know
    QList<PrinterBin> bins;      // "auto" (the printer's own choice) is not listed
    QString defaultBin;          // key, empty for the printer's own choice
    QList<int> resolutions;      // dots per inch (the horizontal figure of each), ascending
    int defaultResolution = 0;   // 0 when the printer gives none
    bool duplex = false;         // can print on both sides
    QString defaultSides;        // IPP "sides" default: "one-sided", "two-sided-long-edge",
                                 // "two-sided-short-edge"; empty when unknown
    int maxCopies = 1;           // the most copies the queue makes of a document itself
    bool raw = false;            // no filter: copies would be the whole document sent again
};

// Words for a PWG self-describing media name ("na_monarch_3.875x7.5in" gives
// "Monarch (98 × 191 mm)", "iso_a4_210x297mm" "A4 (210 × 297 mm)"), for a paper the print
// system has no words for; anything else comes back as it is.
QString paperNameFromKeyword(const QString& keyword);

// The queues of the print system (with instances as "queue/instance"), in its order.
QStringList printerNames();

// The system's default printer, empty when there is none.
QString defaultPrinterName();

// Everything known of one printer. A printer removed meanwhile gives exists == false; a queue
// that says nothing of its media (a raw queue) gives empty lists, never an error.
PrinterInfo printerInfo(const QString& name);

} // namespace zr
