#pragma once

#include <QByteArray>
#include <QList>

namespace zr::test {

// Builds the bytes of a saved text report in code:
//   ReportBuilder().title("Vendas").item(1, 3, 1, "TOTAL 12,50").build()
// Items are written in the order given; the count line is the number of items unless set.
class ReportBuilder {
public:
    ReportBuilder& version(int v);
    ReportBuilder& title(const QByteArray& t);
    ReportBuilder& size(int lines, int columns);
    ReportBuilder& lpp(const QByteArray& line7);
    ReportBuilder& pitch(const QByteArray& line8);
    ReportBuilder& style(const QByteArray& line9);
    ReportBuilder& count(int n);
    // A text item; attribute 16 (10 pitch), colour black, kind T unless given.
    ReportBuilder& item(int page, int line, int column, const QByteArray& text, int attribute = 16,
                        char kind = 'T', const QByteArray& colour = "000000");
    // A line written as given (for malformed items).
    ReportBuilder& raw(const QByteArray& line);
    QByteArray build() const;

    // One item string in the store's layout.
    static QByteArray itemString(int page, int line, int column, const QByteArray& text,
                                 int attribute = 16, char kind = 'T',
                                 const QByteArray& colour = "000000");

private:
    int m_version = 5;
    QByteArray m_title = "Teste";
    int m_lines = 66;
    int m_columns = 80;
    QByteArray m_lpp = "6";
    QByteArray m_pitch = "F10";
    QByteArray m_style;
    int m_count = -1;
    QList<QByteArray> m_items;
};

} // namespace zr::test
