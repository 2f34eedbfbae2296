#pragma once

// What the viewer remembers of the reports a user opened, across runs, in the user's settings
// (QSettings of the organisation and application named at start-up): the ten opened last, the
// place each was left at, and where each kind of preview window stood on the screen.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace zr {

// The reports opened last, newest first, at most kMaxRecentReports, as absolute paths. Files
// that have gone stay listed until removed.
inline constexpr int kMaxRecentReports = 10;
QStringList recentReports();
// Puts a report that has just opened at the head of the list.
void addRecentReport(const QString& path);
// Takes reports off the list (all of them with an empty list).
void removeRecentReports(const QStringList& paths);
// The folders of the recent reports that still exist, newest first, each once: what the open
// dialogs offer in their history.
QStringList recentReportFolders();
void clearRecentReports();

// Where a report was left: its page, its zoom (1.0 is 100%) and its zoom mode (the preview's own
// numbering).
struct ReportPlace {
    int page = 1;
    double zoom = 1.0;
    int zoomMode = 0;
};
// The place is kept for the file as it was: a report rewritten since (another size or time of
// change) opens at its start again. The last kMaxReportPlaces reports are remembered.
inline constexpr int kMaxReportPlaces = 200;
std::optional<ReportPlace> reportPlace(const QString& path);
void rememberReportPlace(const QString& path, const ReportPlace& place);

// A window's saved geometry (QWidget::saveGeometry), by the kind of window; empty when none.
QByteArray windowGeometry(const QString& kind);
void rememberWindowGeometry(const QString& kind, const QByteArray& geometry);

} // namespace zr
