// Feeds arbitrary text to the object serializer's one-line forms. The first byte chooses how:
// below 0x80 (modulo the list's size, so the digits '0'..'7' name the classes in list order)
// the rest is attribute text for an object of one of a few classes, created from its class
// name as the prepared-pages store does; from 0x80 on the rest is a whole "ClassName
// attributes..." text. The same attribute text is then applied to fresh memo, page
// and picture objects, and every object made is written back to text and read again.

#include "reportlib/document/qdx_classes.h"
#include "reportlib/document/qdx_components.h"
#include "reportlib/document/qdx_xml.h"
#include "reportlib/document/qdx_xml_serializer.h"

#include <QByteArray>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace {

using namespace zr::reportlib;

constexpr std::array<const char*, 8> kClasses = {
    "TqdxMemoView", "TqdxPictureView", "TqdxReportPage", "TqdxMasterData",
    "TqdxLineView", "TqdxShapeView",   "TqdxRichView",   "TqdxCheckBoxView"};

// Reading may fail in the ways the serializer documents; anything else is a finding.
template <class F> void guarded(F&& f) {
    try {
        f();
    } catch (const TqdxClassNotFound&) {
    } catch (const TqdxInvalidXMLException&) {
    } catch (const std::invalid_argument&) {
        // a malformed number or "&#...;" reference
    } catch (const std::out_of_range&) {
    } catch (const std::runtime_error&) {
        // duplicate names, circular band chains, malformed property streams
    }
}

void roundTrip(TqdxComponent& object) {
    guarded([&] {
        TqdxXMLSerializer writer;
        const QByteArray text = writer.ObjectTreeToText(object);
        TqdxXMLSerializer reader;
        std::unique_ptr<TqdxComponent> again(reader.ObjectTreeFromText(nullptr, text, false));
    });
}

template <class C> void applyTo(QByteArrayView attributes) {
    auto object = std::make_unique<C>();
    guarded([&] {
        TqdxXMLSerializer serializer;
        serializer.ApplyAttributeText(attributes, *object);
    });
    roundTrip(*object);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    QByteArray text;
    QByteArrayView attributes = rest;
    if (data[0] < 0x80) {
        text = QByteArray(kClasses[data[0] % kClasses.size()]) + ' ' + rest.toByteArray();
    } else {
        text = rest.toByteArray();
        const qsizetype space = text.indexOf(' ');
        attributes = space < 0 ? QByteArrayView() : rest.sliced(space + 1);
    }

    guarded([&] {
        TqdxXMLSerializer serializer;
        std::unique_ptr<TqdxComponent> made(serializer.ObjectTreeFromText(nullptr, text, false));
        if (made) {
            roundTrip(*made);
        }
    });
    applyTo<TqdxMemoView>(attributes);
    applyTo<TqdxReportPage>(attributes);
    applyTo<TqdxPictureView>(attributes);
    return 0;
}
