#include "projection/TransformCheck.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr const char *CANNOT_INVERT = "its transform cannot be inverted: ";

std::string Number(double dValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", dValue);
  return text;
}

} // namespace

std::string TransformProblem(int32_t nKind, const _transform &t) {
  const std::pair<const char *, double> numbers[] = {{"a", t.dA}, {"b", t.dB}, {"c", t.dC},
                                                     {"d", t.dD}, {"e", t.dE}, {"f", t.dF}};
  for (const auto &[pName, dValue] : numbers) {
    if (!std::isfinite(dValue)) {
      return std::string(CANNOT_INVERT) + "its number " + pName + " is " + Number(dValue) + ", not a finite number";
    }
  }
  if (nKind == PROJECTION_GEO) {
    const double dDet = t.dA * t.dD - t.dB * t.dC;
    const bool bInverse = dDet != 0 && std::isfinite(dDet) && std::isfinite(t.dA / dDet) &&
                          std::isfinite(t.dB / dDet) && std::isfinite(t.dC / dDet) && std::isfinite(t.dD / dDet);
    if (!bInverse) {
      const char *pWhy = dDet == 0 ? "" : (std::isfinite(dDet) ? ", too near 0" : ", not a finite number");
      return std::string(CANNOT_INVERT) + "a * d - b * c = " + Number(dDet) + pWhy +
             ", so no plan pixel has a latitude and longitude under it";
    }
  } else if (nKind == PROJECTION_LINEAR && (t.dA == 0 || t.dD == 0)) {
    return std::string(CANNOT_INVERT) +
           "a linear projection's scales a (for Y) and d (for X) must not be 0, but a = " + Number(t.dA) +
           " and d = " + Number(t.dD) + ", so every plan pixel would lie at the same " + (t.dD == 0 ? "X" : "Y");
  }
  return "";
}
