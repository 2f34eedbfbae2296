#pragma once

// Run-time type information of the report classes: for every class, its published properties
// in declaration order (name, kind, declared default, stored condition, getter and setter), and
// a registry that creates objects from class names. Each class describes itself in one table
// built with TqdxClassBuilder; a class's table starts with a copy of its parent's.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <functional>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

namespace zr::reportlib {

class TqdxPersistent;
class TqdxComponent;
class TWideStrings;
class TqdxFiler;
struct TqdxClassInfo;

// An 8-bit string list (system code page).
class TqdxStrings {
public:
    QList<QByteArray> Lines;
    // Every line followed by CR LF.
    QByteArray Text() const;
    // Splits at CR LF, CR or LF; a final line break adds no empty line.
    void SetText(QByteArrayView text);
    int Count() const { return int(Lines.size()); }
    void Clear() { Lines.clear(); }
    bool operator==(const TqdxStrings& other) const = default;
};

enum class TqdxPropKind : quint8 {
    Integer,     // integers and colours
    Enumeration, // booleans included
    Set,         // bit n set when element n is in the set
    Float,
    String,       // 8-bit string in the system code page
    ComponentRef, // reference to a component, written as its full name
    StringList,   // TqdxStrings
    WideStrings,  // TWideStrings (never written)
    Object,       // sub-object with published properties of its own
};

// Value names of an enumeration, in ordinal order.
struct TqdxEnumInfo {
    std::vector<QByteArray> names;
    // Ordinal of a value name (case ignored), or -1.
    int ordinalOf(QByteArrayView name) const;
};

const TqdxEnumInfo& BooleanEnum(); // False, True

struct TqdxPropInfo {
    QByteArray name;
    TqdxPropKind kind = TqdxPropKind::Integer;
    const TqdxEnumInfo* enumInfo = nullptr;            // enumeration values, or set elements
    std::optional<qint64> defaultValue;                // declared default of an ordinal property
    std::function<bool(const TqdxPersistent&)> stored; // empty: always stored

    std::function<qint64(const TqdxPersistent&)> getOrdinal;
    std::function<void(TqdxPersistent&, qint64)> setOrdinal;
    std::function<double(const TqdxPersistent&)> getFloat;
    std::function<void(TqdxPersistent&, double)> setFloat;
    std::function<QByteArray(const TqdxPersistent&)> getString;
    std::function<void(TqdxPersistent&, const QByteArray&)> setString;
    std::function<TqdxComponent*(const TqdxPersistent&)> getReference;
    std::function<void(TqdxPersistent&, TqdxComponent*)> setReference;
    std::function<TqdxStrings*(TqdxPersistent&)> strings;
    std::function<TWideStrings*(TqdxPersistent&)> wideStrings;
    std::function<TqdxPersistent*(TqdxPersistent&)> object;

    bool isStored(const TqdxPersistent& o) const { return !stored || stored(o); }
    bool hasSetter() const;
};

// Creates a registered component with the given owner.
using TqdxCreateFunction = TqdxComponent* (*)(TqdxComponent* owner);

struct TqdxClassInfo {
    QByteArray name;
    const TqdxClassInfo* parent = nullptr;
    std::vector<TqdxPropInfo> properties; // declaration order, inherited ones first
    TqdxCreateFunction create = nullptr;  // null for classes that are never created by name

    // The property of that name (case ignored), or null.
    const TqdxPropInfo* find(QByteArrayView propName) const;
    bool inheritsFrom(const TqdxClassInfo& other) const;

    // Builds the index after the properties are complete.
    void finish();

private:
    QHash<QByteArray, int> m_index; // lower-case name -> position
};

// Raised when a class name is not registered: "Classe não encontrada" and the name.
class TqdxClassNotFound : public std::runtime_error {
public:
    explicit TqdxClassNotFound(const QByteArray& className);
    QByteArray ClassName;
};

// The registry of the report classes (filled on first use).
const TqdxClassInfo* FindClass(QByteArrayView name);
// As FindClass, but raises TqdxClassNotFound.
const TqdxClassInfo& GetClass(QByteArrayView name);
void RegisterClass(const TqdxClassInfo& info);

// Base of every object with published properties.
class TqdxPersistent {
public:
    virtual ~TqdxPersistent() = default;
    virtual const TqdxClassInfo& ClassInfo() const = 0;
    const QByteArray& ClassName() const { return ClassInfo().name; }
    bool InheritsFrom(const TqdxClassInfo& info) const { return ClassInfo().inheritsFrom(info); }
    // Data that is not a published property, streamed as binary properties (PropData).
    virtual void DefineProperties(TqdxFiler& filer);
};

// A class's table, filled by `fill` on first use and kept for the life of the program. Every
// call site has a lambda of its own, so every class gets a table of its own.
template <class Fill> const TqdxClassInfo& DescribeClass(Fill fill) {
    static const TqdxClassInfo info = [&] {
        TqdxClassInfo i;
        fill(i);
        return i;
    }();
    return info;
}

template <class C> const C* qdx_cast(const TqdxPersistent* p) {
    return p && p->InheritsFrom(C::StaticClassInfo()) ? static_cast<const C*>(p) : nullptr;
}
template <class C> C* qdx_cast(TqdxPersistent* p) {
    return p && p->InheritsFrom(C::StaticClassInfo()) ? static_cast<C*>(p) : nullptr;
}

template <class S> struct SetterArg { using type = void; };
template <class X, class A> struct SetterArg<void (X::*)(A)> {
    using type = std::remove_cvref_t<A>;
};

// Fills one class's table: starts from the parent's properties; a property published again
// keeps its place and takes the new description. Accessors are a data member pointer (read
// and written), or a const getter with an optional setter.
template <class C> class TqdxClassBuilder {
public:
    TqdxClassBuilder(TqdxClassInfo& info, const char* name, const TqdxClassInfo* parent,
                     TqdxCreateFunction create = nullptr)
        : m_info(info) {
        m_info.name = name;
        m_info.parent = parent;
        m_info.create = create;
        if (parent) {
            m_info.properties = parent->properties;
        }
    }
    ~TqdxClassBuilder() { m_info.finish(); }

    using Stored = std::function<bool(const C&)>;

    template <class G, class S = std::nullptr_t>
    TqdxClassBuilder& integer(const char* name, G get, S setter = nullptr,
                              std::optional<qint64> def = std::nullopt, Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::Integer, stored);
        p.defaultValue = def;
        ordinal(p, get, setter);
        return add(std::move(p));
    }
    template <class G, class S = std::nullptr_t>
    TqdxClassBuilder& enumeration(const char* name, const TqdxEnumInfo& e, G get,
                                  S setter = nullptr, std::optional<qint64> def = std::nullopt,
                                  Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::Enumeration, stored);
        p.enumInfo = &e;
        p.defaultValue = def;
        ordinal(p, get, setter);
        return add(std::move(p));
    }
    template <class G, class S = std::nullptr_t>
    TqdxClassBuilder& boolean(const char* name, G get, S setter = nullptr,
                              std::optional<bool> def = std::nullopt, Stored stored = {}) {
        std::optional<qint64> d;
        if (def) {
            d = *def ? 1 : 0;
        }
        return enumeration(name, BooleanEnum(), get, setter, d, stored);
    }
    template <class G, class S = std::nullptr_t>
    TqdxClassBuilder& set(const char* name, const TqdxEnumInfo& e, G get, S setter = nullptr,
                          std::optional<qint64> def = std::nullopt, Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::Set, stored);
        p.enumInfo = &e;
        p.defaultValue = def;
        ordinal(p, get, setter);
        return add(std::move(p));
    }
    template <class G, class S = std::nullptr_t>
    TqdxClassBuilder& floating(const char* name, G get, S setter = nullptr, Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::Float, stored);
        p.getFloat = [get](const TqdxPersistent& o) { return double(read(get, o)); };
        if (auto w = writer<double>(get, setter)) {
            p.setFloat = w;
        }
        return add(std::move(p));
    }
    template <class G, class S = std::nullptr_t>
    TqdxClassBuilder& string(const char* name, G get, S setter = nullptr, Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::String, stored);
        p.getString = [get](const TqdxPersistent& o) { return QByteArray(read(get, o)); };
        if (auto w = writer<const QByteArray&>(get, setter)) {
            p.setString = w;
        }
        return add(std::move(p));
    }
    template <class G, class S = std::nullptr_t>
    TqdxClassBuilder& reference(const char* name, G get, S setter = nullptr, Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::ComponentRef, stored);
        p.getReference = [get](const TqdxPersistent& o) {
            return static_cast<TqdxComponent*>(read(get, o));
        };
        if (auto w = writer<TqdxComponent*>(get, setter)) {
            p.setReference = w;
        }
        return add(std::move(p));
    }
    // A string list or a wide string list held by value in the object.
    template <class M> TqdxClassBuilder& strings(const char* name, M get, Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::StringList, stored);
        p.strings = [get](TqdxPersistent& o) -> TqdxStrings* {
            return &std::invoke(get, static_cast<C&>(o));
        };
        return add(std::move(p));
    }
    template <class M> TqdxClassBuilder& wideStrings(const char* name, M get) {
        TqdxPropInfo p = base(name, TqdxPropKind::WideStrings, {});
        p.wideStrings = [get](TqdxPersistent& o) -> TWideStrings* {
            return &std::invoke(get, static_cast<C&>(o));
        };
        return add(std::move(p));
    }
    // A sub-object: `get` yields a reference to it.
    template <class G> TqdxClassBuilder& object(const char* name, G get, Stored stored = {}) {
        TqdxPropInfo p = base(name, TqdxPropKind::Object, stored);
        p.object = [get](TqdxPersistent& o) -> TqdxPersistent* {
            return &std::invoke(get, static_cast<C&>(o));
        };
        return add(std::move(p));
    }

private:
    template <class G> static decltype(auto) read(const G& get, const TqdxPersistent& o) {
        return std::invoke(get, static_cast<const C&>(o));
    }
    // Setters are a member function, a callable taking (C&, value), or absent: then a data
    // member getter is written directly.
    template <class T, class G, class S>
    static std::function<void(TqdxPersistent&, T)> writer(const G& get, const S& setter) {
        if constexpr (!std::is_same_v<S, std::nullptr_t>) {
            return [setter](TqdxPersistent& o, T v) {
                C& c = static_cast<C&>(o);
                using Arg = typename SetterArg<S>::type;
                if constexpr (std::is_void_v<Arg>) {
                    std::invoke(setter, c, v);
                } else if constexpr (std::is_pointer_v<Arg>) {
                    std::invoke(setter, c, dynamic_cast<Arg>(v));
                } else {
                    std::invoke(setter, c, static_cast<Arg>(v));
                }
            };
        } else if constexpr (std::is_member_object_pointer_v<G>) {
            return [get](TqdxPersistent& o, T v) {
                C& c = static_cast<C&>(o);
                using M = std::remove_reference_t<decltype(c.*get)>;
                if constexpr (std::is_pointer_v<M>) {
                    c.*get = dynamic_cast<M>(v);
                } else {
                    c.*get = static_cast<M>(v);
                }
            };
        } else {
            return {};
        }
    }
    template <class G, class S>
    static void ordinal(TqdxPropInfo& p, const G& get, const S& setter) {
        p.getOrdinal = [get](const TqdxPersistent& o) { return qint64(read(get, o)); };
        if (auto w = writer<qint64>(get, setter)) {
            p.setOrdinal = w;
        }
    }
    TqdxPropInfo base(const char* name, TqdxPropKind kind, Stored stored) {
        TqdxPropInfo p;
        p.name = name;
        p.kind = kind;
        if (stored) {
            p.stored = [stored](const TqdxPersistent& o) {
                return stored(static_cast<const C&>(o));
            };
        }
        return p;
    }
    TqdxClassBuilder& add(TqdxPropInfo p) {
        for (auto& existing : m_info.properties) {
            if (existing.name.compare(p.name, Qt::CaseInsensitive) == 0) {
                existing = std::move(p);
                return *this;
            }
        }
        m_info.properties.push_back(std::move(p));
        return *this;
    }

    TqdxClassInfo& m_info;
};

} // namespace zr::reportlib
