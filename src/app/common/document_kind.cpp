#include "document_kind.h"

#include "app/common/report_content.h"

namespace zr::app {

DocumentKind detectDocumentKind(const QString& fileName) {
    switch (reportContentOfFile(fileName)) {
    case ReportContent::PreparedReport:
        return DocumentKind::PreparedReport;
    case ReportContent::TextReport:
        return DocumentKind::TextReport;
    case ReportContent::Unknown:
        break;
    }
    return fileName.endsWith(QLatin1String(".QP3"), Qt::CaseInsensitive)
               ? DocumentKind::PreparedReport
               : DocumentKind::TextReport;
}

} // namespace zr::app
