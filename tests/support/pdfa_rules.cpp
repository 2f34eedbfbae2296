#include "pdfa_rules.h"

#include "pdf_info.h"
#include "platform/fonts/font_face.h"
#include "platform/text/codepages.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace zr::test {

namespace {

// The objects of a file as qpdf's JSON (version 2) gives them, by reference ("12 0 R").
class Objects {
public:
    explicit Objects(const QJsonObject& all) : m_all(all) {}
    QJsonObject object(const QString& ref) const { return m_all.value("obj:" + ref).toObject(); }
    // The dictionary of an object or of a stream; `value` may be a reference or a dictionary.
    QJsonObject dict(const QJsonValue& value) const {
        if (value.isObject()) {
            return value.toObject();
        }
        const QJsonObject o = object(value.toString());
        return o.contains("stream") ? o.value("stream").toObject().value("dict").toObject()
                                    : o.value("value").toObject();
    }
    QByteArray data(const QJsonValue& ref) const {
        return QByteArray::fromBase64(
            object(ref.toString()).value("stream").toObject().value("data").toString().toLatin1());
    }
    QJsonObject trailer() const {
        return m_all.value("trailer").toObject().value("value").toObject();
    }
    const QJsonObject& all() const { return m_all; }

private:
    QJsonObject m_all;
};

// A text string of qpdf's JSON: "u:text" or "b:hex".
QString text(const QJsonValue& v) {
    const QString s = v.toString();
    if (s.startsWith("u:")) {
        return s.mid(2);
    }
    if (s.startsWith("b:")) {
        return QString::fromLatin1(QByteArray::fromHex(s.mid(2).toLatin1()));
    }
    return s;
}

std::uint32_t be(const QByteArray& d, qsizetype at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | static_cast<unsigned char>(at + i < d.size() ? d[at + i] : 0);
    }
    return v;
}

// The advance of every glyph of a TrueType font file, in 1000ths of an em.
std::vector<int> advances(const QByteArray& font) {
    const int tables = int(be(font, 4, 2));
    qsizetype head = -1, hhea = -1, hmtx = -1;
    for (int i = 0; i < tables; ++i) {
        const qsizetype at = 12 + qsizetype(i) * 16;
        const QByteArray tag = font.mid(at, 4);
        const qsizetype offset = be(font, at + 8, 4);
        if (tag == "head") {
            head = offset;
        } else if (tag == "hhea") {
            hhea = offset;
        } else if (tag == "hmtx") {
            hmtx = offset;
        }
    }
    std::vector<int> out;
    if (head < 0 || hhea < 0 || hmtx < 0) {
        return out;
    }
    const double upem = be(font, head + 18, 2);
    const int metrics = int(be(font, hhea + 34, 2));
    for (int g = 0; g < metrics && upem > 0; ++g) {
        out.push_back(int(std::lround(be(font, hmtx + qsizetype(g) * 4, 2) * 1000.0 / upem)));
    }
    return out;
}

int advanceOf(const std::vector<int>& a, std::uint32_t glyph) {
    if (a.empty()) {
        return -1;
    }
    return glyph < a.size() ? a[glyph] : a.back(); // monospaced tails share the last advance
}

void checkSyntax(const QByteArray& file, QStringList& problems) {
    static const QRegularExpression header("^%PDF-1\\.[0-7]\\r?\\n%[\\x80-\\xff]{4}");
    if (!header.match(QString::fromLatin1(file.left(32))).hasMatch()) {
        problems << "header: no PDF 1.x header followed by a binary comment line";
    }
    int badEnd = 0, badStart = 0;
    for (qsizetype at = file.indexOf("endstream"); at >= 0;
         at = file.indexOf("endstream", at + 9)) {
        if (at == 0 || (file[at - 1] != '\n' && file[at - 1] != '\r')) {
            ++badEnd;
        }
    }
    for (qsizetype at = file.indexOf("stream"); at >= 0; at = file.indexOf("stream", at + 6)) {
        if (at >= 3 && file.mid(at - 3, 3) == "end") {
            continue;
        }
        if (file.mid(at + 6, 2) != "\r\n" && file.mid(at + 6, 1) != "\n") {
            ++badStart;
        }
    }
    if (badEnd > 0) {
        problems << QString("streams: %1 without an end of line before endstream").arg(badEnd);
    }
    if (badStart > 0) {
        problems << QString("streams: %1 without an end of line after stream").arg(badStart);
    }
}

void checkMetadata(const Objects& o, QStringList& problems) {
    const QJsonObject trailer = o.trailer();
    const QJsonArray id = trailer.value("/ID").toArray();
    if (id.size() != 2 || !id[0].isString()) {
        problems << "trailer: no /ID of two strings";
    }
    if (trailer.contains("/Encrypt")) {
        problems << "trailer: encrypted";
    }
    const QJsonObject catalog = o.dict(trailer.value("/Root"));
    const QJsonObject info = o.dict(trailer.value("/Info"));
    const QJsonObject metaDict = o.dict(catalog.value("/Metadata"));
    if (metaDict.value("/Type").toString() != "/Metadata" ||
        metaDict.value("/Subtype").toString() != "/XML" || metaDict.contains("/Filter")) {
        problems << "metadata: no unfiltered /Type /Metadata /Subtype /XML stream in the catalog";
        return;
    }
    const QString xmp = QString::fromUtf8(o.data(catalog.value("/Metadata")));
    const auto element = [&](const QString& name) {
        const QRegularExpression re("<" + name + ">(?:<rdf:(?:Alt|Seq)><rdf:li[^>]*>)?([^<]*)<");
        const auto m = re.match(xmp);
        return m.hasMatch() ? m.captured(1) : QString();
    };
    const auto unescape = [](QString s) {
        return s.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"")
            .replace("&amp;", "&");
    };
    if (element("pdfaid:part") != "2" ||
        (element("pdfaid:conformance") != "A" && element("pdfaid:conformance") != "B")) {
        problems << "metadata: not pdfaid:part 2, pdfaid:conformance A or B";
    }
    // D:YYYYMMDDHHmmSS+HH'mm' against YYYY-MM-DDTHH:mm:SS+HH:mm.
    static const QRegularExpression pdfDate(
        "^D:(\\d{4})(\\d\\d)(\\d\\d)(\\d\\d)(\\d\\d)(\\d\\d)(Z|[+-]\\d\\d'\\d\\d'?)$");
    for (const auto& [key, name] :
         {std::pair{"/CreationDate", "xmp:CreateDate"}, std::pair{"/ModDate", "xmp:ModifyDate"}}) {
        const auto m = pdfDate.match(text(info.value(key)));
        if (!m.hasMatch()) {
            problems << QString("info: %1 missing or without a time zone").arg(key);
            continue;
        }
        QString zone = m.captured(7);
        zone.remove(QLatin1Char('\''));
        if (zone != "Z") {
            zone.insert(3, ':');
        }
        const QString expected = QString("%1-%2-%3T%4:%5:%6%7")
                                     .arg(m.captured(1), m.captured(2), m.captured(3),
                                          m.captured(4), m.captured(5), m.captured(6), zone);
        if (element(name) != expected) {
            problems << QString("metadata: %1 is \"%2\", the information dictionary says %3")
                            .arg(name, element(name), expected);
        }
    }
    for (const auto& [key, name] :
         {std::pair{"/Title", "dc:title"}, std::pair{"/Author", "dc:creator"},
          std::pair{"/Producer", "pdf:Producer"}}) {
        if (info.contains(key) && unescape(element(name)) != text(info.value(key))) {
            problems << QString("metadata: %1 differs from %2").arg(name, key);
        }
    }
    const QJsonArray intents = catalog.value("/OutputIntents").toArray();
    bool intentOk = false;
    for (const QJsonValue& v : intents) {
        const QJsonObject intent = o.dict(v);
        const QJsonObject profile = o.dict(intent.value("/DestOutputProfile"));
        const QByteArray icc = o.data(intent.value("/DestOutputProfile"));
        intentOk =
            intentOk ||
            (intent.value("/S").toString() == "/GTS_PDFA1" && profile.value("/N").toInt() == 3 &&
             icc.size() > 128 && be(icc, 0, 4) == std::uint32_t(icc.size()) &&
             icc.mid(36, 4) == "acsp" && icc.mid(16, 4) == "RGB " && icc.mid(12, 4) == "mntr");
    }
    if (!intentOk) {
        problems << "output intent: no /GTS_PDFA1 intent with an RGB display profile";
    }
}

void checkObjects(const Objects& o, QStringList& problems) {
    std::map<QString, int> counts;
    for (auto it = o.all().begin(); it != o.all().end(); ++it) {
        if (!it.key().startsWith("obj:")) {
            continue;
        }
        const QString ref = it.key().mid(4);
        const QJsonObject d = o.dict(ref);
        const QString serialised =
            QString::fromUtf8(QJsonDocument(d).toJson(QJsonDocument::Compact));
        for (const char* forbidden :
             {"\"/JS\"", "\"/JavaScript\"", "\"/Launch\"", "\"/GoToR\"", "\"/ImportData\"",
              "\"/SMask\"", "\"/Transparency\"", "\"/DeviceCMYK\""}) {
            if (serialised.contains(QLatin1String(forbidden))) {
                ++counts[QString("objects: %1").arg(forbidden)];
            }
        }
        for (const char* alpha : {"/CA", "/ca"}) {
            if (d.contains(alpha) && d.value(alpha).toDouble() < 1) {
                ++counts["objects: constant alpha below 1"];
            }
        }
        if (d.contains("/BM") && d.value("/BM").toString() != "/Normal" &&
            d.value("/BM").toString() != "/Compatible") {
            ++counts["objects: a blend mode"];
        }
        const QString type = d.value("/Type").toString();
        if (type == "/Annot") {
            const int flags = d.value("/F").toInt();
            if ((flags & 4) == 0 || (flags & (1 | 2 | 32)) != 0) {
                ++counts["annotations: /F without the print flag"];
            }
        }
        if (type == "/FontDescriptor" && d.contains("/FontFamily") &&
            d.value("/FontFamily").toString().startsWith('/')) {
            ++counts["fonts: /FontFamily is a name"];
        }
        if (type != "/Font") {
            continue;
        }
        const QString subtype = d.value("/Subtype").toString();
        if (subtype == "/CIDFontType2" && !d.contains("/CIDToGIDMap")) {
            ++counts["fonts: a CIDFontType2 without /CIDToGIDMap"];
        }
        const QJsonObject descriptor = o.dict(d.value("/FontDescriptor"));
        const QJsonValue fileRef = descriptor.value("/FontFile2");
        if (fileRef.isUndefined() || (subtype != "/TrueType" && subtype != "/CIDFontType2")) {
            continue;
        }
        const QByteArray fontFile = o.data(fileRef);
        const std::vector<int> adv = advances(fontFile);
        int wrong = 0;
        if (subtype == "/TrueType") {
            const auto face = fonts::FontFace::FromData(fontFile, 0);
            const int first = d.value("/FirstChar").toInt();
            const QJsonArray widths = d.value("/Widths").toArray();
            for (int i = 0; face && i < widths.size(); ++i) {
                const char byte = char(first + i);
                const QString ch = codepages::fromCp1252(QByteArray(&byte, 1));
                const std::uint32_t glyph =
                    ch.isEmpty() ? 0 : face->GlyphForChar(ch.at(0).unicode());
                if (glyph != 0 && std::abs(advanceOf(adv, glyph) - widths[i].toInt()) > 1) {
                    ++wrong;
                }
            }
        } else {
            // /W [c [w] ...]; CIDs go to glyphs through the map stream (or as they are).
            const QByteArray map = d.value("/CIDToGIDMap").toString() == "/Identity"
                                       ? QByteArray()
                                       : o.data(d.value("/CIDToGIDMap"));
            const QJsonArray w = d.value("/W").toArray();
            for (int i = 0; i + 1 < w.size(); i += 2) {
                const int cid = w[i].toInt();
                const QJsonArray ws = w[i + 1].toArray();
                for (int k = 0; k < ws.size(); ++k) {
                    const auto c = std::uint32_t(cid + k);
                    const std::uint32_t glyph = map.isEmpty() ? c : be(map, qsizetype(c) * 2, 2);
                    if (std::abs(advanceOf(adv, glyph) - int(std::lround(ws[k].toDouble()))) > 1) {
                        ++wrong;
                    }
                }
            }
        }
        if (wrong > 0) {
            problems << QString("fonts: %1 widths of %2 differ from its font program")
                            .arg(wrong)
                            .arg(d.value("/BaseFont").toString());
        }
    }
    for (const auto& [what, n] : counts) {
        problems << QString("%1 (%2 objects)").arg(what).arg(n);
    }
}

// One token of a content stream: a name (without its slash), a string (its bytes, escapes and
// hex decoded), a number, one of true, false and null, or an operator.
struct ContentToken {
    enum Kind { Name, String, Number, Constant, Operator } kind;
    QByteArray text;
};

// Walks the tokens of a content stream, enough of its syntax for what our writers emit; the
// data of an inline image (BI ... ID ... EI) is skipped after its BI.
void contentTokens(const QByteArray& c, const std::function<void(const ContentToken&)>& take) {
    const auto delimiter = [](char ch) {
        return QByteArrayView("()<>[]{}/% \t\r\n\f").contains(ch) || ch == '\0';
    };
    qsizetype i = 0;
    const qsizetype n = c.size();
    while (i < n) {
        const char ch = c[i];
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\f' || ch == '\0') {
            ++i;
        } else if (ch == '%') {
            while (i < n && c[i] != '\n' && c[i] != '\r') {
                ++i;
            }
        } else if (ch == '/') {
            qsizetype j = i + 1;
            while (j < n && !delimiter(c[j])) {
                ++j;
            }
            take({ContentToken::Name, c.mid(i + 1, j - i - 1)});
            i = j;
        } else if (ch == '(') {
            QByteArray str;
            int depth = 1;
            ++i;
            while (i < n && depth > 0) {
                char b = c[i++];
                if (b == '\\' && i < n) {
                    const char e = c[i++];
                    if (e >= '0' && e <= '7') {
                        int v = e - '0';
                        for (int k = 0; k < 2 && i < n && c[i] >= '0' && c[i] <= '7'; ++k) {
                            v = v * 8 + (c[i++] - '0');
                        }
                        str += char(v);
                        continue;
                    }
                    static const QByteArray from = "nrtbf";
                    static const QByteArray to = "\n\r\t\b\f";
                    const qsizetype at = from.indexOf(e);
                    if (e == '\r' || e == '\n') {
                        continue;
                    }
                    str += at >= 0 ? to[at] : e;
                    continue;
                }
                if (b == '(') {
                    ++depth;
                } else if (b == ')' && --depth == 0) {
                    break;
                }
                str += b;
            }
            take({ContentToken::String, str});
        } else if (ch == '<' && i + 1 < n && c[i + 1] != '<') {
            const qsizetype end = c.indexOf('>', i);
            if (end < 0) {
                break;
            }
            take({ContentToken::String, QByteArray::fromHex(c.mid(i + 1, end - i - 1))});
            i = end + 1;
        } else if (delimiter(ch)) {
            // [ ] { } and the dictionary brackets << >>.
            i += (ch == '<' || ch == '>') && i + 1 < n && c[i + 1] == ch ? 2 : 1;
        } else {
            qsizetype j = i;
            while (j < n && !delimiter(c[j])) {
                ++j;
            }
            const QByteArray word = c.mid(i, j - i);
            i = j;
            const char first = word.front();
            if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') {
                take({ContentToken::Number, word});
            } else if (word == "true" || word == "false" || word == "null") {
                take({ContentToken::Constant, word});
            } else {
                take({ContentToken::Operator, word});
                if (word == "BI") {
                    // An inline image: its data runs from ID to EI.
                    const qsizetype data = c.indexOf("ID", i);
                    const qsizetype end = data < 0 ? -1 : c.indexOf("EI", data + 3);
                    i = end < 0 ? n : end + 2;
                }
            }
        }
    }
}

// The strings a content stream shows, each with the font resource name selected for it.
std::vector<std::pair<QByteArray, QByteArray>> shownStrings(const QByteArray& c) {
    std::vector<std::pair<QByteArray, QByteArray>> shown;
    QByteArray font;
    QByteArray lastName;
    std::vector<QByteArray> strings; // string operands since the last operator
    contentTokens(c, [&](const ContentToken& t) {
        switch (t.kind) {
        case ContentToken::Name:
            lastName = t.text;
            break;
        case ContentToken::String:
            strings.push_back(t.text);
            break;
        case ContentToken::Operator:
            if (t.text == "Tf") {
                font = lastName;
            } else if (t.text == "Tj" || t.text == "TJ" || t.text == "'" || t.text == "\"") {
                for (const QByteArray& str : strings) {
                    shown.emplace_back(font, str);
                }
            }
            strings.clear();
            break;
        default:
            break;
        }
    });
    return shown;
}

// Glyphs shown as .notdef: codes of simple TrueType fonts whose character the font has no
// glyph for, and codes of CID fonts that map to glyph 0.
void checkNotdef(const Objects& o, QStringList& problems) {
    struct FontUse {
        bool cid = false;
        QByteArray map; // CID fonts: CID to glyph, empty for Identity
        std::unique_ptr<fonts::FontFace> face;
    };
    std::map<QString, std::unique_ptr<FontUse>> fontsByRef;
    const auto fontFor = [&](const QJsonValue& ref) -> FontUse* {
        const QString key = ref.toString();
        auto it = fontsByRef.find(key);
        if (it != fontsByRef.end()) {
            return it->second.get();
        }
        auto use = std::make_unique<FontUse>();
        const QJsonObject font = o.dict(ref);
        QJsonObject simple = font;
        if (font.value("/Subtype").toString() == "/Type0") {
            simple = o.dict(font.value("/DescendantFonts").toArray().first());
            use->cid = true;
            if (simple.value("/CIDToGIDMap").toString() != "/Identity") {
                use->map = o.data(simple.value("/CIDToGIDMap"));
            }
        } else {
            const QJsonValue file = o.dict(simple.value("/FontDescriptor")).value("/FontFile2");
            if (!file.isUndefined()) {
                use->face = fonts::FontFace::FromData(o.data(file), 0);
            }
        }
        FontUse* raw = use.get();
        fontsByRef.emplace(key, std::move(use));
        return raw;
    };
    int notdef = 0;
    for (auto it = o.all().begin(); it != o.all().end(); ++it) {
        const QJsonObject page = o.dict(it.key().mid(4));
        if (!it.key().startsWith("obj:") || page.value("/Type").toString() != "/Page") {
            continue;
        }
        const QJsonObject fontsOfPage = o.dict(o.dict(page.value("/Resources")).value("/Font"));
        QJsonArray contents = page.value("/Contents").toArray();
        if (page.value("/Contents").isString()) {
            contents.append(page.value("/Contents"));
        }
        for (const QJsonValue& part : contents) {
            for (const auto& [name, bytes] : shownStrings(o.data(part))) {
                FontUse* use = fontFor(fontsOfPage.value("/" + QString::fromLatin1(name)));
                if (use->cid) {
                    for (qsizetype k = 0; k + 1 < bytes.size(); k += 2) {
                        const std::uint32_t cid = be(bytes, k, 2);
                        const std::uint32_t glyph =
                            use->map.isEmpty() ? cid : be(use->map, qsizetype(cid) * 2, 2);
                        notdef += glyph == 0 ? 1 : 0;
                    }
                } else if (use->face) {
                    for (const char byte : bytes) {
                        const QString ch = codepages::fromCp1252(QByteArray(&byte, 1));
                        notdef += ch.isEmpty() || use->face->GlyphForChar(ch.at(0).unicode()) == 0
                                      ? 1
                                      : 0;
                    }
                }
            }
        }
    }
    if (notdef > 0) {
        problems << QString("fonts: %1 glyphs shown as .notdef").arg(notdef);
    }
}

// How a content stream marks what it paints: the painting operators outside any marked content
// with an MCID or an artifact, whether its marked-content operators pair up, and the MCIDs.
struct MarkedUse {
    int unmarked = 0;
    bool unbalanced = false;
    std::vector<int> mcids;
};

MarkedUse markedUse(const QByteArray& c) {
    static const QList<QByteArray> painting = {"Tj", "TJ", "'",  "\"", "S",  "s",  "f",  "F",
                                               "f*", "B",  "B*", "b",  "b*", "sh", "Do", "BI"};
    MarkedUse use;
    std::vector<bool> open; // per open sequence: whether it has an MCID or is an artifact
    int covering = 0;       // how many of them do
    QByteArray tag;         // the first name operand since the last operator
    bool mcidKey = false;   // the last operand was the name /MCID
    int mcid = -1;
    contentTokens(c, [&](const ContentToken& t) {
        if (t.kind == ContentToken::Name) {
            if (tag.isEmpty()) {
                tag = t.text;
            }
            mcidKey = t.text == "MCID";
            return;
        }
        if (t.kind != ContentToken::Operator) {
            if (t.kind == ContentToken::Number && mcidKey) {
                mcid = t.text.toInt();
            }
            mcidKey = false;
            return;
        }
        const QByteArray& word = t.text;
        if (word == "BDC" || word == "BMC") {
            const bool covers = tag == "Artifact" || (word == "BDC" && mcid >= 0);
            if (word == "BDC" && mcid >= 0) {
                use.mcids.push_back(mcid);
            }
            open.push_back(covers);
            covering += covers ? 1 : 0;
        } else if (word == "EMC") {
            if (open.empty()) {
                use.unbalanced = true;
            } else {
                covering -= open.back() ? 1 : 0;
                open.pop_back();
            }
        } else if (painting.contains(word)) {
            use.unmarked += covering == 0 ? 1 : 0;
        }
        tag.clear();
        mcidKey = false;
        mcid = -1;
    });
    use.unbalanced = use.unbalanced || !open.empty();
    return use;
}

// An array given inline or as an indirect object.
QJsonArray arrayOf(const Objects& o, const QJsonValue& v) {
    return v.isArray() ? v.toArray() : o.object(v.toString()).value("value").toArray();
}

// The entries of a number tree (its /Nums and its /Kids' /Nums), walked at most 32 levels down.
void numberTree(const Objects& o, const QJsonValue& node, std::map<int, QJsonValue>& out,
                int depth = 0) {
    const QJsonObject d = o.dict(node);
    const QJsonArray nums = arrayOf(o, d.value("/Nums"));
    for (qsizetype k = 0; k + 1 < nums.size(); k += 2) {
        out[nums[k].toInt()] = nums[k + 1];
    }
    if (depth < 32) {
        for (const QJsonValue& kid : arrayOf(o, d.value("/Kids"))) {
            numberTree(o, kid, out, depth + 1);
        }
    }
}

} // namespace

QStringList taggedProblems(const QString& path, const QString& password) {
    QStringList arguments{"--json", "--json-key=qpdf", "--json-stream-data=inline",
                          "--decode-level=generalized"};
    if (!password.isEmpty()) {
        arguments << "--password=" + password;
    }
    const ProgramRun json = runProgram("qpdf", arguments << path);
    if (!json.found) {
        return {"missing: qpdf"};
    }
    const QJsonArray top = QJsonDocument::fromJson(json.out).object().value("qpdf").toArray();
    if (top.size() < 2) {
        return {"qpdf --json: no objects"};
    }
    const Objects o(top[1].toObject());
    QStringList problems;
    const QJsonObject catalog = o.dict(o.trailer().value("/Root"));
    const QJsonObject root = o.dict(catalog.value("/StructTreeRoot"));
    if (root.value("/Type").toString() != "/StructTreeRoot") {
        problems << "catalog: no /StructTreeRoot";
    }
    if (!o.dict(catalog.value("/MarkInfo")).value("/Marked").toBool()) {
        problems << "catalog: no /MarkInfo with /Marked true";
    }
    // A language tag (a string that decrypted wrongly is none).
    static const QRegularExpression languageTag("^[A-Za-z]{2,8}(-[A-Za-z0-9]{1,8})*$");
    if (!languageTag.match(text(catalog.value("/Lang"))).hasMatch()) {
        problems << "catalog: no /Lang with a language tag";
    }
    std::map<int, QJsonValue> parents;
    numberTree(o, root.value("/ParentTree"), parents);

    int unmarked = 0;
    QStringList pages;
    for (auto it = o.all().begin(); it != o.all().end(); ++it) {
        if (!it.key().startsWith("obj:")) {
            continue;
        }
        const QString ref = it.key().mid(4);
        const QJsonObject d = o.dict(ref);
        if (d.value("/S").toString() == "/Figure" && d.contains("/P") &&
            text(d.value("/Alt")).isEmpty()) {
            problems << "structure: a /Figure without /Alt (" + ref + ")";
        }
        if (d.value("/Type").toString() != "/Page") {
            continue;
        }
        QByteArray content;
        const QJsonValue contents = d.value("/Contents");
        for (const QJsonValue& part :
             contents.isString() ? QJsonArray{contents} : arrayOf(o, contents)) {
            content += o.data(part) + '\n';
        }
        const MarkedUse use = markedUse(content);
        unmarked += use.unmarked;
        if (use.unbalanced) {
            problems << "content: unbalanced marked content on " + ref;
        }
        std::vector<int> ids = use.mcids;
        std::sort(ids.begin(), ids.end());
        if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) {
            problems << "content: a marked-content ID used twice on " + ref;
        }
        if (ids.empty()) {
            continue;
        }
        const auto entry = parents.find(d.value("/StructParents").toInt(-1));
        const QJsonArray elements =
            entry == parents.end() ? QJsonArray() : arrayOf(o, entry->second);
        const bool led = std::all_of(ids.begin(), ids.end(), [&](int id) {
            return id < elements.size() && o.dict(elements[id]).contains("/S");
        });
        if (!led) {
            problems << "structure: marked content of " + ref +
                            " without its element in the parent tree";
        }
    }
    if (unmarked > 0) {
        problems << QString("content: %1 painting operators outside marked content with an MCID "
                            "or an artifact")
                        .arg(unmarked);
    }
    return problems;
}

QStringList pdfaProblems(const QString& path) {
    QStringList problems;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {"cannot read " + path};
    }
    const QByteArray file = f.readAll();
    checkSyntax(file, problems);

    const QString check = qpdfCheckProblems(path);
    if (!check.isEmpty()) {
        problems << "qpdf --check: " + check;
    }
    const ProgramRun json =
        runProgram("qpdf", {"--json", "--json-key=qpdf", "--json-stream-data=inline",
                            "--decode-level=generalized", path});
    if (!json.found) {
        return {"missing: qpdf"};
    }
    const QJsonArray top = QJsonDocument::fromJson(json.out).object().value("qpdf").toArray();
    if (top.size() < 2) {
        problems << "qpdf --json: no objects";
        return problems;
    }
    const Objects objects(top[1].toObject());
    checkMetadata(objects, problems);
    checkObjects(objects, problems);
    checkNotdef(objects, problems);

    const ProgramRun fonts = runProgram("pdffonts", {path});
    if (!fonts.found) {
        return {"missing: pdffonts"};
    }
    const QList<QByteArray> lines = fonts.out.split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> cols = lines[i].simplified().split(' ');
        if (cols.size() >= 5 && cols[cols.size() - 5] != "yes") {
            problems << "pdffonts: not embedded: " + QString::fromUtf8(cols[0]);
        }
    }

    const ProgramRun gs =
        runProgram("gs", {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=nullpage", path});
    if (!gs.found) {
        return {"missing: gs"};
    }
    if (gs.exitCode != 0 || !gs.out.trimmed().isEmpty() || !gs.err.trimmed().isEmpty()) {
        problems << "gs: " + QString::fromUtf8(gs.err + gs.out).left(300);
    }
    return problems;
}

} // namespace zr::test
