#include "app/TarvexCollectorView.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// A line of a scroll bar and an arrow key move the window by this many plan pixels.
constexpr int32_t SCROLL_LINE = 10;
// One notch of the wheel (120 eighths of a degree) scrolls the system's wheel lines of this many
// client pixels each, and zooms once with Ctrl.
constexpr int WHEEL_NOTCH = 120;
constexpr int WHEEL_LINE_PIXELS = 20;
// UpdateScrollBars settles within this many rounds: a bar that appears or goes resizes the
// client area, which changes the window once more.
constexpr int SCROLL_BAR_ROUNDS = 4;

const char *const ZOOM_TEXT = "Zoom: %1x";
const char *const ZOOM_TEXT_AXES = "Zoom: %1x / %2x"; // across, down, when they differ
const char *const ZOOM_TEXT_NONE = "Zoom: NA";
// Scales shown with two significant digits; the axes differ when their texts do.
constexpr int ZOOM_DIGITS = 2;

_pixelrect ClientRect(const QSize &size) { return {0, 0, size.width(), size.height()}; }

// A scale for the zoom pane: two significant digits below 10 ("0.24", "2", "1.9"), whole above.
QString ScaleText(double dScale) {
  return dScale >= 10 ? QString::number(std::lround(dScale)) : QString::number(dScale, 'g', ZOOM_DIGITS);
}

// A scroll bar showing where the window is along one axis of the plan: the position is the
// window's first plan pixel within the extent, the range the extent less the window, the page
// the window.
void SetBar(QScrollBar &bar, int32_t nExtentLow, int32_t nExtentHigh, int32_t nLow, int32_t nHigh) {
  const int32_t nWindow = nHigh - nLow;
  const int32_t nRange = std::max(0, (nExtentHigh - nExtentLow) - nWindow);
  bar.setRange(0, nRange);
  bar.setPageStep(std::max(1, nWindow));
  bar.setSingleStep(SCROLL_LINE);
  bar.setValue(std::clamp(nLow - nExtentLow, 0, nRange));
}

} // namespace

void CTarvexCollectorView::OnZoomIn() {
  m_SitePlan.ZoomIn();
  WindowChanged();
}

void CTarvexCollectorView::OnZoomOut() {
  m_SitePlan.ZoomOut();
  WindowChanged();
}

void CTarvexCollectorView::OnFitToDisplay() {
  m_SitePlan.Fit();
  WindowChanged();
}

void CTarvexCollectorView::WindowChanged() {
  viewport()->update();
  UpdateScrollBars();
}

// After a change of the window onto the plan: the scroll bars show where the window is, and the
// zoom pane its scale. Setting a bar can show or hide it, which resizes the client area and so the
// window (resizeEvent); the bars are then set again.
void CTarvexCollectorView::UpdateScrollBars() {
  if (m_bUpdatingScrollBars) {
    m_bScrollBarsStale = true;
    return;
  }
  m_bUpdatingScrollBars = true;
  for (int nRound = 0; nRound < SCROLL_BAR_ROUNDS; ++nRound) {
    m_bScrollBarsStale = false;
    const _planrect &view = m_SitePlan.m_rcView;
    const _planrect &extent = m_SitePlan.m_rcExtent;
    m_nWindowWidth = view.right - view.left;
    m_nWindowHeight = view.bottom - view.top;
    m_nHScrollMax = std::max(0, m_nBitmapWidth - m_nWindowWidth);
    m_nVScrollMax = std::max(0, m_nBitmapHeight - m_nWindowHeight);
    SetBar(*horizontalScrollBar(), extent.left, extent.right, view.left, view.right);
    SetBar(*verticalScrollBar(), extent.top, extent.bottom, view.top, view.bottom);
    if (!m_bScrollBarsStale) {
      break;
    }
  }
  m_bUpdatingScrollBars = false;
  UpdateMapCommands();
}

void CTarvexCollectorView::scrollContentsBy(int, int) {
  if (!m_bUpdatingScrollBars) {
    FollowScrollBars();
  }
}

// A bar's position is the window's first plan pixel: the window scrolls there through the site
// plan, which keeps it within the plan, and the bars are set from where it ended.
void CTarvexCollectorView::FollowScrollBars() {
  const _planrect &view = m_SitePlan.m_rcView;
  const _planrect &extent = m_SitePlan.m_rcExtent;
  const int32_t nLeft = extent.left + horizontalScrollBar()->value();
  const int32_t nTop = extent.top + verticalScrollBar()->value();
  if (nLeft > view.left) {
    m_SitePlan.ScrollRight(nLeft - view.left);
  } else if (nLeft < view.left) {
    m_SitePlan.ScrollLeft(view.left - nLeft);
  }
  if (nTop > view.top && view.bottom < extent.bottom) {
    m_SitePlan.ScrollDown(nTop - view.top);
  } else if (nTop < view.top) {
    m_SitePlan.ScrollUp(view.top - nTop);
  }
  WindowChanged();
}

void CTarvexCollectorView::resizeEvent(QResizeEvent *pEvent) {
  QAbstractScrollArea::resizeEvent(pEvent);
  m_SitePlan.Resize(ClientRect(viewport()->size()));
  WindowChanged();
}

void CTarvexCollectorView::keyPressEvent(QKeyEvent *pEvent) {
  const _planrect &view = m_SitePlan.m_rcView;
  switch (pEvent->key()) {
  case Qt::Key_Left:
    m_SitePlan.ScrollLeft(SCROLL_LINE);
    break;
  case Qt::Key_Up:
    m_SitePlan.ScrollUp(SCROLL_LINE);
    break;
  case Qt::Key_Right:
    m_SitePlan.ScrollRight(SCROLL_LINE);
    break;
  case Qt::Key_Down:
    // Only while the plan goes on below the window, as the other three directions: a window
    // already reaching below the plan would be pulled up to end at its bottom edge.
    if (view.bottom < m_SitePlan.m_rcExtent.bottom) {
      m_SitePlan.ScrollDown(SCROLL_LINE);
    }
    break;
  default:
    QAbstractScrollArea::keyPressEvent(pEvent);
    return;
  }
  WindowChanged();
  pEvent->accept();
}

void CTarvexCollectorView::ScrollByClientPixels(int nDx, int nDy) {
  const _planrect &view = m_SitePlan.m_rcView;
  const QSize client = viewport()->size();
  if (client.isEmpty()) {
    return;
  }
  // Client pixels to plan pixels at the window's scale, at least one.
  const auto ToPlan = [](int nPixels, int32_t nWindow, int nClient) {
    const int64_t nPlan = std::abs(static_cast<int64_t>(nPixels) * nWindow / nClient);
    return static_cast<int32_t>(std::clamp<int64_t>(nPlan, 1, INT32_MAX / 2));
  };
  if (nDx < 0) {
    m_SitePlan.ScrollLeft(ToPlan(nDx, view.right - view.left, client.width()));
  } else if (nDx > 0) {
    m_SitePlan.ScrollRight(ToPlan(nDx, view.right - view.left, client.width()));
  }
  if (nDy < 0) {
    m_SitePlan.ScrollUp(ToPlan(nDy, view.bottom - view.top, client.height()));
  } else if (nDy > 0 && view.bottom < m_SitePlan.m_rcExtent.bottom) {
    m_SitePlan.ScrollDown(ToPlan(nDy, view.bottom - view.top, client.height()));
  }
  WindowChanged();
}

void CTarvexCollectorView::wheelEvent(QWheelEvent *pEvent) {
  const QPoint ptAngle = pEvent->angleDelta();
  if ((pEvent->modifiers() & Qt::ControlModifier) != 0) {
    m_nWheelZoomRest += ptAngle.y() != 0 ? ptAngle.y() : ptAngle.x();
    for (; m_nWheelZoomRest >= WHEEL_NOTCH; m_nWheelZoomRest -= WHEEL_NOTCH) {
      OnZoomIn();
    }
    for (; m_nWheelZoomRest <= -WHEEL_NOTCH; m_nWheelZoomRest += WHEEL_NOTCH) {
      OnZoomOut();
    }
    pEvent->accept();
    return;
  }
  // Turning the wheel away scrolls up (or left); Shift turns a vertical wheel into a horizontal one.
  QPoint ptTurn = ptAngle;
  if ((pEvent->modifiers() & Qt::ShiftModifier) != 0 && ptTurn.x() == 0) {
    ptTurn = QPoint(ptTurn.y(), 0);
  }
  m_ptWheelRest += ptTurn;
  const int nLinePixels = QApplication::wheelScrollLines() * WHEEL_LINE_PIXELS;
  const QPoint ptSteps = m_ptWheelRest * nLinePixels / WHEEL_NOTCH;
  if (!ptSteps.isNull()) {
    m_ptWheelRest -= ptSteps * WHEEL_NOTCH / nLinePixels;
    ScrollByClientPixels(-ptSteps.x(), -ptSteps.y());
  }
  pEvent->accept();
}

QString CTarvexCollectorView::ZoomText() const {
  const _planrect &view = m_SitePlan.m_rcView;
  const _pixelrect &screen = m_SitePlan.m_rcScreen;
  const int32_t nWindowWidth = view.right - view.left;
  const int32_t nWindowHeight = view.bottom - view.top;
  if (!m_Run.m_bProjectionLoaded || nWindowWidth <= 0 || nWindowHeight <= 0) {
    return QString::fromUtf8(ZOOM_TEXT_NONE);
  }
  const QString strAcross = ScaleText(static_cast<double>(screen.right - screen.left) / nWindowWidth);
  const QString strDown = ScaleText(static_cast<double>(screen.bottom - screen.top) / nWindowHeight);
  if (strAcross == strDown) {
    return QString::fromUtf8(ZOOM_TEXT).arg(strAcross);
  }
  return QString::fromUtf8(ZOOM_TEXT_AXES).arg(strAcross, strDown);
}

void CTarvexCollectorView::UpdateMapCommands() {
  CMainFrame *pFrame = Frame();
  if (pFrame == nullptr) {
    return;
  }
  if (QAction *pMeasure = pFrame->Action(ID_MEASURE_DISTANCE)) {
    pMeasure->setEnabled(m_Run.m_bProjectionLoaded);
    pMeasure->setChecked(m_bMeasureDistance);
  }
  // A pane that already says it (its initial text, blanks included) keeps its text.
  const QString strZoom = ZoomText();
  if (const QLabel *pPane = pFrame->Pane(ID_INDICATOR_ZOOM); pPane != nullptr && pPane->text().trimmed() != strZoom) {
    pFrame->SetPaneText(ID_INDICATOR_ZOOM, strZoom);
  }
}

void CTarvexCollectorView::OnMeasureDistance() {
  if (!m_Run.m_bProjectionLoaded && !m_bMeasureDistance) {
    UpdateMapCommands(); // nothing to measure on: the command stays off
    return;
  }
  m_bMeasureDistance = !m_bMeasureDistance;
  if (!m_bMeasureDistance) {
    m_bMeasureButtonDown = false;
    m_DistanceDialog.hide();
    viewport()->repaint(); // the measuring line goes at once
  }
  UpdateMapCommands();
}
