#include "qdx_components.h"

#include "qdx_report.h"
#include "qdx_xml.h"
#include "qdx_xml_serializer.h"

#include <QBuffer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <stdexcept>

namespace zr::reportlib {

namespace {

// Windows' MulDiv: a * b / c rounded half away from zero.
int mulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const double v = double(a) * double(b) / double(c);
    return int(v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5));
}

void appendAttr(QByteArray& out, const char* name, const QByteArray& value) {
    out += ' ';
    out += name;
    out += "=\"";
    out += value;
    out += '"';
}
void appendAttr(QByteArray& out, const char* name, qint64 value) {
    appendAttr(out, name, QByteArray::number(value));
}
void appendFloat(QByteArray& out, const char* name, double value) {
    appendAttr(out, name, FloatToXMLText(value));
}
bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

std::runtime_error invalidName(const QByteArray& name) {
    return std::runtime_error("\"" + name.toStdString() +
                              "\" n\xc3\xa3o \xc3\xa9 um nome de componente v\xc3\xa1lido");
}

bool differs(double a, double b) {
    return std::fabs(a - b) > 0.0001;
}

// Rounding of a float to the nearest integer, halves to even.
double roundEven(double v) {
    return std::nearbyint(v);
}

const TqdxEnumInfo& alignEnum() {
    static const TqdxEnumInfo e{
        {"baNone", "baLeft", "baRight", "baCenter", "baWidth", "baBottom", "baClient"}};
    return e;
}
const TqdxEnumInfo& shiftModeEnum() {
    static const TqdxEnumInfo e{{"smDontShift", "smAlways", "smWhenOverlapped"}};
    return e;
}
const TqdxEnumInfo& stretchModeEnum() {
    static const TqdxEnumInfo e{{"smDontStretch", "smActualHeight", "smMaxHeight"}};
    return e;
}
const TqdxEnumInfo& frameStyleEnum() {
    static const TqdxEnumInfo e{{"fsSolid", "fsDash", "fsDot", "fsDashDot", "fsDashDotDot",
                                 "fsDouble", "fsAltDot", "fsSquare"}};
    return e;
}
const TqdxEnumInfo& frameTypeEnum() {
    static const TqdxEnumInfo e{{"ftLeft", "ftRight", "ftTop", "ftBottom"}};
    return e;
}
const TqdxEnumInfo& brushStyleEnum() {
    static const TqdxEnumInfo e{{"bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal",
                                 "bsBDiagonal", "bsCross", "bsDiagCross"}};
    return e;
}
const TqdxEnumInfo& hAlignEnum() {
    static const TqdxEnumInfo e{{"haLeft", "haRight", "haCenter", "haBlock"}};
    return e;
}
const TqdxEnumInfo& vAlignEnum() {
    static const TqdxEnumInfo e{{"vaTop", "vaBottom", "vaCenter"}};
    return e;
}
const TqdxEnumInfo& formatKindEnum() {
    static const TqdxEnumInfo e{{"fkText", "fkNumeric", "fkDateTime", "fkBoolean"}};
    return e;
}
const TqdxEnumInfo& shapeKindEnum() {
    static const TqdxEnumInfo e{{"skRectangle", "skRoundRectangle", "skEllipse", "skTriangle",
                                 "skDiamond", "skDiagonal1", "skDiagonal2"}};
    return e;
}
const TqdxEnumInfo& checkStyleEnum() {
    static const TqdxEnumInfo e{{"csCross", "csCheck", "csLineCross", "csPlus"}};
    return e;
}
const TqdxEnumInfo& uncheckStyleEnum() {
    static const TqdxEnumInfo e{{"usEmpty", "usCross", "usLineCross", "usMinus"}};
    return e;
}
const TqdxEnumInfo& gradientStyleEnum() {
    static const TqdxEnumInfo e{{"gsHorizontal", "gsVertical", "gsElliptic", "gsRectangle",
                                 "gsVertCenter", "gsHorizCenter"}};
    return e;
}
const TqdxEnumInfo& orientationEnum() {
    static const TqdxEnumInfo e{{"poPortrait", "poLandscape"}};
    return e;
}
const TqdxEnumInfo& duplexEnum() {
    static const TqdxEnumInfo e{{"dmNone", "dmVertical", "dmHorizontal", "dmSimplex"}};
    return e;
}
const TqdxEnumInfo& fontStyleEnum() {
    static const TqdxEnumInfo e{{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}};
    return e;
}
const TqdxEnumInfo& fontPitchEnum() {
    static const TqdxEnumInfo e{{"fpDefault", "fpVariable", "fpFixed"}};
    return e;
}
const TqdxEnumInfo& restrictionsEnum() {
    static const TqdxEnumInfo e{
        {"rfDontModify", "rfDontSize", "rfDontMove", "rfDontDelete", "rfDontEdit"}};
    return e;
}

template <class C> TqdxComponent* createComponent(TqdxComponent*) {
    return new C();
}

// Properties shared by many classes, published with the same description.
template <class C> void publishFont(TqdxClassBuilder<C>& b) {
    b.object(
        "Font", [](C& c) -> TqdxFont& { return c.Font(); },
        [](const C& c) { return !c.ParentFont(); });
}
template <class C> void publishParentFont(TqdxClassBuilder<C>& b) {
    b.boolean("ParentFont", &C::ParentFont, &C::SetParentFont, true);
}
template <class C> void publishGeometry(TqdxClassBuilder<C>& b, const char* which) {
    for (const char* p = which; *p; ++p) {
        switch (*p) {
        case 'l':
            b.floating("Left", &C::Left, &C::SetLeft);
            break;
        case 't':
            b.floating("Top", &C::Top, &C::SetTop);
            break;
        case 'w':
            b.floating("Width", &C::Width, &C::SetWidth);
            break;
        case 'h':
            b.floating("Height", &C::Height, &C::SetHeight);
            break;
        default:
            break;
        }
    }
}
template <class C> void publishVisible(TqdxClassBuilder<C>& b) {
    b.boolean("Visible", &C::Visible, &C::SetVisible, true);
}
template <class C> void publishFill(TqdxClassBuilder<C>& b) {
    b.enumeration("BrushStyle", brushStyleEnum(), &C::BrushStyle, nullptr, bsSolid);
    b.integer("Color", &C::Color, nullptr, clTransparent);
}
template <class C> void publishFrame(TqdxClassBuilder<C>& b) {
    b.object("Frame", &C::Frame);
}
template <class C> void publishData(TqdxClassBuilder<C>& b) {
    b.reference("DataSet", &C::DataSet);
    b.string("DataSetName", &C::DataSetName);
    b.string("DataField", &C::DataField);
}
template <class C> void publishLink(TqdxClassBuilder<C>& b) {
    b.integer("Cursor", &C::Cursor, nullptr, 0);
    b.string("TagStr", &C::TagStr);
    b.string("URL", &C::URL);
}

} // namespace

// ---- Font --------------------------------------------------------------------------------

const TqdxClassInfo& TqdxFont::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxFont> b(info, "TFont", nullptr);
        b.integer("Charset", &TqdxFont::Charset, &TqdxFont::SetCharset);
        b.integer("Color", &TqdxFont::Color, &TqdxFont::SetColor);
        b.integer("Height", &TqdxFont::Height, &TqdxFont::SetHeight);
        b.string("Name", &TqdxFont::Name, &TqdxFont::SetName);
        b.enumeration("Pitch", fontPitchEnum(), &TqdxFont::Pitch, &TqdxFont::SetPitch, 0);
        b.integer("Size", &TqdxFont::Size, &TqdxFont::SetSize, std::nullopt,
                  [](const TqdxFont&) { return false; });
        b.set("Style", fontStyleEnum(), &TqdxFont::Style, &TqdxFont::SetStyle);
    });
}

int TqdxFont::Size() const {
    return -mulDiv(Height, 72, PixelsPerInch);
}

void TqdxFont::SetSize(int points) {
    Height = -mulDiv(points, PixelsPerInch, 72);
    changed();
}

void TqdxFont::Assign(const TqdxFont& other) {
    Name = other.Name;
    Height = other.Height;
    Color = other.Color;
    Charset = other.Charset;
    Style = other.Style;
    Pitch = other.Pitch;
    PixelsPerInch = other.PixelsPerInch;
    changed();
}

bool TqdxFont::operator==(const TqdxFont& other) const {
    return Name == other.Name && Height == other.Height && Color == other.Color &&
           Charset == other.Charset && Style == other.Style && Pitch == other.Pitch;
}

// ---- Frame -------------------------------------------------------------------------------

const TqdxClassInfo& TqdxFrameLine::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxFrameLine> b(info, "TqdxFrameLine", nullptr);
        b.integer("Color", &TqdxFrameLine::Color, nullptr, std::nullopt,
                  [](const TqdxFrameLine& l) { return l.Color != l.Frame->Color(); });
        b.enumeration("Style", frameStyleEnum(), &TqdxFrameLine::Style, nullptr, std::nullopt,
                      [](const TqdxFrameLine& l) { return l.Style != l.Frame->Style(); });
        b.floating("Width", &TqdxFrameLine::Width, nullptr,
                   [](const TqdxFrameLine& l) { return l.Width != l.Frame->Width(); });
    });
}

void TqdxFrameLine::Assign(const TqdxFrameLine& other) {
    Color = other.Color;
    Style = other.Style;
    Width = other.Width;
}

bool TqdxFrameLine::operator==(const TqdxFrameLine& other) const {
    return Color == other.Color && Style == other.Style && Width == other.Width;
}

const TqdxClassInfo& TqdxFrame::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxFrame> b(info, "TqdxFrame", nullptr);
        b.integer("Color", &TqdxFrame::Color, &TqdxFrame::SetColor, 0);
        b.boolean("DropShadow", &TqdxFrame::DropShadow, nullptr, false);
        b.integer("ShadowColor", &TqdxFrame::ShadowColor, nullptr, 0);
        b.floating("ShadowWidth", &TqdxFrame::ShadowWidth, nullptr,
                   [](const TqdxFrame& f) { return f.ShadowWidth != 4.0; });
        b.enumeration("Style", frameStyleEnum(), &TqdxFrame::Style, &TqdxFrame::SetStyle, fsSolid);
        b.set("Typ", frameTypeEnum(), &TqdxFrame::Typ, nullptr, std::nullopt,
              [](const TqdxFrame& f) { return f.Typ != 0; });
        b.floating("Width", &TqdxFrame::Width, &TqdxFrame::SetWidth,
                   [](const TqdxFrame& f) { return f.Width() != 1.0; });
        b.object("LeftLine", &TqdxFrame::LeftLine);
        b.object("TopLine", &TqdxFrame::TopLine);
        b.object("RightLine", &TqdxFrame::RightLine);
        b.object("BottomLine", &TqdxFrame::BottomLine);
    });
}

TqdxFrame::TqdxFrame() = default;

void TqdxFrame::SetColor(int v) {
    m_color = v;
    LeftLine.Color = TopLine.Color = RightLine.Color = BottomLine.Color = v;
}

void TqdxFrame::SetStyle(int v) {
    m_style = v;
    LeftLine.Style = TopLine.Style = RightLine.Style = BottomLine.Style = v;
}

void TqdxFrame::SetWidth(double v) {
    m_width = v;
    LeftLine.Width = TopLine.Width = RightLine.Width = BottomLine.Width = v;
}

void TqdxFrame::Assign(const TqdxFrame& other) {
    m_color = other.m_color;
    DropShadow = other.DropShadow;
    ShadowColor = other.ShadowColor;
    ShadowWidth = other.ShadowWidth;
    m_style = other.m_style;
    Typ = other.Typ;
    m_width = other.m_width;
    LeftLine.Assign(other.LeftLine);
    TopLine.Assign(other.TopLine);
    RightLine.Assign(other.RightLine);
    BottomLine.Assign(other.BottomLine);
}

bool TqdxFrame::operator==(const TqdxFrame& other) const {
    return m_color == other.m_color && DropShadow == other.DropShadow &&
           ShadowColor == other.ShadowColor && ShadowWidth == other.ShadowWidth &&
           m_style == other.m_style && Typ == other.Typ && m_width == other.m_width &&
           LeftLine == other.LeftLine && TopLine == other.TopLine && RightLine == other.RightLine &&
           BottomLine == other.BottomLine;
}

// ---- Picture, highlight, format ------------------------------------------------------------

const TqdxClassInfo& TqdxPicture::StaticClassInfo() {
    return DescribeClass(
        [](TqdxClassInfo& info) { TqdxClassBuilder<TqdxPicture> b(info, "TPicture", nullptr); });
}

namespace {

// Graphic classes a picture's data may name, with the name written back.
const char* const kGraphicClasses[] = {"TBitmap",    "TJPEGImage", "TPngImage",
                                       "TPNGObject", "TIcon",      "TMetafile"};

} // namespace

void TqdxPicture::DefineProperties(TqdxFiler& filer) {
    filer.DefineBinaryProperty(
        "Data",
        [this](const QByteArray& data) {
            Clear();
            if (data.isEmpty()) {
                return;
            }
            const int length = static_cast<unsigned char>(data[0]);
            if (length + 1 > data.size()) {
                throw std::runtime_error("Stream read error");
            }
            const QByteArray className = data.mid(1, length);
            const bool known = std::any_of(
                std::begin(kGraphicClasses), std::end(kGraphicClasses),
                [&](const char* c) { return className.compare(c, Qt::CaseInsensitive) == 0; });
            if (!known) {
                throw TqdxClassNotFound(className);
            }
            GraphicClass = className;
            Data = data.mid(1 + length);
            StreamForm = false;
        },
        [this]() {
            QByteArray out;
            out += char(GraphicClass.size());
            out += GraphicClass;
            out += Data;
            return out;
        },
        !Empty());
}

void TqdxPicture::Clear() {
    GraphicClass.clear();
    Data.clear();
    StreamForm = false;
}

const TqdxClassInfo& TqdxHighlight::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxHighlight> b(info, "TqdxHighlight", nullptr);
        b.boolean("Active", &TqdxHighlight::Active, nullptr, false);
        b.object("Font", &TqdxHighlight::Font);
        b.integer("Color", &TqdxHighlight::Color, nullptr, clTransparent);
        b.string("Condition", &TqdxHighlight::Condition);
    });
}

TqdxHighlight::TqdxHighlight() {
    Font.Color = 255;
}

const TqdxClassInfo& TqdxFormat::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxFormat> b(info, "TqdxFormat", nullptr);
        b.string("DecimalSeparator", &TqdxFormat::DecimalSeparator);
        b.string("ThousandSeparator", &TqdxFormat::ThousandSeparator);
        b.string("FormatStr", &TqdxFormat::FormatStr);
        b.enumeration("Kind", formatKindEnum(), &TqdxFormat::Kind, nullptr, fkText);
    });
}

// ---- Component -----------------------------------------------------------------------------

bool IsValidComponentName(QByteArrayView name) {
    if (name.isEmpty() || !isAsciiLetter(name.front())) {
        return false;
    }
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return isAsciiLetter(c) || (c >= '0' && c <= '9'); });
}

const TqdxClassInfo& TqdxComponent::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxComponent> b(info, "TqdxComponent", nullptr);
        b.string("Name", &TqdxComponent::Name, &TqdxComponent::SetName,
                 [](const TqdxComponent&) { return false; });
        b.integer("Tag", &TqdxComponent::Tag, nullptr, 0);
    });
}

TqdxComponent::TqdxComponent() {
    m_font.OnChange = [this] { fontChanged(); };
}

TqdxComponent::~TqdxComponent() {
    m_font.OnChange = nullptr;
    for (TqdxComponent* owned : m_owned) {
        owned->m_libOwner = nullptr;
    }
    if (m_libOwner) {
        auto& list = m_libOwner->m_owned;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    // Children are freed here, inherited ones too: nothing else owns them. Deep trees are
    // taken apart first so that no destructor recurses.
    if (!m_objects.empty()) {
        const std::vector<TqdxComponent*> all = AllObjects();
        for (TqdxComponent* c : all) {
            c->m_parent = nullptr;
            c->m_objects.clear();
        }
        m_objects.clear();
        for (auto it = all.rbegin(); it != all.rend(); ++it) {
            delete *it;
        }
    }
    if (m_parent) {
        auto& list = m_parent->m_objects;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

TqdxComponent* TqdxComponent::Create(const TqdxClassInfo& info, TqdxComponent* owner) {
    if (!info.create) {
        throw TqdxClassNotFound(info.name);
    }
    TqdxComponent* c = info.create(owner);
    if (c->NameBase.isEmpty()) {
        c->NameBase = defaultNameBase(info.name);
    }
    c->attach(owner);
    return c;
}

void TqdxComponent::attach(TqdxComponent* owner) {
    if (!owner) {
        return;
    }
    m_libOwner = owner->Report();
    if (m_libOwner) {
        m_libOwner->m_owned.push_back(this);
    }
    SetParent(owner);
}

QByteArray TqdxComponent::defaultNameBase(const QByteArray& className) {
    QByteArray base = className;
    const qsizetype t = base.indexOf("Tqdx");
    if (t >= 0) {
        base.remove(t, 4);
    }
    const qsizetype v = base.indexOf("View");
    if (v >= 0) {
        base.remove(v, 4);
    }
    return base;
}

void TqdxComponent::SetName(const QByteArray& name) {
    if (name.compare(m_name, Qt::CaseInsensitive) == 0) {
        return;
    }
    if (Inherited) {
        throw std::runtime_error(
            QStringLiteral("Could not rename %1, it was introduced in the ancestor report")
                .arg(QString::fromLatin1(m_name))
                .toStdString());
    }
    if (TqdxReport* report = Report(); report && report != this && !name.isEmpty()) {
        if (TqdxComponent* other = report->FindObject(name); other && other != this) {
            throw std::runtime_error("Nome duplicado: " + name.toStdString());
        }
    }
    if (!name.isEmpty() && !IsValidComponentName(name)) {
        throw invalidName(name);
    }
    m_name = name;
}

// Objects created for design refuse moving and resizing under their restrictions.
void TqdxComponent::setUnlessRestricted(double& field, double v, int restriction) {
    if (!(CreatedForDesign && (Restrictions & restriction))) {
        // Sums of huge values read from a file must not turn into infinities in the next save.
        field = FiniteFloat(v);
    }
}

void TqdxComponent::SetLeft(double v) {
    setUnlessRestricted(m_left, v, rfDontMove);
}

void TqdxComponent::SetTop(double v) {
    setUnlessRestricted(m_top, v, rfDontMove);
}

void TqdxComponent::SetWidth(double v) {
    setUnlessRestricted(m_width, v, rfDontSize);
}

void TqdxComponent::SetHeight(double v) {
    setUnlessRestricted(m_height, v, rfDontSize);
}

void TqdxComponent::SetBounds(double left, double top, double width, double height) {
    SetLeft(left);
    SetTop(top);
    SetWidth(width);
    SetHeight(height);
}

void TqdxComponent::SetFont(const TqdxFont& font) {
    m_font.Assign(font);
    m_parentFont = false;
}

void TqdxComponent::SetParentFont(bool v) {
    if (v && m_parent) {
        applyParentFont();
    }
    m_parentFont = v;
}

void TqdxComponent::applyParentFont() {
    m_copyingFont = true;
    m_font.Assign(m_parent->m_font);
    m_copyingFont = false;
    for (TqdxComponent* child : m_objects) {
        if (child->m_parentFont) {
            child->applyParentFont();
        }
    }
}

void TqdxComponent::fontChanged() {
    if (m_copyingFont) {
        return;
    }
    m_parentFont = false;
    for (TqdxComponent* child : m_objects) {
        if (child->m_parentFont) {
            child->applyParentFont();
        }
    }
}

void TqdxComponent::SetParent(TqdxComponent* parent) {
    if (parent == m_parent) {
        return;
    }
    // Only an object with children can be an ancestor of its new parent.
    for (TqdxComponent* p = parent; p; p = m_objects.empty() ? nullptr : p->m_parent) {
        if (p == this) {
            throw std::invalid_argument("A component cannot become its own descendant");
        }
    }
    if (m_parent) {
        auto& list = m_parent->m_objects;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    m_parent = parent;
    if (parent) {
        parent->m_objects.push_back(this);
        if (m_parentFont) {
            applyParentFont();
        }
    }
}

std::vector<TqdxComponent*> TqdxComponent::AllObjects() const {
    std::vector<TqdxComponent*> out;
    std::vector<std::pair<const TqdxComponent*, size_t>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next == node->m_objects.size()) {
            stack.pop_back();
            continue;
        }
        TqdxComponent* child = node->m_objects[next++];
        out.push_back(child);
        stack.emplace_back(child, 0);
    }
    return out;
}

TqdxComponent* TqdxComponent::FindObject(QByteArrayView name) const {
    for (TqdxComponent* c : AllObjects()) {
        if (c->m_name.compare(name, Qt::CaseInsensitive) == 0) {
            return c;
        }
    }
    return nullptr;
}

TqdxReportPage* TqdxComponent::Page() const {
    for (const TqdxComponent* c = this; c; c = c->m_parent) {
        if (auto* page = qdx_cast<TqdxReportPage>(const_cast<TqdxComponent*>(c))) {
            return page;
        }
    }
    return nullptr;
}

TqdxReport* TqdxComponent::Report() const {
    for (const TqdxComponent* c = this; c; c = c->m_parent) {
        if (auto* report = qdx_cast<TqdxReport>(const_cast<TqdxComponent*>(c))) {
            return report;
        }
    }
    return nullptr;
}

double TqdxComponent::AbsLeft() const {
    double v = m_left;
    for (const TqdxComponent* p = m_parent; p && !qdx_cast<TqdxDialogPage>(p); p = p->m_parent) {
        v += p->m_left;
    }
    return v;
}

double TqdxComponent::AbsTop() const {
    double v = m_top;
    for (const TqdxComponent* p = m_parent; p && !qdx_cast<TqdxDialogPage>(p); p = p->m_parent) {
        v += p->m_top;
    }
    return v;
}

void TqdxComponent::Clear() {
    std::vector<TqdxComponent*> children = m_objects;
    for (TqdxComponent* child : children) {
        if (child->Inherited) {
            child->Clear();
        } else {
            delete child;
        }
    }
}

QByteArray TqdxComponent::componentDeltaText(const TqdxComponent* source) const {
    QByteArray out;
    if (!source) {
        return out;
    }
    const bool band = qdx_cast<TqdxBand>(this) != nullptr;
    if (differs(m_left, source->m_left)) {
        appendFloat(out, "l", m_left);
    }
    if (band || differs(m_top, source->m_top)) {
        appendFloat(out, "t", m_top);
    }
    const auto* memo = qdx_cast<TqdxCustomMemoView>(this);
    if (differs(m_width, source->m_width) && !(memo && memo->AutoWidth)) {
        appendFloat(out, "w", m_width);
    }
    if (differs(m_height, source->m_height)) {
        appendFloat(out, "h", m_height);
    }
    if (m_visible != source->m_visible) {
        appendAttr(out, "Visible", m_visible ? 1 : 0);
    }
    if (!m_parentFont) {
        const TqdxFont& f = m_font;
        const TqdxFont& s = source->m_font;
        if (f.Name != s.Name) {
            appendAttr(out, "Font.Name", EncodeXMLText(f.Name));
        }
        if (f.Size() != s.Size()) {
            appendAttr(out, "Font.Size", f.Size());
        }
        if (f.Color != s.Color) {
            appendAttr(out, "Font.Color", f.Color);
        }
        if (f.Style != s.Style) {
            appendAttr(out, "Font.Style", f.Style);
        }
        if (f.Charset != s.Charset) {
            appendAttr(out, "Font.Charset", f.Charset);
        }
    }
    if (m_parentFont != source->m_parentFont) {
        appendAttr(out, "ParentFont", m_parentFont ? 1 : 0);
    }
    if (Tag != source->Tag) {
        appendAttr(out, "Tag", Tag);
    }
    return out;
}

QByteArray TqdxComponent::DeltaText(const TqdxComponent* source) const {
    return componentDeltaText(source);
}

QByteArray TqdxComponent::CompleteDeltaText(const TqdxComponent* source) const {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TqdxXMLSerializer serializer(&buffer);
    serializer.WriteObject(*const_cast<TqdxComponent*>(this));
    QByteArray element = buffer.data();
    QByteArray out;
    const qsizetype space = element.indexOf(' ');
    if (space >= 0 && element.endsWith("/>")) {
        out = element.mid(space + 1, element.size() - space - 3);
    }
    if (source) {
        out += ' ';
        out += DeltaText(source);
    }
    if (qdx_cast<TqdxNullBand>(this)) {
        appendFloat(out, "l", m_left);
        appendFloat(out, "t", m_top);
    }
    return out;
}

void TqdxComponent::CreateUniqueName() {
    const TqdxComponent* scope = Report();
    if (!scope) {
        scope = m_parent;
    }
    std::vector<TqdxComponent*> all = scope ? scope->AllObjects() : std::vector<TqdxComponent*>{};
    if (!IsValidComponentName(NameBase + '1')) {
        throw invalidName(NameBase + '1');
    }
    for (qint64 n = 1;; ++n) {
        const QByteArray candidate = NameBase + QByteArray::number(n);
        const bool used = std::any_of(all.begin(), all.end(), [&](const TqdxComponent* c) {
            return c != this && c->m_name.compare(candidate, Qt::CaseInsensitive) == 0;
        });
        if (!used) {
            m_name = candidate;
            return;
        }
    }
}

void TqdxComponent::Assign(const TqdxComponent& source) {
    // What saving the source without children and reading it back would do, without the
    // document in between.
    TqdxXMLSerializer writer;
    writer.Owner = source.Report();
    writer.WriteDefaults = true;
    const QByteArray text = writer.ObjectToElement(const_cast<TqdxComponent&>(source));
    TqdxXMLSerializer reader;
    reader.Owner = Report();
    reader.ReadObjectAttributes(Report(), *this, text);
    if (TqdxReport* report = Report()) {
        report->AddErrors(reader.Errors);
    }
}

void TqdxComponent::SaveToStream(QIODevice& stream, bool saveChildren, bool streaming,
                                 bool writeDefaults) {
    TqdxXMLSerializer serializer(&stream);
    serializer.Owner = Report();
    serializer.WriteDefaults = writeDefaults;
    serializer.WriteObjectTree(*this, saveChildren, streaming);
}

void TqdxComponent::LoadFromStream(QIODevice& stream) {
    Clear();
    TqdxXMLSerializer serializer(&stream);
    TqdxReport* report = Report();
    // With the report's thread-safe mode, components are read one at a time process-wide.
    static std::mutex loadLock;
    std::unique_lock lock(loadLock, std::defer_lock);
    if (report && report->EngineOptions.ThreadSafeMode) {
        lock.lock();
    }
    serializer.Owner = report;
    serializer.ReadObjectTree(*this);
    if (report) {
        report->AddErrors(serializer.Errors);
    }
}

// ---- Alignment of children -----------------------------------------------------------------

void TqdxComponent::ArrangeChildren() {
    std::vector<TqdxView*> views;
    for (TqdxComponent* c : m_objects) {
        if (auto* v = qdx_cast<TqdxView>(c)) {
            views.push_back(v);
        }
    }
    if (views.empty()) {
        return;
    }
    auto key = [](const TqdxView* v) {
        const double left = v->Left();
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%s%9.2f", left >= 0 ? "1" : "0",
                      left >= 0 ? left : -left);
        return QByteArray(buffer).toUpper();
    };
    std::vector<TqdxView*> sorted = views;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const TqdxView* a, const TqdxView* b) { return key(a) < key(b); });
    auto overlaps = [](const TqdxView* a, const TqdxView* b) {
        return !(a->AbsTop() >= b->AbsTop() + b->Height() - 0.0001 ||
                 b->AbsTop() >= a->AbsTop() + a->Height() - 0.0001);
    };
    const int n = int(sorted.size());
    for (int i = 0; i < n; ++i) {
        TqdxView* v = sorted[size_t(i)];
        if (v->Align != baLeft && v->Align != baWidth) {
            continue;
        }
        TqdxView* found = nullptr;
        for (int j = i - 1; j >= 0; --j) {
            TqdxView* c = sorted[size_t(j)];
            if (v->Align == baWidth && c->Left() > v->Left()) {
                continue;
            }
            if (overlaps(v, c)) {
                found = c;
                break;
            }
        }
        v->SetLeft(found ? found->Left() + found->Width() : 0);
    }
    for (int i = n - 1; i >= 0; --i) {
        TqdxView* v = sorted[size_t(i)];
        if (v->Align != baRight && v->Align != baWidth) {
            continue;
        }
        TqdxView* found = nullptr;
        for (int j = i + 1; j < n; ++j) {
            TqdxView* c = sorted[size_t(j)];
            if (v->Align == baWidth && c->Left() + c->Width() < v->Left() + v->Width()) {
                continue;
            }
            if (overlaps(v, c)) {
                found = c;
                break;
            }
        }
        const double edge = found ? found->Left() : Width();
        if (v->Align == baRight) {
            v->SetLeft(edge - v->Width());
        } else {
            v->SetWidth(edge - v->Left());
        }
    }
    for (TqdxView* v : views) {
        switch (v->Align) {
        case baCenter:
            v->SetLeft((Width() - v->Width()) / 2);
            break;
        case baBottom:
            v->SetTop(Height() - v->Height());
            break;
        case baClient:
            v->SetBounds(0, 0, Width(), Height());
            break;
        default:
            break;
        }
    }
}

// ---- Report component and views ------------------------------------------------------------

const TqdxClassInfo& TqdxReportComponent::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxReportComponent> b(info, "TqdxReportComponent",
                                                &TqdxComponent::StaticClassInfo());
        b.string("Description", &TqdxReportComponent::Description);
    });
}

void TqdxReportComponent::BeforePrint() {
    m_saved[0] = Left();
    m_saved[1] = Top();
    m_saved[2] = Width();
    m_saved[3] = Height();
}

void TqdxReportComponent::AfterPrint() {
    SetBounds(m_saved[0], m_saved[1], m_saved[2], m_saved[3]);
}

const TqdxClassInfo& TqdxView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxView> b(info, "TqdxView", &TqdxReportComponent::StaticClassInfo());
        b.enumeration("Align", alignEnum(), &TqdxView::Align, nullptr, baNone);
        b.boolean("Printable", &TqdxView::Printable, nullptr, true);
        b.enumeration("ShiftMode", shiftModeEnum(), &TqdxView::ShiftMode, nullptr, smAlways);
        publishGeometry(b, "ltwh");
        b.integer("GroupIndex", &TqdxView::GroupIndex, nullptr, 0);
        b.set("Restrictions", restrictionsEnum(), &TqdxView::Restrictions, nullptr, 0);
        publishVisible(b);
        b.string("OnAfterData", &TqdxView::OnAfterData);
        b.string("OnAfterPrint", &TqdxView::OnAfterPrint);
        b.string("OnBeforePrint", &TqdxView::OnBeforePrint);
        b.string("OnPreviewClick", &TqdxView::OnPreviewClick);
        b.string("OnPreviewDblClick", &TqdxView::OnPreviewDblClick);
        b.string("Hint", &TqdxView::Hint);
        b.boolean("ShowHint", &TqdxView::ShowHint, nullptr, false);
    });
}

TqdxView::TqdxView() {
    StyleFlags |= StoreComplete;
}

QByteArray TqdxView::DeltaText(const TqdxComponent* source) const {
    QByteArray out = componentDeltaText(source);
    const auto* ref = qdx_cast<TqdxView>(source);
    if (!ref) {
        return out;
    }
    if (BrushStyle != ref->BrushStyle) {
        appendAttr(out, "BrushStyle", BrushStyle);
    }
    if (Align != ref->Align) {
        appendAttr(out, "Align", Align);
    }
    if (Color != ref->Color) {
        appendAttr(out, "Color", Color);
    }
    const TqdxFrame& f = Frame;
    const TqdxFrame& r = ref->Frame;
    if (f.Color() != r.Color()) {
        appendAttr(out, "Frame.Color", f.Color());
    }
    if (f.DropShadow != r.DropShadow) {
        appendAttr(out, "Frame.DropShadow", f.DropShadow ? 1 : 0);
    }
    if (f.ShadowColor != r.ShadowColor) {
        appendAttr(out, "Frame.ShadowColor", f.ShadowColor);
    }
    if (f.ShadowWidth != r.ShadowWidth) {
        appendFloat(out, "Frame.ShadowWidth", f.ShadowWidth);
    }
    const bool styleWritten = f.Style() != r.Style();
    if (styleWritten) {
        appendAttr(out, "Frame.Style", f.Style());
    }
    if (f.Typ != r.Typ) {
        appendAttr(out, "Frame.Typ", f.Typ);
    }
    const bool widthWritten = f.Width() != r.Width();
    if (widthWritten) {
        appendFloat(out, "Frame.Width", f.Width());
    }
    const bool colorWritten = f.Color() != r.Color();
    const std::pair<const char*, const TqdxFrameLine TqdxFrame::*> lines[] = {
        {"Frame.LeftLine", &TqdxFrame::LeftLine},
        {"Frame.TopLine", &TqdxFrame::TopLine},
        {"Frame.RightLine", &TqdxFrame::RightLine},
        {"Frame.BottomLine", &TqdxFrame::BottomLine}};
    for (const auto& [prefix, member] : lines) {
        const TqdxFrameLine& line = f.*member;
        const TqdxFrameLine& refLine = r.*member;
        const QByteArray p(prefix);
        if (colorWritten ? line.Color != f.Color() : line.Color != refLine.Color) {
            appendAttr(out, (p + ".Color").constData(), line.Color);
        }
        if (styleWritten ? line.Style != f.Style() : line.Style != refLine.Style) {
            appendAttr(out, (p + ".Style").constData(), line.Style);
        }
        if (widthWritten ? line.Width != f.Width() : line.Width != refLine.Width) {
            appendFloat(out, (p + ".Width").constData(), line.Width);
        }
    }
    if (Cursor != ref->Cursor) {
        appendAttr(out, "Cursor", Cursor);
    }
    if (Printable != ref->Printable) {
        appendAttr(out, "Printable", Printable ? 1 : 0);
    }
    if (TagStr != ref->TagStr) {
        appendAttr(out, "TagStr", EncodeXMLText(TagStr));
    }
    if (URL != ref->URL) {
        appendAttr(out, "URL", EncodeXMLText(URL));
    }
    return out;
}

const TqdxClassInfo& TqdxStretcheable::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxStretcheable> b(info, "TqdxStretcheable",
                                             &TqdxView::StaticClassInfo());
    });
}

// ---- Memo views ---------------------------------------------------------------------------

namespace {

template <class C> void publishMemoProperties(TqdxClassBuilder<C>& b, bool full) {
    auto isDefault = [](double v, double d) { return v == d; };
    (void)isDefault;
    if (full) {
        b.wideStrings("Memo", &C::Memo);
        publishFont(b);
        publishParentFont(b);
        publishFill(b);
        publishFrame(b);
        b.enumeration("HAlign", hAlignEnum(), &C::HAlign, nullptr, haLeft);
        b.enumeration("VAlign", vAlignEnum(), &C::VAlign, nullptr, vaTop);
        b.boolean("WordWrap", &C::WordWrap, nullptr, true);
        b.boolean("WordBreak", &C::WordBreak, nullptr, false);
        b.boolean("AllowHTMLTags", &C::AllowHTMLTags, nullptr, false);
        b.integer("Rotation", &C::Rotation, &C::SetRotation, 0);
        b.boolean("RTLReading", &C::RTLReading, nullptr, false);
        b.boolean("Wysiwyg", &C::Wysiwyg, nullptr, true);
        b.boolean("Clipped", &C::Clipped, nullptr, true);
        b.floating("GapX", &C::GapX, nullptr, [](const C& c) { return c.GapX != 2; });
        b.floating("GapY", &C::GapY, nullptr, [](const C& c) { return c.GapY != 1; });
        b.floating("LineSpacing", &C::LineSpacing, nullptr,
                   [](const C& c) { return c.LineSpacing != 2; });
        b.floating("CharSpacing", &C::CharSpacing, nullptr,
                   [](const C& c) { return c.CharSpacing != 0; });
        b.floating("ParagraphGap", &C::ParagraphGap, nullptr,
                   [](const C& c) { return c.ParagraphGap != 0; });
        b.boolean("Underlines", &C::Underlines, nullptr, false);
        b.boolean("UseDefaultCharset", &C::UseDefaultCharset, nullptr, false);
        b.boolean("AutoWidth", &C::AutoWidth, nullptr, false);
        b.object("Highlight", &C::Highlight,
                 [](const C& c) { return !c.Highlight.Condition.trimmed().isEmpty(); });
        b.object("DisplayFormat", &C::DisplayFormat);
        b.boolean("AllowExpressions", &C::AllowExpressions, nullptr, true);
        b.string("ExpressionDelimiters", &C::ExpressionDelimiters, nullptr,
                 [](const C& c) { return c.ExpressionDelimiters != "[,]"; });
        b.boolean("HideZeros", &C::HideZeros, nullptr, false);
        b.boolean("SuppressRepeated", &C::SuppressRepeated, nullptr, false);
        b.string("Style", &C::Style);
        b.reference("FlowTo", &C::FlowTo);
        publishData(b);
        b.boolean("FirstParaBreak", &C::FirstParaBreak, nullptr, false);
        b.boolean("LastParaBreak", &C::LastParaBreak, nullptr, false);
        publishLink(b);
        b.enumeration("StretchMode", stretchModeEnum(), &C::StretchMode, nullptr, smDontStretch);
        return;
    }
    b.boolean("AutoWidth", &C::AutoWidth, nullptr, false);
    publishFill(b);
    b.floating("CharSpacing", &C::CharSpacing, nullptr,
               [](const C& c) { return c.CharSpacing != 0; });
    b.object("DisplayFormat", &C::DisplayFormat);
    publishFont(b);
    publishFrame(b);
    b.floating("GapX", &C::GapX, nullptr, [](const C& c) { return c.GapX != 2; });
    b.floating("GapY", &C::GapY, nullptr, [](const C& c) { return c.GapY != 1; });
    b.enumeration("HAlign", hAlignEnum(), &C::HAlign, nullptr, haLeft);
    b.boolean("HideZeros", &C::HideZeros, nullptr, false);
    b.object("Highlight", &C::Highlight,
             [](const C& c) { return !c.Highlight.Condition.trimmed().isEmpty(); });
    b.wideStrings("Memo", &C::Memo);
    publishParentFont(b);
    b.integer("Rotation", &C::Rotation, &C::SetRotation, 0);
    b.boolean("RTLReading", &C::RTLReading, nullptr, false);
    b.string("Style", &C::Style);
    b.boolean("SuppressRepeated", &C::SuppressRepeated, nullptr, false);
    b.enumeration("VAlign", vAlignEnum(), &C::VAlign, nullptr, vaTop);
    b.boolean("WordWrap", &C::WordWrap, nullptr, true);
    publishLink(b);
}

} // namespace

const TqdxClassInfo& TqdxCustomMemoView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxCustomMemoView> b(info, "TqdxCustomMemoView",
                                               &TqdxStretcheable::StaticClassInfo(),
                                               &createComponent<TqdxCustomMemoView>);
    });
}

TqdxCustomMemoView::TqdxCustomMemoView() {
    StyleFlags &= ~StoreComplete;
}

QString TqdxCustomMemoView::Text() const {
    QString text = Memo.Text();
    if (text.endsWith(QLatin1String("\r\n"))) {
        text.chop(2);
    }
    return text;
}

void TqdxCustomMemoView::SetText(QStringView text) {
    Memo.SetText(text);
}

QByteArray TqdxCustomMemoView::DeltaText(const TqdxComponent* source) const {
    QByteArray out = TqdxView::DeltaText(source);
    const auto* ref = qdx_cast<TqdxCustomMemoView>(source);
    if (!ref) {
        return out;
    }
    if (AutoWidth != ref->AutoWidth) {
        appendAttr(out, "AutoWidth", AutoWidth ? 1 : 0);
    }
    if (CharSpacing != ref->CharSpacing) {
        appendFloat(out, "CharSpacing", CharSpacing);
    }
    if (GapX != ref->GapX) {
        appendFloat(out, "GapX", GapX);
    }
    if (GapY != ref->GapY) {
        appendFloat(out, "GapY", GapY);
    }
    if (HAlign != ref->HAlign) {
        appendAttr(out, "HAlign", HAlign);
    }
    if (Highlight.Active != ref->Highlight.Active) {
        appendAttr(out, "Highlight.Active", Highlight.Active ? 1 : 0);
    }
    if (LineSpacing != ref->LineSpacing) {
        appendFloat(out, "LineSpacing", LineSpacing);
    }
    if (UseDefaultCharset != ref->UseDefaultCharset) {
        appendAttr(out, "UseDefaultCharset", UseDefaultCharset ? 1 : 0);
    }
    appendAttr(out, "u", EncodeXMLText(Text().toUtf8()));
    if (ParagraphGap != ref->ParagraphGap) {
        appendFloat(out, "ParagraphGap", ParagraphGap);
    }
    if (Rotation() != ref->Rotation()) {
        appendAttr(out, "Rotation", Rotation());
    }
    if (RTLReading != ref->RTLReading) {
        appendAttr(out, "RTLReading", RTLReading ? 1 : 0);
    }
    if (Underlines != ref->Underlines) {
        appendAttr(out, "Underlines", Underlines ? 1 : 0);
    }
    if (VAlign != ref->VAlign) {
        appendAttr(out, "VAlign", VAlign);
    }
    if (WordWrap != ref->WordWrap) {
        appendAttr(out, "WordWrap", WordWrap ? 1 : 0);
    }
    if (DisplayFormat.Kind != ref->DisplayFormat.Kind) {
        appendAttr(out, "DisplayFormat.Kind", DisplayFormat.Kind);
    }
    if (DisplayFormat.DecimalSeparator != ref->DisplayFormat.DecimalSeparator) {
        appendAttr(out, "DisplayFormat.DecimalSeparator",
                   EncodeXMLText(DisplayFormat.DecimalSeparator));
    }
    if (DisplayFormat.ThousandSeparator != ref->DisplayFormat.ThousandSeparator) {
        appendAttr(out, "DisplayFormat.ThousandSeparator",
                   EncodeXMLText(DisplayFormat.ThousandSeparator));
    }
    if (DisplayFormat.FormatStr != ref->DisplayFormat.FormatStr) {
        appendAttr(out, "DisplayFormat.FormatStr", EncodeXMLText(DisplayFormat.FormatStr));
    }
    if (FirstParaBreak) {
        appendAttr(out, "FirstParaBreak", 1);
    }
    if (LastParaBreak) {
        appendAttr(out, "LastParaBreak", 1);
    }
    FirstParaBreak = LastParaBreak;
    LastParaBreak = false;
    return out;
}

const TqdxClassInfo& TqdxMemoView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxMemoView> b(info, "TqdxMemoView",
                                         &TqdxCustomMemoView::StaticClassInfo(),
                                         &createComponent<TqdxMemoView>);
        publishMemoProperties(b, true);
    });
}

const TqdxClassInfo& TqdxSysMemoView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxSysMemoView> b(info, "TqdxSysMemoView",
                                            &TqdxCustomMemoView::StaticClassInfo(),
                                            &createComponent<TqdxSysMemoView>);
        publishMemoProperties(b, false);
    });
}

const TqdxClassInfo& TqdxDMPMemoView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxDMPMemoView> b(info, "TqdxDMPMemoView",
                                            &TqdxCustomMemoView::StaticClassInfo(),
                                            &createComponent<TqdxDMPMemoView>);
        publishMemoProperties(b, true);
    });
}

// ---- Lines, pictures, shapes, check boxes, gradients, rich text ----------------------------

namespace {

template <class C> void publishLineProperties(TqdxClassBuilder<C>& b) {
    b.boolean("ArrowEnd", &C::ArrowEnd, nullptr, false);
    b.integer("ArrowLength", &C::ArrowLength, nullptr, 20);
    b.boolean("ArrowSolid", &C::ArrowSolid, nullptr, false);
    b.boolean("ArrowStart", &C::ArrowStart, nullptr, false);
    b.integer("ArrowWidth", &C::ArrowWidth, nullptr, 5);
    b.boolean("Diagonal", &C::Diagonal, nullptr, false);
    publishFrame(b);
    b.string("TagStr", &C::TagStr);
    b.enumeration("StretchMode", stretchModeEnum(), &C::StretchMode, nullptr, smDontStretch);
}

} // namespace

const TqdxClassInfo& TqdxCustomLineView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxCustomLineView> b(info, "TqdxCustomLineView",
                                               &TqdxStretcheable::StaticClassInfo(),
                                               &createComponent<TqdxCustomLineView>);
    });
}

TqdxCustomLineView::TqdxCustomLineView() {
    StyleFlags &= ~StoreComplete;
}

const TqdxClassInfo& TqdxLineView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxLineView> b(info, "TqdxLineView",
                                         &TqdxCustomLineView::StaticClassInfo(),
                                         &createComponent<TqdxLineView>);
        publishLineProperties(b);
    });
}

const TqdxClassInfo& TqdxDMPLineView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxDMPLineView> b(info, "TqdxDMPLineView",
                                            &TqdxCustomLineView::StaticClassInfo(),
                                            &createComponent<TqdxDMPLineView>);
        publishLineProperties(b);
    });
}

const TqdxClassInfo& TqdxPictureView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxPictureView> b(info, "TqdxPictureView", &TqdxView::StaticClassInfo(),
                                            &createComponent<TqdxPictureView>);
        b.object("Picture", &TqdxPictureView::Picture,
                 [](const TqdxPictureView& v) { return v.PictureStored; });
        b.integer("ImageIndex", &TqdxPictureView::ImageIndex, nullptr, 0);
        b.boolean("Stretched", &TqdxPictureView::Stretched, nullptr, true);
        b.boolean("KeepAspectRatio", &TqdxPictureView::KeepAspectRatio, nullptr, true);
        b.boolean("Center", &TqdxPictureView::Center, nullptr, false);
        b.boolean("AutoSize", &TqdxPictureView::AutoSize, nullptr, false);
        b.boolean("Transparent", &TqdxPictureView::Transparent, &TqdxPictureView::SetTransparent,
                  false);
        b.integer("TransparentColor", &TqdxPictureView::TransparentColor, nullptr, clWhite);
        b.boolean("HightQuality", &TqdxPictureView::HightQuality, nullptr, false);
        publishFrame(b);
        b.string("FileLink", &TqdxPictureView::FileLink);
        publishData(b);
        publishLink(b);
    });
}

TqdxPictureView::TqdxPictureView() {
    StyleFlags &= ~StoreComplete;
    Color = clWhite;
}

void TqdxPictureView::SetTransparent(bool v) {
    m_transparent = v;
    Color = v ? clTransparent : clWhite;
}

namespace {

// The graphic class of a picture's bytes, recognised by their start (after the 8-byte header
// a database layer may put in front), or empty when they are of no known kind.
QByteArray graphicClassOf(const QByteArray& bytes, qsizetype& start) {
    start = 0;
    if (bytes.size() >= 8) {
        const auto u16 = [&](int i) {
            return unsigned(static_cast<unsigned char>(bytes[i])) |
                   unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8;
        };
        const quint32 size = quint32(u16(4)) | quint32(u16(6)) << 16;
        if (u16(0) == 1 && u16(2) == 0x0100 && qint64(size) == bytes.size() - 8) {
            start = 8;
        }
    }
    const QByteArrayView b = QByteArrayView(bytes).sliced(start);
    const auto u32 = [&](qsizetype i) {
        quint32 v = 0;
        for (int k = 3; k >= 0; --k) {
            v = v << 8 | static_cast<unsigned char>(b[i + k]);
        }
        return v;
    };
    if (b.size() >= 14 && b.startsWith("BM")) {
        return "TBitmap";
    }
    if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
        static_cast<unsigned char>(b[1]) == 0xD8) {
        return "TJPEGImage";
    }
    if (b.size() >= 8 && b.startsWith("\x89PNG\r\n\x1a\n")) {
        return "TPngImage";
    }
    if (b.size() >= 22 && u32(0) == 0x9AC6CDD7u) {
        return "TMetafile";
    }
    if (b.size() >= 100 && u32(40) == 0x464D4520u) {
        return "TMetafile";
    }
    if (b.size() >= 6 && (unsigned(static_cast<unsigned char>(b[2])) |
                          unsigned(static_cast<unsigned char>(b[3])) << 8) < 2) {
        return "TIcon";
    }
    return {};
}

} // namespace

bool TqdxPictureView::LoadPictureFromBytes(const QByteArray& bytes) {
    qsizetype start = 0;
    const QByteArray kind = graphicClassOf(bytes, start);
    Picture.Clear();
    if (kind.isEmpty()) {
        return false;
    }
    Picture.GraphicClass = kind;
    Picture.Data = bytes.mid(start);
    Picture.StreamForm = true;
    ImageChanged = true;
    return true;
}

QByteArray TqdxPictureView::DeltaText(const TqdxComponent* source) const {
    QByteArray out = TqdxView::DeltaText(source);
    appendAttr(out, "ImageIndex", ImageIndex);
    if (Transparent()) {
        appendAttr(out, "Transparent", 1);
    }
    if (TransparentColor != clWhite) {
        appendAttr(out, "TransparentColor", TransparentColor);
    }
    return out;
}

const TqdxClassInfo& TqdxShapeView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxShapeView> b(info, "TqdxShapeView", &TqdxView::StaticClassInfo(),
                                          &createComponent<TqdxShapeView>);
        publishFill(b);
        b.integer("Curve", &TqdxShapeView::Curve, nullptr, 0);
        publishFrame(b);
        b.enumeration("Shape", shapeKindEnum(), &TqdxShapeView::Shape, nullptr, skRectangle);
        publishLink(b);
    });
}

TqdxShapeView::TqdxShapeView() {
    StyleFlags &= ~StoreComplete;
}

QByteArray TqdxShapeView::DeltaText(const TqdxComponent* source) const {
    QByteArray out = TqdxView::DeltaText(source);
    if (const auto* ref = qdx_cast<TqdxShapeView>(source); ref && Shape != ref->Shape) {
        appendAttr(out, "Shape", Shape);
    }
    return out;
}

const TqdxClassInfo& TqdxCheckBoxView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxCheckBoxView> b(info, "TqdxCheckBoxView", &TqdxView::StaticClassInfo(),
                                             &createComponent<TqdxCheckBoxView>);
        b.boolean("Checked", &TqdxCheckBoxView::Checked, nullptr, true);
        b.enumeration("CheckStyle", checkStyleEnum(), &TqdxCheckBoxView::CheckStyle);
        b.enumeration("UncheckStyle", uncheckStyleEnum(), &TqdxCheckBoxView::UncheckStyle, nullptr,
                      usEmpty);
        b.integer("CheckColor", &TqdxCheckBoxView::CheckColor);
        b.string("Expression", &TqdxCheckBoxView::Expression);
        publishFill(b);
        publishFrame(b);
        publishData(b);
        publishLink(b);
    });
}

TqdxCheckBoxView::TqdxCheckBoxView() {
    SetWidth(5 * qd01cm);
    SetHeight(5 * qd01cm);
}

const TqdxClassInfo& TqdxGradientView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxGradientView> b(info, "TqdxGradientView", &TqdxView::StaticClassInfo(),
                                             &createComponent<TqdxGradientView>);
        b.integer("BeginColor", &TqdxGradientView::BeginColor, nullptr, clWhite);
        b.integer("EndColor", &TqdxGradientView::EndColor, nullptr, 0x808080);
        b.enumeration("Style", gradientStyleEnum(), &TqdxGradientView::Style);
        publishFrame(b);
        b.integer("Color", &TqdxGradientView::MiddleColor,
                  [](TqdxGradientView& v, qint64 c) { v.Color = int(c); });
    });
}

int TqdxGradientView::MiddleColor() const {
    int out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int b = (BeginColor >> shift) & 0xFF;
        const int e = (EndColor >> shift) & 0xFF;
        out |= ((b + mulDiv(127, e - b, 255)) & 0xFF) << shift;
    }
    return out;
}

const TqdxClassInfo& TqdxRichView::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxRichView> b(info, "TqdxRichView", &TqdxStretcheable::StaticClassInfo(),
                                         &createComponent<TqdxRichView>);
        b.boolean("AllowExpressions", &TqdxRichView::AllowExpressions, nullptr, true);
        b.string("ExpressionDelimiters", &TqdxRichView::ExpressionDelimiters, nullptr,
                 [](const TqdxRichView& v) { return v.ExpressionDelimiters != "[,]"; });
        b.floating("GapX", &TqdxRichView::GapX);
        b.floating("GapY", &TqdxRichView::GapY);
        b.boolean("Wysiwyg", &TqdxRichView::Wysiwyg, nullptr, true);
        b.reference("FlowTo", &TqdxRichView::FlowTo);
        publishFill(b);
        publishFrame(b);
        publishData(b);
        publishLink(b);
    });
}

void TqdxRichView::DefineProperties(TqdxFiler& filer) {
    filer.DefineBinaryProperty(
        "RichEdit", [this](const QByteArray& data) { RichText = data; },
        [this]() { return RichText; }, !RichText.isEmpty());
}

const TqdxClassInfo& TqdxSubreport::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxSubreport> b(info, "TqdxSubreport", &TqdxView::StaticClassInfo(),
                                          &createComponent<TqdxSubreport>);
    });
}

TqdxSubreport::TqdxSubreport() {
    StyleFlags &= ~ShownInPreview;
    Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;
    TqdxFont font;
    font.Name = "Tahoma";
    font.SetSize(8);
    font.Color = 12632256;
    Font().Assign(font);
}

const TqdxClassInfo& TqdxDMPCommand::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxDMPCommand> b(info, "TqdxDMPCommand", &TqdxView::StaticClassInfo(),
                                           &createComponent<TqdxDMPCommand>);
        b.string("Command", &TqdxDMPCommand::Command);
        publishLink(b);
    });
}

// ---- Bands --------------------------------------------------------------------------------

const TqdxClassInfo& TqdxBand::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxBand> b(info, "TqdxBand", &TqdxReportComponent::StaticClassInfo());
        publishFont(b);
        publishGeometry(b, "hl");
        publishParentFont(b);
        b.set("Restrictions", restrictionsEnum(), &TqdxBand::Restrictions, nullptr, 0);
        publishGeometry(b, "t");
        b.boolean("Vertical", &TqdxBand::Vertical, nullptr, false);
        publishVisible(b);
        publishGeometry(b, "w");
        b.string("OnAfterCalcHeight", &TqdxBand::OnAfterCalcHeight);
        b.string("OnAfterPrint", &TqdxBand::OnAfterPrint);
        b.string("OnBeforePrint", &TqdxBand::OnBeforePrint);
    });
}

namespace {

// Publishes band properties by name, in the order given.
template <class C>
void publishBand(TqdxClassBuilder<C>& b, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const QByteArray n(name);
        if (n == "Child") {
            b.reference("Child", &C::Child, &C::SetChild);
        } else if (n == "OutlineText") {
            b.string("OutlineText", &C::OutlineText);
        } else if (n == "Condition") {
            b.string("Condition", &C::Condition);
        } else if (n == "DrillName") {
            b.string("DrillName", &C::DrillName);
        } else {
            struct Flag {
                const char* name;
                bool TqdxBand::*member;
                bool def;
            };
            static const Flag flags[] = {
                {"AllowSplit", &TqdxBand::AllowSplit, false},
                {"KeepChild", &TqdxBand::KeepChild, false},
                {"PrintChildIfInvisible", &TqdxBand::PrintChildIfInvisible, false},
                {"StartNewPage", &TqdxBand::StartNewPage, false},
                {"Stretched", &TqdxBand::Stretched, false},
                {"PrintOnFirstPage", &TqdxBand::PrintOnFirstPage, true},
                {"PrintOnLastPage", &TqdxBand::PrintOnLastPage, true},
                {"ReprintOnNewPage", &TqdxBand::ReprintOnNewPage, false},
                {"KeepTogether", &TqdxBand::KeepTogether, false},
                {"ResetPageNumbers", &TqdxBand::ResetPageNumbers, false},
                {"DrillDown", &TqdxBand::DrillDown, false},
                {"ExpandDrillDown", &TqdxBand::ExpandDrillDown, false},
                {"ShowFooterIfDrillDown", &TqdxBand::ShowFooterIfDrillDown, false},
                {"ShowChildIfDrillDown", &TqdxBand::ShowChildIfDrillDown, false},
                {"HideIfSingleDataRecord", &TqdxBand::HideIfSingleDataRecord, false},
                {"PrintOnTop", &TqdxBand::PrintOnTop, false},
            };
            for (const Flag& f : flags) {
                if (n == f.name) {
                    b.boolean(f.name, static_cast<bool C::*>(f.member), nullptr, f.def);
                }
            }
        }
    }
}

const std::initializer_list<const char*> kTitleBandProps = {
    "AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "StartNewPage", "Stretched"};

template <class C>
const TqdxClassInfo& bandInfo(TqdxClassInfo& info, const char* name, const TqdxClassInfo& parent,
                              std::initializer_list<const char*> props) {
    TqdxClassBuilder<C> b(info, name, &parent, &createComponent<C>);
    publishBand(b, props);
    return info;
}

} // namespace

#define ZR_BAND_INFO(Class, Parent, ...)                                                           \
    const TqdxClassInfo& Class::StaticClassInfo() {                                                \
        return DescribeClass([](TqdxClassInfo& info) {                                             \
            bandInfo<Class>(info, #Class, Parent::StaticClassInfo(), __VA_ARGS__);                 \
        });                                                                                        \
    }

ZR_BAND_INFO(TqdxReportTitle, TqdxBand, kTitleBandProps)
ZR_BAND_INFO(TqdxReportSummary, TqdxBand, kTitleBandProps)
ZR_BAND_INFO(TqdxPageHeader, TqdxBand,
             {"Child", "PrintChildIfInvisible", "PrintOnFirstPage", "Stretched"})
ZR_BAND_INFO(TqdxPageFooter, TqdxBand, {"PrintOnFirstPage", "PrintOnLastPage"})
ZR_BAND_INFO(TqdxHeader, TqdxBand,
             {"AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "ReprintOnNewPage",
              "StartNewPage", "Stretched"})
ZR_BAND_INFO(TqdxFooter, TqdxBand,
             {"AllowSplit", "Child", "KeepChild", "PrintChildIfInvisible", "Stretched"})
ZR_BAND_INFO(TqdxMasterData, TqdxDataBand, {})
ZR_BAND_INFO(TqdxDetailData, TqdxDataBand, {})
ZR_BAND_INFO(TqdxSubdetailData, TqdxDataBand, {})
ZR_BAND_INFO(TqdxDataBand4, TqdxDataBand, {})
ZR_BAND_INFO(TqdxDataBand5, TqdxDataBand, {})
ZR_BAND_INFO(TqdxDataBand6, TqdxDataBand, {})
ZR_BAND_INFO(TqdxGroupHeader, TqdxBand,
             {"AllowSplit", "Child", "Condition", "DrillDown", "ExpandDrillDown", "KeepChild",
              "KeepTogether", "ReprintOnNewPage", "OutlineText", "PrintChildIfInvisible",
              "ResetPageNumbers", "ShowFooterIfDrillDown", "ShowChildIfDrillDown", "StartNewPage",
              "Stretched", "DrillName"})
ZR_BAND_INFO(TqdxGroupFooter, TqdxBand,
             {"AllowSplit", "Child", "HideIfSingleDataRecord", "KeepChild", "PrintChildIfInvisible",
              "Stretched"})
ZR_BAND_INFO(TqdxChild, TqdxBand, kTitleBandProps)
ZR_BAND_INFO(TqdxColumnHeader, TqdxBand, {"Child", "Stretched"})
ZR_BAND_INFO(TqdxColumnFooter, TqdxBand, {})
ZR_BAND_INFO(TqdxOverlay, TqdxBand, {"PrintOnTop"})
ZR_BAND_INFO(TqdxNullBand, TqdxBand, {})
#undef ZR_BAND_INFO

const TqdxClassInfo& TqdxDataBand::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxDataBand> b(info, "TqdxDataBand", &TqdxBand::StaticClassInfo());
        publishBand(b, {"AllowSplit", "Child"});
        b.integer("Columns", &TqdxDataBand::Columns);
        b.floating("ColumnWidth", &TqdxDataBand::ColumnWidth);
        b.floating("ColumnGap", &TqdxDataBand::ColumnGap);
        b.reference("DataSet", &TqdxDataBand::DataSet);
        b.string("DataSetName", &TqdxDataBand::DataSetName);
        b.boolean("FooterAfterEach", &TqdxDataBand::FooterAfterEach, nullptr, false);
        publishBand(b, {"KeepChild"});
        b.boolean("KeepFooter", &TqdxDataBand::KeepFooter, nullptr, false);
        b.boolean("KeepHeader", &TqdxDataBand::KeepHeader, nullptr, false);
        publishBand(b, {"KeepTogether", "OutlineText", "PrintChildIfInvisible"});
        b.boolean("PrintIfDetailEmpty", &TqdxDataBand::PrintIfDetailEmpty, nullptr, false);
        b.integer("RowCount", &TqdxDataBand::RowCount);
        publishBand(b, {"StartNewPage", "Stretched"});
        b.string("OnMasterDetail", &TqdxDataBand::OnMasterDetail);
    });
}

int TqdxBand::BandNumber() const {
    static const TqdxClassInfo* const table[] = {
        &TqdxReportTitle::StaticClassInfo(),   &TqdxReportSummary::StaticClassInfo(),
        &TqdxPageHeader::StaticClassInfo(),    &TqdxPageFooter::StaticClassInfo(),
        &TqdxHeader::StaticClassInfo(),        &TqdxFooter::StaticClassInfo(),
        &TqdxMasterData::StaticClassInfo(),    &TqdxDetailData::StaticClassInfo(),
        &TqdxSubdetailData::StaticClassInfo(), &TqdxDataBand4::StaticClassInfo(),
        &TqdxDataBand5::StaticClassInfo(),     &TqdxDataBand6::StaticClassInfo(),
        &TqdxGroupHeader::StaticClassInfo(),   &TqdxGroupFooter::StaticClassInfo(),
        &TqdxChild::StaticClassInfo(),         &TqdxColumnHeader::StaticClassInfo(),
        &TqdxColumnFooter::StaticClassInfo(),  &TqdxOverlay::StaticClassInfo()};
    int number = 0;
    for (int i = 0; i < int(std::size(table)); ++i) {
        if (InheritsFrom(*table[i])) {
            number = i;
        }
    }
    return number;
}

void TqdxBand::SetChild(TqdxComponent* child) {
    for (TqdxComponent* c = child; c;) {
        if (c == this) {
            throw std::runtime_error("Circular child reference is not allowed");
        }
        auto* band = qdx_cast<TqdxBand>(c);
        c = band ? band->m_child : nullptr;
    }
    m_child = child;
}

bool TqdxBand::onDotMatrixPage() const {
    return qdx_cast<TqdxDMPPage>(Parent()) != nullptr;
}

void TqdxBand::SetLeft(double v) {
    TqdxComponent::SetLeft(onDotMatrixPage() ? roundEven(v / qd1CharX) * qd1CharX : v);
}

void TqdxBand::SetTop(double v) {
    TqdxComponent::SetTop(onDotMatrixPage() ? roundEven(v / qd1CharY) * qd1CharY : v);
}

void TqdxBand::SetHeight(double v) {
    TqdxComponent::SetHeight(onDotMatrixPage() ? roundEven(v / qd1CharY) * qd1CharY : v);
}

QByteArray TqdxBand::DeltaText(const TqdxComponent* source) const {
    QByteArray out = componentDeltaText(source);
    if (DrillDown && qdx_cast<TqdxGroupHeader>(this)) {
        appendAttr(out, "DrillName", EncodeXMLText(DrillName));
    }
    return out;
}

// ---- Pages --------------------------------------------------------------------------------

const TqdxClassInfo& TqdxPage::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxPage> b(info, "TqdxPage", &TqdxComponent::StaticClassInfo());
        publishFont(b);
        publishVisible(b);
    });
}

std::optional<std::pair<int, int>> StandardPaperSize(int code) {
    static const int table[][3] = {
        {1, 2159, 2794},   {2, 2159, 2794},  {3, 2794, 4318},  {4, 4318, 2794},  {5, 2159, 3556},
        {6, 1397, 2159},   {7, 1842, 2667},  {8, 2970, 4200},  {9, 2100, 2970},  {10, 2100, 2970},
        {11, 1480, 2100},  {12, 2500, 3540}, {13, 1820, 2570}, {14, 2159, 3302}, {15, 2150, 2750},
        {16, 2540, 3556},  {17, 2794, 4318}, {18, 2159, 2794}, {19, 984, 2254},  {20, 1048, 2413},
        {21, 1143, 2635},  {22, 1207, 2794}, {23, 1270, 2921}, {24, 4318, 5588}, {25, 5588, 8636},
        {26, 8636, 11176}, {27, 1100, 2200}, {28, 1620, 2290}, {29, 3240, 4580}, {30, 2290, 3240},
        {31, 1140, 1620},  {32, 1140, 2290}, {33, 2500, 3530}, {34, 1760, 2500}, {35, 1760, 1250},
        {36, 1100, 2300},  {37, 984, 1905},  {38, 920, 1651},  {39, 3778, 2794}, {40, 2159, 3048},
        {41, 2159, 3302},  {42, 2500, 3530}, {43, 1000, 1480}, {44, 2286, 2794}, {45, 2540, 2794},
        {46, 3810, 2794},  {47, 2200, 2200}, {50, 2355, 3048}, {51, 2355, 3810}, {52, 2969, 4572},
        {53, 2354, 3223},  {54, 2101, 2794}, {55, 2100, 2970}, {56, 2355, 3048}, {57, 2270, 3560},
        {58, 3050, 4870},  {59, 2159, 3223}, {60, 2100, 3300}, {61, 1480, 2100}, {62, 1820, 2570},
        {63, 3220, 4450},  {64, 1740, 2350}, {65, 2010, 2760}, {66, 4200, 5940}, {67, 2970, 4200},
        {68, 3220, 4450}};
    for (const auto& row : table) {
        if (row[0] == code) {
            return std::make_pair(row[1], row[2]);
        }
    }
    return std::nullopt;
}

const TqdxClassInfo& TqdxReportPage::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        using P = TqdxReportPage;
        TqdxClassBuilder<P> b(info, "TqdxReportPage", &TqdxPage::StaticClassInfo(),
                              &createComponent<P>);
        b.enumeration("Orientation", orientationEnum(), &P::Orientation, &P::SetOrientation,
                      poPortrait);
        b.floating("PaperWidth", &P::PaperWidth, &P::SetPaperWidth);
        b.floating("PaperHeight", &P::PaperHeight, &P::SetPaperHeight);
        // Always written: it is read after the paper sizes, which set it to 256 (user size).
        b.integer("PaperSize", &P::PaperSize, &P::SetPaperSize);
        b.floating("LeftMargin", &P::LeftMargin);
        b.floating("RightMargin", &P::RightMargin);
        b.floating("TopMargin", &P::TopMargin);
        b.floating("BottomMargin", &P::BottomMargin);
        b.boolean("MirrorMargins", &P::MirrorMargins, nullptr, false);
        b.integer("Columns", &P::Columns, &P::SetColumns, 0);
        b.floating("ColumnWidth", &P::ColumnWidth);
        b.strings("ColumnPositions", &P::ColumnPositions);
        b.integer("Bin", &P::Bin, nullptr, 7);
        b.integer("BinOtherPages", &P::BinOtherPages, nullptr, 7);
        b.object("BackPicture", [](P& p) -> TqdxPicture& { return p.Background().Picture; });
        b.boolean("BackPictureVisible", &P::BackPictureVisible, nullptr, true);
        b.boolean("BackPicturePrintable", &P::BackPicturePrintable, nullptr, true);
        b.integer("PageCount", &P::PageCount, &P::SetPageCount, 1);
        b.integer("Color", &P::Color, &P::SetColor, clTransparent);
        b.reference("DataSet", &P::DataSet);
        b.string("DataSetName", &P::DataSetName);
        b.enumeration("Duplex", duplexEnum(), &P::Duplex, nullptr, dmNone);
        b.object("Frame", [](P& p) -> TqdxFrame& { return p.Background().Frame; });
        b.boolean("EndlessHeight", &P::EndlessHeight, nullptr, false);
        b.boolean("EndlessWidth", &P::EndlessWidth, nullptr, false);
        b.boolean("LargeDesignHeight", &P::LargeDesignHeight, nullptr, false);
        b.string("OutlineText", &P::OutlineText);
        b.boolean("PrintIfEmpty", &P::PrintIfEmpty, nullptr, true);
        b.boolean("PrintOnPreviousPage", &P::PrintOnPreviousPage, nullptr, false);
        b.boolean("ResetPageNumbers", &P::ResetPageNumbers, nullptr, false);
        b.boolean("TitleBeforeHeader", &P::TitleBeforeHeader, nullptr, true);
        b.strings("HGuides", &P::HGuides);
        b.strings("VGuides", &P::VGuides);
        b.string("OnAfterPrint", &P::OnAfterPrint);
        b.string("OnBeforePrint", &P::OnBeforePrint);
        b.string("OnManualBuild", &P::OnManualBuild);
    });
}

TqdxReportPage::TqdxReportPage() : m_background(std::make_unique<TqdxPictureView>()) {
    m_background->KeepAspectRatio = false;
    m_background->Color = clTransparent;
    NameBase = "Page";
    SetPaperSize(9);
}

TqdxReportPage::~TqdxReportPage() = default;

int TqdxReportPage::Color() const {
    return m_background->Color;
}

void TqdxReportPage::SetColor(int v) {
    m_background->Color = v;
}

void TqdxReportPage::RecalcSize() {
    SetWidth(roundEven(m_paperWidth * qd01cm));
    SetHeight(roundEven(m_paperHeight * qd01cm));
}

namespace {

// A paper dimension rounded to 8 decimals, and held as its own float text reads back, so that a
// page saved and read again has the same size to the last bit.
double paperDimension(double v) {
    v = FiniteFloat(v);
    if (std::fabs(v) < 1e7) {
        return std::round(v * 1e8) / 1e8;
    }
    // Beyond 1e7 a double has no 8 decimals left, and multiplying could overflow.
    return XMLTextToFloat(FloatToXMLText(v));
}

} // namespace

void TqdxReportPage::SetPaperWidth(double v) {
    m_paperWidth = paperDimension(v);
    m_paperSize = 256;
    RecalcSize();
}

void TqdxReportPage::SetPaperHeight(double v) {
    m_paperHeight = paperDimension(v);
    m_paperSize = 256;
    RecalcSize();
}

void TqdxReportPage::SetPaperSize(int v) {
    m_paperSize = v;
    if (v < 256) {
        if (const auto size = StandardPaperSize(v)) {
            double w = size->first / 10.0;
            double h = size->second / 10.0;
            if (m_orientation == poLandscape) {
                std::swap(w, h);
            }
            m_paperWidth = w;
            m_paperHeight = h;
        }
        RecalcSize();
    }
}

void TqdxReportPage::SetOrientation(int v) {
    if (v == m_orientation) {
        return;
    }
    m_orientation = v;
    std::swap(m_paperWidth, m_paperHeight);
    const double l = LeftMargin, r = RightMargin, t = TopMargin, bm = BottomMargin;
    if (v == poLandscape) {
        LeftMargin = t;
        RightMargin = bm;
        TopMargin = r;
        BottomMargin = l;
    } else {
        LeftMargin = bm;
        RightMargin = t;
        TopMargin = l;
        BottomMargin = r;
    }
    RecalcSize();
}

void TqdxReportPage::SetColumns(int v) {
    m_columns = v;
    ColumnPositions.Clear();
    // A page holds at most as many columns as it has pixels across; more only come from a
    // damaged file and would build millions of positions.
    if (v > 0 && v <= kMaxColumns) {
        // Huge margins of a damaged file overflow the difference; keep it a number.
        ColumnWidth = FiniteFloat((m_paperWidth - LeftMargin - RightMargin) / v);
        for (int i = 0; i < v; ++i) {
            ColumnPositions.Lines.append(FloatToXMLText(i * ColumnWidth));
        }
    }
}

void TqdxReportPage::ArrangeChildren() {
    SetWidth((m_paperWidth - LeftMargin - RightMargin) * qd01cm);
    SetHeight((m_paperHeight - TopMargin - BottomMargin) * qd01cm);
    TqdxComponent::ArrangeChildren();
    const double printableHeight = Height();
    for (TqdxComponent* child : Objects()) {
        auto* band = qdx_cast<TqdxBand>(child);
        if (!band) {
            continue;
        }
        if (band->Vertical) {
            band->SetHeight(printableHeight - band->Top());
        } else if (m_columns > 1 && !qdx_cast<TqdxNullBand>(band) &&
                   !qdx_cast<TqdxReportSummary>(band) && !qdx_cast<TqdxPageHeader>(band) &&
                   !qdx_cast<TqdxPageFooter>(band) && !qdx_cast<TqdxReportTitle>(band) &&
                   !qdx_cast<TqdxOverlay>(band)) {
            band->SetWidth(ColumnWidth * qd01cm);
        } else {
            band->SetWidth(Width() - band->Left());
        }
        band->ArrangeChildren();
    }
    RecalcSize();
}

TqdxComponent* TqdxReportPage::FindBand(const TqdxClassInfo& bandClass) const {
    for (TqdxComponent* child : Objects()) {
        if (child->InheritsFrom(bandClass)) {
            return child;
        }
    }
    return nullptr;
}

const TqdxClassInfo& TqdxDMPPage::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxDMPPage> b(info, "TqdxDMPPage", &TqdxReportPage::StaticClassInfo(),
                                        &createComponent<TqdxDMPPage>);
    });
}

const TqdxClassInfo& TqdxDataPage::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxDataPage> b(info, "TqdxDataPage", &TqdxPage::StaticClassInfo(),
                                         &createComponent<TqdxDataPage>);
        publishGeometry(b, "hltw");
    });
}

TqdxDataPage::TqdxDataPage() {
    SetWidth(1000);
    SetHeight(1000);
}

const TqdxClassInfo& TqdxDialogPage::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxDialogPage> b(info, "TqdxDialogPage", &TqdxPage::StaticClassInfo(),
                                           &createComponent<TqdxDialogPage>);
        b.string("Caption", &TqdxDialogPage::Caption);
        publishGeometry(b, "hltw");
    });
}

const TqdxClassInfo& TqdxStyleItem::StaticClassInfo() {
    return DescribeClass([](TqdxClassInfo& info) {
        TqdxClassBuilder<TqdxStyleItem> b(info, "TqdxStyleItem", nullptr);
        b.string("Name", &TqdxStyleItem::Name);
        b.integer("Color", &TqdxStyleItem::Color, nullptr, clTransparent);
        b.object("Font", &TqdxStyleItem::Font);
        b.object("Frame", &TqdxStyleItem::Frame);
    });
}

void RegisterReportClasses() {
    const TqdxClassInfo* const classes[] = {
        &TqdxCustomMemoView::StaticClassInfo(), &TqdxMemoView::StaticClassInfo(),
        &TqdxSysMemoView::StaticClassInfo(),    &TqdxCustomLineView::StaticClassInfo(),
        &TqdxLineView::StaticClassInfo(),       &TqdxPictureView::StaticClassInfo(),
        &TqdxShapeView::StaticClassInfo(),      &TqdxCheckBoxView::StaticClassInfo(),
        &TqdxGradientView::StaticClassInfo(),   &TqdxRichView::StaticClassInfo(),
        &TqdxSubreport::StaticClassInfo(),      &TqdxDMPMemoView::StaticClassInfo(),
        &TqdxDMPLineView::StaticClassInfo(),    &TqdxDMPCommand::StaticClassInfo(),
        &TqdxReportTitle::StaticClassInfo(),    &TqdxReportSummary::StaticClassInfo(),
        &TqdxPageHeader::StaticClassInfo(),     &TqdxPageFooter::StaticClassInfo(),
        &TqdxHeader::StaticClassInfo(),         &TqdxFooter::StaticClassInfo(),
        &TqdxMasterData::StaticClassInfo(),     &TqdxDetailData::StaticClassInfo(),
        &TqdxSubdetailData::StaticClassInfo(),  &TqdxDataBand4::StaticClassInfo(),
        &TqdxDataBand5::StaticClassInfo(),      &TqdxDataBand6::StaticClassInfo(),
        &TqdxGroupHeader::StaticClassInfo(),    &TqdxGroupFooter::StaticClassInfo(),
        &TqdxChild::StaticClassInfo(),          &TqdxColumnHeader::StaticClassInfo(),
        &TqdxColumnFooter::StaticClassInfo(),   &TqdxOverlay::StaticClassInfo(),
        &TqdxNullBand::StaticClassInfo(),       &TqdxReportPage::StaticClassInfo(),
        &TqdxDMPPage::StaticClassInfo(),        &TqdxDataPage::StaticClassInfo(),
        &TqdxDialogPage::StaticClassInfo(),     &TqdxReport::StaticClassInfo(),
        &TqdxFrame::StaticClassInfo(),          &TqdxHighlight::StaticClassInfo(),
        &TqdxStyleItem::StaticClassInfo()};
    for (const TqdxClassInfo* info : classes) {
        RegisterClass(*info);
    }
}

} // namespace zr::reportlib
