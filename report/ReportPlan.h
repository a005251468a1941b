#pragma once

#include "quality/SegmentTable.h"
#include "report/ReportCanvas.h"

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

// The plan on a page of the report: fitted into the room left for it without distortion, and the
// walked segments drawn over it.

// Where the plan lies on the page: its picture's rectangle and page pixels per plan pixel.
struct _planframe {
  QRectF target;
  double dScale = 1;

  // The page point of plan pixel (x, y)'s middle.
  QPointF Map(double x, double y) const;
};

// The plan as large as room allows with its proportions kept, at the top of room and in its
// middle across.
_planframe FitPlan(const QRectF &room, const QSize &plan);
// The orientation whose page shows the plan larger, when dReserve pixels of the body's height
// are kept for text.
QPageLayout::Orientation PlanOrientation(ReportPaper paper, const QSize &plan, double dReserve);

// The plan's picture in the frame, at most as fine as a printer needs.
void DrawPlanPicture(QPainter &painter, const _planframe &frame, const QImage &plan);
// The walked segments: lines from start to stop, a dot at the start, the number at the middle
// where it does not hide another number. Flagged segments that count are drawn in their own
// colour; replaced and excluded ones dashed and grey.
void DrawSegments(QPainter &painter, const _planframe &frame, const _segmenttable &table);

// The sentence under a plan that says how the segments are drawn.
extern const char *const REPORT_SEGMENT_KEY;
