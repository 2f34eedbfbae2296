#include "pdf_archive.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zr::pdf {

namespace {

// The offset from UTC of `when`, in minutes, and the date and time as shown there.
struct ZonedTime {
    QDateTime local;
    int offsetMinutes = 0;
};

ZonedTime zoned(const QDateTime& when) {
    const QDateTime w = when.isValid() ? when : QDateTime::currentDateTime();
    return {w, w.offsetFromUtc() / 60};
}

QByteArray stamp(const QDateTime& w, const char* format) {
    const QDate d = w.date();
    const QTime t = w.time();
    char buf[48];
    const int n = std::snprintf(buf, sizeof buf, format, std::clamp(d.year(), 0, 9999), d.month(),
                                d.day(), t.hour(), t.minute(), t.second());
    return QByteArray(buf, n);
}

QByteArray zone(int minutes, bool xmp) {
    if (minutes == 0) {
        return "Z";
    }
    const int a = std::abs(minutes);
    char buf[16];
    const int n =
        xmp ? std::snprintf(buf, sizeof buf, "%c%02d:%02d", minutes < 0 ? '-' : '+', a / 60, a % 60)
            : std::snprintf(buf, sizeof buf, "%c%02d'%02d'", minutes < 0 ? '-' : '+', a / 60,
                            a % 60);
    return QByteArray(buf, n);
}

QByteArray xmlText(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') {
            continue;
        }
        if (u == 0xFFFE || u == 0xFFFF) {
            continue;
        }
        clean += c;
    }
    return clean.toHtmlEscaped().toUtf8();
}

// An s15Fixed16Number, big-endian.
void putFixed(QByteArray& out, double v) {
    const auto n = static_cast<std::int32_t>(std::lround(v * 65536.0));
    const auto u = static_cast<std::uint32_t>(n);
    out += char(u >> 24);
    out += char((u >> 16) & 0xFF);
    out += char((u >> 8) & 0xFF);
    out += char(u & 0xFF);
}

void putU32(QByteArray& out, std::uint32_t v) {
    out += char(v >> 24);
    out += char((v >> 16) & 0xFF);
    out += char((v >> 8) & 0xFF);
    out += char(v & 0xFF);
}

void putU16(QByteArray& out, std::uint16_t v) {
    out += char(v >> 8);
    out += char(v & 0xFF);
}

void setU32(QByteArray& out, qsizetype at, std::uint32_t v) {
    out[at] = char(v >> 24);
    out[at + 1] = char((v >> 16) & 0xFF);
    out[at + 2] = char((v >> 8) & 0xFF);
    out[at + 3] = char(v & 0xFF);
}

QByteArray xyzTag(double x, double y, double z) {
    QByteArray t("XYZ \0\0\0\0", 8);
    putFixed(t, x);
    putFixed(t, y);
    putFixed(t, z);
    return t;
}

QByteArray toneCurveTag() {
    // The sRGB transfer function sampled at 1024 points.
    constexpr int kPoints = 1024;
    QByteArray t("curv\0\0\0\0", 8);
    putU32(t, kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const double v = double(i) / (kPoints - 1);
        const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        putU16(t, static_cast<std::uint16_t>(std::lround(linear * 65535.0)));
    }
    return t;
}

QByteArray descriptionTag(const QByteArray& ascii) {
    QByteArray t("desc\0\0\0\0", 8);
    putU32(t, std::uint32_t(ascii.size() + 1));
    t += ascii;
    t += '\0';
    putU32(t, 0); // Unicode language code
    putU32(t, 0); // Unicode count
    putU16(t, 0); // ScriptCode code
    t += char(0); // ScriptCode count
    t += QByteArray(67, '\0');
    return t;
}

QByteArray textTag(const QByteArray& ascii) {
    QByteArray t("text\0\0\0\0", 8);
    t += ascii;
    t += '\0';
    return t;
}

QByteArray buildSrgb() {
    struct Tag {
        const char* signature;
        QByteArray data;
    };
    const QByteArray curve = toneCurveTag();
    // sRGB's primaries (ITU-R BT.709) adapted to D50 with the Bradford transform.
    const std::array<Tag, 9> tags = {{
        {"desc", descriptionTag("sRGB (IEC 61966-2-1)")},
        {"cprt", textTag("No copyright, use freely")},
        {"wtpt", xyzTag(0.9642, 1.0, 0.8249)},
        {"rXYZ", xyzTag(0.4361, 0.2225, 0.0139)},
        {"gXYZ", xyzTag(0.3851, 0.7169, 0.0971)},
        {"bXYZ", xyzTag(0.1431, 0.0606, 0.7141)},
        {"rTRC", curve},
        {"gTRC", curve},
        {"bTRC", curve},
    }};
    QByteArray header(128, '\0');
    header.replace(8, 4, QByteArray("\x02\x10\0\0", 4)); // version 2.1
    header.replace(12, 4, "mntr");
    header.replace(16, 4, "RGB ");
    header.replace(20, 4, "XYZ ");
    // Date: 2000-01-01 00:00:00.
    header.replace(24, 12, QByteArray("\x07\xD0\0\x01\0\x01\0\0\0\0\0\0", 12));
    header.replace(36, 4, "acsp");
    // Rendering intent 0 (perceptual), then the illuminant D50.
    QByteArray illuminant;
    putFixed(illuminant, 0.9642);
    putFixed(illuminant, 1.0);
    putFixed(illuminant, 0.8249);
    header.replace(68, 12, illuminant);

    QByteArray table;
    putU32(table, std::uint32_t(tags.size()));
    QByteArray data;
    const qsizetype dataStart = 128 + 4 + qsizetype(tags.size()) * 12;
    qsizetype curveOffset = 0;
    for (const Tag& tag : tags) {
        table += QByteArray(tag.signature, 4);
        qsizetype offset = dataStart + data.size();
        const bool sharedCurve = tag.data.startsWith("curv");
        if (sharedCurve && curveOffset != 0) {
            offset = curveOffset; // the three curves share one element
        } else {
            if (sharedCurve) {
                curveOffset = offset;
            }
            data += tag.data;
            while (data.size() % 4 != 0) {
                data += '\0';
            }
        }
        putU32(table, std::uint32_t(offset));
        putU32(table, std::uint32_t(tag.data.size()));
    }
    QByteArray profile = header + table + data;
    setU32(profile, 0, std::uint32_t(profile.size()));
    return profile;
}

} // namespace

QByteArray PdfDateWithZone(const QDateTime& when) {
    const ZonedTime z = zoned(when);
    return "D:" + stamp(z.local, "%04d%02d%02d%02d%02d%02d") + zone(z.offsetMinutes, false);
}

QByteArray XmpDate(const QDateTime& when) {
    const ZonedTime z = zoned(when);
    return stamp(z.local, "%04d-%02d-%02dT%02d:%02d:%02d") + zone(z.offsetMinutes, true);
}

QByteArray XmpMetadata(const PdfArchiveInfo& info) {
    QByteArray x;
    x.reserve(2048);
    x += "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n";
    x += "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n";
    x += "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n";
    if (info.archival) {
        x += "<rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n";
        x += "<pdfaid:part>2</pdfaid:part>\n<pdfaid:conformance>" +
             QByteArray(1, info.conformance == 'A' ? 'A' : 'B') + "</pdfaid:conformance>\n";
        x += "</rdf:Description>\n";
    }
    if (info.universal) {
        x += "<rdf:Description rdf:about=\"\" xmlns:pdfuaid=\"http://www.aiim.org/pdfua/ns/id/\">\n";
        x += "<pdfuaid:part>1</pdfuaid:part>\n</rdf:Description>\n";
    }
    if (info.archival && info.universal) {
        // An archival file describes every schema outside the archival standard's own.
        x += "<rdf:Description rdf:about=\"\" "
             "xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\" "
             "xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\" "
             "xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\">\n"
             "<pdfaExtension:schemas><rdf:Bag><rdf:li rdf:parseType=\"Resource\">\n"
             "<pdfaSchema:schema>PDF/UA Universal Accessibility Schema</pdfaSchema:schema>\n"
             "<pdfaSchema:namespaceURI>http://www.aiim.org/pdfua/ns/id/"
             "</pdfaSchema:namespaceURI>\n"
             "<pdfaSchema:prefix>pdfuaid</pdfaSchema:prefix>\n"
             "<pdfaSchema:property><rdf:Seq><rdf:li rdf:parseType=\"Resource\">\n"
             "<pdfaProperty:name>part</pdfaProperty:name>\n"
             "<pdfaProperty:valueType>Integer</pdfaProperty:valueType>\n"
             "<pdfaProperty:category>internal</pdfaProperty:category>\n"
             "<pdfaProperty:description>Part of ISO 14289 followed</pdfaProperty:description>\n"
             "</rdf:li></rdf:Seq></pdfaSchema:property>\n"
             "</rdf:li></rdf:Bag></pdfaExtension:schemas>\n</rdf:Description>\n";
    }
    x += "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n";
    x += "<dc:format>application/pdf</dc:format>\n";
    if (!info.title.isEmpty()) {
        x += "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xmlText(info.title) +
             "</rdf:li></rdf:Alt></dc:title>\n";
    }
    if (!info.author.isEmpty()) {
        x += "<dc:creator><rdf:Seq><rdf:li>" + xmlText(info.author) +
             "</rdf:li></rdf:Seq></dc:creator>\n";
    }
    if (!info.subject.isEmpty()) {
        x += "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" + xmlText(info.subject) +
             "</rdf:li></rdf:Alt></dc:description>\n";
    }
    x += "</rdf:Description>\n";
    x += "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n";
    const QByteArray date = XmpDate(info.created);
    x += "<xmp:CreateDate>" + date + "</xmp:CreateDate>\n";
    x += "<xmp:ModifyDate>" + date + "</xmp:ModifyDate>\n";
    if (!info.creator.isEmpty()) {
        x += "<xmp:CreatorTool>" + xmlText(info.creator) + "</xmp:CreatorTool>\n";
    }
    x += "</rdf:Description>\n";
    x += "<rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n";
    if (!info.producer.isEmpty()) {
        x += "<pdf:Producer>" + xmlText(info.producer) + "</pdf:Producer>\n";
    }
    if (!info.keywords.isEmpty()) {
        x += "<pdf:Keywords>" + xmlText(info.keywords) + "</pdf:Keywords>\n";
    }
    x += "</rdf:Description>\n";
    x += "</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"r\"?>";
    return x;
}

QByteArray SrgbIccProfile() {
    static const QByteArray profile = buildSrgb();
    return profile;
}

QByteArray OutputIntentDictionary(int iccObject) {
    return "<< /Type /OutputIntent\r\n/S /GTS_PDFA1\r\n/OutputConditionIdentifier (sRGB)\r\n"
           "/Info (sRGB IEC61966-2.1)\r\n/DestOutputProfile " +
           QByteArray::number(iccObject) + " 0 R\r\n>>\r\n";
}

} // namespace zr::pdf
