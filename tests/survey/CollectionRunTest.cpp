// The handling of the receiver's packets in a collection run: what the receiver's answers change,
// and when levels become records of the survey data file.
#include "survey/CollectionRun.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

void WriteUInt32LE(std::vector<uint8_t> &out, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  }
}

struct _range {
  uint32_t nMin = 0;
  uint32_t nMax = 0;
  uint16_t nStepRaw = 0;
};

std::vector<uint8_t> Description(uint8_t nPresence, _range r1, _range r2) {
  std::vector<uint8_t> payload{MSG_RECEIVER_INFO, nPresence};
  for (const _range &r : {r1, r2}) {
    WriteUInt32LE(payload, r.nMin);
    WriteUInt32LE(payload, r.nMax);
    payload.push_back(static_cast<uint8_t>(r.nStepRaw));
    payload.push_back(static_cast<uint8_t>(r.nStepRaw >> 8));
    payload.push_back(0);
    payload.push_back(0);
  }
  return payload;
}

std::vector<uint8_t> Report(uint32_t nChannel1, uint32_t nChannel2) {
  std::vector<uint8_t> payload{MSG_CHANNEL_REPORT};
  WriteUInt32LE(payload, nChannel1);
  WriteUInt32LE(payload, nChannel2);
  return payload;
}

// A level message as the receiver sends it: a level and a gain byte per level, as many items
// again that are not levels, and a sequence byte.
std::vector<uint8_t> Levels(int nChannel, const std::vector<int8_t> &levels) {
  std::vector<uint8_t> payload{nChannel == 1 ? MSG_CHANNEL1_LEVELS : MSG_CHANNEL2_LEVELS};
  for (const int8_t level : levels) {
    payload.push_back(static_cast<uint8_t>(level));
    payload.push_back(0x21);
  }
  for (size_t i = 0; i < levels.size(); ++i) {
    payload.push_back(0x7F);
    payload.push_back(0);
  }
  payload.push_back(0x42);
  return payload;
}

std::vector<uint8_t> Serial(const std::string &strSerial) {
  std::vector<uint8_t> payload(1 + strSerial.size(), MSG_SERIAL_NUMBER);
  std::copy(strSerial.begin(), strSerial.end(), payload.begin() + 1);
  return payload;
}

std::vector<uint8_t> WithoutLastByte(std::vector<uint8_t> payload) {
  payload.pop_back();
  return payload;
}

constexpr _range RECEIVER1{32000, 37600, 3200}; // 400 to 470 MHz in 12.5 kHz steps
constexpr _range RECEIVER2{16000, 24000, 6400}; // 400 to 600 MHz in 25 kHz steps

// What the dialogs and the link were asked to do.
struct _seen {
  std::vector<uint8_t> commands;
  int nShows = 0;
  std::map<int, std::string> items;
  std::map<int, int> itemWrites;
  std::vector<std::pair<std::string, std::string>> alerts;
  std::vector<std::vector<uint32_t>> frequencies;
};

class CollectionRunTest : public SurveyTest {
protected:
  void SetUp() override {
    SurveyTest::SetUp();
    _collectioncallbacks callbacks;
    callbacks.pfnSendCommand = [this](uint8_t nCode) {
      m_seen.commands.push_back(nCode);
      return m_bSendWorks;
    };
    callbacks.pfnShowReceiverInfo = [this] { ++m_seen.nShows; };
    callbacks.pfnSetInfoItem = [this](int nItem, const std::string &strText) {
      m_seen.items[nItem] = strText;
      ++m_seen.itemWrites[nItem];
    };
    callbacks.pfnAlert = [this](const std::string &strText, const std::string &strCaption) {
      m_seen.alerts.emplace_back(strText, strCaption);
    };
    callbacks.pfnShowChannelFrequencies = [this](const uint32_t *pCodes, int nCount) {
      m_seen.frequencies.emplace_back(pCodes, pCodes + nCount);
    };
    m_pRun = std::make_unique<CCollectionRun>(std::move(callbacks));
  }

  void Handle(const std::vector<uint8_t> &payload) {
    m_pRun->OnReceiverPacket(payload.data(), static_cast<uint32_t>(payload.size()));
  }

  // A survey with segment 1 begun, held by the run with every condition for recording met; the
  // walk keeps the run's walking flag.
  void StartWalking() {
    m_pData = Create();
    m_pRun->m_pSiteData = m_pData.get();
    m_pRun->m_bCollectionOpen = true;
    m_pRun->m_bProjectionLoaded = true;
    m_pRunWalk = std::make_unique<CSegmentWalk>(*m_pData, *m_plan, m_projection);
    m_pRun->m_pWalk = m_pRunWalk.get();
    Done(m_pRunWalk->NewSegment());
    Done(m_pRunWalk->SetStartPoint({1, 1}));
    Done(m_pRunWalk->SetStopPoint({2, 2}));
    EXPECT_FALSE(m_pRun->m_bWalking);
    Done(m_pRunWalk->Begin());
    EXPECT_TRUE(m_pRun->m_bWalking);
  }

  _seen m_seen;
  bool m_bSendWorks = true;
  std::unique_ptr<CCollectionRun> m_pRun;
  std::unique_ptr<CSiteData> m_pData;
  std::unique_ptr<CSegmentWalk> m_pRunWalk;
};

TEST_F(CollectionRunTest, DescriptionsFillTheInformationDialogAndKeepRangesOfMissingReceivers) {
  Handle(Description(0x01, RECEIVER1, {}));
  EXPECT_EQ(m_seen.nShows, 1);
  EXPECT_EQ(m_pRun->m_nReceiverPresence, 0x01);
  EXPECT_EQ(m_pRun->m_Receiver[0].nMinChannel, 32000U);
  EXPECT_EQ(m_pRun->m_Receiver[0].nMaxChannel, 37600U);
  EXPECT_FLOAT_EQ(m_pRun->m_Receiver[0].fStepKHz, 12.5F);
  EXPECT_EQ(m_seen.items[INFO_ITEM_RECEIVER1], "Installed");
  EXPECT_EQ(m_seen.items[INFO_ITEM_MIN1], "400.0000 MHz");
  EXPECT_EQ(m_seen.items[INFO_ITEM_MAX1], "470.0000 MHz");
  EXPECT_EQ(m_seen.items[INFO_ITEM_STEP1], "12.5000 KHz");
  EXPECT_EQ(m_seen.items[INFO_ITEM_RECEIVER2], "Not Installed");
  for (int nItem : {INFO_ITEM_MIN2, INFO_ITEM_MAX2, INFO_ITEM_STEP2, INFO_ITEM_SERIAL}) {
    EXPECT_EQ(m_seen.itemWrites.count(nItem), 0U) << nItem;
  }

  // Receiver 2 alone: receiver 1's record and texts stay as they were.
  Handle(Description(0x02, {1, 2, 256}, RECEIVER2));
  EXPECT_EQ(m_pRun->m_Receiver[0].nMinChannel, 32000U);
  EXPECT_EQ(m_pRun->m_Receiver[1].nMaxChannel, 24000U);
  EXPECT_EQ(m_seen.items[INFO_ITEM_RECEIVER1], "Not Installed");
  EXPECT_EQ(m_seen.itemWrites[INFO_ITEM_MIN1], 1);
  EXPECT_EQ(m_seen.items[INFO_ITEM_MAX2], "600.0000 MHz");
  EXPECT_EQ(m_seen.items[INFO_ITEM_STEP2], "25.0000 KHz");

  // None installed: both say so, both ranges are kept.
  Handle(Description(0x00, {}, {}));
  EXPECT_EQ(m_seen.nShows, 3);
  EXPECT_EQ(m_pRun->m_nReceiverPresence, 0x00);
  EXPECT_EQ(m_seen.items[INFO_ITEM_RECEIVER1], "Not Installed");
  EXPECT_EQ(m_seen.items[INFO_ITEM_RECEIVER2], "Not Installed");
  EXPECT_EQ(m_pRun->m_Receiver[0].nMaxChannel, 37600U);
  EXPECT_EQ(m_pRun->m_Receiver[1].nMinChannel, 16000U);
  EXPECT_EQ(m_pRun->GetDescriptionCount(), 3U);
}

TEST_F(CollectionRunTest, ChannelReportsSetTheSurveyChannelsAndTheDialog) {
  m_pData = Create();
  m_pRun->m_pSiteData = m_pData.get();
  Handle(Description(0x03, RECEIVER1, {0, 0, 6400}));

  // Both valid (receiver 2 offers channel 0 only).
  Handle(Report(34000, 0));
  EXPECT_TRUE(m_pRun->m_bMeasurementModeOn);
  ASSERT_EQ(m_pData->GetChannelCount(), 2);
  EXPECT_EQ(m_pData->m_pChannels[0].nFrequency, 8500U);
  EXPECT_EQ(m_pData->m_pChannels[1].nFrequency, 0U);
  ASSERT_EQ(m_seen.frequencies.size(), 1U);
  EXPECT_EQ(m_seen.frequencies[0], (std::vector<uint32_t>{8500, 0}));

  // Channel 1 alone: one channel, at the frequency its number and step give (425 MHz, where the
  // step's whole kHz alone would give 408 MHz).
  Handle(Report(34000, 5));
  ASSERT_EQ(m_pData->GetChannelCount(), 1);
  EXPECT_EQ(m_pData->m_pChannels[0].nFrequency, 8500U);
  EXPECT_EQ(m_seen.frequencies.back(), (std::vector<uint32_t>{8500}));
  EXPECT_TRUE(m_pRun->IsChannelValid(1));
  EXPECT_FALSE(m_pRun->IsChannelValid(2));

  // Neither: the operator is told, and the survey and the dialog keep their channels.
  Handle(Report(31999, 5));
  ASSERT_EQ(m_seen.alerts.size(), 1U);
  EXPECT_EQ(m_seen.alerts[0].first, "No Valid Channels have been selected");
  EXPECT_EQ(m_seen.alerts[0].second, "Invalid Channel Alert !");
  EXPECT_EQ(m_pData->GetChannelCount(), 1);
  EXPECT_EQ(m_pData->m_pChannels[0].nFrequency, 8500U);
  EXPECT_EQ(m_seen.frequencies.size(), 2U);
  EXPECT_EQ(m_pRun->GetChannelReportCount(), 3U);
}

TEST_F(CollectionRunTest, ReportBeforeAnyDescriptionOnlyAcceptsChannelZero) {
  Handle(Report(34000, 20000));
  EXPECT_TRUE(m_pRun->m_bMeasurementModeOn);
  EXPECT_EQ(m_seen.alerts.size(), 1U);
  EXPECT_TRUE(m_seen.frequencies.empty());
  Handle(Report(0, 0));
  ASSERT_EQ(m_seen.frequencies.size(), 1U);
  EXPECT_EQ(m_seen.frequencies[0], (std::vector<uint32_t>{0, 0}));
}

TEST_F(CollectionRunTest, LevelsAreRecordedOnlyWhileWalkingWithASurveyAndAProjection) {
  Handle(Description(0x03, RECEIVER1, RECEIVER2));
  StartWalking();
  Handle(Report(34000, 20000));
  ASSERT_EQ(m_pData->GetChannelCount(), 2);

  // Every condition but one: dropped, and only the channel's flag tells that they came.
  for (int nMissing = 0; nMissing < 4; ++nMissing) {
    m_pRun->m_pWalk = nMissing != 0 ? m_pRunWalk.get() : nullptr;
    m_pRun->m_bCollectionOpen = nMissing != 1;
    m_pRun->m_bProjectionLoaded = nMissing != 2;
    m_pRun->m_pSiteData = nMissing != 3 ? m_pData.get() : nullptr;
    Handle(Levels(2, {-60, -61, -62}));
    EXPECT_EQ(m_pData->GetBufferedLevels(2), 0U) << nMissing;
  }
  EXPECT_TRUE(m_pRun->m_bChannel2Levels);
  EXPECT_FALSE(m_pRun->m_bChannel1Levels);
  EXPECT_EQ(m_pRun->GetLevelsReceived(2), 12U);
  EXPECT_EQ(m_pRun->GetLevelsRecorded(2), 0U);

  m_pRun->m_pWalk = m_pRunWalk.get();
  m_pRun->m_bCollectionOpen = true;
  m_pRun->m_bProjectionLoaded = true;
  m_pRun->m_pSiteData = m_pData.get();
  Handle(Levels(2, {-60, -61, -62}));
  Handle(Levels(1, {-50}));
  EXPECT_EQ(m_pData->GetBufferedLevels(2), 3U);
  EXPECT_EQ(m_pData->GetBufferedLevels(1), 1U);
  EXPECT_EQ(m_pRun->GetLevelsRecorded(2), 3U);
  EXPECT_TRUE(m_pRun->m_bChannel1Levels);

  // A message too short to carry a level sets its flag and stores nothing.
  m_pRun->m_bChannel1Levels = false;
  Handle({MSG_CHANNEL1_LEVELS, 0xF6, 0, 0, 0});
  EXPECT_TRUE(m_pRun->m_bChannel1Levels);
  EXPECT_EQ(m_pData->GetBufferedLevels(1), 1U);
}

TEST_F(CollectionRunTest, LevelsAreNeverFiledUnderAChannelTheLastReportDidNotName) {
  Handle(Description(0x03, RECEIVER1, RECEIVER2));
  StartWalking();
  // Before any report there is nowhere to put them.
  Handle(Levels(1, {-50, -51}));
  EXPECT_EQ(m_pRun->GetLevelsRecorded(1), 0U);

  // Channel 2 alone is valid: it is recorded at its own frequency, channel 1 is not recorded.
  Handle(Report(100, 20000));
  ASSERT_EQ(m_seen.frequencies.size(), 1U);
  EXPECT_EQ(m_seen.frequencies[0], (std::vector<uint32_t>{0, 10000}));
  ASSERT_EQ(m_pData->GetChannelCount(), 2);
  EXPECT_EQ(m_pData->m_pChannels[1].nFrequency, 10000U);
  Handle(Levels(1, {-50, -51}));
  Handle(Levels(2, {-70, -71, -72}));
  EXPECT_EQ(m_pData->GetBufferedLevels(1), 0U);
  EXPECT_EQ(m_pData->GetBufferedLevels(2), 3U);

  // A report of channels no receiver offers: what was buffered keeps its frequency, and nothing
  // more is recorded until a valid report.
  Handle(Report(1, 2));
  Handle(Levels(2, {-73}));
  EXPECT_EQ(m_pData->GetBufferedLevels(2), 3U);
  Handle(Report(34000, 20000));
  Handle(Levels(2, {-74}));
  Done(m_pRunWalk->Stop());
  EXPECT_FALSE(m_pRun->m_bWalking);
  Handle(Levels(2, {-75})); // after STOP: not the segment's

  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_TRUE(contents.IsSound());
  ASSERT_EQ(contents.segments.size(), 1U);
  const auto &records = contents.segments[0].records;
  ASSERT_EQ(records.size(), 2U);
  EXPECT_EQ(records[0].nChannel, 2);
  EXPECT_EQ(records[0].nFrequency, 10000U);
  EXPECT_EQ(records[0].levels, (std::vector<int16_t>{-70, -71, -72}));
  EXPECT_EQ(records[1].nChannel, 2);
  EXPECT_EQ(records[1].levels, (std::vector<int16_t>{-74}));
  EXPECT_EQ(m_pRun->GetLevelsRecorded(1), 0U);
  EXPECT_EQ(m_pRun->GetLevelsRecorded(2), 4U);
  EXPECT_EQ(m_pRun->GetLevelsReceived(2), 6U);
}

TEST_F(CollectionRunTest, SerialNumberAsksForTheDescriptionOnce) {
  m_bSendWorks = false; // a failed write changes nothing of the handling
  Handle(Serial("TX5301"));
  EXPECT_EQ(m_seen.commands, (std::vector<uint8_t>{CMD_RECEIVER_INFO}));
  EXPECT_EQ(m_seen.items[INFO_ITEM_SERIAL], "TX5301");
  EXPECT_EQ(m_seen.nShows, 0) << "the information dialog is not shown by a serial number";
  EXPECT_EQ(m_seen.items.size(), 1U);
}

TEST_F(CollectionRunTest, IgnoredAndShortPayloadsChangeNothing) {
  m_pData = Create();
  m_pRun->m_pSiteData = m_pData.get();
  const std::vector<std::vector<uint8_t>> payloads = {
      {0x00, 1, 2, 3},
      {0x04, 1, 2, 3, 4, 5, 6, 7, 8},
      {0x1D, 1, 2, 3, 4, 5, 6},
      WithoutLastByte(Report(34000, 0)),
      WithoutLastByte(Description(0x03, RECEIVER1, RECEIVER2)),
      {MSG_SERIAL_NUMBER, 'T', 'X', '5', '3', '0'},
  };
  for (const auto &payload : payloads) {
    Handle(payload);
  }
  m_pRun->OnReceiverPacket(nullptr, 0);
  EXPECT_TRUE(m_seen.commands.empty());
  EXPECT_EQ(m_seen.nShows, 0);
  EXPECT_TRUE(m_seen.items.empty());
  EXPECT_TRUE(m_seen.alerts.empty());
  EXPECT_TRUE(m_seen.frequencies.empty());
  EXPECT_FALSE(m_pRun->m_bMeasurementModeOn);
  EXPECT_EQ(m_pRun->m_nReceiverPresence, 0);
  EXPECT_EQ(m_pRun->m_Receiver[0].nMaxChannel, 0U);
  EXPECT_EQ(m_pData->GetChannelCount(), 0);

  // Without any callback the handling goes on as before.
  CCollectionRun bare;
  bare.OnReceiverPacket(Serial("TX5301").data(), 7);
  const auto report = Report(1, 2);
  bare.OnReceiverPacket(report.data(), static_cast<uint32_t>(report.size()));
  EXPECT_TRUE(bare.m_bMeasurementModeOn);
}

TEST_F(CollectionRunTest, AFailedWriteAtANewReportStillShowsTheNewChannels) {
  Handle(Description(0x03, RECEIVER1, RECEIVER2));
  StartWalking();
  Handle(Report(34000, 20000));
  Handle(Levels(1, {-50, -51, -52}));
  CFileFaults::FailWritesAfter(0);
  EXPECT_THROW(Handle(Report(35000, 20000)), CFileException);
  ASSERT_EQ(m_seen.frequencies.size(), 2U);
  EXPECT_EQ(m_seen.frequencies[1], (std::vector<uint32_t>{8750, 10000}));
  EXPECT_EQ(m_pData->m_pChannels[0].nFrequency, 8750U);

  // The levels measured at the old frequency reach the file at the next write, under it.
  CFileFaults::Reset();
  Handle(Levels(1, {-53}));
  m_pData->FlushSegmentLevels();
  const auto bytes = Bytes(Path());
  const auto contents = ParseSurvey(bytes.data(), bytes.size());
  ASSERT_EQ(contents.segments.size(), 1U);
  const auto &records = contents.segments[0].records;
  ASSERT_EQ(records.size(), 2U);
  EXPECT_EQ(records[0].nFrequency, 8500U);
  EXPECT_EQ(records[0].levels, (std::vector<int16_t>{-50, -51, -52}));
  EXPECT_EQ(records[1].nFrequency, 8750U);
  EXPECT_EQ(records[1].levels, (std::vector<int16_t>{-53}));
}

} // namespace
