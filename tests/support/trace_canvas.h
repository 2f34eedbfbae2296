#pragma once

#include <QPaintDevice>
#include <QStringList>

#include <memory>

namespace zr::test {

// A paint device that draws nothing and writes down each drawing call instead, one line per
// call, in device units (the painter's transform applied), so that render tests can compare
// what was drawn as text:
//
//   line 20,23 24,23 #000000            from the first point to the second, then the pen
//   rect 0,0 640x1056 none #ffffff      x,y wxh, pen, brush (fillRect arrives here, pen none)
//   ellipse 10,20 10x10 #c0c0c0 #f0f0f0
//   polygon 1,2 3,4 5,6 #000000 none
//   path 0,0 10x10 #000000 none         the path's bounding rectangle
//   text 32,42.83 w=40 sy=1 #0000ff px=13 bold italic "TOTAL"
//   image 0,0 10x10
//
// A pen is its colour, with ":dot", ":dash" (and so on) for other styles; "none" for no pen or
// brush. For text, x,y is the start of the baseline, w the advance of the whole text, sy the
// vertical scale, px the font's pixel size before scaling. Numbers keep at most two decimals.
// A two-point polyline (how a recorded picture replays a line) is written as a line.
class TraceCanvas : public QPaintDevice {
public:
    explicit TraceCanvas(int width = 4000, int height = 4000, int dpi = 96);
    ~TraceCanvas() override;
    TraceCanvas(const TraceCanvas&) = delete;
    TraceCanvas& operator=(const TraceCanvas&) = delete;

    QPaintEngine* paintEngine() const override;

    // Every call so far, in order.
    const QStringList& calls() const;
    void clear();

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
    int m_width;
    int m_height;
    int m_dpi;
};

} // namespace zr::test
