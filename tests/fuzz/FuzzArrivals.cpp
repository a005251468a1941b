// Feeds arbitrary text to the parser of a recording's arrival times: it either accepts the
// text, with times that never go back, stay within the limit a replay can wait for, and no empty
// arrival, or raises a message naming the file.
#include "platform/StreamRecording.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  try {
    const auto arrivals = ParseArrivals(text, "session.bin.arrivals");
    for (size_t i = 0; i < arrivals.size(); ++i) {
      if (arrivals[i].nCount == 0 || arrivals[i].nTimeMs > ARRIVAL_MAX_TIME_MS ||
          (i > 0 && arrivals[i].nTimeMs < arrivals[i - 1].nTimeMs)) {
        std::abort();
      }
    }
  } catch (const std::runtime_error &e) {
    if (std::string(e.what()).rfind("session.bin.arrivals, line ", 0) != 0) {
      std::abort();
    }
  }
  return 0;
}
