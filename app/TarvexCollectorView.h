#pragma once

#include "dialogs/ConnectionDialog.h"
#include "dialogs/DistanceMeasurementDialog.h"
#include "dialogs/IntroDialog.h"
#include "dialogs/SegmentDataDialog.h"
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "survey/CollectionRun.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"

#include "app/PlanImage.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class CMainFrame;
class QDate;
class QPainter;
class QPrinter;

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
class CTarvexCollectorView : public QAbstractScrollArea {
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

protected:
  void paintEvent(QPaintEvent *pEvent) override;

private:
  // The view without a projection: black, with the request to select one in the middle.
  void PaintNoProjection(QPainter &painter) const;

  // ---- The map: painting (ViewPainting.cpp), zoom, fit and scrolling (ViewScrolling.cpp), the
  // snapshot (ViewSnapshot.cpp) and printing (ViewPrinting.cpp). ----
public:
  // Zoom in (32771), zoom out (32772) and fit (32779) through the site plan; the scroll bars, the
  // zoom pane and the picture follow.
  void OnZoomIn();
  void OnZoomOut();
  void OnFitToDisplay();
  // Measure Distance (32778): turns distance measuring on or off. Off also ends a held press,
  // hides the distance dialog and removes the measuring line. Does nothing without a projection.
  void OnMeasureDistance();
  // Snapshot (32773): saves the view as it is drawn as a BMP, JPEG or PNG file, by the extension
  // of the name the operator chooses; the name offered is "TC%05d.bmp" of m_nSnapshotCounter.
  void OnSnapshot();
  // Print (57607) and Print Preview (57609): the view with a title line, through the print dialog
  // and the print preview, both run through the prompts.
  void OnFilePrint();
  void OnFilePrintPreview();

  // The view as it is drawn: the client area rendered by the painting code into an image of its
  // device pixels (the device pixel ratio is the image's). Null for an empty client area.
  QImage RenderView();
  // Prints the view on one page of printer under PrintTitle of today. False, with a message naming
  // the printer or the file, when the printer cannot be painted on.
  bool PrintView(QPrinter &printer);
  // The title line of a printed view: the projection's and the survey's file names and the date.
  QString PrintTitle(const QDate &date) const;
  // The text of the zoom pane: the scale of the plan on the screen, client pixels per plan pixel.
  QString ZoomText() const;
  // Enables Measure Distance while a projection is loaded, sets its check mark, and shows the
  // zoom in its pane. UpdateScrollBars calls it; so does a change of the loaded projection.
  void UpdateMapCommands();

  // The number offered in the next snapshot's name; it starts at 1 and grows with every
  // snapshot asked for, saved or cancelled.
  int m_nSnapshotCounter = 1;

protected:
  // A resize keeps the plan's scale and its centre (CSitePlan::Resize): the markers stay on their
  // plan pixels.
  void resizeEvent(QResizeEvent *pEvent) override;
  // The arrow keys scroll by 10 plan pixels; the scroll bar of that direction follows.
  void keyPressEvent(QKeyEvent *pEvent) override;
  // The wheel scrolls (Shift+wheel across), Ctrl+wheel zooms in and out around the centre.
  void wheelEvent(QWheelEvent *pEvent) override;
  // A scroll bar moved (a step, a page, the thumb dragged): the window follows the bar.
  void scrollContentsBy(int dx, int dy) override;

private:
  // The whole picture of the view: the cached plan with the markers over it, then the measuring
  // line, which follows the pointer.
  void PaintView(QPainter &painter, qreal dRatio);
  // The plan scaled to the client area, or the view without a projection, rebuilt only when the
  // window onto the plan, the client size, the device pixel ratio or the bitmap changed.
  const QImage &PlanPicture(qreal dRatio);
  // PlanPicture with the markers, their numbers and the lines drawn over it, rebuilt only when
  // the plan picture or the markers (MarkerState) changed.
  const QImage &ViewPicture(qreal dRatio);
  // Everything the markers are drawn from: the survey's count, the current and the announced
  // segment, and the entries of the marker tables.
  std::vector<int32_t> MarkerState() const;
  // Builds the plan's levels once the first picture of a new plan is on the screen.
  void BuildPlanLevels();
  void PaintMarkers(QPainter &painter, qreal dRatio);
  void PaintMeasuringLine(QPainter &painter) const;
  // Whether a marker entry of segment k is drawn: placed, and, for a segment announced and not
  // yet begun, set by the operator (New Segment leaves its entries at plan point (0, 0)).
  bool IsMarkerShown(int k, const _planpoint &point) const;
  // Marker picture 137, 172, 143 or 173 rendered at the device pixel ratio.
  const QImage &MarkerPicture(int nBitmapId, qreal dRatio);
  // Scrolls the window to the scroll bars' positions.
  void FollowScrollBars();
  // Scrolls by client pixels across (nDx) and down (nDy), at least one plan pixel each way.
  void ScrollByClientPixels(int nDx, int nDy);
  // The window changed: scroll bars, zoom pane and picture follow.
  void WindowChanged();
  CMainFrame *MapFrame() const;

  // What the cached plan picture was made from.
  struct _planpicturekey {
    std::array<int32_t, 8> window{}; // the window onto the plan and the plan's extent
    QSize client;
    qreal dRatio = 0;
    qint64 nBitmapKey = 0;
    bool bProjection = false;
    bool operator==(const _planpicturekey &) const = default;
  };
  CPlanImage m_PlanLevels;                // pre-scaled levels of m_PlanBitmap
  bool m_bLevelsQueued = false;           // BuildPlanLevels is to run
  QImage m_ViewPicture;                   // m_PlanPicture with the markers over it
  qint64 m_nViewPictureBase = 0;          // the cacheKey of the m_PlanPicture it was made from
  std::vector<int32_t> m_MarkerState;     // the markers it shows
  QImage m_PlanPicture;                   // the plan as the client area shows it, device pixels
  _planpicturekey m_PlanPictureKey;       // what m_PlanPicture shows
  std::array<QImage, 4> m_markerPictures; // 137, 172, 143, 173 at m_dMarkerRatio
  qreal m_dMarkerRatio = 0;
  bool m_bUpdatingScrollBars = false; // UpdateScrollBars is setting the bars
  bool m_bScrollBarsStale = false;    // the window changed while it did
  QPoint m_ptWheelRest;               // wheel turns not yet a whole step (eighths of a degree)
  int m_nWheelZoomRest = 0;
};
