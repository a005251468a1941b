#pragma once

#include "dialogs/DialogBase.h"
#include "dialogs/Prompts.h"
#include "dialogs/SegmentDialogHost.h"
#include "survey/SurveySession.h"

#include <QRect>
#include <QTimer>

#include <cstdint>
#include <memory>

namespace Ui {
class SegmentDataDialog;
}

// The segment walking dialog (template 139, "Segment Data"), modeless, owned by the view as
// m_SegmentDialog. It holds what the view reads of the walk (point mode, current segment, the
// walking flag, segment length) and shows the channel frequencies, lengths, speed and totals.
// Its controls are reached by number (GetDlgItem); the handlers that walk a survey (New Segment,
// Start/Stop Point, BEGIN/STOP, <<, >>, the units box and the one-second timer) are in
// SegmentDataDialogWalk.cpp, those of a segment that could not be saved in
// SegmentDataDialogSave.cpp.
//
// The handlers act through the host's survey session (m_pView->GetSession()), whose one walk
// keeps the number of the segment it announced: New Segment, the points clicked on the plan,
// BEGIN and STOP always act on that segment. m_nSegment is the segment shown and highlighted on
// the plan, which << and >> move; box 1022 shows the segment announced. The session computes the
// walk's figures (length, seconds, speed, total); the dialog keeps the values it shows. It
// follows the session from its creation: whoever ends a walk (STOP !, the record limit, leaving
// the program), the dialog shows it ended, and another survey opened or the open one closed
// leaves nothing of the last walk in it.
//
// Distances are held in metres; each feet value is kept equal to its metre value x 3.28 whenever
// the metre value changes, and the units box only chooses which of the two is shown.
//
// The More/Less button (145) collapses the dialog to end at the hidden static 146, hiding the
// frequencies and totals, and expands it again.
class CSegmentDataDialog : public CDialogBase {
  Q_OBJECT

public:
  // The two texts of button 1037.
  static constexpr const char *TEXT_BEGIN = "BEGIN !";
  static constexpr const char *TEXT_STOP = "STOP !";
  // Its text while the segment walked last is not saved: pressing it saves it again.
  static constexpr const char *TEXT_RETRY = "Retry";
  // The line shown in red while the segment walked last is not saved.
  static constexpr const char *TEXT_NOT_SAVED =
      "This segment is not saved: the survey file could not be written. Press Retry, or save a copy of the "
      "survey elsewhere.";
  // A box without a value: the length, seconds and speed of a segment just announced.
  static constexpr const char *TEXT_NA = "NA";
  static constexpr const char *TEXT_REUSE_STOP_POINT =
      "Set the Start Point of the new segment \nthe same as the stop point of the previous segment ?";
  static constexpr const char *TEXT_NO_STOP_POINT =
      "Stop Point for the segment has not been set.\n  Please set the Stop Point and Click \"Begin\" to "
      "Collect Segment Data";
  static constexpr const char *TEXT_NOT_MEASURING =
      "Tarvex Receiver has not been put in the Measurement mode !\n Please turn Measurement mode ON. \nIf "
      "Measurement Mode is already ON, restart the Measurement \n ie Press 'ESC' and then Press 'Enter'.";
  // The units of the speed (1060) and of the total (1061).
  static constexpr const char *TEXT_METERS_PER_SECOND = "meters/second";
  static constexpr const char *TEXT_METERS = "meters";
  static constexpr const char *TEXT_FEET_PER_SECOND = "feet/second";
  static constexpr const char *TEXT_FEET = "feet";
  // The walk's one-second tick.
  static constexpr int WALK_TIMER_MS = 1000;
  // Point modes: what the next click on the plan sets.
  static constexpr int32_t POINT_NONE = 0;
  static constexpr int32_t POINT_START = 1;
  static constexpr int32_t POINT_STOP = 2;
  // A channel box without a frequency.
  static constexpr const char *TEXT_NOT_SET = "Not Set";
  static constexpr const char *ICON_PATH = ":/icons/dialog/140.svg";
  // The key that presses BEGIN ! or STOP ! from anywhere in the program: a tablet's on-screen
  // keyboard has Ctrl and letters, not always function keys.
  static constexpr const char *BEGIN_STOP_SHORTCUT = "Ctrl+B";
  // Line 1067 before the first STOP.
  static constexpr const char *TEXT_NO_CHECK = "No segment has been checked yet.";

  // Follows pView's session (when it has one), which must outlive the dialog.
  explicit CSegmentDataDialog(QWidget *pParent = nullptr, CSegmentDialogHost *pView = nullptr);
  ~CSegmentDataDialog() override;

  // Shows frequency codes (units of 50 kHz) in MHz, "%4.4f": count 2 fills boxes 1047 and
  // 1048, count 1 fills 1047 and sets 1048 to "Not Set", any other count sets both to "Not Set".
  void ShowChannelFrequencies(const uint32_t *pFrequencies, int nCount);
  // Adds to the session's total distance (a survey's own distance as it is opened) and shows the
  // total in box 1034 in metres ("%.2f"), whatever unit is selected.
  void AddToTotalDistance(double dMeters);
  // Shows a distance in metres in box nBox, "%0.2f", first turned into feet while " Feet" is
  // selected.
  void ShowDistance(int nBox, double dMeters);
  // The length of the segment's points as a click on the plan set them: m_dLength, its feet
  // value, and box 1031.
  void SetSegmentLength(double dMeters);

  // Shows the check of the segment stopped last in line 1067, as the operator reads it while
  // walking: in green when it passed, in the warning colour when it was flagged or not checked.
  void ShowCheck(const QString &strLine, bool bPassed);
  // Walk again: announces a new segment with segment nSegment's start and stop points, through
  // the host's checks (CSurveyQuality::WalkAgain); BEGIN ! then walks it, and after its STOP it
  // replaces segment nSegment. Refused, saying why in a message box, as the walk refuses.
  void WalkAgain(uint32_t nSegment);

  bool IsCollapsed() const { return m_bCollapsed; }
  // The one-second tick of the walk (timer 2): runs from BEGIN to STOP and calls OnTimer. Tests
  // call OnTimer themselves rather than wait for it.
  QTimer &WalkTimer() { return m_WalkTimer; }

  CSegmentDialogHost *m_pView = nullptr;
  int32_t m_nPointMode = 0;      // 0 none, 1 the next click sets the start point, 2 the stop point
  int32_t m_nSegment = 0;        // the current segment, 1-based
  int32_t m_nSegments = 0;       // segments the dialog knows
  int32_t m_nSegmentSeconds = 0; // timer ticks since BEGIN
  int32_t m_nSurveySeconds = 0;  // timer ticks of every walk since the program started
  double m_dLength = 0.0;        // segment length in metres
  double m_dLengthFeet = 0.0;
  double m_dTotal = 0.0; // distance walked in metres
  double m_dTotalFeet = 0.0;
  double m_dSpeed = 0.0; // average speed of the last walk, metres per second
  double m_dSpeedFeet = 0.0;
  // Between BEGIN and STOP: read from the session's walk, the one owner of that state.
  const CWalkingFlag m_bWalking{[this] { return Walk(); }};
  // More/Less: collapsed or not, and the window's geometry while expanded.
  bool m_bCollapsed = false;
  QRect m_rcFullWindow;

public slots:
  // Collapses the expanded dialog, or expands the collapsed one, keeping its top-left corner.
  void ToggleMoreLess();

  // The walking handlers (SegmentDataDialogWalk.cpp).
  // New Segment (1046): the walk announces the next segment, shown in 1022; the radio buttons
  // are enabled with neither checked; length, seconds and speed show "NA". Refused (the walk's
  // reason in a message box, nothing changed) while walking, while the last segment is not
  // saved, and when the survey holds 500 segments.
  void OnNewSegment();
  // Start Point (1025): the next click sets the start point. Past the first segment, asks
  // whether the segment starts at the previous segment's stop point, and on Yes puts it there.
  void OnStartPoint();
  // Stop Point (1026): the next click sets the stop point.
  void OnStopPoint();
  // BEGIN ! / STOP ! (1037), or Retry while the segment walked last is not saved.
  void OnBeginStop();
  // << (1050) and >> (1051): the segment shown and highlighted on the plan.
  void OnPrevSegment();
  void OnNextSegment();
  // The units box (1041): shows length, total and speed in metres (0) or feet (1).
  void OnUnitsChange(int nIndex);
  // One tick of the walk: the seconds of this walk (1033) and of every walk (1062).
  void OnTimer();

  // The segment walked last could not be saved (SegmentDataDialogSave.cpp).
  // Retry: writes what the failed STOP left; done, the dialog is as after a STOP.
  void OnRetrySave();
  // "Save a copy as...": a sound copy of the whole survey, with the levels still waiting, in a
  // file the operator chooses.
  void OnSaveCopy();
  // Shows what the state of the walk makes of the dialog's save controls: the red line, Retry and
  // "Save a copy as..." while the segment walked last is not saved.
  void ShowSaveState();
  // The view made another walk, or has none any more (another survey opened, or the open one
  // closed): nothing is announced in it, so the radio buttons are disabled and unchecked, New
  // Segment and BEGIN ! are offered, and the save controls show the new walk's state. The segment
  // numbers and the point mode are kept until the next New Segment.
  void WalkReplaced();

private:
  // Connects the walking handlers to their controls and the timer.
  void ConnectWalkHandlers();
  // The check line and the BEGIN ! / STOP ! key (SegmentDataDialogCheck.cpp).
  void SetUpCheckAndShortcut();
  // The shortcut: BEGIN ! or STOP ! as the button would, the dialog shown first.
  void OnBeginStopKey();
  // STOP ! in the walking colour from BEGIN to STOP, so that nobody can miss that a walk is on.
  void ShowWalking(bool bWalking);
  // What New Segment and Walk again show of the segment announced: its number in 1022, the
  // radio buttons enabled, and "NA" for what it has not got yet.
  void ShowAnnounced();
  // What the dialog hears from the session, from its creation until it goes.
  void FollowSession();
  // STOP: the session ends the walk; a file that could not be written leaves the segment not
  // saved, and the operator is told so, or why the walk ended at the record limit.
  void StopWalk();
  // A walk ended, whoever ended it: the dialog shows its length, total and speed, and offers the
  // next segment. At the record limit the operator is told why, once the packet is handled.
  void OnWalkStopped(const _sessionlistener::_stopped &stopped);
  // BEGIN: refused as the walk, the receiver or the survey require; otherwise the walk starts.
  void BeginWalk();
  // Whether BEGIN may start the walk now; shows why not.
  bool CanBegin();
  // Runs a step of the session's walk; a refusal or a file error is shown in a message box. True
  // when done.
  bool RunWalk(_walkresult (CSurveySession::*pfnOperation)());
  // A message box with the program's caption.
  void Tell(const QString &strText, PromptIcon nIcon = PROMPT_ICON_NONE);
  // Shows a box's value in the selected unit, or "NA" while it has none.
  void ShowValue(int nBox, double dMeters, bool bKnown);
  // The session's walk, null while no survey is open.
  const CSegmentWalk *Walk() const;
  // The segment the walk announced last, 0 without a walk.
  int32_t AnnouncedSegment() const;
  // The radio buttons enabled or not, and neither checked.
  void ResetPointButtons(bool bEnable);

  CSurveySession *m_pSession = nullptr; // the host's, followed from the dialog's creation
  int m_nListener = 0;
  QString m_strMoreText; // the button's template text, shown while collapsed
  QTimer m_WalkTimer;
  bool m_bLengthKnown = false; // 1031 shows a length (not "NA")
  bool m_bSpeedKnown = false;  // 1059 shows a speed (not "NA")
  std::unique_ptr<Ui::SegmentDataDialog> m_pUi;
};
