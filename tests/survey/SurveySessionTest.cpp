// The survey session: what its listeners hear of a walk and of the survey's life, what each
// operation on the open survey tells the operator and leaves in the file, and one decode for
// every packet.
#include "survey/SurveySession.h"

#include "projection/ProjectionHeader.h"
#include "survey/SurveyReader.h"
#include "tests/survey/SurveyBuilder.h"
#include "tests/survey/SurveyTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace {

// A description of receiver 1 only, 400 to 470 MHz in 12.5 kHz steps.
std::vector<uint8_t> Description() {
  std::vector<uint8_t> payload{MSG_RECEIVER_INFO, 0x01};
  for (const uint32_t n : {32000U, 37600U}) {
    for (int i = 0; i < 4; ++i) {
      payload.push_back(static_cast<uint8_t>(n >> (8 * i)));
    }
  }
  payload.insert(payload.end(), {0x80, 0x0C, 0, 0});
  payload.resize(payload.size() + 12, 0);
  return payload;
}

// A report of channel 34000 (425 MHz) on receiver 1 and channel 5, which no receiver offers.
std::vector<uint8_t> Report() { return {MSG_CHANNEL_REPORT, 0xD0, 0x84, 0, 0, 5, 0, 0, 0}; }

// A level message: each level with its gain byte, as many items again that are not levels.
std::vector<uint8_t> Levels(int nChannel, const std::vector<int8_t> &levels) {
  std::vector<uint8_t> payload{nChannel == 1 ? MSG_CHANNEL1_LEVELS : MSG_CHANNEL2_LEVELS};
  for (const int8_t level : levels) {
    payload.insert(payload.end(), {static_cast<uint8_t>(level), 0x21});
  }
  payload.resize(payload.size() + 2 * levels.size(), 0x7F);
  payload.push_back(0x42);
  return payload;
}

std::string Joined(const std::vector<int8_t> &levels) {
  std::string text;
  for (const int8_t level : levels) {
    text += (text.empty() ? "" : ",") + std::to_string(level);
  }
  return text;
}

// Each operation on the survey's life, from a state made by prepare: what it answers, what the
// operator is told, and whether a survey is open afterwards.
struct _lifecase {
  const char *szName;
  std::function<void(CSurveySession &, const std::string &strDir)> prepare;
  std::function<_sessionresult(CSurveySession &, const std::string &strDir)> act;
  _sessionresult::Outcome nOutcome;
  std::string strSaid; // in the sentence
  bool bOpenAfter;
};

class SurveySession : public SurveyTest {
protected:
  void SetUp() override {
    SurveyTest::SetUp();
    m_pSession = std::make_unique<CSurveySession>(_collectioncallbacks{}, m_clock);
    // 80 plan pixels per degree, as the segment walk's tests.
    m_pSession->Projection().m_nKind = PROJECTION_GEO;
    SetProjectionTransform(m_pSession->Projection(), {80, 0, 0, 80, 0, 0});
    m_pSession->Plan().SetPlan(2000, 1500, {0, 0, 800, 600});
    m_pSession->Run().m_bProjectionLoaded = true;
    m_pSession->AddListener(Recorder());
  }

  // Every event heard, one line each.
  _sessionlistener Recorder() {
    _sessionlistener listener;
    listener.pfnOpened = [this](const _sessionlistener::_opened &opened) {
      m_heard.push_back("opened " + std::filesystem::path(opened.strPath).filename().string() + " with " +
                        std::to_string(opened.segments.size()));
    };
    listener.pfnClosed = [this](const std::string &) { m_heard.emplace_back("closed"); };
    listener.pfnAnnounced = [this](int32_t n) { m_heard.push_back("announced " + std::to_string(n)); };
    listener.pfnBegun = [this](int32_t n) { m_heard.push_back("begun " + std::to_string(n)); };
    listener.pfnStopped = [this](const _sessionlistener::_stopped &stopped) {
      m_heard.push_back("stopped " + std::to_string(stopped.nSegment) + (stopped.bSaved ? " saved" : " not saved"));
    };
    listener.pfnLevels = [this](const _sessionlistener::_levels &levels) {
      m_heard.push_back("levels of " + std::to_string(levels.nSegment) + " channel " + std::to_string(levels.nChannel) +
                        ": " + Joined({levels.levels.begin(), levels.levels.end()}) + " at " +
                        std::to_string(levels.nArrivalMs));
    };
    return listener;
  }

  static void Feed(CSurveySession &session, const std::vector<uint8_t> &payload, int64_t nArrivalMs = 0) {
    ASSERT_TRUE(session.OnReceiverPacket(payload.data(), static_cast<uint32_t>(payload.size()), nArrivalMs));
  }
  void Handle(const std::vector<uint8_t> &payload, int64_t nArrivalMs = 0) { Feed(*m_pSession, payload, nArrivalMs); }

  // A new survey on channel 1, segment 1 begun from plan pixel (80, 80) to (80, 160).
  void StartWalking(const std::string &strName = "Data.tvd") {
    ASSERT_TRUE(m_pSession->Open(Path(strName), CSiteData::modeCreateNew));
    Handle(Description());
    Handle(Report());
    Done(m_pSession->NewSegment());
    Done(m_pSession->SetStartPoint({80, 80}));
    Done(m_pSession->SetStopPoint({80, 160}));
    Done(m_pSession->Begin());
  }

  // The operations on the survey's life, each from the state its prepare makes.
  static std::vector<_lifecase> LifeCases();
  static void Create(CSurveySession &session, const std::string &strDir);
  static void FullDisk(CSurveySession &session, const std::string &strDir);
  static void Interrupted(CSurveySession &session, const std::string &strDir);

  std::unique_ptr<CSurveySession> m_pSession;
  std::vector<std::string> m_heard;
};

TEST_F(SurveySession, ListenersHearAWalkInTheOrderItHappens) {
  StartWalking();
  Handle(Levels(1, {-50, -51}), 1000);
  Handle(Levels(2, {-70}), 1010); // no channel 2 in the report: not recorded
  Handle(Levels(1, {-52}), 1020);
  m_pSession->CountWalkSecond();
  m_pSession->CountWalkSecond();
  Done(m_pSession->Stop());
  Handle(Levels(1, {-53}), 3000); // after STOP: not the segment's
  ASSERT_TRUE(m_pSession->Close());
  ASSERT_TRUE(m_pSession->Open(Path(), CSiteData::modeOpenExisting));

  EXPECT_EQ(m_heard, (std::vector<std::string>{
                         "opened Data.tvd with 0", "announced 1", "begun 1", "levels of 1 channel 1: -50,-51 at 1000",
                         "levels of 1 channel 1: -52 at 1020", "stopped 1 saved", "closed", "opened Data.tvd with 1"}));
  // One degree of longitude between the points, near the equator: 111 km, walked in two seconds.
  const _walktotals &totals = m_pSession->Totals();
  EXPECT_NEAR(totals.dTotalDistance, 111000.0, 1000.0);
  EXPECT_EQ(totals.nSegmentSeconds, 2);
  EXPECT_EQ(totals.nSurveySeconds, 2);
  ASSERT_TRUE(totals.bSpeedKnown);
  EXPECT_DOUBLE_EQ(totals.dSpeed, totals.dTotalDistance / 2);
  EXPECT_EQ(totals.nSegmentLevels[0], 3U);
  const auto bytes = Bytes(Path());
  EXPECT_EQ(ParseSurvey(bytes.data(), bytes.size()).LevelCount(), 3U);
  EXPECT_EQ(m_pSession->Plan().m_nSegmentCount, 1) << "the reopened survey's markers";
}

// The states the cases start from.
void SurveySession::Create(CSurveySession &session, const std::string &strDir) {
  ASSERT_TRUE(session.Open(strDir + "/open.tvd", CSiteData::modeCreateNew));
}

// Segment 1 walked with a level still buffered, on a disk that takes no more writes.
void SurveySession::FullDisk(CSurveySession &session, const std::string &strDir) {
  session.Run().m_bProjectionLoaded = true;
  ASSERT_TRUE(session.Open(strDir + "/open.tvd", CSiteData::modeCreateNew));
  Feed(session, Description());
  Feed(session, Report());
  Done(session.NewSegment());
  Done(session.SetStartPoint({1, 1}));
  Done(session.SetStopPoint({2, 2}));
  Done(session.Begin());
  Feed(session, Levels(1, {-40}));
  CFileFaults::FailWritesAfter(0);
}

void SurveySession::Interrupted(CSurveySession &, const std::string &strDir) {
  CSurveyBuilder file(1);
  file.Segment(0).Record(1, 5); // STOP never counted the record behind its header
  WriteBytes(strDir + "/cut.tvd", file.m_bytes);
}

std::vector<_lifecase> SurveySession::LifeCases() {
  return {
      {"a new survey over the open one", Create,
       [](CSurveySession &session, const std::string &strDir) {
         return session.Open(strDir + "/open.tvd", CSiteData::modeCreateNew);
       },
       _sessionresult::refused, "open.tvd is the survey open now", true},
      {"a survey another collector writes", Create,
       [](CSurveySession &session, const std::string &strDir) {
         CSurveySession other;
         (void)other.Open(strDir + "/held.tvd", CSiteData::modeCreateNew);
         return session.Open(strDir + "/held.tvd", CSiteData::modeOpenExisting);
       },
       _sessionresult::refused, "is in use", true},
      {"a walk cut off", Interrupted,
       [](CSurveySession &session, const std::string &strDir) {
         const _sessionresult result = session.Open(strDir + "/cut.tvd", CSiteData::modeOpenExisting);
         EXPECT_EQ(result.strBackupPath, strDir + "/cut.tvd.bak");
         EXPECT_EQ(result.strInterrupted.find("segment 1"), 0U) << result.strInterrupted;
         return result;
       },
       _sessionresult::continuable, "cut.tvd", false},
      {"continuing it", Interrupted,
       [](CSurveySession &session, const std::string &strDir) { return session.Continue(strDir + "/cut.tvd"); },
       _sessionresult::done, "cut.tvd was repaired: segment 1", true},
      {"a close the disk refuses", FullDisk,
       [](CSurveySession &session, const std::string &) { return session.Close(); }, _sessionresult::failed, "open.tvd",
       true},
      {"a copy while the segment is not saved", FullDisk,
       [](CSurveySession &session, const std::string &strDir) {
         EXPECT_FALSE(session.Stop().strFailure.empty());
         CFileFaults::Reset();
         return session.SaveCopy(strDir + "/copy.tvd");
       },
       _sessionresult::done, "A sound copy of the whole survey was saved as ", true},
      {"nobody to ask", FullDisk,
       [](CSurveySession &session, const std::string &strDir) {
         CFileFaults::Reset();
         CFileFaults::FailOpenForWriting(strDir + "/open.tvd", EACCES);
         const _sessionresult result = session.Rescue(strDir + "/rescued");
         // The copy holds the level that the survey itself could not take.
         const auto copy = std::filesystem::directory_iterator(strDir + "/rescued")->path();
         EXPECT_EQ(copy.filename().string().rfind("open-20080305-140709.tvd", 0), 0U) << copy;
         const auto bytes = Bytes(copy.string());
         EXPECT_EQ(ParseSurvey(bytes.data(), bytes.size()).LevelCount(), 1U);
         return result;
       },
       _sessionresult::done, "A sound copy of the whole survey was saved as ", false},
  };
}

TEST_F(SurveySession, EachOperationSaysWhatItDidAndLeavesTheSurveyAsItSays) {
  const std::vector<_lifecase> cases = LifeCases();
  for (const _lifecase &lifecase : cases) {
    SCOPED_TRACE(lifecase.szName);
    const std::string strDir = Path(std::to_string(&lifecase - cases.data()));
    std::filesystem::create_directories(strDir);
    CSurveySession session(_collectioncallbacks{}, m_clock);
    lifecase.prepare(session, strDir);
    const _sessionresult result = lifecase.act(session, strDir);
    CFileFaults::Reset();
    EXPECT_EQ(result.nOutcome, lifecase.nOutcome) << result.strSentence;
    EXPECT_NE(result.strSentence.find(lifecase.strSaid), std::string::npos) << result.strSentence;
    EXPECT_EQ(session.IsOpen(), lifecase.bOpenAfter);
  }
}

TEST_F(SurveySession, EachPacketIsDecodedOnceForEveryoneWhoHearsOfIt) {
  int nDecodes = 0;
  m_pSession->SetDecoder([&nDecodes](const uint8_t *pPayload, uint32_t nLength) {
    ++nDecodes;
    return DecodeReceiverMessage(pPayload, nLength);
  });
  int nHeard = 0;
  _sessionlistener pane;
  pane.pfnMessage = [&nHeard](const ReceiverMessage &) { ++nHeard; };
  m_pSession->AddListener(pane);
  StartWalking();
  Handle(Levels(1, {-50, -51}));
  Handle({0x77, 1, 2}); // a type nobody knows
  EXPECT_EQ(nDecodes, 4);
  EXPECT_EQ(nHeard, 4);
  EXPECT_EQ(m_pSession->Run().GetLevelsRecorded(1), 2U);
  EXPECT_EQ(m_pSession->SiteData()->GetBufferedLevels(1), 2U);
}

} // namespace
