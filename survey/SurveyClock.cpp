#include "survey/SurveyClock.h"

#include <ctime>

int64_t CSurveyClock::Now() const { return static_cast<int64_t>(std::time(nullptr)); }

bool CSurveyClock::ToLocalTime(int64_t nTime, _localtime &local) const {
  const auto t = static_cast<std::time_t>(nTime);
  std::tm parts{};
  if (::localtime_r(&t, &parts) == nullptr) {
    return false;
  }
  local = {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
  return true;
}

const CSurveyClock &CSurveyClock::System() {
  static const CSurveyClock clock;
  return clock;
}
