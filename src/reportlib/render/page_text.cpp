#include "page_text.h"

#include "reportlib/render/page_services.h"
#include "reportlib/render/view_painter.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>

#include <algorithm>
#include <cmath>

namespace zr::reportlib::render {

namespace {

// A paint device that keeps only the text drawn on it: pieces drawn one after the other on
// the same baseline (the text engine draws a line cluster by cluster) are joined into one
// record, with a blank where the pen jumped further than a narrow space.
class TextRecorder final : public QPaintDevice {
public:
    TextRecorder() : m_engine(this) {}
    QPaintEngine* paintEngine() const override { return const_cast<Engine*>(&m_engine); }
    std::vector<TqdxTextRecord> records;

protected:
    int metric(PaintDeviceMetric metric) const override {
        return RecordingDeviceMetric(metric, QSize(10000, 10000));
    }

private:
    class Engine final : public QPaintEngine {
    public:
        explicit Engine(TextRecorder* owner)
            : QPaintEngine(QPaintEngine::AllFeatures), m_owner(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        Type type() const override { return QPaintEngine::User; }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {
            m_joinable = false;
        }
        void drawRects(const QRectF*, int) override { m_joinable = false; }
        void drawRects(const QRect*, int) override { m_joinable = false; }
        void drawPath(const QPainterPath&) override { m_joinable = false; }
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override { m_joinable = false; }
        void drawPolygon(const QPoint*, int, PolygonDrawMode) override { m_joinable = false; }
        void drawLines(const QLineF*, int) override { m_joinable = false; }
        void drawLines(const QLine*, int) override { m_joinable = false; }
        void drawEllipse(const QRectF&) override { m_joinable = false; }
        void drawImage(const QRectF&, const QImage&, const QRectF&,
                       Qt::ImageConversionFlags) override {
            m_joinable = false;
        }
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            const QString text = item.text();
            if (text.isEmpty()) {
                return;
            }
            const QTransform t = painter()->combinedTransform();
            const QFontMetricsF fm(item.font());
            const QPointF origin = t.map(p);
            const double sx = std::hypot(t.m11(), t.m12());
            const double sy = std::hypot(t.m21(), t.m22());
            const double advance = fm.horizontalAdvance(text) * sx;
            const QRectF box(origin.x(), origin.y() - fm.ascent() * sy, advance,
                             (fm.ascent() + fm.descent()) * sy);
            const bool straight = t.m12() == 0 && t.m21() == 0;
            std::vector<TqdxTextRecord>& out = m_owner->records;
            const double em = std::max(1.0, fm.height() * sy);
            if (m_joinable && straight && !out.empty() && std::abs(origin.y() - m_baseline) < 0.5 &&
                origin.x() >= m_end - em * 0.5 && origin.x() - m_end < em) {
                TqdxTextRecord& last = out.back();
                if (origin.x() - m_end > em * 0.2) {
                    last.Text += u' ';
                }
                last.Text += text;
                last.Bounds = last.Bounds.united(box.toAlignedRect());
            } else {
                out.push_back({text, box.toAlignedRect()});
            }
            m_joinable = straight;
            m_baseline = origin.y();
            m_end = origin.x() + advance;
        }

    private:
        TextRecorder* m_owner;
        bool m_joinable = false;
        double m_baseline = 0;
        double m_end = 0;
    };
    Engine m_engine;
};

} // namespace

std::vector<TqdxTextRecord> RecordPageText(TqdxPreviewPages& pages, int index) {
    TextRecorder recorder;
    {
        QPainter painter(&recorder);
        PaintPage(pages, index, painter, 1, 1, 0, 0);
    }
    return std::move(recorder.records);
}

QString PageText(TqdxPreviewPages& pages, int index) {
    QString text;
    for (const TqdxTextRecord& record : RecordPageText(pages, index)) {
        text += record.Text;
        text += u'\n';
    }
    return text;
}

} // namespace zr::reportlib::render
