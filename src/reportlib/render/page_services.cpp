#include "page_services.h"

#include "memo_layout.h"
#include "view_painter.h"

#include "platform/interaction/interaction.h"
#include "platform/text/page_selection.h"

#include <QCoreApplication>

#include <new>
#include <QFileInfo>
#include <QImage>
#include <QUrl>

#include <cmath>
#include <memory>
#include <stdexcept>

namespace zr::reportlib::render {

namespace {

bool isPageHeaderOrFooter(const TqdxComponent& c, bool& header) {
    header = qdx_cast<TqdxPageHeader>(&c) != nullptr;
    return header || qdx_cast<TqdxPageFooter>(&c) != nullptr;
}

// Swaps the margins of odd pages with mirrored margins for as long as it lives.
class MirroredMargins {
public:
    MirroredMargins(TqdxReportPage& page, int index) : m_page(page) {
        m_left = page.LeftMargin;
        m_right = page.RightMargin;
        if (page.MirrorMargins && index % 2 == 1) {
            std::swap(page.LeftMargin, page.RightMargin);
        }
    }
    ~MirroredMargins() {
        m_page.LeftMargin = m_left;
        m_page.RightMargin = m_right;
    }
    MirroredMargins(const MirroredMargins&) = delete;
    MirroredMargins& operator=(const MirroredMargins&) = delete;

private:
    TqdxReportPage& m_page;
    double m_left;
    double m_right;
};

void paintPageBackground(QPainter& canvas, TqdxReportPage& page, double scaleX, double scaleY,
                         double offsetX, double offsetY) {
    TqdxPictureView& background = page.Background();
    background.SetWidth((page.PaperWidth() - page.LeftMargin - page.RightMargin) * qd01cm);
    background.SetHeight((page.PaperHeight() - page.TopMargin - page.BottomMargin) * qd01cm);
    if (!page.BackPictureVisible || (page.IsPrinting && !page.BackPicturePrintable)) {
        return;
    }
    background.IsPrinting = page.IsPrinting;
    DrawPictureView(canvas, background, scaleX, scaleY, offsetX + page.LeftMargin * qd01cm * scaleX,
                    offsetY + page.TopMargin * qd01cm * scaleY);
    background.IsPrinting = false;
}

// Raised inside an export when the report asks to stop.
struct ExportTerminated {};

} // namespace

void PaintPage(TqdxPreviewPages& pages, int index, QPainter& canvas, double scaleX, double scaleY,
               double offsetX, double offsetY) {
    TqdxReportPage* page = pages.PageObject(index);
    if (!page) {
        return;
    }
    const CanvasKind kind = canvasKind(canvas);
    const bool printer = kind == CanvasKind::Printer;
    MirroredMargins margins(*page, index);
    canvas.save();
    QRect clip(0, 0, 10000, 10000);
    if (!printer) {
        if (canvas.hasClipping()) {
            clip = canvas.clipBoundingRect().toAlignedRect();
        }
        const QRect paper(QPoint(Round(offsetX), Round(offsetY)),
                          QPoint(Round(page->PaperWidth() * qd01cm * scaleX + offsetX) - 2,
                                 Round(page->PaperHeight() * qd01cm * scaleY + offsetY) - 2));
        canvas.setClipRect(paper, Qt::IntersectClip);
        clip = clip.intersected(paper);
    }
    page->IsPrinting = printer;
    paintPageBackground(canvas, *page, scaleX, scaleY, offsetX, offsetY);
    offsetX += page->LeftMargin * qd01cm * scaleX;
    offsetY += page->TopMargin * qd01cm * scaleY;
    const int dx = Round(offsetX);
    const int dy = Round(offsetY);
    for (TqdxComponent* object : page->AllObjects()) {
        auto* view = qdx_cast<TqdxView>(object);
        if (!view) {
            continue;
        }
        if (printer && !view->Printable) {
            continue;
        }
        if (kind != CanvasKind::Metafile) {
            const QRect bounds(QPoint(Round(view->AbsLeft() * scaleX) - 20 + dx,
                                      Round(view->AbsTop() * scaleY) - 20 + dy),
                               QPoint(Round((view->AbsLeft() + view->Width()) * scaleX + 20) + dx,
                                      Round((view->AbsTop() + view->Height()) * scaleY + 20) + dy));
            if (!bounds.intersects(clip)) {
                continue;
            }
        }
        view->IsPrinting = printer;
        if (auto* memo = qdx_cast<TqdxCustomMemoView>(view)) {
            memo->TotalPages = pages.Count();
            memo->CopyNo = pages.CopyNo;
            memo->PrintScale = pages.PrintScale;
        }
        DrawView(canvas, *view, scaleX, scaleY, offsetX, offsetY);
        view->IsPrinting = false;
    }
    canvas.restore();
}

bool IsOpenableLink(const QString& url) {
    const QString text = url.trimmed();
    if (text.isEmpty()) {
        return false;
    }
    const QUrl parsed(text);
    const QString scheme = parsed.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto")) {
        return parsed.isValid();
    }
    // A document on this machine, given as a path or a file: address; never a program.
    const QString path = scheme == QLatin1String("file") ? parsed.toLocalFile() : text;
    if (!scheme.isEmpty() && scheme != QLatin1String("file") && scheme.size() > 1) {
        return false;
    }
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isExecutable();
}

void ObjectAtPoint(TqdxPreviewPages& pages, TqdxReport& report, int index, int x, int y, int button,
                   int shift, double scale, double offsetX, double offsetY, bool click, int& cursor,
                   bool doubleClick, const PreviewLinks& links) {
    if (index < 0 || index >= pages.Count()) {
        return;
    }
    TqdxReportPage* page = pages.PageObject(index);
    if (!page) {
        return;
    }
    const double leftMargin =
        page->MirrorMargins && index % 2 == 1 ? page->RightMargin : page->LeftMargin;
    offsetX += scale * (leftMargin * qd01cm);
    offsetY += page->TopMargin * qd01cm * scale;
    if (links.setStatus) {
        links.setStatus({});
    }
    const int dx = Round(offsetX);
    const int dy = Round(offsetY);
    TqdxGroupHeader* drillGroup = nullptr;
    const std::vector<TqdxComponent*> objects = page->AllObjects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        TqdxComponent* object = *it;
        const QRect r(
            Round(object->AbsLeft() * scale) + dx, Round(object->AbsTop() * scale) + dy,
            Round((object->AbsLeft() + object->Width()) * scale) - Round(object->AbsLeft() * scale),
            Round((object->AbsTop() + object->Height()) * scale) - Round(object->AbsTop() * scale));
        const bool inside = r.contains(x, y);
        if (auto* group = qdx_cast<TqdxGroupHeader>(object); group && inside && group->DrillDown) {
            drillGroup = group;
        }
        auto* view = qdx_cast<TqdxView>(object);
        if (!view || !inside) {
            if (view && view->ShowHint && links.hideHint) {
                links.hideHint();
            }
            continue;
        }
        if (auto* group = qdx_cast<TqdxGroupHeader>(view->Parent()); group && group->DrillDown) {
            drillGroup = group;
        }
        if (view->Cursor != 0) {
            cursor = view->Cursor;
        }
        if (!view->URL.isEmpty()) {
            if (links.setStatus) {
                links.setStatus(QString::fromLatin1(view->URL));
            }
            if (view->Cursor == 0) {
                cursor = crHandPoint;
            }
        }
        if (!view->Hint.isEmpty() && view->ShowHint && links.showsHints && links.showHint) {
            // "short|long": the short part is the tool tip, the long one goes to the status.
            const QString hint = QString::fromLatin1(view->Hint);
            const qsizetype bar = hint.indexOf(QLatin1Char('|'));
            links.showHint(bar < 0 ? hint : hint.mid(bar + 1), bar < 0 ? hint : hint.left(bar));
        }
        if (!click || drillGroup) {
            if (links.mouseOverObject) {
                links.mouseOverObject(*view);
            }
        } else {
            const QString url = QString::fromLatin1(view->URL);
            if (url.startsWith(QLatin1Char('@'))) {
                bool ok = false;
                const int target = url.mid(1).trimmed().toInt(&ok);
                if (!ok) {
                    throw std::invalid_argument("'" + url.mid(1).toStdString() +
                                                "' is not a valid integer value");
                }
                if (links.goToPage) {
                    links.goToPage(target);
                }
            } else if (url.startsWith(QLatin1Char('#'))) {
                if (const TqdxXMLItem* anchor = pages.FindAnchor(view->URL.mid(1))) {
                    bool okPage = false;
                    bool okTop = false;
                    const int anchorPage = anchor->Prop("page").toInt(&okPage);
                    const int top = anchor->Prop("top").toInt(&okTop);
                    if (links.goToAnchor) {
                        links.goToAnchor(anchorPage + 1, okTop ? top : 0);
                    }
                }
            } else if (!url.isEmpty() && IsOpenableLink(url) && links.openUrl) {
                links.openUrl(url);
            }
            bool modified = false;
            report.HandlePreviewClick(*view, button, shift, modified, doubleClick);
            if (modified) {
                pages.ReplacePage(index, *page);
                if (links.refresh) {
                    links.refresh();
                }
            }
        }
        break;
    }
    if (drillGroup) {
        cursor = crHandPoint;
        if (click && button == 1) {
            const QString name = QString::fromLatin1(drillGroup->DrillName);
            if (report.ExpandedDrillNames.contains(name)) {
                report.ExpandedDrillNames.removeAll(name);
            } else {
                report.ExpandedDrillNames.append(name);
            }
            if (links.rebuild) {
                links.rebuild();
            }
        }
    }
}

namespace {

// The body of one page's export: BeginPageOutput, the page's background, bands and objects (memos
// showing copy `copyNo`), EndPageOutput. The page is left placed at its margins. Throws
// ExportTerminated when the report is terminated, after the object that was being sent; the page
// is then not ended.
void exportPage(TqdxPreviewPages& pages, TqdxReportPage& page, int i, TqdxCustomExportFilter& filter,
                int copyNo) {
    TqdxReport* report = filter.Report;
    filter.BeginPageOutput(page, i);
    page.SetLeft(
        (page.MirrorMargins && i % 2 == 1 ? page.RightMargin : page.LeftMargin) *
        qd01cm);
    page.SetTop(page.TopMargin * qd01cm);

    auto exportObject = [&](TqdxComponent& object) {
        if (filter.DataOnly && !qdx_cast<TqdxDataBand>(object.Parent())) {
            return;
        }
        if (auto* memo = qdx_cast<TqdxCustomMemoView>(&object)) {
            if (memo->Highlight.Active) {
                memo->Font().Assign(memo->Highlight.Font);
            }
            memo->TotalPages = pages.Count();
            memo->CopyNo = copyNo;
            ExpandMemoPageMacros(*memo);
            if (memo->AutoWidth) {
                QImage scratch(1, 1, QImage::Format_RGB32);
                QPainter p(&scratch);
                DrawMemoView(p, *memo, 1, 1, 0, 0);
            }
        }
        filter.EmitObject(object);
        if (report && report->Terminated) {
            throw ExportTerminated{};
        }
    };

    {
        auto background = std::make_unique<TqdxPictureView>();
        background->SetName("_pagebackground");
        background->Color = page.Color();
        background->Frame.Assign(page.Background().Frame);
        background->Picture = page.Background().Picture;
        background->Stretched = true;
        background->KeepAspectRatio = false;
        background->SetBounds(
            page.Left(), page.Top(),
            page.Width() - (page.LeftMargin + page.RightMargin) * qd01cm,
            page.Height() - (page.TopMargin + page.BottomMargin) * qd01cm);
        exportObject(*background);
    }
    for (TqdxComponent* band : page.Objects()) {
        bool header = false;
        if (filter.SuppressRepeatedHeaders && isPageHeaderOrFooter(*band, header) &&
            (header ? i != 0 : i != pages.Count() - 1)) {
            continue;
        }
        exportObject(*band);
        for (TqdxComponent* child : band->Objects()) {
            exportObject(*child);
        }
    }
    filter.EndPageOutput(page, i);
}

} // namespace

void ExportPage(TqdxPreviewPages& pages, int index, TqdxCustomExportFilter& filter, int copyNo) {
    TqdxReportPage* page = pages.PageObject(index);
    if (!page) {
        return;
    }
    exportPage(pages, *page, index, filter, copyNo);
    page->SetLeft(0);
    page->SetTop(0);
}

bool Export(TqdxPreviewPages& pages, TqdxCustomExportFilter* filter, bool hasPreview) {
    pages.CopyNo = 0;
    if (!filter) {
        return false;
    }
    TqdxReport* report = filter->Report;
    filter->CreationTime = QDateTime::currentDateTime();
    if (filter->ShowDialog && !filter->ShowModal()) {
        return false;
    }
    if (filter->CurrentPage && filter->PageOrder.empty()) {
        filter->PageNumbers = hasPreview ? QString::number(pages.ViewedPage) : QStringLiteral("1");
    }
    if (report) {
        report->Terminated = false;
    }
    // The indices of the pages to export, in order.
    std::vector<int> order;
    if (!filter->PageOrder.empty()) {
        for (const int pageNumber : filter->PageOrder) {
            if (pageNumber >= 1 && pageNumber <= pages.Count()) {
                order.push_back(pageNumber - 1);
            }
        }
    } else {
        QString error;
        const std::optional<PageSelection> selection =
            PageSelection::parse(filter->PageNumbers, &error);
        if (!selection) {
            throw std::invalid_argument(error.toStdString());
        }
        for (const int pageNumber : selection->pages(pages.Count())) {
            order.push_back(pageNumber - 1);
        }
    }
    if (filter->OnBeginExport) {
        filter->OnBeginExport();
    }
    try {
        if (!filter->BeginOutput()) {
            return true;
        }
    } catch (const std::bad_alloc&) {
        throw; // for the caller to report: nothing has been written
    } catch (const std::exception& e) {
        // The file could not be begun (a folder that does not exist, a password the filter
        // cannot take): said through the report's error display, and nothing was written.
        if (report) {
            report->Errors = QStringList{QString::fromUtf8(e.what())};
            report->ShowErrors(report->ErrorsText());
        }
        return false;
    }
    std::unique_ptr<Progress> progress;
    if (filter->ShowProgress && report && report->UserInteraction) {
        ProgressInfo info;
        info.caption = QStringLiteral("Exportando página");
        info.maximum = qint64(order.size());
        progress = report->UserInteraction->beginProgress(info);
    }
    bool result = true;
    TqdxReportPage* current = nullptr;
    int currentIndex = -1;
    try {
        qint64 done = 0;
        for (const int i : order) {
            TqdxReportPage* page = pages.PageObject(i);
            if (!page) {
                continue;
            }
            if (progress) {
                progress->setValue(++done);
                if (progress->cancelled() && report) {
                    report->Terminated = true;
                }
            }
            current = page;
            currentIndex = i;
            exportPage(pages, *page, i, *filter, 1);
            current = nullptr;
            if (hasPreview) {
                page->SetLeft(0);
                page->SetTop(0);
            } else {
                pages.ClearCache();
            }
            QCoreApplication::processEvents();
        }
    } catch (const ExportTerminated&) {
        if (current) {
            filter->EndPageOutput(*current, currentIndex);
        }
    } catch (const std::bad_alloc&) {
        pages.CopyNo = 0;
        throw; // for the caller to report; the unfinished file is discarded with the filter
    } catch (const std::exception& e) {
        if (current) {
            filter->EndPageOutput(*current, currentIndex);
        }
        result = false;
        progress.reset();
        filter->EndOutput();
        if (report) {
            report->Errors = QStringList{QString::fromUtf8(e.what())};
            report->ShowErrors(report->ErrorsText());
        }
        pages.CopyNo = 0;
        return result;
    }
    progress.reset();
    filter->EndOutput();
    pages.CopyNo = 0;
    return result;
}

} // namespace zr::reportlib::render
