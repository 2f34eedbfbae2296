#include "report_builder.h"

#include <cstdio>

namespace zr::test {

ReportBuilder& ReportBuilder::version(int v) {
    m_version = v;
    return *this;
}
ReportBuilder& ReportBuilder::title(const QByteArray& t) {
    m_title = t;
    return *this;
}
ReportBuilder& ReportBuilder::size(int lines, int columns) {
    m_lines = lines;
    m_columns = columns;
    return *this;
}
ReportBuilder& ReportBuilder::lpp(const QByteArray& line7) {
    m_lpp = line7;
    return *this;
}
ReportBuilder& ReportBuilder::pitch(const QByteArray& line8) {
    m_pitch = line8;
    return *this;
}
ReportBuilder& ReportBuilder::style(const QByteArray& line9) {
    m_style = line9;
    return *this;
}
ReportBuilder& ReportBuilder::count(int n) {
    m_count = n;
    return *this;
}

QByteArray ReportBuilder::itemString(int page, int line, int column, const QByteArray& text,
                                     int attribute, char kind, const QByteArray& colour) {
    char head[32];
    std::snprintf(head, sizeof head, "%04d%03d%03d%03d%c", page, line, column, attribute, kind);
    return QByteArray(head) + colour + text;
}

ReportBuilder& ReportBuilder::item(int page, int line, int column, const QByteArray& text,
                                   int attribute, char kind, const QByteArray& colour) {
    QByteArray s = itemString(page, line, column, text, attribute, kind, colour);
    if (m_version == 3) {
        s.remove(14, colour.size());
    }
    m_items.append(s);
    return *this;
}

ReportBuilder& ReportBuilder::raw(const QByteArray& line) {
    m_items.append(line);
    return *this;
}

QByteArray ReportBuilder::build() const {
    auto six = [](int n) {
        char b[16];
        std::snprintf(b, sizeof b, "%06d", n);
        return QByteArray(b);
    };
    QByteArray marker;
    switch (m_version) {
    case 3:
        marker = "<< Gravana 3.0 - Morvane Inform\xe1tica >>";
        break;
    case 4:
        marker = "<< Gravana 4.0 - Morvane Inform\xe1tica >>";
        break;
    default:
        marker = "<< Gravana 5.0 - Morvane Sistemas >>";
        break;
    }
    QByteArray out;
    const QList<QByteArray> record = {marker,
                                      "<< ESTE  ARQUIVO N\xc3O DEVE SER EDITADO >>",
                                      six(m_count >= 0 ? m_count : int(m_items.size())),
                                      m_title,
                                      six(m_lines),
                                      six(m_columns),
                                      m_lpp,
                                      m_pitch,
                                      m_style};
    for (const QByteArray& l : record) {
        out += l + "\r\n";
    }
    for (const QByteArray& l : m_items) {
        out += l + "\r\n";
    }
    return out;
}

} // namespace zr::test
