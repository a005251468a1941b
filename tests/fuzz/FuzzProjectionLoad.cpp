// Loads arbitrary bytes as a projection file, one projection object across all inputs as in the
// collector. Every failure must be a CFileException; after a load that succeeds, the side files
// must be the section and its decoding. A decoded length beyond what the code bytes can yield is
// refused with nothing written.
#include "platform/FileException.h"
#include "platform/LittleEndian.h"
#include "projection/ProjectionFormat.h"
#include "projection/SiteProjection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The decoded length is padded out with 0xFF; a length the section can yield is kept small so
// that each run stays quick. Larger ones are left as they are: the load must refuse them.
constexpr uint32_t MAX_DECODED = 1 << 20;

const std::string &ProjectionPath() {
  static const std::string path = [] {
    const auto dir = std::filesystem::temp_directory_path() / ("tarvex-fuzz-load-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / "site.gpf").string();
  }();
  return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  uint32_t nSection = 0;
  uint32_t nOffset = 0;
  if (file.size() >= PROJECTION_HEADER_SIZE) {
    const int32_t nKind = ProjectionKindFromTag(ProjectionTag(file.data()));
    nOffset = ProjectionSectionOffset(nKind);
    if (nKind != PROJECTION_NONE && file.size() >= nOffset + 8) {
      nSection = ReadUInt32LE(file.data() + nOffset);
      const uint32_t nDeclared = ReadUInt32LE(file.data() + nOffset + 4);
      if (nSection >= 1032 && nDeclared <= 8 * (nSection - 1032ULL)) {
        WriteUInt32LE(file.data() + nOffset + 4, nDeclared % MAX_DECODED);
      }
    }
  }
  const std::string &path = ProjectionPath();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(file.data()), static_cast<std::streamsize>(file.size()));
  }

  static CSiteProjection projection;
  std::filesystem::remove(path + "b");
  std::filesystem::remove(path + "c");
  try {
    projection.Load(path);
  } catch (const CFileException &) {
    // A failed load leaves no side file of its own, whole or in part.
    if (projection.m_File.IsOpen() || std::filesystem::exists(path + "b") || std::filesystem::exists(path + "c") ||
        std::filesystem::exists(path + "c.partial") || std::filesystem::exists(path + "b.partial")) {
      std::abort();
    }
    return 0;
  }
  // A successful load copied exactly the section, whose declared length its code bytes can
  // yield, and decoded at most 8 symbols per code byte (padded up to the decoded length).
  const uint64_t nStream = std::filesystem::file_size(path + "c");
  const uint64_t nBitmap = std::filesystem::file_size(path + "b");
  const uint32_t nDecoded = ReadUInt32LE(file.data() + nOffset + 4);
  const uint64_t nYield = 8 * (nSection - 1032ULL);
  if (nStream != nSection || nOffset + uint64_t{nSection} > file.size() || nDecoded > nYield || nBitmap > nYield ||
      nBitmap < nDecoded || projection.m_strBitmapPath != path + "b" || projection.m_File.IsOpen()) {
    std::abort();
  }
  return 0;
}
