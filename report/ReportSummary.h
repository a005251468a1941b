#pragma once

#include "report/ReportData.h"

#include <string>
#include <vector>

// The lines of the report's first page: what was surveyed and what came of it, then the settings
// used, each a name and its value.
struct _reportline {
  std::string strKey;
  std::string strValue;
};

std::vector<_reportline> ReportSummaryLines(const _reportdata &data);
std::vector<_reportline> ReportSettingsLines(const _reportdata &data);

// The tvdtool command that makes the same report again.
std::string ReportCommandLine(const _reportrequest &request);

// "channel 1: 19 of 20 rectangles pass (95.0 %): the channel passes", or why no grid was laid.
std::string GridResultLine(const _reportchannel &channel);
