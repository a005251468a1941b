// The mouse on the plan: placing the segment points, measuring distances and the pointer's
// position in the status bar.
#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"

#include <QMouseEvent>

#include <array>

namespace {

constexpr const char *PANE_LATITUDE_FORMAT = "Latitude: %f";
constexpr const char *PANE_LONGITUDE_FORMAT = "Longitude: %f";
constexpr const char *PANE_X_FORMAT = "X: %d";
constexpr const char *PANE_Y_FORMAT = "Y: %d";

// The distance between two points of the projection: metres for a geo-coded one (latitude,
// longitude), its own units for a linear one (X, Y); 0 without a projection.
double Distance(const CSiteProjection &projection, const std::array<double, 2> &from, const std::array<double, 2> &to) {
  switch (projection.m_nKind) {
  case PROJECTION_GEO:
    return CSiteProjection::GeoDistance(from[0], from[1], to[0], to[1]);
  case PROJECTION_LINEAR:
    return CSiteProjection::LinearDistance(from[0], from[1], to[0], to[1]);
  default:
    return 0.0;
  }
}

// Sets a status-bar pane of the frame the view is in; a view outside a frame has none.
void SetPane(const QWidget &view, int nId, const QString &strText) {
  if (auto *pFrame = qobject_cast<CMainFrame *>(view.window())) {
    pFrame->SetPaneText(nId, strText);
  }
}

} // namespace

void CTarvexCollectorView::PlaceSegmentPoint(int32_t x, int32_t y) {
  _pixelpoint ptPlan;
  if (!m_Session.IsOpen() || !m_SitePlan.ClientToPlan(x, y, m_SitePlan.m_rcScreen, ptPlan)) {
    return;
  }
  CSegmentDataDialog &dialog = m_SegmentDialog;
  _walkresult result;
  if (dialog.m_nPointMode == CSegmentDataDialog::POINT_START) {
    result = m_Session.SetStartPoint(ptPlan);
  } else if (dialog.m_nPointMode == CSegmentDataDialog::POINT_STOP) {
    result = m_Session.SetStopPoint(ptPlan);
    if (result) {
      // The length of the points the segment's header holds now.
      dialog.SetSegmentLength(m_Session.Totals().dSegmentLength);
    }
  } else {
    return;
  }
  if (!result) {
    PromptMessage(this, QString::fromStdString(result.strReason), QString::fromUtf8(APP_TITLE));
    return;
  }
  // The point belongs to the segment announced: the map highlights it.
  dialog.m_nSegment = m_Session.Walk()->GetSegment();
}

void CTarvexCollectorView::mousePressEvent(QMouseEvent *pEvent) {
  if (pEvent->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(pEvent);
    return;
  }
  const QPoint pt = pEvent->position().toPoint();
  m_ptPress = pt;
  m_ptCursor = QPoint(0, 0);
  _pixelpoint ptPlan;
  // Without a plan, or in a client area of no size, nothing is pointed at.
  pEvent->accept();
  if (!m_Run.m_bProjectionLoaded || !m_SitePlan.ClientToPlan(pt.x(), pt.y(), m_SitePlan.m_rcScreen, ptPlan)) {
    return;
  }
  double c1 = 0.0;
  double c2 = 0.0;
  m_Projection.ToCoordinates(ptPlan.x, ptPlan.y, c1, c2);
  if (m_SegmentDialog.m_nPointMode != CSegmentDataDialog::POINT_NONE && !m_SegmentDialog.m_bWalking &&
      !m_bMeasureDistance) {
    PlaceSegmentPoint(pt.x(), pt.y());
    viewport()->repaint();
  }
  if (m_bMeasureDistance) {
    m_DistanceDialog.show();
    m_Projection.m_FirstPoint = {c1, c2};
    m_Projection.m_SecondPoint = {0.0, 0.0};
    // Until the pointer moves, the distance shown is the one to the origin.
    m_DistanceDialog.ShowDistance(Distance(m_Projection, m_Projection.m_FirstPoint, m_Projection.m_SecondPoint));
    m_bMeasureButtonDown = true;
  }
}

void CTarvexCollectorView::mouseReleaseEvent(QMouseEvent *pEvent) {
  if (pEvent->button() != Qt::LeftButton) {
    QAbstractScrollArea::mouseReleaseEvent(pEvent);
    return;
  }
  pEvent->accept();
  if (m_bMeasureButtonDown) {
    m_bMeasureButtonDown = false; // the dialog keeps the last value
    m_Projection.m_FirstPoint = {0.0, 0.0};
    m_Projection.m_SecondPoint = {0.0, 0.0};
  }
}

void CTarvexCollectorView::mouseMoveEvent(QMouseEvent *pEvent) {
  const QPoint pt = pEvent->position().toPoint();
  _pixelpoint ptPlan;
  if (m_Run.m_bProjectionLoaded && m_SitePlan.ClientToPlan(pt.x(), pt.y(), m_SitePlan.m_rcScreen, ptPlan)) {
    m_ptCursor = pt;
    double c1 = 0.0;
    double c2 = 0.0;
    m_Projection.ToCoordinates(ptPlan.x, ptPlan.y, c1, c2);
    if (m_Projection.m_nKind == PROJECTION_GEO) {
      SetPane(*this, ID_INDICATOR_LATITUDE, QString::asprintf(PANE_LATITUDE_FORMAT, c1));
      SetPane(*this, ID_INDICATOR_LONGITUDE, QString::asprintf(PANE_LONGITUDE_FORMAT, c2));
    }
    SetPane(*this, ID_INDICATOR_COVERAGE, m_Coverage.LevelText(ptPlan.x, ptPlan.y));
    if (m_bMeasureButtonDown) {
      m_Projection.m_SecondPoint = {c1, c2};
      m_DistanceDialog.ShowDistance(Distance(m_Projection, m_Projection.m_FirstPoint, m_Projection.m_SecondPoint));
      viewport()->repaint(); // the measuring line from m_ptPress to m_ptCursor
    }
  }
  // The pointer's client position, whatever the plan.
  SetPane(*this, ID_INDICATOR_X, QString::asprintf(PANE_X_FORMAT, pt.x()));
  SetPane(*this, ID_INDICATOR_Y, QString::asprintf(PANE_Y_FORMAT, pt.y()));
  pEvent->accept();
}
