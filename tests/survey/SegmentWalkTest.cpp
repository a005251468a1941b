// The walk of a segment: the order of its calls on the survey data and the site plan, what it
// refuses, and the state it is left in when the survey file fails.
#include "survey/SegmentWalk.h"
#include "projection/ProjectionHeader.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// Everything a refused operation must leave as it was.
struct _snapshot {
  std::vector<uint8_t> file;
  std::array<uint8_t, SURVEY_SEGMENT_HEADER_LENGTH> header{};
  int32_t nDataCount = 0;
  int32_t nPlanCount = 0;
  _pixelpoint ptCurrent;
  _pixelpoint ptLast;
  std::vector<uint8_t> markers;
  WalkState state = WalkState::none;
  int32_t nSegment = 0;
  bool bWalking = false;
  std::array<double, 4> points{};

  bool operator==(const _snapshot &other) const {
    return file == other.file && header == other.header && nDataCount == other.nDataCount &&
           nPlanCount == other.nPlanCount && ptCurrent.x == other.ptCurrent.x && ptCurrent.y == other.ptCurrent.y &&
           ptLast.x == other.ptLast.x && ptLast.y == other.ptLast.y && markers == other.markers &&
           state == other.state && nSegment == other.nSegment && bWalking == other.bWalking && points == other.points;
  }
};

class SegmentWalk : public SurveyTest {
protected:
  void SetUp() override {
    SurveyTest::SetUp();
    // 80 plan pixels per degree: pixel (px, py) lies at latitude px / 80, longitude py / 80.
    m_projection.m_nKind = PROJECTION_GEO;
    SetProjectionTransform(m_projection, {80, 0, 0, 80, 0, 0});
  }

  // A new survey on two channels, with its walk.
  std::unique_ptr<CSiteData> Start() {
    auto data = Create();
    const uint32_t frequencies[] = {8500, 9000};
    data->SetChannels(frequencies, 2);
    m_pWalk = std::make_unique<CSegmentWalk>(*data, *m_plan, m_projection);
    return data;
  }

  _snapshot Snapshot(const CSiteData &data) const {
    _snapshot snapshot;
    snapshot.file = Bytes(Path());
    snapshot.header = EncodeSegmentHeader(data.m_segment);
    snapshot.nDataCount = data.m_nSegmentCount;
    snapshot.nPlanCount = m_plan->m_nSegmentCount;
    snapshot.ptCurrent = m_plan->m_ptCurrent;
    snapshot.ptLast = data.m_ptLastPoint;
    const auto *pMarkers = reinterpret_cast<const uint8_t *>(m_plan->m_Start);
    snapshot.markers.assign(pMarkers, pMarkers + sizeof m_plan->m_Start);
    pMarkers = reinterpret_cast<const uint8_t *>(m_plan->m_Stop);
    snapshot.markers.insert(snapshot.markers.end(), pMarkers, pMarkers + sizeof m_plan->m_Stop);
    snapshot.state = m_pWalk->GetState();
    snapshot.nSegment = m_pWalk->GetSegment();
    snapshot.bWalking = m_bWalking;
    snapshot.points = {m_projection.m_FirstPoint[0], m_projection.m_FirstPoint[1], m_projection.m_SecondPoint[0],
                       m_projection.m_SecondPoint[1]};
    return snapshot;
  }

  _surveycontents Read() const {
    const auto bytes = Bytes(Path());
    return ParseSurvey(bytes.data(), bytes.size());
  }

  // New Segment, points, BEGIN, the levels, STOP.
  void WalkOne(CSiteData &data, _pixelpoint start, _pixelpoint stop, const std::vector<int8_t> &levels) {
    Done(m_pWalk->NewSegment());
    Done(m_pWalk->SetStartPoint(start));
    Done(m_pWalk->SetStopPoint(stop));
    Done(m_pWalk->Begin());
    Add(data, 1, levels);
    Done(m_pWalk->Stop());
  }

  // Start point (300, 250) and stop point (500, 450) on the plan zoomed in (window (200, 600, 150,
  // 450) in 800 x 600: screen = 2 * (plan - corner)): the markers, the projection's points and the
  // length follow each point; nothing is written before BEGIN.
  void SetAndCheckZoomedPoints(CSiteData &data) {
    Done(m_pWalk->SetStartPoint({300, 250}));
    EXPECT_EQ(m_plan->m_ptCurrent.x, 300);
    EXPECT_EQ(data.m_ptLastPoint.y, 250);
    EXPECT_EQ(m_plan->m_Start[0].nPlanX, 300);
    EXPECT_EQ(m_plan->m_Start[0].nScreenX, 200);
    EXPECT_EQ(m_plan->m_Start[0].nScreenY, 200);
    // The stop marker shows at the start point; its plan position waits for the stop point.
    EXPECT_EQ(m_plan->m_Stop[0].bPlaced, 1);
    EXPECT_EQ(m_plan->m_Stop[0].nScreenX, 200);
    EXPECT_EQ(m_plan->m_Stop[0].nPlanX, 0);
    EXPECT_DOUBLE_EQ(m_projection.m_FirstPoint[0], 300.0 / 80);
    EXPECT_DOUBLE_EQ(m_projection.m_SecondPoint[0], 0.0);

    Done(m_pWalk->SetStopPoint({500, 450}));
    EXPECT_EQ(m_plan->m_Stop[0].nPlanX, 500);
    EXPECT_EQ(m_plan->m_Stop[0].nScreenX, 600);
    EXPECT_EQ(m_plan->m_Stop[0].nScreenY, 600);
    EXPECT_DOUBLE_EQ(m_projection.m_SecondPoint[1], 450.0 / 80);
    EXPECT_DOUBLE_EQ(m_pWalk->GetSegmentLength(),
                     CSiteProjection::GeoDistance(300.0 / 80, 250.0 / 80, 500.0 / 80, 450.0 / 80));
    EXPECT_EQ(Bytes(Path()).size(), 33U) << "points are not written";
  }

  // The file after STOP of the segment SetAndCheckZoomedPoints placed, with two records and its
  // stop at minute 9.
  void ExpectZoomedSegmentStored() const {
    const auto contents = Read();
    ASSERT_TRUE(contents.IsSound());
    const auto &h = contents.segments.at(0).header;
    EXPECT_EQ(contents.segments[0].records.size(), 2U);
    EXPECT_EQ(h.nStartX, 300);
    EXPECT_EQ(h.nStopY, 450);
    EXPECT_EQ(h.nCoordsFlag, 1);
    EXPECT_DOUBLE_EQ(h.dStartLat, 300.0 / 80); // longitude first in the header, latitude second
    EXPECT_DOUBLE_EQ(h.dStartLon, 250.0 / 80);
    EXPECT_DOUBLE_EQ(h.dStopLon, 450.0 / 80);
    EXPECT_EQ(h.nStopMinute, 9);
  }

  // Two of the states a refused operation is tried in: a segment announced with its points, and
  // one being walked with levels taken (the third, a segment walked to STOP, is WalkOne's).
  void Announce(CSiteData &) {
    Done(m_pWalk->NewSegment());
    Done(m_pWalk->SetStartPoint({10, 10}));
    Done(m_pWalk->SetStopPoint({20, 10}));
  }
  void BeginWalking(CSiteData &data) {
    Announce(data);
    Done(m_pWalk->Begin());
    Add(data, 1, Ramp(4));
  }

  // The flag as its holders read it: it follows the walk, which is its one owner.
  CWalkingFlag m_bWalking{[this] { return m_pWalk.get(); }};
};

TEST_F(SegmentWalk, ASegmentIsWalkedInTheOrderOfTheCollector) {
  auto data = Start();
  EXPECT_FALSE(m_bWalking);
  EXPECT_EQ(m_pWalk->GetState(), WalkState::none);
  m_plan->ZoomIn(); // window (200, 600, 150, 450) in 800 x 600: screen = 2 * (plan - corner)

  Done(m_pWalk->NewSegment());
  EXPECT_EQ(m_pWalk->GetSegment(), 1);
  EXPECT_EQ(data->m_nSegmentCount, 1);
  EXPECT_EQ(m_plan->m_nSegmentCount, 1);
  EXPECT_EQ(U32At(Bytes(Path()), 29), 1U);

  SetAndCheckZoomedPoints(*data);

  Done(m_pWalk->Begin());
  EXPECT_TRUE(m_bWalking);
  EXPECT_TRUE(m_pWalk->IsWalking());
  auto bytes = Bytes(Path());
  ASSERT_EQ(bytes.size(), 33U + 53U);
  const auto begun = DecodeSegmentHeader(bytes.data() + 33);
  EXPECT_EQ(begun.nStartHour, 14);
  EXPECT_EQ(begun.nStopHour, 0) << "no stop time before STOP";

  Add(*data, 1, Ramp(5));
  Add(*data, 2, Ramp(3));
  m_clock.m_local.nMinute = 9;
  Done(m_pWalk->Stop());
  EXPECT_FALSE(m_bWalking);
  EXPECT_EQ(m_pWalk->GetState(), WalkState::walked);

  ExpectZoomedSegmentStored();
}

TEST_F(SegmentWalk, ALinearProjectionStoresNoCoordinatesAndMeasuresInItsUnits) {
  m_projection.m_nKind = PROJECTION_LINEAR;
  SetProjectionTransform(m_projection, {0.5, 0, 0, 0.5, 0, 0}); // X = px / 2, Y = py / 2
  auto data = Start();
  WalkOne(*data, {0, 0}, {60, 80}, Ramp(2));
  EXPECT_DOUBLE_EQ(m_pWalk->GetSegmentLength(), 50.0);
  const auto contents = Read();
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.at(0).header.nCoordsFlag, 0);
  EXPECT_EQ(contents.segments[0].header.dStopLon, 0.0);
}

TEST_F(SegmentWalk, TheNextSegmentCanStartAtThePreviousStop) {
  auto data = Start();
  EXPECT_FALSE(m_pWalk->CanStartAtPreviousStop());
  WalkOne(*data, {100, 100}, {500, 400}, Ramp(2));
  Done(m_pWalk->NewSegment());
  EXPECT_TRUE(m_pWalk->CanStartAtPreviousStop());
  // A stop point chosen first does not become the start: the previous segment's stop does.
  Done(m_pWalk->SetStopPoint({700, 100}));
  const _planpoint stopMarker = m_plan->m_Stop[1];
  Done(m_pWalk->StartAtPreviousStop());
  EXPECT_EQ(data->m_segment.nStartX, 500);
  EXPECT_EQ(data->m_segment.nStartY, 400);
  EXPECT_DOUBLE_EQ(data->m_segment.dStartLat, 500.0 / 80);
  EXPECT_DOUBLE_EQ(m_projection.m_FirstPoint[1], 400.0 / 80);
  EXPECT_EQ(m_plan->m_Start[1].nPlanX, 500);
  EXPECT_EQ(m_plan->m_Start[1].bPlaced, 1);
  EXPECT_EQ(std::memcmp(&m_plan->m_Stop[1], &stopMarker, sizeof stopMarker), 0) << "the stop marker is not touched";
  EXPECT_DOUBLE_EQ(m_pWalk->GetSegmentLength(),
                   CSiteProjection::GeoDistance(500.0 / 80, 400.0 / 80, 700.0 / 80, 100.0 / 80));
  Done(m_pWalk->Begin());
  Done(m_pWalk->Stop());
  const auto contents = Read();
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.at(1).header.nStartX, 500);
  EXPECT_EQ(contents.segments[1].header.nStopX, 700);
}

TEST_F(SegmentWalk, RefusalsSayWhyAndChangeNothing) {
  struct Case {
    const char *name;
    std::function<void(CSiteData &)> setUp;
    std::function<_walkresult(CSegmentWalk &)> action;
    const char *why;
  };
  const auto announced = [this](CSiteData &data) { Announce(data); };
  const auto walking = [this](CSiteData &data) { BeginWalking(data); };
  const auto walked = [this](CSiteData &data) { WalkOne(data, {1, 1}, {2, 2}, Ramp(3)); };
  const auto nothing = [](CSiteData &) {};
  const auto begin = [](CSegmentWalk &w) { return w.Begin(); };
  // Announced with only some of its points placed since New Segment.
  const auto placed = [this](bool bStart, bool bStop, bool bAfterAWalk) {
    return [this, bStart, bStop, bAfterAWalk](CSiteData &data) {
      if (bAfterAWalk) {
        WalkOne(data, {1, 1}, {2, 2}, Ramp(3));
      }
      Done(m_pWalk->NewSegment());
      if (bStart) {
        Done(m_pWalk->SetStartPoint({10, 10}));
      }
      if (bStop) {
        Done(m_pWalk->SetStopPoint({20, 10}));
      }
    };
  };
  const Case cases[] = {
      {"BEGIN before New Segment", nothing, begin, "press New Segment"},
      {"BEGIN with no point placed", placed(false, false, false), begin,
       "Start Point and Stop Point for the segment have not been set"},
      {"BEGIN without the stop point", placed(true, false, false), begin,
       "Stop Point for the segment has not been set"},
      {"BEGIN without the start point", placed(false, true, false), begin,
       "Start Point for the segment has not been set"},
      {"BEGIN of the next segment with the last one's points", placed(false, false, true), begin,
       "Start Point and Stop Point for the segment have not been set"},
      {"STOP before New Segment", nothing, [](CSegmentWalk &w) { return w.Stop(); }, "No segment is being walked"},
      {"a point before New Segment", nothing,
       [](CSegmentWalk &w) {
         return w.SetStopPoint({5, 5});
       },
       "press New Segment"},
      {"STOP without BEGIN", announced, [](CSegmentWalk &w) { return w.Stop(); }, "has not been begun"},
      {"no previous stop for segment 1", announced, [](CSegmentWalk &w) { return w.StartAtPreviousStop(); },
       "first segment"},
      {"BEGIN while walking", walking, [](CSegmentWalk &w) { return w.Begin(); }, "is being walked"},
      {"New Segment while walking", walking, [](CSegmentWalk &w) { return w.NewSegment(); }, "press STOP !"},
      {"a start point while walking", walking,
       [](CSegmentWalk &w) {
         return w.SetStartPoint({5, 5});
       },
       "cannot change until STOP !"},
      {"a stop point while walking", walking,
       [](CSegmentWalk &w) {
         return w.SetStopPoint({5, 5});
       },
       "cannot change until STOP !"},
      {"the previous stop while walking", walking, [](CSegmentWalk &w) { return w.StartAtPreviousStop(); },
       "cannot change until STOP !"},
      {"BEGIN after STOP", walked, [](CSegmentWalk &w) { return w.Begin(); }, "press New Segment"},
      {"STOP after STOP", walked, [](CSegmentWalk &w) { return w.Stop(); }, "stopped already"},
      {"a point after STOP", walked,
       [](CSegmentWalk &w) {
         return w.SetStartPoint({5, 5});
       },
       "press New Segment"},
      {"Retry with nothing to save", walked, [](CSegmentWalk &w) { return w.RetrySave(); }, "nothing to save"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    auto data = Start();
    c.setUp(*data);
    const _snapshot before = Snapshot(*data);
    const _walkresult result = c.action(*m_pWalk);
    EXPECT_FALSE(result.bDone);
    EXPECT_TRUE(Contains(result.strReason, c.why)) << result.strReason;
    EXPECT_TRUE(Snapshot(*data) == before);
  }
}

TEST_F(SegmentWalk, AFullSurveyRefusesASegmentMore) {
  // 500 segments, each a bare header: written byte by byte, as the walk would take long to.
  std::vector<uint8_t> bytes(SURVEY_FIRST_SEGMENT_OFFSET);
  const auto header = EncodeSurveyHeader(_surveyheader{});
  std::copy(header.begin(), header.end(), bytes.begin());
  WriteUInt32LE(&bytes[25], SURVEY_SEGMENT_HEADER_LENGTH);
  WriteUInt32LE(&bytes[29], 500);
  for (int k = 0; k < 500; ++k) {
    const auto segment = EncodeSegmentHeader(_segmentheader{});
    bytes.insert(bytes.end(), segment.begin(), segment.end());
  }
  WriteBytes(Path(), bytes);
  auto data = Open();
  m_pWalk = std::make_unique<CSegmentWalk>(*data, *m_plan, m_projection);
  const _snapshot before = Snapshot(*data);
  const _walkresult result = m_pWalk->NewSegment();
  EXPECT_FALSE(result.bDone);
  EXPECT_EQ(result.strReason, "The survey \"Data.tvd\" is full: it holds 500 segments, the most a survey can hold. "
                              "Create a new survey to walk more segments.");
  EXPECT_TRUE(Snapshot(*data) == before);
}

TEST_F(SegmentWalk, OnlyTheAnnouncedSegmentIsEverWrittenOrMoved) {
  {
    auto data = Start();
    WalkOne(*data, {100, 100}, {200, 100}, Ramp(4));
    WalkOne(*data, {200, 100}, {200, 300}, Ramp(6));
  }
  auto data = Open();
  const auto before = Bytes(Path());
  const std::vector<_planpoint> markers(m_plan->m_Start, m_plan->m_Start + 2);
  m_pWalk = std::make_unique<CSegmentWalk>(*data, *m_plan, m_projection);
  // A survey just opened: whatever segment a dialog shows, BEGIN and points have nothing to act on.
  EXPECT_FALSE(m_pWalk->Begin().bDone);
  EXPECT_FALSE(m_pWalk->SetStartPoint({9, 9}).bDone);

  WalkOne(*data, {300, 300}, {400, 300}, Ramp(8));
  EXPECT_EQ(m_pWalk->GetSegment(), 3);
  const auto after = Bytes(Path());
  // Segments 1 and 2 are as they were; only the count at offset 29 changed before them.
  ASSERT_GT(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    if (i < 29 || i >= 33) {
      ASSERT_EQ(after[i], before[i]) << "offset " << i;
    }
  }
  for (size_t i = 0; i < markers.size(); ++i) {
    EXPECT_EQ(std::memcmp(&m_plan->m_Start[i], &markers[i], sizeof(_planpoint)), 0) << i;
  }
  const auto contents = Read();
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.size(), 3U);
}

TEST_F(SegmentWalk, NewSegmentAgainBeforeBeginKeepsTheSegment) {
  auto data = Start();
  WalkOne(*data, {1, 1}, {2, 2}, Ramp(2));
  Done(m_pWalk->NewSegment());
  Done(m_pWalk->SetStartPoint({30, 30}));
  Done(m_pWalk->SetStopPoint({40, 50}));
  const auto before = Bytes(Path());
  Done(m_pWalk->NewSegment());
  EXPECT_EQ(m_pWalk->GetSegment(), 2);
  EXPECT_EQ(data->m_nSegmentCount, 2);
  EXPECT_EQ(Bytes(Path()), before);
  EXPECT_EQ(m_plan->m_Stop[1].nPlanX, 40) << "its points stay";
  Done(m_pWalk->Begin());
  Done(m_pWalk->Stop());
  const auto contents = Read();
  EXPECT_TRUE(contents.IsSound()) << "no segment is counted that was never written";
  EXPECT_EQ(contents.segments.at(1).header.nStopY, 50);
}

TEST_F(SegmentWalk, FailuresAtNewSegmentAndBeginLeaveTheWalkWhereItWas) {
  auto data = Start();
  WalkOne(*data, {1, 1}, {2, 2}, Ramp(2));
  CFileFaults::FailOpen(Path(), EWOULDBLOCK);
  EXPECT_THROW((void)m_pWalk->NewSegment(), CFileException);
  EXPECT_EQ(data->m_nSegmentCount, 1);
  EXPECT_EQ(m_plan->m_nSegmentCount, 1);
  EXPECT_EQ(m_pWalk->GetState(), WalkState::walked);
  EXPECT_EQ(m_pWalk->GetSegment(), 1);
  CFileFaults::Reset();

  Done(m_pWalk->NewSegment());
  Done(m_pWalk->SetStartPoint({3, 3}));
  Done(m_pWalk->SetStopPoint({4, 4}));
  const auto header = EncodeSegmentHeader(data->m_segment);
  const auto before = Bytes(Path());
  m_clock.m_local.nHour = 16;
  CFileFaults::FailWritesAfter(20); // the header is cut short and taken back
  EXPECT_THROW((void)m_pWalk->Begin(), CFileException);
  EXPECT_FALSE(m_bWalking);
  EXPECT_EQ(m_pWalk->GetState(), WalkState::announced);
  EXPECT_EQ(EncodeSegmentHeader(data->m_segment), header) << "no start time of a walk that did not start";
  EXPECT_EQ(Bytes(Path()), before);
  CFileFaults::Reset();
  Done(m_pWalk->Begin());
  EXPECT_TRUE(m_bWalking);
}

TEST_F(SegmentWalk, AStopThatCannotBeWrittenWaitsForRetry) {
  auto data = Start();
  Done(m_pWalk->NewSegment());
  Done(m_pWalk->SetStartPoint({1, 1}));
  Done(m_pWalk->SetStopPoint({2, 2}));
  Done(m_pWalk->Begin());
  Add(*data, 1, Ramp(60));
  Add(*data, 2, Ramp(30));
  Add(*data, 1, Ramp(60, 60)); // the first record of channel 1 is written
  m_clock.m_local.nMinute = 20;
  CFileFaults::FailWritesAfter(0);
  EXPECT_THROW((void)m_pWalk->Stop(), CFileException);
  EXPECT_FALSE(m_bWalking) << "the walk has ended";
  EXPECT_EQ(m_pWalk->GetState(), WalkState::notSaved);
  EXPECT_GT(data->GetWaitingRecordCount(), 0U);

  // Nothing goes on until the segment is saved.
  for (const _walkresult &refused : {m_pWalk->NewSegment(), m_pWalk->Begin(), m_pWalk->SetStartPoint({1, 1})}) {
    EXPECT_FALSE(refused.bDone);
    EXPECT_TRUE(Contains(refused.strReason, "Segment 1 is not saved")) << refused.strReason;
    EXPECT_TRUE(Contains(refused.strReason, "Data.tvd")) << refused.strReason;
  }
  EXPECT_THROW((void)m_pWalk->RetrySave(), CFileException); // still full
  EXPECT_EQ(m_pWalk->GetState(), WalkState::notSaved);

  CFileFaults::Reset();
  m_clock.m_local.nMinute = 35; // the retry comes later: the stop time stays the one of STOP
  Done(m_pWalk->RetrySave());
  EXPECT_EQ(m_pWalk->GetState(), WalkState::walked);
  const auto contents = Read();
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.at(0).records.size(), 3U);
  EXPECT_EQ(contents.LevelCount(), 150U);
  EXPECT_EQ(contents.segments[0].header.nStopMinute, 20);
  Done(m_pWalk->NewSegment());
}

TEST_F(SegmentWalk, AStopWhoseHeaderFailsIsSavedByClosingTheSurvey) {
  auto data = Start();
  Done(m_pWalk->NewSegment());
  Done(m_pWalk->SetStartPoint({1, 1}));
  Done(m_pWalk->SetStopPoint({2, 2}));
  Done(m_pWalk->Begin());
  Add(*data, 1, Ramp(7));
  m_clock.m_local.nMinute = 20;
  CFileFaults::FailWritesAfter(static_cast<int64_t>(ChannelRecordSize(7))); // the record, not the header
  EXPECT_THROW((void)m_pWalk->Stop(), CFileException);
  EXPECT_EQ(m_pWalk->GetState(), WalkState::notSaved);
  CFileFaults::Reset();
  data->Close();
  const auto contents = Read();
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.at(0).header.nRecordCount, 1);
  EXPECT_EQ(contents.segments[0].header.nStopMinute, 20);
}

TEST_F(SegmentWalk, AStopOnAFullDiskLeavesASoundFileAndKeepsTheRestForRetry) {
  auto data = Start();
  Done(m_pWalk->NewSegment());
  Done(m_pWalk->SetStartPoint({1, 1}));
  Done(m_pWalk->SetStopPoint({2, 2}));
  Done(m_pWalk->Begin());
  Add(*data, 1, Ramp(60));
  Add(*data, 2, Ramp(30));
  Add(*data, 1, Ramp(60, 60)); // the first record of channel 1 is written
  m_clock.m_local.nMinute = 20;
  CFileFaults::FillDiskAfter(0); // no room for a record, but the header is overwritten in place
  try {
    (void)m_pWalk->Stop();
    FAIL() << "the stop did not fail";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
  }
  EXPECT_EQ(m_pWalk->GetState(), WalkState::notSaved);
  EXPECT_EQ(data->GetWaitingRecordCount(), 2U);
  // The file is sound as it stands: its header counts the record that is in it and carries the
  // stop time of STOP.
  auto contents = Read();
  ASSERT_TRUE(contents.IsSound()) << contents.errors.front().strText;
  EXPECT_EQ(contents.segments.at(0).header.nRecordCount, 1);
  EXPECT_EQ(contents.segments[0].header.nStopMinute, 20);
  EXPECT_EQ(contents.LevelCount(), 60U);

  CFileFaults::FillDiskAfter(-1);
  m_clock.m_local.nMinute = 35;
  Done(m_pWalk->RetrySave());
  contents = Read();
  ASSERT_TRUE(contents.IsSound());
  EXPECT_EQ(contents.segments.at(0).records.size(), 3U);
  EXPECT_EQ(contents.segments[0].header.nRecordCount, 3);
  EXPECT_EQ(contents.segments[0].header.nStopMinute, 20);
  EXPECT_EQ(contents.LevelCount(), 150U);
}

} // namespace
