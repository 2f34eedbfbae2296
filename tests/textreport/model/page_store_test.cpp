#include "textreport/model/page_store.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <vector>

using zr::textreport::PageStore;

namespace {

std::vector<QByteArray> contents(const PageStore& s) {
    std::vector<QByteArray> out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        out.push_back(s.item(i).toByteArray());
    }
    return out;
}

} // namespace

TEST(PageStore, KeepsItemsSortedByPageLineColumnWhateverTheOrderAdded) {
    PageStore s;
    s.add("0002005010016T000000b");
    s.add("0002005003016T000000a");
    s.add("0001066001016T000000z");
    EXPECT_EQ(contents(s), (std::vector<QByteArray>{"0001066001016T000000z",
                                                    "0002005003016T000000a",
                                                    "0002005010016T000000b"}));
}

TEST(PageStore, ComparesWithoutRegardToCaseAndKeepsEqualItemsInArrivalOrder) {
    EXPECT_EQ(PageStore::compare("abc", "ABC"), 0);
    EXPECT_LT(PageStore::compare("ab", "ABC"), 0);
    EXPECT_LT(PageStore::compare("\xe1", "\xc1z"), 0); // á folds to Á, then the shorter first
    PageStore s;
    s.add("0001001001016T000000TEXTO");
    s.add("0001001001016T000000texto");
    EXPECT_EQ(s.item(0), QByteArrayView("0001001001016T000000TEXTO"));
    EXPECT_EQ(s.item(1), QByteArrayView("0001001001016T000000texto"));
}

TEST(PageStore, BulkSortMatchesAStableSortOfRandomItems) {
    // Items sharing long prefixes exercise both the 16-byte keys and the byte-wise tail.
    QRandomGenerator rng(7);
    std::vector<QByteArray> items;
    PageStore s;
    for (int i = 0; i < 5000; ++i) {
        QByteArray item = QByteArray::number(rng.bounded(3)).rightJustified(4, '0') + "001001016";
        item += "TBC"[rng.bounded(3)];
        item += rng.bounded(2) ? "000000" : "ff0000";
        const int tail = rng.bounded(4);
        for (int k = 0; k < tail; ++k) {
            item += "aAbB\xe7\xc7"[rng.bounded(6)];
        }
        if (rng.bounded(10) == 0) {
            item = item.left(rng.bounded(18)); // short and odd items too
        }
        items.push_back(item);
        s.appendUnsorted(item);
    }
    s.sort();
    std::stable_sort(items.begin(), items.end(), [](const QByteArray& a, const QByteArray& b) {
        return PageStore::compare(a, b) < 0;
    });
    EXPECT_EQ(contents(s), items);
}

TEST(PageStore, SpansOfAnAdoptedBufferAreItems) {
    PageStore s;
    s.adoptBuffer("header\r\n0002001001016T000000b\r\n0001001001016T000000a\r\n");
    EXPECT_TRUE(s.appendSpan(8, 21));
    EXPECT_TRUE(s.appendSpan(31, 21));
    EXPECT_FALSE(s.appendSpan(50, 21)); // beyond the buffer
    s.sort();
    ASSERT_EQ(s.size(), 2);
    EXPECT_EQ(s.item(0), QByteArrayView("0001001001016T000000a"));
    EXPECT_EQ(s.item(5), QByteArrayView()); // out of range reads nothing
}

TEST(PageStore, FindsTheFirstItemOfAPage) {
    PageStore s;
    for (int p : {1, 1, 3, 3, 3, 7}) {
        s.add(QByteArray::number(p).rightJustified(4, '0') + "001001016T000000x");
    }
    EXPECT_EQ(s.lowerBoundPage(1), 0);
    EXPECT_EQ(s.lowerBoundPage(2), 2);
    EXPECT_EQ(s.lowerBoundPage(3), 2);
    EXPECT_EQ(s.lowerBoundPage(7), 5);
    EXPECT_EQ(s.lowerBoundPage(8), 6);
}
