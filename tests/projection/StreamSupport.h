#pragma once

// Helpers shared by the projection suites: streams laid out by hand, temporary folders, files.
#include "platform/LittleEndian.h"
#include "projection/Compression.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

// A stream with the given weights (symbol -> weight, all others 0), decoded length and code bytes.
inline std::vector<uint8_t> MakeStream(const std::map<int, uint32_t> &weights, uint32_t nDecodedLength,
                                       const std::vector<uint8_t> &code) {
  std::vector<uint8_t> stream(COMPRESSION_HEADER_SIZE, 0);
  WriteUInt32LE(stream.data(), static_cast<uint32_t>(COMPRESSION_HEADER_SIZE + code.size()));
  WriteUInt32LE(stream.data() + 4, nDecodedLength);
  for (const auto &[nSymbol, nWeight] : weights) {
    WriteUInt32LE(stream.data() + 8 + 4 * nSymbol, nWeight);
  }
  stream.insert(stream.end(), code.begin(), code.end());
  return stream;
}

inline std::vector<uint8_t> ReadAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder per test, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
  void SetUp() override {
    static std::atomic<int> nNext{0};
    m_dir = std::filesystem::temp_directory_path() /
            ("tarvex-projection-" + std::to_string(::getpid()) + "-" + std::to_string(nNext++));
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  std::filesystem::path m_dir;
};
