#include "render/CoverageLegend.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

struct _legendtext {
  std::vector<_legendband> bands;
  std::vector<QString> figures;
  _legendlayout layout;
};

_legendtext LegendText(const QFont &font, const QString &strTitle, const _coveragesettings &settings,
                       const _coveragefigures &figures) {
  const QFontMetricsF metrics(font);
  _legendtext text;
  text.bands = CoverageLegendBands(settings);
  double dLabelWidth = 0;
  for (const auto &band : text.bands) {
    dLabelWidth = std::max(dLabelWidth, metrics.horizontalAdvance(QString::fromStdString(band.strLabel)));
  }
  double dTextWidth = metrics.horizontalAdvance(strTitle);
  for (const auto &line : CoverageFigureLines(figures, settings)) {
    text.figures.push_back(QString::fromStdString(line));
    dTextWidth = std::max(dTextWidth, metrics.horizontalAdvance(text.figures.back()));
  }
  text.layout = CoverageLegendLayout(text.bands.size(), text.figures.size(), std::ceil(metrics.height()),
                                     std::ceil(dLabelWidth), std::ceil(dTextWidth));
  return text;
}

} // namespace

QSizeF CoverageLegendSize(const QFont &font, const QString &strTitle, const _coveragesettings &settings,
                          const _coveragefigures &figures) {
  const _legendlayout layout = LegendText(font, strTitle, settings, figures).layout;
  return {layout.dWidth, layout.dHeight};
}

void PaintCoverageLegend(QPainter &painter, const QPointF &topLeft, const QFont &font, const QString &strTitle,
                         const _coveragesettings &settings, const _coveragefigures &figures) {
  const _legendtext text = LegendText(font, strTitle, settings, figures);
  const _legendlayout &l = text.layout;
  const double dAscent = QFontMetricsF(font).ascent();
  painter.save();
  painter.translate(topLeft);
  painter.setFont(font);
  painter.setPen(QColor(90, 90, 90));
  painter.setBrush(QColor(255, 255, 255, 235));
  painter.drawRect(QRectF(0.5, 0.5, l.dWidth - 1, l.dHeight - 1));
  painter.setPen(Qt::black);
  painter.drawText(QPointF(l.dTextX, l.dTitleY + dAscent), strTitle);
  for (size_t i = 0; i < text.bands.size(); ++i) {
    const _rgb &c = text.bands[i].colour;
    const double y = l.bandY[i];
    // The swatch sits a pixel below the top of its row: the swatches of neighbouring rows stand
    // apart.
    painter.fillRect(QRectF(l.dTextX, y + 1, l.dSwatchWidth, l.dSwatchHeight), QColor(c.r, c.g, c.b));
    painter.drawText(QPointF(l.dLabelX, y + dAscent), QString::fromStdString(text.bands[i].strLabel));
  }
  for (size_t i = 0; i < text.figures.size(); ++i) {
    painter.drawText(QPointF(l.dTextX, l.figureY[i] + dAscent), text.figures[i]);
  }
  painter.restore();
}
