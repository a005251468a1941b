#pragma once

#include "survey/SurveyFormat.h"

#include <cstdint>
#include <string>
#include <vector>

class CSiteProjection;

// How the survey report writes its numbers, dates and lists.

// A number with nDecimals decimals, or "-" when bKnown is false.
std::string ReportNumber(double dValue, int nDecimals, bool bKnown = true);
// The coordinates of a plan pixel under the projection: "48.137600, 11.575200" (latitude,
// longitude) for a geo-coded one, "12.34, 5.67" (X, Y) for a linear one.
std::string ReportCoordinates(const CSiteProjection &projection, int32_t nX, int32_t nY);
// The names of the two coordinates: "lat, lon" or "X, Y".
std::string ReportCoordinateNames(const CSiteProjection &projection);
// "geo-coded (latitude and longitude)" or "linear (X and Y)".
std::string ReportProjectionKind(const CSiteProjection &projection);
// A segment header's date and clock times as the survey dump gives them: "2024-06-01",
// "09:05:03".
std::string ReportDate(const _segmentheader &header);
std::string ReportStartClock(const _segmentheader &header);
std::string ReportStopClock(const _segmentheader &header);
// A span of time: "42 s", "12:05" (minutes and seconds), "1:02:05".
std::string ReportDuration(double dSeconds);
// Segment numbers in ascending order as ranges: "1-3, 5, 8-9".
std::string ReportRanges(const std::vector<uint32_t> &numbers);
