#include "report/ReportPages.h"
#include "report/ReportText.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <memory>

namespace {

constexpr int REPORT_TABLE_PX = 10;
constexpr double REPORT_CELL_PAD = 7;     // pixels between columns
constexpr double REPORT_NOTE_INDENT = 24; // a row's note, under its cells
const QColor FLAGGED_FILL(255, 226, 236);
const QColor LEFT_OUT_TEXT(110, 110, 110);

struct _column {
  QString strHeader;
  QString strGroup; // the channel's name over its columns; empty for the others
  bool bRight = true;
  double dWidth = 0;
};

// A line of the table: a segment's cells and, under them, what the checks found; or the date of
// the segments that follow.
struct _tablerow {
  QStringList cells;
  QString strNote;
  QString strDate;
  bool bFlagged = false;
  bool bLeftOut = false;
  double dHeight = 0;
};

struct _table {
  std::vector<_column> columns;
  std::vector<_tablerow> rows;
  double dLine = 0; // the height of a line of the table's font
  double dWidth = 0;
};

QString Text(const std::string &text) { return QString::fromStdString(text); }

std::vector<uint16_t> ChannelsOf(const _reportdata &data) {
  std::vector<uint16_t> channels;
  for (const auto &channel : data.channels) {
    channels.push_back(channel.nChannel);
  }
  return channels;
}

std::vector<_column> Columns(const _reportdata &data) {
  const QString strNames = Text(" (" + ReportCoordinateNames(*data.plan.pProjection) + ")");
  std::vector<_column> columns{{QStringLiteral("No."), {}},
                               {QStringLiteral("Start") + strNames, {}, false},
                               {QStringLiteral("Stop") + strNames, {}, false},
                               {QStringLiteral("Walked"), {}, false},
                               {QStringLiteral("Length m"), {}},
                               {QStringLiteral("Time s"), {}},
                               {QStringLiteral("Speed m/s"), {}}};
  for (const auto &channel : data.channels) {
    const QString strGroup = Text(CoverageChannelName(channel.nChannel, channel.nFrequency, true));
    for (const char *szName : {"Levels", "Mean", "Min", "Max"}) {
      columns.push_back({QString::fromUtf8(szName), strGroup});
    }
  }
  columns.push_back({QStringLiteral("Checks"), {}, false});
  return columns;
}

QString Note(const _segmentrow &row) {
  QString strFindings;
  for (const auto &finding : row.quality.findings) {
    strFindings += (strFindings.isEmpty() ? QString() : QStringLiteral("; ")) + Text(finding.strReason);
  }
  const QString strChecks =
      row.quality.Passed() ? QStringLiteral("passed the checks") : QStringLiteral("flagged: ") + strFindings;
  if (row.nReplacedBy != 0) {
    return QStringLiteral("Replaced by segment %1, not counted; %2.").arg(row.nReplacedBy).arg(strChecks);
  }
  if (row.bExcluded) {
    return QStringLiteral("Excluded, not counted; %1.").arg(strChecks);
  }
  return row.quality.Passed() ? QString() : QStringLiteral("Flagged: ") + strFindings + QLatin1Char('.');
}

_tablerow SegmentRow(const _reportdata &data, const _segmentrow &row, const std::vector<uint16_t> &channels) {
  const _segmentheader &h = row.header;
  const _segmentfacts &facts = row.quality.facts;
  const CSiteProjection &projection = *data.plan.pProjection;
  _tablerow line;
  line.cells = {QString::number(facts.nSegment),
                Text(ReportCoordinates(projection, h.nStartX, h.nStartY)),
                Text(ReportCoordinates(projection, h.nStopX, h.nStopY)),
                Text(ReportStartClock(h) + "-" + ReportStopClock(h)),
                Text(ReportNumber(facts.dLengthM, 2, facts.bLength)),
                Text(ReportNumber(facts.Seconds(), 0, facts.timing.bTimed)),
                Text(ReportNumber(row.Speed(), 2, row.Speed() > 0))};
  for (const uint16_t nChannel : channels) {
    const auto it = row.levels.find(nChannel);
    const bool bLevels = it != row.levels.end() && it->second.nCount > 0;
    const _levelstats stats = bLevels ? it->second : _levelstats{};
    line.cells << QString::number(stats.nCount) << Text(ReportNumber(stats.dMean, 1, bLevels))
               << (bLevels ? QString::number(stats.nMin) : QStringLiteral("-"))
               << (bLevels ? QString::number(stats.nMax) : QStringLiteral("-"));
  }
  line.cells << Text(row.nReplacedBy != 0 ? "replaced by " + std::to_string(row.nReplacedBy)
                     : row.bExcluded      ? "excluded"
                                          : RowStanding(row));
  line.strNote = Note(row);
  line.bFlagged = row.bCounts && !row.quality.Passed();
  line.bLeftOut = !row.bCounts;
  return line;
}

// The widths the columns need for their headers and cells.
void MeasureColumns(_table &table, const QFont &font, const QFont &bold) {
  const QFontMetricsF metrics(font);
  const QFontMetricsF boldMetrics(bold);
  for (size_t c = 0; c < table.columns.size(); ++c) {
    _column &column = table.columns[c];
    column.dWidth = boldMetrics.horizontalAdvance(column.strHeader);
    for (const auto &row : table.rows) {
      if (c < static_cast<size_t>(row.cells.size())) {
        column.dWidth = std::max(column.dWidth, metrics.horizontalAdvance(row.cells[static_cast<qsizetype>(c)]));
      }
    }
    column.dWidth += REPORT_CELL_PAD;
    table.dWidth += column.dWidth;
  }
}

_table BuildTable(const _reportdata &data, double dBodyWidth) {
  _table table;
  table.columns = Columns(data);
  const std::vector<uint16_t> channels = ChannelsOf(data);
  std::string strDate;
  for (const auto &row : data.table.rows) {
    if (const std::string date = ReportDate(row.header); date != strDate) {
      strDate = date;
      table.rows.push_back({{}, {}, Text(date)});
    }
    table.rows.push_back(SegmentRow(data, row, channels));
  }
  const QFont font = ReportFont(REPORT_TABLE_PX);
  MeasureColumns(table, font, ReportFont(REPORT_TABLE_PX, true));
  table.dWidth = std::min(table.dWidth, dBodyWidth);
  table.dLine = std::ceil(QFontMetricsF(font).height() * 1.15);
  for (auto &row : table.rows) {
    row.dHeight = table.dLine;
    if (!row.strNote.isEmpty()) {
      row.dHeight += ParagraphHeight(font, table.dWidth - REPORT_NOTE_INDENT, row.strNote) + 2;
    }
  }
  return table;
}

// The two header lines: the channels' names over their columns, then the columns' names.
double DrawHeader(QPainter &painter, const _table &table, double y) {
  painter.setFont(ReportFont(REPORT_TABLE_PX, true));
  painter.setPen(Qt::black);
  double x = 0;
  for (size_t c = 0; c < table.columns.size();) {
    const _column &column = table.columns[c];
    size_t nEnd = c + 1;
    double dSpan = column.dWidth;
    while (!column.strGroup.isEmpty() && nEnd < table.columns.size() &&
           table.columns[nEnd].strGroup == column.strGroup) {
      dSpan += table.columns[nEnd++].dWidth;
    }
    if (!column.strGroup.isEmpty()) {
      painter.drawText(QRectF(x, y, dSpan, table.dLine), Qt::AlignRight | Qt::AlignVCenter, column.strGroup);
    }
    x += dSpan;
    c = nEnd;
  }
  y += table.dLine;
  x = 0;
  for (const auto &column : table.columns) {
    const double dText = column.dWidth - REPORT_CELL_PAD;
    painter.drawText(QRectF(column.bRight ? x : x + REPORT_CELL_PAD, y, dText, table.dLine),
                     (column.bRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, column.strHeader);
    x += column.dWidth;
  }
  y += table.dLine;
  painter.drawLine(QPointF(0, y), QPointF(table.dWidth, y));
  return y + 2;
}

void DrawRow(QPainter &painter, const _table &table, const _tablerow &row, double y) {
  const QFont font = ReportFont(REPORT_TABLE_PX);
  if (!row.strDate.isEmpty()) {
    painter.setFont(ReportFont(REPORT_TABLE_PX, true));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, y, table.dWidth, table.dLine), Qt::AlignLeft | Qt::AlignVCenter, row.strDate);
    return;
  }
  if (row.bFlagged) {
    painter.fillRect(QRectF(0, y, table.dWidth, row.dHeight), FLAGGED_FILL);
  }
  painter.setPen(row.bLeftOut ? LEFT_OUT_TEXT : QColor(Qt::black));
  painter.setFont(font);
  double x = 0;
  for (size_t c = 0; c < table.columns.size() && c < static_cast<size_t>(row.cells.size()); ++c) {
    const _column &column = table.columns[c];
    const double dText = column.dWidth - REPORT_CELL_PAD;
    painter.drawText(QRectF(column.bRight ? x : x + REPORT_CELL_PAD, y, dText, table.dLine),
                     (column.bRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                     row.cells[static_cast<qsizetype>(c)]);
    x += column.dWidth;
  }
  if (!row.strNote.isEmpty()) {
    DrawParagraph(painter, REPORT_NOTE_INDENT, y + table.dLine, table.dWidth - REPORT_NOTE_INDENT, font, row.strNote);
  }
}

// The rows of each page: as many as the page holds under its heading and header.
std::vector<std::pair<size_t, size_t>> Paginate(const _table &table, double dRoom) {
  std::vector<std::pair<size_t, size_t>> pages;
  size_t nFirst = 0;
  double dUsed = 0;
  for (size_t i = 0; i < table.rows.size(); ++i) {
    if (dUsed + table.rows[i].dHeight > dRoom && i > nFirst) {
      pages.emplace_back(nFirst, i);
      nFirst = i;
      dUsed = 0;
    }
    dUsed += table.rows[i].dHeight;
  }
  pages.emplace_back(nFirst, table.rows.size());
  return pages;
}

} // namespace

std::vector<_reportpage> TablePages(const _reportdata &data) {
  const QRectF body = ReportBody(data.request.paper, QPageLayout::Landscape);
  auto pTable = std::make_shared<const _table>(BuildTable(data, body.width()));
  const double dHeading = REPORT_HEADING_PX * 2.0;
  const double dRoom = body.height() - dHeading - 2 * pTable->dLine - 2;
  const auto pages = Paginate(*pTable, dRoom);
  std::vector<_reportpage> result;
  for (size_t p = 0; p < pages.size(); ++p) {
    _reportpage page;
    page.orientation = QPageLayout::Landscape;
    const QString strHeading = QStringLiteral("Segments (%1 of %2)").arg(p + 1).arg(pages.size());
    page.pfnPaint = [pTable, range = pages[p], strHeading](QPainter &painter, const QRectF &pageBody) {
      painter.setPen(Qt::black);
      DrawParagraph(painter, 0, 0, pageBody.width(), ReportFont(REPORT_HEADING_PX, true), strHeading);
      double y = DrawHeader(painter, *pTable, REPORT_HEADING_PX * 2.0);
      if (pTable->rows.empty()) {
        DrawParagraph(painter, 0, y, pageBody.width(), ReportFont(REPORT_TEXT_PX), QStringLiteral("No segment."));
      }
      for (size_t i = range.first; i < range.second; ++i) {
        DrawRow(painter, *pTable, pTable->rows[i], y);
        y += pTable->rows[i].dHeight;
      }
    };
    result.push_back(std::move(page));
  }
  return result;
}
