// The view's side of the receiver: connecting, the receiver's messages as they come through the
// real link from the simulated unit, each decoded once, levels recorded while a segment is walked,
// failures of the survey file during a walk, and packets that arrive while a box, a packet or a
// receiver that does not answer holds the window.
#include "app/Brackwell.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "platform/D2xxRegistry.h"
#include "platform/FileFaults.h"
#include "tests/app/ViewDialogs.h"
#include "tests/app/ViewRunSupport.h"
#include "tests/link/LinkTestSupport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>

#include <functional>

namespace {

// Sees every packet event the view gets, before the view handles it.
class CPacketWatch : public QObject {
public:
  std::function<void(const CReceiverPacketEvent &)> fnSeen;
  std::vector<std::vector<uint8_t>> payloads;

protected:
  bool eventFilter(QObject *, QEvent *pEvent) override {
    if (pEvent->type() == WM_RECEIVER_PACKET) {
      const auto &packet = *static_cast<CReceiverPacketEvent *>(pEvent);
      payloads.push_back(packet.Item().payload);
      if (fnSeen) {
        fnSeen(packet);
      }
    }
    return false;
  }
};

// Level messages of a list of payloads, in order.
std::vector<std::vector<uint8_t>> LevelMessages(const std::vector<std::vector<uint8_t>> &payloads) {
  std::vector<std::vector<uint8_t>> levels;
  for (const auto &payload : payloads) {
    if (!payload.empty() && (payload[0] == MSG_CHANNEL1_LEVELS || payload[0] == MSG_CHANNEL2_LEVELS)) {
      levels.push_back(payload);
    }
  }
  return levels;
}

} // namespace

class CViewPacketsTest : public QObject {
  Q_OBJECT

  std::shared_ptr<CSimulatedReceiver> m_pSim;
  std::unique_ptr<CHookedPrompts> m_pPrompts;
  std::unique_ptr<CTarvexCollectorView> m_pView;
  std::unique_ptr<QTemporaryDir> m_pDir;

  CTarvexCollectorView &View() { return *m_pView; }
  CSurveySession &Session() { return m_pView->Session(); }
  const CCollectionRun &Run() { return m_pView->Session().Run(); }
  template <class T> T &Dialog() { return ViewDialog<T>(View()); }
  CHookedPrompts &Prompts() { return *m_pPrompts; }
  QString FilePath(const QString &strName) const { return m_pDir->filePath(strName); }

  // Every level the unit sent has been handled by the view.
  bool WaitForLevels() {
    return QTest::qWaitFor(
        [&] {
          return Run().GetLevelsReceived(1) == m_pSim->LevelsSent(1) &&
                 Run().GetLevelsReceived(2) == m_pSim->LevelsSent(2);
        },
        RUN_WAIT_MS);
  }

  // A survey and the sample plan open, the unit connected, measuring channel 1 alone, and a
  // segment announced with its points: BEGIN is next.
  void ReadyToWalk(const QString &strSurvey) {
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, "Please load the Projection File");
    QVERIFY(View().OpenCollectionFile(strSurvey, CSiteData::modeCreateNew));
    Prompts().AnswerModal(QDialog::Rejected); // the channel choice
    QVERIFY(View().OpenProjectionFile(CopyTestData("site.lpf", m_pDir->path())));
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    m_pSim->SetChannelCount(1);
    m_pSim->SetMeasurementMode(true);
    QVERIFY(QTest::qWaitFor([&] { return Run().IsChannelValid(1); }, RUN_WAIT_MS));
    QVERIFY(Session().NewSegment());
    QVERIFY(Session().SetStartPoint({5, 23}));
    QVERIFY(Session().SetStopPoint({58, 23}));
    VERIFY_AS_SCRIPTED(Prompts());
  }

private slots:
  void init() {
    m_pSim = EnableSimulatedUnit();
    m_pPrompts = std::make_unique<CHookedPrompts>();
    m_pView = std::make_unique<CTarvexCollectorView>();
    m_pDir = std::make_unique<QTemporaryDir>();
  }

  void cleanup() {
    m_pView.reset();
    m_pPrompts.reset();
    CFileFaults::Reset();
    D2xxDisableAllBackends();
    m_pDir.reset();
  }

  // OK in the connection dialog: nothing is sent during the wait, and Connect is not taken up
  // again meanwhile; then exactly one AA 02 00 1C 1C, the receiver's serial number answered with
  // exactly one AA 02 00 01 01, and the receiver counted as connected.
  void connectSendsTheSerialNumberCommandAfterTheWait() {
    QCOMPARE(View().GetConnectWait(), 3000);
    View().SetConnectWait(0);
    Prompts().AnswerModal(PressConnect);
    View().OnConnect();
    QVERIFY(View().IsConnecting());
    QVERIFY(!View().IsReceiverConnected());
    View().OnConnect();
    QCOMPARE(Prompts().Shown().size(), 1);
    QVERIFY(m_pSim->ReceivedBytes().empty());

    QVERIFY(QTest::qWaitFor([&] { return Run().GetDescriptionCount() == 1; }, RUN_WAIT_MS));
    QVERIFY(View().IsReceiverConnected() && !View().IsConnecting());
    const std::vector<uint8_t> written = m_pSim->ReceivedBytes();
    QCOMPARE(written, (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C, 0xAA, 0x02, 0x00, 0x01, 0x01}));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Packets that arrive during the wait are handled after the first command, in order: the
  // serial number sent early is answered only after CMD_SERIAL_NUMBER has gone.
  void packetsOfTheWaitComeAfterTheFirstCommand() {
    View().SetConnectWait(60 * 60 * 1000);
    Prompts().AnswerModal(PressConnect);
    View().OnConnect();
    m_pSim->InjectBytes(LinkFrame({MSG_SERIAL_NUMBER, 'E', 'A', 'R', 'L', 'Y', '1'}));
    QVERIFY(QTest::qWaitFor([&] { return Dialog<CConnectionDialog>().m_Link.Queue().Size() == 1; }, RUN_WAIT_MS));
    QCoreApplication::processEvents();
    QVERIFY(m_pSim->ReceivedBytes().empty());
    QCOMPARE(Dialog<CIntroDialog>().GetDlgItemText(1013), QString("Not Available"));

    View().SetConnectWait(0); // the wait under way ends now
    QVERIFY(QTest::qWaitFor([&] { return Run().GetDescriptionCount() == 2; }, RUN_WAIT_MS));
    const std::vector<uint8_t> written = m_pSim->ReceivedBytes();
    QCOMPARE(std::vector<uint8_t>(written.begin(), written.begin() + 5),
             (std::vector<uint8_t>{0xAA, 0x02, 0x00, 0x1C, 0x1C}));
    QCOMPARE(CommandsWritten(written, CMD_SERIAL_NUMBER), 1);
    QCOMPARE(CommandsWritten(written, CMD_RECEIVER_INFO), 2);
  }

  // A failed write of CMD_SERIAL_NUMBER still counts the receiver as connected.
  void connectedEvenWhenTheFirstCommandFails() {
    View().SetConnectWait(0);
    Prompts().AnswerModal(PressConnect);
    View().OnConnect();
    m_pSim->FailWrites(true);
    QVERIFY(QTest::qWaitFor([&] { return View().IsReceiverConnected(); }, RUN_WAIT_MS));
    QVERIFY(m_pSim->ReceivedBytes().empty());
  }

  // Connect while connected asks whether to end the connection: Cancel sends nothing and keeps
  // it; "Terminate Connection" closes the port.
  void terminationAsksFirst() {
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    const size_t nWritten = m_pSim->ReceivedBytes().size();
    const uint32_t nCloses = m_pSim->GetSettings().nCloses; // the device listing opens and closes it too
    Prompts().AnswerModal(QDialog::Rejected);
    View().OnConnect();
    QCOMPARE(Prompts().Shown().back().strDialog, QString("CConnectionTerminationDialog"));
    QVERIFY(View().IsReceiverConnected());
    QCOMPARE(m_pSim->ReceivedBytes().size(), nWritten);
    QCOMPARE(m_pSim->GetSettings().nCloses, nCloses);

    Prompts().AnswerModal(QDialog::Accepted);
    View().OnConnect();
    QVERIFY(!View().IsReceiverConnected());
    QCOMPARE(m_pSim->GetSettings().nCloses, nCloses + 1);
    QCOMPARE(m_pSim->ReceivedBytes().size(), nWritten);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // The serial number is shown in 1013 without showing the panel; the description then shows
  // it: receiver 1 with its range and step, receiver 2 not installed with its texts untouched.
  // A later description naming no receiver changes only the two "Installed" items.
  void receiverDescriptionsFillThePanel() {
    CPacketWatch watch;
    bool bHiddenAtDescription = false;
    QString strSerialAtDescription;
    watch.fnSeen = [&](const CReceiverPacketEvent &packet) {
      if (packet.Payload()[0] == MSG_RECEIVER_INFO && Run().GetDescriptionCount() == 0) {
        bHiddenAtDescription = !Dialog<CIntroDialog>().isVisible();
        strSerialAtDescription = Dialog<CIntroDialog>().GetDlgItemText(1013);
      }
    };
    View().installEventFilter(&watch);
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    QVERIFY(bHiddenAtDescription);
    QCOMPARE(strSerialAtDescription, QString("TX5301"));
    QCOMPARE(CommandsWritten(m_pSim->ReceivedBytes(), CMD_RECEIVER_INFO), 1);

    const CIntroDialog &panel = Dialog<CIntroDialog>();
    QVERIFY(panel.isVisible());
    const QStringList described = {panel.GetDlgItemText(1005), panel.GetDlgItemText(1006), panel.GetDlgItemText(1008),
                                   panel.GetDlgItemText(1007), panel.GetDlgItemText(1009), panel.GetDlgItemText(1010)};
    QCOMPARE(described, (QStringList{"Installed", "400.0000 MHz", "470.0000 MHz", "12.5000 KHz", "Not Installed",
                                     "Not Available"}));

    m_pSim->InjectBytes(LinkFrame(EmptyDescription()));
    QVERIFY(QTest::qWaitFor([&] { return Run().GetDescriptionCount() == 2; }, RUN_WAIT_MS));
    QCOMPARE(panel.GetDlgItemText(1005), QString("Not Installed"));
    QCOMPARE(panel.GetDlgItemText(1009), QString("Not Installed"));
    QCOMPARE(panel.GetDlgItemText(1006), QString("400.0000 MHz"));
    QCOMPARE(Run().m_Receiver[0].nMaxChannel, 37600U);
    QCOMPARE(Run().m_nReceiverPresence, uint8_t{0});
  }

  // Channel reports judged against the description: both channels valid (channel 0 of the
  // receiver described as 0 to 0 is valid), channel 1 alone, or neither, which leaves the
  // survey and the segment dialog as they were and shows the alert.
  void channelReportsSetTheChannels_data() {
    QTest::addColumn<uint32_t>("channel1");
    QTest::addColumn<uint32_t>("channel2");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("frequency1");
    QTest::addColumn<QString>("frequency2");
    QTest::newRow("both valid") << 34000U << 0U << 2 << "425.0000"
                                << "0.0000";
    QTest::newRow("channel 1 valid") << 34000U << 5U << 1 << "425.0000"
                                     << "Not Set";
    QTest::newRow("neither valid, after channel 1") << 31999U << 5U << 1 << "425.0000"
                                                    << "Not Set";
  }

  void channelReportsSetTheChannels() {
    QFETCH(uint32_t, channel1);
    QFETCH(uint32_t, channel2);
    QFETCH(int, count);
    QFETCH(QString, frequency1);
    QFETCH(QString, frequency2);
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, "Please load the Projection File");
    QVERIFY(View().OpenCollectionFile(FilePath("report.tvd"), CSiteData::modeCreateNew));
    const bool bInvalid = channel1 == 31999U;
    if (bInvalid) {
      m_pSim->InjectBytes(LinkFrame(ChannelReport(34000, 5)));
      QVERIFY(QTest::qWaitFor([&] { return Run().GetChannelReportCount() == 1; }, RUN_WAIT_MS));
      Prompts().AnswerMessage(PROMPT_ANSWER_OK, "No Valid Channels have been selected");
    }
    m_pSim->InjectBytes(LinkFrame(ChannelReport(channel1, channel2)));
    QVERIFY(QTest::qWaitFor([&] { return Run().GetChannelReportCount() == (bInvalid ? 2U : 1U); }, RUN_WAIT_MS));
    QVERIFY(Run().m_bMeasurementModeOn);
    if (bInvalid) {
      QVERIFY(QTest::qWaitFor([&] { return Prompts().Unused() == 0; }, RUN_WAIT_MS));
      QCOMPARE(Prompts().Shown().back().message.strCaption, QString("Invalid Channel Alert !"));
    }
    QCOMPARE(Session().SiteData()->GetChannelCount(), count);
    QCOMPARE(Dialog<CSegmentDataDialog>().GetDlgItemText(1047), frequency1);
    QCOMPARE(Dialog<CSegmentDataDialog>().GetDlgItemText(1048), frequency2);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // Levels are recorded from BEGIN to STOP only; those before and after are counted and dropped.
  void levelsRecordedOnlyWhileWalking() {
    const QString strSurvey = FilePath("walk.tvd");
    ReadyToWalk(strSurvey);
    m_pSim->Advance(1000);
    QVERIFY(WaitForLevels());
    QVERIFY(Run().GetLevelsReceived(1) > 0);
    QCOMPARE(Run().GetLevelsRecorded(1), 0U);

    QVERIFY(Session().Begin());
    const uint64_t nBefore = m_pSim->LevelsSent(1);
    m_pSim->Advance(3000);
    QVERIFY(WaitForLevels());
    const uint64_t nWalked = m_pSim->LevelsSent(1) - nBefore;
    QVERIFY(nWalked > 100);
    QCOMPARE(Run().GetLevelsRecorded(1), nWalked);
    QVERIFY(Session().Stop());

    m_pSim->Advance(1000);
    QVERIFY(WaitForLevels());
    QCOMPARE(Run().GetLevelsRecorded(1), nWalked);
    QCOMPARE(LevelsInFile(strSurvey), nWalked);
  }

  // A full disk during a walk is shown once, not for every record; the levels wait in memory and
  // reach the file when it can be written again, after which a new failure is shown again.
  void fullDiskShownOnceLevelsKept() {
    const QString strSurvey = FilePath("full.tvd");
    ReadyToWalk(strSurvey);
    m_pSim->SetSampleRate(400);
    QVERIFY(Session().Begin());
    CFileFaults::FailWritesAfter(0);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK);
    m_pSim->Advance(2000); // eight records' worth
    QVERIFY(WaitForLevels());
    QVERIFY(QTest::qWaitFor([&] { return Prompts().Unused() == 0; }, RUN_WAIT_MS));
    QCoreApplication::processEvents();
    QCOMPARE(Prompts().MessageTexts().size(), 2); // "Please load the Projection File", then the disk
    QVERIFY(Prompts().MessageTexts().back().contains("kept in memory"));
    QVERIFY(Session().SiteData()->GetWaitingRecordCount() >= 7);

    CFileFaults::FailWritesAfter(-1);
    m_pSim->Advance(500);
    QVERIFY(WaitForLevels());
    QCOMPARE(Session().SiteData()->GetWaitingRecordCount(), size_t{0});
    QCOMPARE(LevelsInFile(strSurvey), Run().GetLevelsRecorded(1) - Session().SiteData()->GetBufferedLevels(1));

    CFileFaults::FailWritesAfter(0);
    Prompts().AnswerMessage(PROMPT_ANSWER_OK);
    m_pSim->Advance(500);
    QVERIFY(WaitForLevels());
    QVERIFY(QTest::qWaitFor([&] { return Prompts().Unused() == 0; }, RUN_WAIT_MS));
    QCOMPARE(Prompts().MessageTexts().size(), 3);

    CFileFaults::FailWritesAfter(-1);
    QVERIFY(Session().Stop());
    QCOMPARE(LevelsInFile(strSurvey), Run().GetLevelsRecorded(1));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // The alert of an invalid report is shown once its packet is handled; while it waits for the
  // operator, the unit's levels go on being handled, each once and in order.
  void alertWaitsOutsideThePacket() {
    CPacketWatch watch;
    View().installEventFilter(&watch);
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    m_pSim->SetMeasurementMode(true);
    bool bHandlingWhenShown = true;
    uint64_t nHandledMeanwhile = 0;
    bool bAllHandledMeanwhile = false;
    Prompts().fnWhileShown = [&] {
      bHandlingWhenShown = View().IsHandlingPacket();
      const uint64_t nBefore = Run().GetLevelsReceived(1);
      m_pSim->Advance(1000);
      bAllHandledMeanwhile = WaitForLevels();
      nHandledMeanwhile = Run().GetLevelsReceived(1) - nBefore;
    };
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, "No Valid Channels have been selected");
    m_pSim->Advance(500);
    m_pSim->InjectBytes(LinkFrame(ChannelReport(31999, 5)));
    m_pSim->Advance(500);
    QVERIFY(QTest::qWaitFor([&] { return Prompts().Unused() == 0; }, RUN_WAIT_MS));
    QVERIFY(WaitForLevels());
    QVERIFY(!bHandlingWhenShown);
    QVERIFY(bAllHandledMeanwhile && nHandledMeanwhile > 0);
    QVERIFY(LevelMessages(watch.payloads) == LevelMessages(m_pSim->SentPayloads()));
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // A loop that runs inside the handling of a packet does not start the next one: the packets
  // wait in the link's queue and are handled afterwards, each once, in order.
  void packetsWaitWhileOneIsHandled() {
    CPacketWatch watch;
    int nDepth = 0;
    int nInside = 0;
    bool bNested = false;
    bool bQueuedMeanwhile = false;
    CUSB &link = Dialog<CConnectionDialog>().m_Link;
    watch.fnSeen = [&](const CReceiverPacketEvent &packet) {
      nInside += nDepth;
      if (bNested || packet.Payload()[0] != MSG_CHANNEL1_LEVELS) {
        return;
      }
      bNested = true;
      ++nDepth;
      m_pSim->Advance(1000);
      bQueuedMeanwhile = QTest::qWaitFor([&] { return link.Queue().Size() >= 5; }, RUN_WAIT_MS);
      QCoreApplication::processEvents();
      --nDepth;
    };
    View().installEventFilter(&watch);
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    m_pSim->SetMeasurementMode(true);
    m_pSim->Advance(500);
    QVERIFY(WaitForLevels());
    QVERIFY(bNested && bQueuedMeanwhile);
    QCOMPARE(nInside, 0);
    QVERIFY(LevelMessages(watch.payloads) == LevelMessages(m_pSim->SentPayloads()));
  }

  // Each packet is decoded once, and everyone who hears of it hears the same message: the view's
  // event filter sees every packet, the decoder counts its calls, the receiver's pane shows the
  // levels and the run counts them.
  void eachPacketIsDecodedOnce() {
    CPacketWatch watch;
    View().installEventFilter(&watch);
    int nDecodes = 0;
    Session().SetDecoder([&nDecodes](const uint8_t *pPayload, uint32_t nLength) {
      ++nDecodes;
      return DecodeReceiverMessage(pPayload, nLength);
    });
    CMainFrame frame; // for the receiver's pane
    View().SetReceiverPane(frame.Pane(ID_INDICATOR_RECEIVER));
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    m_pSim->SetMeasurementMode(true);
    m_pSim->Advance(1000);
    QVERIFY(WaitForLevels());
    QVERIFY(Run().GetLevelsReceived(1) > 0);
    QVERIFY(watch.payloads.size() > 3); // the serial number, the description, the report, levels
    QCOMPARE(nDecodes, static_cast<int>(watch.payloads.size()));
    QCOMPARE(Run().GetLevelsReceived(1), m_pSim->LevelsSent(1));
    View().RefreshReceiverStatus();
    QVERIFY2(frame.Pane(ID_INDICATOR_RECEIVER)->text().startsWith("Measuring  1: "),
             qPrintable(frame.Pane(ID_INDICATOR_RECEIVER)->text()));
  }

  // A receiver that stops answering while the description is asked for after its serial number
  // (its port takes the write and never returns) does not hold the window: the command is queued,
  // the packets that came with the serial number are recorded, and the event loop never stops for
  // 50 ms. When the write finally fails, the status bar says so.
  void stuckReceiverDoesNotHoldTheWindow() {
    const auto pDevice = std::make_shared<CScriptedBackend>(
        std::vector<CScriptedBackend::_device>{{"TVX00001", "TARVEX Receiver", 0x2B7E0200, false}});
    D2xxDisableAllBackends();
    D2xxEnableBackend(pDevice);
    CMainFrame frame;
    CTarvexCollectorView &view = *frame.GetView();
    const QString strSurvey = FilePath("stuck.tvd");
    Prompts().AnswerMessage(PROMPT_ANSWER_OK, "Please load the Projection File");
    QVERIFY(view.OpenCollectionFile(strSurvey, CSiteData::modeCreateNew));
    Prompts().AnswerModal(QDialog::Rejected); // the channel choice
    QVERIFY(view.OpenProjectionFile(CopyTestData("site.lpf", m_pDir->path())));
    view.SetConnectWait(0);
    Prompts().AnswerModal(PressConnect);
    view.OnConnect();
    QVERIFY(QTest::qWaitFor([&] { return view.IsReceiverConnected() && !pDevice->Written().empty(); }, RUN_WAIT_MS));
    // Channel 0 on both receivers, which nothing has described: valid on each.
    pDevice->Arrive(LinkFrame(ChannelReport(0, 0)));
    CSurveySession &session = view.Session();
    QVERIFY(QTest::qWaitFor([&] { return session.HasChannelsToRecord(); }, RUN_WAIT_MS));
    QVERIFY(session.NewSegment() && session.SetStartPoint({5, 23}) && session.SetStopPoint({58, 23}));
    QVERIFY(session.Begin());

    pDevice->m_writeGate.Close();
    std::vector<uint8_t> bytes = LinkFrame({MSG_SERIAL_NUMBER, 'S', 'T', 'U', 'C', 'K', '1'});
    for (int i = 0; i < 40; ++i) {
      const auto frame1 = LinkFrame({MSG_CHANNEL1_LEVELS, 0xC4, 0x21, 0xC5, 0x21, 0x7F, 0, 0x7F, 0, 0x42});
      bytes.insert(bytes.end(), frame1.begin(), frame1.end());
    }
    QElapsedTimer clock;
    qint64 nLongest = 0;
    qint64 nLast = 0;
    QTimer tick; // notes the longest time the event loop went without turning
    QObject::connect(&tick, &QTimer::timeout, [&] {
      nLongest = std::max(nLongest, clock.elapsed() - nLast);
      nLast = clock.elapsed();
    });
    clock.start();
    tick.start(1);
    pDevice->Arrive(bytes);
    QVERIFY(QTest::qWaitFor([&] { return session.Run().GetLevelsRecorded(1) == 80; }, RUN_WAIT_MS));
    QVERIFY(pDevice->m_writeGate.WaitReached()); // the description is being written, and stays so
    QTest::qWait(200);
    tick.stop();
    QVERIFY2(nLongest < 50, qPrintable(QString::number(nLongest)));
    QCOMPARE(ViewDialog<CIntroDialog>(view).GetDlgItemText(1013), QString("STUCK1")); // the serial number is shown

    pDevice->m_nWriteStatus = FT_IO_ERROR;
    pDevice->m_writeGate.Open();
    QVERIFY(QTest::qWaitFor(
        [&] {
          return frame.statusBar()->currentMessage() ==
                 "the command 0x01 to the receiver failed: writing to the receiver failed (I/O error)";
        },
        RUN_WAIT_MS));
    QVERIFY(session.Stop());
    QCOMPARE(LevelsInFile(strSurvey), 80U);
    VERIFY_AS_SCRIPTED(Prompts());
  }

  // The link's report of a lost receiver reaches the view, after the packets read before it.
  void lostReceiverReachesTheView() {
    QVERIFY(ConnectAndWaitForDescription(View(), Prompts()));
    QSignalSpy lost(&View(), &CTarvexCollectorView::ReceiverLost);
    m_pSim->SetMeasurementMode(true);
    m_pSim->Advance(500);
    QVERIFY(m_pSim->WaitUntilRead(RUN_WAIT_MS));
    m_pSim->Unplug();
    QVERIFY(QTest::qWaitFor([&] { return lost.size() == 1; }, RUN_WAIT_MS));
    QVERIFY(lost.front().front().toString().startsWith("the receiver is gone: "));
    QCOMPARE(Run().GetLevelsReceived(1), m_pSim->LevelsSent(1));
  }
};

QTEST_MAIN(CViewPacketsTest)
#include "ViewPacketsTest.moc"
