// tvdtool survey repair and verify on damaged surveys and full disks.
#include "tools/tvdtool/SurveyCommand.h"

#include "platform/FileException.h"
#include "platform/FileFaults.h"
#include "projection/SitePlan.h"
#include "survey/SiteData.h"
#include "survey/SurveyFormat.h"
#include "survey/SurveyReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class SurveySafety : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-survsafe-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    CFileFaults::Reset();
    fs::remove_all(m_dir);
  }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }
  static std::vector<uint8_t> Bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Three segments of three records of 50 levels each; the first record's level count has lost
  // a bit (50 -> 18), so its last 32 levels cannot be read.
  static std::vector<uint8_t> Damaged() {
    std::vector<uint8_t> bytes(SURVEY_FIRST_SEGMENT_OFFSET);
    const auto header = EncodeSurveyHeader(_surveyheader{});
    std::copy(header.begin(), header.end(), bytes.begin());
    WriteUInt32LE(&bytes[SURVEY_HEADER_LENGTH_OFFSET], SURVEY_SEGMENT_HEADER_LENGTH);
    WriteUInt32LE(&bytes[SURVEY_COUNT_OFFSET], 3);
    for (uint8_t k = 1; k <= 3; ++k) {
      _segmentheader segment;
      segment.nMonth = 6;
      segment.nDay = 1;
      segment.nStartHour = static_cast<uint8_t>(9 + k);
      segment.nRecordCount = 3;
      const auto encoded = EncodeSegmentHeader(segment);
      bytes.insert(bytes.end(), encoded.begin(), encoded.end());
      for (int r = 0; r < 3; ++r) {
        _channelrecord record;
        record.nFrequency = 8500;
        record.nChannel = 1;
        record.nLevels = 50;
        for (uint32_t i = 0; i < 50; ++i) {
          record.levels[i] = static_cast<int16_t>(-90 + static_cast<int>(i));
        }
        AppendChannelRecord(bytes, record);
      }
    }
    bytes[33 + 53 + 6] = 18;
    return bytes;
  }

  fs::path m_dir;
};

TEST_F(SurveySafety, VerifyAndRepairListWhatIsSteppedOverAndKeepEverySegment) {
  WriteBytes(Path("site.tvd"), Damaged());
  std::ostringstream verify;
  EXPECT_EQ(VerifySurvey(Path("site.tvd"), verify), SURVEY_EXIT_UNSOUND);
  // The first record ends after 18 levels, at 86 + 10 + 36; the second starts at 86 + 110.
  EXPECT_TRUE(Contains(verify.str(), "  skipped 64 bytes at offset 132: ")) << verify.str();

  std::ostringstream report;
  ASSERT_EQ(RepairSurveyFile(Path("site.tvd"), Path("fixed.tvd"), report, report), SURVEY_EXIT_SOUND) << report.str();
  EXPECT_TRUE(Contains(report.str(), "skipped 64 bytes at offset 132: ")) << report.str();
  EXPECT_TRUE(Contains(report.str(), "3 segments, 9 records, 418 levels")) << report.str();
  const auto fixed = Bytes(Path("fixed.tvd"));
  EXPECT_TRUE(ParseSurvey(fixed.data(), fixed.size()).IsSound());
}

TEST_F(SurveySafety, RepairOnAFullDiskLeavesTheOutputAsItWas) {
  WriteBytes(Path("site.tvd"), Damaged());
  for (const bool bExisting : {false, true}) {
    SCOPED_TRACE(bExisting);
    if (bExisting) {
      WriteBytes(Path("fixed.tvd"), {7, 7, 7});
    }
    CFileFaults::FillDiskAfter(200);
    std::ostringstream report;
    try {
      (void)RepairSurveyFile(Path("site.tvd"), Path("fixed.tvd"), report, report);
      ADD_FAILURE() << "the repair did not fail";
    } catch (const CFileException &e) {
      EXPECT_EQ(e.m_cause, CFileException::diskFull);
      EXPECT_TRUE(Contains(e.what(), Path("fixed.tvd"))) << e.what();
    }
    CFileFaults::Reset();
    EXPECT_EQ(fs::exists(Path("fixed.tvd")), bExisting);
    if (bExisting) {
      EXPECT_EQ(Bytes(Path("fixed.tvd")), std::vector<uint8_t>({7, 7, 7}));
    }
    EXPECT_FALSE(fs::exists(Path("fixed.tvd.partial")));
    EXPECT_EQ(Bytes(Path("site.tvd")), Damaged());
  }
}

TEST_F(SurveySafety, ASurveyACollectorIsWritingIsReadButNeitherContinuedNorRepairedOver) {
  CSitePlan plan;
  auto data = std::make_unique<CSiteData>(Path("open.tvd"), CSiteData::modeCreateNew, plan);
  WriteBytes(Path("site.tvd"), Damaged());

  std::ostringstream verify;
  EXPECT_EQ(VerifySurvey(Path("open.tvd"), verify), SURVEY_EXIT_SOUND) << verify.str();
  std::ostringstream repaired;
  EXPECT_EQ(RepairSurveyFile(Path("open.tvd"), Path("copy.tvd"), repaired, repaired), SURVEY_EXIT_SOUND)
      << repaired.str();
  const std::string inUse = "\"" + Path("open.tvd") +
                            "\" is in use: another program (a collector or tvdtool) is writing this survey. Close "
                            "it there first, or choose another file.";
  for (const auto &action : std::vector<std::function<void()>>{[&] {
                                                                 std::ostringstream out;
                                                                 (void)ContinueSurveyFile(Path("open.tvd"), out, out);
                                                               },
                                                               [&] {
                                                                 std::ostringstream out;
                                                                 (void)RepairSurveyFile(Path("site.tvd"),
                                                                                        Path("open.tvd"), out, out);
                                                               }}) {
    try {
      action();
      ADD_FAILURE() << "not refused";
    } catch (const CFileException &e) {
      EXPECT_EQ(std::string(e.what()), inUse);
    }
  }
  EXPECT_EQ(fs::file_size(Path("open.tvd")), SURVEY_FIRST_SEGMENT_OFFSET);
  EXPECT_FALSE(fs::exists(Path("open.tvd.bak")));
  data->Close();
}

} // namespace
