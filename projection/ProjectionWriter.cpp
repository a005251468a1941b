#include "projection/ProjectionWriter.h"

#include "platform/LittleEndian.h"
#include "platform/ReplacingFile.h"
#include "projection/CompressionEncoder.h"

#include <stdexcept>

std::vector<uint8_t> MakeProjectionHeader(int32_t nKind, const _transform &transform) {
  if (nKind != PROJECTION_GEO && nKind != PROJECTION_LINEAR) {
    throw std::invalid_argument("a projection file is either geo-coded or linear");
  }
  std::vector<uint8_t> header(PROJECTION_HEADER_SIZE, 0);
  WriteUInt32LE(header.data() + PROJECTION_TAG_OFFSET,
                nKind == PROJECTION_GEO ? PROJECTION_TAG_GEO : PROJECTION_TAG_LINEAR);
  const double matrix[4][4] = {
      {transform.dA, transform.dB, 0, transform.dE},
      {transform.dC, transform.dD, 0, transform.dF},
      {0, 0, 1, 0},
      {0, 0, 0, 1},
  };
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      WriteDoubleLE(header.data() + ProjectionMatrixOffset(r, c), matrix[r][c]);
    }
  }
  return header;
}

std::vector<uint8_t> MakeProjectionFile(int32_t nKind, const _transform &transform, const uint8_t *pBitmap,
                                        size_t nBitmapSize) {
  std::vector<uint8_t> file = MakeProjectionHeader(nKind, transform);
  if (nKind == PROJECTION_GEO) {
    file.insert(file.end(), PROJECTION_GEO_EXTRA, 0);
  }
  const std::vector<uint8_t> section = EncodeCompressedStream(pBitmap, nBitmapSize);
  file.insert(file.end(), section.begin(), section.end());
  return file;
}

void WriteProjectionFile(const std::string &strPath, int32_t nKind, const _transform &transform, const uint8_t *pBitmap,
                         size_t nBitmapSize) {
  const std::vector<uint8_t> file = MakeProjectionFile(nKind, transform, pBitmap, nBitmapSize);
  ReplaceFileContents(strPath, file.data(), file.size(), true);
}
