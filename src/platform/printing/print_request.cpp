#include "print_request.h"

#include <algorithm>

namespace zr {

PrintRequest PrintRequest::startingFrom(const PrintDestination& destination) {
    PrintRequest request;
    request.destination = destination;
    for (const auto& [name, value] : destination.options) {
        request.setOption(name, value);
    }
    return request;
}

void PrintRequest::setMedia(const PrintMedia& paper, const QString& asGiven) {
    // The name as given, as lp sends it; a custom size by its PWG name, which every queue reads.
    media = asGiven.startsWith(QLatin1String("custom."), Qt::CaseInsensitive) ? paper.name
                                                                              : asGiven.trimmed();
    mediaMm = paper.sizeMm;
}

void PrintRequest::setOption(const QByteArray& name, const QByteArray& value) {
    if (name == "copies") {
        copies = std::max(1, value.toInt());
    } else if (name == "multiple-document-handling") {
        collate = value != "separate-documents-uncollated-copies";
    } else if (name == "collate") {
        collate = value != "false";
    } else if (name == "sides") {
        sides = QString::fromUtf8(value);
    } else if (name == "media") {
        const QString given = QString::fromUtf8(value);
        if (const std::optional<PrintMedia> paper = printMediaByName(given)) {
            setMedia(*paper, given);
        } else {
            media = given; // the queue's own name for a paper
            mediaMm = {};
        }
    } else {
        const auto same = std::find_if(options.begin(), options.end(),
                                       [&](const auto& option) { return option.first == name; });
        if (same != options.end()) {
            same->second = value;
        } else {
            options.emplace_back(name, value);
        }
    }
}

QString PrintRequest::problem() const {
    if (copies > destination.maxCopies) {
        return QStringLiteral("A impressora \"%1\" aceita no máximo %2 cópias.")
            .arg(destination.name())
            .arg(destination.maxCopies);
    }
    return {};
}

} // namespace zr
