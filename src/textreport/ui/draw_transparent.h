#pragma once

#include <QRgb>

class QImage;
class QPainter;

namespace zr::textreport::ui {

// Draws `bitmap` with its top-left corner at (x, y), leaving out every pixel of its transparent
// colour: the colour of its lower-left pixel. A null bitmap draws nothing.
void DesenharTransparente(QPainter& canvas, int x, int y, const QImage& bitmap);

// The bitmap as DesenharTransparente draws it: a copy in which the pixels of the transparent
// colour (`key`) have become fully transparent and all others opaque as they were.
QImage keyedOut(const QImage& bitmap, QRgb key);

} // namespace zr::textreport::ui
