#include "app/viewer/interim_preview.h"
#include "textreport/model/page_store.h"

#include <gtest/gtest.h>

namespace zr::app {
namespace {

TEST(InterimPreview, PlacesTextItemsOnTheirPageLineAndColumn) {
    textreport::PageStore store;
    store.add("0001001001016T000000RELAT\xD3RIO"); // cp1252 O acute
    store.add("0001003010016T000000 12,50");
    store.add("0001003001016T000000TOTAL");
    store.add("0001003003016T0000FFxy");       // overwrites part of TOTAL
    store.add("0001002001016B000000HHHH");     // box drawing: not text
    store.add("0002001001016C00000027 69");    // control codes only: an empty page
    store.add("0003001001016T000000");         // just the fixed fields: an empty text
    store.add("00x3001001016T000000bad page"); // not a number: skipped
    store.add("0004");                         // shorter than the fixed fields: skipped
    const QStringList pages = interimPreviewPages(store);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(pages[0], QStringLiteral("RELATÓRIO\n\nTOxyL     12,50"));
    EXPECT_EQ(pages[1], QString());
    EXPECT_EQ(pages[2], QString());
}

} // namespace
} // namespace zr::app
