#include "link/ReceiverConversions.h"

#include <gtest/gtest.h>

namespace {

_receiverinfo Receiver(uint32_t nMin, uint32_t nMax, uint16_t nStepRaw) {
  _receiverinfo info;
  info.nMinChannel = nMin;
  info.nMaxChannel = nMax;
  info.nStepRaw = nStepRaw;
  info.fStepKHz = static_cast<float>(nStepRaw * 0.00390625);
  return info;
}

TEST(ReceiverConversions, DescriptionTexts) {
  const auto rx = Receiver(32000, 37600, 3200);
  EXPECT_EQ(FormatMHz(EdgeFrequencyMHz(rx.nMinChannel, rx)), "400.0000 MHz");
  EXPECT_EQ(FormatMHz(EdgeFrequencyMHz(rx.nMaxChannel, rx)), "470.0000 MHz");
  EXPECT_EQ(FormatStepKHz(rx), "12.5000 KHz");
  EXPECT_EQ(FormatInstalled(true), "Installed");
  EXPECT_EQ(FormatInstalled(false), "Not Installed");
}

TEST(ReceiverConversions, EdgeFrequencyRoundsToFloat) {
  // 12345 x 6.25 kHz = 77.15625 MHz, exact in float.
  EXPECT_EQ(EdgeFrequencyMHz(12345, Receiver(0, 0, 1600)), 77.15625F);
  // 1 x 1/256 kHz / 1000 is rounded once, to the float nearest 3.90625e-6.
  EXPECT_EQ(EdgeFrequencyMHz(1, Receiver(0, 0, 1)), static_cast<float>(3.90625e-6L));
  // 4294967.295 MHz has no float: the nearest is 4294967.5.
  EXPECT_EQ(FormatMHz(EdgeFrequencyMHz(0xFFFFFFFFU, Receiver(0, 0, 256))), "4294967.5000 MHz");
}

TEST(ReceiverConversions, ChannelValidityIsInclusiveAndUnsigned) {
  const auto rx = Receiver(32000, 37600, 3200);
  EXPECT_TRUE(IsChannelValid(32000, rx));
  EXPECT_TRUE(IsChannelValid(37600, rx));
  EXPECT_FALSE(IsChannelValid(31999, rx));
  EXPECT_FALSE(IsChannelValid(37601, rx));
  EXPECT_FALSE(IsChannelValid(0x80000000U, rx));
  EXPECT_TRUE(IsChannelValid(0x80000000U, Receiver(1, 0xFFFFFFFFU, 3200)));
  EXPECT_TRUE(IsChannelValid(0, Receiver(0, 0, 0)));
  EXPECT_FALSE(IsChannelValid(5, Receiver(0, 0, 0)));
}

TEST(ReceiverConversions, FloatAndIntegerFrequencyCodesDiffer) {
  const auto rx = Receiver(32000, 37600, 3200);
  EXPECT_EQ(FrequencyCodeFloat(34000, rx), 8500U);
  EXPECT_EQ(FrequencyCodeInteger(34000, rx), 8160U);
  EXPECT_DOUBLE_EQ(FrequencyCodeToMHz(8500), 425.0);
  EXPECT_DOUBLE_EQ(FrequencyCodeToMHz(8160), 408.0);
  EXPECT_DOUBLE_EQ(FrequencyCodeToMHz(0xFFFFFFFFU), 214748364.75);
}

TEST(ReceiverConversions, FloatCodeRoundsToFloatBeforeTruncating) {
  // 16777217 x 50 kHz / 50 = 16777217, which a float cannot hold: it rounds to 16777216.
  EXPECT_EQ(FrequencyCodeFloat(16777217, Receiver(0, 0, 50 * 256)), 16777216U);
  // 3 x 16.6015625 kHz / 50 = 0.99609375: truncated to 0.
  EXPECT_EQ(FrequencyCodeFloat(3, Receiver(0, 0, 4250)), 0U);
}

TEST(ReceiverConversions, IntegerCodeWrapsAt32Bits) {
  // 0x80000000 x 2 wraps to 0.
  EXPECT_EQ(FrequencyCodeInteger(0x80000000U, Receiver(0, 0, 0x0280)), 0U);
  EXPECT_EQ(FrequencyCodeInteger(100, Receiver(0, 0, 0x02FF)), 4U); // 200 / 50; the fraction is not used
}

TEST(ReceiverConversions, FloatCodeOfHugeChannelWrapsInsteadOfOverflowing) {
  // 0xFFFFFFFF x 255.99609375 kHz / 50 = 21989897006.08, which rounds to the float 21989896192;
  // the code is that value modulo 2^32, not an undefined conversion.
  EXPECT_EQ(FrequencyCodeFloat(0xFFFFFFFFU, Receiver(0, 0, 0xFFFF)), 515059712U);
}

} // namespace
