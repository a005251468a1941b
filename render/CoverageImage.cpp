#include "render/CoverageImage.h"

#include "coverage/ColourScale.h"

#include <QPainter>

#include <cmath>

QImage CoverageCellImage(const CCoverageGrid &grid, const _coveragesettings &settings) {
  QImage image(grid.Columns(), grid.Rows(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  UpdateCoverageCells(image, grid, settings, {0, 0, grid.Columns(), grid.Rows()});
  return image;
}

void UpdateCoverageCells(QImage &image, const CCoverageGrid &grid, const _coveragesettings &settings,
                         const _cellrect &rect) {
  const int nBands = CoverageBandCount(settings);
  for (int r = rect.nTop; r < rect.nBottom; ++r) {
    auto *pLine = reinterpret_cast<QRgb *>(image.scanLine(r));
    for (int c = rect.nLeft; c < rect.nRight; ++c) {
      if (!grid.HasValue(c, r)) {
        pLine[c] = qRgba(0, 0, 0, 0);
        continue;
      }
      const _rgb colour = CoverageBandColour(CoverageBandOf(grid.Value(c, r), settings), nBands);
      const int nAlpha = static_cast<int>(std::lround(255 * CoverageCellAlpha(grid.Distance(c, r), settings)));
      pLine[c] = qPremultiply(qRgba(colour.r, colour.g, colour.b, nAlpha));
    }
  }
}

void PaintCoverageCells(QPainter &painter, const QImage &cells, const CCoverageGrid &grid, const QSize &plan) {
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setClipRect(QRectF(0, 0, plan.width(), plan.height()), Qt::IntersectClip);
  painter.drawImage(QRectF(0, 0, grid.Columns() * grid.CellWidth(), grid.Rows() * grid.CellHeight()), cells);
  painter.restore();
}
