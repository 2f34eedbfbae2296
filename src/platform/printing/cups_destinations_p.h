#pragma once

// The print system's destinations, listed afresh when constructed. Private to the printing
// layer.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cups/cups.h>

namespace zr {

// A queue with no driver: the scheduler passes documents on as they come, and the backend makes
// copies by sending the whole document again.
inline bool isRawQueue(const cups_dest_t& dest) {
    const char* model = cupsGetOption("printer-make-and-model", dest.num_options, dest.options);
    return model && qstrcmp(model, "Local Raw Printer") == 0;
}

class Destinations {
public:
    Destinations() : m_count(cupsGetDests2(CUPS_HTTP_DEFAULT, &m_dests)) {}
    ~Destinations() { cupsFreeDests(m_count, m_dests); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;

    // "queue" or "queue/instance"; null when there is no such destination.
    cups_dest_t* find(const QString& name) const {
        if (name.isEmpty()) {
            return nullptr;
        }
        const qsizetype slash = name.indexOf(QLatin1Char('/'));
        const QByteArray queue = name.left(slash).toUtf8();
        const QByteArray instance = slash < 0 ? QByteArray() : name.mid(slash + 1).toUtf8();
        return cupsGetDest(queue.constData(), instance.isEmpty() ? nullptr : instance.constData(),
                           m_count, m_dests);
    }
    cups_dest_t* systemDefault() const { return cupsGetDest(nullptr, nullptr, m_count, m_dests); }
    QStringList names() const {
        QStringList list;
        for (int i = 0; i < m_count; ++i) {
            list.append(nameOf(m_dests[i]));
        }
        return list;
    }

    static QString nameOf(const cups_dest_t& dest) {
        QString name = QString::fromUtf8(dest.name);
        if (dest.instance) {
            name += QLatin1Char('/') + QString::fromUtf8(dest.instance);
        }
        return name;
    }

private:
    cups_dest_t* m_dests = nullptr;
    int m_count;
};

} // namespace zr
