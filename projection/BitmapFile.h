#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Windows bitmap files: the floor plan inside a projection is one, and the decoded bitmap file
// that a load leaves on disk is read by the plan display.

constexpr uint32_t BITMAP_FILE_HEADER_SIZE = 14;
constexpr uint32_t BITMAP_INFO_HEADER_SIZE = 40;

// What the headers of a bitmap file say about it.
struct _bitmapheader {
  int32_t nWidth = 0;
  int32_t nHeight = 0; // negative for rows stored top-down
  uint16_t nBitCount = 0;
  uint32_t nPixelOffset = 0; // of the pixel bits, from the start of the file
};

// A 24-bit bottom-up bitmap file (no colour table, rows padded to 4 bytes) of the given picture,
// which comes as nHeight rows top-down, each nWidth pixels of R, G, B and nStride bytes apart.
// Raises std::length_error when the size is 0 or the file would not fit its 32-bit size field.
std::vector<uint8_t> MakeBitmapFile24(uint32_t nWidth, uint32_t nHeight, const uint8_t *pRgb, size_t nStride);

// Bytes in one stored row of a 24-bit bitmap.
uint32_t BitmapRowSize24(uint32_t nWidth);

// The headers of a bitmap file, or nothing when the bytes do not begin like one.
std::optional<_bitmapheader> ReadBitmapHeader(const uint8_t *pData, size_t nSize);
