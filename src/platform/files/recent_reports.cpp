#include "recent_reports.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace zr {

namespace {

const QString kRecentKey = QStringLiteral("recentes/arquivos");
const QString kPlacesGroup = QStringLiteral("lugares");
const QString kWindowsGroup = QStringLiteral("janelas");

QString absolute(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

// The file as it is now: its path, size and time of change.
QString placeKey(const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile()) {
        return {};
    }
    const QString identity = file.absoluteFilePath() + u'\n' + QString::number(file.size()) +
                             u'\n' + QString::number(file.lastModified().toMSecsSinceEpoch());
    return QString::fromLatin1(
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha1).toHex());
}

} // namespace

QStringList recentReports() {
    QSettings settings;
    QStringList list = settings.value(kRecentKey).toStringList();
    list.removeAll(QString());
    list.removeDuplicates();
    return list.mid(0, kMaxRecentReports);
}

void addRecentReport(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    QStringList list = recentReports();
    const QString full = absolute(path);
    list.removeAll(full);
    list.prepend(full);
    QSettings().setValue(kRecentKey, list.mid(0, kMaxRecentReports));
}

void removeRecentReports(const QStringList& paths) {
    QStringList list = recentReports();
    for (const QString& path : paths) {
        list.removeAll(absolute(path));
    }
    QSettings().setValue(kRecentKey, list);
}

QStringList recentReportFolders() {
    QStringList folders;
    for (const QString& report : recentReports()) {
        const QFileInfo folder(QFileInfo(report).absolutePath());
        if (folder.isDir() && !folders.contains(folder.absoluteFilePath())) {
            folders << folder.absoluteFilePath();
        }
    }
    return folders;
}

void clearRecentReports() {
    QSettings().remove(kRecentKey);
}

std::optional<ReportPlace> reportPlace(const QString& path) {
    const QString key = placeKey(path);
    if (key.isEmpty()) {
        return std::nullopt;
    }
    QSettings settings;
    const QStringList fields = settings.value(kPlacesGroup + u'/' + key).toStringList();
    if (fields.size() < 3) {
        return std::nullopt;
    }
    ReportPlace place;
    bool pageOk = false;
    bool zoomOk = false;
    bool modeOk = false;
    place.page = fields[0].toInt(&pageOk);
    place.zoom = fields[1].toDouble(&zoomOk);
    place.zoomMode = fields[2].toInt(&modeOk);
    // A settings file edited by hand is not trusted further than this.
    if (!pageOk || !zoomOk || !modeOk || place.page < 1 || !std::isfinite(place.zoom) ||
        place.zoom <= 0) {
        return std::nullopt;
    }
    return place;
}

void rememberReportPlace(const QString& path, const ReportPlace& place) {
    const QString key = placeKey(path);
    if (key.isEmpty()) {
        return;
    }
    QSettings settings;
    settings.beginGroup(kPlacesGroup);
    settings.setValue(key, QStringList{QString::number(place.page), QString::number(place.zoom),
                                       QString::number(place.zoomMode),
                                       QString::number(QDateTime::currentMSecsSinceEpoch())});
    // The oldest places go once there are too many.
    QStringList keys = settings.childKeys();
    if (keys.size() > kMaxReportPlaces) {
        const auto used = [&settings](const QString& k) {
            return settings.value(k).toStringList().value(3).toLongLong();
        };
        std::sort(keys.begin(), keys.end(),
                  [&](const QString& a, const QString& b) { return used(a) < used(b); });
        for (qsizetype i = 0; i < keys.size() - kMaxReportPlaces; ++i) {
            settings.remove(keys[i]);
        }
    }
}

QByteArray windowGeometry(const QString& kind) {
    return QSettings().value(kWindowsGroup + u'/' + kind).toByteArray();
}

void rememberWindowGeometry(const QString& kind, const QByteArray& geometry) {
    QSettings().setValue(kWindowsGroup + u'/' + kind, geometry);
}

} // namespace zr
