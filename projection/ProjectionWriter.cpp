#include "projection/ProjectionWriter.h"

#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "projection/CompressionEncoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
  const std::string strPart = strPath + ".part";
  try {
    CFile output;
    output.OpenOrThrow(strPart, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    constexpr size_t BLOCK = 1 << 24;
    for (size_t nPos = 0; nPos < file.size(); nPos += BLOCK) {
      output.Write(file.data() + nPos, static_cast<uint32_t>(std::min(BLOCK, file.size() - nPos)));
    }
    output.Close();
  } catch (...) {
    std::remove(strPart.c_str());
    throw;
  }
  if (std::rename(strPart.c_str(), strPath.c_str()) != 0) {
    const int nError = errno;
    std::remove(strPart.c_str());
    CFileException::ThrowErrno(nError, strPath, "Replacing");
  }
}
