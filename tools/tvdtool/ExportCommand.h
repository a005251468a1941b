#pragma once

#include <ostream>
#include <string>

namespace CLI {
class App;
}

enum class ExportFormat { csv, geojson };

// What `tvdtool survey export` is asked for.
struct _exportrequest {
  std::string strSurvey;
  std::string strProjection;
  ExportFormat format = ExportFormat::csv;
  std::string strOutput;     // empty: the output stream given to ExportSurvey
  bool bAllSegments = false; // also the segments the quality side file says are replaced or excluded
  bool bMarkGaps = false;    // a gap_s column: the gap a level is placed across, from the side file
};

// tvdtool survey export: places every level of the survey along its segment (see
// survey/LevelPlacement.h) and writes one CSV row or GeoJSON point per level: the segment, the
// channel, the level's index and the channel's level count in the segment, the plan pixel, the
// coordinates the projection gives for that pixel, the local time (or why there is none), the
// frequency in MHz and the level. Segments that the survey's quality side file
// (quality/QualityFile.h) says are replaced or excluded are left out unless bAllSegments. With bMarkGaps a last column
// (property) gap_s gives, for a level placed across a gap in its channel's levels that the side
// file records, the gap's length in seconds. Only the projection's header is read; nothing is
// written but the output. Problems of the survey and notes go to err.
//
// Returns SURVEY_EXIT_SOUND when every level of a sound survey was exported; SURVEY_EXIT_UNSOUND
// when the survey is damaged and what could be read was exported; SURVEY_EXIT_FAILED, with nothing
// written, when the file is no survey or not even its file header and segment count can be read,
// the projection cannot place anything (a transform that cannot be inverted) or cannot give
// GeoJSON positions (a linear one), or the output would overwrite an input or have the name of a
// quality side file. Raises CFileException when an input cannot be read or the output cannot be
// written (the output file is written whole or not at all), and COutputFailed when the standard
// output fails.
int ExportSurvey(const _exportrequest &request, std::ostream &out, std::ostream &err);

// Adds `export` to the survey command group.
void RegisterSurveyExportCommand(CLI::App &survey);
