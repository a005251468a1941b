#pragma once

#include "coverage/CoverageSettings.h"

#include <ostream>
#include <string>

namespace CLI {
class App;
}

// What `tvdtool coverage` is asked for.
struct _coveragerequest {
  std::string strSurvey;
  std::string strProjection;
  int nChannel = 1;
  std::string strOutput; // .png, .tif (.tiff) or .csv; may be empty with bStats
  bool bStats = false;
  bool bAllSegments = false; // draw the segments the quality side file leaves out too
  _coveragesettings settings;
};

// tvdtool coverage: reads the survey into a coverage of one channel (levels binned along each
// walked line and interpolated onto square cells within the radius; coverage/Coverage.h) and
// writes OUT by its extension: .png, the plan with the overlay and the legend as the window shows
// them; .tif, a Float32 GeoTIFF of the levels over the whole plan; .csv, one row for each cell
// with a level. With bStats prints the coverage figures. The segments the survey's quality side
// file says were replaced or excluded are left out (a note says which), unless bAllSegments. OUT is written whole or
// not at all (a device or a pipe is written through).
//
// Returns SURVEY_EXIT_SOUND when the survey was sound; SURVEY_EXIT_UNSOUND when it is damaged and
// what could be read was drawn; SURVEY_EXIT_FAILED, with nothing written, when the settings, the
// channel or OUT's extension cannot be used, the cells would be too many for the plan, OUT is one
// of the inputs, the projection places nothing or the file is no survey. Raises CFileException when an input cannot be
// read or OUT cannot be written.
int RunCoverage(const _coveragerequest &request, std::ostream &out, std::ostream &err);

void RegisterCoverageCommands(CLI::App &app);

// The options of the coverage's settings (--cell, --radius, --bin, --fade, --mean, --scale-low,
// --scale-high, --band, --threshold), for every command that draws a coverage. --mean goes to
// strMean ("arithmetic" or "power").
void AddCoverageSettingOptions(CLI::App &command, _coveragesettings &settings, std::string &strMean);
