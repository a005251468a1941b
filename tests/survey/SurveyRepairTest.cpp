// Repair reads on past unreadable bytes: it finds the next segment header or record by its shape,
// keeps everything readable after it and lists what it stepped over.
#include "survey/SurveyRepair.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Five segments of 800 levels each as the collector writes them: eight records of 99 levels and
// one of 8, the channels taking turns.
constexpr size_t RECORD = 10 + 2 * 99;
constexpr size_t SEGMENT = 53 + 8 * RECORD + (10 + 2 * 8);
constexpr size_t SegmentAt(size_t k) { return 33 + (k - 1) * SEGMENT; }
constexpr size_t RecordAt(size_t k, size_t r) { return SegmentAt(k) + 53 + r * RECORD; }

std::vector<uint8_t> FiveSegments() {
  CSurveyBuilder file(5);
  for (uint8_t k = 1; k <= 5; ++k) {
    file.Segment(9, static_cast<uint8_t>(9 + k));
    for (int r = 0; r < 9; ++r) {
      file.Record(static_cast<uint16_t>(1 + r % 2), r < 8 ? 99 : 8);
    }
  }
  return file.m_bytes;
}

std::vector<size_t> RecordsPerSegment(const _surveycontents &contents) {
  std::vector<size_t> counts;
  for (const auto &segment : contents.segments) {
    counts.push_back(segment.records.size());
  }
  return counts;
}

// Damage of one kind each, what repair keeps of the five segments and what it says it stepped over.
struct _damage {
  const char *name;
  std::function<void(std::vector<uint8_t> &)> damage;
  std::vector<size_t> records; // per segment kept
  uint64_t nLevels;
  std::vector<std::string> changes; // the lines about what was stepped over or dropped
};

std::vector<_damage> Damages() {
  const auto flip = [](size_t nOffset, uint8_t nBit) { return [=](auto &b) { b[nOffset] ^= nBit; }; };
  const size_t nCount = RecordAt(1, 0) + 6; // the first record's level count
  return {
      // 98 levels: the record is read short by one level, whose two bytes are stepped over.
      {"99 -> 98 levels",
       flip(nCount, 0x01),
       {9, 9, 9, 9, 9},
       3999,
       {"skipped 2 bytes at offset " + std::to_string(RecordAt(1, 1) - 2)}},
      // 35 levels: the other 64 levels are stepped over.
      {"99 -> 35 levels",
       flip(nCount, 0x40),
       {9, 9, 9, 9, 9},
       3936,
       {"skipped 128 bytes at offset " + std::to_string(RecordAt(1, 0) + 10 + 70)}},
      // More than a record holds: the whole record is stepped over.
      {"99 -> 227 levels",
       flip(nCount, 0x80),
       {8, 9, 9, 9, 9},
       3901,
       {"skipped 208 bytes at offset " + std::to_string(RecordAt(1, 0))}},
      {"a high bit of the count",
       flip(nCount + 3, 0x01),
       {8, 9, 9, 9, 9},
       3901,
       {"skipped 208 bytes at offset " + std::to_string(RecordAt(1, 0))}},
      {"a record overwritten",
       [](auto &b) { std::fill_n(b.begin() + RecordAt(2, 2), RECORD, 0xEE); },
       {9, 8, 9, 9, 9},
       3901,
       {"skipped 208 bytes at offset " + std::to_string(RecordAt(2, 2))}},
      // A header that is no header: its segment goes, the others stay.
      {"segment 3's header",
       flip(SegmentAt(3) + 52, 0x07),
       {9, 9, 9, 9},
       3200,
       {"skipped " + std::to_string(SEGMENT) + " bytes at offset " + std::to_string(SegmentAt(3))}},
      // Zeros left at the end by a crash are not taken for records: record 3 of segment 5 keeps
      // its zero levels, the rest is dropped.
      {"zeros at the end",
       [](auto &b) { std::fill(b.end() - 1000, b.end(), 0); },
       {9, 9, 9, 9, 4},
       3596,
       {"dropped " + std::to_string(SegmentAt(6) - RecordAt(5, 4)) + " bytes from offset " +
        std::to_string(RecordAt(5, 4))}},
      // A segment count that says too few: the segments after it are kept as well.
      {"count 3 of 5", [](auto &b) { b[29] = 3; }, {9, 9, 9, 9, 9}, 4000, {}},
  };
}

TEST(SurveyRepairResync, DamageInOneSegmentLosesNothingOfTheOthers) {
  for (const auto &c : Damages()) {
    SCOPED_TRACE(c.name);
    auto bytes = FiveSegments();
    c.damage(bytes);
    const _surveyrepair repair = RepairSurvey(bytes.data(), bytes.size());
    ASSERT_TRUE(repair.bPossible);
    const auto repaired = ParseSurvey(repair.bytes.data(), repair.bytes.size(), false);
    ASSERT_TRUE(repaired.IsSound()) << repaired.errors.front().strText;
    EXPECT_EQ(RecordsPerSegment(repaired), c.records);
    EXPECT_EQ(repaired.LevelCount(), c.nLevels);
    EXPECT_EQ(repaired.nSegmentCount, c.records.size());
    std::vector<std::string> stepped;
    std::string all;
    for (const auto &change : repair.changes) {
      all += change + "\n";
      if (change.rfind("skipped", 0) == 0 || change.rfind("dropped", 0) == 0) {
        stepped.push_back(change.substr(0, change.find(':')));
      }
    }
    EXPECT_EQ(stepped, c.changes) << all;
    // Every header is kept as it was but for its count.
    for (size_t k = 0; k < repaired.segments.size(); ++k) {
      EXPECT_EQ(repaired.segments[k].header.nStartHour, repaired.segments[k].header.nStopHour);
    }
  }
}

TEST(SurveyRepairResync, TheCountAndTheWayOfReadingAreReported) {
  auto bytes = FiveSegments();
  bytes[29] = 3;
  const _surveyrepair more = RepairSurvey(bytes.data(), bytes.size());
  ASSERT_EQ(more.changes.size(), 1U);
  EXPECT_EQ(more.changes[0], "segment count (offset 29): 3 -> 5: 2 segment(s) follow the ones counted");

  bytes = FiveSegments();
  bytes[SegmentAt(3) + 52] = 7;
  const _surveyrepair fewer = RepairSurvey(bytes.data(), bytes.size());
  ASSERT_FALSE(fewer.changes.empty());
  EXPECT_EQ(fewer.changes[0], "segment count (offset 29): 5 -> 4: 1 segment(s) cannot be read");
  EXPECT_NE(fewer.changes.back().find("the header of segment 3 was expected here"), std::string::npos)
      << fewer.changes.back();

  // Reading that stops at the damage keeps only what comes before it, byte for byte: how a
  // survey interrupted in its last segment is continued.
  bytes = FiveSegments();
  bytes[RecordAt(1, 0) + 6] ^= 0x40;
  const _surveyrepair start = RepairSurvey(bytes.data(), bytes.size(), SurveyReading::stopAtDamage);
  const auto kept = ParseSurvey(start.bytes.data(), start.bytes.size(), false);
  EXPECT_EQ(RecordsPerSegment(kept), std::vector<size_t>{1});
  ASSERT_EQ(start.bytes.size(), RecordAt(1, 0) + 80);
  EXPECT_TRUE(std::equal(start.bytes.begin() + RecordAt(1, 0), start.bytes.end(), bytes.begin() + RecordAt(1, 0)));
}

// Everything a reading found, as text: what tells two readings apart.
std::string Summary(const _surveycontents &contents) {
  std::string text = "end " + std::to_string(contents.nEnd) + "\n";
  for (const auto &segment : contents.segments) {
    text += "segment at " + std::to_string(segment.nOffset) + ": " + std::to_string(segment.nRecords) + " records, " +
            std::to_string(segment.nLevels) + " levels\n";
  }
  for (const auto &error : contents.errors) {
    text += "error at " + std::to_string(error.nOffset) + ": " + error.strText + "\n";
  }
  for (const auto &skip : contents.skipped) {
    text += "skipped " + std::to_string(skip.nLength) + " at " + std::to_string(skip.nOffset) + "\n";
  }
  return text;
}

std::vector<int16_t> Levels(const _surveysegmententry &segment) {
  std::vector<int16_t> levels;
  for (const auto &record : segment.records) {
    levels.insert(levels.end(), record.levels.begin(), record.levels.end());
  }
  return levels;
}

// A file read through a window far smaller than itself, segment by segment and dropping each
// segment's records once handed over, reads and repairs as the same bytes in memory do.
TEST(SurveyRepairResync, AWindowOnTheFileReadsAsTheBytesInMemoryDo) {
  const auto dir = std::filesystem::temp_directory_path() / ("tarvex-window-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "damaged.tvd").string();
  for (const auto &c : Damages()) {
    SCOPED_TRACE(c.name);
    auto bytes = FiveSegments();
    c.damage(bytes);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const CSurveySource source(path, CFile::shareDenyNone, SURVEY_SOURCE_SPAN);
    for (const SurveyReading reading : {SurveyReading::stopAtDamage, SurveyReading::resynchronise}) {
      const auto whole = ParseSurvey(bytes.data(), bytes.size(), true, reading);
      std::vector<std::vector<int16_t>> handed;
      const auto streamed = StreamSurvey(source, {true, false, reading}, [&](const _surveycontents &sofar, size_t i) {
        handed.push_back(Levels(sofar.segments.at(i)));
      });
      EXPECT_EQ(Summary(streamed), Summary(whole));
      std::vector<std::vector<int16_t>> kept;
      for (const auto &segment : whole.segments) {
        kept.push_back(Levels(segment));
      }
      EXPECT_EQ(handed, kept);
      const _surveyrepair inMemory = RepairSurvey(bytes.data(), bytes.size(), reading);
      const _surveyrepair fromFile = RepairSurvey(source, reading);
      EXPECT_EQ(fromFile.bytes, inMemory.bytes);
      EXPECT_EQ(fromFile.changes, inMemory.changes);
    }
  }
  std::filesystem::remove_all(dir);
}

} // namespace
