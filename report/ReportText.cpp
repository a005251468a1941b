#include "report/ReportText.h"

#include "projection/SiteProjection.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Clock(unsigned nHour, unsigned nMinute, unsigned nSecond) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", nHour, nMinute, nSecond);
  return text;
}

} // namespace

std::string ReportNumber(double dValue, int nDecimals, bool bKnown) {
  if (!bKnown || !std::isfinite(dValue)) {
    return "-";
  }
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", nDecimals, dValue);
  return text;
}

std::string ReportCoordinates(const CSiteProjection &projection, int32_t nX, int32_t nY) {
  double c1 = 0;
  double c2 = 0;
  projection.ToCoordinates(nX, nY, c1, c2);
  const int nDecimals = projection.m_nKind == PROJECTION_GEO ? 6 : 2;
  return ReportNumber(c1, nDecimals) + ", " + ReportNumber(c2, nDecimals);
}

std::string ReportCoordinateNames(const CSiteProjection &projection) {
  return projection.m_nKind == PROJECTION_GEO ? "lat, lon" : "X, Y";
}

std::string ReportProjectionKind(const CSiteProjection &projection) {
  return projection.m_nKind == PROJECTION_GEO ? "geo-coded (latitude and longitude)" : "linear (X and Y)";
}

std::string ReportDate(const _segmentheader &header) {
  char text[24];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", 1980 + header.nYear, unsigned{header.nMonth},
                unsigned{header.nDay});
  return text;
}

std::string ReportStartClock(const _segmentheader &h) { return Clock(h.nStartHour, h.nStartMinute, h.nStartSecond); }

std::string ReportStopClock(const _segmentheader &h) { return Clock(h.nStopHour, h.nStopMinute, h.nStopSecond); }

std::string ReportDuration(double dSeconds) {
  const auto nSeconds = static_cast<long long>(std::llround(std::max(dSeconds, 0.0)));
  char text[48];
  if (nSeconds < 60) {
    std::snprintf(text, sizeof text, "%lld s", nSeconds);
  } else if (nSeconds < 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld", nSeconds / 60, nSeconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", nSeconds / 3600, nSeconds / 60 % 60, nSeconds % 60);
  }
  return text;
}

std::string ReportRanges(const std::vector<uint32_t> &numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size();) {
    size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) {
      ++j;
    }
    text += (text.empty() ? "" : ", ") + std::to_string(numbers[i]);
    if (j > i) {
      text += "-" + std::to_string(numbers[j]);
    }
    i = j + 1;
  }
  return text;
}
