#pragma once

// Picture views: the graphic painting they share with other views (page backgrounds), their
// natural size and the AutoSize rule. DrawPictureView itself is declared in view_painter.h.

#include "picture/graphic.h"

#include "reportlib/document/qdx_components.h"

#include <QPainter>
#include <QRect>
#include <QSize>

namespace zr::reportlib::render {

// Paints `graphic` into `rect` (device coordinates). Rasters go through an image of their own
// size filled with `transparentColor` when printing, when high quality is asked, or when a
// graphic other than a bitmap is transparent; such images and transparent bitmaps are scaled
// smoothly, and with `transparent` the pixels of exactly `transparentColor` are left out.
// Every other case, and every metafile, is stretch-drawn as it is.
void PaintGraphic(QPainter& canvas, const QRect& rect, const Graphic& graphic, int transparentColor,
                  bool transparent, bool hightQuality, bool isPrinting);

// The size in pixels of a picture's graphic; empty for no picture or one that cannot be read.
QSize PictureNaturalSize(const TqdxPicture& picture);

// With AutoSize set and a readable picture, makes the view's Width and Height the graphic's
// size in pixels (one pixel per report unit). Returns whether they changed.
bool ApplyPictureAutoSize(TqdxPictureView& view);

} // namespace zr::reportlib::render
