#include "projection/ProjectionHeader.h"

#include "platform/FileException.h"
#include "projection/SiteProjection.h"

#include <cstdio>

namespace {

std::string HexBytes(const uint8_t *p, size_t n) {
  std::string text;
  char buffer[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buffer, sizeof buffer, i == 0 ? "%02X" : " %02X", p[i]);
    text += buffer;
  }
  return text;
}

} // namespace

std::array<uint8_t, PROJECTION_HEADER_SIZE> ReadProjectionHeader(CFile &file, const std::string &strPath) {
  const uint64_t nLength = file.GetLength();
  if (nLength < PROJECTION_HEADER_SIZE) {
    throw CFileException(CFileException::endOfFile, strPath,
                         "\"" + strPath + "\" is not a projection file: it holds " + std::to_string(nLength) +
                             " bytes, but the header of a projection alone takes 141.");
  }
  std::array<uint8_t, PROJECTION_HEADER_SIZE> header{};
  file.SeekToBegin();
  file.ReadExactly(header.data(), PROJECTION_HEADER_SIZE);
  return header;
}

CFileException NotProjectionError(const std::string &strPath, const uint8_t *pHeader) {
  return CFileException(CFileException::invalidFile, strPath,
                        "\"" + strPath + "\" is not a projection file: its type tag (bytes " +
                            HexBytes(pHeader + PROJECTION_TAG_OFFSET, 4) +
                            " at offset 4) names neither a geo-coded nor a linear projection.");
}

void SetProjectionTransform(CSiteProjection &projection, const _transform &transform) {
  projection.m_dA = transform.dA;
  projection.m_dB = transform.dB;
  projection.m_dC = transform.dC;
  projection.m_dD = transform.dD;
  projection.m_dE = transform.dE;
  projection.m_dF = transform.dF;
  projection.m_dDet = transform.dA * transform.dD - transform.dB * transform.dC;
}

void LoadProjectionTransform(const std::string &strPath, CSiteProjection &projection) {
  CFile file;
  file.OpenOrThrow(strPath, CFile::modeRead | CFile::shareDenyWrite);
  const auto header = ReadProjectionHeader(file, strPath);
  file.Close();
  const int32_t nKind = ProjectionKindFromTag(ProjectionTag(header.data()));
  if (nKind == PROJECTION_NONE) {
    throw NotProjectionError(strPath, header.data());
  }
  projection.m_nKind = nKind;
  SetProjectionTransform(projection, ReadProjectionTransform(header.data()));
}
