// render_bench: how long painting one prepared page takes, next to the platform's own text
// drawing of the same memos (QPainter::drawText with word wrap into the same rectangles, frames
// filled the same way) in the same run. See README.md.
//
// Usage: render_bench [--pages N] [--runs R]

#include "bench_common.h"

#include "qp3_generator.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace zr::reportlib;

namespace {

struct Timings {
    std::vector<double> first, again, zoomed, peer;
};

// The peer: every memo's background, frame and text with QPainter's own word wrap.
void paintPlain(TqdxReportPage& page, QPainter& p, double scale) {
    const double left = page.LeftMargin * qd01cm;
    const double top = page.TopMargin * qd01cm;
    for (TqdxComponent* object : page.AllObjects()) {
        auto* memo = qdx_cast<TqdxCustomMemoView>(object);
        if (!memo) {
            continue;
        }
        const QRectF r((memo->AbsLeft() + left) * scale, (memo->AbsTop() + top) * scale,
                       memo->Width() * scale, memo->Height() * scale);
        if (memo->Color != clTransparent) {
            p.fillRect(r, render::toQColor(memo->Color));
        }
        if (memo->Frame.Typ) {
            p.setPen(render::toQColor(memo->Frame.Color()));
            p.drawRect(r);
        }
        QFont font(QString::fromLatin1(memo->Font().Name));
        font.setPixelSize(std::max(1, render::Round(std::abs(memo->Font().Height) * scale)));
        p.setFont(font);
        p.setPen(render::toQColor(memo->Font().Color));
        p.drawText(r.adjusted(2 * scale, scale, -2 * scale, -scale), Qt::TextWordWrap,
                   memo->Text());
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int pageCount = 40;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--pages") && i + 1 < argc) {
            pageCount = std::max(2, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: render_bench [--pages N] [--runs R]\n");
            return 2;
        }
    }

    // The report goes through a file, as the viewer gets it.
    QByteArray bytes;
    {
        TqdxReport built;
        zr::tools::Qp3GeneratorOptions options;
        options.pages = pageCount;
        zr::tools::BuildPreparedReport(built, options);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        built.PreviewPages().SaveToStream(buffer);
    }

    Timings t;
    size_t objects = 0;
    size_t memos = 0;
    for (int run = 0; run < runs; ++run) {
        TqdxReport report;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        report.PreviewPages().LoadFromStream(buffer);
        TqdxPreviewPages& pages = report.PreviewPages();
        const QSize size = pages.PageExtent(0);
        QImage image(size * 1.5, QImage::Format_RGB32);
        for (int i = 0; i < pages.Count(); ++i) {
            image.fill(Qt::white);
            {
                QPainter p(&image);
                const auto start = zr::bench::Clock::now();
                render::PaintPage(pages, i, p, 1, 1, 0, 0);
                t.first.push_back(zr::bench::msSince(start));
            }
            image.fill(Qt::white);
            {
                QPainter p(&image);
                const auto start = zr::bench::Clock::now();
                render::PaintPage(pages, i, p, 1, 1, 0, 0);
                t.again.push_back(zr::bench::msSince(start));
            }
            image.fill(Qt::white);
            {
                QPainter p(&image);
                const auto start = zr::bench::Clock::now();
                render::PaintPage(pages, i, p, 1.5, 1.5, 0, 0);
                t.zoomed.push_back(zr::bench::msSince(start));
            }
            TqdxReportPage* page = pages.PageObject(i);
            image.fill(Qt::white);
            {
                QPainter p(&image);
                const auto start = zr::bench::Clock::now();
                paintPlain(*page, p, 1);
                t.peer.push_back(zr::bench::msSince(start));
            }
            if (run == 0) {
                for (TqdxComponent* c : page->AllObjects()) {
                    objects += qdx_cast<TqdxView>(c) != nullptr;
                    memos += qdx_cast<TqdxCustomMemoView>(c) != nullptr;
                }
            }
        }
    }
    const double perPage = double(objects) / pageCount;
    std::printf(
        "Prepared pages: %d, %.1f views a page (%.1f memos); %d runs; medians per page.\n\n",
        pageCount, perPage, double(memos) / pageCount, runs);
    const double peer = zr::bench::median(t.peer);
    std::printf("                                        ms/page   x QPainter::drawText\n");
    std::printf("  QPainter::drawText, memos only        %7.2f   1.00\n", peer);
    std::printf("  ours, first paint (page built)        %7.2f   %.2f\n",
                zr::bench::median(t.first), zr::bench::median(t.first) / peer);
    std::printf("  ours, same page again                 %7.2f   %.2f\n",
                zr::bench::median(t.again), zr::bench::median(t.again) / peer);
    std::printf("  ours, same page at 150%%               %7.2f   %.2f\n",
                zr::bench::median(t.zoomed), zr::bench::median(t.zoomed) / peer);
    std::printf("\nTarget: a typical page at scale 1 well under 20 ms: %s\n",
                zr::bench::median(t.first) < 20 ? "met" : "NOT met");
    return 0;
}
