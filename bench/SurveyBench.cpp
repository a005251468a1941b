// Survey data file throughput:
//  - how many levels per second AddLevels stores when every record opens, writes and closes the
//    file (the collector's way of writing), for messages of 1, 15 and 63 levels (63 is the most a
//    frame's payload of 255 bytes carries) and for 50, which makes every message a record;
//  - how long it takes to reopen a survey of 500 segments of 200 full records each;
//  - what synchronising the appended records to the disk (at least once a second) costs AddLevels:
//    levels per second with the system clock (synchronising) and with a clock that stands still
//    (never a second passed, so records are never synchronised), measured one after the other in
//    the same run, and the first against the receiver's top rate (1000 levels a second on each of
//    two channels), which it must pass more than 100 times.
#include "projection/SitePlan.h"
#include "projection/SiteProjection.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"
#include "survey/SurveyFormat.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string BenchPath(const std::string &name) {
  return (fs::temp_directory_path() / ("tarvex-bench-" + std::to_string(::getpid()) + "-" + name)).string();
}

// A fresh survey with one begun segment on two channels.
std::unique_ptr<CSiteData> BegunSurvey(const std::string &path, CSitePlan &plan,
                                       const CSurveyClock &clock = CSurveyClock::System()) {
  auto data = std::make_unique<CSiteData>(path, CSiteData::modeCreateNew, plan, clock);
  const uint32_t frequencies[] = {8500, 9000};
  data->SetChannels(frequencies, 2);
  CSiteProjection projection;
  CSegmentWalk walk(*data, plan, projection);
  if (!walk.NewSegment() || !walk.SetStartPoint({10, 10}) || !walk.SetStopPoint({500, 10}) || !walk.Begin()) {
    throw std::runtime_error("the benchmark's segment could not be begun");
  }
  return data;
}

void BM_AddLevels(benchmark::State &state) {
  const auto nLevels = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> message(4 * nLevels);
  for (uint32_t i = 0; i < nLevels; ++i) {
    message[2 * i] = static_cast<uint8_t>(-40 - static_cast<int>(i % 60));
  }
  const std::string path = BenchPath("add-levels.tvd");
  auto plan = std::make_unique<CSitePlan>();
  auto data = BegunSurvey(path, *plan);
  int64_t nMessages = 0;
  int64_t nRecords = 0;
  for (auto _ : state) {
    data->AddLevels(1 + static_cast<int>(nMessages & 1), message.data(), 2 * nLevels);
    ++nMessages;
    // Keep the file and the segment's 16-bit record count in bounds: a new file now and then.
    if (data->m_nRecordCount >= 20000) {
      state.PauseTiming();
      nRecords += data->m_nRecordCount;
      data.reset();
      data = BegunSurvey(path, *plan);
      state.ResumeTiming();
    }
  }
  nRecords += data->m_nRecordCount;
  data.reset();
  fs::remove(path);
  state.SetItemsProcessed(nMessages * nLevels);
  state.counters["levels/s"] =
      benchmark::Counter(static_cast<double>(nMessages * nLevels), benchmark::Counter::kIsRate);
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(nRecords), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AddLevels)->Arg(1)->Arg(15)->Arg(50)->Arg(63);

// 500 segments of 200 records of 99 levels: 20.8 MB.
std::string LargeSurvey() {
  const std::string path = BenchPath("large.tvd");
  std::vector<uint8_t> bytes(SURVEY_FIRST_SEGMENT_OFFSET);
  const auto header = EncodeSurveyHeader(_surveyheader{});
  std::copy(header.begin(), header.end(), bytes.begin());
  WriteUInt32LE(&bytes[SURVEY_HEADER_LENGTH_OFFSET], SURVEY_SEGMENT_HEADER_LENGTH);
  WriteUInt32LE(&bytes[SURVEY_COUNT_OFFSET], 500);
  _channelrecord record;
  record.nFrequency = 8500;
  record.nLevels = SURVEY_MAX_RECORD_LEVELS;
  for (uint32_t i = 0; i < record.nLevels; ++i) {
    record.levels[i] = static_cast<int16_t>(-100 + static_cast<int>(i));
  }
  for (int k = 0; k < 500; ++k) {
    _segmentheader segment;
    segment.nMonth = 6;
    segment.nDay = 1;
    segment.nStartX = static_cast<uint16_t>(k);
    segment.nStopX = static_cast<uint16_t>(k + 10);
    segment.nRecordCount = 200;
    const auto encoded = EncodeSegmentHeader(segment);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    for (int r = 0; r < 200; ++r) {
      record.nChannel = static_cast<uint16_t>(1 + r % 2);
      AppendChannelRecord(bytes, record);
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void BM_ReopenLargeSurvey(benchmark::State &state) {
  const std::string path = LargeSurvey();
  auto plan = std::make_unique<CSitePlan>();
  plan->SetPlan(2000, 1500, {0, 0, 800, 600});
  for (auto _ : state) {
    CSiteData data(path, CSiteData::modeOpenExisting, *plan);
    benchmark::DoNotOptimize(data.m_nFileLength);
    if (data.m_nSegmentCount != 500) {
      state.SkipWithError("the survey did not reopen with 500 segments");
    }
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
  fs::remove(path);
}
BENCHMARK(BM_ReopenLargeSurvey)->Unit(benchmark::kMillisecond);

// The receiver's top rate: 1000 levels a second on each of its two channels.
constexpr double RECEIVER_TOP_RATE = 2 * 1000.0;

// A clock at one moment: no second ever passes, so appended records are never synchronised.
class CStillClock : public CSurveyClock {
public:
  int64_t Now() const override { return 1717236000; }
};

// Levels per second AddLevels stores in messages of nLevels levels, over about dSeconds.
double LevelsPerSecond(const CSurveyClock &clock, uint32_t nLevels, double dSeconds) {
  std::vector<uint8_t> message(4 * nLevels);
  for (uint32_t i = 0; i < nLevels; ++i) {
    message[2 * i] = static_cast<uint8_t>(-40 - static_cast<int>(i % 60));
  }
  const std::string path = BenchPath("sync.tvd");
  auto plan = std::make_unique<CSitePlan>();
  auto data = BegunSurvey(path, *plan, clock);
  using Clock = std::chrono::steady_clock;
  Clock::duration elapsed{};
  uint64_t nMessages = 0;
  while (std::chrono::duration<double>(elapsed).count() < dSeconds) {
    const auto start = Clock::now();
    for (int i = 0; i < 512; ++i, ++nMessages) {
      data->AddLevels(1 + static_cast<int>(nMessages & 1), message.data(), 2 * nLevels);
    }
    elapsed += Clock::now() - start;
    if (data->m_nRecordCount >= 20000) { // a new file now and then, outside the timing
      data.reset();
      data = BegunSurvey(path, *plan, clock);
    }
  }
  data.reset();
  fs::remove(path);
  return static_cast<double>(nMessages * nLevels) / std::chrono::duration<double>(elapsed).count();
}

void CompareSynchronisation() {
  const CStillClock still;
  std::printf("\nAddLevels with and without synchronising appended records to the disk once a second\n");
  for (const uint32_t nLevels : {1U, 8U, 63U}) {
    const double dWithout = LevelsPerSecond(still, nLevels, 2.0);
    const double dWith = LevelsPerSecond(CSurveyClock::System(), nLevels, 2.0);
    std::printf("messages of %2u level(s): %10.0f levels/s synchronising, %10.0f without (%.3f); %8.0f x the "
                "receiver's top rate of %.0f levels/s (target > 100 x)\n",
                nLevels, dWith, dWithout, dWith / dWithout, dWith / RECEIVER_TOP_RATE, RECEIVER_TOP_RATE);
  }
}

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CompareSynchronisation();
  return 0;
}
