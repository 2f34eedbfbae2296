#include "accessible_caption.h"

#include <QWidget>

namespace zr::textreport::ui {

QString accessibleCaption(const QString& caption) {
    QString name;
    name.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption.at(i);
        if (c == u'&') {
            // "&&" is a literal ampersand; a lone "&" only marks the next letter.
            if (i + 1 < caption.size() && caption.at(i + 1) == u'&') {
                name.append(c);
                ++i;
            }
            continue;
        }
        name.append(c);
    }
    name = name.simplified();
    while (name.endsWith(u':')) {
        name.chop(1);
    }
    return name.trimmed();
}

void setAccessibleCaption(QWidget* widget, const QString& caption) {
    if (widget) {
        widget->setAccessibleName(accessibleCaption(caption));
    }
}

} // namespace zr::textreport::ui
