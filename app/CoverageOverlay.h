#pragma once

#include "coverage/SessionCoverage.h"

#include <QFont>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QTimer>

#include <vector>

class CSurveySession;

// The coverage on the view's plan: the session's coverage (CSessionCoverage) of the channel the
// operator chose, as an image with one pixel per cell, laid over the view's cached plan picture
// with its legend in the top-right corner of the plan shown.
//
// Levels only mark the coverage's bins as they come; a short timer brings the cells up to date
// (a tenth of a second after the first levels that wait), redraws the cells that changed in the
// cell image and in the covered picture, and asks the view to repaint. Painting only copies: the
// covered picture is rebuilt whole when the plan picture (the window onto the plan, the client
// size) or the coverage as a whole (another channel, new settings, another survey) changed.
//
// The channel shown and the settings are kept with the program's settings (QSettings, group
// "Coverage"), as the recent files are.
class CCoverageOverlay : public QObject {
  Q_OBJECT

public:
  explicit CCoverageOverlay(CSurveySession &session, QObject *pParent = nullptr);

  const CSessionCoverage &Core() const { return m_core; }
  // Shows channel nChannel (0: none) and keeps the choice.
  void Show(uint16_t nChannel);
  uint16_t Shown() const { return m_core.Shown(); }
  // New settings, sound ones, kept with the program's settings.
  void UseSettings(const _coveragesettings &settings);
  const _coveragesettings &Settings() const { return m_core.Settings(); }
  // Why settings cannot be used on the plan loaded now, beyond CoverageSettingsProblem, or "".
  std::string PlanProblem(const _coveragesettings &settings) const { return m_core.PlanProblem(settings); }
  // The plan is now of that size in pixels; an empty size: none is loaded.
  void UsePlan(const QSize &plan);

  // Leaves out the segments the surveyor replaced or excluded since, and takes back those included.
  void FollowQuality(const _qualityrecord &record) { m_core.FollowQuality(record); }

  // Brings the cells up to date now, as the timer does.
  void Refresh();

  // The plan picture of the view with the coverage and its legend over it, or plan itself when
  // nothing is shown. The plan picture shows plan pixels source in client rectangle target.
  const QImage &Picture(const QImage &plan, const QRect &source, const QRectF &target);

  // "Channel 1 (425.0000 MHz)", or "Channel 1" while its frequency is not known.
  QString ChannelTitle(uint16_t nChannel) const;
  // The status pane's text for the pointer on plan pixel (x, y): the level of the cell there.
  QString LevelText(int x, int y) const;
  // The pane's text with nothing shown or no plan under the pointer.
  static QString NoLevelText();

signals:
  // The covered picture changed: the view is to repaint.
  void Changed();
  // Something the operator may be told (a damaged survey, a side file ignored).
  void Note(const QString &strText);

private:
  void ScheduleRefresh();
  // Draws the overlay and the legend into the covered picture within client rectangle rcClip.
  void PaintOverlay(QPainter &painter, const QImage &plan, const QRectF &rcClip) const;
  QRectF LegendRect(const QSizeF &client) const;
  void PaintLegend(QPainter &painter, const QSizeF &client) const;
  // Client rectangle of a rectangle of cells, outwards to whole client pixels.
  QRectF ClientRectOf(const _cellrect &cells) const;
  void Save() const;
  void Load();

  CSessionCoverage m_core;
  QTimer m_refreshTimer;
  QFont m_legendFont;

  // As of the last Refresh: the cells (one pixel each, premultiplied ARGB), their size in plan
  // pixels, the figures, the coverage's generation they belong to, and whether there is anything
  // to show.
  QImage m_cells;
  double m_dCellWidth = 1;
  double m_dCellHeight = 1;
  QSize m_planSize;
  _coveragefigures m_figures;
  QString m_strTitle;
  uint64_t m_nGeneration = 0;
  bool m_bShowing = false;
  int m_nSerial = 0; // grows when m_cells is made anew

  // The covered picture and what it was made from.
  struct _picturekey {
    qint64 nPlanKey = 0;
    QRect source;
    QRectF target;
    int nSerial = -1;
    bool operator==(const _picturekey &) const = default;
  };
  QImage m_covered;
  _picturekey m_key;
  std::vector<_cellrect> m_dirtyCells; // changed since the covered picture was last brought up to date
  bool m_bLegendDirty = false;
  QRectF m_rcLegend; // where the legend was drawn last
  QRect m_source;    // the mapping of the plan picture, as of the last Picture
  QRectF m_target;
};
