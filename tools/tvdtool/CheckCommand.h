#pragma once

#include "quality/QualitySettings.h"

#include <ostream>
#include <string>

namespace CLI {
class App;
}

// What `tvdtool survey check` is asked for.
struct _checkrequest {
  std::string strSurvey;
  std::string strProjection; // empty: lengths from the coordinates the survey's headers store
  bool bJson = false;
  _qualitysettings settings;
};

// tvdtool survey check: checks every segment of the survey (quality/SegmentChecks.h) and prints
// one line per segment that begins with its number and says whether it passed or what was
// flagged ("7 flagged: 6.2 s without levels on channel 2 at 14 m (31 % of the walk)"), or with
// bJson one JSON object. The gaps come from the survey's quality side file; replaced and excluded
// segments are checked and named so but do not count. Notes (checks that could not be made, a side
// file ignored) and problems go to err.
//
// Returns SURVEY_EXIT_SOUND when every segment that counts passed and the survey is sound,
// SURVEY_EXIT_UNSOUND when some were flagged or the survey is damaged (what could be read is
// checked), SURVEY_EXIT_FAILED when the survey cannot be read (or is no survey) or the projection
// given cannot be read or used. Raises COutputFailed when out fails.
int CheckSurveyFile(const _checkrequest &request, std::ostream &out, std::ostream &err);

// Adds `check` to the survey command group.
void RegisterSurveyCheckCommand(CLI::App &survey);
