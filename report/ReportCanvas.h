#pragma once

#include "report/ReportRequest.h"

#include <QByteArray>
#include <QFont>
#include <QPageLayout>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

// The pages of the survey report and how they are written. Pages are laid out in pixels of 1/96
// inch (the writer's resolution), with fonts given in pixels, so that the sizes the layout
// measures are the sizes the PDF shows. Text is drawn as text: it can be selected, searched and
// copied.

constexpr int REPORT_DPI = 96;

// Font sizes, pixels of 1/96 inch.
constexpr int REPORT_TITLE_PX = 26;
constexpr int REPORT_HEADING_PX = 16;
constexpr int REPORT_TEXT_PX = 12;
constexpr int REPORT_SMALL_PX = 10;

QFont ReportFont(int nPixels, bool bBold = false);

// One page: its orientation and what paints its body. The painter's origin is the body's
// top-left corner.
struct _reportpage {
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  std::function<void(QPainter &painter, const QRectF &body)> pfnPaint;
};

// The body of a page of the paper turned so: inside the margins, above the footer.
QRectF ReportBody(ReportPaper paper, QPageLayout::Orientation orientation);

// Texts of the whole document.
struct _reportdocument {
  QString strTitle;   // the document's title, for a viewer's window
  QString strCreator; // the program that made it
  QString strFooter;  // the left part of every page's footer; the right part is "Page n of N"
};

// Writes the pages as a PDF document. Raises std::runtime_error when it cannot be made.
QByteArray WriteReportPdf(const std::vector<_reportpage> &pages, ReportPaper paper, const _reportdocument &document);

// Draws text wrapped within dWidth from (x, y), the top of its first line; returns the height it
// took. ParagraphHeight measures it without drawing.
double DrawParagraph(QPainter &painter, double x, double y, double dWidth, const QFont &font, const QString &strText);
double ParagraphHeight(const QFont &font, double dWidth, const QString &strText);
