#include "quality/SegmentChecks.h"
#include "quality/GapWatch.h"
#include "quality/QualityFile.h"
#include "tests/quality/QualitySurvey.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A stretch in which the receiver's channel 2 sent nothing, in milliseconds after BEGIN.
struct _pause {
  int64_t nAfterMs = 0; // the last message before it
  int64_t nUntilMs = 0; // the first message after it
};

struct _checkcase {
  const char *pName;
  std::function<void(_walk &)> fnChange; // what is different about segment 2
  std::optional<_pause> pause;           // its walk was watched, with this pause on channel 2
  const char *pExpected;                 // what the surveyor reads of segment 2
};

std::vector<int16_t> Replaced(std::vector<int16_t> levels, size_t nFirst, size_t nCount, int16_t nValue) {
  std::fill_n(levels.begin() + static_cast<std::ptrdiff_t>(nFirst), nCount, nValue);
  return levels;
}

// Levels of someone standing still, near the receiver, from level 100 to 149: they hardly change.
std::vector<int16_t> StandingLevels() {
  auto levels = WalkingLevels(200);
  for (size_t i = 100; i < 150; ++i) {
    levels[i] = static_cast<int16_t>(i % 2 == 0 ? -40 : -41);
  }
  return levels;
}

void Levels(_walk &walk, size_t n1, size_t n2) { walk.levels = {{1, WalkingLevels(n1)}, {2, WalkingLevels(n2)}}; }

// The walk of segment 2 as the collector watches it: a message every 100 ms on both channels for
// its 20 s, none on channel 2 during the pause.
_walkgaps Watch(const _pause &pause) {
  CGapWatch watch;
  watch.Begin(0);
  for (int64_t t = 100; t < 20000; t += 100) {
    watch.Levels(1, 1, t);
    if (t <= pause.nAfterMs || t >= pause.nUntilMs) {
      watch.Levels(2, 1, t);
    }
  }
  return watch.Stop(20000);
}

const _checkcase CHECK_CASES[] = {
    {"ordinary", [](_walk &) {}, std::nullopt, "Segment 2 passed"},
    {"gap", [](_walk &) {}, _pause{8000, 14200},
     "Segment 2: 6.2 s without levels on channel 2 at 12 m (31 % of the walk)"},
    {"pauseUnderASecond", [](_walk &) {}, _pause{8000, 8900}, "Segment 2 passed"},
    {"slowRate", [](_walk &w) { Levels(w, 80, 80); }, std::nullopt,
     "Segment 2: 4.0 levels/s on channel 1, the survey's median is 10.0; 4.0 levels/s on channel 2, the survey's "
     "median is 10.0"},
    {"fastRate", [](_walk &w) { Levels(w, 310, 200); }, std::nullopt,
     "Segment 2: channel 2 has 35 % fewer levels than channel 1 (200 against 310); 15.5 levels/s on channel 1, the "
     "survey's median is 10.0"},
    {"rateWithinBounds", [](_walk &w) { Levels(w, 120, 120); }, std::nullopt, "Segment 2 passed"},
    {"channelsDiffer", [](_walk &w) { Levels(w, 200, 150); }, std::nullopt,
     "Segment 2: channel 2 has 25 % fewer levels than channel 1 (150 against 200)"},
    {"channelsDifferByAFifth", [](_walk &w) { Levels(w, 200, 160); }, std::nullopt, "Segment 2 passed"},
    {"tooFast",
     [](_walk &w) {
       w.nSeconds = 10;
       Levels(w, 100, 100);
     },
     std::nullopt, "Segment 2: walked at 3.0 m/s, faster than 2 m/s"},
    {"tooSlow",
     [](_walk &w) {
       w.nSeconds = 120;
       Levels(w, 1200, 1200);
     },
     std::nullopt, "Segment 2: walked at 0.25 m/s, slower than 0.3 m/s"},
    {"brisk",
     [](_walk &w) {
       w.nSeconds = 16;
       Levels(w, 160, 160);
     },
     std::nullopt, "Segment 2 passed"},
    {"tooShort",
     [](_walk &w) {
       w.nSeconds = 1;
       w.dMetres = 1;
       Levels(w, 10, 10);
     },
     std::nullopt, "Segment 2: walked in 1 s, shorter than 2 s"},
    {"standingStill",
     [](_walk &w) {
       w.levels = {{1, StandingLevels()}, {2, StandingLevels()}};
     },
     std::nullopt, "Segment 2: standing still for 5.0 s at 15 m (channel 1's levels hardly change)"},
    {"clipped", [](_walk &w) { w.levels[1] = Replaced(Replaced(WalkingLevels(200), 10, 2, 127), 110, 2, -128); },
     std::nullopt, "Segment 2: 2 % of channel 1's levels at the scale's end (-128 or 127)"},
    {"clippedOnce", [](_walk &w) { w.levels[1] = Replaced(WalkingLevels(200), 10, 2, 127); }, std::nullopt,
     "Segment 2 passed"},
    {"equalRun", [](_walk &w) { w.levels[2] = Replaced(WalkingLevels(200), 40, 60, -75); }, std::nullopt,
     "Segment 2: 60 equal levels (-75) in a row on channel 2 at 6.1 m"},
    {"shortEqualRun", [](_walk &w) { w.levels[2] = Replaced(WalkingLevels(200), 40, 49, -75); }, std::nullopt,
     "Segment 2 passed"},
    {"otherFrequency", [](_walk &w) { w.codes[2] = 9100; }, std::nullopt,
     "Segment 2: channel 2 at 455 MHz, the survey's is at 450 MHz"},
    {"channelMissing", [](_walk &w) { w.levels.erase(2); }, std::nullopt, "Segment 2: no levels on channel 2"},
    {"noLevels", [](_walk &w) { w.levels.clear(); }, std::nullopt, "Segment 2: it holds no levels"},
    {"samePoint", [](_walk &w) { w.bSamePoint = true; }, std::nullopt, "Segment 2: its stop point is its start point"},
    {"noLength", [](_walk &w) { w.dMetres = 0; }, std::nullopt, "Segment 2: it is 0 m long"},
};

class SegmentChecks : public ::testing::TestWithParam<_checkcase> {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-checks-" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  fs::path m_dir;
};

// Three walks, the second changed as the case says: what the surveyor reads of each segment, the
// gaps taken from the side file the walk left.
TEST_P(SegmentChecks, SaysWhatIsWrongWithASegment) {
  const _checkcase &c = GetParam();
  std::vector<_walk> walks{OrdinaryWalk(0), OrdinaryWalk(1), OrdinaryWalk(2)};
  c.fnChange(walks[1]);
  const std::string path = (m_dir / (std::string(c.pName) + ".tvd")).string();
  WriteFile(path, SurveyOf(walks));
  if (c.pause) {
    _qualityrecord record;
    record.nSurveyCreated = 1700000000;
    RecordWalk(record, 2, WalkHeader(walks[1]), Watch(*c.pause));
    WriteQualityFile(path, record);
  }

  const std::string bytes = ReadFile(path);
  const auto contents = ParseSurvey(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  const _qualityload side = LoadQualityFile(path, contents);
  EXPECT_EQ(side.bUsed, c.pause.has_value());
  const _surveyquality quality = CheckSurvey(contents, nullptr, side.record, {});
  ASSERT_EQ(quality.segments.size(), 3U);
  EXPECT_EQ(QualitySentence(quality.segments[0]), "Segment 1 passed");
  EXPECT_EQ(QualitySentence(quality.segments[1]), c.pExpected);
  EXPECT_EQ(QualitySentence(quality.segments[2]), "Segment 3 passed");
}

INSTANTIATE_TEST_SUITE_P(EachCheck, SegmentChecks, ::testing::ValuesIn(CHECK_CASES),
                         [](const auto &test) { return std::string(test.param.pName); });

// The settings move the thresholds: a 6.2 s pause passes when gaps must last 10 s, and a walk at
// 3 m/s when 4 m/s is allowed.
TEST(QualitySettings, NamedSettingsMoveTheThresholds) {
  _qualitysettings settings;
  EXPECT_EQ(SetQualitySetting(settings, "gap_min_s=10"), "");
  EXPECT_EQ(SetQualitySetting(settings, "speed_max_m_s=4"), "");
  EXPECT_EQ(Watch({8000, 14200}).gaps.size(), 1U);
  CGapWatch watch(settings);
  watch.Begin(0);
  watch.Levels(2, 1, 100);
  watch.Levels(2, 1, 6300);
  EXPECT_TRUE(watch.Stop(7000).gaps.empty());

  std::vector<_walk> walks{OrdinaryWalk(0)};
  walks[0].nSeconds = 10;
  Levels(walks[0], 100, 100);
  const auto bytes = SurveyOf(walks);
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  EXPECT_EQ(QualitySentence(CheckSurvey(contents, nullptr, {}, {}).segments[0]),
            "Segment 1: walked at 3.0 m/s, faster than 2 m/s");
  EXPECT_EQ(QualitySentence(CheckSurvey(contents, nullptr, {}, settings).segments[0]), "Segment 1 passed");

  EXPECT_EQ(SetQualitySetting(settings, "speed_max_m_s=fast"), "the setting speed_max_m_s takes a positive number, "
                                                               "not \"fast\"");
  EXPECT_EQ(
      SetQualitySetting(settings, "speed=4").rfind("there is no setting \"speed\" (the settings are gap_min_s, ", 0),
      0U);
}

} // namespace
