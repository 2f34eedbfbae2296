#pragma once

// The pages a user asks for, as every door of the program reads them: the converter's --pages,
// the page boxes of the print, print setup and PDF options dialogs.
//
//   N      page N
//   N-M    pages N to M (M not before N)
//   -M     pages 1 to M
//   N-     pages N to the last
//
// Items are separated by commas; blanks are ignored, and so are empty items ("1,,3", "2,").
// An empty text is every page. Pages come in the order written, each once: "3,1-3" is 3, 1, 2.
// Pages beyond the report's last are left out; a selection that leaves no page of the report is
// refused by the door that applies it, with noPageMessage().

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace zr {

class PageSelection {
public:
    enum class Parity { All, Odd, Even };

    // Every page.
    PageSelection() = default;

    // The selection a text names; nullopt, with `error` set to the message every door shows,
    // for a text that is none ("a", "0", "1-2-3", a backward range "5-2").
    static std::optional<PageSelection> parse(QStringView text, QString* error = nullptr);

    bool isAll() const { return m_items.empty(); }

    // The pages of a report of `total` pages, numbered from 1: in the order written, each once,
    // those beyond `total` left out; then the odd or even ones only, and reversed on request.
    std::vector<int> pages(int total, Parity parity = Parity::All, bool reverse = false) const;

    // What a door does with a text typed or given for a report of `total` pages: the pages it
    // selects (as pages()), or nullopt with `error` set to the message to show when the text is
    // no selection or leaves no page of the report.
    static std::optional<std::vector<int>> select(QStringView text, int total,
                                                  Parity parity = Parity::All, bool reverse = false,
                                                  QString* error = nullptr);

    // Whether `pages` is every page of a report of `total` pages, in order.
    static bool everyPageInOrder(const std::vector<int>& pages, int total);

    // The message for a selection that leaves no page of the report.
    static QString noPageMessage();

private:
    struct Item {
        int first;
        int last; // 0: to the last page
    };
    std::vector<Item> m_items;
};

} // namespace zr
