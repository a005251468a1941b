#pragma once

#include "platform/FileFaults.h"
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"
#include "survey/SurveyClock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

// A clock that stands still until a test moves it, and whose local time can fail.
class CTestClock : public CSurveyClock {
public:
  int64_t Now() const override { return m_nNow; }
  bool ToLocalTime(int64_t /*nTime*/, _localtime &local) const override {
    if (m_bLocalWorks) {
      local = m_local;
    }
    return m_bLocalWorks;
  }
  int64_t m_nNow = 1204725600; // 2008-03-05
  _localtime m_local{2008, 3, 5, 14, 7, 9};
  bool m_bLocalWorks = true;
};

// The level data of one level message carrying the given levels: each level is the first byte
// of a two-byte item, and only the first half of the items are taken, so the data has 2n items.
struct _leveldata {
  std::vector<uint8_t> bytes;
  uint32_t nItems = 0;
};

inline _leveldata LevelData(const std::vector<int8_t> &levels) {
  _leveldata data;
  data.nItems = static_cast<uint32_t>(levels.size() * 2);
  data.bytes.assign(data.nItems * 2, 0x7F); // items that are never taken
  for (size_t i = 0; i < levels.size(); ++i) {
    data.bytes[2 * i] = static_cast<uint8_t>(levels[i]);
    data.bytes[2 * i + 1] = 0x55;
  }
  return data;
}

class SurveyTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::filesystem::temp_directory_path() /
            ("tarvex-survey-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    m_plan = std::make_unique<CSitePlan>();
    m_plan->SetPlan(2000, 1500, {0, 0, 800, 600});
  }
  void TearDown() override {
    CFileFaults::Reset();
    std::filesystem::remove_all(m_dir);
  }

  std::string Path(const std::string &name = "Data.tvd") const { return (m_dir / name).string(); }

  static std::vector<uint8_t> Bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Each survey made or opened gets a walk of its own at its first Begin.
  std::unique_ptr<CSiteData> Create(const std::string &name = "Data.tvd") {
    m_pWalk.reset();
    return std::make_unique<CSiteData>(Path(name), CSiteData::modeCreateNew, *m_plan, m_clock);
  }
  std::unique_ptr<CSiteData> Open(const std::string &name = "Data.tvd") {
    m_pWalk.reset();
    return std::make_unique<CSiteData>(Path(name), CSiteData::modeOpenExisting, *m_plan, m_clock);
  }
  CSegmentWalk &WalkOf(CSiteData &data) {
    if (!m_pWalk) {
      m_pWalk = std::make_unique<CSegmentWalk>(data, *m_plan, m_projection);
    }
    return *m_pWalk;
  }
  static void Done(const _walkresult &result) { ASSERT_TRUE(result.bDone) << result.strReason; }

  static void Add(CSiteData &data, int nChannel, const std::vector<int8_t> &levels) {
    const auto message = LevelData(levels);
    data.AddLevels(nChannel, message.bytes.data(), message.nItems);
  }

  // New Segment, the points, BEGIN: the start of a walk.
  void Begin(CSiteData &data, _pixelpoint start, _pixelpoint stop) {
    CSegmentWalk &walk = WalkOf(data);
    Done(walk.NewSegment());
    Done(walk.SetStartPoint(start));
    Done(walk.SetStopPoint(stop));
    Done(walk.Begin());
  }

  // STOP: the levels still buffered, the stop time, the final header.
  void Stop(CSiteData &data) { Done(WalkOf(data).Stop()); }

  // One segment as the segment walking does it: announce, points, BEGIN, levels, STOP.
  void Walk(CSiteData &data, _pixelpoint start, _pixelpoint stop, const std::vector<std::vector<int8_t>> &messages,
            int nChannel = 1) {
    Begin(data, start, stop);
    for (const auto &levels : messages) {
      Add(data, nChannel, levels);
    }
    m_clock.m_local.nMinute += 1;
    Stop(data);
  }

  std::filesystem::path m_dir;
  CTestClock m_clock;
  std::unique_ptr<CSitePlan> m_plan;
  CSiteProjection m_projection; // none loaded: points without coordinates
  std::unique_ptr<CSegmentWalk> m_pWalk;
};

inline uint32_t U32At(const std::vector<uint8_t> &bytes, size_t nOffset) {
  return ReadUInt32LE(bytes.data() + nOffset);
}
inline uint16_t U16At(const std::vector<uint8_t> &bytes, size_t nOffset) {
  return ReadUInt16LE(bytes.data() + nOffset);
}

// n levels counting up from nFirst, wrapping within a signed byte.
inline std::vector<int8_t> Ramp(size_t n, int nFirst = 0) {
  std::vector<int8_t> levels(n);
  for (size_t i = 0; i < n; ++i) {
    levels[i] = static_cast<int8_t>(static_cast<uint8_t>(nFirst + static_cast<int>(i)));
  }
  return levels;
}
