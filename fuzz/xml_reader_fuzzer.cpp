// Feeds arbitrary bytes to the XML dialect reader, fully and with deferred subtrees, then walks
// the tree the way the document layer does: reading attributes, fetching deferred subtrees,
// releasing them again and saving the document back.

#include "reportlib/document/qdx_xml.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

using zr::reportlib::TqdxXMLDocument;
using zr::reportlib::TqdxXMLItem;

void walk(TqdxXMLDocument& doc, TqdxXMLItem& root) {
    std::vector<TqdxXMLItem*> work{&root};
    int visited = 0;
    while (!work.empty() && ++visited < 20000) {
        TqdxXMLItem* item = work.back();
        work.pop_back();
        try {
            (void)item->Prop("Name");
            (void)item->Prop("ld");
        } catch (const std::invalid_argument&) {
            // a malformed "&#...;" reference in a value
        }
        doc.FetchItem(*item);
        for (int i = 0; i < item->Count(); ++i) {
            work.push_back(&item->Items(i));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const bool partial : {false, true}) {
        TqdxXMLDocument doc;
        try {
            auto stream = std::make_unique<QBuffer>();
            stream->setData(bytes);
            stream->open(QIODevice::ReadOnly);
            doc.LoadFromStream(std::move(stream), partial);
            walk(doc, doc.Root());
            for (int i = 0; i < doc.Root().Count(); ++i) {
                doc.ReleaseItem(doc.Root().Items(i));
            }
            const QByteArray saved = doc.SaveToBytes();
            TqdxXMLDocument again;
            again.LoadFromBytes(saved);
        } catch (const zr::reportlib::TqdxInvalidXMLException&) {
        }
    }
    return 0;
}
