#pragma once

#include <cstdint>
#include <string>

// The largest floor plan the collector takes: the plan is held in memory at 4 bytes a pixel, and
// both the window and `tvdtool projection make` read pictures under this limit, in megabytes.
// An 8000 x 6000 plan takes 192 MB.
constexpr uint64_t PLAN_MAX_MEGABYTES = 2048;

// Why a floor plan of nWidth x nHeight pixels cannot be taken, or "" when it can: a side of 0
// pixels, or more than PLAN_MAX_MEGABYTES at 4 bytes a pixel. The sentence names the size, the
// memory it would take and the limit, and names no file, so that a caller can put the file's name
// before it. Checked before a picture is decoded or a page rendered, so nothing is allocated for
// a plan that is then refused.
std::string PlanSizeProblem(uint64_t nWidth, uint64_t nHeight);
