#pragma once

#include "link/ReceiverMessages.h"
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "survey/CollectionRun.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"
#include "survey/SurveyClock.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

// What an operation on the open survey did, with one sentence for the operator.
struct [[nodiscard]] _sessionresult {
  enum Outcome {
    done,        // strSentence: what the operator may be told, or empty
    refused,     // nothing was changed: strSentence says why
    failed,      // the survey file failed: strSentence names the file and what failed
    continuable, // Open of a survey whose last walk was cut off: Continue repairs and opens it
  };
  Outcome nOutcome = done;
  std::string strSentence;
  std::string strInterrupted; // continuable: what was cut off, one sentence without the file's name
  std::string strBackupPath;  // continuable: where Continue keeps the file as it is now
  explicit operator bool() const { return nOutcome == done; }
};

// Why a walk ended.
enum class StopCause {
  operatorStop, // STOP ! (or the end of a segment of tvdtool's route)
  recordLimit,  // the segment holds the most records a segment can hold
  exiting,      // the program ends: its window closes, asked or not (SIGTERM, SIGINT)
  retried,      // RetrySave saved the segment that a failed STOP had left not saved
};

// The events of a session, for those who follow the survey while it is walked (the window, the
// coverage of the plan, the checks of a segment's arrival times). Each member may be left empty.
// They are called on the thread that uses the session (the GUI's), in the order things happen,
// after the session has done what they report; a listener reads the session but does not walk it.
struct _sessionlistener {
  // A survey was opened or created, with the segments its file held (none for a new survey).
  struct _opened {
    std::string strPath;
    std::vector<_segmentheader> segments; // segment 1 first
    bool bCreated = false;                // a new survey was made at strPath
  };
  // A sound copy of the open survey (strFrom) was saved at strTo: Save a Copy, or the rescue.
  struct _copied {
    std::string strFrom;
    std::string strTo;
  };
  // A walk ended. bSaved: the segment is in the file with its final header; otherwise its last
  // levels or its header wait in memory (strFailure says why) until RetrySave saves it, which is
  // reported once more, with the cause retried.
  struct _stopped {
    int32_t nSegment = 0;
    StopCause nCause = StopCause::operatorStop;
    bool bSaved = true;
    std::string strNote;    // recordLimit: the operator's sentence (RecordLimitText)
    std::string strFailure; // not saved: why
  };
  // The levels of one level message, taken by the survey for the segment being walked.
  struct _levels {
    int32_t nSegment = 0;
    int nChannel = 0;               // 1 or 2
    std::span<const int8_t> levels; // decoded from the message once; valid during the call only
    int64_t nArrivalMs = 0;         // when the link received them, on the survey clock (ms)
  };

  std::function<void(const _opened &)> pfnOpened;
  std::function<void(const std::string &strPath)> pfnClosed; // closed, or given up
  std::function<void(int32_t nSegment)> pfnAnnounced;        // New Segment
  std::function<void(int32_t nSegment)> pfnBegun;            // BEGIN: its header is in the file
  std::function<void(const _stopped &)> pfnStopped;
  std::function<void(const _levels &)> pfnLevels;
  // Every message the receiver sent, decoded (recorded or not; ignored types included), before
  // the collection run acts on it: the receiver's pane counts levels from these.
  std::function<void(const ReceiverMessage &message)> pfnMessage;
  // Those who keep files beside the survey: a copy was saved (what they did, one sentence for the
  // operator, or empty), and whether a new survey or a copy may be written at strPath (why not,
  // or empty). These are asked, not told: the session adds the sentences to its own.
  std::function<std::string(const _copied &)> pfnCopied;
  std::function<std::string(const std::string &strPath)> pfnCheckOutput;
};

// The walk's figures, as the segment dialog shows them. Seconds are the walk's one-second ticks
// (CountWalkSecond), so they count walking time only.
struct _walktotals {
  double dSegmentLength = 0.0;              // of the points set last (stop point, BEGIN); metres, or linear units
  double dTotalDistance = 0.0;              // every walk's length since the program started, and the surveys' own
  int32_t nSegmentSeconds = 0;              // of the walk under way, or of the last one
  int32_t nSurveySeconds = 0;               // of every walk since the program started
  double dSpeed = 0.0;                      // of the last walk: its length by its seconds
  bool bSpeedKnown = false;                 // false when it ended before its first second
  std::array<uint64_t, 2> nSegmentLevels{}; // levels recorded per channel in the walk under way, or the last
};

// The home of the open survey: the program's one projection and site plan, the collection run
// that handles the receiver's messages, and at most one open survey with its one walk. Opening,
// creating, continuing, replacing, closing, saving a copy and the unattended rescue are its
// operations (SurveySession.cpp), as are the steps of a walk (SurveySessionWalk.cpp) and the
// handling of each packet; each returns a result with a sentence for the operator and prompts
// nobody. The window and tvdtool simulate both walk their surveys through one of these, and
// whoever follows the survey listens to it (AddListener).
//
// The road of one level: the link's worker cuts a packet out of the receiver's bytes and queues
// it; the owner's thread takes it and hands it to OnReceiverPacket, which decodes it once, tells
// the listeners' pfnMessage, and hands the message to the collection run; while a segment is
// walked, a survey is open and a projection loaded, the run gives the levels to the survey data
// (CSiteData::AddLevels), and the listeners' pfnLevels hear of them.
//
// Not thread-safe: one thread (the GUI's) uses it.
class CSurveySession {
public:
  using DecodeFunction = std::function<ReceiverMessage(const uint8_t *pPayload, uint32_t nLength)>;

  // callbacks: where the collection run reaches beyond the session (the link, the dialogs); its
  // pfnSegmentFull and pfnLevelsRecorded are the session's own and are replaced. clock: the
  // surveys' clock, which must outlive the session.
  explicit CSurveySession(_collectioncallbacks callbacks = {}, const CSurveyClock &clock = CSurveyClock::System());
  // Gives up the open survey without telling the listeners; the survey data's last resort
  // writes what still waits.
  ~CSurveySession();
  CSurveySession(const CSurveySession &) = delete;
  CSurveySession &operator=(const CSurveySession &) = delete;

  // Its parts. The plan and the projection live as long as the session; the survey data and the
  // walk only while a survey is open (null otherwise).
  CSitePlan &Plan() { return m_SitePlan; }
  const CSitePlan &Plan() const { return m_SitePlan; }
  CSiteProjection &Projection() { return m_Projection; }
  const CSiteProjection &Projection() const { return m_Projection; }
  CCollectionRun &Run() { return m_Run; }
  const CCollectionRun &Run() const { return m_Run; }
  CSiteData *SiteData() const { return m_pSiteData.get(); }
  const CSegmentWalk *Walk() const { return m_pWalk.get(); }

  bool IsOpen() const { return m_pSiteData != nullptr; }
  // A segment is being walked: the walk says so (it is the one owner of that state).
  bool IsWalking() const { return m_pWalk != nullptr && m_pWalk->IsWalking(); }
  // The open survey has a channel that levels are recorded for: the channels of a valid report
  // since it was opened, and the last report named a channel validly.
  bool HasChannelsToRecord() const;
  // Whether path names the open survey's file.
  bool IsOpenSurvey(const std::string &path) const;
  // Surveys opened from now on take their times from clock, which must outlive them.
  void UseClock(const CSurveyClock &clock) { m_pClock = &clock; }
  const CSurveyClock &Clock() const { return *m_pClock; }

  // ---- The survey's life (SurveySession.cpp) ----
  // Refused, saying why, when another program writes the survey at path; done otherwise.
  _sessionresult CheckFree(const std::string &path) const;
  // Refused, saying why, when a new survey at path would overwrite a file the session works with:
  // the survey open now, the projection loaded, that projection's side files (its path + "c" and
  // + "b", wherever they are kept), a backup of the open survey (its path + ".bak", ".2.bak", ...),
  // or a name a rule added with AddNameRule or a listener's pfnCheckOutput refuses. However path is spelt (a link,
  // "..") it is compared as the file it names. Done otherwise.
  _sessionresult CheckNewSurveyName(const std::string &path) const;
  // A rule for the names of new surveys beyond the session's own (the quality side files of the
  // window's surveys): returns why no survey may be created at path and what to do, without a
  // full stop, or empty.
  void AddNameRule(std::function<std::string(const std::string &path)> pfnRule) {
    m_nameRules.push_back(std::move(pfnRule));
  }
  // Opens the survey at path (nMode CSiteData::modeOpenExisting) or creates it anew
  // (modeCreateNew), putting it in place of the open one: a survey another program writes is
  // refused before the open one is given up, the open one is closed with its reporting close
  // (failed, and left open, when that fails), and a new survey is never created where
  // CheckNewSurveyName or a listener (pfnCheckOutput) refuses it. An existing survey whose last
  // walk was cut off comes back continuable; other failures name the file and the reason. Once
  // open, its markers show on the plan and the listeners hear of it.
  _sessionresult Open(const std::string &path, int nMode);
  // Repairs the survey at path in place (its walk cut off), keeping the file as it was beside it,
  // and opens it; the sentence says what was repaired.
  _sessionresult Continue(const std::string &path);
  // The reporting close: everything still waiting is written and the survey is closed, its walk
  // and markers gone. Failed, with the survey left open and everything waiting in memory, when
  // that cannot be written: Close may be called again, or SaveCopy, or Discard.
  _sessionresult Close();
  // Gives the open survey up without another write of its own (the operator chose to lose what
  // could not be written, or a copy holds it); the survey data's last resort still tries once.
  void Discard();
  // A sound copy of the whole survey, with every level still waiting in memory, at path (refused
  // where a listener refuses it); the listeners carry along what they keep beside the survey
  // (pfnCopied), and the sentence says so.
  _sessionresult SaveCopy(const std::string &path) const;
  // Nobody to ask (SIGTERM, SIGINT): the close is tried twice; when it still fails, a sound copy
  // of the whole survey goes into strFolder as "NAME-YYYYMMDD-HHMMSS.tvd" (made when needed). The
  // survey is closed or given up either way; the sentence, for standard error, says what became
  // of what could not be written (empty when the close succeeded). Failed only when no copy
  // could be saved.
  _sessionresult Rescue(const std::string &strFolder);

  // ---- Walking (SurveySessionWalk.cpp) ----
  // The steps of CSegmentWalk on the open survey, refused without one. A failure of the survey
  // file is not raised but returned: refused with bFileFailed (New Segment, BEGIN, Retry), or,
  // for STOP, done with the segment not saved and strFailure saying why. They keep the totals and
  // tell the listeners.
  _walkresult NewSegment();
  _walkresult SetStartPoint(const _pixelpoint &ptPlan);
  _walkresult SetStopPoint(const _pixelpoint &ptPlan);
  _walkresult StartAtPreviousStop();
  _walkresult Begin();
  _walkresult Stop(StopCause nCause = StopCause::operatorStop);
  _walkresult RetrySave();
  // One second of walking has passed (the walk's timer): counted while a segment is walked.
  void CountWalkSecond();
  // Adds to the total distance (a survey's own distance when it is opened).
  void AddToTotalDistance(double dMeters) { m_totals.dTotalDistance += dMeters; }
  const _walktotals &Totals() const { return m_totals; }

  // ---- The receiver's packets (SurveySessionWalk.cpp) ----
  // Handles one payload that the link received at nArrivalMs (survey clock): decoded once, told
  // to the listeners, acted on by the collection run. Failed, naming the file, when the survey
  // could not be written (what it took waits in memory for its next write).
  _sessionresult OnReceiverPacket(const uint8_t *pPayload, uint32_t nLength, int64_t nArrivalMs);
  // The moment tArrived (the link's stamp on a packet) on the survey clock, in milliseconds.
  int64_t ArrivalMs(std::chrono::steady_clock::time_point tArrived) const;
  // The decoder every packet goes through (DecodeReceiverMessage unless set).
  void SetDecoder(DecodeFunction pfnDecode) { m_pfnDecode = std::move(pfnDecode); }

  // ---- Listeners ----
  // Adds a listener; the number removes it again. A listener that goes before the session
  // removes itself.
  int AddListener(_sessionlistener listener);
  void RemoveListener(int nId);

private:
  // Takes a survey data object just made (bCreated: a new survey): its walk, the run's pointers,
  // the plan's markers.
  void Adopt(std::unique_ptr<CSiteData> pSiteData, bool bCreated);
  // Why no new survey or copy may be written at path, as the listeners say; empty when it may.
  std::string OutputProblem(const std::string &path) const;
  // Drops the open survey and its walk, clearing the plan's markers; bTell: the listeners hear.
  void Drop(bool bTell);
  _collectioncallbacks SessionCallbacks(_collectioncallbacks callbacks);
  void OnLevelsRecorded(const LevelsMessage &message);
  void OnSegmentFull();
  // Runs a step of the walk, turning a file failure into the result.
  _walkresult RunStep(const std::function<_walkresult()> &pfnStep);
  template <class Event, class... Args> void Tell(Event _sessionlistener::*pEvent, const Args &...args) const {
    for (size_t i = 0; i < m_listeners.size(); ++i) {
      const Event pfn = m_listeners[i].second.*pEvent; // a copy: a listener may add another
      if (pfn) {
        pfn(args...);
      }
    }
  }

  const CSurveyClock *m_pClock;
  CSiteProjection m_Projection;
  CSitePlan m_SitePlan;
  std::vector<std::pair<int, _sessionlistener>> m_listeners;
  int m_nNextListener = 1;
  CCollectionRun m_Run;
  std::unique_ptr<CSiteData> m_pSiteData; // the open survey
  std::unique_ptr<CSegmentWalk> m_pWalk;  // its walk; goes before it
  _walktotals m_totals;
  DecodeFunction m_pfnDecode;
  std::vector<std::function<std::string(const std::string &)>> m_nameRules;
  int64_t m_nArrivalMs = 0; // of the packet being handled
};
