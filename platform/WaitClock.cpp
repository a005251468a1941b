#include "platform/WaitClock.h"

namespace {

class CSteadyWaitClock : public CWaitClock {
public:
  time_point Now() const override { return std::chrono::steady_clock::now(); }
  bool WaitUntil(std::condition_variable &cv, std::unique_lock<std::mutex> &lock, time_point deadline,
                 const std::function<bool()> &pfnReady) override {
    return cv.wait_until(lock, deadline, pfnReady);
  }
};

} // namespace

CWaitClock &CWaitClock::Steady() {
  static CSteadyWaitClock clock;
  return clock;
}
