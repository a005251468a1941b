#include "app/CoverageOverlay.h"

#include "app/AppIdentity.h"
#include "link/ReceiverConversions.h"
#include "render/CoverageImage.h"
#include "render/CoverageLegend.h"

#include <QFontDatabase>
#include <QPainter>
#include <QSettings>

#include <cmath>

namespace {

// How long levels wait before the cells around them are computed and drawn.
constexpr int REFRESH_MS = 100;
// Room between the legend and the view's top-right corner.
constexpr double LEGEND_MARGIN = 8;

const char *const CHANNEL_TITLE = "Channel %1";
const char *const CHANNEL_TITLE_MHZ = "Channel %1 (%2 MHz)";
const char *const PANE_LEVEL = "Level: %1";
const char *const PANE_NOT_WALKED = "Not walked";
const char *const PANE_NO_LEVEL = "Level: NA";

// Where the choice and the settings are kept.
const char *const SETTINGS_GROUP = "Coverage";
const char *const KEY_CHANNEL = "Channel";
const char *const KEY_CELL = "Cell";
const char *const KEY_RADIUS = "Radius";
const char *const KEY_BIN = "Bin";
const char *const KEY_FADE = "Fade";
const char *const KEY_MEAN = "Mean";
const char *const KEY_SCALE_LOW = "ScaleLow";
const char *const KEY_SCALE_HIGH = "ScaleHigh";
const char *const KEY_BAND = "Band";
const char *const KEY_THRESHOLD = "Threshold";

QSettings ProgramSettings() { return QSettings(QString::fromUtf8(APP_PROFILE_KEY), QString::fromUtf8(APP_NAME)); }

} // namespace

CCoverageOverlay::CCoverageOverlay(CSurveySession &session, QObject *pParent)
    : QObject(pParent), m_core(session), m_legendFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont)) {
  m_refreshTimer.setSingleShot(true);
  connect(&m_refreshTimer, &QTimer::timeout, this, &CCoverageOverlay::Refresh);
  m_core.OnChange([this] { ScheduleRefresh(); });
  Load();
}

void CCoverageOverlay::Show(uint16_t nChannel) {
  m_core.Show(nChannel);
  Save();
  Refresh();
}

void CCoverageOverlay::UseSettings(const _coveragesettings &settings) {
  m_core.UseSettings(settings);
  Save();
  Refresh();
}

void CCoverageOverlay::UsePlan(const QSize &plan) {
  m_planSize = plan;
  m_core.UsePlan(plan.width(), plan.height());
}

// A coverage computed afresh (a survey opened, closed) is drawn as soon as the events queued now
// are handled; levels wait a little, so that many of them make one update.
void CCoverageOverlay::ScheduleRefresh() {
  const int nWait = m_core.Generation() != m_nGeneration ? 0 : REFRESH_MS;
  if (!m_refreshTimer.isActive() || m_refreshTimer.remainingTime() > nWait) {
    m_refreshTimer.start(nWait);
  }
}

void CCoverageOverlay::Refresh() {
  m_refreshTimer.stop();
  const std::vector<_cellrect> changes = m_core.Update();
  const CCoverage *pCoverage = m_core.Coverage();
  const bool bShowing = pCoverage != nullptr && !m_planSize.isEmpty();
  if (!bShowing) {
    m_cells = QImage();
    m_dirtyCells.clear();
  } else {
    const CCoverageGrid &grid = pCoverage->Grid(m_core.Shown());
    if (m_core.Generation() != m_nGeneration || m_cells.isNull()) {
      m_cells = CoverageCellImage(grid, m_core.Settings());
      m_dCellWidth = grid.CellWidth();
      m_dCellHeight = grid.CellHeight();
      ++m_nSerial; // the covered picture is drawn afresh
      m_dirtyCells.clear();
    } else {
      for (const _cellrect &rect : changes) {
        UpdateCoverageCells(m_cells, grid, m_core.Settings(), rect);
        m_dirtyCells.push_back(rect);
      }
    }
    const _coveragefigures figures = pCoverage->Figures(m_core.Shown());
    const QString strTitle = ChannelTitle(m_core.Shown());
    m_bLegendDirty = m_bLegendDirty || figures.nCells != m_figures.nCells ||
                     figures.nAtOrAbove != m_figures.nAtOrAbove || strTitle != m_strTitle;
    m_figures = figures;
    m_strTitle = strTitle;
  }
  const bool bChanged =
      bShowing != m_bShowing || m_core.Generation() != m_nGeneration || !changes.empty() || m_bLegendDirty;
  m_bShowing = bShowing;
  m_nGeneration = m_core.Generation();
  for (const std::string &note : m_core.TakeNotes()) {
    emit Note(QString::fromStdString(note));
  }
  if (bChanged) {
    emit Changed();
  }
}

const QImage &CCoverageOverlay::Picture(const QImage &plan, const QRect &source, const QRectF &target) {
  if (!m_bShowing || m_cells.isNull() || source.isEmpty() || target.isEmpty()) {
    return plan;
  }
  m_source = source;
  m_target = target;
  const QSizeF client = plan.deviceIndependentSize();
  const _picturekey key{plan.cacheKey(), source, target, m_nSerial};
  if (!(key == m_key) || m_covered.size() != plan.size() || m_covered.format() != plan.format()) {
    if (m_covered.size() != plan.size() || m_covered.format() != plan.format()) {
      m_covered = QImage(plan.size(), plan.format());
    }
    m_covered.setDevicePixelRatio(plan.devicePixelRatio());
    QPainter painter(&m_covered);
    PaintOverlay(painter, plan, QRectF(QPointF(0, 0), client));
    m_rcLegend = LegendRect(client);
    PaintLegend(painter, client);
    m_key = key;
    m_dirtyCells.clear();
    m_bLegendDirty = false;
  } else if (!m_dirtyCells.empty() || m_bLegendDirty) {
    QPainter painter(&m_covered);
    for (const _cellrect &cells : m_dirtyCells) {
      PaintOverlay(painter, plan, ClientRectOf(cells));
    }
    // The legend over whatever changed under it, where it was and where it goes.
    PaintOverlay(painter, plan, m_rcLegend);
    m_rcLegend = LegendRect(client);
    PaintOverlay(painter, plan, m_rcLegend);
    PaintLegend(painter, client);
    m_dirtyCells.clear();
    m_bLegendDirty = false;
  }
  return m_covered;
}

// The plan within rcClip as the plan picture has it, then the cells over it, each as the square
// of plan pixels it covers, without smoothing.
void CCoverageOverlay::PaintOverlay(QPainter &painter, const QImage &plan, const QRectF &rcClip) const {
  if (rcClip.isEmpty()) {
    return;
  }
  painter.save();
  painter.setClipRect(rcClip);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPointF(0, 0), plan);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const double dScaleX = m_target.width() / m_source.width();
  const double dScaleY = m_target.height() / m_source.height();
  painter.translate(m_target.left() - m_source.left() * dScaleX, m_target.top() - m_source.top() * dScaleY);
  painter.scale(dScaleX, dScaleY);
  painter.setClipRect(QRectF(QPointF(0, 0), QSizeF(m_planSize)), Qt::IntersectClip);
  painter.drawImage(QRectF(0, 0, m_cells.width() * m_dCellWidth, m_cells.height() * m_dCellHeight), m_cells);
  painter.restore();
}

// The top-right corner of the part of the view that shows the plan, as pictures of the coverage
// have it, so that a print of that part holds the legend.
QRectF CCoverageOverlay::LegendRect(const QSizeF &client) const {
  const QSizeF size = CoverageLegendSize(m_legendFont, m_strTitle, m_core.Settings(), m_figures);
  const QRectF shown = m_target.intersected(QRectF(QPointF(0, 0), client));
  const QRectF rect(QPointF(shown.right() - LEGEND_MARGIN - size.width(), shown.top() + LEGEND_MARGIN), size);
  return rect.toAlignedRect(); // whole pixels, so that restoring it leaves no seam
}

void CCoverageOverlay::PaintLegend(QPainter &painter, const QSizeF &client) const {
  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing);
  PaintCoverageLegend(painter, LegendRect(client).topLeft(), m_legendFont, m_strTitle, m_core.Settings(), m_figures);
  painter.restore();
}

QRectF CCoverageOverlay::ClientRectOf(const _cellrect &cells) const {
  const double dScaleX = m_target.width() / m_source.width();
  const double dScaleY = m_target.height() / m_source.height();
  const auto clientX = [&](double x) { return m_target.left() + (x - m_source.left()) * dScaleX; };
  const auto clientY = [&](double y) { return m_target.top() + (y - m_source.top()) * dScaleY; };
  const QRectF rect(QPointF(clientX(cells.nLeft * m_dCellWidth), clientY(cells.nTop * m_dCellHeight)),
                    QPointF(clientX(cells.nRight * m_dCellWidth), clientY(cells.nBottom * m_dCellHeight)));
  return rect.toAlignedRect().adjusted(-1, -1, 1, 1);
}

QString CCoverageOverlay::ChannelTitle(uint16_t nChannel) const {
  const uint32_t nCode = m_core.FrequencyOf(nChannel);
  return nCode == 0 ? QString::fromUtf8(CHANNEL_TITLE).arg(nChannel)
                    : QString::fromUtf8(CHANNEL_TITLE_MHZ).arg(nChannel).arg(FrequencyCodeToMHz(nCode), 0, 'f', 4);
}

QString CCoverageOverlay::LevelText(int x, int y) const {
  const CCoverage *pCoverage = m_core.Coverage();
  if (pCoverage == nullptr || x < 0 || y < 0 || x >= m_planSize.width() || y >= m_planSize.height()) {
    return NoLevelText();
  }
  const CCoverageGrid &grid = pCoverage->Grid(m_core.Shown());
  // The middle of plan pixel (x, y) decides its cell.
  const int c = std::min(grid.Columns() - 1, static_cast<int>((x + 0.5) / grid.CellWidth()));
  const int r = std::min(grid.Rows() - 1, static_cast<int>((y + 0.5) / grid.CellHeight()));
  if (c < 0 || r < 0) {
    return NoLevelText();
  }
  if (!grid.HasValue(c, r)) {
    return QString::fromUtf8(PANE_NOT_WALKED);
  }
  return QString::fromUtf8(PANE_LEVEL).arg(static_cast<double>(grid.Value(c, r)), 0, 'f', 1);
}

QString CCoverageOverlay::NoLevelText() { return QString::fromUtf8(PANE_NO_LEVEL); }

void CCoverageOverlay::Save() const {
  QSettings settings = ProgramSettings();
  settings.beginGroup(QString::fromUtf8(SETTINGS_GROUP));
  const _coveragesettings &s = m_core.Settings();
  settings.setValue(QString::fromUtf8(KEY_CHANNEL), m_core.Shown());
  settings.setValue(QString::fromUtf8(KEY_CELL), s.dCellMetres);
  settings.setValue(QString::fromUtf8(KEY_RADIUS), s.dRadiusMetres);
  settings.setValue(QString::fromUtf8(KEY_BIN), s.dBinMetres);
  settings.setValue(QString::fromUtf8(KEY_FADE), s.dFadeMetres);
  settings.setValue(QString::fromUtf8(KEY_MEAN), QString::fromUtf8(CoverageMeanName(s.mean)));
  settings.setValue(QString::fromUtf8(KEY_SCALE_LOW), s.dScaleLow);
  settings.setValue(QString::fromUtf8(KEY_SCALE_HIGH), s.dScaleHigh);
  settings.setValue(QString::fromUtf8(KEY_BAND), s.dBandWidth);
  settings.setValue(QString::fromUtf8(KEY_THRESHOLD), s.dThreshold);
}

// Settings that cannot be used (edited by hand, of another version) give way to the defaults.
void CCoverageOverlay::Load() {
  QSettings settings = ProgramSettings();
  settings.beginGroup(QString::fromUtf8(SETTINGS_GROUP));
  const _coveragesettings d;
  const auto number = [&](const char *szKey, double dDefault) {
    return settings.value(QString::fromUtf8(szKey), dDefault).toDouble();
  };
  _coveragesettings s;
  s.dCellMetres = number(KEY_CELL, d.dCellMetres);
  s.dRadiusMetres = number(KEY_RADIUS, d.dRadiusMetres);
  s.dBinMetres = number(KEY_BIN, d.dBinMetres);
  s.dFadeMetres = number(KEY_FADE, d.dFadeMetres);
  s.mean =
      settings.value(QString::fromUtf8(KEY_MEAN)).toString() == QLatin1String(CoverageMeanName(CoverageMean::power))
          ? CoverageMean::power
          : CoverageMean::arithmetic;
  s.dScaleLow = number(KEY_SCALE_LOW, d.dScaleLow);
  s.dScaleHigh = number(KEY_SCALE_HIGH, d.dScaleHigh);
  s.dBandWidth = number(KEY_BAND, d.dBandWidth);
  s.dThreshold = number(KEY_THRESHOLD, d.dThreshold);
  m_core.UseSettings(CoverageSettingsProblem(s).empty() ? s : d);
  const int nChannel = settings.value(QString::fromUtf8(KEY_CHANNEL), 0).toInt();
  m_core.Show(static_cast<uint16_t>(nChannel == 1 || nChannel == 2 ? nChannel : 0));
}
