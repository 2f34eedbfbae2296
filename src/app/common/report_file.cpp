#include "report_file.h"

#include "reportlib/document/qdx_classes.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_xml.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>
#include <vector>

namespace zr::app {

namespace {

bool isPageObjectElement(const QByteArray& name) {
    return name.compare("TqdxReportPage", Qt::CaseInsensitive) == 0 ||
           name.compare("TqdxDMPPage", Qt::CaseInsensitive) == 0;
}

// The position (from 1, in document order) of the first object under `page` that names no
// class the program knows and no entry of the dictionary; 0 when there is none.
int unknownObject(const reportlib::TqdxXMLItem& page, const reportlib::TqdxDictionary& dictionary) {
    std::vector<const reportlib::TqdxXMLItem*> stack;
    for (int i = page.Count() - 1; i >= 0; --i) {
        stack.push_back(&page.Items(i));
    }
    int position = 0;
    while (!stack.empty()) {
        const reportlib::TqdxXMLItem& e = *stack.back();
        stack.pop_back();
        ++position;
        if (!dictionary.ObjectOf(e.Name)) {
            const reportlib::TqdxClassInfo* info = reportlib::FindClass(e.Name);
            if (!info || !info->create) {
                return position;
            }
        }
        for (int i = e.Count() - 1; i >= 0; --i) {
            stack.push_back(&e.Items(i));
        }
    }
    return 0;
}

} // namespace

QString openFailedMessage(const QString& path, int error) {
    return QStringLiteral("Erro na abertura do arquivo %1: %2")
        .arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

QString writeFailedMessage(const QString& path, int error) {
    return QStringLiteral("Erro na gravação do arquivo ") + path +
           (error != 0 ? QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error))
                       : QString());
}

ReportContent judgeReportFile(const QString& path, QString& error) {
    if (QFileInfo(path).isDir()) {
        error = openFailedMessage(path, EISDIR);
        return ReportContent::Unknown;
    }
    QFile file(path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        error = openFailedMessage(path, errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return ReportContent::Unknown;
    }
    const ReportContent kind = reportContentOf(file.read(kReportHeadSize));
    if (kind == ReportContent::Unknown) {
        error = QStringLiteral("O arquivo não é um relatório Zeral (.GVP ou .QP3): ") + path;
    }
    return kind;
}

QString preparedReportDefect(reportlib::TqdxPreviewPages& store) {
    for (int p = 0; p < store.Count(); ++p) {
        reportlib::TqdxXMLItem& element = store.PagesElement().Items(p);
        if (!isPageObjectElement(element.Name) && store.PageExtent(p).isEmpty()) {
            return QStringLiteral("a página %1 se refere a uma página de modelo que não existe")
                .arg(p + 1);
        }
        const bool fetched = !element.Loaded;
        if (fetched) {
            store.Document().FetchItem(element);
        }
        const int object = isPageObjectElement(element.Name)
                               ? 0
                               : unknownObject(element, store.Dictionary());
        if (fetched) {
            store.Document().DropItem(element);
        }
        if (object > 0) {
            return QStringLiteral("o objeto %1 da página %2 é de uma classe desconhecida")
                .arg(object)
                .arg(p + 1);
        }
    }
    return {};
}

} // namespace zr::app
