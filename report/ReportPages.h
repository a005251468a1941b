#pragma once

#include "report/ReportCanvas.h"
#include "report/ReportData.h"

#include <vector>

// The pages of the survey report, in the order they are printed.

// The first page: what was surveyed, what came of it and the settings used.
_reportpage TitlePage(const _reportdata &data);
// For each channel: the plan with the coverage overlay, the walked segments and their numbers,
// the legend and the figures.
_reportpage CoveragePage(const _reportdata &data, const _reportchannel &channel);
// For each channel, when asked for: the grid test's rectangles over the plan.
_reportpage GridPage(const _reportdata &data, const _reportchannel &channel);
// The table of the segments, over as many pages as it needs.
std::vector<_reportpage> TablePages(const _reportdata &data);
