// Feeds arbitrary bytes, split at an arbitrary point, through the frame decoder and decodes
// every delivered payload as a receiver message.
#include "link/ReceiverConversions.h"
#include "link/ReceiverMessages.h"
#include "link/Usb.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <variant>

namespace {

class CFuzzLink : public CUSB {
protected:
  void OnPacket(const uint8_t *payload, uint32_t length) override {
    if (length == 0 || length > 255) {
      std::abort();
    }
    const auto message = DecodeReceiverMessage(payload, length);
    if (const auto *info = std::get_if<ReceiverInfoMessage>(&message)) {
      for (const auto &receiver : info->receivers) {
        if (receiver) {
          (void)FrequencyCodeFloat(receiver->nMaxChannel, *receiver);
          (void)FrequencyCodeInteger(receiver->nMaxChannel, *receiver);
          (void)EdgeFrequencyMHz(receiver->nMaxChannel, *receiver);
        }
      }
    } else if (const auto *levels = std::get_if<LevelsMessage>(&message)) {
      if (levels->levels.size() != levels->nItems / 2) {
        std::abort();
      }
    }
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t split = data[0] % size;
  CFuzzLink link;
  link.ProcessBytes(data + 1, static_cast<uint32_t>(split));
  link.ProcessBytes(data + 1 + split, static_cast<uint32_t>(size - 1 - split));
  // Payloads that do not come through a frame too, at every length.
  (void)DecodeReceiverMessage(data, static_cast<uint32_t>(size > 255 ? 255 : size));
  return 0;
}
