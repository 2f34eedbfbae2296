#pragma once

// Our own reader of icon files (.ico, and cursors of the same layout): the directory of
// entries, of which the largest is read (the deepest colour among equals; the others in turn
// when it cannot be read). Entries hold either a bitmap with its transparency mask or a PNG
// file. Returns a null image when no entry can be read.

#include <QByteArrayView>
#include <QImage>

namespace zr::reportlib::render {

QImage ReadIcon(QByteArrayView bytes);

} // namespace zr::reportlib::render
