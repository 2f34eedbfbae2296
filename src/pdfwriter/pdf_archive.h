#pragma once

// The archival parts of a PDF/A-2 file that do not depend on what is drawn: the dates of the
// information dictionary and of the XMP metadata, the XMP metadata packet itself, and the sRGB
// ICC profile of the output intent. Both report kinds write them through these functions, so
// their archival files agree.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace zr::pdf {

// What the XMP metadata says; each text must equal the information dictionary's value of the
// same name (an empty one is left out of both).
struct PdfArchiveInfo {
    QString title;     // /Title, dc:title
    QString author;    // /Author, dc:creator
    QString subject;   // /Subject, dc:description
    QString keywords;  // /Keywords, pdf:Keywords
    QString creator;   // /Creator, xmp:CreatorTool
    QString producer;  // /Producer, pdf:Producer
    QDateTime created; // /CreationDate and /ModDate, xmp:CreateDate and xmp:ModifyDate
    // What the file claims to be: an archival PDF/A-2 file of conformance 'A' (accessible:
    // tagged, Unicode for every glyph) or 'B'; and a PDF/UA-1 file.
    bool archival = true;
    char conformance = 'B';
    bool universal = false;
};

// A date as the information dictionary writes it, with the time zone of `when` (its offset
// from UTC): "D:YYYYMMDDHHmmSS+HH'mm'", or "...Z" at UTC. Seconds, no fractions.
QByteArray PdfDateWithZone(const QDateTime& when);

// The same instant in XMP's form: "YYYY-MM-DDTHH:mm:SS+HH:MM" (or "Z").
QByteArray XmpDate(const QDateTime& when);

// The XMP packet of a PDF/A-2 file (pdfaid:part 2, pdfaid:conformance as `info` says) and of a
// PDF/UA-1 file (pdfuaid:part 1, described by an extension schema when the file is archival too)
// with the values of `info`, in UTF-8, inside an xpacket wrapper marked read-only. Characters
// XML cannot hold (controls) are left out; markup characters are escaped.
QByteArray XmpMetadata(const PdfArchiveInfo& info);

// An ICC version 2 display profile of sRGB (D50-adapted primaries, the sRGB tone curve as a
// table, D50 white point), built from the published values. The same bytes every call.
QByteArray SrgbIccProfile();

// The output intent dictionary's body (without "N 0 obj"), each line ending in CR LF:
// /GTS_PDFA1 with the given ICC profile stream object as DestOutputProfile.
QByteArray OutputIntentDictionary(int iccObject);

} // namespace zr::pdf
