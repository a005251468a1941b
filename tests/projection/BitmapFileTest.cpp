#include "projection/BitmapFile.h"

#include "platform/LittleEndian.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(BitmapFile, TwentyFourBitBottomUpWithPaddedRows) {
  // 3 x 2 pixels, top row red, green, blue; bottom row black, white, grey.
  const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 128, 128, 128};
  const Bytes file = MakeBitmapFile24(3, 2, rgb.data(), 9);
  ASSERT_EQ(file.size(), 54U + 2 * 12);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(ReadUInt32LE(file.data() + 2), file.size());
  EXPECT_EQ(ReadUInt32LE(file.data() + 10), 54U);
  EXPECT_EQ(ReadUInt32LE(file.data() + 14), 40U);
  EXPECT_EQ(ReadUInt32LE(file.data() + 18), 3U);
  EXPECT_EQ(ReadUInt32LE(file.data() + 22), 2U);
  EXPECT_EQ(ReadUInt16LE(file.data() + 26), 1U);
  EXPECT_EQ(ReadUInt16LE(file.data() + 28), 24U);
  EXPECT_EQ(ReadUInt32LE(file.data() + 30), 0U);
  EXPECT_EQ(ReadUInt32LE(file.data() + 34), 24U);

  // Stored bottom row first, each pixel B, G, R, rows padded with zeros to 12 bytes.
  const Bytes pixels(file.begin() + 54, file.end());
  EXPECT_EQ(pixels, (Bytes{0, 0, 0, 255, 255, 255, 128, 128, 128, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}));
}

TEST(BitmapFile, StrideAndRowSizes) {
  EXPECT_EQ(BitmapRowSize24(1), 4U);
  EXPECT_EQ(BitmapRowSize24(4), 12U);
  EXPECT_EQ(BitmapRowSize24(5), 16U);
  // Source rows 8 bytes apart of which 3 are the one pixel.
  const Bytes rgb = {1, 2, 3, 9, 9, 9, 9, 9, 4, 5, 6, 9, 9, 9, 9, 9};
  const Bytes file = MakeBitmapFile24(1, 2, rgb.data(), 8);
  EXPECT_EQ(Bytes(file.begin() + 54, file.end()), (Bytes{6, 5, 4, 0, 3, 2, 1, 0}));
  EXPECT_THROW(MakeBitmapFile24(0, 5, rgb.data(), 0), std::length_error);
  EXPECT_THROW(MakeBitmapFile24(40000, 40000, rgb.data(), 0), std::length_error);
}

TEST(BitmapFile, HeadersAreReadBackOrRefused) {
  const Bytes rgb(7 * 5 * 3, 0x40);
  const Bytes file = MakeBitmapFile24(7, 5, rgb.data(), 21);
  const auto header = ReadBitmapHeader(file.data(), file.size());
  ASSERT_TRUE(header.has_value());
  EXPECT_EQ(header->nWidth, 7);
  EXPECT_EQ(header->nHeight, 5);
  EXPECT_EQ(header->nBitCount, 24);
  EXPECT_EQ(header->nPixelOffset, 54U);

  EXPECT_FALSE(ReadBitmapHeader(file.data(), 30).has_value());
  Bytes notBitmap = file;
  notBitmap[0] = 'P';
  EXPECT_FALSE(ReadBitmapHeader(notBitmap.data(), notBitmap.size()).has_value());
  const Bytes padding(60, 0xFF);
  EXPECT_FALSE(ReadBitmapHeader(padding.data(), padding.size()).has_value());

  // A top-down bitmap keeps its negative height; an old core header has 16-bit sizes.
  Bytes topDown = file;
  WriteUInt32LE(topDown.data() + 22, static_cast<uint32_t>(-5));
  EXPECT_EQ(ReadBitmapHeader(topDown.data(), topDown.size())->nHeight, -5);
  Bytes core(26, 0);
  core[0] = 'B';
  core[1] = 'M';
  WriteUInt32LE(core.data() + 14, 12);
  WriteUInt16LE(core.data() + 18, 300);
  WriteUInt16LE(core.data() + 20, 200);
  WriteUInt16LE(core.data() + 24, 8);
  const auto coreHeader = ReadBitmapHeader(core.data(), core.size());
  ASSERT_TRUE(coreHeader.has_value());
  EXPECT_EQ(coreHeader->nWidth, 300);
  EXPECT_EQ(coreHeader->nHeight, 200);
  EXPECT_EQ(coreHeader->nBitCount, 8);
}

} // namespace
