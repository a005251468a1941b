#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// The payloads exchanged with the receiver inside the link's frames. Byte 0 of a payload is
// its type; multi-byte numbers are little-endian.

constexpr uint8_t MSG_RECEIVER_INFO = 0x01;
constexpr uint8_t MSG_CHANNEL1_LEVELS = 0x02;
constexpr uint8_t MSG_CHANNEL2_LEVELS = 0x03;
constexpr uint8_t MSG_CHANNEL_REPORT = 0x05;
constexpr uint8_t MSG_SERIAL_NUMBER = 0x1C;

constexpr uint8_t CMD_SERIAL_NUMBER = 0x1C;
constexpr uint8_t CMD_RECEIVER_INFO = 0x01;
constexpr uint8_t CMD_RESEND_INFO = 0x30;

// What the system knows of one receiver of the two-channel unit.
struct _receiverinfo {
  uint32_t nMinChannel = 0;
  uint32_t nMaxChannel = 0;
  uint16_t nStepRaw = 0; // channel step in 1/256 kHz
  uint16_t nSpare = 0;
  float fStepKHz = 0.0F;
};

struct ReceiverInfoMessage {
  uint8_t nPresence = 0;
  // Present exactly for the receivers whose presence bit is set (bit 0: receiver 1, bit 1: receiver 2).
  std::array<std::optional<_receiverinfo>, 2> receivers;
};

struct LevelsMessage {
  int nChannel = 0;           // 1 or 2
  uint32_t nItems = 0;        // c = (L - 2) / 2 two-byte items in the level data
  std::vector<int8_t> levels; // the first byte of each of the first c / 2 items, in payload order
};

struct ChannelReportMessage {
  uint32_t nChannel1 = 0;
  uint32_t nChannel2 = 0;
};

struct SerialNumberMessage {
  std::string strSerial; // six characters
};

struct IgnoredMessage {};

using ReceiverMessage =
    std::variant<IgnoredMessage, ReceiverInfoMessage, LevelsMessage, ChannelReportMessage, SerialNumberMessage>;

// Decodes one payload. Unknown types, and payloads too short for the fields that would be
// read, come back as IgnoredMessage. Keeps no state between calls.
ReceiverMessage DecodeReceiverMessage(const uint8_t *payload, uint32_t length);

// The two payload bytes of a one-byte command: the code twice.
std::array<uint8_t, 2> EncodeReceiverCommand(uint8_t code);
