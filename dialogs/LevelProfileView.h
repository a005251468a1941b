#pragma once

#include "coverage/ProfileAxes.h"
#include "coverage/SegmentProfile.h"

#include <QColor>
#include <QRectF>
#include <QWidget>

class QPainter;

// A segment's level profile drawn small: metres along the segment across, levels up; for each
// channel the spread of its levels in each bin (from the lowest to the highest, a light band) and
// their mean (a line). A stretch where the channel delivered nothing is not bridged: the band and
// the line stop there, and a gap found while walking is hatched in the channel's colour. The axes
// and their ticks are pure numbers (coverage/ProfileAxes.h); this widget only maps and paints.
class CLevelProfileView : public QWidget {
  Q_OBJECT

public:
  // The chart's colours of channel 1 and 2.
  static const QColor CHANNEL_COLOURS[2];
  static constexpr const char *TEXT_NO_LEVELS = "No levels to show";
  static constexpr const char *TEXT_METRES = "m";

  explicit CLevelProfileView(QWidget *pParent = nullptr);

  void SetProfile(_levelprofile profile);
  const _levelprofile &Profile() const { return m_profile; }

  // Where the chart's plot lies in the widget, and the ranges it shows (for tests and painting).
  QRectF PlotRect() const;
  _axisrange MetreRange() const;
  _axisrange LevelAxisRange() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent *pEvent) override;

private:
  void PaintAxes(QPainter &painter, const QRectF &rcPlot) const;
  void PaintChannel(QPainter &painter, const QRectF &rcPlot, const _profilechannel &channel) const;
  void PaintLegend(QPainter &painter, const QRectF &rcPlot) const;
  // The accessible description: what the chart shows, in words.
  QString Description() const;

  _levelprofile m_profile;
};
