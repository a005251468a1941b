#include "projection/CoordinateText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char *DEGREE_SIGN = "\xc2\xb0";

// Reads one number at nPos of strText, with a degree sign after it; moves nPos past both.
std::optional<double> ReadNumber(const std::string &strText, size_t &nPos) {
  const char *pStart = strText.c_str() + nPos;
  char *pEnd = nullptr;
  const double dValue = std::strtod(pStart, &pEnd);
  if (pEnd == pStart || !std::isfinite(dValue)) {
    return std::nullopt;
  }
  nPos += static_cast<size_t>(pEnd - pStart);
  if (strText.compare(nPos, 2, DEGREE_SIGN) == 0) {
    nPos += 2;
  }
  return dValue;
}

void SkipBlanks(const std::string &strText, size_t &nPos) {
  while (nPos < strText.size() && (strText[nPos] == ' ' || strText[nPos] == '\t')) {
    ++nPos;
  }
}

} // namespace

std::optional<_latlon> ParseLatLon(const std::string &strText) {
  size_t nPos = 0;
  SkipBlanks(strText, nPos);
  const auto latitude = ReadNumber(strText, nPos);
  if (!latitude) {
    return std::nullopt;
  }
  const size_t nAfterFirst = nPos;
  SkipBlanks(strText, nPos);
  if (nPos < strText.size() && (strText[nPos] == ',' || strText[nPos] == ';')) {
    ++nPos;
    SkipBlanks(strText, nPos);
  } else if (nPos == nAfterFirst) {
    return std::nullopt; // nothing between the two numbers
  }
  const auto longitude = ReadNumber(strText, nPos);
  SkipBlanks(strText, nPos);
  if (!longitude || nPos != strText.size() || std::abs(*latitude) > 90 || std::abs(*longitude) > 180) {
    return std::nullopt;
  }
  return _latlon{*latitude, *longitude};
}

std::string FormatLatLon(const _latlon &coordinates) {
  char text[64];
  std::snprintf(text, sizeof text, "%.7f, %.7f", coordinates.dLatitude, coordinates.dLongitude);
  return text;
}
