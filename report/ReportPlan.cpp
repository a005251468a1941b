#include "report/ReportPlan.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

const char *const REPORT_SEGMENT_KEY =
    "Lines: the walked segments from a dot at their start, numbered at their middle; magenta: flagged by the "
    "checks; grey and dashed: replaced or excluded, not counted.";

namespace {

// The plan's picture in the PDF has at most this many pixels per inch of paper.
constexpr double REPORT_PLAN_DPI = 200;
constexpr int REPORT_NUMBER_PX = 9;

const QColor SEGMENT_COLOUR(20, 20, 20);
const QColor FLAGGED_COLOUR(190, 0, 120);
const QColor LEFT_OUT_COLOUR(120, 120, 120);

QColor ColourOf(const _segmentrow &row) {
  return !row.bCounts ? LEFT_OUT_COLOUR : row.quality.Passed() ? SEGMENT_COLOUR : FLAGGED_COLOUR;
}

// Draws the segment's number in a small white box at pt unless it would hide a number drawn
// before.
void DrawNumber(QPainter &painter, const QPointF &pt, const QString &strNumber, std::vector<QRectF> &taken) {
  const QFont font = ReportFont(REPORT_NUMBER_PX);
  const QFontMetricsF metrics(font);
  const double dWidth = metrics.horizontalAdvance(strNumber) + 4;
  const double dHeight = metrics.height();
  const QRectF box(pt.x() - dWidth / 2, pt.y() - dHeight / 2, dWidth, dHeight);
  if (std::any_of(taken.begin(), taken.end(), [&box](const QRectF &other) { return other.intersects(box); })) {
    return;
  }
  taken.push_back(box);
  painter.setFont(font);
  painter.fillRect(box, QColor(255, 255, 255, 220));
  painter.drawText(box, Qt::AlignCenter, strNumber);
}

} // namespace

QPointF _planframe::Map(double x, double y) const {
  return {target.left() + (x + 0.5) * dScale, target.top() + (y + 0.5) * dScale};
}

_planframe FitPlan(const QRectF &room, const QSize &plan) {
  _planframe frame;
  if (plan.isEmpty()) {
    frame.target = QRectF(room.topLeft(), QSizeF(0, 0));
    return frame;
  }
  frame.dScale = std::min(room.width() / plan.width(), room.height() / plan.height());
  const QSizeF size(plan.width() * frame.dScale, plan.height() * frame.dScale);
  frame.target = QRectF(QPointF(room.left() + (room.width() - size.width()) / 2, room.top()), size);
  return frame;
}

QPageLayout::Orientation PlanOrientation(ReportPaper paper, const QSize &plan, double dReserve) {
  const auto Scale = [&](QPageLayout::Orientation orientation) {
    const QRectF body = ReportBody(paper, orientation);
    return FitPlan(body.adjusted(0, 0, 0, -dReserve), plan).dScale;
  };
  return Scale(QPageLayout::Landscape) > Scale(QPageLayout::Portrait) ? QPageLayout::Landscape : QPageLayout::Portrait;
}

void DrawPlanPicture(QPainter &painter, const _planframe &frame, const QImage &plan) {
  const double dMostPixels = frame.target.width() * REPORT_PLAN_DPI / REPORT_DPI;
  const QImage picture = plan.width() > dMostPixels * 1.2
                             ? plan.scaledToWidth(static_cast<int>(std::lround(dMostPixels)), Qt::SmoothTransformation)
                             : plan;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawImage(frame.target, picture);
  painter.restore();
}

void DrawSegments(QPainter &painter, const _planframe &frame, const _segmenttable &table) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (const auto &row : table.rows) {
    const _segmentheader &h = row.header;
    QPen pen(ColourOf(row), 1.2);
    pen.setStyle(row.bCounts ? Qt::SolidLine : Qt::DashLine);
    painter.setPen(pen);
    const QPointF start = frame.Map(h.nStartX, h.nStartY);
    painter.drawLine(start, frame.Map(h.nStopX, h.nStopY));
    painter.setBrush(ColourOf(row));
    painter.drawEllipse(start, 1.8, 1.8);
  }
  std::vector<QRectF> taken;
  for (const auto &row : table.rows) {
    const _segmentheader &h = row.header;
    painter.setPen(ColourOf(row));
    DrawNumber(painter, frame.Map((h.nStartX + h.nStopX) / 2.0, (h.nStartY + h.nStopY) / 2.0),
               QString::number(row.quality.facts.nSegment), taken);
  }
  painter.restore();
}
