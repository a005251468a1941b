#pragma once

#include "projection/SitePlan.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

class CSiteData;
class CSiteProjection;

// The operator's sentence when the walk of segment n was ended because the segment holds the most
// records a segment can hold.
std::string RecordLimitText(int32_t n);

// Where the walk of a segment stands.
enum class WalkState {
  none,      // no segment announced by this walk yet: a survey just created or opened
  announced, // after New Segment: its points can be set, and BEGIN starts its walk
  walking,   // from BEGIN to STOP: the receiver's levels are recorded for it
  walked,    // STOP saved it: New Segment announces the next one
  notSaved,  // STOP ended its walk, but its last levels or its final header could not be written;
             // they wait in memory until RetrySave succeeds (or the survey is closed or copied)
};

// What an operation of the walk did: done, or refused, with why in one sentence for the
// operator. A refused operation has changed nothing. A done operation may carry a note for the
// operator as well (STOP at the record limit: why the walk ended there).
struct [[nodiscard]] _walkresult {
  bool bDone = true;
  std::string strReason; // refused: why
  std::string strNote;   // done: what the operator is to be told, or empty
  // Set by the survey session, which reports file failures in the result instead of raising
  // them: refused because the survey file could not be written (strReason says why), or, for
  // STOP, done but the segment not saved (strFailure says why).
  bool bFileFailed = false;
  std::string strFailure;
  explicit operator bool() const { return bDone; }
};

// The walk of one segment after another through a survey: the order of the survey data's and the
// site plan's calls for New Segment, the start and stop points, BEGIN and STOP, in one place for
// the segment dialog, tvdtool simulate and the tests.
//
// The walk keeps the number of the segment it announced as its own: from New Segment to STOP
// every point, BEGIN and STOP act on that segment, whatever segment a dialog shows or highlights
// while the operator browses. Segments of the survey other than the one announced last are never
// written and their markers never changed.
//
// Operations that the state does not allow are refused (see each); the texts say why and what to
// do. A failure of the survey file (CFileException from CSiteData, naming the file and what
// failed) ends the operation and is raised to the caller; the walk is then in a state that fits
// what reached the file:
//   - New Segment that fails announces nothing (the survey's and the plan's counts stay);
//   - BEGIN whose header cannot be written does not start the walk (its state stays announced,
//     the header being built is as before BEGIN);
//   - STOP whose writes fail ends the walk all the same (the stop time is the moment of STOP) and
//     leaves the segment notSaved: New Segment and BEGIN are refused until RetrySave succeeds. The
//     header in the file is rewritten in place all the same (it needs no new room on a full
//     disk), counting the records that reached the file and carrying the stop time, so the file
//     reads back sound; the levels that did not fit wait in memory for RetrySave.
//
// A segment holds at most SURVEY_MAX_SEGMENT_RECORDS records. When the survey data refuses
// levels because the walked segment is full (CSiteData::AddLevels returns false; the collection
// run calls its pfnSegmentFull), the walk is to be ended with Stop, as STOP ends it; Stop then
// says why in the result's note (RecordLimitText), for the operator.
// The walk is the one owner of "a segment is being walked" (IsWalking): whoever keeps that flag
// under a name of its own (the collection run's and the segment dialog's m_bWalking) reads it
// through a CWalkingFlag.
// All of it runs on the thread that handles the receiver's packets (the GUI's).
class CSegmentWalk {
public:
  // Walks through the survey of data, placing the markers in plan and converting plan pixels to
  // coordinates with projection (and keeping its m_FirstPoint and m_SecondPoint as the pointing
  // on the plan expects). Everything given must outlive the walk. A walk belongs to one survey
  // data object: make a new one when another survey is opened.
  CSegmentWalk(CSiteData &data, CSitePlan &plan, CSiteProjection &projection);
  CSegmentWalk(const CSegmentWalk &) = delete;
  CSegmentWalk &operator=(const CSegmentWalk &) = delete;
  virtual ~CSegmentWalk() = default;

  // New Segment: announces segment (segments in the survey + 1): the survey's count, the plan's
  // count, CSiteData::NewSegment; the new segment's markers start unplaced. Pressed again before
  // BEGIN, it keeps the segment announced (nothing was written for it) with its points. Refused
  // while walking, while a stopped segment is not saved, and when the survey holds 500 segments.
  _walkresult NewSegment();

  // The start (stop) point of the announced segment, in plan pixels: the plan's current point,
  // the survey's last point, the segment's marker (a start point also places the stop marker at
  // its screen position), the projection's m_FirstPoint (m_SecondPoint) and, for a geo-coded
  // projection, the coordinates in the header being built. Refused unless a segment is announced
  // and not yet begun.
  _walkresult SetStartPoint(const _pixelpoint &ptPlan);
  _walkresult SetStopPoint(const _pixelpoint &ptPlan);
  // The start point of the announced segment becomes the previous segment's stop point (as the
  // header being built held it when the segment was announced), with its coordinates (stored
  // when geo-coded; the coordinates flag is left as it is) and its start marker; the stop marker
  // is not touched. Refused as SetStartPoint, and for segment 1, which has no previous segment.
  _walkresult StartAtPreviousStop();
  // Whether StartAtPreviousStop would be done: a segment after the first is announced.
  bool CanStartAtPreviousStop() const;

  // BEGIN: the start date and time, then the header appended to the file; the walk starts once
  // it is written. Refused unless a segment is announced and not yet begun, and unless both of
  // its points have been placed since the New Segment that announced it: the start point by
  // SetStartPoint or StartAtPreviousStop, the stop point by SetStopPoint. A header whose points
  // were never chosen would put the walk's levels on a line to the plan's corner or to another
  // segment's stop.
  _walkresult Begin();
  // Why Begin would be refused now, in the operator's words; empty when it would be done.
  std::string WhyNoBegin() const;
  // STOP: the levels still buffered written as the segment's records, the stop time and record
  // count, the final header; the walk ends. Refused unless walking. When the segment is full
  // (CSiteData::IsSegmentFull), the result's note is RecordLimitText.
  _walkresult Stop();
  // Writes what a failed STOP left: the waiting levels, then the final header with the stop time
  // of STOP. Done, the segment is walked. Refused unless the state is notSaved.
  _walkresult RetrySave();

  WalkState GetState() const { return m_state; }
  bool IsWalking() const { return m_state == WalkState::walking; }
  // The segment announced last by this walk (1-based); 0 before the first New Segment.
  int32_t GetSegment() const { return m_nSegment; }
  // The distance from the start point to the stop point of the header being built (the points
  // BEGIN writes), in metres for a geo-coded projection and in the projection's units for a
  // linear one; 0 without a projection.
  double GetSegmentLength() const;

private:
  // Why points cannot be set now, or empty when they can.
  std::string WhyNoPoints() const;
  // Places a point of the announced segment; nKind 1 start, 2 stop.
  void PlacePoint(int nKind, const _pixelpoint &ptPlan);

  CSiteData &m_data;
  CSitePlan &m_plan;
  CSiteProjection &m_projection;
  WalkState m_state = WalkState::none;
  int32_t m_nSegment = 0;
  _pixelpoint m_ptPreviousStop; // the stop point the header held when the segment was announced
  bool m_bStartPlaced = false;  // the announced segment's start point has been placed
  bool m_bStopPlaced = false;   // and its stop point
};

// "A segment is being walked" (BEGIN until STOP) as the walk it reads says it: false while there
// is no walk. It keeps nothing of its own, so it can never disagree with the walk. pfnWalk names
// the walk at each reading (the collection run's walk, the open survey's walk of a dialog).
class CWalkingFlag {
public:
  explicit CWalkingFlag(std::function<const CSegmentWalk *()> pfnWalk) : m_pfnWalk(std::move(pfnWalk)) {}
  operator bool() const; // NOLINT(google-explicit-constructor): read as the flag it stands for

private:
  std::function<const CSegmentWalk *()> m_pfnWalk;
};
