#include "projection/CompressionEncoder.h"

#include "platform/LittleEndian.h"
#include "projection/BitmapFile.h"
#include "projection/Compression.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RoundTrip(const Bytes &data) {
  const Bytes stream = EncodeCompressedStream(data.data(), data.size());
  CCompression decoder("", "");
  return decoder.DecodeInMemory(stream.data(), stream.size());
}

TEST(CompressionEncoder, StreamHeaderCarriesLengthsAndCounts) {
  const Bytes data = {7, 7, 7, 1, 0xFF, 7};
  const Bytes stream = EncodeCompressedStream(data.data(), data.size());
  EXPECT_EQ(ReadUInt32LE(stream.data()), stream.size());
  EXPECT_EQ(ReadUInt32LE(stream.data() + 4), data.size());
  EXPECT_EQ(ReadUInt32LE(stream.data() + 8 + 4 * 7), 4U);
  EXPECT_EQ(ReadUInt32LE(stream.data() + 8 + 4 * 1), 1U);
  EXPECT_EQ(ReadUInt32LE(stream.data() + 8 + 4 * 0xFF), 1U);
  EXPECT_EQ(ReadUInt32LE(stream.data() + 8 + 4 * 2), 0U);
  // The most frequent byte gets a short code: six symbols fit in a few code bytes.
  EXPECT_LE(stream.size(), COMPRESSION_HEADER_SIZE + 4);

  const Bytes empty = EncodeCompressedStream(nullptr, 0);
  EXPECT_EQ(empty.size(), COMPRESSION_HEADER_SIZE);
  EXPECT_TRUE(RoundTrip({}).empty());
}

// Random data of many shapes and lengths: every round trip gives back exactly the input, so the
// spare bits of the last code byte never complete a symbol.
TEST(CompressionEncoder, EveryInputComesBackExactly) {
  std::mt19937 rng(11);
  CCompression decoder("", "");
  for (int nRound = 0; nRound < 300; ++nRound) {
    Bytes data(rng() % 3000);
    const int nShape = nRound % 5;
    const auto nSingle = static_cast<uint8_t>(rng());
    for (auto &c : data) {
      switch (nShape) {
      case 0:
        c = static_cast<uint8_t>(rng());
        break;
      case 1:
        c = nSingle;
        break;
      case 2:
        c = rng() % 2 == 0 ? 0x00 : 0xFF;
        break;
      case 3: // geometric: very skewed, long codes for the rare values
        c = static_cast<uint8_t>(std::min(255, std::countr_zero(static_cast<uint32_t>(rng()) | 0x80000000U) * 9));
        break;
      default:
        c = static_cast<uint8_t>(rng() % 7 + 250);
      }
    }
    const Bytes stream = EncodeCompressedStream(data.data(), data.size());
    ASSERT_EQ(decoder.DecodeInMemory(stream.data(), stream.size()), data) << "round " << nRound;
    ASSERT_EQ(decoder.m_nDecodedCount, data.size()) << "round " << nRound;
  }
}

TEST(CompressionEncoder, CodesLongerThanAWordRoundTrip) {
  // Fibonacci counts make a chain of a tree: the rarest values get codes of more than 32 bits
  // (the smallest data that does this is some 9 MB).
  Bytes data;
  uint64_t a = 1;
  uint64_t b = 1;
  for (int s = 0; s < 33; ++s) {
    data.insert(data.end(), static_cast<size_t>(a), static_cast<uint8_t>(s));
    const uint64_t c = a + b;
    a = b;
    b = c;
  }
  std::shuffle(data.begin(), data.end(), std::mt19937(5));
  const Bytes stream = EncodeCompressedStream(data.data(), data.size());
  CCompression decoder("", "");
  EXPECT_EQ(decoder.DecodeInMemory(stream.data(), stream.size()), data);
  int nDepth = 0;
  for (int n = 0; n != decoder.m_nRoot; n = decoder.m_Node[n].m_nParent) {
    ++nDepth;
  }
  EXPECT_GT(nDepth, 32);
}

TEST(CompressionEncoder, BitmapsOfAnySizeRoundTrip) {
  std::mt19937 rng(13);
  const std::vector<std::pair<uint32_t, uint32_t>> sizes = {{1, 1}, {1, 7}, {3, 1}, {5, 3}, {2, 2}, {17, 9}, {64, 48}};
  for (int nRound = 0; nRound < 40; ++nRound) {
    const auto [w, h] = nRound < static_cast<int>(sizes.size())
                            ? sizes[static_cast<size_t>(nRound)]
                            : std::pair<uint32_t, uint32_t>(rng() % 90 + 1, rng() % 60 + 1);
    Bytes rgb(static_cast<size_t>(w) * h * 3);
    const bool bSingleColour = nRound % 3 == 0;
    for (auto &c : rgb) {
      c = bSingleColour ? 0xD0 : static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 0xFF);
    }
    const Bytes bitmap = MakeBitmapFile24(w, h, rgb.data(), static_cast<size_t>(w) * 3);
    ASSERT_EQ(RoundTrip(bitmap), bitmap) << w << " x " << h;
  }
}

} // namespace
