#include "qdx_xml_serializer.h"

#include "qdx_components.h"
#include "qdx_report.h"
#include "qdx_unicode_utils.h"

#include "platform/text/codepages.h"
#include "platform/text/hex_digits.h"

#include <QLocale>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <zlib.h>

namespace zr::reportlib {

namespace {

std::atomic<char> g_decimalSeparator{0};

[[noreturn]] void invalidFloat(QByteArrayView text) {
    throw std::invalid_argument("'" + text.toByteArray().toStdString() +
                                "' is not a valid floating point value");
}

[[noreturn]] void invalidInteger(QByteArrayView text) {
    throw std::invalid_argument("'" + text.toByteArray().toStdString() +
                                "' is not a valid integer value");
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

QByteArray hexOf(const QByteArray& bytes) {
    return bytes.toHex().toUpper();
}

} // namespace

QByteArray BytesOfHex(QByteArrayView hex) {
    QByteArray out;
    out.reserve(hex.size() / 2);
    for (qsizetype i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = zr::text::hexDigitValue(hex[i]);
        const int lo = zr::text::hexDigitValue(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            break;
        }
        out.append(char(hi << 4 | lo));
    }
    return out;
}

namespace {

void appendFragment(QByteArray& out, const QByteArray& prefix, const QByteArray& name,
                    const QByteArray& value) {
    out += ' ';
    out += prefix;
    out += name;
    out += "=\"";
    out += value;
    out += '"';
}

// The filer that collects binary properties for writing.
class CollectingFiler final : public TqdxFiler {
public:
    QByteArray stream;
    void DefineBinaryProperty(const QByteArray& name, const Reader&, const Writer& write,
                              bool hasData) override {
        if (!hasData || name.size() > 255) {
            return;
        }
        const QByteArray data = write();
        stream += char(name.size());
        stream += name;
        stream += char(10);
        const quint32 n = quint32(data.size());
        for (int i = 0; i < 4; ++i) {
            stream += char((n >> (8 * i)) & 0xFF);
        }
        stream += data;
    }
};

// The filer that finds the reader of one property name.
class LookupFiler final : public TqdxFiler {
public:
    explicit LookupFiler(QByteArrayView wanted) : m_wanted(wanted) {}
    Reader reader;
    void DefineBinaryProperty(const QByteArray& name, const Reader& read, const Writer&,
                              bool) override {
        if (!reader && name.compare(m_wanted, Qt::CaseInsensitive) == 0) {
            reader = read;
        }
    }

private:
    QByteArrayView m_wanted;
};

struct Target {
    TqdxPersistent* object = nullptr;
    TqdxStrings* strings = nullptr;
    TWideStrings* wide = nullptr;
};

} // namespace

char DecimalSeparator() {
    char c = g_decimalSeparator.load();
    if (c == 0) {
        const QString point = QLocale::system().decimalPoint();
        c = point == QLatin1String(",") ? ',' : '.';
        g_decimalSeparator.store(c);
    }
    return c;
}

void SetDecimalSeparator(char separator) {
    g_decimalSeparator.store(separator == ',' ? ',' : '.');
}

double FiniteFloat(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (std::fabs(value) > kMaxFloatText) {
        return value < 0 ? -kMaxFloatText : kMaxFloatText;
    }
    return value;
}

void AddSortedMessage(QStringList& list, const QString& message) {
    const auto less = [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    };
    const auto it = std::lower_bound(list.begin(), list.end(), message, less);
    if (it == list.end() || it->compare(message, Qt::CaseInsensitive) != 0) {
        list.insert(it, message);
    }
}

QByteArray FloatToXMLText(double value) {
    // Beyond kMaxFloatText the 15 digits would round up past the largest double.
    value = FiniteFloat(value);
    if (value == 0) {
        return "0";
    }
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    // buffer: [-]d.dddddddddddddde[+-]xx
    const char* p = buffer;
    QByteArray out;
    if (*p == '-') {
        out += '-';
        ++p;
    }
    QByteArray digits;
    while (*p && *p != 'e') {
        if (isDigit(*p)) {
            digits += *p;
        }
        ++p;
    }
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.endsWith('0')) {
        digits.chop(1);
    }
    const char sep = DecimalSeparator();
    if (exponent < -5 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) {
            out += sep;
            out += digits.mid(1);
        }
        out += 'E';
        out += QByteArray::number(exponent);
        return out;
    }
    if (exponent < 0) {
        out += '0';
        out += sep;
        out += QByteArray(-exponent - 1, '0');
        out += digits;
        return out;
    }
    const qsizetype intDigits = exponent + 1;
    if (digits.size() <= intDigits) {
        out += digits;
        out += QByteArray(intDigits - digits.size(), '0');
    } else {
        out += digits.left(intDigits);
        out += sep;
        out += digits.mid(intDigits);
    }
    return out;
}

double XMLTextToFloat(QByteArrayView text) {
    QByteArray clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (c == ' ') {
            continue;
        }
        clean += (c == ',' ? '.' : c);
    }
    // [sign] digits [. digits] [e [sign] digits], with at least one mantissa digit.
    qsizetype i = 0;
    const qsizetype n = clean.size();
    if (i < n && (clean[i] == '+' || clean[i] == '-')) {
        ++i;
    }
    qsizetype mantissa = 0;
    while (i < n && isDigit(clean[i])) {
        ++i;
        ++mantissa;
    }
    if (i < n && clean[i] == '.') {
        ++i;
        while (i < n && isDigit(clean[i])) {
            ++i;
            ++mantissa;
        }
    }
    if (mantissa == 0) {
        invalidFloat(text);
    }
    if (i < n && (clean[i] == 'e' || clean[i] == 'E')) {
        ++i;
        if (i < n && (clean[i] == '+' || clean[i] == '-')) {
            ++i;
        }
        qsizetype expDigits = 0;
        while (i < n && isDigit(clean[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) {
            invalidFloat(text);
        }
    }
    if (i != n) {
        invalidFloat(text);
    }
    bool ok = false;
    const double v = clean.toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        invalidFloat(text);
    }
    return v;
}

qint64 XMLTextToInt(QByteArrayView text) {
    const QByteArrayView t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    if (i == t.size()) {
        invalidInteger(text);
    }
    qint64 v = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i])) {
            invalidInteger(text);
        }
        v = v * 10 + (t[i] - '0');
        if (v > qint64(1) << 32) {
            invalidInteger(text);
        }
    }
    v = negative ? -v : v;
    if (v < -2147483648LL || v > 2147483647LL) {
        invalidInteger(text);
    }
    return v;
}

QByteArray WriteBinaryProperties(TqdxPersistent& object) {
    CollectingFiler filer;
    object.DefineProperties(filer);
    return filer.stream;
}

void ReadBinaryProperties(TqdxPersistent& object, QByteArrayView stream) {
    qsizetype pos = 0;
    const auto need = [&](qsizetype count) {
        if (count < 0 || stream.size() - pos < count) {
            throw std::runtime_error("Stream read error");
        }
    };
    while (pos < stream.size()) {
        need(1);
        const int nameLength = static_cast<unsigned char>(stream[pos++]);
        need(nameLength);
        const QByteArrayView name = stream.sliced(pos, nameLength);
        pos += nameLength;
        need(1);
        const int tag = static_cast<unsigned char>(stream[pos++]);
        if (tag != 10) {
            throw std::runtime_error("Invalid property value");
        }
        need(4);
        quint32 count = 0;
        for (int i = 3; i >= 0; --i) {
            count = count << 8 | static_cast<unsigned char>(stream[pos + i]);
        }
        pos += 4;
        need(qsizetype(count));
        LookupFiler filer(name);
        object.DefineProperties(filer);
        if (!filer.reader) {
            throw std::runtime_error("Error reading " + name.toByteArray().toStdString() +
                                     ": property does not exist");
        }
        filer.reader(stream.sliced(pos, qsizetype(count)).toByteArray());
        pos += qsizetype(count);
    }
}

TqdxXMLSerializer::TqdxXMLSerializer(QIODevice* stream) : m_stream(stream) {}

void TqdxXMLSerializer::addError(const QString& message) {
    AddSortedMessage(Errors, message);
}

QByteArray TqdxXMLSerializer::FullName(const TqdxComponent& component) const {
    const TqdxComponent* owner = component.LibOwner();
    if (!owner || owner == Owner) {
        return component.Name();
    }
    if (qdx_cast<TqdxReport>(Owner) && owner == Owner->LibOwner()) {
        return component.Name();
    }
    return {};
}

QByteArray TqdxXMLSerializer::ObjectToElement(TqdxPersistent& object, const QByteArray& prefix,
                                              TqdxPersistent* ancestor) {
    QByteArray out;
    auto* component = qdx_cast<TqdxComponent>(&object);
    if (component && !ancestor && OnFindAncestor) {
        ancestor = OnFindAncestor(component->Name());
    }
    auto* ancestorComponent = qdx_cast<TqdxComponent>(ancestor);
    struct FlagGuard {
        bool* flag;
        explicit FlagGuard(bool* f) : flag(f) {
            if (flag) {
                *flag = true;
            }
        }
        ~FlagGuard() {
            if (flag) {
                *flag = false;
            }
        }
    } serializing(component ? &component->Serializing : nullptr),
        writing(ancestorComponent ? &ancestorComponent->WritingTree : nullptr);

    if (ancestor && &ancestor->ClassInfo() != &object.ClassInfo() &&
        !ancestor->InheritsFrom(object.ClassInfo())) {
        ancestor = nullptr;
    }

    for (const TqdxPropInfo& p : object.ClassInfo().properties) {
        if (!p.isStored(object)) {
            continue;
        }
        QByteArray value;
        switch (p.kind) {
        case TqdxPropKind::Integer:
        case TqdxPropKind::Enumeration:
        case TqdxPropKind::Set: {
            const qint64 v = p.getOrdinal(object);
            bool write = WriteDefaults;
            if (ancestor) {
                write = write || v != p.getOrdinal(*ancestor);
            } else {
                write = write || !p.defaultValue || v != *p.defaultValue;
            }
            if (write) {
                if (p.kind == TqdxPropKind::Enumeration && v >= 0 &&
                    v < qint64(p.enumInfo->names.size())) {
                    value = p.enumInfo->names[size_t(v)];
                } else {
                    value = QByteArray::number(v);
                }
            }
            break;
        }
        case TqdxPropKind::Float: {
            const double v = p.getFloat(object);
            if (!ancestor || WriteDefaults || std::fabs(v - p.getFloat(*ancestor)) >= 1e-6) {
                value = FloatToXMLText(v);
            }
            break;
        }
        case TqdxPropKind::String: {
            const QByteArray v = p.getString(object);
            const QByteArray base = ancestor ? p.getString(*ancestor) : QByteArray();
            if (v != base || WriteDefaults) {
                value = EncodeXMLText(v);
            }
            break;
        }
        case TqdxPropKind::ComponentRef: {
            const TqdxComponent* v = p.getReference(object);
            if (!ancestor) {
                if (v) {
                    value = FullName(*v);
                }
            } else {
                const TqdxComponent* a = p.getReference(*ancestor);
                if (!v && !a) {
                    break;
                }
                if (v && a && v->Name().compare(a->Name(), Qt::CaseInsensitive) == 0) {
                    break;
                }
                value = v ? FullName(*v) : QByteArray("nil");
            }
            break;
        }
        case TqdxPropKind::StringList: {
            const TqdxStrings* list = p.strings(object);
            if (ancestor && list->Text() == p.strings(*ancestor)->Text()) {
                break;
            }
            QByteArray text = list->Text();
            if (text.endsWith("\r\n")) {
                text.chop(2);
            }
            appendFragment(out, prefix, p.name + ".Text", EncodeXMLText(text));
            break;
        }
        case TqdxPropKind::WideStrings:
            break;
        case TqdxPropKind::Object: {
            TqdxPersistent* sub = p.object(object);
            TqdxPersistent* ancestorSub = ancestor ? p.object(*ancestor) : nullptr;
            if (sub) {
                out += ObjectToElement(*sub, prefix + p.name + '.', ancestorSub);
            }
            break;
        }
        }
        if (!value.isEmpty()) {
            appendFragment(out, prefix, p.name, value);
        }
    }

    if (auto* memo = qdx_cast<TqdxCustomMemoView>(&object)) {
        auto* ancestorMemo = qdx_cast<TqdxCustomMemoView>(ancestor);
        const QString text = memo->Text();
        if (!ancestorMemo || ancestorMemo->Text() != text) {
            appendFragment(out, {}, "Text", EncodeXMLText(text.toUtf8()));
        }
    }

    const QByteArray data = WriteBinaryProperties(object);
    if (!data.isEmpty()) {
        bool same = false;
        if (ancestor) {
            const QByteArray ancestorData = WriteBinaryProperties(*ancestor);
            const auto crc = [](const QByteArray& b) {
                return crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(b.constData()),
                             uInt(b.size()));
            };
            same = crc(data) == crc(ancestorData);
        }
        if (!same) {
            appendFragment(out, prefix, "PropData", hexOf(data));
        }
    }
    return out;
}

QByteArray TqdxXMLSerializer::decodeString(QByteArrayView value) const {
    QByteArray decoded = DecodeXMLText(value);
    if (!PlainStrings) {
        decoded = codepages::toCp1252(QString::fromUtf8(decoded));
    }
    return decoded;
}

void TqdxXMLSerializer::ApplyAttributeText(QByteArrayView text, TqdxPersistent& object) {
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        while (pos < n && text[pos] == ' ') {
            ++pos;
        }
        const qsizetype eq = text.indexOf('=', pos);
        if (eq < 0) {
            return;
        }
        QByteArrayView name = text.sliced(pos, eq - pos);
        while (!name.isEmpty() && name.back() == ' ') {
            name.chop(1);
        }
        if (name.isEmpty()) {
            return;
        }
        const qsizetype open = text.indexOf('"', eq);
        QByteArrayView value;
        if (open < 0) {
            pos = n;
        } else {
            qsizetype close = text.indexOf('"', open + 1);
            if (close < 0) {
                close = n;
            }
            value = text.sliced(open + 1, close - open - 1);
            pos = close + 1;
        }
        try {
            applyOne(name.toByteArray(), value, object);
        } catch (const std::exception& e) {
            addError(QString::fromUtf8(e.what()));
        }
    }
}

void TqdxXMLSerializer::applyOne(QByteArray name, QByteArrayView value, TqdxPersistent& object) {
    Target target{&object, nullptr, nullptr};
    // Follow dotted names from object to object.
    for (;;) {
        const qsizetype dot = name.indexOf('.');
        if (dot < 0 || !target.object) {
            break;
        }
        const TqdxPropInfo* p = target.object->ClassInfo().find(name.left(dot));
        if (!p) {
            break;
        }
        Target next;
        if (p->kind == TqdxPropKind::Object) {
            next.object = p->object(*target.object);
        } else if (p->kind == TqdxPropKind::StringList) {
            next.strings = p->strings(*target.object);
        } else if (p->kind == TqdxPropKind::WideStrings) {
            next.wide = p->wideStrings(*target.object);
        } else {
            break;
        }
        if (!next.object && !next.strings && !next.wide) {
            break;
        }
        target = next;
        name = name.mid(dot + 1);
    }

    if (target.strings || target.wide) {
        if (name.compare("Text", Qt::CaseInsensitive) != 0) {
            return;
        }
        if (target.strings) {
            target.strings->SetText(decodeString(value));
        } else {
            target.wide->SetText(codepages::fromCp1252(DecodeXMLText(value)));
        }
        return;
    }
    TqdxPersistent& current = *target.object;
    auto* component = qdx_cast<TqdxComponent>(&current);
    auto* memo = qdx_cast<TqdxCustomMemoView>(&current);

    if (name.size() == 1) {
        switch (name[0]) {
        case 'l':
        case 't':
        case 'w':
        case 'h':
            if (component) {
                const double v = XMLTextToFloat(value);
                switch (name[0]) {
                case 'l':
                    component->SetLeft(v);
                    break;
                case 't':
                    component->SetTop(v);
                    break;
                case 'w':
                    component->SetWidth(v);
                    break;
                default:
                    component->SetHeight(v);
                    break;
                }
                return;
            }
            break;
        case 'u':
            if (memo) {
                memo->SetText(QString::fromUtf8(DecodeXMLText(value)));
                return;
            }
            break;
        case 'x':
            if (memo) {
                memo->SetText(codepages::fromCp1252(DecodeXMLText(value)));
                return;
            }
            break;
        default:
            break;
        }
    }
    if (memo && name.compare("Text", Qt::CaseInsensitive) == 0) {
        memo->SetText(QString::fromUtf8(DecodeXMLText(value)));
        return;
    }
    if (name.compare("PropData", Qt::CaseInsensitive) == 0) {
        try {
            ReadBinaryProperties(current, BytesOfHex(value));
        } catch (const TqdxClassNotFound&) {
            throw;
        } catch (const std::exception&) {
            // A malformed stream ends this attribute silently.
        }
        return;
    }
    if (qdx_cast<TqdxReport>(&current) && name.compare("Name", Qt::CaseInsensitive) == 0) {
        return;
    }
    const TqdxPropInfo* p = current.ClassInfo().find(name);
    if (!p || !p->hasSetter()) {
        return;
    }
    switch (p->kind) {
    case TqdxPropKind::Integer:
        p->setOrdinal(current, XMLTextToInt(value));
        break;
    case TqdxPropKind::Enumeration: {
        qint64 v = -1;
        const QByteArrayView trimmed = value.trimmed();
        const bool numeric =
            !trimmed.isEmpty() && (isDigit(trimmed[0]) || trimmed[0] == '-' || trimmed[0] == '+');
        v = numeric ? XMLTextToInt(value) : p->enumInfo->ordinalOf(trimmed);
        if (v < 0 || v >= qint64(p->enumInfo->names.size())) {
            throw std::invalid_argument("Invalid property value");
        }
        p->setOrdinal(current, v);
        break;
    }
    case TqdxPropKind::Set: {
        const qint64 v = XMLTextToInt(value);
        const qint64 mask = (qint64(1) << p->enumInfo->names.size()) - 1;
        p->setOrdinal(current, v & mask);
        break;
    }
    case TqdxPropKind::Float:
        p->setFloat(current, XMLTextToFloat(value));
        break;
    case TqdxPropKind::String:
        p->setString(current, decodeString(value));
        break;
    case TqdxPropKind::ComponentRef:
        if (value == "nil") {
            p->setReference(current, nullptr);
        } else {
            m_fixups.push_back({&current, p, value.toByteArray()});
        }
        break;
    case TqdxPropKind::StringList:
    case TqdxPropKind::WideStrings:
    case TqdxPropKind::Object:
        break;
    }
}

TqdxComponent* TqdxXMLSerializer::findReference(const QByteArray& name) const {
    if (!Owner) {
        return nullptr;
    }
    if (Owner->Name().compare(name, Qt::CaseInsensitive) == 0 && !name.isEmpty()) {
        return Owner;
    }
    if (TqdxComponent* found = Owner->FindObject(name)) {
        return found;
    }
    if (name.contains('.')) {
        return nullptr; // no global forms or data modules here
    }
    for (TqdxComponent* c : Owner->Components()) {
        if (c->Name().compare(name, Qt::CaseInsensitive) == 0) {
            return c;
        }
    }
    return nullptr;
}

void TqdxXMLSerializer::resolveFixups() {
    std::vector<Fixup> fixups;
    fixups.swap(m_fixups);
    for (const Fixup& f : fixups) {
        try {
            if (TqdxComponent* target = findReference(f.name)) {
                f.property->setReference(*f.object, target);
            }
        } catch (const std::exception& e) {
            addError(QString::fromUtf8(e.what()));
        }
    }
}

void TqdxXMLSerializer::readElement(const TqdxXMLItem& element, TqdxComponent* parent,
                                    TqdxComponent& root, bool isRoot,
                                    std::vector<TqdxComponent*>& read) {
    // Iterative: element trees may be deep.
    struct Pending {
        const TqdxXMLItem* element;
        TqdxComponent* parent;
        bool isRoot;
    };
    std::vector<Pending> stack{{&element, parent, isRoot}};
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        const TqdxXMLItem& e = *item.element;
        const bool inherited = e.Name.compare("inherited", Qt::CaseInsensitive) == 0;
        const TqdxClassInfo* info = inherited ? nullptr : FindClass(e.Name);
        if (!inherited && !info) {
            addError(QStringLiteral("Classe n\u00e3o encontrada ") + QString::fromLatin1(e.Name));
            continue;
        }
        TqdxComponent* object = nullptr;
        if (item.isRoot) {
            object = &root;
        } else {
            QByteArray objectName;
            try {
                objectName = e.Prop("Name");
            } catch (const std::exception&) {
            }
            if (Owner && !objectName.isEmpty()) {
                for (TqdxComponent* c : Owner->Components()) {
                    if (c->Name().compare(objectName, Qt::CaseInsensitive) == 0) {
                        object = c;
                        break;
                    }
                }
            }
            if (!object) {
                if (inherited) {
                    continue;
                }
                try {
                    object = TqdxComponent::Create(*info, item.parent);
                } catch (const std::exception& ex) {
                    addError(QString::fromUtf8(ex.what()));
                    continue;
                }
            }
        }
        object->ReadingTree = true;
        ApplyAttributeText(e.Text, *object);
        read.push_back(object);
        for (int i = e.Count() - 1; i >= 0; --i) {
            stack.push_back({&e.Items(i), object, false});
        }
    }
}

void TqdxXMLSerializer::ReadObjectTree(TqdxComponent& root, const TqdxXMLItem* element) {
    if (!Owner) {
        Owner = &root;
    }
    TqdxXMLDocument document;
    if (!element) {
        if (!m_stream) {
            return;
        }
        document.LoadFromStream(*m_stream);
        PlainStrings = document.LegacyHeader;
        element = &document.Root();
    }
    std::vector<TqdxComponent*> read;
    readElement(*element, nullptr, root, true, read);
    resolveFixups();
    for (TqdxComponent* object : read) {
        object->ReadingTree = false;
        if (!qdx_cast<TqdxReport>(object)) {
            object->Loaded();
        }
    }
}

void TqdxXMLSerializer::writeElement(TqdxComponent& object, bool saveChildren, bool streaming,
                                     TqdxXMLItem& element, bool isRoot) {
    struct Pending {
        TqdxComponent* object;
        TqdxXMLItem* element;
        bool isRoot;
    };
    std::vector<Pending> stack{{&object, &element, isRoot}};
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        TqdxComponent& o = *item.object;
        item.element->Name = o.Inherited && !streaming ? QByteArray("inherited") : o.ClassName();
        QByteArray text = ObjectToElement(o);
        if (item.isRoot) {
            item.element->Text = text.startsWith(' ') ? text.mid(1) : text;
        } else {
            item.element->Text = "Name=\"" + o.Name() + '"' + text;
        }
        if (!saveChildren) {
            continue;
        }
        std::vector<TqdxXMLItem*> childElements;
        for (size_t i = 0; i < o.Objects().size(); ++i) {
            childElements.push_back(&item.element->Add());
        }
        for (size_t i = o.Objects().size(); i-- > 0;) {
            stack.push_back({o.Objects()[i], childElements[i], false});
        }
    }
}

void TqdxXMLSerializer::WriteObjectTree(TqdxComponent& root, bool saveChildren, bool streaming,
                                        TqdxXMLItem* element) {
    if (!Owner) {
        Owner = &root;
    }
    if (element) {
        writeElement(root, saveChildren, streaming, *element, true);
        return;
    }
    TqdxXMLDocument document;
    document.IndentOutput = true;
    writeElement(root, saveChildren, streaming, document.Root(), true);
    if (m_stream) {
        document.SaveToStream(*m_stream);
    }
}

QByteArray TqdxXMLSerializer::ObjectTreeToText(TqdxPersistent& object) {
    return object.ClassName() + ObjectToElement(object);
}

TqdxComponent* TqdxXMLSerializer::ObjectTreeFromText(TqdxComponent* owner, QByteArrayView text,
                                                     bool keepReferences) {
    Owner = owner;
    const QByteArrayView trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return nullptr;
    }
    const qsizetype space = trimmed.indexOf(' ');
    const QByteArrayView className = space < 0 ? trimmed : trimmed.first(space);
    const QByteArrayView attributes = space < 0 ? QByteArrayView() : trimmed.sliced(space + 1);
    const TqdxClassInfo& info = GetClass(className);
    TqdxComponent* object = TqdxComponent::Create(info, owner);
    object->ReadingTree = true;
    ApplyAttributeText(attributes, *object);
    if (keepReferences) {
        m_fixups.clear();
    } else {
        resolveFixups();
    }
    object->ReadingTree = false;
    if (!qdx_cast<TqdxReport>(object)) {
        object->Loaded();
    }
    return object;
}

void TqdxXMLSerializer::WriteObject(TqdxPersistent& object) {
    if (!m_stream) {
        return;
    }
    const QByteArray out = "<" + object.ClassName() + ObjectToElement(object) + "/>";
    m_stream->write(out);
}

void TqdxXMLSerializer::ReadObjectAttributes(TqdxComponent* owner, TqdxPersistent& item,
                                             QByteArrayView text) {
    Owner = owner;
    ApplyAttributeText(text, item);
    resolveFixups();
}

} // namespace zr::reportlib
