#include "qdx_classes.h"

#include "qdx_components.h"

#include <QHash>

#include <mutex>

namespace zr::reportlib {

QByteArray TqdxStrings::Text() const {
    QByteArray out;
    for (const QByteArray& line : Lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

void TqdxStrings::SetText(QByteArrayView text) {
    Lines.clear();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            Lines.append(text.sliced(start, i - start).toByteArray());
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
        ++i;
    }
    if (start < text.size()) {
        Lines.append(text.sliced(start).toByteArray());
    }
}

int TqdxEnumInfo::ordinalOf(QByteArrayView name) const {
    for (size_t i = 0; i < names.size(); ++i) {
        if (QByteArrayView(names[i]).compare(name, Qt::CaseInsensitive) == 0) {
            return int(i);
        }
    }
    return -1;
}

const TqdxEnumInfo& BooleanEnum() {
    static const TqdxEnumInfo info{{"False", "True"}};
    return info;
}

bool TqdxPropInfo::hasSetter() const {
    switch (kind) {
    case TqdxPropKind::Integer:
    case TqdxPropKind::Enumeration:
    case TqdxPropKind::Set:
        return bool(setOrdinal);
    case TqdxPropKind::Float:
        return bool(setFloat);
    case TqdxPropKind::String:
        return bool(setString);
    case TqdxPropKind::ComponentRef:
        return bool(setReference);
    case TqdxPropKind::StringList:
    case TqdxPropKind::WideStrings:
    case TqdxPropKind::Object:
        return true;
    }
    return false;
}

const TqdxPropInfo* TqdxClassInfo::find(QByteArrayView propName) const {
    const auto it = m_index.constFind(propName.toByteArray().toLower());
    return it == m_index.cend() ? nullptr : &properties[size_t(*it)];
}

bool TqdxClassInfo::inheritsFrom(const TqdxClassInfo& other) const {
    for (const TqdxClassInfo* c = this; c; c = c->parent) {
        if (c == &other) {
            return true;
        }
    }
    return false;
}

void TqdxClassInfo::finish() {
    m_index.clear();
    for (size_t i = 0; i < properties.size(); ++i) {
        m_index.insert(properties[i].name.toLower(), int(i));
    }
}

TqdxClassNotFound::TqdxClassNotFound(const QByteArray& className)
    : std::runtime_error(std::string("Classe n\xc3\xa3o encontrada ") + className.toStdString()),
      ClassName(className) {}

void TqdxPersistent::DefineProperties(TqdxFiler&) {}

namespace {

struct Registry {
    std::mutex mutex;
    QHash<QByteArray, const TqdxClassInfo*> classes; // lower-case name
    bool filled = false;
};

Registry& registry() {
    static Registry r;
    return r;
}

} // namespace

void RegisterClass(const TqdxClassInfo& info) {
    registry().classes.insert(info.name.toLower(), &info);
}

const TqdxClassInfo* FindClass(QByteArrayView name) {
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        if (!r.filled) {
            r.filled = true;
            RegisterReportClasses();
        }
    }
    const auto it = r.classes.constFind(name.toByteArray().toLower());
    return it == r.classes.cend() ? nullptr : *it;
}

const TqdxClassInfo& GetClass(QByteArrayView name) {
    const TqdxClassInfo* info = FindClass(name);
    if (!info) {
        throw TqdxClassNotFound(name.toByteArray());
    }
    return *info;
}

} // namespace zr::reportlib
