#include "app/TarvexCollectorView.h"

#include "app/MarkerNumbers.h"

#include "resources/pictures/Pictures.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace {

const char *const VIEW_TEXT_NO_PROJECTION = "( SELECT A PROJECTION )";
// Half the height of the band the text is centred in.
constexpr int NO_PROJECTION_HALF_BAND = 25;
constexpr int NO_PROJECTION_POINT_SIZE = 8;

// The markers: 23 x 23 pictures whose top-left corner goes 12 pixels up and left of the point,
// and their numbers, 7 pixels up and left of it.
constexpr int MARKER_SIZE = 23;
constexpr int MARKER_OFFSET = 12;
constexpr int NUMBER_OFFSET = 7;
constexpr int BITMAP_START = 137;
constexpr int BITMAP_START_CURRENT = 172;
constexpr int BITMAP_STOP = 143;
constexpr int BITMAP_STOP_CURRENT = 173;
constexpr int MARKER_BITMAPS[] = {BITMAP_START, BITMAP_START_CURRENT, BITMAP_STOP, BITMAP_STOP_CURRENT};
// The marker numbers' font: its height and its character width are the client's over 25.
constexpr int NUMBER_FONT_DIVISOR = 25;
constexpr int NUMBER_FONT_WEIGHT = 700;
constexpr int STRETCH_MIN = 1; // the range QFont takes
constexpr int STRETCH_MAX = 4000;

// The pens: a segment's line, the current segment's line, and the measuring line, dashed as the
// usual dashed pen of one pixel is (18 on, 6 off).
const QColor SEGMENT_COLOUR(0, 0, 0);
constexpr int SEGMENT_WIDTH = 1;
const QColor CURRENT_SEGMENT_COLOUR(0, 0, 255);
constexpr int CURRENT_SEGMENT_WIDTH = 2;
const QColor DISTANCE_COLOUR(255, 0, 0);
const QList<qreal> DISTANCE_DASHES = {18, 6};
// A flagged segment's line: a wide warning band under the line. A replaced or excluded segment's
// line is dashed in grey (blue while it is the current one): it no longer counts.
const QColor FLAGGED_COLOUR(255, 140, 0, 200);
constexpr int FLAGGED_WIDTH = 7;
const QColor NOT_COUNTED_COLOUR(110, 110, 110);
const QList<qreal> NOT_COUNTED_DASHES = {4, 3};
// The ground of a number written beside its marker.
const QColor NUMBER_GROUND(255, 255, 255, 220);

// The bold font of the marker numbers for a client area of the given size: height client height
// / 25, and each character as wide as client width / 25 by stretching the font. A client less
// than 25 pixels high or wide keeps the font's own size or width.
QFont NumberFont(const QSize &client) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setWeight(static_cast<QFont::Weight>(NUMBER_FONT_WEIGHT));
  font.setStyleHint(QFont::TypeWriter);
  if (const int nHeight = client.height() / NUMBER_FONT_DIVISOR; nHeight > 0) {
    font.setPixelSize(nHeight);
  }
  if (const int nWidth = client.width() / NUMBER_FONT_DIVISOR; nWidth > 0) {
    const int nNatural = QFontMetrics(font).horizontalAdvance(QLatin1Char('0'));
    if (nNatural > 0) {
      font.setStretch(std::clamp(static_cast<int>(std::lround(100.0 * nWidth / nNatural)), STRETCH_MIN, STRETCH_MAX));
    }
  }
  return font;
}

QPoint ScreenPoint(const _planpoint &point) { return {point.nScreenX, point.nScreenY}; }

} // namespace

void CTarvexCollectorView::paintEvent(QPaintEvent *) {
  QPainter painter(viewport());
  PaintView(painter, viewport()->devicePixelRatioF());
}

void CTarvexCollectorView::PaintView(QPainter &painter, qreal dRatio) {
  painter.drawImage(QPoint(0, 0), ViewPicture(dRatio));
  if (m_Run.m_bProjectionLoaded && m_bMeasureDistance) {
    PaintMeasuringLine(painter);
  }
}

const QImage &CTarvexCollectorView::ViewPicture(qreal dRatio) {
  const QImage &plan = CoveredPlanPicture(dRatio);
  std::vector<int32_t> state = MarkerState();
  if (plan.cacheKey() == m_nViewPictureBase && state == m_MarkerState && m_ViewPicture.size() == plan.size()) {
    return m_ViewPicture;
  }
  if (m_ViewPicture.size() != plan.size() || m_ViewPicture.format() != plan.format()) {
    m_ViewPicture = QImage(plan.size(), plan.format());
  }
  m_ViewPicture.setDevicePixelRatio(dRatio);
  QPainter painter(&m_ViewPicture);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPoint(0, 0), plan);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  PaintMarkers(painter, dRatio);
  m_nViewPictureBase = plan.cacheKey();
  m_MarkerState = std::move(state);
  return m_ViewPicture;
}

std::vector<int32_t> CTarvexCollectorView::MarkerState() const {
  const CSiteData *pSurvey = m_Session.SiteData();
  if (pSurvey == nullptr) {
    return {};
  }
  const int nCount = std::clamp(pSurvey->m_nSegmentCount, 0, PLAN_MAX_SEGMENTS);
  const CSegmentWalk *pWalk = m_Session.Walk();
  const bool bAnnounced = pWalk != nullptr && pWalk->GetState() == WalkState::announced;
  std::vector<int32_t> state{nCount, m_SegmentDialog.m_nSegment, bAnnounced ? pWalk->GetSegment() : 0};
  state.reserve(state.size() + 11 * static_cast<size_t>(nCount));
  for (int i = 0; i < nCount; ++i) {
    for (const _planpoint *pPoint : {&m_SitePlan.m_Start[i], &m_SitePlan.m_Stop[i]}) {
      state.insert(state.end(), {pPoint->nScreenX, pPoint->nScreenY, pPoint->nPlanX, pPoint->nPlanY, pPoint->bPlaced});
    }
    state.push_back(static_cast<int32_t>(m_pQuality->Standing(static_cast<uint32_t>(i + 1))));
  }
  return state;
}

const QImage &CTarvexCollectorView::PlanPicture(qreal dRatio) {
  const _planrect &view = m_SitePlan.m_rcView;
  const _planrect &extent = m_SitePlan.m_rcExtent;
  const bool bPlan = m_Run.m_bProjectionLoaded && !m_PlanBitmap.isNull();
  const _planpicturekey key{
      {view.left, view.right, view.top, view.bottom, extent.left, extent.right, extent.top, extent.bottom},
      viewport()->size(),
      dRatio,
      bPlan ? m_PlanBitmap.cacheKey() : 0,
      m_Run.m_bProjectionLoaded};
  if (key == m_PlanPictureKey && !m_PlanPicture.isNull()) {
    return m_PlanPicture;
  }
  if (key.bProjection != m_PlanPictureKey.bProjection) {
    // Loaded or gone: Measure Distance follows, once this paint is over.
    QMetaObject::invokeMethod(this, &CTarvexCollectorView::UpdateMapCommands, Qt::QueuedConnection);
  }
  m_PlanPictureKey = key;
  const QSize device(static_cast<int>(std::ceil(key.client.width() * dRatio)),
                     static_cast<int>(std::ceil(key.client.height() * dRatio)));
  if (m_PlanPicture.size() != device) {
    m_PlanPicture = QImage(device.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  }
  m_PlanPicture.setDevicePixelRatio(dRatio);
  QPainter painter(&m_PlanPicture);
  if (!bPlan) {
    m_PlanLevels.Clear(); // no plan to keep levels of
    PaintNoProjection(painter);
    return m_PlanPicture;
  }
  // Outside the plan (a window reaching past its edge) the view is black.
  painter.fillRect(QRect(QPoint(0, 0), key.client), Qt::black);
  const _pixelrect source = m_SitePlan.VisibleSource();
  const _pixelrect target = m_SitePlan.VisibleDestination();
  const QRectF rcTarget(QPointF(target.left, target.top), QPointF(target.right, target.bottom));
  const QRect rcSource(QPoint(source.left, source.top), QPoint(source.right - 1, source.bottom - 1));
  if (!m_PlanLevels.IsBuiltFrom(m_PlanBitmap)) {
    if (CPlanImage::IsReduced(painter, rcTarget, rcSource)) {
      m_PlanLevels.Build(m_PlanBitmap); // needed now
    } else if (!m_bLevelsQueued) {
      // A new plan is shown first; its levels follow once the picture is on the screen.
      m_bLevelsQueued = true;
      QMetaObject::invokeMethod(this, &CTarvexCollectorView::BuildPlanLevels, Qt::QueuedConnection);
    }
  }
  m_PlanLevels.Draw(painter, rcTarget, m_PlanBitmap, rcSource);
  return m_PlanPicture;
}

void CTarvexCollectorView::BuildPlanLevels() {
  m_bLevelsQueued = false;
  if (m_Run.m_bProjectionLoaded && !m_PlanBitmap.isNull() && !m_PlanLevels.IsBuiltFrom(m_PlanBitmap)) {
    m_PlanLevels.Build(m_PlanBitmap);
  }
}

void CTarvexCollectorView::PaintNoProjection(QPainter &painter) const {
  const QRect rcClient = viewport()->rect();
  painter.fillRect(rcClient, Qt::black);
  painter.setPen(Qt::white);
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(NO_PROJECTION_POINT_SIZE);
  painter.setFont(font);
  const QRect rcBand(0, rcClient.height() / 2 - NO_PROJECTION_HALF_BAND, rcClient.width(), 2 * NO_PROJECTION_HALF_BAND);
  painter.drawText(rcBand, Qt::AlignCenter, QString::fromUtf8(VIEW_TEXT_NO_PROJECTION));
}

// For each segment: the stop marker and its number, the line from start to stop, then the start
// marker and its number; a later segment over an earlier one. The current segment's markers have
// the thick rim and its line is blue. A flagged segment's line lies on a warning band; a replaced
// or excluded one is dashed. A number that a later marker at the same point would cover is
// written beside its marker (MarkerNumbers.h), and no number is written past the client's edge.
void CTarvexCollectorView::PaintMarkers(QPainter &painter, qreal dRatio) {
  const CSiteData *pSurvey = m_Session.SiteData();
  if (pSurvey == nullptr) {
    return;
  }
  const int nCount = std::min(pSurvey->m_nSegmentCount, PLAN_MAX_SEGMENTS);
  const QFont font = NumberFont(viewport()->size());
  const QFontMetrics metrics(font, painter.device());
  // The markers in the order they are drawn, and where their numbers go.
  struct _marker {
    const _planpoint *pPoint;
    int nBitmapId;
    int k;
  };
  std::vector<_marker> markers;
  QList<_markernumber> numbers;
  for (int k = 1; k <= nCount; ++k) {
    const bool bCurrent = k == m_SegmentDialog.m_nSegment;
    const _planpoint &start = m_SitePlan.m_Start[k - 1];
    const _planpoint &stop = m_SitePlan.m_Stop[k - 1];
    if (IsMarkerShown(k, stop)) {
      markers.push_back({&stop, bCurrent ? BITMAP_STOP_CURRENT : BITMAP_STOP, k});
    }
    if (IsMarkerShown(k, start)) {
      markers.push_back({&start, bCurrent ? BITMAP_START_CURRENT : BITMAP_START, k});
    }
  }
  for (const _marker &marker : markers) {
    numbers.append(
        {ScreenPoint(*marker.pPoint), QSize(metrics.horizontalAdvance(QString::number(marker.k)), metrics.height())});
  }
  const QList<_numberplace> places = PlaceMarkerNumbers(numbers, viewport()->size());
  painter.save();
  painter.setFont(font);
  PaintFlaggedBands(painter, nCount); // under every marker and line
  for (size_t i = 0; i < markers.size(); ++i) {
    const _marker &marker = markers[i];
    const _planpoint &point = *marker.pPoint;
    const bool bStop = marker.pPoint == &m_SitePlan.m_Stop[marker.k - 1];
    // A segment's line goes between its stop marker and its start marker, when both are there.
    if (!bStop && IsMarkerShown(marker.k, m_SitePlan.m_Stop[marker.k - 1])) {
      PaintSegmentLine(painter, marker.k, m_SitePlan.m_Stop[marker.k - 1]);
    }
    painter.drawImage(QPoint(point.nScreenX - MARKER_OFFSET, point.nScreenY - MARKER_OFFSET),
                      MarkerPicture(marker.nBitmapId, dRatio));
    const _numberplace &place = places[static_cast<qsizetype>(i)];
    if (place.bBeside) {
      painter.fillRect(place.rc, NUMBER_GROUND);
    }
    painter.setPen(Qt::black);
    painter.drawText(QPoint(place.rc.left(), place.rc.top() + metrics.ascent()), QString::number(marker.k));
  }
  painter.restore();
}

// The warning band along each flagged segment of the first nCount.
void CTarvexCollectorView::PaintFlaggedBands(QPainter &painter, int nCount) {
  painter.setPen(QPen(FLAGGED_COLOUR, FLAGGED_WIDTH, Qt::SolidLine, Qt::RoundCap));
  for (int k = 1; k <= nCount; ++k) {
    const _planpoint &start = m_SitePlan.m_Start[k - 1];
    const _planpoint &stop = m_SitePlan.m_Stop[k - 1];
    if (IsMarkerShown(k, start) && IsMarkerShown(k, stop) &&
        m_pQuality->Standing(static_cast<uint32_t>(k)) == SegmentStanding::flagged) {
      painter.drawLine(ScreenPoint(start), ScreenPoint(stop));
    }
  }
}

// The line of segment k from its start to its stop, dashed when it no longer counts.
void CTarvexCollectorView::PaintSegmentLine(QPainter &painter, int k, const _planpoint &stop) {
  const _planpoint &start = m_SitePlan.m_Start[k - 1];
  const bool bCurrent = k == m_SegmentDialog.m_nSegment;
  const SegmentStanding standing = m_pQuality->Standing(static_cast<uint32_t>(k));
  QPen pen = bCurrent ? QPen(CURRENT_SEGMENT_COLOUR, CURRENT_SEGMENT_WIDTH) : QPen(SEGMENT_COLOUR, SEGMENT_WIDTH);
  if (standing == SegmentStanding::replaced || standing == SegmentStanding::excluded) {
    if (!bCurrent) {
      pen.setColor(NOT_COUNTED_COLOUR);
    }
    pen.setDashPattern(NOT_COUNTED_DASHES);
  }
  painter.setPen(pen);
  painter.drawLine(ScreenPoint(start), ScreenPoint(stop));
}

bool CTarvexCollectorView::IsMarkerShown(int k, const _planpoint &point) const {
  if (point.bPlaced == 0) {
    return false;
  }
  const CSegmentWalk *pWalk = m_Session.Walk();
  const bool bAnnouncedOnly = pWalk != nullptr && pWalk->GetState() == WalkState::announced && pWalk->GetSegment() == k;
  return !bAnnouncedOnly || point.nPlanX != 0 || point.nPlanY != 0;
}

const QImage &CTarvexCollectorView::MarkerPicture(int nBitmapId, qreal dRatio) {
  if (dRatio != m_dMarkerRatio) {
    const int nSide = static_cast<int>(std::lround(MARKER_SIZE * dRatio));
    for (size_t i = 0; i < m_markerPictures.size(); ++i) {
      QImage picture(nSide, nSide, QImage::Format_RGB32);
      picture.fill(Qt::white);
      QSvgRenderer renderer(QString::fromStdString(MarkerPicturePath(MARKER_BITMAPS[i])));
      QPainter painter(&picture);
      renderer.render(&painter, QRectF(0, 0, nSide, nSide));
      painter.end();
      picture.setDevicePixelRatio(dRatio);
      m_markerPictures[i] = picture;
    }
    m_dMarkerRatio = dRatio;
  }
  const auto *pFound = std::find(std::begin(MARKER_BITMAPS), std::end(MARKER_BITMAPS), nBitmapId);
  return m_markerPictures[static_cast<size_t>(pFound - std::begin(MARKER_BITMAPS))];
}

void CTarvexCollectorView::PaintMeasuringLine(QPainter &painter) const {
  QPen pen(DISTANCE_COLOUR, 1);
  pen.setDashPattern(DISTANCE_DASHES);
  painter.save();
  painter.setPen(pen);
  painter.drawLine(m_ptPress, m_ptCursor);
  painter.restore();
}
