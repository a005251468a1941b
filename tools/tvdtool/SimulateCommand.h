#pragma once

#include "platform/SimulatedReceiver.h"
#include "survey/SurveySession.h"

#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// A channel of the receiver that sends no levels for a while during one walk (a dropout).
struct _simpause {
  int nChannel = 2;        // 1 or 2
  int nSegment = 1;        // the route's segment: 1 is the first this run walks
  double dAtSeconds = 0.0; // into its walk
  double dSeconds = 0.0;   // how long the channel stays silent
};

// Reads "CHANNEL,SEGMENT,AT,SECONDS" (--pause 2,1,3,6). Raises std::runtime_error saying what is wrong.
_simpause ParsePause(const std::string &strText);

struct _simulateoptions {
  std::string strProjection;
  std::string strOutput;
  std::string strRoute;                           // a route file; empty: the default route over the plan
  double dSecondsPerSegment = 10.0;               // simulated seconds each segment is walked ...
  bool bWalkingPace = false;                      // ... or its length at SIMULATE_WALKING_PACE_M_S
  int nChannels = 2;                              // channels the simulated receiver measures: 1 or 2
  bool bAppend = false;                           // continue the survey at strOutput when it exists
  bool bForce = false;                            // replace a file at strOutput with a new survey
  double dSetupSeconds = 2.0;                     // simulated seconds spent choosing the points before each BEGIN
  uint32_t nStepMs = 100;                         // the simulated receiver's time advances in steps of this many ms
  int64_t nStartTime = -1;                        // the survey clock at the start, seconds since 1970; < 0: now
  uint32_t nLinkWaitMs = 5000;                    // real time the link gets to hand on what the receiver sent
  std::vector<_simpause> pauses;                  // channels silenced during the walks
  std::shared_ptr<CSimulatedReceiver> pSimulator; // the unit to walk with; empty: a default one
  _sessionlistener listener;                      // hears the run's survey session (tests)
};

// The pace of a walk when no time per segment is given: an easy walking pace, so that each
// segment's time is its length in metres (a linear plan's units taken as metres) over this, and
// at least SIMULATE_WALK_MIN_S.
constexpr double SIMULATE_WALKING_PACE_M_S = 1.0;
constexpr double SIMULATE_WALK_MIN_S = 3.0;

// What a run collected.
struct _simulatesummary {
  int nSegments = 0;                        // segments walked by this run
  uint64_t nRecords = 0;                    // records the survey holds for them
  std::array<uint64_t, 2> nLevelsWritten{}; // levels of channel 1 and 2 the survey holds for them
  std::array<uint64_t, 2> nLevelsSent{};    // levels the receiver sent while they were walked
  std::array<uint64_t, 2> nLevelsBetween{}; // levels it sent outside the walks, not recorded
  std::vector<std::string> checks;          // each segment's check at STOP: "Segment 1 passed", ...
};

// tvdtool simulate: a collection run without an operator. Loads the projection, creates the
// survey (or continues it), connects a simulated receiver through the receiver link, handles its
// packets as the collector does, and walks the route segment by segment, the receiver's time
// running faster than real time. Each segment is checked at STOP as the collector checks it (the
// gaps watched while walking go into the survey's quality side file). Prints each segment with
// its check and a summary on out, problems on err. Returns 0 when the survey holds exactly the
// levels the receiver sent during the walks; 2 when the run is refused before anything is written
// to the survey: the output is the projection, one of its side files or the route, or has the
// name of a quality side file; it exists and neither bAppend nor bForce is set; another program
// is writing it; or the projection's transform cannot be inverted; 1 on any other failure.
int RunSimulate(const _simulateoptions &options, std::ostream &out, std::ostream &err,
                _simulatesummary *pSummary = nullptr);
