#pragma once

#include "coverage/Coverage.h"
#include "coverage/CoverageSurvey.h"
#include "coverage/GridTest.h"
#include "quality/SegmentTable.h"
#include "render/CoveragePlan.h"
#include "report/ReportRequest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One channel of the report: its coverage over the segments that count and its grid test.
struct _reportchannel {
  uint16_t nChannel = 1;
  uint32_t nFrequency = 0; // the frequency code of its last record
  uint64_t nLevels = 0;    // its levels in the segments that count
  _coveragefigures figures;
  std::optional<_gridtest> grid; // when the grid test was asked for
};

// Everything a report shows, read from its survey and projection.
struct _reportdata {
  _reportrequest request;
  _coverageplan plan;
  std::unique_ptr<CCoverage> pCoverage; // the channels' coverage over the segments that count
  _segmenttable table;
  std::vector<_reportchannel> channels; // the channels the survey holds levels of, in order
  std::vector<uint32_t> leftOut;        // segments replaced or excluded, not in the coverage
  bool bDamaged = false;                // the survey is damaged: what could be read is reported
  std::vector<std::string> problems;    // the survey's problems and the side file's notes, each a sentence
};

// Reads the survey and the projection of request. Raises std::invalid_argument with the reason
// when the settings cannot be used, the projection places nothing or the file is no survey;
// CFileException when a file cannot be read.
_reportdata GatherReport(const _reportrequest &request);
