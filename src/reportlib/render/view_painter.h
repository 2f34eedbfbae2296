#pragma once

// What every view shares when it is drawn: the device rectangle for a scale and offset, the
// background (fill colour and hatch) and the frame (four styled lines and a drop shadow). The
// canvas is a QPainter on a screen image, a printer or a recording picture; report units are
// pixels at 96 per inch, device coordinates are Round(value * scale + offset), halves to even.

#include "reportlib/document/qdx_components.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

namespace zr::reportlib::render {

enum class CanvasKind { Screen, Printer, Metafile };

// Printer for a printer paint device, Metafile for a QPicture, Screen for anything else.
CanvasKind canvasKind(const QPainter& canvas);
// Horizontal and vertical dots per inch of the canvas's device (96 when it reports none).
int canvasDpiX(const QPainter& canvas);
int canvasDpiY(const QPainter& canvas);

// The metrics of a device of `pixels` at 96 dots per inch and 32 bits a pixel, for the paint
// devices that keep what is drawn instead of pixels (a page's text, a PDF's content); 0 for
// the metrics such a device has none of.
int RecordingDeviceMetric(QPaintDevice::PaintDeviceMetric metric, QSize pixels);

// Rounds to the nearest integer, halves to even; non-finite or huge values give 0.
int Round(double v);

// The 1-pixel pen style of a frame style (dashes and dots; solid for the others).
Qt::PenStyle FramePenStyle(int frameStyle);

// A colour value 0x00BBGGRR (or a system colour 0x800000nn) as a QColor; clTransparent gives
// an invalid QColor.
QColor toQColor(int color);

// The device rectangle of a view for one Draw call. X1 and Y1 exclude the drop shadow.
struct ViewArea {
    double ScaleX = 1, ScaleY = 1, OffsetX = 0, OffsetY = 0;
    int X = 0, Y = 0, X1 = 0, Y1 = 0, DX = 0, DY = 0;
    int FrameWidth = 0;
};

ViewArea SetDrawingArea(const TqdxView& view, double scaleX, double scaleY, double offsetX,
                        double offsetY);
// Fill colour, then the hatch in the frame colour.
void PaintBackground(QPainter& canvas, const TqdxView& view, const ViewArea& area);
// A line of w pixels as w parallel 1-pixel strokes in the painter's current pen colour.
void DrawThickLine(QPainter& canvas, int x1, int y1, int x2, int y2, int w);
// A 1-pixel segment from (x1, y1) to (x2, y2), the end point excluded, in `color`.
void DrawPixelLine(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& color);
// Shadow, then the four sides.
void DrawFrame(QPainter& canvas, const TqdxView& view, const ViewArea& area);

// Draws any view by its class: the view base draws background and frame; each view kind adds
// its content between them.
void DrawView(QPainter& canvas, TqdxView& view, double scaleX, double scaleY, double offsetX,
              double offsetY);

// The drawing of each view kind (one per file of this folder).
void DrawMemoView(QPainter& canvas, TqdxCustomMemoView& view, double scaleX, double scaleY,
                  double offsetX, double offsetY);
void DrawPictureView(QPainter& canvas, TqdxPictureView& view, double scaleX, double scaleY,
                     double offsetX, double offsetY);
void DrawLineView(QPainter& canvas, TqdxCustomLineView& view, double scaleX, double scaleY,
                  double offsetX, double offsetY);
void DrawShapeView(QPainter& canvas, TqdxShapeView& view, double scaleX, double scaleY,
                   double offsetX, double offsetY);
void DrawCheckBoxView(QPainter& canvas, TqdxCheckBoxView& view, double scaleX, double scaleY,
                      double offsetX, double offsetY);

// What a check box shows in its state, by its check and uncheck styles: nothing, the ballot
// cross or the check mark (glyphs), a cross of lines corner to corner, a plus or a minus.
enum class CheckBoxMark { None, CrossGlyph, CheckGlyph, LineCross, Plus, Minus };
CheckBoxMark CheckBoxMarkOf(const TqdxCheckBoxView& view);
// The strokes of the cross or check glyph in a box at (`x`, `y`) `height` high and `width`
// wide: a character cell as high as the box and 0.8 of that wide, centred across; they are
// drawn with a round pen of 0.12 of the height, clipped to the box.
QPainterPath CheckBoxGlyph(CheckBoxMark mark, double x, double y, double width, double height);
void DrawGradientView(QPainter& canvas, TqdxGradientView& view, double scaleX, double scaleY,
                      double offsetX, double offsetY);
void DrawRichView(QPainter& canvas, TqdxRichView& view, double scaleX, double scaleY,
                  double offsetX, double offsetY);

} // namespace zr::reportlib::render
