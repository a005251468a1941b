#include "projection/BitmapFile.h"

#include "platform/LittleEndian.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t PIXELS_PER_METRE = 2835; // 72 dots per inch

} // namespace

uint32_t BitmapRowSize24(uint32_t nWidth) { return (nWidth * 3 + 3) & ~3U; }

std::vector<uint8_t> MakeBitmapFile24(uint32_t nWidth, uint32_t nHeight, const uint8_t *pRgb, size_t nStride) {
  if (nWidth == 0 || nHeight == 0) {
    throw std::length_error("a bitmap needs at least one pixel");
  }
  const uint64_t nRow = (static_cast<uint64_t>(nWidth) * 3 + 3) & ~uint64_t{3};
  const uint64_t nOffset = BITMAP_FILE_HEADER_SIZE + BITMAP_INFO_HEADER_SIZE;
  const uint64_t nFileSize = nOffset + nRow * nHeight;
  if (nWidth > INT32_MAX || nHeight > INT32_MAX || nFileSize > UINT32_MAX) {
    throw std::length_error("a picture of " + std::to_string(nWidth) + " x " + std::to_string(nHeight) +
                            " pixels does not fit in a 24-bit bitmap file");
  }

  std::vector<uint8_t> file(static_cast<size_t>(nFileSize), 0);
  uint8_t *p = file.data();
  p[0] = 'B';
  p[1] = 'M';
  WriteUInt32LE(p + 2, static_cast<uint32_t>(nFileSize));
  WriteUInt32LE(p + 10, static_cast<uint32_t>(nOffset));
  uint8_t *pInfo = p + BITMAP_FILE_HEADER_SIZE;
  WriteUInt32LE(pInfo, BITMAP_INFO_HEADER_SIZE);
  WriteUInt32LE(pInfo + 4, nWidth);
  WriteUInt32LE(pInfo + 8, nHeight); // positive: bottom row first
  WriteUInt16LE(pInfo + 12, 1);      // planes
  WriteUInt16LE(pInfo + 14, 24);     // bits per pixel
  WriteUInt32LE(pInfo + 16, 0);      // no compression
  WriteUInt32LE(pInfo + 20, static_cast<uint32_t>(nRow * nHeight));
  WriteUInt32LE(pInfo + 24, PIXELS_PER_METRE);
  WriteUInt32LE(pInfo + 28, PIXELS_PER_METRE);

  for (uint32_t y = 0; y < nHeight; ++y) {
    const uint8_t *pSource = pRgb + static_cast<size_t>(y) * nStride;
    uint8_t *pTarget = p + nOffset + static_cast<size_t>(nHeight - 1 - y) * nRow;
    for (uint32_t x = 0; x < nWidth; ++x) {
      pTarget[3 * x] = pSource[3 * x + 2];
      pTarget[3 * x + 1] = pSource[3 * x + 1];
      pTarget[3 * x + 2] = pSource[3 * x];
    }
  }
  return file;
}

std::optional<_bitmapheader> ReadBitmapHeader(const uint8_t *pData, size_t nSize) {
  if (nSize < BITMAP_FILE_HEADER_SIZE + 12 || pData[0] != 'B' || pData[1] != 'M') {
    return std::nullopt;
  }
  const uint8_t *pInfo = pData + BITMAP_FILE_HEADER_SIZE;
  const uint32_t nInfoSize = ReadUInt32LE(pInfo);
  _bitmapheader header;
  header.nPixelOffset = ReadUInt32LE(pData + 10);
  if (nInfoSize == 12) { // the old core header: 16-bit sizes
    header.nWidth = ReadUInt16LE(pInfo + 4);
    header.nHeight = ReadUInt16LE(pInfo + 6);
    header.nBitCount = ReadUInt16LE(pInfo + 10);
    return header;
  }
  if (nInfoSize < BITMAP_INFO_HEADER_SIZE || nSize < BITMAP_FILE_HEADER_SIZE + BITMAP_INFO_HEADER_SIZE) {
    return std::nullopt;
  }
  header.nWidth = static_cast<int32_t>(ReadUInt32LE(pInfo + 4));
  header.nHeight = static_cast<int32_t>(ReadUInt32LE(pInfo + 8));
  header.nBitCount = ReadUInt16LE(pInfo + 14);
  return header;
}
