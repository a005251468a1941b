#pragma once

#include "app/CoverageOverlay.h"
#include "app/ReceiverStatus.h"
#include "dialogs/ConnectionDialog.h"
#include "dialogs/DistanceMeasurementDialog.h"
#include "dialogs/HelpDialog.h"
#include "dialogs/IntroDialog.h"
#include "dialogs/SegmentDataDialog.h"
#include "dialogs/SegmentDetailsDialog.h"
#include "dialogs/SegmentDialogHost.h"
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "quality/SurveyQuality.h"
#include "survey/SurveySession.h"

#include "app/PlanImage.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPageLayout>
#include <QPoint>
#include <QSizeF>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

class CBrackwell;
class CMainFrame;
class CReceiverPacketEvent;
class CAlertBanner;
class CWaitClock;
class QLabel;
class QDate;
class QPainter;
class QPrinter;

// The main view: the window onto the floor plan, the receiver's connection and the handlers of
// the operator's commands. The survey itself lives in the survey session (m_Session: the plan,
// the projection, the collection run, the open survey and its walk), which the view asks and
// shows. One class, its code split by concern:
//   TarvexCollectorView.cpp  creation and destruction, and what the frame hooks up
//   ViewCommands.cpp         the command map, Connect, Show Segment, Instructions, the commands'
//                            enabled states, and the open-by-kind entry point for a file named
//                            by the recent-file list, a drop or the command line
//                            (CMainFrame::FileOpenRequested)
//   ViewOpenProjection.cpp   Open Projection
//   ViewOpenCollection.cpp   Open Collection, and closing the survey it replaces
//   ViewPackets.cpp          the receiver's packets, taken from the link and handed to the session
//   ViewPainting.cpp         paintEvent
//   ViewCoverage.cpp         View > Coverage: the coverage over the plan (CCoverageOverlay) and
//                            its settings
//   ViewQuality.cpp          the segments' checks: the check at STOP, the browsed segment's
//                            details, Walk again, the walk's status pane and the window's title
// and, as they come: ViewPointing.cpp (the mouse on the plan), ViewScrolling.cpp (zoom, fit,
// scroll bars, arrow keys) and ViewSnapshot.cpp (snapshot and printing).
//
// Its members are its own: the frame, the dialogs and the tests reach what they need through the
// commands, the survey session (Session()), the segment dialog's host, the signals and the
// prompt seam, and see what the window shows.
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

  // The survey's home: the plan, the projection, the collection run, the open survey and its
  // walk. Everything the survey does goes through it; the view shows what it says.
  CSurveySession &Session() { return m_Session; }
  const CSurveySession &Session() const { return m_Session; }

  // Save (Ctrl+S): the document holds nothing, so nothing is saved.
  void OnFileSave();

  // After the window onto the plan changed: scroll ranges and positions follow it.
  void UpdateScrollBars();

  // ---- What the frame hooks up (TarvexCollectorView.cpp) ----
  // The status-bar pane that shows the receiver's state.
  void SetReceiverPane(QLabel *pPane);
  // About: the receiver information panel, shown (modeless) and brought to the front.
  void ShowReceiverInformation();
  // The receiver's pane and banner read time from clock from now on (tests move it by hand), and
  // show what they see now.
  void UseReceiverClock(CWaitClock &clock);
  void RefreshReceiverStatus();

  // ---- Walking and pointing: the segment dialog's host (ViewWalkHost.cpp) and the mouse on the
  // plan (ViewPointing.cpp). QAbstractScrollArea hands the viewport's mouse events to the three
  // handlers, with points in client pixels of the viewport.
  CSurveySession *GetSession() override;
  bool IsReceiverConnected() const override;
  bool IsReceiverConnecting() const override;
  void ConnectReceiver() override;
  void RedrawPlan() override;
  void WalkStateChanged() override;
  CSurveyQuality *GetQuality() override { return m_pQuality.get(); }
  // << or >>: the details beside the segment dialog show the segment browsed (ViewQuality.cpp).
  void SegmentBrowsed(int32_t nSegment) override;
  // Places the point the segment dialog's point mode names (start 1, stop 2) at the plan pixel
  // under client point (x, y), for the segment the walk announced; a stop point shows the
  // segment's length in the dialog. A point the walk refuses is not placed, and the operator is
  // told why.
  void PlaceSegmentPoint(int32_t x, int32_t y);
  // ---- end of walking and pointing

  // ---- The segments' checks (ViewQuality.cpp) ----
  // The open survey's checks and quality side file, following the session.
  const CSurveyQuality &Quality() const { return *m_pQuality; }
  // The window's title: "s.tvd (office.gpf) - Tarvex Collector", the open survey and its
  // projection as the document; without either, the program's name alone.
  QString DocumentTitle() const;

  // ---- The collection run: the receiver's packets, the connection and the collection commands
  // (ViewPackets.cpp, ViewCommands.cpp, ViewOpenProjection.cpp, ViewOpenCollection.cpp) ----

  // Connect (32783): while connected, the question whether to end the connection; otherwise the
  // connect sequence.
  void OnConnect();
  // The connect sequence, also for BEGIN while the receiver is not connected: the link's packets
  // are sent to this view, the connection dialog runs, and once it has opened the receiver the
  // view waits (GetConnectWait, 3000 ms) with the window working and "Connecting to the
  // receiver…" in the status bar, then sends CMD_SERIAL_NUMBER and counts the receiver as
  // connected. Nothing is sent to the receiver and no packet is handled before that command.
  // Does nothing while connected or connecting.
  void ConnectSequence();
  // Between the connection dialog's OK and CMD_SERIAL_NUMBER. BEGIN and Connect wait for it.
  bool IsConnecting() const { return m_bConnecting; }
  // The wait after the connection dialog; a wait under way starts again with the new length.
  void SetConnectWait(int nMilliseconds) { m_ConnectTimer.setInterval(nMilliseconds); }
  int GetConnectWait() const { return m_ConnectTimer.interval(); }

  // Open Projection (32777) and Open Collection (32770).
  void OnOpenProjection();
  void OnOpenCollection();
  // Open Projection from its file on: the plan loaded and shown, or the operator told why not.
  // True when the projection is loaded.
  bool OpenProjectionFile(const QString &strPath);
  // The last steps of Open Projection, for a floor plan already read: it is shown one to one from
  // its top-left corner, with the scroll ranges, and counts as loaded.
  void ShowPlan(QImage plan);
  // The survey at strPath opened (nMode CSiteData::modeOpenExisting) or created (modeCreateNew)
  // in place of the open one, and what follows it; true when it is open.
  bool OpenCollectionFile(const QString &strPath, int nMode);
  // Closes the open survey with everything it holds written (CSurveySession::Close). When that
  // fails the operator chooses, as CSafeExit asks: Retry, "Save a Copy As…" (the whole survey
  // elsewhere), "Discard the Levels" after a warning, or Cancel, which keeps the survey open and
  // returns false. True when no survey is open any more (its markers off the plan).
  bool CloseSurvey();
  // Show Segment (32780) and Instructions (32782).
  void OnShowSegment();
  void OnInstructions();

  // Enables the commands that depend on the run: Show Segment with a projection and a survey;
  // Connect except while connecting and (its termination) while a segment is walked; Open
  // Projection, Open Collection and the recent files except while a segment is walked, their
  // prompts then saying to press STOP first. Called whenever one of these changes; the segment
  // dialog calls it after BEGIN and STOP (and packets notice the change too).
  void UpdateCommandStates();
  // A segment is being walked (BEGIN until STOP): the session's walk says so.
  bool IsWalkInProgress() const;
  // A packet is being handled now: packets that arrive meanwhile wait in the link's queue.
  bool IsHandlingPacket() const { return m_bHandlingPacket; }

public slots:
  // A file named by the recent-file list, a drop or the command line: a projection opens as Open
  // Projection opens the file chosen, a survey as Open Collection opens an existing one (without
  // asking whether to). Refused, saying why, while a segment is walked.
  void OpenFileByKind(int nKind, const QString &strPath);

signals:
  // The link reported the receiver lost (unplugged, switched off, its port failed).
  void ReceiverLost(const QString &strReason);
  // IsReceiverConnected or IsConnecting changed.
  void ConnectionStateChanged();

protected:
  void paintEvent(QPaintEvent *pEvent) override;
  // Takes the link's wake-ups and WM_RECEIVER_PACKET.
  bool event(QEvent *pEvent) override;
  // A press places a segment point (point mode set, not walking, not measuring) or, in measuring
  // mode, starts a measurement; moving shows the pointer's position in the status bar and, while
  // a measurement is held, the distance; the release ends the measurement, keeping its value.
  void mousePressEvent(QMouseEvent *pEvent) override;
  void mouseMoveEvent(QMouseEvent *pEvent) override;
  void mouseReleaseEvent(QMouseEvent *pEvent) override;

private:
  // Message boxes raised by packets, shown one after the other once the packet is handled.
  struct _pendingalert {
    QString strText;
    QString strCaption;
    int nIcon = 0; // a PromptIcon
  };

  // The view without a projection: black, with the request to select one in the middle.
  void PaintNoProjection(QPainter &painter) const;

  // The collection run.
  _collectioncallbacks RunCallbacks();
  // What the view follows of the session: every decoded message for the receiver's pane.
  void ListenToSession();
  CMainFrame *Frame() const;
  // The receiver link, which the connection dialog owns.
  CBrackwell &Link() const { return *m_pLink; }
  // A passing text in the status bar's message pane; empty clears it.
  void ShowStatus(const QString &strText) const;
  // True, having told the operator to press STOP first, while a segment is walked.
  bool RefuseWhileWalking();
  void RefreshWalkingState();
  // Packets (ViewPackets.cpp).
  void HandleWaitingPackets();
  void OnReceiverPacket(CReceiverPacketEvent *pEvent);
  void OnReceiverLost(const std::string &strReason);
  void ReportSurveyFailure(const QString &strWhy);
  void QueueAlert(const QString &strText, const QString &strCaption, int nIcon);
  void ShowPendingAlerts();
  // Connect.
  void OnConnectWaitOver();
  // The receiver in view (ViewReceiver.cpp): the pane's and the banner's connections, once.
  void SetUpReceiverStatus();
  // The link reported the receiver lost (strReason, its sentence for the operator): the
  // connection is over (m_bConnected cleared, so Connect and BEGIN connect anew), the link is
  // told to give up the device (USB_CLOSE, queued), and the pane and the banner say so at once.
  void EndLostConnection(const QString &strReason);
  // Writes the levels of the segment being walked that are still buffered to the survey, so that
  // everything collected so far is in the file. Returns an empty string, or why they could not
  // be written (they then wait in memory for STOP).
  QString SecureWalkedLevels();
  // Open Projection.
  QString LoadPlan(const QString &strPath);
  QString SideFileFolder(const QString &strPath) const;
  void ForgetPlan();
  // Both file commands: the channel choice; true when the operator chose.
  bool ChooseChannels();
  // Open Collection.
  void WarnIfMeasuring();
  QString ChooseNewSurvey();
  bool OfferToContinue(const QString &strPath, const _sessionresult &failure);
  void ShowSegmentDialog();
  // The segments' checks (ViewQuality.cpp): what the view follows of them, the dialogs' places
  // beside the plan, the check of a segment just stopped, and the walk's pane and the title.
  void SetUpQuality();
  void PlaceDialogs();
  void OnStopChecked(const _stopcheck &stop);
  void ShowWalkPane();
  void UpdateTitle();

  // The survey session, first: the dialogs follow it from their creation, and go before it.
  CSurveySession m_Session;
  // Its checks, which hear of a STOP before the dialogs do, and go before the session.
  std::unique_ptr<CSurveyQuality> m_pQuality;
  // Its parts under the names the collection run's description gives them: what is known about
  // the receiver and the run's flags (m_Run.m_nReceiverPresence, m_Run.m_Receiver[2],
  // m_Run.m_bMeasurementModeOn, m_Run.m_bChannel1Levels, m_Run.m_bChannel2Levels,
  // m_Run.m_bCollectionOpen, m_Run.m_bProjectionLoaded; m_Run.m_bWalking reads the walk), the
  // program's one projection and its one site plan.
  CCollectionRun &m_Run;
  CSiteProjection &m_Projection;
  CSitePlan &m_SitePlan;

  // The dialogs the view owns, made hidden with the view as their parent. They go in the
  // opposite order when the view ends: the connection dialog first, its link stopping its worker.
  CIntroDialog m_IntroDialog;                  // the receiver information panel, modeless
  CSegmentDataDialog m_SegmentDialog;          // segment walking, modeless
  CSegmentDetailsDialog m_DetailsDialog;       // the browsed segment's details, modeless
  CDistanceMeasurementDialog m_DistanceDialog; // modeless
  CConnectionDialog m_ConnectionDialog;        // modal; owns the receiver link, m_Link (a CBrackwell)
  CBrackwell *m_pLink = nullptr;               // that link, as the window's link to Qt

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

  // The receiver's state in its status-bar pane and, when it is lost or no level reaches the
  // survey for 3 s during a walk, the banner over the plan (app/ReceiverStatus.h,
  // app/AlertBanner.h).
  CReceiverStatus m_ReceiverStatus;
  CAlertBanner *m_pAlertBanner = nullptr; // a child of the view, over the viewport

  CHelpDialog m_HelpDialog; // the help dialog Open Collection shows, kept for the whole run
  QTimer m_ConnectTimer;    // the wait between the connection dialog and CMD_SERIAL_NUMBER
  bool m_bConnecting = false;
  bool m_bHandlingPacket = false;
  bool m_bWalkShownInCommands = false; // the walking state the commands' states were last set for
  bool m_bSurveyFailureShown = false;  // a failed survey write has been shown; not again until a success
  bool m_bAlertScheduled = false;
  bool m_bShowingAlert = false;
  std::deque<_pendingalert> m_PendingAlerts;
  QString m_strLostReason; // why the receiver was lost, the last time it was

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
  // Prints the view, cut to the part that shows the plan, on one page of printer under PrintTitle
  // of today, as large as the page allows without distortion. False, with a message naming the
  // printer or the file, when the printer cannot be painted on.
  bool PrintView(QPrinter &printer);
  // The orientation of the page that the printed plan fills best: landscape for a plan shown wider
  // than high. Print and Print Preview offer it.
  QPageLayout::Orientation PrintOrientation();
  // The title line of a printed view: the projection's and the survey's file names and the date.
  QString PrintTitle(const QDate &date) const;
  // The text of the zoom pane: the scale of the plan on the screen, client pixels per plan pixel.
  QString ZoomText() const;
  // Enables Measure Distance while a projection is loaded, sets its check mark, and shows the
  // zoom in its pane. UpdateScrollBars calls it; so does a change of the loaded projection.
  void UpdateMapCommands();

  // View > Coverage (ViewCoverage.cpp): no coverage, or that of channel 1 or 2, over the plan under
  // the markers with its legend; the choice is kept with the program's settings. Settings runs
  // the coverage settings dialog.
  void OnCoverageOff();
  void OnCoverageChannel1();
  void OnCoverageChannel2();
  void OnCoverageSettings();
  // The check mark on the channel shown, and the channels' frequencies in the items' texts.
  void UpdateCoverageCommands();
  // The coverage shown over the plan (its cells and figures), as of its last refresh; null when
  // none is shown.
  const CCoverage *ShownCoverage() const { return m_Coverage.Core().Coverage(); }

protected:
  // A resize keeps the plan's scale and its top-left corner (CSitePlan::Resize), so the scroll
  // bars that come after a load do not shift the plan: the markers stay on their plan pixels.
  void resizeEvent(QResizeEvent *pEvent) override;
  // The arrow keys scroll by 10 plan pixels; the scroll bar of that direction follows.
  void keyPressEvent(QKeyEvent *pEvent) override;
  // The wheel scrolls (Shift+wheel across), Ctrl+wheel zooms in and out around the centre.
  void wheelEvent(QWheelEvent *pEvent) override;
  // A scroll bar moved (a step, a page, the thumb dragged): the window follows the bar.
  void scrollContentsBy(int dx, int dy) override;

private:
  // The number offered in the next snapshot's name; it starts at 1 and grows with every
  // snapshot asked for, saved or cancelled.
  int m_nSnapshotCounter = 1;

  // RenderView cut to the part that shows the plan.
  QImage PrintPicture();
  // The proportions picture is printed in: the shown part of the plan's, in plan pixels.
  QSizeF PrintProportions(const QImage &picture) const;
  // The whole picture of the view: the cached plan with the markers over it, then the measuring
  // line, which follows the pointer.
  void PaintView(QPainter &painter, qreal dRatio);
  // The plan scaled to the client area, or the view without a projection, rebuilt only when the
  // window onto the plan, the client size, the device pixel ratio or the bitmap changed.
  const QImage &PlanPicture(qreal dRatio);
  // PlanPicture with the coverage and its legend over it (ViewCoverage.cpp), or PlanPicture itself
  // while none is shown.
  const QImage &CoveredPlanPicture(qreal dRatio);
  // CoveredPlanPicture with the markers, their numbers and the lines drawn over it, rebuilt only
  // when that picture or the markers (MarkerState) changed.
  const QImage &ViewPicture(qreal dRatio);
  // Everything the markers are drawn from: the survey's count, the current and the announced
  // segment, and the entries of the marker tables.
  std::vector<int32_t> MarkerState() const;
  // Builds the plan's levels once the first picture of a new plan is on the screen.
  void BuildPlanLevels();
  void PaintMarkers(QPainter &painter, qreal dRatio);
  void PaintFlaggedBands(QPainter &painter, int nCount);
  void PaintSegmentLine(QPainter &painter, int k, const _planpoint &stop);
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

  // What the cached plan picture was made from.
  struct _planpicturekey {
    std::array<int32_t, 8> window{}; // the window onto the plan and the plan's extent
    QSize client;
    qreal dRatio = 0;
    qint64 nBitmapKey = 0;
    bool bProjection = false;
    bool operator==(const _planpicturekey &) const = default;
  };
  CCoverageOverlay m_Coverage{m_Session}; // the coverage over the plan
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
