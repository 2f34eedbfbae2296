#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

namespace zr::reportlib::render {
namespace {

QByteArray pngBytes() {
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(QColor(0, 128, 255));
    for (int x = 0; x < 40; ++x) {
        image.setPixel(x, x / 2, qRgb(255, 200, 0));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// One page holding every kind of view, painted to a PNG kept with the test results.
TEST(Gallery, EveryViewKindOnOnePage) {
    TqdxReport report;
    TqdxPreviewPages& pages = report.PreviewPages();
    TqdxReportPage design;
    design.SetPaperWidth(120);
    design.SetPaperHeight(90);
    design.LeftMargin = design.TopMargin = design.RightMargin = design.BottomMargin = 5;
    auto* band = TqdxComponent::Create<TqdxMasterData>(&design);
    band->SetBounds(0, 0, 400, 300);

    std::vector<std::pair<const char*, TqdxView*>> views;
    auto* memo = TqdxComponent::Create<TqdxMemoView>(band);
    memo->SetBounds(10, 10, 180, 50);
    memo->SetText(u"Memo: texto com quebra de linha automática e <b>negrito</b>");
    memo->AllowHTMLTags = true;
    memo->Frame.Typ = 15;
    memo->Color = 0xE0FFFF;
    views.emplace_back("memo", memo);

    auto* picture = TqdxComponent::Create<TqdxPictureView>(band);
    picture->SetBounds(200, 10, 80, 50);
    picture->LoadPictureFromBytes(pngBytes());
    views.emplace_back("picture", picture);

    auto* line = TqdxComponent::Create<TqdxLineView>(band);
    line->SetBounds(300, 10, 100, 50);
    line->Diagonal = true;
    line->ArrowEnd = true;
    line->Frame.SetWidth(2);
    views.emplace_back("line", line);

    auto* shape = TqdxComponent::Create<TqdxShapeView>(band);
    shape->SetBounds(10, 80, 80, 60);
    shape->Shape = skEllipse;
    shape->Color = 0x00C000;
    views.emplace_back("shape", shape);

    auto* check = TqdxComponent::Create<TqdxCheckBoxView>(band);
    check->SetBounds(110, 80, 30, 30);
    check->Frame.Typ = 15;
    views.emplace_back("check box", check);

    auto* gradient = TqdxComponent::Create<TqdxGradientView>(band);
    gradient->SetBounds(160, 80, 100, 60);
    gradient->BeginColor = 0x0000FF;
    gradient->EndColor = 0xFF0000;
    views.emplace_back("gradient", gradient);

    auto* rich = TqdxComponent::Create<TqdxRichView>(band);
    rich->SetBounds(280, 80, 120, 60);
    rich->RichText = "{\\rtf1\\ansi{\\fonttbl\\f0 Arial;}{\\colortbl;\\red200\\green0\\blue0;}"
                     "\\f0\\fs20 Rich \\b negrito\\b0  e \\cf1 vermelho\\cf0\\par}";
    views.emplace_back("rich text", rich);

    auto* framed = TqdxComponent::Create<TqdxMemoView>(band);
    framed->SetBounds(10, 160, 150, 40);
    framed->SetText(u"Sombra e moldura dupla");
    framed->Frame.Typ = 15;
    framed->Frame.SetStyle(fsDouble);
    framed->Frame.DropShadow = true;
    views.emplace_back("framed memo", framed);

    pages.RegisterSourcePage(design);
    pages.BeginNewPage(&design);
    pages.AddObject(*band);

    const double scale = 1.5;
    const QSize size = pages.PageExtent(0) * scale;
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        PaintPage(pages, 0, p, scale, scale, 0, 0);
    }
    const QString folder = QStringLiteral(ZR_BIN_DIR "/../artifacts");
    QDir().mkpath(folder);
    EXPECT_TRUE(image.save(folder + QStringLiteral("/prepared_gallery.png")));

    // Every view left ink inside its rectangle.
    const double margin = 5 * qd01cm;
    for (const auto& [name, view] : views) {
        const QRect r(Round((view->AbsLeft() + margin) * scale),
                      Round((view->AbsTop() + margin) * scale), Round(view->Width() * scale),
                      Round(view->Height() * scale));
        int ink = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
            }
        }
        EXPECT_GT(ink, 20) << name;
    }
}

} // namespace
} // namespace zr::reportlib::render
