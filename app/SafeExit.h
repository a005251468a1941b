#pragma once

#include <QString>

class CSurveySession;
class QWidget;

// Closing the open survey so that nothing collected is lost on the way: when the program ends,
// and when Open Collection puts another survey in its place. It asks the operator; the survey
// session does the work. The main frame runs MayClose when its window is asked to close:
//  1. while a segment is walked, the operator is asked first; going on stops the walk as STOP
//     stops it (stop time, the levels still buffered, the final header), and the segment dialog
//     follows;
//  2. the survey is closed with its reporting close (CSurveySession::Close), which writes
//     everything still waiting;
//  3. when that fails, the operator may retry, save a sound copy of the whole survey elsewhere,
//     quit anyway after a warning, or stay.
// Unattended (SIGTERM, SIGINT), nobody is asked: the walk is stopped, and the session's rescue
// closes the survey or saves a sound copy among the program's data (RescueFolder), named on
// standard error and, once, in the window at the program's next start (RescueNote.h).
// The view's CloseSurvey, before another survey is opened, runs steps 2 and 3 through CloseSurvey
// for the purpose replacing: its choices are the same, with "Discard the Levels" (after a warning)
// in place of quitting and Cancel keeping the survey open.
class CSafeExit {
public:
  enum Mode { askOperator, unattended };
  // Why the survey is closed: the program ends, or another survey takes its place.
  enum Purpose { exiting, replacing };

  // The texts of its prompts, whose caption is the program's (APP_TITLE).
  static constexpr const char *TEXT_WALKING = "Segment %1 is being walked.\n\nStop the walk and exit? The walk is "
                                              "stopped as STOP ! stops it, and the survey is saved and closed.";
  static constexpr const char *BUTTON_STOP_AND_EXIT = "Stop and Exit";
  static constexpr const char *BUTTON_KEEP_WALKING = "Keep Walking";
  static constexpr const char *TEXT_CLOSE_FAILED =
      "The survey could not be saved completely:\n%1\n\nNothing collected is lost yet: what could not be written is "
      "kept in memory. Retry the write, save a copy of the whole survey elsewhere, or quit anyway.";
  static constexpr const char *BUTTON_RETRY = "Retry";
  static constexpr const char *BUTTON_SAVE_COPY = "Save a Copy As…";
  static constexpr const char *BUTTON_QUIT_ANYWAY = "Quit Anyway";
  static constexpr const char *BUTTON_CANCEL = "Cancel";
  static constexpr const char *TEXT_QUIT_ANYWAY =
      "If you quit now, the levels and segment details that could not be written to %1 are lost. Everything "
      "written to it before stays there.\n\nQuit anyway?";
  // Closing before another survey is opened.
  static constexpr const char *TEXT_REPLACE_FAILED =
      "%1\n\nThe levels not yet written are still in memory. Retry the write, save a copy of the whole survey "
      "elsewhere, or cancel and keep this survey open.";
  static constexpr const char *BUTTON_DISCARD = "Discard the Levels";
  static constexpr const char *TEXT_DISCARD =
      "If you discard them, the levels and segment details that could not be written to %1 are lost. Everything "
      "written to it before stays there.\n\nDiscard them?";

  // Asks over pParent about the session's open survey.
  CSafeExit(CSurveySession &session, QWidget *pParent, Purpose nPurpose = exiting)
      : m_session(session), m_pParent(pParent), m_nPurpose(nPurpose) {}

  // Runs the steps above; true when the window may close now, false when the operator chose to
  // stay (the walk then goes on if they were asked about it, or the survey stays open).
  bool MayClose(Mode nMode);

  // Steps 2 and 3: true once the open survey is closed (or, on quitting or discarding, given up);
  // false when the operator chose to keep it open.
  bool CloseSurvey(Mode nMode);

  // Where unattended copies go: a folder of the program's data, made when needed.
  static QString RescueFolder();

private:
  bool AskToStopWalk() const;
  // After a failed close: true once the survey is given up, false to stay; bRetry to try the
  // close again.
  bool AskAfterFailure(const QString &strWhy, bool &bRetry);

  CSurveySession &m_session;
  QWidget *m_pParent;
  Purpose m_nPurpose;
};
