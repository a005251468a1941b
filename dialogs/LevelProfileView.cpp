#include "dialogs/LevelProfileView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const char *const ACCESSIBLE_NAME = "Level Profile";
const char *const TEXT_CHANNEL = "channel %1";
const char *const DESCRIPTION_CHANNEL = "Channel %1: %2 levels";
const char *const DESCRIPTION_RANGE = " from %1 to %2";
const char *const DESCRIPTION_GAP = ", no levels from %1 m to %2 m";
// Room around the plot, in pixels, besides the labels' own.
constexpr int LABEL_GAP = 4;
// Ticks: at most one per this many pixels of the axis.
constexpr int METRE_TICK_PIXELS = 70;
constexpr int LEVEL_TICK_PIXELS = 28;
// The spread's band and the mean's line.
constexpr int BAND_ALPHA = 70;
constexpr qreal MEAN_WIDTH = 1.5;
const QColor GRID_COLOUR(0xDD, 0xDD, 0xDD);
const QColor FRAME_COLOUR(0x80, 0x80, 0x80);
// The size the chart asks for and at least needs, in the widths and heights of its font's digits.
constexpr int HINT_COLUMNS = 48;
constexpr int HINT_ROWS = 12;
constexpr int MIN_COLUMNS = 24;
constexpr int MIN_ROWS = 7;

int TickCount(double dPixels, int nPerTick) { return std::max(2, static_cast<int>(dPixels / nPerTick)); }

QString Number(double d) { return QString::number(d, 'f', 1); }

} // namespace

const QColor CLevelProfileView::CHANNEL_COLOURS[2] = {QColor(0x00, 0x5A, 0xC8), QColor(0xC8, 0x3C, 0x00)};

CLevelProfileView::CLevelProfileView(QWidget *pParent) : QWidget(pParent) {
  setAccessibleName(QString::fromLatin1(ACCESSIBLE_NAME));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAutoFillBackground(false);
  setAccessibleDescription(Description());
}

void CLevelProfileView::SetProfile(_levelprofile profile) {
  m_profile = std::move(profile);
  setAccessibleDescription(Description());
  update();
}

QSize CLevelProfileView::sizeHint() const {
  const QFontMetrics metrics(font());
  return {HINT_COLUMNS * metrics.horizontalAdvance(QLatin1Char('0')), HINT_ROWS * metrics.height()};
}

QSize CLevelProfileView::minimumSizeHint() const {
  const QFontMetrics metrics(font());
  return {MIN_COLUMNS * metrics.horizontalAdvance(QLatin1Char('0')), MIN_ROWS * metrics.height()};
}

QRectF CLevelProfileView::PlotRect() const {
  const QFontMetrics metrics(font());
  const qreal dLeft = metrics.horizontalAdvance(QStringLiteral("-128")) + 2 * LABEL_GAP;
  const qreal dTop = metrics.height() + 2 * LABEL_GAP;
  const qreal dRight = metrics.horizontalAdvance(QString::fromLatin1(TEXT_METRES)) + 2 * LABEL_GAP;
  const qreal dBottom = metrics.height() + 2 * LABEL_GAP;
  return QRectF(dLeft, dTop, std::max(1.0, width() - dLeft - dRight), std::max(1.0, height() - dTop - dBottom));
}

_axisrange CLevelProfileView::MetreRange() const { return {0, std::max(m_profile.dLengthM, m_profile.dBinM)}; }

_axisrange CLevelProfileView::LevelAxisRange() const {
  if (!m_profile.bAnyLevel) {
    return {-100, -50};
  }
  return LevelRange(m_profile.nLow, m_profile.nHigh, TickCount(PlotRect().height(), LEVEL_TICK_PIXELS));
}

void CLevelProfileView::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  const QRectF rcPlot = PlotRect();
  PaintAxes(painter, rcPlot);
  if (!m_profile.bAnyLevel && m_profile.channels.empty()) {
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(rcPlot, Qt::AlignCenter, QString::fromLatin1(TEXT_NO_LEVELS));
    return;
  }
  painter.save();
  painter.setClipRect(rcPlot);
  painter.setRenderHint(QPainter::Antialiasing);
  for (const _profilechannel &channel : m_profile.channels) {
    PaintChannel(painter, rcPlot, channel);
  }
  painter.restore();
  PaintLegend(painter, rcPlot);
}

void CLevelProfileView::PaintAxes(QPainter &painter, const QRectF &rcPlot) const {
  const QFontMetrics metrics(font());
  const QColor text = palette().color(QPalette::Text);
  const _axisrange metres = MetreRange();
  const int nMetreTicks = TickCount(rcPlot.width(), METRE_TICK_PIXELS);
  const double dMetreStep = TickStep(metres.dTo - metres.dFrom, nMetreTicks);
  for (const double dTick : AxisTicks(metres, nMetreTicks)) {
    const qreal x = AxisPixel(dTick, metres, rcPlot.left(), rcPlot.right());
    painter.setPen(GRID_COLOUR);
    painter.drawLine(QPointF(x, rcPlot.top()), QPointF(x, rcPlot.bottom()));
    const QString strLabel = QString::fromStdString(TickLabel(dTick, dMetreStep));
    const qreal dWidth = metrics.horizontalAdvance(strLabel);
    painter.setPen(text);
    painter.drawText(
        QPointF(std::clamp(x - dWidth / 2, 0.0, width() - dWidth), rcPlot.bottom() + LABEL_GAP + metrics.ascent()),
        strLabel);
  }
  painter.drawText(QPointF(rcPlot.right() + LABEL_GAP, rcPlot.bottom() + LABEL_GAP + metrics.ascent()),
                   QString::fromLatin1(TEXT_METRES));
  const _axisrange levels = LevelAxisRange();
  const int nLevelTicks = TickCount(rcPlot.height(), LEVEL_TICK_PIXELS);
  const double dLevelStep = TickStep(levels.dTo - levels.dFrom, nLevelTicks);
  for (const double dTick : AxisTicks(levels, nLevelTicks)) {
    const qreal y = AxisPixel(dTick, levels, rcPlot.bottom(), rcPlot.top());
    painter.setPen(GRID_COLOUR);
    painter.drawLine(QPointF(rcPlot.left(), y), QPointF(rcPlot.right(), y));
    const QString strLabel = QString::fromStdString(TickLabel(dTick, dLevelStep));
    painter.setPen(text);
    painter.drawText(
        QPointF(rcPlot.left() - LABEL_GAP - metrics.horizontalAdvance(strLabel), y + metrics.ascent() / 2.0 - 1),
        strLabel);
  }
  painter.setPen(FRAME_COLOUR);
  painter.drawRect(rcPlot);
}

void CLevelProfileView::PaintChannel(QPainter &painter, const QRectF &rcPlot, const _profilechannel &channel) const {
  const QColor colour = CHANNEL_COLOURS[channel.nChannel == 2 ? 1 : 0];
  const _axisrange metres = MetreRange();
  const _axisrange levels = LevelAxisRange();
  const auto X = [&](double dMetres) { return AxisPixel(dMetres, metres, rcPlot.left(), rcPlot.right()); };
  const auto Y = [&](double dLevel) { return AxisPixel(dLevel, levels, rcPlot.bottom(), rcPlot.top()); };
  // The gaps found while walking, hatched across the whole height.
  for (const _walkspan &gap : channel.gaps) {
    painter.fillRect(QRectF(QPointF(X(gap.dFrom), rcPlot.top()), QPointF(X(gap.dTo), rcPlot.bottom())),
                     QBrush(colour, Qt::BDiagPattern));
  }
  QColor band = colour;
  band.setAlpha(BAND_ALPHA);
  QPainterPath mean;
  bool bOpen = false; // the mean's line goes on from the bin before
  for (uint32_t i = 0; i < channel.bins.size(); ++i) {
    const _coveragebin &bin = channel.bins[i];
    if (bin.nCount == 0) {
      bOpen = false; // nothing measured here: the line stops
      continue;
    }
    const qreal x0 = X(m_profile.BinFrom(i));
    const qreal x1 = std::max(X(m_profile.BinTo(i)), x0 + 1);
    const qreal yHigh = Y(bin.nMax);
    painter.fillRect(QRectF(QPointF(x0, yHigh), QPointF(x1, std::max(Y(bin.nMin), yHigh + 1))), band);
    const qreal yMean = Y(bin.Level(CoverageMean::arithmetic));
    if (bOpen) {
      mean.lineTo(x0, yMean);
    } else {
      mean.moveTo(x0, yMean);
    }
    mean.lineTo(x1, yMean);
    bOpen = true;
  }
  painter.setPen(QPen(colour, MEAN_WIDTH));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(mean);
}

void CLevelProfileView::PaintLegend(QPainter &painter, const QRectF &rcPlot) const {
  const QFontMetrics metrics(font());
  qreal x = rcPlot.left();
  const qreal y = LABEL_GAP + metrics.ascent();
  for (const _profilechannel &channel : m_profile.channels) {
    const QColor colour = CHANNEL_COLOURS[channel.nChannel == 2 ? 1 : 0];
    const qreal dMid = LABEL_GAP + metrics.height() / 2.0;
    painter.setPen(QPen(colour, 2 * MEAN_WIDTH));
    painter.drawLine(QPointF(x, dMid), QPointF(x + metrics.height(), dMid));
    x += metrics.height() + LABEL_GAP;
    const QString strText = QString::fromLatin1(TEXT_CHANNEL).arg(channel.nChannel);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(x, y), strText);
    x += metrics.horizontalAdvance(strText) + 3 * LABEL_GAP;
  }
}

QString CLevelProfileView::Description() const {
  QStringList parts;
  for (const _profilechannel &channel : m_profile.channels) {
    QString strPart = QString::fromLatin1(DESCRIPTION_CHANNEL).arg(channel.nChannel).arg(channel.nLevels);
    int16_t nLow = 0;
    int16_t nHigh = 0;
    bool bAny = false;
    for (const _coveragebin &bin : channel.bins) {
      if (bin.nCount > 0) {
        nLow = bAny ? std::min(nLow, bin.nMin) : bin.nMin;
        nHigh = bAny ? std::max(nHigh, bin.nMax) : bin.nMax;
        bAny = true;
      }
    }
    if (bAny) {
      strPart += QString::fromLatin1(DESCRIPTION_RANGE).arg(nLow).arg(nHigh);
    }
    for (const _walkspan &gap : channel.gaps) {
      strPart += QString::fromLatin1(DESCRIPTION_GAP).arg(Number(gap.dFrom), Number(gap.dTo));
    }
    parts.append(strPart);
  }
  return parts.isEmpty() ? QString::fromLatin1(TEXT_NO_LEVELS) : parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}
