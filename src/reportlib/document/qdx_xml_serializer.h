#pragma once

// Report objects to and from the XML dialect: an object is an element named by its class whose
// attribute text lists its published properties; the same attribute texts, applied in order,
// rebuild objects from their one-line form.

#include "reportlib/document/qdx_classes.h"
#include "reportlib/document/qdx_xml.h"

#include <QByteArray>
#include <QIODevice>
#include <QStringList>

#include <functional>
#include <vector>

namespace zr::reportlib {

class TqdxComponent;

// The largest magnitude whose float text (15 significant digits) still reads back as a number.
inline constexpr double kMaxFloatText = 1.79769313486231e308;
// `value` within what the float text carries: NaN becomes 0, and magnitudes beyond
// kMaxFloatText (infinities included) become kMaxFloatText with their sign.
double FiniteFloat(double value);

// Float text of the system number format: up to 15 significant digits, the decimal separator
// below, an exponent ("1E-7", "1.5E20") for very large or small values. The value is first
// brought within FiniteFloat, so the text always reads back.
QByteArray FloatToXMLText(double value);
// Replaces '.' and ',' by the decimal separator, drops spaces and converts. Throws
// std::invalid_argument ("'x' is not a valid floating point value") for other text and for
// values out of the double range.
double XMLTextToFloat(QByteArrayView text);
// Throws std::invalid_argument ("'x' is not a valid integer value").
qint64 XMLTextToInt(QByteArrayView text);

// Bytes of hexadecimal digit pairs, up to the first character that is not a digit.
QByteArray BytesOfHex(QByteArrayView hex);

// Inserts `message` into a list kept sorted without regard to case, unless the list already
// holds it (case ignored). Error lists of the serializer and the report are kept this way.
void AddSortedMessage(QStringList& list, const QString& message);

// The system decimal separator, '.' or ','. Taken from the system locale at start; tests set it.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Binary properties of an object (data that is not a published property: a picture's graphic,
// rich text). Writing collects them in the class library's property stream; reading hands each
// value to the object's reader of that name.
class TqdxFiler {
public:
    using Reader = std::function<void(const QByteArray& data)>;
    using Writer = std::function<QByteArray()>;
    virtual ~TqdxFiler() = default;
    virtual void DefineBinaryProperty(const QByteArray& name, const Reader& read,
                                      const Writer& write, bool hasData) = 0;
};

// The property stream: per property a length-prefixed name, a value tag and the value (raw
// bytes: tag 10, a 32-bit little-endian count and the bytes).
QByteArray WriteBinaryProperties(TqdxPersistent& object);
// Reads properties until the stream ends; throws std::runtime_error at the first property the
// object does not define or that is malformed.
void ReadBinaryProperties(TqdxPersistent& object, QByteArrayView stream);

class TqdxXMLSerializer {
public:
    // `stream` may be null for the string forms.
    explicit TqdxXMLSerializer(QIODevice* stream = nullptr);

    QStringList Errors; // sorted, without duplicates
    TqdxComponent* Owner = nullptr;
    bool WriteDefaults = false;
    bool PlainStrings = true;
    std::function<TqdxComponent*(const QByteArray& name)> OnFindAncestor;

    QByteArray ObjectToElement(TqdxPersistent& object, const QByteArray& prefix = {},
                               TqdxPersistent* ancestor = nullptr);
    void ApplyAttributeText(QByteArrayView text, TqdxPersistent& object);
    // Into `element`, or, without one, into a new indented document saved to the stream.
    void WriteObjectTree(TqdxComponent& root, bool saveChildren = true, bool streaming = false,
                         TqdxXMLItem* element = nullptr);
    // From `element`, or, without one, from a document loaded from the stream.
    void ReadObjectTree(TqdxComponent& root, const TqdxXMLItem* element = nullptr);
    QByteArray ObjectTreeToText(TqdxPersistent& object);
    // Raises TqdxClassNotFound for an unregistered class; returns null for an empty text.
    TqdxComponent* ObjectTreeFromText(TqdxComponent* owner, QByteArrayView text,
                                      bool keepReferences);
    void WriteObject(TqdxPersistent& object);
    void ReadObjectAttributes(TqdxComponent* owner, TqdxPersistent& item, QByteArrayView text);

    // The full name under which a reference to `component` is written ("" when it has none).
    QByteArray FullName(const TqdxComponent& component) const;

private:
    struct Fixup {
        TqdxPersistent* object;
        const TqdxPropInfo* property;
        QByteArray name;
    };
    void addError(const QString& message);
    void applyOne(QByteArray name, QByteArrayView value, TqdxPersistent& object);
    void readElement(const TqdxXMLItem& element, TqdxComponent* parent, TqdxComponent& root,
                     bool isRoot, std::vector<TqdxComponent*>& read);
    void writeElement(TqdxComponent& object, bool saveChildren, bool streaming,
                      TqdxXMLItem& element, bool isRoot);
    void resolveFixups();
    TqdxComponent* findReference(const QByteArray& name) const;
    QByteArray decodeString(QByteArrayView value) const;

    QIODevice* m_stream;
    std::vector<Fixup> m_fixups;
};

} // namespace zr::reportlib
