#include "platform/text/page_selection.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace zr {
namespace {

using Parity = PageSelection::Parity;
using Pages = std::vector<int>;

struct SelectionCase {
    const char* text;
    int total;
    Parity parity;
    bool reverse;
    std::optional<Pages> pages; // nullopt: refused
    const char* message;        // the message of a refused text
};

// Every door reads a page box, --pages or a job's range through this one rule.
TEST(PageSelection, OneGrammarForEveryDoor) {
    const char* invalid = "Intervalo de páginas inválido: '%1'.";
    const SelectionCase cases[] = {
        {"", 4, Parity::All, false, Pages{1, 2, 3, 4}, nullptr},
        {"  ", 3, Parity::All, false, Pages{1, 2, 3}, nullptr},
        {"1,3,5-7", 9, Parity::All, false, Pages{1, 3, 5, 6, 7}, nullptr},
        {" 2 - 3 , 1 ", 5, Parity::All, false, Pages{2, 3, 1}, nullptr},
        {"-3", 10, Parity::All, false, Pages{1, 2, 3}, nullptr},     // from the first page
        {"4-", 6, Parity::All, false, Pages{4, 5, 6}, nullptr},      // to the last
        {"2,1", 5, Parity::All, false, Pages{2, 1}, nullptr},        // in the order written
        {"3,1-3,3", 5, Parity::All, false, Pages{3, 1, 2}, nullptr}, // each once
        {"1,,3,", 5, Parity::All, false, Pages{1, 3}, nullptr},      // empty items ignored
        {"007", 9, Parity::All, false, Pages{7}, nullptr},
        {"4-9", 5, Parity::All, false, Pages{4, 5}, nullptr}, // beyond the last dropped
        {"1-2147483647", 3, Parity::All, false, Pages{1, 2, 3}, nullptr},
        {"99999999999999,2", 3, Parity::All, false, Pages{2}, nullptr},
        {"7", 6, Parity::All, false, std::nullopt, "Nenhuma página selecionada."},
        {"1-", 0, Parity::All, false, std::nullopt, "Nenhuma página selecionada."},
        {"", 5, Parity::Even, true, Pages{4, 2}, nullptr},
        {"2-4", 5, Parity::All, true, Pages{4, 3, 2}, nullptr},
        {"2", 5, Parity::Odd, false, std::nullopt, "Nenhuma página selecionada."},
        {"5-2", 9, Parity::All, false, std::nullopt,
         "Intervalo de páginas invertido: '5-2' (a primeira página vem depois da última)."},
        {"0", 5, Parity::All, false, std::nullopt, invalid},
        {"0-2", 5, Parity::All, false, std::nullopt, invalid},
        {"-", 5, Parity::All, false, std::nullopt, invalid},
        {"1-2-3", 5, Parity::All, false, std::nullopt, invalid},
        {"a", 5, Parity::All, false, std::nullopt, invalid},
        {"+2", 5, Parity::All, false, std::nullopt, invalid},
        {"1;2", 5, Parity::All, false, std::nullopt, invalid},
    };
    for (const SelectionCase& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        const std::optional<Pages> pages =
            PageSelection::select(QString::fromUtf8(c.text), c.total, c.parity, c.reverse, &error);
        EXPECT_EQ(pages, c.pages);
        if (!c.pages) {
            const QString message = QString::fromUtf8(c.message);
            EXPECT_EQ(error,
                      c.message == invalid ? message.arg(QString::fromUtf8(c.text)) : message);
        }
    }
}

} // namespace
} // namespace zr
