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

// Decodes every payload the link hands on as a receiver message.
void CheckPayload(const std::vector<uint8_t> &payload) {
  const auto length = static_cast<uint32_t>(payload.size());
  if (length == 0 || length > 255) {
    std::abort();
  }
  const auto message = DecodeReceiverMessage(payload.data(), length);
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

void CheckQueue(CUSB &link) {
  for (const _linkitem &item : link.Queue().TakeAll()) {
    if (item.nKind != LinkItemKind::packet) {
      std::abort(); // the decoder alone never reports a lost receiver
    }
    CheckPayload(item.payload);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const size_t split = data[0] % size;
  CUSB link;
  link.ProcessBytes(data + 1, static_cast<uint32_t>(split));
  CheckQueue(link);
  link.ProcessBytes(data + 1 + split, static_cast<uint32_t>(size - 1 - split));
  CheckQueue(link);
  // Payloads that do not come through a frame too, at every length.
  (void)DecodeReceiverMessage(data, static_cast<uint32_t>(size > 255 ? 255 : size));
  return 0;
}
