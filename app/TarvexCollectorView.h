#pragma once

#include "dialogs/ConnectionDialog.h"
#include "dialogs/DistanceMeasurementDialog.h"
#include "dialogs/IntroDialog.h"
#include "dialogs/SegmentDataDialog.h"
#include "dialogs/SegmentDialogHost.h"
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "survey/CollectionRun.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

#include <cstdint>
#include <memory>
#include <span>

class QPainter;

// The main view: the whole state of a collection run, the window onto the floor plan, and the
// handlers of the operator's commands on them. One class, its code split by concern:
//   TarvexCollectorView.cpp  creation and destruction
//   ViewCommands.cpp         the command map and the collection commands: Connect, Open
//                            Projection, Open Collection, Show Segment, Instructions, and the
//                            open-by-kind entry point for a file named by the recent-file list,
//                            a drop or the command line (see CMainFrame::FileOpenRequested)
//   ViewPainting.cpp         paintEvent
// and, as they come: ViewPackets.cpp (the receiver's packets, handed to m_Run), ViewPointing.cpp
// (the mouse on the plan), ViewScrolling.cpp (zoom, fit, scroll bars, arrow keys) and
// ViewSnapshot.cpp (snapshot and printing).
//
// The members are public and named as the collection run's description names them, so that the
// dialogs, the frame and the tests reach them as the run's handlers do.
class CTarvexCollectorView : public QAbstractScrollArea, public CSegmentDialogHost {
  Q_OBJECT

public:
  // One entry of the view's command map: a command id and the handler that carries it out.
  struct _commandroute {
    int nId = 0;
    void (CTarvexCollectorView::*pfnHandler)() = nullptr;
  };

  explicit CTarvexCollectorView(QWidget *pParent = nullptr);
  ~CTarvexCollectorView() override;
  CTarvexCollectorView(const CTarvexCollectorView &) = delete;
  CTarvexCollectorView &operator=(const CTarvexCollectorView &) = delete;

  // The commands the view carries out. The frame connects each to its menu item, toolbar
  // button and accelerators; a command that nobody handles is shown disabled.
  static std::span<const _commandroute> CommandMap();

  // Save (Ctrl+S): the document holds nothing, so nothing is saved.
  void OnFileSave();

  // After the window onto the plan changed: scroll ranges and positions follow it.
  void UpdateScrollBars();

  // The dialogs the view owns, made hidden with the view as their parent. They go in the
  // opposite order when the view ends: the connection dialog first, its link stopping its worker.
  CIntroDialog m_IntroDialog;                  // the receiver information panel, modeless
  CSegmentDataDialog m_SegmentDialog;          // segment walking, modeless
  CDistanceMeasurementDialog m_DistanceDialog; // modeless
  CConnectionDialog m_ConnectionDialog;        // modal; owns the receiver link, m_Link (a CBrackwell)

  // The program's one projection and one site plan, for the whole run (the view lives as long
  // as the program). Declared before the survey data, which refers to the plan.
  CSiteProjection m_Projection;
  CSitePlan m_SitePlan;

  // What is known about the receiver and the run's flags, with the packet handling that keeps
  // them: m_Run.m_nReceiverPresence, m_Run.m_Receiver[2], m_Run.m_bMeasurementModeOn,
  // m_Run.m_bChannel1Levels, m_Run.m_bChannel2Levels, m_Run.m_bCollectionOpen and
  // m_Run.m_bProjectionLoaded; m_Run.m_bWalking follows the segment dialog's BEGIN and STOP,
  // and m_Run.m_pSiteData points to m_pSiteData below.
  CCollectionRun m_Run;
  bool m_bMeasureDistance = false;   // distance-measuring mode is on
  bool m_bMeasureButtonDown = false; // a left-button press in that mode is being held
  bool m_bConnected = false;         // the operator has connected the receiver
  QImage m_PlanBitmap;               // the floor plan; null until a projection is loaded
  int32_t m_nBitmapWidth = 0;        // size of the plan bitmap in pixels
  int32_t m_nBitmapHeight = 0;
  int32_t m_nWindowWidth = 0; // size in plan pixels of the part of the plan shown
  int32_t m_nWindowHeight = 0;
  int32_t m_nHScrollMax = 0; // scroll ranges: bitmap size less client size
  int32_t m_nVScrollMax = 0;
  QPoint m_ptPress;  // client point of the last left-button press
  QPoint m_ptCursor; // client point of the moving mouse
  // The open survey data, owned: Open Collection replaces it, and the view's end writes the
  // levels it still holds.
  std::unique_ptr<CSiteData> m_pSiteData;
  // The walk of the open survey's segments: made by Open Collection together with m_pSiteData, and
  // gone before it. It keeps m_Run.m_bWalking, so levels are recorded exactly while it walks.
  std::unique_ptr<CSegmentWalk> m_pWalk;

  // ---- Walking and pointing: the segment dialog's host (ViewWalkHost.cpp) and the mouse on the
  // plan (ViewPointing.cpp). QAbstractScrollArea hands the viewport's mouse events to the three
  // handlers, with points in client pixels of the viewport.
  CSegmentWalk *GetWalk() const override;
  CSiteData *GetSiteData() const override;
  bool IsReceiverConnected() const override;
  bool IsReceiverConnecting() const override;
  void ConnectReceiver() override;
  bool IsMeasurementModeOn() const override;
  bool HasChannelsToRecord() const override;
  void RedrawPlan() override;
  // Places the point the segment dialog's point mode names (start 1, stop 2) at the plan pixel
  // under client point (x, y), for the segment the walk announced; a stop point shows the
  // segment's length in the dialog. A point the walk refuses is not placed, and the operator is
  // told why.
  void PlaceSegmentPoint(int32_t x, int32_t y);
  // A press places a segment point (point mode set, not walking, not measuring) or, in measuring
  // mode, starts a measurement; moving shows the pointer's position in the status bar and, while
  // a measurement is held, the distance; the release ends the measurement, keeping its value.
  void mousePressEvent(QMouseEvent *pEvent) override;
  void mouseMoveEvent(QMouseEvent *pEvent) override;
  void mouseReleaseEvent(QMouseEvent *pEvent) override;
  // ---- end of walking and pointing

protected:
  void paintEvent(QPaintEvent *pEvent) override;

private:
  // The view without a projection: black, with the request to select one in the middle.
  void PaintNoProjection(QPainter &painter) const;
};
