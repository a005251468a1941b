#include "app/PlanImage.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Levels stop once a side would be shorter than this: smaller ones are never drawn from.
constexpr int MIN_LEVEL_SIDE = 2;
// From this magnification on, each plan pixel is shown as a sharp block.
constexpr double SHARP_MAGNIFICATION = 2.0;
// Rows of a plan in another format converted at a time to be halved.
constexpr int STRIP_ROWS = 64;

// The mean of four opaque pixels, each channel rounded to the nearest.
inline QRgb Mean4(QRgb a, QRgb b, QRgb c, QRgb d) {
  constexpr quint32 RED_BLUE = 0x00ff00ffU;
  constexpr quint32 GREEN = 0x0000ff00U;
  const quint32 rb =
      (((a & RED_BLUE) + (b & RED_BLUE) + (c & RED_BLUE) + (d & RED_BLUE) + 0x00020002U) >> 2) & RED_BLUE;
  const quint32 g = (((a & GREEN) + (b & GREEN) + (c & GREEN) + (d & GREEN) + 0x00000200U) >> 2) & GREEN;
  return 0xff000000U | rb | g;
}

// Halves rows nRows of an RGB32 source (starting at its row nFirst) into target from row
// nFirst / 2. nFirst is even; the source's last row, when odd, is paired with itself.
void HalveRows(const QImage &source, int nFirst, int nRows, QImage &target, int nSourceOffset) {
  const int nWidth = source.width();
  const int nHalfWidth = target.width();
  for (int y = nFirst; y < nFirst + nRows; y += 2) {
    const int nBelow = std::min(y + 1, nFirst + nRows - 1);
    const auto *pTop = reinterpret_cast<const QRgb *>(source.constScanLine(y - nSourceOffset));
    const auto *pBottom = reinterpret_cast<const QRgb *>(source.constScanLine(nBelow - nSourceOffset));
    auto *pOut = reinterpret_cast<QRgb *>(target.scanLine(y / 2));
    const int nPairs = nWidth / 2;
    for (int x = 0; x < nPairs; ++x) {
      pOut[x] = Mean4(pTop[2 * x], pTop[2 * x + 1], pBottom[2 * x], pBottom[2 * x + 1]);
    }
    if (nPairs < nHalfWidth) { // an odd last column, paired with itself
      pOut[nPairs] = Mean4(pTop[nWidth - 1], pTop[nWidth - 1], pBottom[nWidth - 1], pBottom[nWidth - 1]);
    }
  }
}

} // namespace

QImage HalveImage(const QImage &image) {
  if (image.isNull()) {
    return {};
  }
  QImage half((image.width() + 1) / 2, (image.height() + 1) / 2, QImage::Format_RGB32);
  if (half.isNull()) {
    return {}; // no memory for it
  }
  if (image.format() == QImage::Format_RGB32) {
    HalveRows(image, 0, image.height(), half, 0);
    return half;
  }
  // Another format: converted a strip at a time, so that no second copy of a large plan is made.
  for (int y = 0; y < image.height(); y += STRIP_ROWS) {
    const int nRows = std::min(STRIP_ROWS, image.height() - y);
    const QImage strip = image.copy(0, y, image.width(), nRows).convertToFormat(QImage::Format_RGB32);
    HalveRows(strip, y, nRows, half, y);
  }
  return half;
}

void CPlanImage::Build(const QImage &bitmap) {
  Clear();
  if (bitmap.isNull()) {
    return;
  }
  m_nBitmapKey = bitmap.cacheKey();
  m_bitmapSize = bitmap.size();
  const QImage *pPrevious = &bitmap;
  while (pPrevious->width() / 2 >= MIN_LEVEL_SIDE && pPrevious->height() / 2 >= MIN_LEVEL_SIDE) {
    QImage level = HalveImage(*pPrevious);
    if (level.isNull()) {
      break; // without memory for more levels, the plan is drawn from the smallest one made
    }
    m_levels.push_back(std::move(level));
    pPrevious = &m_levels.back();
  }
}

bool CPlanImage::IsBuiltFrom(const QImage &bitmap) const {
  return !bitmap.isNull() && bitmap.cacheKey() == m_nBitmapKey && bitmap.size() == m_bitmapSize;
}

void CPlanImage::Clear() {
  m_levels.clear();
  m_nBitmapKey = 0;
  m_bitmapSize = {};
}

int CPlanImage::LevelFor(double dSourceWidth, double dSourceHeight, double dTargetWidth, double dTargetHeight) const {
  if (dTargetWidth <= 0 || dTargetHeight <= 0) {
    return 0;
  }
  const double dReduction = std::min(dSourceWidth / dTargetWidth, dSourceHeight / dTargetHeight);
  if (dReduction < 2.0) {
    return 0;
  }
  const int nLevel = static_cast<int>(std::floor(std::log2(dReduction)));
  return std::clamp(nLevel, 0, LevelCount());
}

bool CPlanImage::IsReduced(const QPainter &painter, const QRectF &rcTarget, const QRect &rcSource) {
  const QRectF rcDevice = painter.deviceTransform().mapRect(rcTarget);
  return !rcSource.isEmpty() &&
         (rcSource.width() >= 2 * rcDevice.width() && rcSource.height() >= 2 * rcDevice.height());
}

void CPlanImage::Draw(QPainter &painter, const QRectF &rcTarget, const QImage &bitmap, const QRect &rcSource) const {
  if (bitmap.isNull() || rcSource.isEmpty() || rcTarget.isEmpty()) {
    return;
  }
  const QRectF rcDevice = painter.deviceTransform().mapRect(rcTarget);
  const double dScaleX = rcDevice.width() / rcSource.width();
  const double dScaleY = rcDevice.height() / rcSource.height();
  painter.save();
  if (dScaleX >= SHARP_MAGNIFICATION && dScaleY >= SHARP_MAGNIFICATION) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rcTarget, bitmap, QRectF(rcSource));
  } else {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const int nLevel =
        IsBuiltFrom(bitmap) ? LevelFor(rcSource.width(), rcSource.height(), rcDevice.width(), rcDevice.height()) : 0;
    const double dDivisor = std::ldexp(1.0, nLevel);
    const QRectF rcLevelSource(rcSource.x() / dDivisor, rcSource.y() / dDivisor, rcSource.width() / dDivisor,
                               rcSource.height() / dDivisor);
    painter.drawImage(rcTarget, nLevel == 0 ? bitmap : Level(nLevel), rcLevelSource);
  }
  painter.restore();
}
