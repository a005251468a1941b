#include "link/ReceiverMessages.h"

#include "platform/LittleEndian.h"

namespace {

_receiverinfo ReadReceiver(const uint8_t *p) {
  _receiverinfo info;
  info.nMinChannel = ReadUInt32LE(p);
  info.nMaxChannel = ReadUInt32LE(p + 4);
  info.nStepRaw = ReadUInt16LE(p + 8);
  info.nSpare = ReadUInt16LE(p + 10);
  info.fStepKHz = static_cast<float>(info.nStepRaw * 0.00390625);
  return info;
}

ReceiverMessage DecodeReceiverInfo(const uint8_t *payload, uint32_t length) {
  if (length < 2) {
    return IgnoredMessage{};
  }
  ReceiverInfoMessage msg;
  msg.nPresence = payload[1];
  const bool bFirst = (msg.nPresence & 0x01) != 0;
  const bool bSecond = (msg.nPresence & 0x02) != 0;
  const uint32_t nNeeded = bSecond ? 26 : (bFirst ? 14 : 2);
  if (length < nNeeded) {
    return IgnoredMessage{};
  }
  if (bFirst) {
    msg.receivers[0] = ReadReceiver(payload + 2);
  }
  if (bSecond) {
    msg.receivers[1] = ReadReceiver(payload + 14);
  }
  return msg;
}

ReceiverMessage DecodeLevels(const uint8_t *payload, uint32_t length, int nChannel) {
  LevelsMessage msg;
  msg.nChannel = nChannel;
  msg.nItems = length >= 2 ? (length - 2) / 2 : 0;
  const uint32_t nLevels = msg.nItems / 2;
  msg.levels.reserve(nLevels);
  for (uint32_t i = 0; i < nLevels; ++i) {
    msg.levels.push_back(static_cast<int8_t>(payload[1 + 2 * i]));
  }
  return msg;
}

} // namespace

ReceiverMessage DecodeReceiverMessage(const uint8_t *payload, uint32_t length) {
  if (payload == nullptr || length == 0) {
    return IgnoredMessage{};
  }
  switch (payload[0]) {
  case MSG_RECEIVER_INFO:
    return DecodeReceiverInfo(payload, length);
  case MSG_CHANNEL1_LEVELS:
    return DecodeLevels(payload, length, 1);
  case MSG_CHANNEL2_LEVELS:
    return DecodeLevels(payload, length, 2);
  case MSG_CHANNEL_REPORT:
    if (length < 9) {
      return IgnoredMessage{};
    }
    return ChannelReportMessage{ReadUInt32LE(payload + 1), ReadUInt32LE(payload + 5)};
  case MSG_SERIAL_NUMBER:
    if (length < 7) {
      return IgnoredMessage{};
    }
    return SerialNumberMessage{std::string(reinterpret_cast<const char *>(payload + 1), 6)};
  default:
    return IgnoredMessage{};
  }
}

std::array<uint8_t, 2> EncodeReceiverCommand(uint8_t code) { return {code, code}; }
