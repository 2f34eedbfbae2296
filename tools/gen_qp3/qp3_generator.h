#pragma once

// Builds prepared reports (".QP3") the way the report engine fills the prepared-pages store:
// design pages with bands and views are registered as source pages, then every page is begun
// from its design page and the design objects, moved and given new texts, are added to it.
// Used by the gen_qp3 tool, the benchmarks and the tests that need a realistic prepared report.
//
// The report looks like a sales listing: a page header with the company name, the date, a logo
// and a rule; a column header; three to five order bands, each with code, customer, quantity,
// price and total in framed memos and a remark below; a page footer with the page number over
// a rounded shape. Every section (a logical report) ends with a landscape summary page. Some
// pages carry a stamp picture of their own, kept in the picture store. There is one outline
// item per section with one child per page, and one anchor per order band. The same options
// always give the same bytes.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace zr::reportlib {
class TqdxReport;
}

namespace zr::tools {

struct Qp3GeneratorOptions {
    int pages = 10000;
    std::uint64_t seed = 1;
    // Pages per logical report (the last of each is the summary page); at least 1.
    int sectionPages = 25;
    // Every this many pages a listing page gets a stamp picture of its own (0: never).
    int pictureEvery = 7;
    // Replace the last page by a complete page (one stored with all its objects' attributes, as
    // editing in the preview leaves it).
    bool completeLastPage = false;
    // When not empty, the last page is replaced by a complete page holding one memo per entry,
    // one under the other: the font family, then the text. A text with '<' allows formatting
    // tags; a text starting "{\rtf" makes a rich-text object instead.
    std::vector<std::pair<QString, QString>> memoLines;
    // Entries of memoLines whose memo is hatched (a diagonal cross in grey).
    std::vector<int> hatchedMemos;
};

// Fills the report's prepared pages (cleared first) and sets its title. The design pages stay
// children of `report` for its life: the source pages of the store refer to them.
void BuildPreparedReport(reportlib::TqdxReport& report, const Qp3GeneratorOptions& options);

// Builds a report as above in a report of its own and saves it. False, with `error` set, when
// the file cannot be written.
bool WritePreparedReport(const QString& path, const Qp3GeneratorOptions& options,
                         QString* error = nullptr);

// The title every generated report carries, in code page 1252.
QByteArray GeneratedReportTitle();

// A small PNG (a square with a coloured border and a diagonal band), different for each
// `variant`.
QByteArray StampPng(int variant, int size = 24);

} // namespace zr::tools
