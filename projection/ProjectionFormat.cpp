#include "projection/ProjectionFormat.h"

#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/LittleEndian.h"
#include "projection/Compression.h"

#include <algorithm>
#include <vector>

int32_t ProjectionKindFromTag(uint32_t nTag) {
  switch (nTag) {
  case PROJECTION_TAG_GEO:
  case PROJECTION_TAG_GEO_REVERSED:
    return PROJECTION_GEO;
  case PROJECTION_TAG_LINEAR:
  case PROJECTION_TAG_LINEAR_REVERSED:
    return PROJECTION_LINEAR;
  default:
    return PROJECTION_NONE;
  }
}

uint32_t ProjectionTag(const uint8_t *pHeader) { return ReadUInt32LE(pHeader + PROJECTION_TAG_OFFSET); }

_transform ReadProjectionTransform(const uint8_t *pHeader) {
  _transform t;
  t.dA = ReadDoubleLE(pHeader + ProjectionMatrixOffset(0, 0));
  t.dB = ReadDoubleLE(pHeader + ProjectionMatrixOffset(0, 1));
  t.dE = ReadDoubleLE(pHeader + ProjectionMatrixOffset(0, 3));
  t.dC = ReadDoubleLE(pHeader + ProjectionMatrixOffset(1, 0));
  t.dD = ReadDoubleLE(pHeader + ProjectionMatrixOffset(1, 1));
  t.dF = ReadDoubleLE(pHeader + ProjectionMatrixOffset(1, 3));
  return t;
}

uint32_t ProjectionSectionOffset(int32_t nKind) {
  return nKind == PROJECTION_GEO ? PROJECTION_HEADER_SIZE + PROJECTION_GEO_EXTRA : PROJECTION_HEADER_SIZE;
}

std::string ProjectionKindName(int32_t nKind) {
  switch (nKind) {
  case PROJECTION_GEO:
    return "geo-coded";
  case PROJECTION_LINEAR:
    return "linear";
  default:
    return "none";
  }
}

void CheckProjectionSection(const std::string &strPath, uint64_t nFileLength, uint32_t nOffset, uint32_t nLength) {
  const std::string strAt = "its floor-plan section at offset " + std::to_string(nOffset);
  if (nLength < COMPRESSION_HEADER_SIZE) {
    throw CFileException(CFileException::invalidFile, strPath,
                         "\"" + strPath + "\" is damaged: " + strAt + " declares a length of " +
                             std::to_string(nLength) + " bytes, less than the 1032 bytes of the section's own header.");
  }
  if (nOffset + static_cast<uint64_t>(nLength) > nFileLength) {
    throw CFileException(CFileException::endOfFile, strPath,
                         "\"" + strPath + "\" is cut short: " + strAt + " declares " + std::to_string(nLength) +
                             " bytes, but the file ends " +
                             std::to_string(nFileLength > nOffset ? nFileLength - nOffset : 0) +
                             " bytes after that offset.");
  }
}

void CheckDecodedLength(const std::string &strPath, uint32_t nOffset, const uint8_t *pStart, size_t nStart,
                        uint32_t nSection) {
  const uint32_t nDeclared = ReadUInt32LE(pStart + 4);
  const std::string strDeclared = "\"" + strPath + "\" is damaged: its floor-plan section at offset " +
                                  std::to_string(nOffset) + " declares a decoded length of " +
                                  std::to_string(nDeclared) + " bytes, but ";
  const uint64_t nCodeBytes = nSection - COMPRESSION_HEADER_SIZE;
  if (nDeclared > 8 * nCodeBytes) {
    throw CFileException(CFileException::invalidFile, strPath,
                         strDeclared + "its " + std::to_string(nCodeBytes) + " code bytes can yield at most " +
                             std::to_string(8 * nCodeBytes) + " (8 per code byte).");
  }
  // The bytes the start of the code decodes to, without the padding up to L.
  CCompression decoder("", "");
  decoder.ReadTable(pStart);
  const size_t nCode = std::min<size_t>(nStart - COMPRESSION_HEADER_SIZE, PROJECTION_HEADER_CODE_BYTES);
  std::vector<uint8_t> decoded(8 * nCode);
  decoded.resize(decoder.DecodeCodeBytes(pStart + COMPRESSION_HEADER_SIZE, nCode, decoded.data()));
  if (decoded.size() < 6 || decoded[0] != 'B' || decoded[1] != 'M') {
    return; // no bitmap header to hold L against
  }
  // A writer that leaves the bitmap's length field 0 says nothing about it.
  const uint32_t nBitmap = ReadUInt32LE(decoded.data() + 2);
  if (nBitmap != 0 && nBitmap != nDeclared) {
    throw CFileException(CFileException::invalidFile, strPath,
                         strDeclared + "the bitmap file it decodes to declares " + std::to_string(nBitmap) + " bytes.");
  }
}

uint32_t ReadProjectionSectionLength(CFile &file, const std::string &strPath, uint64_t nFileLength, uint32_t nOffset) {
  if (nFileLength < nOffset + 4ULL) {
    throw CFileException(CFileException::endOfFile, strPath,
                         "\"" + strPath + "\" is cut short: it ends after " + std::to_string(nFileLength) +
                             " bytes, before the length of its floor-plan section at offset " +
                             std::to_string(nOffset) + ".");
  }
  file.Seek(nOffset, CFile::begin);
  uint8_t length[4];
  file.ReadExactly(length, 4);
  const uint32_t nSection = ReadUInt32LE(length);
  CheckProjectionSection(strPath, nFileLength, nOffset, nSection);
  file.Seek(nOffset, CFile::begin);
  return nSection;
}
