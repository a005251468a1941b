#include "projection/SiteProjection.h"

#include "platform/LittleEndian.h"
#include "platform/ReplacingFile.h"
#include "projection/Compression.h"
#include "projection/ProjectionHeader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

constexpr uint32_t COPY_BLOCK = 1024 * 1024;
// The angle conversion uses this value of pi as it stands; distances shown to the operator and
// stored by earlier versions depend on it.
constexpr double GEO_PI = 3.14159265;
constexpr double GEO_EARTH_RADIUS = 6378137.0;

} // namespace

CSiteProjection::~CSiteProjection() = default;

std::string CSiteProjection::SideFilePath(const std::string &strPath, char cSuffix) const {
  if (m_strSideFolder.empty()) {
    return strPath + cSuffix;
  }
  return (std::filesystem::path(m_strSideFolder) / std::filesystem::path(strPath).filename()).string() + cSuffix;
}

void CSiteProjection::Load(const std::string &strPath) {
  m_strPath = strPath;
  OpenFile();
  try {
    const int32_t nKind = ReadHeader();
    if (nKind == PROJECTION_NONE) {
      m_File.Close();
      throw NotProjectionError(m_strPath, m_Header.data());
    }
    m_nKind = nKind;
    if (m_fnStatus) {
      m_fnStatus(nKind == PROJECTION_GEO ? PROJECTION_STATUS_GEO : PROJECTION_STATUS_LINEAR);
    }
    // The stream file is put in place only once the bitmap is decoded from it, so a failure
    // leaves both side files of the last load as they were.
    std::optional<CReplacingFile> stream;
    ExtractSection(stream);
    DecodeBitmap(stream->GetTemporaryPath());
    stream->Commit();

    SetProjectionTransform(*this, ReadProjectionTransform(m_Header.data()));
  } catch (...) {
    m_File.Abort();
    throw;
  }
  m_File.Close();
}

void CSiteProjection::OpenFile() { m_File.OpenOrThrow(m_strPath, CFile::modeRead | CFile::shareDenyWrite); }

int32_t CSiteProjection::ReadHeader() {
  m_Header = ReadProjectionHeader(m_File, m_strPath);
  return ProjectionKindFromTag(ProjectionTag(m_Header.data()));
}

void CSiteProjection::ExtractSection(std::optional<CReplacingFile> &stream) {
  const uint32_t nOffset = ProjectionSectionOffset(m_nKind);
  const uint64_t nFileLength = m_File.GetLength();
  if (nFileLength < nOffset + 4ULL) {
    throw CFileException(CFileException::endOfFile, m_strPath,
                         "\"" + m_strPath + "\" is cut short: it ends after " + std::to_string(nFileLength) +
                             " bytes, before the length of its floor-plan section at offset " +
                             std::to_string(nOffset) + ".");
  }
  uint8_t length[4];
  m_File.Seek(nOffset, CFile::begin);
  m_File.ReadExactly(length, 4);
  const uint32_t nSection = ReadUInt32LE(length);
  CheckProjectionSection(m_strPath, nFileLength, nOffset, nSection);

  // A decoded length the section cannot yield is refused before anything is written, so a
  // damaged file cannot fill the disk with padding.
  std::vector<uint8_t> buffer(
      std::min(nSection, std::max(COPY_BLOCK, COMPRESSION_HEADER_SIZE + PROJECTION_HEADER_CODE_BYTES)));
  const auto nStart = std::min<uint32_t>(nSection, COMPRESSION_HEADER_SIZE + PROJECTION_HEADER_CODE_BYTES);
  m_File.Seek(nOffset, CFile::begin); // the section begins with its length
  m_File.ReadExactly(buffer.data(), nStart);
  CheckDecodedLength(m_strPath, nOffset, buffer.data(), nStart, nSection);

  stream.emplace(SideFilePath(m_strPath, 'c'), false);
  stream->Write(buffer.data(), nStart);
  for (uint32_t nLeft = nSection - nStart; nLeft > 0;) {
    const uint32_t nNow = std::min(nLeft, static_cast<uint32_t>(buffer.size()));
    m_File.ReadExactly(buffer.data(), nNow);
    stream->Write(buffer.data(), nNow);
    nLeft -= nNow;
  }
  stream->Close();
}

void CSiteProjection::DecodeBitmap(const std::string &strStreamPath) {
  const std::string strBitmapPath = SideFilePath(m_strPath, 'b');
  CCompression compression(strStreamPath, strBitmapPath);
  compression.Decode();
  m_strBitmapPath = strBitmapPath;
}

std::string ProjectionStreamPath(const std::string &strPath) { return strPath + "c"; }

std::string ProjectionBitmapPath(const std::string &strPath) { return strPath + "b"; }

void CSiteProjection::ToCoordinates(double px, double py, double &c1, double &c2) const {
  switch (m_nKind) {
  case PROJECTION_GEO:
    c1 = ((px - m_dE) * m_dD - (py - m_dF) * m_dB) / m_dDet;
    c2 = ((py - m_dF) * m_dA - (px - m_dE) * m_dC) / m_dDet;
    break;
  case PROJECTION_LINEAR:
    c1 = (px - m_dE) * m_dD;
    c2 = (py - m_dF) * m_dA;
    break;
  default:
    break;
  }
}

double CSiteProjection::LinearDistance(double x1, double y1, double x2, double y2) {
  return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

double CSiteProjection::GeoDistance(double lat1, double lon1, double lat2, double lon2) {
  const auto radians = [](double dAngle) { return (dAngle * GEO_PI) / 180.0; };
  const double dPhi = radians(lat2) - radians(lat1);
  const double dLambda = radians(lon2) - radians(lon1);
  const double a = std::sin(dPhi * 0.5) * std::sin(dPhi * 0.5) + std::cos(radians(lat1)) * std::cos(radians(lat2)) *
                                                                     std::sin(dLambda * 0.5) * std::sin(dLambda * 0.5);
  return 2.0 * std::atan2(std::sqrt(a), std::sqrt(1.0 - a)) * GEO_EARTH_RADIUS;
}
