#pragma once

// The collector as the program builds it under --simulate, driven as the operator drives it: the
// main frame with its view, the simulated unit behind the device layer (real time, bytes at the
// wire's pace) reached through the real link and its worker, the unit's front panel, and every
// box, file dialog and modal dialog answered by the scripted operator.
//
// The unit runs in real time while a segment is walked and between walks. Around BEGIN and STOP
// its clock is held until the window has handled every level it sent, so each level the unit
// sent lies on a known side of the press: the log of what it sent, cut at the presses, says
// which levels the survey must hold.
#include "app/CommandIds.h"
#include "app/DeviceSources.h"
#include "app/MainFrame.h"
#include "app/SimulatedReceiverMenu.h"
#include "dialogs/SimulatedReceiverPanel.h"
#include "platform/D2xxRegistry.h"
#include "tests/app/ViewDialogs.h"
#include "tests/app/ViewRunSupport.h"
#include "tests/app/ViewSetUp.h"

#include <QAction>
#include <QSpinBox>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// For helpers that return false on the first check that fails, reported where it failed.
#define E2E_VERIFY(condition)                                                                                          \
  do {                                                                                                                 \
    if (!QTest::qVerify(static_cast<bool>(condition), #condition, "", __FILE__, __LINE__)) {                           \
      return false;                                                                                                    \
    }                                                                                                                  \
  } while (false)

// The levels of each channel in the order the unit sent them.
struct _sentlevels {
  std::array<std::vector<int>, 2> channel;
  size_t Count() const { return channel[0].size() + channel[1].size(); }
};

// The levels in the unit's payloads log[nFrom, nTo).
inline _sentlevels LevelsSentIn(const std::vector<std::vector<uint8_t>> &log, size_t nFrom, size_t nTo) {
  _sentlevels sent;
  for (size_t i = nFrom; i < nTo && i < log.size(); ++i) {
    const ReceiverMessage message = DecodeReceiverMessage(log[i].data(), static_cast<uint32_t>(log[i].size()));
    if (const auto *pLevels = std::get_if<LevelsMessage>(&message)) {
      std::vector<int> &levels = sent.channel.at(static_cast<size_t>(pLevels->nChannel - 1));
      levels.insert(levels.end(), pLevels->levels.begin(), pLevels->levels.end());
    }
  }
  return sent;
}

// One segment as the operator walks it: the start point clicked on the plan, or none for the
// previous segment's stop point (Yes to the question), and the stop point clicked.
struct _segmentroute {
  std::optional<_pixelpoint> start;
  _pixelpoint stop;
};

class CCollectorSession {
public:
  // Levels each channel records in a walk before STOP is pressed, and levels handled between
  // walks before the next BEGIN.
  static constexpr uint64_t LEVELS_PER_WALK = 40;
  static constexpr uint64_t LEVELS_BETWEEN = 16;
  // Levels per second on each channel: well within the 38400-baud line, and enough for a walk to
  // take a fraction of a second.
  static constexpr int SAMPLE_RATE = 200;

  CCollectorSession() {
    D2xxDisableAllBackends(); // no receiver of the machine's own comes first in the list
    m_pDevices = std::make_unique<CDeviceSources>(true, std::string());
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->resize(1280, 800);
    m_pPanel = AddSimulatedReceiverPanel(*m_pFrame, m_pDevices->GetSimulator());
    Unit().KeepLog(true);
    m_pFrame->show();
    ShowSimulatedReceiverPanel(*m_pPanel);
  }
  // The frame and its view (and the link) go before the unit they may still talk to.
  ~CCollectorSession() {
    m_pFrame.reset();
    m_pDevices.reset();
  }
  CCollectorSession(const CCollectorSession &) = delete;
  CCollectorSession &operator=(const CCollectorSession &) = delete;

  CMainFrame &Frame() { return *m_pFrame; }
  CTarvexCollectorView &View() { return *m_pFrame->GetView(); }
  CSegmentDataDialog &Dialog() { return ViewDialog<CSegmentDataDialog>(View()); }
  CScriptedPrompts &Prompts() { return m_prompts; }
  CSimulatedReceiver &Unit() { return *m_pDevices->GetSimulator(); }
  CSimulatedReceiverPanel &Panel() { return *m_pPanel; }
  void Trigger(int nId) { m_pFrame->Action(nId)->trigger(); }

  // Connect: the connection dialog lists the simulated unit first and its "Connect !" is pressed;
  // then the wait (shortened) and the receiver's description.
  bool Connect() {
    View().SetConnectWait(50);
    m_prompts.AnswerModal([this](QDialog &dialog) {
      auto &connection = static_cast<CConnectionDialog &>(dialog);
      m_strListed = connection.m_SerialNumbers.value(0);
      QTest::mouseClick(connection.GetDlgItemAs<QAbstractButton>(IDOK), Qt::LeftButton);
      return connection.result();
    });
    Trigger(ID_CONNECT);
    E2E_VERIFY(m_strListed == QString::fromStdString(Unit().GetIdentity().strBridgeSerial));
    E2E_VERIFY(View().IsConnecting());
    E2E_VERIFY(QTest::qWaitFor(
        [this] { return View().IsReceiverConnected() && View().Session().Run().GetDescriptionCount() >= 1; },
        RUN_WAIT_MS));
    return true;
  }

  // MEASURE on the unit's front panel, at SAMPLE_RATE: the channel report names both channels.
  bool Measure() {
    Panel().GetDlgItemAs<QSpinBox>(IDC_SIM_SAMPLE_RATE)->setValue(SAMPLE_RATE);
    const uint64_t nReports = View().Session().Run().GetChannelReportCount();
    QTest::mouseClick(Panel().GetDlgItemAs<QAbstractButton>(IDC_SIM_MEASURE), Qt::LeftButton);
    E2E_VERIFY(Unit().GetPanel().bMeasurementMode);
    E2E_VERIFY(QTest::qWaitFor([&] { return View().Session().Run().GetChannelReportCount() > nReports; }, RUN_WAIT_MS));
    E2E_VERIFY(View().Session().Run().IsChannelValid(1) && View().Session().Run().IsChannelValid(2));
    return true;
  }

  // New Segment, the points, BEGIN, a walk of LEVELS_PER_WALK levels on each channel, STOP; then
  // levels between this walk and the next.
  bool WalkSegment(const _segmentroute &route) {
    Press(IDC_NEW_SEGMENT);
    if (Dialog().m_nSegments > 1) {
      m_prompts.AnswerMessage(route.start ? PROMPT_ANSWER_NO : PROMPT_ANSWER_YES,
                              QString::fromLatin1(CSegmentDataDialog::TEXT_REUSE_STOP_POINT));
    }
    Press(IDC_START_POINT);
    if (route.start) {
      E2E_VERIFY(ClickPlan(*route.start));
    }
    Press(IDC_STOP_POINT);
    E2E_VERIFY(ClickPlan(route.stop));
    const CCollectionRun &run = View().Session().Run();
    const uint64_t nRecorded[2] = {run.GetLevelsRecorded(1), run.GetLevelsRecorded(2)};

    E2E_VERIFY(HoldUnit());
    const size_t nBegin = Unit().SentPayloads().size();
    Press(IDC_BEGIN_STOP);
    E2E_VERIFY(Dialog().m_bWalking && run.m_bWalking);
    Unit().StartRealTime();
    E2E_VERIFY(QTest::qWaitFor(
        [&] {
          return run.GetLevelsRecorded(1) >= nRecorded[0] + LEVELS_PER_WALK &&
                 run.GetLevelsRecorded(2) >= nRecorded[1] + LEVELS_PER_WALK;
        },
        RUN_WAIT_MS));

    E2E_VERIFY(HoldUnit());
    m_walks.emplace_back(nBegin, Unit().SentPayloads().size());
    Press(IDC_BEGIN_STOP);
    E2E_VERIFY(!Dialog().m_bWalking && !run.m_bWalking);
    const uint64_t nHandled = LevelsHandled();
    Unit().StartRealTime();
    E2E_VERIFY(QTest::qWaitFor([&] { return LevelsHandled() >= nHandled + LEVELS_BETWEEN; }, RUN_WAIT_MS));
    return true;
  }

  // The levels the unit sent while each walk was on, in the order walked.
  std::vector<_sentlevels> WalkedLevels() const {
    const auto log = m_pDevices->GetSimulator()->SentPayloads();
    std::vector<_sentlevels> walked;
    for (const auto &[nBegin, nStop] : m_walks) {
      walked.push_back(LevelsSentIn(log, nBegin, nStop));
    }
    return walked;
  }
  // Levels the unit sent, all in all.
  size_t LevelsSent() const {
    const auto log = m_pDevices->GetSimulator()->SentPayloads();
    return LevelsSentIn(log, 0, log.size()).Count();
  }

  // A click in the middle of the client pixels that show plan pixel pt, which must be in view.
  bool ClickPlan(_pixelpoint pt) {
    const _planrect &rcView = View().Session().Plan().m_rcView;
    E2E_VERIFY(pt.x >= rcView.left && pt.x < rcView.right && pt.y >= rcView.top && pt.y < rcView.bottom);
    QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(View(), pt));
    return true;
  }

  // A click on a button of the segment dialog, or on a radio button's mark.
  void Press(int nId) {
    auto *pButton = Dialog().GetDlgItemAs<QAbstractButton>(nId);
    const bool bRadio = nId == IDC_START_POINT || nId == IDC_STOP_POINT;
    const int nMark = pButton->height() / 2;
    QTest::mouseClick(pButton, Qt::LeftButton, Qt::NoModifier, bRadio ? QPoint(nMark, nMark) : QPoint());
  }

private:
  uint64_t LevelsHandled() {
    return View().Session().Run().GetLevelsReceived(1) + View().Session().Run().GetLevelsReceived(2);
  }

  // Stops the unit's clock, puts everything it sent on the line into the host's queue, and waits
  // until the window has handled every level it sent.
  bool HoldUnit() {
    CSimulatedReceiver &unit = Unit();
    unit.StopRealTime();
    unit.Deliver(UINT32_MAX);
    E2E_VERIFY(
        QTest::qWaitFor([&] { return LevelsHandled() == unit.LevelsSent(1) + unit.LevelsSent(2); }, RUN_WAIT_MS));
    return true;
  }

  CScriptedPrompts m_prompts; // installed first, removed last
  std::unique_ptr<CDeviceSources> m_pDevices;
  std::unique_ptr<CMainFrame> m_pFrame;
  CSimulatedReceiverPanel *m_pPanel = nullptr; // the frame's
  QString m_strListed;
  // For each walk, the unit's payloads [first, end) sent while it was on.
  std::vector<std::pair<size_t, size_t>> m_walks;
};
