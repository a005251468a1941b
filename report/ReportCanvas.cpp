#include "report/ReportCanvas.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <stdexcept>

namespace {

constexpr double REPORT_MARGIN_MM = 14;
// Room for the footer: a line of small text and a gap above it.
constexpr double REPORT_FOOTER_HEIGHT = 2.0 * REPORT_SMALL_PX;
constexpr int TEXT_FLAGS = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

QPageLayout Layout(ReportPaper paper, QPageLayout::Orientation orientation) {
  const QPageSize size(paper == ReportPaper::letter ? QPageSize::Letter : QPageSize::A4);
  return {size, orientation, QMarginsF(REPORT_MARGIN_MM, REPORT_MARGIN_MM, REPORT_MARGIN_MM, REPORT_MARGIN_MM),
          QPageLayout::Millimeter};
}

// The paint rectangle inside the margins, pixels of 1/96 inch from its top-left corner.
QRectF PaintRect(ReportPaper paper, QPageLayout::Orientation orientation) {
  const QRectF points = Layout(paper, orientation).paintRect(QPageLayout::Point);
  return {0, 0, points.width() * REPORT_DPI / 72.0, points.height() * REPORT_DPI / 72.0};
}

void PaintFooter(QPainter &painter, const QRectF &paint, const QString &strLeft, int nPage, int nPages) {
  const QRectF line(paint.left(), paint.bottom() - REPORT_SMALL_PX * 1.3, paint.width(), REPORT_SMALL_PX * 1.3);
  painter.save();
  painter.setFont(ReportFont(REPORT_SMALL_PX));
  painter.setPen(QColor(80, 80, 80));
  painter.drawLine(QPointF(line.left(), line.top() - 3), QPointF(line.right(), line.top() - 3));
  painter.drawText(line, Qt::AlignLeft | Qt::AlignBottom, strLeft);
  painter.drawText(line, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Page %1 of %2").arg(nPage).arg(nPages));
  painter.restore();
}

} // namespace

QFont ReportFont(int nPixels, bool bBold) {
  QFont font;
  font.setPixelSize(nPixels);
  font.setBold(bBold);
  // The layout measures with unhinted metrics, as the PDF shows the glyphs.
  font.setHintingPreference(QFont::PreferNoHinting);
  // A spacing that shows nothing turns off ligatures, so that "office" is copied out of the PDF
  // as six letters and not with an "ffi" glyph.
  font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64); // the finest step a font takes
  return font;
}

QRectF ReportBody(ReportPaper paper, QPageLayout::Orientation orientation) {
  const QRectF paint = PaintRect(paper, orientation);
  return paint.adjusted(0, 0, 0, -REPORT_FOOTER_HEIGHT);
}

QByteArray WriteReportPdf(const std::vector<_reportpage> &pages, ReportPaper paper, const _reportdocument &document) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(REPORT_DPI);
  writer.setTitle(document.strTitle);
  writer.setCreator(document.strCreator);
  writer.setPageLayout(Layout(paper, pages.empty() ? QPageLayout::Portrait : pages.front().orientation));
  QPainter painter;
  if (!painter.begin(&writer)) {
    throw std::runtime_error("the PDF writer cannot be started");
  }
  const int nPages = static_cast<int>(pages.size());
  for (int i = 0; i < nPages; ++i) {
    const _reportpage &page = pages[static_cast<size_t>(i)];
    if (i > 0) {
      writer.setPageLayout(Layout(paper, page.orientation));
      writer.newPage();
    }
    const QRectF body = ReportBody(paper, page.orientation);
    painter.save();
    page.pfnPaint(painter, body);
    painter.restore();
    PaintFooter(painter, PaintRect(paper, page.orientation), document.strFooter, i + 1, nPages);
  }
  if (!painter.end()) {
    throw std::runtime_error("the PDF could not be finished");
  }
  return bytes;
}

double DrawParagraph(QPainter &painter, double x, double y, double dWidth, const QFont &font, const QString &strText) {
  const QFontMetricsF metrics(font);
  const QRectF rect = metrics.boundingRect(QRectF(x, y, dWidth, 1e6), TEXT_FLAGS, strText);
  painter.setFont(font);
  painter.drawText(QRectF(x, y, dWidth, rect.height() + 1), TEXT_FLAGS, strText);
  return rect.height();
}

double ParagraphHeight(const QFont &font, double dWidth, const QString &strText) {
  return QFontMetricsF(font).boundingRect(QRectF(0, 0, dWidth, 1e6), TEXT_FLAGS, strText).height();
}
