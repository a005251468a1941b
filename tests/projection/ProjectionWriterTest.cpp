#include "projection/ProjectionWriter.h"

#include "platform/FileFaults.h"
#include "platform/ReplacingFile.h"
#include "projection/BitmapFile.h"
#include "projection/SiteProjection.h"
#include "tests/projection/StreamSupport.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

const _transform SAMPLE{1.5, -0.25, 0.125, 2.0, 300.0, -40.0};

Bytes Bitmap(uint32_t w, uint32_t h) {
  Bytes rgb(static_cast<size_t>(w) * h * 3, 0xFF);
  for (size_t i = 0; i < rgb.size(); i += 7) {
    rgb[i] = static_cast<uint8_t>(i);
  }
  return MakeBitmapFile24(w, h, rgb.data(), static_cast<size_t>(w) * 3);
}

TEST(ProjectionWriter, HeaderLayout) {
  const Bytes geo = MakeProjectionHeader(PROJECTION_GEO, SAMPLE);
  ASSERT_EQ(geo.size(), 141U);
  EXPECT_EQ(Bytes(geo.begin() + 4, geo.begin() + 8), (Bytes{'G', 'P', 'F', ' '}));
  EXPECT_EQ(ReadDoubleLE(geo.data() + 13), SAMPLE.dA);
  EXPECT_EQ(ReadDoubleLE(geo.data() + 21), SAMPLE.dB);
  EXPECT_EQ(ReadDoubleLE(geo.data() + 37), SAMPLE.dE);
  EXPECT_EQ(ReadDoubleLE(geo.data() + 45), SAMPLE.dC);
  EXPECT_EQ(ReadDoubleLE(geo.data() + 53), SAMPLE.dD);
  EXPECT_EQ(ReadDoubleLE(geo.data() + 69), SAMPLE.dF);
  // The rest of the matrix is the identity's; the other bytes are zero.
  EXPECT_EQ(ReadDoubleLE(geo.data() + 13 + 8 * 10), 1.0);
  EXPECT_EQ(ReadDoubleLE(geo.data() + 13 + 8 * 15), 1.0);
  EXPECT_EQ(ReadDoubleLE(geo.data() + 13 + 8 * 11), 0.0);
  EXPECT_EQ(Bytes(geo.begin(), geo.begin() + 4), Bytes(4, 0));

  const Bytes linear = MakeProjectionHeader(PROJECTION_LINEAR, SAMPLE);
  EXPECT_EQ(Bytes(linear.begin() + 4, linear.begin() + 8), (Bytes{'L', 'P', 'F', ' '}));
  EXPECT_THROW(MakeProjectionHeader(PROJECTION_NONE, SAMPLE), std::invalid_argument);
}

TEST(ProjectionWriter, SectionFollowsAtTheKindsOffset) {
  const Bytes bitmap = Bitmap(9, 4);
  const Bytes geo = MakeProjectionFile(PROJECTION_GEO, SAMPLE, bitmap.data(), bitmap.size());
  const Bytes linear = MakeProjectionFile(PROJECTION_LINEAR, SAMPLE, bitmap.data(), bitmap.size());
  EXPECT_EQ(geo.size(), linear.size() + 4);
  EXPECT_EQ(ReadUInt32LE(geo.data() + 145), geo.size() - 145);
  EXPECT_EQ(ReadUInt32LE(linear.data() + 141), linear.size() - 141);
  EXPECT_EQ(ReadUInt32LE(geo.data() + 149), bitmap.size());
}

class ProjectionWriterFileTest : public TempDirTest {
protected:
  void TearDown() override {
    CFileFaults::Reset();
    TempDirTest::TearDown();
  }
};

TEST_F(ProjectionWriterFileTest, WrittenFilesLoadBack) {
  for (const int32_t nKind : {PROJECTION_GEO, PROJECTION_LINEAR}) {
    const Bytes bitmap = Bitmap(33, 21);
    const std::string path = Path(nKind == PROJECTION_GEO ? "plan.gpf" : "plan.lpf");
    WriteProjectionFile(path, nKind, SAMPLE, bitmap.data(), bitmap.size());
    EXPECT_FALSE(fs::exists(path + CReplacingFile::PARTIAL_SUFFIX));

    CSiteProjection projection;
    projection.Load(path);
    EXPECT_EQ(projection.m_nKind, nKind);
    EXPECT_EQ(projection.m_dE, SAMPLE.dE);
    EXPECT_EQ(ReadAll(projection.m_strBitmapPath), bitmap);
  }
}

TEST_F(ProjectionWriterFileTest, FailedWriteLeavesNoFile) {
  const Bytes bitmap = Bitmap(200, 100);
  const std::string path = Path("plan.gpf");
  CFileFaults::FailWritesAfter(500);
  try {
    WriteProjectionFile(path, PROJECTION_GEO, SAMPLE, bitmap.data(), bitmap.size());
    FAIL() << "a full disk went unnoticed";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(path + CReplacingFile::PARTIAL_SUFFIX));

  CFileFaults::Reset();
  EXPECT_THROW(WriteProjectionFile(Path("missing/plan.gpf"), PROJECTION_GEO, SAMPLE, bitmap.data(), bitmap.size()),
               CFileException);
}

} // namespace
