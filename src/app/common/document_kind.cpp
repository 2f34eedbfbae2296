#include "document_kind.h"

namespace zr::app {

DocumentKind detectDocumentKind(const QString& fileName) {
    return fileName.endsWith(QLatin1String(".QP3"), Qt::CaseInsensitive)
               ? DocumentKind::PreparedReport
               : DocumentKind::TextReport;
}

} // namespace zr::app
