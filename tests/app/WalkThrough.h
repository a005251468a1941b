#pragma once

// A survey walked through the real segment dialog and view, offscreen, while a simulated receiver
// of the test's own measures: its payloads handed to the view's survey session as the view hands
// over what the link delivers, on a survey clock that follows the receiver's time.
#include "app/TarvexCollectorView.h"
#include "link/ReceiverMessages.h"
#include "platform/SimulatedReceiver.h"
#include "tests/app/ViewDialogs.h"
#include "tests/app/ViewRunSupport.h"
#include "tests/app/ViewSetUp.h"

#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The survey clock of a walk with a simulated receiver: its time, from 10:00:00 on 1 June 2024,
// so that the walk's times and the arrival of each message follow the receiver's own.
class CReceiverClock : public CSurveyClock {
public:
  explicit CReceiverClock(const CSimulatedReceiver &receiver) : m_receiver(receiver) {}
  int64_t Now() const override { return BASE + static_cast<int64_t>(m_receiver.GetTimeMs() / 1000); }
  int64_t NowMs() const override { return BASE * 1000 + static_cast<int64_t>(m_receiver.GetTimeMs()); }

private:
  static constexpr int64_t BASE = 1717236000;
  const CSimulatedReceiver &m_receiver;
};

// A receiver of its own whose payloads are handed to the view's survey session in the order it
// sent them, as the view hands over what the link delivers.
class CReceiverFeed {
public:
  explicit CReceiverFeed(CSurveySession &session) : m_session(session), m_clock(*m_pReceiver) {
    m_pReceiver->KeepLog(true);
    m_session.UseClock(m_clock); // every message arrives when the receiver sent it
    QCOMPARE(m_pReceiver->OpenPort(m_pPort), FT_OK);
  }
  // The survey opened on this clock keeps it until it is closed: it is closed here, while the
  // clock still lives, rather than with the view after it.
  ~CReceiverFeed() {
    static_cast<void>(m_session.Close());
    m_session.UseClock(CSurveyClock::System());
  }
  CReceiverFeed(const CReceiverFeed &) = delete;
  CReceiverFeed &operator=(const CReceiverFeed &) = delete;

  // The serial number and the description asked for, then measurement mode: the channel report.
  void Start() {
    Command(CMD_SERIAL_NUMBER);
    Command(CMD_RECEIVER_INFO);
    m_pReceiver->SetMeasurementMode(true);
    Pump();
  }
  // Lets the receiver measure for nMilliseconds and hands everything it sent to the session.
  void Measure(uint32_t nMilliseconds) {
    m_pReceiver->Advance(nMilliseconds);
    Pump();
  }
  CSimulatedReceiver &Unit() { return *m_pReceiver; }
  // Levels the receiver sent while a segment was walked, and while none was.
  uint64_t m_nLevelsInWalks = 0;
  uint64_t m_nLevelsBetween = 0;

private:
  void Command(uint8_t nCode) {
    const uint8_t frame[] = {0xAA, 0x02, 0x00, nCode, nCode};
    uint32_t nWritten = 0;
    QCOMPARE(m_pPort->Write(frame, sizeof frame, nWritten), FT_OK);
  }
  void Pump() {
    const auto payloads = m_pReceiver->SentPayloads();
    for (; m_nHandled < payloads.size(); ++m_nHandled) {
      const std::vector<uint8_t> &payload = payloads[m_nHandled];
      if (payload[0] == MSG_CHANNEL1_LEVELS || payload[0] == MSG_CHANNEL2_LEVELS) {
        // n levels in 2n two-byte items, then a sequence byte
        const uint64_t nLevels = (payload.size() - 2) / 4;
        (m_session.IsWalking() ? m_nLevelsInWalks : m_nLevelsBetween) += nLevels;
      }
      QVERIFY(m_session.OnReceiverPacket(payload.data(), static_cast<uint32_t>(payload.size()), m_clock.NowMs()));
    }
  }

  CSurveySession &m_session;
  std::shared_ptr<CSimulatedReceiver> m_pReceiver = std::make_shared<CSimulatedReceiver>();
  CReceiverClock m_clock;
  std::unique_ptr<CD2xxDevice> m_pPort;
  size_t m_nHandled = 0;
};

struct _walkthrough {
  QTemporaryDir dir;
  std::shared_ptr<CSimulatedReceiver> pLinked = EnableSimulatedUnit(); // the unit the view connects to
  CScriptedPrompts prompts;
  CTarvexCollectorView view;
  CReceiverFeed receiver{view.Session()};

  ~_walkthrough() { D2xxDisableAllBackends(); }
  CSegmentDataDialog &Dialog() { return ViewDialog<CSegmentDataDialog>(view); }
  // A click on a button, or on a radio button's mark.
  void Press(int nId) {
    auto *pButton = Dialog().GetDlgItemAs<QAbstractButton>(nId);
    const bool bRadio = nId == IDC_START_POINT || nId == IDC_STOP_POINT;
    QTest::mouseClick(pButton, Qt::LeftButton, Qt::NoModifier,
                      bRadio ? QPoint(pButton->height() / 2, pButton->height() / 2) : QPoint());
  }
  // A click in the middle of the client pixels that show plan pixel (px, py).
  void ClickPlan(_pixelpoint pt) {
    const _planrect &rcView = view.Session().Plan().m_rcView;
    QVERIFY(pt.x >= rcView.left && pt.x < rcView.right && pt.y >= rcView.top && pt.y < rcView.bottom);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(view, pt));
  }
  // The view shown at 700 x 520 with the receiver connected through the link and the golden
  // files' projection (a plan of 64 x 48 pixels) fitted to it.
  void LoadProjection() {
    view.resize(700, 520);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QString strProjection = dir.filePath(QStringLiteral("site.gpf"));
    QVERIFY(QFile::copy(QStringLiteral(TARVEX_TEST_DATA "/site.gpf"), strProjection));
    prompts.AnswerMessage(PROMPT_ANSWER_OK, QStringLiteral("Please save the Collection File"));
    QVERIFY(view.OpenProjectionFile(strProjection));
    QVERIFY(ConnectAndWaitForDescription(view, prompts));
    view.OnFitToDisplay(); // once the client area has its final size: the whole plan shows
  }
  // New Segment, the start point (clicked, or the previous stop point), the stop point, BEGIN,
  // nSeconds of walking, STOP.
  void WalkSegment(const _pixelpoint *pStart, _pixelpoint stop, int nSeconds) {
    Press(IDC_NEW_SEGMENT);
    if (Dialog().m_nSegments > 1) {
      prompts.AnswerMessage(pStart == nullptr ? PROMPT_ANSWER_YES : PROMPT_ANSWER_NO,
                            QString::fromLatin1(CSegmentDataDialog::TEXT_REUSE_STOP_POINT));
    }
    Press(IDC_START_POINT);
    if (pStart != nullptr) {
      ClickPlan(*pStart);
    }
    Press(IDC_STOP_POINT);
    ClickPlan(stop);
    receiver.Measure(1500); // while the points are chosen: not recorded
    Press(IDC_BEGIN_STOP);
    QVERIFY(Dialog().m_bWalking);
    for (int i = 0; i < nSeconds; ++i) {
      receiver.Measure(1000);
      Dialog().OnTimer();
    }
    Press(IDC_BEGIN_STOP);
    QVERIFY(!Dialog().m_bWalking);
  }
};
