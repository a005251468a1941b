#include "report/ReportPages.h"
#include "report/ReportPlan.h"
#include "report/ReportSummary.h"
#include "report/ReportText.h"

#include "render/CoverageImage.h"
#include "render/CoverageLegend.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Room kept under the plan for its caption, and above it for the heading.
constexpr double REPORT_CAPTION_ROOM = 5.5 * REPORT_TEXT_PX * 1.25;
constexpr double REPORT_HEADING_ROOM = REPORT_HEADING_PX * 2.0;
constexpr int REPORT_LEGEND_PX = 10;

QString Text(const std::string &text) { return QString::fromStdString(text); }

// The heading at the top of the body and the room under it for the plan, its caption below.
_planframe FramePage(QPainter &painter, const QRectF &body, const QSize &plan, const QString &strHeading) {
  painter.setPen(Qt::black);
  DrawParagraph(painter, 0, 0, body.width(), ReportFont(REPORT_HEADING_PX, true), strHeading);
  return FitPlan(body.adjusted(0, REPORT_HEADING_ROOM, 0, -REPORT_CAPTION_ROOM), plan);
}

// The lines under the plan, from just below it.
void DrawCaption(QPainter &painter, const _planframe &frame, double dWidth, const std::vector<std::string> &lines) {
  double y = frame.target.bottom() + REPORT_TEXT_PX * 0.75;
  painter.setPen(Qt::black);
  for (const auto &line : lines) {
    y += DrawParagraph(painter, 0, y, dWidth, ReportFont(REPORT_TEXT_PX), Text(line)) + 2;
  }
}

// The coverage cells over the plan, in plan pixels.
void DrawCells(QPainter &painter, const _planframe &frame, const _reportdata &data, uint16_t nChannel) {
  const CCoverageGrid &grid = data.pCoverage->Grid(nChannel);
  painter.save();
  painter.translate(frame.target.topLeft());
  painter.scale(frame.dScale, frame.dScale);
  PaintCoverageCells(painter, CoverageCellImage(grid, data.request.coverage), grid,
                     QSize(data.plan.nWidth, data.plan.nHeight));
  painter.restore();
}

QString ChannelTitle(const _reportchannel &channel) {
  return Text(CoverageChannelName(channel.nChannel, channel.nFrequency, true));
}

// A rectangle of cells as page pixels, clipped to the plan.
QRectF PageRect(const _planframe &frame, const CCoverageGrid &grid, const _cellrect &cells, const QSize &plan) {
  const double x0 = std::min(cells.nLeft * grid.CellWidth(), static_cast<double>(plan.width()));
  const double y0 = std::min(cells.nTop * grid.CellHeight(), static_cast<double>(plan.height()));
  const double x1 = std::min(cells.nRight * grid.CellWidth(), static_cast<double>(plan.width()));
  const double y1 = std::min(cells.nBottom * grid.CellHeight(), static_cast<double>(plan.height()));
  return {frame.target.left() + x0 * frame.dScale, frame.target.top() + y0 * frame.dScale, (x1 - x0) * frame.dScale,
          (y1 - y0) * frame.dScale};
}

void DrawRectangles(QPainter &painter, const _planframe &frame, const _reportdata &data,
                    const _reportchannel &channel) {
  const CCoverageGrid &grid = data.pCoverage->Grid(channel.nChannel);
  const QSize plan(data.plan.nWidth, data.plan.nHeight);
  const QFont font = ReportFont(REPORT_SMALL_PX, true);
  painter.setFont(font);
  for (size_t i = 0; i < channel.grid->rectangles.size(); ++i) {
    const _gridrectangle &rectangle = channel.grid->rectangles[i];
    const QRectF rect = PageRect(frame, grid, rectangle.cells, plan);
    const QColor colour = rectangle.bPassed ? QColor(0, 140, 60) : QColor(210, 0, 0);
    painter.fillRect(rect, QColor(colour.red(), colour.green(), colour.blue(), 45));
    painter.setPen(QPen(colour, 1.2));
    painter.drawRect(rect);
    const QString strShare =
        rectangle.nWithLevel == 0 ? QStringLiteral("no level") : Text(ReportNumber(100 * rectangle.Share(), 1) + " %");
    painter.drawText(rect, Qt::AlignCenter, QString::number(i + 1) + QLatin1Char('\n') + strShare);
  }
}

// "20 rectangles, 5 across and 4 down, each about 11.2 x 9.5 m, over the walked extent of 56.0 x
// 38.0 m"; and the rectangles that failed.
std::vector<std::string> GridLines(const _reportdata &data, const _reportchannel &channel) {
  const _gridtest &grid = *channel.grid;
  std::vector<std::string> lines{GridResultLine(channel)};
  if (!grid.bWalked) {
    return lines;
  }
  const double dCell = data.request.coverage.dCellMetres;
  const double dWidth = (grid.extent.nRight - grid.extent.nLeft) * dCell;
  const double dHeight = (grid.extent.nBottom - grid.extent.nTop) * dCell;
  lines.push_back(std::to_string(grid.rectangles.size()) + " rectangles, " + std::to_string(grid.shape.nColumns) +
                  " across and " + std::to_string(grid.shape.nRows) + " down, each about " +
                  ReportNumber(dWidth / grid.shape.nColumns, 1) + " x " + ReportNumber(dHeight / grid.shape.nRows, 1) +
                  " m, over the walked extent of " + ReportNumber(dWidth, 1) + " x " + ReportNumber(dHeight, 1) +
                  " m (the cells with a level). Each shows its number and the share of its cells with a level that "
                  "reach " +
                  ReportNumber(data.request.coverage.dThreshold, 0) + "; green: passes, red: fails.");
  return lines;
}

} // namespace

_reportpage CoveragePage(const _reportdata &data, const _reportchannel &channel) {
  const QSize plan(data.plan.nWidth, data.plan.nHeight);
  _reportpage page;
  page.orientation = PlanOrientation(data.request.paper, plan, REPORT_HEADING_ROOM + REPORT_CAPTION_ROOM);
  page.pfnPaint = [&data, &channel, plan](QPainter &painter, const QRectF &body) {
    const QString strTitle = ChannelTitle(channel);
    const _planframe frame = FramePage(painter, body, plan, strTitle + QStringLiteral(": coverage"));
    DrawPlanPicture(painter, frame, data.plan.picture);
    DrawCells(painter, frame, data, channel.nChannel);
    DrawSegments(painter, frame, data.table);
    const QFont font = ReportFont(REPORT_LEGEND_PX);
    const QSizeF legend = CoverageLegendSize(font, strTitle, data.request.coverage, channel.figures);
    const QPointF corner(frame.target.right() - legend.width() - 6, frame.target.top() + 6);
    PaintCoverageLegend(painter, corner, font, strTitle, data.request.coverage, channel.figures);
    std::vector<std::string> lines{CoverageFiguresLine(channel.nChannel, channel.nFrequency, channel.figures,
                                                       data.request.coverage, channel.nLevels),
                                   REPORT_SEGMENT_KEY};
    if (!data.leftOut.empty()) {
      lines.push_back("Segments " + ReportRanges(data.leftOut) + " (replaced or excluded) are not in the coverage.");
    }
    DrawCaption(painter, frame, body.width(), lines);
  };
  return page;
}

_reportpage GridPage(const _reportdata &data, const _reportchannel &channel) {
  const QSize plan(data.plan.nWidth, data.plan.nHeight);
  _reportpage page;
  page.orientation = PlanOrientation(data.request.paper, plan, REPORT_HEADING_ROOM + REPORT_CAPTION_ROOM);
  page.pfnPaint = [&data, &channel, plan](QPainter &painter, const QRectF &body) {
    const _planframe frame = FramePage(painter, body, plan, ChannelTitle(channel) + QStringLiteral(": grid test"));
    DrawPlanPicture(painter, frame, data.plan.picture);
    painter.fillRect(frame.target, QColor(255, 255, 255, 110)); // the plan paler under the rectangles
    painter.setOpacity(0.5);
    DrawCells(painter, frame, data, channel.nChannel);
    painter.setOpacity(1);
    if (channel.grid->bWalked) {
      DrawRectangles(painter, frame, data, channel);
    }
    DrawCaption(painter, frame, body.width(), GridLines(data, channel));
  };
  return page;
}
