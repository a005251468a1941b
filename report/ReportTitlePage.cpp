#include "report/ReportPages.h"
#include "report/ReportSummary.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace {

const char *const REPORT_TITLE = "Survey report";
const char *const REPORT_SETTINGS_HEADING = "Settings used";

// Draws the lines as a list, the names in a column of their own; returns the height taken.
double DrawLines(QPainter &painter, double y, double dWidth, const std::vector<_reportline> &lines) {
  const QFont bold = ReportFont(REPORT_TEXT_PX, true);
  const QFont plain = ReportFont(REPORT_TEXT_PX);
  const QFontMetricsF metrics(bold);
  double dKeyWidth = 0;
  for (const auto &line : lines) {
    dKeyWidth = std::max(dKeyWidth, metrics.horizontalAdvance(QString::fromStdString(line.strKey)));
  }
  dKeyWidth += REPORT_TEXT_PX;
  const double dGap = REPORT_TEXT_PX * 0.35;
  const double dTop = y;
  for (const auto &line : lines) {
    DrawParagraph(painter, 0, y, dKeyWidth, bold, QString::fromStdString(line.strKey));
    y += DrawParagraph(painter, dKeyWidth, y, dWidth - dKeyWidth, plain, QString::fromStdString(line.strValue)) + dGap;
  }
  return y - dTop;
}

} // namespace

_reportpage TitlePage(const _reportdata &data) {
  _reportpage page;
  page.pfnPaint = [&data](QPainter &painter, const QRectF &body) {
    painter.setPen(Qt::black);
    double y = 0;
    y += DrawParagraph(painter, 0, y, body.width(), ReportFont(REPORT_TITLE_PX, true), QString::fromUtf8(REPORT_TITLE));
    y += DrawParagraph(painter, 0, y, body.width(), ReportFont(REPORT_HEADING_PX),
                       QFileInfo(QString::fromStdString(data.request.strSurvey)).fileName());
    y += REPORT_HEADING_PX;
    y += DrawLines(painter, y, body.width(), ReportSummaryLines(data));
    y += REPORT_HEADING_PX;
    y += DrawParagraph(painter, 0, y, body.width(), ReportFont(REPORT_HEADING_PX, true),
                       QString::fromUtf8(REPORT_SETTINGS_HEADING));
    y += REPORT_TEXT_PX * 0.5;
    DrawLines(painter, y, body.width(), ReportSettingsLines(data));
  };
  return page;
}
