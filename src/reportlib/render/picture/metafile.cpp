#include "metafile.h"

#include "byte_reader_p.h"
#include "image_limits.h"
#include "metafile_player_p.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace zr::reportlib::render {

namespace {

using picture_detail::ByteReader;

constexpr quint32 kPlaceableKey = 0x9AC6CDD7u;
constexpr quint32 kEmfSignature = 0x464D4520u;
constexpr int kMaxObjects = 65536;

// A natural size in pixels from a size in inches' fractions, bounded to what a raster may be.
QSize boundedSize(double width, double height) {
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height)) {
        return {};
    }
    const double largest = std::max(width, height);
    if (largest > double(kMaxImageSide)) {
        width = width * double(kMaxImageSide) / largest;
        height = height * double(kMaxImageSide) / largest;
    }
    return QSize(std::max(1, int(std::lround(width))), std::max(1, int(std::lround(height))));
}

bool finiteRect(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

} // namespace

std::optional<Metafile> Metafile::FromBytes(const QByteArray& bytes) {
    const ByteReader r(bytes);
    Metafile m;
    m.m_data = bytes;
    if (r.has(0, 22) && r.u32(0) == kPlaceableKey) {
        m.m_format = Format::Wmf;
        const double left = r.i16(6), top = r.i16(8), right = r.i16(10), bottom = r.i16(12);
        const int inch = r.u16(14) != 0 ? r.u16(14) : 1440;
        m.m_frame = QRectF(QPointF(std::min(left, right), std::min(top, bottom)),
                           QPointF(std::max(left, right), std::max(top, bottom)));
        m.m_unitsPerInchX = m.m_unitsPerInchY = inch;
        m.m_size = boundedSize(m.m_frame.width() * 96 / inch, m.m_frame.height() * 96 / inch);
    } else if (r.has(0, 88) && r.u32(0) == 1 && r.u32(40) == kEmfSignature) {
        m.m_format = Format::Emf;
        // Pixels per millimetre of the device the picture was recorded for; the micrometre
        // size, where present, is the precise one.
        double pxPerMmX = 96 / 25.4, pxPerMmY = 96 / 25.4;
        const double devX = r.i32(72), devY = r.i32(76);
        const double mmX = r.i32(80), mmY = r.i32(84);
        const quint32 headerSize = r.u32(4);
        if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) {
            pxPerMmX = devX / mmX;
            pxPerMmY = devY / mmY;
            if (headerSize >= 108 && r.i32(100) > 0 && r.i32(104) > 0) {
                pxPerMmX = devX / (r.i32(100) / 1000.0);
                pxPerMmY = devY / (r.i32(104) / 1000.0);
            }
        }
        const double fl = r.i32(24), ft = r.i32(28), fr = r.i32(32), fb = r.i32(36);
        QRectF frame(QPointF(fl * pxPerMmX / 100, ft * pxPerMmY / 100),
                     QPointF(fr * pxPerMmX / 100, fb * pxPerMmY / 100));
        QSize size = boundedSize((fr - fl) * 96 / 2540, (fb - ft) * 96 / 2540);
        if (!(frame.width() > 0) || !(frame.height() > 0)) {
            // No frame: the bounds, inclusive device pixels, stand in for it.
            const double bl = r.i32(8), bt = r.i32(12), br = r.i32(16), bb = r.i32(20);
            frame = QRectF(QPointF(bl, bt), QPointF(br + 1, bb + 1));
            size = boundedSize(frame.width() * 96 / (pxPerMmX * 25.4),
                               frame.height() * 96 / (pxPerMmY * 25.4));
        }
        m.m_frame = frame;
        m.m_unitsPerInchX = pxPerMmX * 25.4;
        m.m_unitsPerInchY = pxPerMmY * 25.4;
        m.m_size = size;
    } else {
        return std::nullopt;
    }
    if (!(m.m_frame.width() > 0) || !(m.m_frame.height() > 0) || !finiteRect(m.m_frame) ||
        m.m_size.isEmpty()) {
        return std::nullopt;
    }
    return m;
}

void Metafile::Play(QPainter& painter, const QRectF& target) const {
    if (!finiteRect(target) || target.width() <= 0 || target.height() <= 0) {
        return;
    }
    using namespace picture_detail;
    const ByteReader r(m_data);
    PlayerSetup setup;
    setup.target = target;
    setup.devicePerInchX = m_unitsPerInchX;
    setup.devicePerInchY = m_unitsPerInchY;
    // Device space to target: the frame onto the target rectangle.
    const double sx = target.width() / m_frame.width(), sy = target.height() / m_frame.height();
    if (m_format == Format::Wmf) {
        // The placeable header's box is in the metafile's logical units. Playback starts as if
        // the window were that box and the viewport the picture: a metafile that sets its own
        // window then fills the picture with it.
        setup.deviceToTarget = QTransform(sx, 0, 0, sy, target.x(), target.y());
        setup.initial.mapMode = gdi::MM_ANISOTROPIC;
        setup.initial.windowOrg = m_frame.topLeft();
        setup.initial.windowExt = setup.initial.viewportExt =
            QPointF(m_frame.width(), m_frame.height());
        const int headerWords = std::max<int>(9, r.u16(24));
        setup.objectLimit = std::clamp<int>(r.u16(22 + 10), 256, kMaxObjects);
        MetafilePlayer player(painter, setup);
        PlayWmfRecords(player, m_data, 22 + 2 * qint64(headerWords));
    } else {
        setup.deviceToTarget =
            QTransform(sx, 0, 0, sy, target.x() - m_frame.x() * sx, target.y() - m_frame.y() * sy);
        setup.objectLimit = std::clamp<int>(r.u16(56), 256, kMaxObjects);
        MetafilePlayer player(painter, setup);
        PlayEmfRecords(player, m_data);
    }
}

} // namespace zr::reportlib::render
