#include "survey/SurveyClock.h"

#include <chrono>
#include <ctime>

namespace {

class CSystemClock : public CSurveyClock {
public:
  int64_t NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

} // namespace

int64_t CSurveyClock::Now() const { return static_cast<int64_t>(std::time(nullptr)); }

int64_t CSurveyClock::NowMs() const { return Now() * 1000; }

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
  static const CSystemClock clock;
  return clock;
}
