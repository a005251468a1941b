// The coverage core on the sample site, timed in one run:
//   (a) a full working day: 57.6 million levels (8 hours at 2 x 1000 levels/s), written as a
//       survey of 500 segments, read into a coverage from the file segment by segment: the time
//       (target <= 10 s) and the process's peak memory (target < 300 MB);
//   (b) 1 million levels: one pass of reading them from the file (the baseline), then binning,
//       interpolation and mask of the same levels (target <= 0.5 s and <= 10 x the read).
// The surveys are simulated: segments walked to and fro along a serpentine over the plan, levels
// from a smooth field with a little noise.
//
//   bench_coverage [PROJECTION]   (default: the sample site's geo-coded projection of this build)
#include "coverage/CoverageSurvey.h"
#include "projection/BitmapFile.h"
#include "projection/Compression.h"
#include "projection/ProjectionHeader.h"
#include "projection/SiteProjection.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The process's processor time in seconds: what the work took, whatever else the machine runs.
double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct _plan {
  CSiteProjection projection;
  int nWidth = 0;
  int nHeight = 0;
};

// The projection's transform and its plan's size, read from the file alone.
void LoadPlan(const std::string &path, _plan &plan) {
  LoadProjectionTransform(path, plan.projection);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const uint32_t nOffset = ProjectionSectionOffset(plan.projection.m_nKind);
  if (bytes.size() < nOffset + 4) {
    throw std::runtime_error(path + " has no floor plan");
  }
  CCompression compression("", "");
  const auto header = compression.DecodeInMemory(bytes.data() + nOffset, bytes.size() - nOffset, 64);
  const auto bitmap = ReadBitmapHeader(header.data(), header.size());
  if (!bitmap) {
    throw std::runtime_error(path + "'s floor plan is no bitmap");
  }
  plan.nWidth = bitmap->nWidth;
  plan.nHeight = std::abs(bitmap->nHeight);
}

// Wall-clock and processor time since it was made. The machine may be shared with other work:
// the targets are checked against the processor time, what the work itself took.
struct _stopwatch {
  Clock::time_point start = Clock::now();
  double dCpuStart = CpuSeconds();
  double Wall() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
  double Cpu() const { return CpuSeconds() - dCpuStart; }
};

double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string strLine;
  while (std::getline(status, strLine)) {
    if (strLine.rfind("VmHWM:", 0) == 0) {
      return std::strtod(strLine.c_str() + 6, nullptr) * 1024.0 / 1e6;
    }
  }
  return -1;
}

// The serpentine one tenth in from the plan's edges: along the top, down to the middle, back along
// the middle, down, and along the bottom; segment k walks its leg k % 5, there and back by turns.
void LegOf(const _plan &plan, uint32_t k, std::array<double, 2> &from, std::array<double, 2> &to) {
  const double w = plan.nWidth;
  const double h = plan.nHeight;
  const std::array<std::array<double, 2>, 6> route{
      {{w / 10, h / 10}, {w * 0.9, h / 10}, {w * 0.9, h / 2}, {w / 10, h / 2}, {w / 10, h * 0.9}, {w * 0.9, h * 0.9}}};
  const size_t nLeg = k % 5;
  const bool bBack = k / 5 % 2 == 1;
  from = route[bBack ? nLeg + 1 : nLeg];
  to = route[bBack ? nLeg : nLeg + 1];
}

_segmentheader SegmentHeader(const std::array<double, 2> &from, const std::array<double, 2> &to, int nStart, int nStop,
                             uint32_t nRecords) {
  _segmentheader segment;
  segment.nMonth = 6;
  segment.nDay = 1;
  segment.nYear = 2024 - 1980;
  segment.nStartHour = static_cast<uint8_t>(nStart / 3600);
  segment.nStartMinute = static_cast<uint8_t>(nStart / 60 % 60);
  segment.nStartSecond = static_cast<uint8_t>(nStart % 60);
  segment.nStopHour = static_cast<uint8_t>(nStop / 3600);
  segment.nStopMinute = static_cast<uint8_t>(nStop / 60 % 60);
  segment.nStopSecond = static_cast<uint8_t>(nStop % 60);
  segment.nStartX = static_cast<uint16_t>(from[0]);
  segment.nStartY = static_cast<uint16_t>(from[1]);
  segment.nStopX = static_cast<uint16_t>(to[0]);
  segment.nStopY = static_cast<uint16_t>(to[1]);
  segment.nRecordCount = static_cast<uint16_t>(nRecords);
  return segment;
}

// Appends nLevels levels of each channel walked from one point to another, in records of 99, the
// channels by turns: a smooth field over the plan with a little noise.
void AppendLevels(std::vector<uint8_t> &bytes, const std::array<double, 2> &from, const std::array<double, 2> &to,
                  uint32_t nLevels, uint32_t &nNoise) {
  const uint32_t nRecords = (nLevels + SURVEY_MAX_RECORD_LEVELS - 1) / SURVEY_MAX_RECORD_LEVELS;
  for (uint32_t r = 0; r < 2 * nRecords; ++r) {
    _channelrecord record;
    record.nChannel = static_cast<uint16_t>(1 + r % 2);
    record.nFrequency = record.nChannel == 1 ? 8500 : 9000;
    const uint32_t nFirst = (r / 2) * SURVEY_MAX_RECORD_LEVELS;
    record.nLevels = std::min(SURVEY_MAX_RECORD_LEVELS, nLevels - nFirst);
    for (uint32_t i = 0; i < record.nLevels; ++i) {
      const double f = (nFirst + i + 0.5) / nLevels;
      const double x = from[0] + f * (to[0] - from[0]);
      const double y = from[1] + f * (to[1] - from[1]);
      nNoise = nNoise * 1103515245 + 12345;
      const double dLevel = (record.nChannel == 1 ? -58.0 : -71.0) + 12 * std::sin(x / 110) * std::cos(y / 80) +
                            static_cast<double>((nNoise >> 16) % 7) - 3;
      record.levels[i] = static_cast<int16_t>(std::lround(dLevel));
    }
    AppendChannelRecord(bytes, record);
  }
}

// Writes a survey of a segment for each entry of levels, with that many levels of each of two
// channels measured at 1000 levels/s, one after the other from 08:00. Returns the file's length.
uint64_t WriteSurvey(const std::string &path, const _plan &plan, const std::vector<uint32_t> &levels) {
  const auto nSegments = static_cast<uint32_t>(levels.size());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<uint8_t> bytes(SURVEY_FIRST_SEGMENT_OFFSET);
  const auto header = EncodeSurveyHeader(_surveyheader{});
  std::copy(header.begin(), header.end(), bytes.begin());
  WriteUInt32LE(&bytes[SURVEY_HEADER_LENGTH_OFFSET], SURVEY_SEGMENT_HEADER_LENGTH);
  WriteUInt32LE(&bytes[SURVEY_COUNT_OFFSET], nSegments);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  uint64_t nLength = bytes.size();
  uint32_t nNoise = 12345;
  uint64_t nBefore = 0; // levels of each channel in the segments before
  for (uint32_t k = 0; k < nSegments; ++k) {
    const uint32_t nLevels = levels[k];
    const uint32_t nRecords = 2 * ((nLevels + SURVEY_MAX_RECORD_LEVELS - 1) / SURVEY_MAX_RECORD_LEVELS);
    std::array<double, 2> from{}, to{};
    LegOf(plan, k, from, to);
    const int nStart = 8 * 3600 + static_cast<int>(std::lround(static_cast<double>(nBefore) / 1000.0));
    nBefore += nLevels;
    const int nStop = 8 * 3600 + static_cast<int>(std::lround(static_cast<double>(nBefore) / 1000.0));
    const auto encoded = EncodeSegmentHeader(SegmentHeader(from, to, nStart, nStop, nRecords));
    bytes.assign(encoded.begin(), encoded.end());
    AppendLevels(bytes, from, to, nLevels, nNoise);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    nLength += bytes.size();
  }
  if (!out.flush()) {
    throw std::runtime_error("cannot write " + path);
  }
  return nLength;
}

const char *Met(bool bMet) { return bMet ? "met" : "MISSED"; }

// (a): 500 segments of 57.6 s, read into a coverage from the file.
bool FullDay(const _plan &plan, const _planmetric &metric, const std::string &path) {
  const uint64_t nLength = WriteSurvey(path, plan, std::vector<uint32_t>(500, 57600));
  const _stopwatch watch;
  CCoverage coverage({}, metric, plan.nWidth, plan.nHeight);
  const CSurveySource source(path, CFile::shareDenyNone);
  const _coveragesurvey survey = AddSurveyToCoverage(source, coverage);
  const double dSeconds = watch.Cpu();
  const double dWall = watch.Wall();
  const double dPeak = PeakMegabytes();
  const uint64_t nLevels = survey.levels[0] + survey.levels[1];
  std::printf("(a) a full day: %llu levels in %zu segments (%.1f MB) read into a coverage in %.2f s of processor "
              "time (target <= 10 s: %s; %.2f s wall-clock); peak memory %.1f MB (target < 300 MB: %s); channel 1 "
              "covers %.0f m\u00b2\n",
              static_cast<unsigned long long>(nLevels), survey.contents.segments.size(), nLength / 1e6, dSeconds,
              Met(dSeconds <= 10), dWall, dPeak, Met(dPeak < 300), coverage.Figures(1).dAreaSquareMetres);
  fs::remove(path);
  return nLevels == 57'600'000 && dSeconds <= 10 && dPeak < 300;
}

// (b): 1 million levels, the serpentine's legs walked at 1.2 m/s; the read is the best of five
// passes, and so is the coverage.
bool MillionLevels(const _plan &plan, const _planmetric &metric, const std::string &path) {
  std::vector<uint32_t> levels;
  double dWalked = 0;
  for (uint32_t k = 0, nLeft = 500'000; nLeft > 0; ++k) {
    std::array<double, 2> from{}, to{};
    LegOf(plan, k, from, to);
    const double dSeconds = metric.Metres(to[0] - from[0], to[1] - from[1]) / 1.2;
    levels.push_back(std::min(nLeft, static_cast<uint32_t>(std::lround(1000 * dSeconds))));
    nLeft -= levels.back();
    dWalked += 1.2 * levels.back() / 1000.0;
  }
  WriteSurvey(path, plan, levels);
  double dRead = 1e9;
  int64_t nSum = 0;
  for (int i = 0; i < 5; ++i) {
    const _stopwatch watch;
    ReadSurveyFile(path, CFile::shareDenyNone, {true, false}, [&](const _surveycontents &contents, size_t k) {
      for (const auto &record : contents.segments[k].records) {
        for (const int16_t nLevel : record.levels) {
          nSum += nLevel;
        }
      }
    });
    dRead = std::min(dRead, watch.Cpu());
  }
  const _surveycontents contents = ReadSurveyFile(path, CFile::shareDenyNone, {});
  double dCoverage = 1e9;
  for (int i = 0; i < 5; ++i) {
    const _stopwatch watch;
    CCoverage coverage({}, metric, plan.nWidth, plan.nHeight);
    for (size_t k = 0; k < contents.segments.size(); ++k) {
      const _segmenttiming timing = SegmentTiming(contents, k);
      coverage.AddSegment(static_cast<uint32_t>(k + 1), contents.segments[k], timing);
    }
    coverage.Update();
    dCoverage = std::min(dCoverage, watch.Cpu());
  }
  std::printf("(b) %llu levels in %zu segments, %.0f m walked, processor time: one read of them from the file "
              "%.4f s; binning, interpolation and mask %.4f s (target <= 0.5 s: %s) = %.1f x the read (target <= 10: "
              "%s) [sum %lld]\n",
              static_cast<unsigned long long>(contents.LevelCount()), levels.size(), dWalked, dRead, dCoverage,
              Met(dCoverage <= 0.5), dCoverage / dRead, Met(dCoverage <= 10 * dRead), static_cast<long long>(nSum));
  fs::remove(path);
  return dCoverage <= 0.5 && dCoverage <= 10 * dRead;
}

} // namespace

int main(int argc, char **argv) {
  const std::string projection = argc > 1 ? argv[1] : TARVEX_SAMPLE_PROJECTION;
  const std::string path =
      (fs::temp_directory_path() / ("tarvex-bench-coverage-" + std::to_string(::getpid()) + ".tvd")).string();
  try {
    _plan plan;
    LoadPlan(projection, plan);
    const _planmetric metric = PlanMetricOf(plan.projection, plan.nWidth, plan.nHeight);
    std::printf("plan %s: %d x %d pixels, %.1f x %.1f m; cells of 0.25 m, radius 3 m, bins of 0.5 m\n",
                projection.c_str(), plan.nWidth, plan.nHeight, plan.nWidth * metric.MetresPerPixelX(),
                plan.nHeight * metric.MetresPerPixelY());
    const bool bDay = FullDay(plan, metric, path);
    const bool bMillion = MillionLevels(plan, metric, path);
    return bDay && bMillion ? 0 : 1;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "bench_coverage: %s\n", e.what());
    fs::remove(path);
    return 2;
  }
}
