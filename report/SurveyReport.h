#pragma once

#include "report/ReportRequest.h"

#include <cstdint>
#include <string>
#include <vector>

// The survey report: one PDF that a surveyor hands over at the end of a job, made alike by
// `tvdtool survey report` and the window's File > Survey Report.
//
// Its pages: the first says what was surveyed and what came of it (site, survey, when, segments,
// distance and time walked, channels, coverage figures, grid test results, problems) and the
// settings used, with the command that makes the report again; then for each channel the plan
// with the coverage overlay, the walked segments and their numbers, the legend and the figures;
// for each channel the grid test, when asked for; and the table of the segments (where, when,
// length, time, speed, levels per channel with their mean, lowest and highest, and what the
// checks found, replaced and excluded segments named so), over as many pages as it needs. Every
// page is numbered. The coverage is that of the segments that count, computed as `tvdtool
// coverage` computes it; the checks are those of `tvdtool survey check`.

struct _surveyreport {
  std::vector<uint8_t> pdf;
  int nPages = 0;
  size_t nSegments = 0;
  size_t nChannels = 0;
  bool bDamaged = false;             // the survey is damaged: what could be read is reported
  std::vector<std::string> problems; // the survey's problems and the side file's notes
};

// Makes the report of request. Raises std::invalid_argument with the reason when the settings
// cannot be used, the projection places nothing or the file is no survey; CFileException when a
// file cannot be read; std::runtime_error when the PDF cannot be made. Writes nothing.
_surveyreport MakeSurveyReport(const _reportrequest &request);
