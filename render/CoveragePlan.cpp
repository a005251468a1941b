#include "render/CoveragePlan.h"

#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "projection/BitmapFile.h"
#include "projection/Compression.h"
#include "projection/ProjectionHeader.h"
#include "projection/TransformCheck.h"

#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace {

CFileException PlanError(const std::string &strPath, const std::string &strWhy) {
  return {CFileException::invalidFile, strPath, "\"" + strPath + "\": its floor plan " + strWhy + "."};
}

// The compressed floor-plan section of the projection file, checked as a load checks it.
std::vector<uint8_t> ReadSection(const std::string &strPath, int32_t nKind) {
  CFile file;
  file.OpenOrThrow(strPath, CFile::modeRead | CFile::shareDenyWrite);
  const uint64_t nLength = file.GetLength();
  const uint32_t nOffset = ProjectionSectionOffset(nKind);
  const uint32_t nSection = ReadProjectionSectionLength(file, strPath, nLength, nOffset);
  std::vector<uint8_t> section(nSection);
  file.Seek(nOffset, CFile::begin);
  file.ReadExactly(section.data(), nSection);
  const size_t nStart = std::min<size_t>(nSection, COMPRESSION_HEADER_SIZE + PROJECTION_HEADER_CODE_BYTES);
  CheckDecodedLength(strPath, nOffset, section.data(), nStart, nSection);
  return section;
}

} // namespace

_coverageplan LoadCoveragePlan(const std::string &strPath, bool bPicture) {
  _coverageplan plan;
  plan.pProjection = std::make_unique<CSiteProjection>();
  CSiteProjection &projection = *plan.pProjection;
  LoadProjectionTransform(strPath, projection);
  const _transform transform{projection.m_dA, projection.m_dB, projection.m_dC,
                             projection.m_dD, projection.m_dE, projection.m_dF};
  if (const std::string problem = TransformProblem(projection.m_nKind, transform); !problem.empty()) {
    throw std::invalid_argument("the projection \"" + strPath + "\" places nothing: " + problem);
  }
  const std::vector<uint8_t> section = ReadSection(strPath, projection.m_nKind);
  CCompression decoder("", "");
  const auto header =
      decoder.DecodeInMemory(section.data(), section.size(), BITMAP_FILE_HEADER_SIZE + BITMAP_INFO_HEADER_SIZE);
  const auto bitmap = ReadBitmapHeader(header.data(), header.size());
  if (!bitmap || bitmap->nWidth <= 0 || bitmap->nHeight == 0) {
    throw PlanError(strPath, "is no bitmap");
  }
  plan.nWidth = bitmap->nWidth;
  plan.nHeight = std::abs(bitmap->nHeight);
  if (bPicture) {
    // Plans are large: as the projection commands read pictures, up to 2 GB in memory.
    QImageReader::setAllocationLimit(2048);
    const auto bytes = CCompression("", "").DecodeInMemory(section.data(), section.size());
    if (!plan.picture.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "BMP")) {
      throw PlanError(strPath, "cannot be decoded as a bitmap");
    }
    plan.picture = plan.picture.convertToFormat(QImage::Format_RGB32);
  }
  return plan;
}
