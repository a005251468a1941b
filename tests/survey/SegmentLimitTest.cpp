// The most records a segment can hold: the walk ends there, the segment's count never wraps, and
// files whose count wrapped in earlier writers are read whole.
#include "survey/SurveyContinue.h"
#include "survey/SurveyReader.h"
#include "survey/SurveyRepair.h"
#include "survey/SurveySession.h"
#include "tests/survey/SurveyBuilder.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

namespace {

void PutUInt32(std::vector<uint8_t> &out, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  }
}

// Both receivers installed, 400 to 470 MHz in 12.5 kHz steps and 400 to 600 MHz in 25 kHz steps.
std::vector<uint8_t> Description() {
  std::vector<uint8_t> payload{MSG_RECEIVER_INFO, 0x03};
  for (const auto &[nMin, nMax, nStep] : {std::array<uint32_t, 3>{32000, 37600, 3200}, {16000, 24000, 6400}}) {
    PutUInt32(payload, nMin);
    PutUInt32(payload, nMax);
    payload.insert(payload.end(), {static_cast<uint8_t>(nStep), static_cast<uint8_t>(nStep >> 8), 0, 0});
  }
  return payload;
}

std::vector<uint8_t> Report() {
  std::vector<uint8_t> payload{MSG_CHANNEL_REPORT};
  PutUInt32(payload, 34000);
  PutUInt32(payload, 20000);
  return payload;
}

// A level message of the receiver with one level.
std::vector<uint8_t> OneLevel(int nChannel, int8_t nLevel) {
  return {nChannel == 1 ? MSG_CHANNEL1_LEVELS : MSG_CHANNEL2_LEVELS, static_cast<uint8_t>(nLevel), 0x21, 0x7F, 0, 0x42};
}

class SegmentLimit : public SurveyTest {
protected:
  void Handle(const std::vector<uint8_t> &payload) {
    ASSERT_TRUE(m_pSession->OnReceiverPacket(payload.data(), static_cast<uint32_t>(payload.size()), 0));
  }

  // A new survey in a session with both channels valid, segment 1 begun; the walks' ends heard.
  void StartWalking() {
    m_pSession = std::make_unique<CSurveySession>(_collectioncallbacks{}, m_clock);
    _sessionlistener listener;
    listener.pfnStopped = [this](const _sessionlistener::_stopped &stopped) { m_stops.push_back(stopped); };
    m_pSession->AddListener(listener);
    m_pSession->Run().m_bProjectionLoaded = true;
    ASSERT_TRUE(m_pSession->Open(Path(), CSiteData::modeCreateNew));
    m_pData = m_pSession->SiteData();
    Handle(Description());
    Handle(Report());
    ASSERT_EQ(m_pData->GetChannelCount(), 2);
    Done(m_pSession->NewSegment());
    Done(m_pSession->SetStartPoint({1, 1}));
    Done(m_pSession->SetStopPoint({2, 2}));
    Done(m_pSession->Begin());
  }

  // 65533 records written; channel 1 buffers 1 level and channel 2 99: a segment of 65535 records
  // once STOP has written the two buffers.
  void FillToTheLimit() {
    Handle(OneLevel(2, -1));
    const auto record = LevelData(std::vector<int8_t>(99, -70));
    for (int i = 0; i < 65533; ++i) {
      ASSERT_TRUE(m_pData->AddLevels(1, record.bytes.data(), record.nItems)) << i;
    }
    Add(*m_pData, 2, Ramp(98));
    Add(*m_pData, 1, {-3}); // the 99 buffered become record 65533, this level waits in the buffer
    ASSERT_EQ(m_pData->m_nRecordCount, 65533);
    EXPECT_FALSE(m_pData->IsSegmentFull());
  }

  std::unique_ptr<CSurveySession> m_pSession;
  CSiteData *m_pData = nullptr;
  std::vector<_sessionlistener::_stopped> m_stops;
};

TEST_F(SegmentLimit, TheWalkEndsAtTheLimitAndTheCountNeverWraps) {
  StartWalking();
  FillToTheLimit();
  // A level more for channel 2 would make its full buffer a record and start another: refused, and
  // the session ends the walk there as STOP ends it, saving all the segment took and telling why.
  const CCollectionRun &run = m_pSession->Run();
  const uint64_t nRecorded = run.GetLevelsRecorded(1) + run.GetLevelsRecorded(2);
  Handle(OneLevel(2, -4));
  ASSERT_EQ(m_stops.size(), 1U);
  EXPECT_EQ(m_stops[0].nCause, StopCause::recordLimit);
  EXPECT_TRUE(m_stops[0].bSaved);
  EXPECT_EQ(m_stops[0].strNote, RecordLimitText(1));
  EXPECT_NE(m_stops[0].strNote.find("Segment 1 holds 65535 records"), std::string::npos) << m_stops[0].strNote;
  EXPECT_FALSE(run.m_bWalking);
  EXPECT_TRUE(m_pData->IsSegmentFull());
  Handle(OneLevel(1, -5)); // after the walk: dropped as always
  EXPECT_EQ(run.GetLevelsRecorded(1) + run.GetLevelsRecorded(2), nRecorded) << "refused levels are not recorded";
  EXPECT_EQ(run.GetLevelsReceived(2), 2U);
  EXPECT_EQ(m_stops.size(), 1U);

  Done(m_pSession->NewSegment());
  EXPECT_FALSE(m_pData->IsSegmentFull());
  Done(m_pSession->SetStartPoint({1, 1}));
  Done(m_pSession->SetStopPoint({2, 2}));
  Done(m_pSession->Begin());
  Handle(OneLevel(1, -7));
  const _walkresult next = m_pSession->Stop();
  Done(next);
  EXPECT_TRUE(next.strNote.empty()) << next.strNote;
  ASSERT_TRUE(m_pSession->Close());

  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size(), false);
  ASSERT_TRUE(contents.IsSound()) << contents.errors.front().strText;
  ASSERT_EQ(contents.segments.size(), 2U);
  EXPECT_EQ(contents.segments[0].header.nRecordCount, 65535);
  EXPECT_EQ(contents.segments[0].records.size(), 65535U);
  EXPECT_EQ(contents.segments[1].records.size(), 1U);
  EXPECT_EQ(contents.LevelCount(), 1U + 98U + 65533U * 99U + 1U + 1U);
}

TEST(SegmentLimitReading, ACountThatWrappedInAnEarlierWriterIsReadWhole) {
  // Segment 2 of four holds 65536 + 3 records of one level; its header counts the low 16 bits, 3.
  CSurveyBuilder file(4);
  file.Segment(2).Record(1, 5).Record(2, 5).Segment(3, 11);
  for (uint32_t i = 0; i < 65539; ++i) {
    file.Record(static_cast<uint16_t>(1 + i % 2), 1);
  }
  file.Segment(1, 12).Record(1, 7).Segment(0, 13);
  const size_t nSecond = 33 + 53 + 2 * 20;
  auto contents = ParseSurvey(file.m_bytes.data(), file.m_bytes.size(), false);
  ASSERT_TRUE(contents.IsSound()) << contents.errors.front().strText;
  ASSERT_EQ(contents.segments.size(), 4U);
  EXPECT_EQ(contents.segments[1].nOffset, nSecond);
  EXPECT_EQ(contents.segments[1].records.size(), 65539U);
  EXPECT_EQ(contents.segments[2].records.size(), 1U);
  EXPECT_EQ(contents.LevelCount(), 10U + 65539U + 7U);
  EXPECT_EQ(AssessSurvey(file.m_bytes.data(), file.m_bytes.size()).state, SurveyState::sound);
  const auto same = RepairSurvey(file.m_bytes.data(), file.m_bytes.size());
  EXPECT_TRUE(same.changes.empty());
  EXPECT_EQ(same.bytes, file.m_bytes);

  // The same segment whose STOP never came: its provisional count disagrees, and every segment is
  // still read and kept; the repaired count is the low 16 bits of the records present.
  WriteUInt16LE(file.m_bytes.data() + nSecond + 50, 0);
  contents = ParseSurvey(file.m_bytes.data(), file.m_bytes.size(), false);
  ASSERT_EQ(contents.errors.size(), 1U);
  EXPECT_EQ(contents.errors[0].kind, SurveyProblem::countMismatch);
  EXPECT_EQ(contents.errors[0].nOffset, nSecond + 50);
  EXPECT_EQ(contents.segments.size(), 4U);
  const auto repair = RepairSurvey(file.m_bytes.data(), file.m_bytes.size());
  ASSERT_EQ(repair.changes.size(), 1U);
  EXPECT_EQ(repair.changes[0], "segment 2 (offset 126): record count 0 -> 3, the records present");
  const auto repaired = ParseSurvey(repair.bytes.data(), repair.bytes.size(), false);
  EXPECT_TRUE(repaired.IsSound());
  EXPECT_EQ(repaired.RecordCount(), 2U + 65539U + 1U);
}

} // namespace
