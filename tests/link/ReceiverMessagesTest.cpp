#include "link/ReceiverMessages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

ReceiverMessage Decode(const Bytes &payload) {
  return DecodeReceiverMessage(payload.data(), static_cast<uint32_t>(payload.size()));
}

bool IsIgnored(const Bytes &payload) { return std::holds_alternative<IgnoredMessage>(Decode(payload)); }

Bytes DescriptionWithReceiver1() {
  Bytes payload = {0x01, 0x01, 0x00, 0x7D, 0x00, 0x00, 0xE0, 0x92, 0x00, 0x00, 0x80, 0x0C, 0x00, 0x00};
  payload.resize(26, 0x00);
  return payload;
}

TEST(ReceiverMessages, DescriptionOfReceiver1Only) {
  const auto msg = std::get<ReceiverInfoMessage>(Decode(DescriptionWithReceiver1()));
  EXPECT_EQ(msg.nPresence, 0x01);
  ASSERT_TRUE(msg.receivers[0].has_value());
  EXPECT_EQ(msg.receivers[0]->nMinChannel, 32000U);
  EXPECT_EQ(msg.receivers[0]->nMaxChannel, 37600U);
  EXPECT_EQ(msg.receivers[0]->nStepRaw, 3200U);
  EXPECT_EQ(msg.receivers[0]->fStepKHz, 12.5F);
  EXPECT_FALSE(msg.receivers[1].has_value());
}

TEST(ReceiverMessages, DescriptionFieldsAndPresenceBits) {
  Bytes both(26);
  both[0] = 0x01;
  both[1] = 0xFF; // bits beyond 0 and 1 are not examined
  both[2] = 1;    // min 1
  both[6] = 2;    // max 2
  both[10] = 0x80;
  both[11] = 0x01; // step 0x0180 = 1.5 kHz
  both[12] = 0x34;
  both[13] = 0x12; // spare
  both[14] = 3;
  both[18] = 0xFF;
  both[19] = 0xFF;
  both[20] = 0xFF;
  both[21] = 0xFF; // max channel 2 = 0xFFFFFFFF
  both[22] = 0x01; // step 1/256 kHz
  both[24] = 0x01;
  const auto msg = std::get<ReceiverInfoMessage>(Decode(both));
  ASSERT_TRUE(msg.receivers[0] && msg.receivers[1]);
  EXPECT_EQ(msg.receivers[0]->fStepKHz, 1.5F);
  EXPECT_EQ(msg.receivers[0]->nSpare, 0x1234U);
  EXPECT_EQ(msg.receivers[1]->nMinChannel, 3U);
  EXPECT_EQ(msg.receivers[1]->nMaxChannel, 0xFFFFFFFFU);
  EXPECT_EQ(msg.receivers[1]->fStepKHz, 0.00390625F);
  EXPECT_EQ(msg.receivers[1]->nSpare, 1U);

  const auto none = std::get<ReceiverInfoMessage>(Decode({0x01, 0xFC}));
  EXPECT_FALSE(none.receivers[0] || none.receivers[1]);

  Bytes second(26);
  second[0] = 0x01;
  second[1] = 0x02;
  const auto only2 = std::get<ReceiverInfoMessage>(Decode(second));
  EXPECT_FALSE(only2.receivers[0]);
  EXPECT_TRUE(only2.receivers[1]);
}

TEST(ReceiverMessages, ShortPayloadsAreIgnored) {
  EXPECT_TRUE(IsIgnored({0x01}));
  Bytes rx1 = DescriptionWithReceiver1();
  rx1.resize(14);
  EXPECT_FALSE(IsIgnored(rx1));
  rx1.resize(13);
  EXPECT_TRUE(IsIgnored(rx1));
  Bytes rx2(26);
  rx2[0] = 0x01;
  rx2[1] = 0x03;
  EXPECT_FALSE(IsIgnored(rx2));
  rx2.resize(25);
  EXPECT_TRUE(IsIgnored(rx2));

  EXPECT_FALSE(IsIgnored({0x05, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(IsIgnored({0x05, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_FALSE(IsIgnored({0x1C, 'A', 'B', 'C', '1', '2', '3'}));
  EXPECT_TRUE(IsIgnored({0x1C, 'A', 'B', 'C', '1', '2'}));
  EXPECT_TRUE(IsIgnored({}));
}

TEST(ReceiverMessages, UnlistedTypesAreIgnored) {
  for (const uint8_t type : {0x00, 0x04, 0x06, 0x1B, 0x1D, 0x30, 0xFF}) {
    EXPECT_TRUE(
        IsIgnored({type, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25}))
        << int(type);
  }
}

TEST(ReceiverMessages, LevelsTakeFirstByteOfFirstHalfOfItems) {
  const auto msg = std::get<LevelsMessage>(Decode({0x02, 0xF6, 0x00, 0xEC, 0x00, 0xE2, 0x00, 0xD8, 0x00, 0x99}));
  EXPECT_EQ(msg.nChannel, 1);
  EXPECT_EQ(msg.nItems, 4U);
  EXPECT_EQ(msg.levels, (std::vector<int8_t>{-10, -20}));

  const auto ch2 = std::get<LevelsMessage>(Decode({0x03, 0x7F, 0x01, 0x80, 0x02, 0x05}));
  EXPECT_EQ(ch2.nChannel, 2);
  EXPECT_EQ(ch2.nItems, 2U);
  EXPECT_EQ(ch2.levels, (std::vector<int8_t>{127}));
}

TEST(ReceiverMessages, LevelCountFollowsLength) {
  for (uint32_t length = 1; length <= 255; ++length) {
    Bytes payload(length, 0x01);
    payload[0] = 0x02;
    const auto msg = std::get<LevelsMessage>(Decode(payload));
    EXPECT_EQ(msg.nItems, length >= 2 ? (length - 2) / 2 : 0) << length;
    EXPECT_EQ(msg.levels.size(), length >= 2 ? (length - 2) / 4 : 0) << length;
  }
}

TEST(ReceiverMessages, ChannelReportAndSerialNumber) {
  const auto report = std::get<ChannelReportMessage>(Decode({0x05, 0xD0, 0x84, 0x00, 0x00, 0x05, 0x00, 0x00, 0x80}));
  EXPECT_EQ(report.nChannel1, 34000U);
  EXPECT_EQ(report.nChannel2, 0x80000005U);

  const auto serial = std::get<SerialNumberMessage>(Decode({0x1C, 0x41, 0x42, 0x43, 0x31, 0x32, 0x33, 0x00}));
  EXPECT_EQ(serial.strSerial, "ABC123");
}

TEST(ReceiverMessages, CommandPayloadRepeatsTheCode) {
  EXPECT_EQ(EncodeReceiverCommand(CMD_SERIAL_NUMBER), (std::array<uint8_t, 2>{0x1C, 0x1C}));
  EXPECT_EQ(EncodeReceiverCommand(CMD_RESEND_INFO), (std::array<uint8_t, 2>{0x30, 0x30}));
}

} // namespace
