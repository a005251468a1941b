#include "render/CoveragePicture.h"

#include "render/CoverageImage.h"
#include "render/CoverageLegend.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

QFont CoverageLegendFont(const QSize &plan) {
  QFont font;
  font.setPixelSize(std::clamp(static_cast<int>(std::lround(std::min(plan.width(), plan.height()) / 60.0)), 12, 36));
  return font;
}

QImage CoveragePicture(const QImage &plan, const CCoverageGrid &grid, const _coveragesettings &settings,
                       const QString &strTitle, const _coveragefigures &figures) {
  const QFont font = CoverageLegendFont(plan.size());
  const QSizeF legend = CoverageLegendSize(font, strTitle, settings, figures);
  const double dMargin = std::ceil(font.pixelSize() / 2.0);
  const int nWidth = std::max(plan.width(), static_cast<int>(std::ceil(legend.width() + 2 * dMargin)));
  const int nHeight = std::max(plan.height(), static_cast<int>(std::ceil(legend.height() + 2 * dMargin)));
  QImage picture(nWidth, nHeight, QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.drawImage(QPoint(0, 0), plan);
  PaintCoverageCells(painter, CoverageCellImage(grid, settings), grid, plan.size());
  painter.setRenderHint(QPainter::TextAntialiasing);
  PaintCoverageLegend(painter, QPointF(nWidth - dMargin - legend.width(), dMargin), font, strTitle, settings, figures);
  painter.end();
  return picture;
}
