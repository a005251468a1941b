// The segment dialog's walking handlers against a host of the test's own: a real survey file, plan
// and walk, and a receiver whose state the test sets.
#include "dialogs/SegmentDataDialog.h"
#include "platform/FileFaults.h"
#include "projection/DistanceUnits.h"
#include "projection/ProjectionHeader.h"
#include "projection/SiteProjection.h"
#include "survey/SurveyReader.h"
#include "survey/SurveySession.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

std::vector<uint8_t> FileBytes(const std::string &strPath) {
  std::ifstream in(strPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

_surveycontents ReadSurvey(const std::string &strPath) {
  const auto bytes = FileBytes(strPath);
  return ParseSurvey(bytes.data(), bytes.size());
}

void PutU32(std::vector<uint8_t> &payload, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    payload.push_back(static_cast<uint8_t>(n >> (8 * i)));
  }
}

// Both receivers described: 400 to 470 MHz in 12.5 kHz steps, and 400 to 600 MHz in 25 kHz.
std::vector<uint8_t> Description() {
  std::vector<uint8_t> payload{MSG_RECEIVER_INFO, 0x03};
  for (const auto &[nMin, nMax, nStep] : {std::array<uint32_t, 3>{32000, 37600, 3200}, {16000, 24000, 6400}}) {
    PutU32(payload, nMin);
    PutU32(payload, nMax);
    payload.insert(payload.end(), {static_cast<uint8_t>(nStep), static_cast<uint8_t>(nStep >> 8), 0, 0});
  }
  return payload;
}

// Channels 34000 and 20000: 425 and 500 MHz, codes 8500 and 10000.
std::vector<uint8_t> Report() {
  std::vector<uint8_t> payload{MSG_CHANNEL_REPORT};
  PutU32(payload, 34000);
  PutU32(payload, 20000);
  return payload;
}

// A level message of channel nChannel with n levels (each with its gain byte, as many items again
// that are not levels, and a sequence byte).
std::vector<uint8_t> Levels(int nChannel, int nLevels) {
  std::vector<uint8_t> payload{nChannel == 1 ? MSG_CHANNEL1_LEVELS : MSG_CHANNEL2_LEVELS};
  for (int i = 0; i < nLevels; ++i) {
    payload.insert(payload.end(), {static_cast<uint8_t>(i - 20), 0x21});
  }
  payload.resize(payload.size() + 2 * static_cast<size_t>(nLevels), 0x7F);
  payload.push_back(0x42);
  return payload;
}

// The view as the dialog sees it: a survey session with a new survey in a temporary folder, on a
// plan of 200 x 100 pixels shown 1:1 under a linear projection of one unit per pixel, and a
// receiver that has described itself and reported two valid channels; its connection the test
// sets.
class CFakeHost : public CSegmentDialogHost {
public:
  explicit CFakeHost(const QString &strFolder) : m_strPath((strFolder + QStringLiteral("/Data.tvd")).toStdString()) {
    m_session.Plan().SetPlan(200, 100, {0, 0, 200, 100});
    m_session.Projection().m_nKind = PROJECTION_LINEAR;
    SetProjectionTransform(m_session.Projection(), {1, 0, 0, 1, 0, 0});
    m_session.Run().m_bProjectionLoaded = true;
    (void)m_session.Open(m_strPath, CSiteData::modeCreateNew);
    Feed(Description());
    Feed(Report());
  }

  CSurveySession *GetSession() override { return &m_session; }
  bool IsReceiverConnected() const override { return m_bConnected; }
  bool IsReceiverConnecting() const override { return m_bConnecting; }
  void ConnectReceiver() override { ++m_nConnects; }
  void RedrawPlan() override { ++m_nRedraws; }

  // A packet of the receiver, handled as the view hands it to the session.
  void Feed(const std::vector<uint8_t> &payload) {
    (void)m_session.OnReceiverPacket(payload.data(), static_cast<uint32_t>(payload.size()), 0);
  }
  // A level message: recorded while a segment is walked.
  void AddLevels(int nChannel, int nLevels) { Feed(Levels(nChannel, nLevels)); }
  const CSegmentWalk &Walk() const { return *m_session.Walk(); }

  std::string m_strPath;
  CSurveySession m_session; // before the dialog, which follows it
  bool m_bConnected = true;
  bool m_bConnecting = false;
  int m_nConnects = 0;
  int m_nRedraws = 0;
};

// The dialog and its host, the operator scripted.
struct _bench {
  QTemporaryDir dir;
  CScriptedPrompts prompts;
  CFakeHost host{dir.path()};
  CSegmentDataDialog dialog{nullptr, &host};

  CSurveySession &Session() { return host.m_session; }
  QString Text(int nId) const { return dialog.GetDlgItemText(nId); }
  void Press(int nId) { QTest::mouseClick(dialog.GetDlgItemAs<QAbstractButton>(nId), Qt::LeftButton); }
  // New Segment, then the points as clicks on the plan set them, the Stop Point radio last.
  void Announce(_pixelpoint start, _pixelpoint stop) {
    Press(IDC_NEW_SEGMENT);
    dialog.m_nPointMode = CSegmentDataDialog::POINT_START;
    QVERIFY(Session().SetStartPoint(start));
    dialog.OnStopPoint();
    QVERIFY(Session().SetStopPoint(stop));
  }
  // A whole segment: announced, begun, nTicks seconds with some levels, stopped.
  void WalkSegment(_pixelpoint start, _pixelpoint stop, int nTicks = 2) {
    Announce(start, stop);
    Press(IDC_BEGIN_STOP);
    for (int i = 0; i < nTicks; ++i) {
      host.AddLevels(1, 5);
      dialog.OnTimer();
    }
    Press(IDC_BEGIN_STOP);
  }
};

} // namespace

class CSegmentWalkDialogTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { CFileFaults::Reset(); }

  // BEGIN ! decides in order: a walk to stop, the receiver, the stop point, the measurement.
  void beginDecides_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("connecting");
    QTest::addColumn<int>("pointMode");
    QTest::addColumn<bool>("measuring");
    QTest::addColumn<bool>("channels");
    QTest::addColumn<int>("connects");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("walking");
    const QString strNoStop = QString::fromLatin1(CSegmentDataDialog::TEXT_NO_STOP_POINT);
    const QString strNotMeasuring = QString::fromLatin1(CSegmentDataDialog::TEXT_NOT_MEASURING);
    QTest::newRow("begins") << true << false << 2 << true << true << 0 << QString() << true;
    QTest::newRow("not connected: connect only") << false << false << 2 << true << true << 1 << QString() << false;
    QTest::newRow("not connected, no stop point: connect only")
        << false << false << 0 << false << false << 1 << QString() << false;
    QTest::newRow("connecting: wait") << false << true << 2 << true << true << 0 << QString() << false;
    QTest::newRow("no stop point") << true << false << 1 << true << true << 0 << strNoStop << false;
    QTest::newRow("not measuring") << true << false << 2 << false << true << 0 << strNotMeasuring << false;
    QTest::newRow("no channels in the survey") << true << false << 2 << true << false << 0 << strNotMeasuring << false;
  }

  void beginDecides() {
    QFETCH(bool, connected);
    QFETCH(bool, connecting);
    QFETCH(int, pointMode);
    QFETCH(bool, measuring);
    QFETCH(bool, channels);
    QFETCH(int, connects);
    QFETCH(QString, message);
    QFETCH(bool, walking);
    _bench bench;
    bench.Announce({10, 10}, {50, 40});
    bench.host.m_bConnected = connected;
    bench.host.m_bConnecting = connecting;
    bench.Session().Run().m_bMeasurementModeOn = measuring;
    if (!channels) {
      bench.Session().SiteData()->SetChannels(nullptr, 0); // a survey opened after the last report
    }
    bench.dialog.m_nPointMode = pointMode;
    if (!message.isEmpty()) {
      bench.prompts.AnswerMessage(PROMPT_ANSWER_OK, message);
    }
    const auto before = FileBytes(bench.host.m_strPath);
    bench.Press(IDC_BEGIN_STOP);

    QCOMPARE(bench.host.m_nConnects, connects);
    QCOMPARE(bench.prompts.MessageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(bench.prompts.Problems().isEmpty());
    QCOMPARE(static_cast<bool>(bench.dialog.m_bWalking), walking);
    QCOMPARE(bench.dialog.WalkTimer().isActive(), walking);
    QCOMPARE(bench.Text(IDC_BEGIN_STOP), QString::fromLatin1(walking ? "STOP !" : "BEGIN !"));
    QCOMPARE(bench.dialog.IsDlgItemEnabled(IDC_NEW_SEGMENT), !walking);
    QCOMPARE(bench.dialog.IsDlgItemEnabled(IDC_START_POINT), !walking);
    QCOMPARE(bench.dialog.IsDlgItemEnabled(IDC_STOP_POINT), !walking);
    if (walking) {
      QCOMPARE(bench.dialog.WalkTimer().interval(), 1000);
      QCOMPARE(bench.Text(IDC_SEGMENT_LENGTH), QStringLiteral("50.00")); // (10, 10) to (50, 40)
    } else {
      QCOMPARE(FileBytes(bench.host.m_strPath), before); // BEGIN wrote nothing
    }
  }

  // A receiver lost during the walk (no longer connected) does not keep STOP from stopping it.
  void stopWithTheReceiverLost() {
    _bench bench;
    bench.Announce({10, 10}, {50, 10});
    bench.Press(IDC_BEGIN_STOP);
    bench.host.m_bConnected = false;
    bench.Press(IDC_BEGIN_STOP);
    QCOMPARE(bench.host.m_nConnects, 0);
    QVERIFY(!bench.dialog.m_bWalking);
    QCOMPARE(bench.host.Walk().GetState(), WalkState::walked);
  }

  void newSegmentAnnounces() {
    _bench bench;
    bench.dialog.m_nPointMode = CSegmentDataDialog::POINT_STOP;
    bench.Press(IDC_NEW_SEGMENT);
    QCOMPARE(bench.Text(IDC_SEGMENT_NUMBER), QStringLiteral("1"));
    QCOMPARE(bench.dialog.m_nSegment, 1);
    QCOMPARE(bench.dialog.m_nSegments, 1);
    QCOMPARE(bench.dialog.m_nPointMode, CSegmentDataDialog::POINT_STOP); // kept
    for (const int nId : {IDC_START_POINT, IDC_STOP_POINT}) {
      QVERIFY(bench.dialog.IsDlgItemEnabled(nId));
      QVERIFY(!bench.dialog.IsDlgButtonChecked(nId));
    }
    for (const int nId : {IDC_SEGMENT_LENGTH, IDC_AVERAGE_SPEED, IDC_SEGMENT_SECONDS}) {
      QCOMPARE(bench.Text(nId), QStringLiteral("NA"));
    }
    QCOMPARE(bench.host.m_nRedraws, 1);
    QCOMPARE(bench.Session().Plan().m_nSegmentCount, 1);

    // Pressed again before BEGIN: the same segment, counted once in the file.
    bench.Press(IDC_NEW_SEGMENT);
    QCOMPARE(bench.Text(IDC_SEGMENT_NUMBER), QStringLiteral("1"));
    QCOMPARE(bench.dialog.m_nSegments, 1);
    QCOMPARE(bench.Session().SiteData()->m_nSegmentCount, 1);
    QCOMPARE(ReadSurvey(bench.host.m_strPath).nSegmentCount, 1U);
    QVERIFY(bench.prompts.Shown().isEmpty());
  }

  // BEGIN ! walks only with both points placed since New Segment: the start by a click or by Yes
  // to the previous stop point, the stop by a click. Otherwise it says which is missing, writes
  // nothing, and the walk waits; the header's points of an earlier segment never stand in.
  void beginNeedsBothPointsSinceNewSegment_data() {
    QTest::addColumn<bool>("second");   // segment 2, after segment 1 from (10, 10) to (50, 10)
    QTest::addColumn<QString>("start"); // "", "click" or "previous"
    QTest::addColumn<bool>("stop");     // the stop point clicked
    QTest::addColumn<bool>("again");    // New Segment pressed once more before BEGIN
    QTest::addColumn<QString>("message");
    const QString strBoth = "Start Point and Stop Point for the segment have not been set.\n  Please set both points "
                            "and Click \"Begin\" to Collect Segment Data";
    const QString strStart = "Start Point for the segment has not been set.\n  Please set the Start Point and Click "
                             "\"Begin\" to Collect Segment Data";
    const QString strStop = QString::fromLatin1(CSegmentDataDialog::TEXT_NO_STOP_POINT);
    QTest::newRow("nothing placed") << false << "" << false << false << strBoth;
    QTest::newRow("the stop tap missed the plan") << false << "click" << false << false << strStop;
    QTest::newRow("stop only") << false << "" << true << false << strStart;
    QTest::newRow("both clicked") << false << "click" << true << false << QString();
    QTest::newRow("both, New Segment again") << false << "click" << true << true << QString();
    QTest::newRow("segment 2, nothing placed") << true << "" << false << false << strBoth;
    QTest::newRow("segment 2, only the previous stop") << true << "previous" << false << false << strStop;
    QTest::newRow("segment 2 from the previous stop") << true << "previous" << true << false << QString();
  }
  void beginNeedsBothPointsSinceNewSegment() {
    QFETCH(bool, second);
    QFETCH(QString, start);
    QFETCH(bool, stop);
    QFETCH(bool, again);
    QFETCH(QString, message);
    _bench bench;
    if (second) {
      bench.WalkSegment({10, 10}, {50, 10});
    }
    bench.Press(IDC_NEW_SEGMENT);
    if (start == "click") {
      bench.dialog.m_nPointMode = CSegmentDataDialog::POINT_START;
      QVERIFY(bench.Session().SetStartPoint({20, 30}));
    } else if (start == "previous") {
      bench.prompts.AnswerMessage(PROMPT_ANSWER_YES, QString::fromLatin1(CSegmentDataDialog::TEXT_REUSE_STOP_POINT));
      bench.Press(IDC_START_POINT);
    }
    bench.dialog.OnStopPoint();
    if (stop) {
      QVERIFY(bench.Session().SetStopPoint({90, 70}));
    }
    if (again) {
      bench.Press(IDC_NEW_SEGMENT);
    }
    if (!message.isEmpty()) {
      bench.prompts.AnswerMessage(PROMPT_ANSWER_OK, message);
    }
    const auto before = FileBytes(bench.host.m_strPath);
    bench.Press(IDC_BEGIN_STOP);
    QVERIFY2(bench.prompts.Problems().isEmpty(), qPrintable(bench.prompts.Problems().join('\n')));
    QCOMPARE(bench.prompts.Unused(), 0);
    QCOMPARE(static_cast<bool>(bench.dialog.m_bWalking), message.isEmpty());
    if (!message.isEmpty()) {
      QCOMPARE(FileBytes(bench.host.m_strPath), before); // BEGIN wrote nothing
      QCOMPARE(bench.Text(IDC_BEGIN_STOP), QStringLiteral("BEGIN !"));
      return;
    }
    bench.Press(IDC_BEGIN_STOP);
    const _surveycontents survey = ReadSurvey(bench.host.m_strPath);
    QVERIFY(survey.IsSound());
    QCOMPARE(survey.segments.size(), size_t{second ? 2U : 1U});
    const _segmentheader &header = survey.segments.back().header;
    const QPoint ptStart = start == "previous" ? QPoint(50, 10) : QPoint(20, 30);
    QCOMPARE(QPoint(header.nStartX, header.nStartY), ptStart);
    QCOMPARE(QPoint(header.nStopX, header.nStopY), QPoint(90, 70));
  }

  void reuseQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << int(PROMPT_ANSWER_YES);
    QTest::newRow("no") << int(PROMPT_ANSWER_NO);
  }

  // Asked only past the first segment; Yes moves the start marker to the previous stop point at
  // once.
  void reuseQuestion() {
    QFETCH(int, answer);
    _bench bench;
    bench.Press(IDC_NEW_SEGMENT);
    bench.Press(IDC_START_POINT);
    QCOMPARE(bench.dialog.m_nPointMode, CSegmentDataDialog::POINT_START);
    QVERIFY(bench.prompts.Shown().isEmpty());
    QVERIFY(bench.Session().SetStartPoint({10, 10}));
    bench.dialog.OnStopPoint();
    QVERIFY(bench.Session().SetStopPoint({60, 30}));
    bench.Press(IDC_BEGIN_STOP);
    bench.Press(IDC_BEGIN_STOP);

    bench.Press(IDC_NEW_SEGMENT);
    const int nRedraws = bench.host.m_nRedraws;
    bench.prompts.AnswerMessage(answer, QString::fromLatin1(CSegmentDataDialog::TEXT_REUSE_STOP_POINT));
    bench.Press(IDC_START_POINT);
    QVERIFY(bench.prompts.Problems().isEmpty());
    QCOMPARE(bench.prompts.Shown().size(), 1);
    QCOMPARE(bench.prompts.Shown()[0].message.nButtons, PROMPT_YESNO);
    const _planpoint &start = bench.Session().Plan().m_Start[1];
    if (answer == PROMPT_ANSWER_YES) {
      QVERIFY(start.bPlaced == 1 && start.nPlanX == 60 && start.nPlanY == 30);
      QCOMPARE(start.nScreenX, 60); // the plan is shown 1:1
      QCOMPARE(bench.host.m_nRedraws, nRedraws + 1);
      QCOMPARE(bench.Session().SiteData()->m_segment.nStartX, uint16_t{60});
    } else {
      QCOMPARE(start.bPlaced, uint8_t{0});
      QCOMPARE(bench.host.m_nRedraws, nRedraws);
    }
    QCOMPARE(bench.dialog.m_nPointMode, CSegmentDataDialog::POINT_START);
  }

  // << and >> move the segment shown; BEGIN, STOP and the points stay on the one announced.
  void browsingNeverMovesTheWalk() {
    _bench bench;
    bench.WalkSegment({10, 10}, {50, 10});
    bench.WalkSegment({50, 10}, {50, 60});
    const auto walkedTwo = FileBytes(bench.host.m_strPath);
    bench.Press(IDC_NEW_SEGMENT);
    QCOMPARE(bench.dialog.m_nSegment, 3);
    int nRedraws = bench.host.m_nRedraws;
    bench.Press(IDC_NEXT_SEGMENT); // at the last: nothing
    QCOMPARE(bench.dialog.m_nSegment, 3);
    QCOMPARE(bench.host.m_nRedraws, nRedraws);
    bench.Press(IDC_PREV_SEGMENT);
    bench.Press(IDC_PREV_SEGMENT);
    QCOMPARE(bench.dialog.m_nSegment, 1);
    QCOMPARE(bench.host.m_nRedraws, nRedraws + 2);
    nRedraws = bench.host.m_nRedraws;
    bench.Press(IDC_PREV_SEGMENT); // at 1: nothing
    QCOMPARE(bench.dialog.m_nSegment, 1);
    QCOMPARE(bench.host.m_nRedraws, nRedraws);
    QCOMPARE(bench.Text(IDC_SEGMENT_NUMBER), QStringLiteral("3"));

    // Set up, begun and stopped while segment 1 is shown: segment 3 is written.
    bench.dialog.m_nPointMode = CSegmentDataDialog::POINT_START;
    QVERIFY(bench.Session().SetStartPoint({50, 60}));
    bench.dialog.OnStopPoint();
    QVERIFY(bench.Session().SetStopPoint({150, 60}));
    bench.Press(IDC_BEGIN_STOP);
    QCOMPARE(bench.dialog.m_nSegment, 3); // BEGIN shows the segment walked
    bench.Press(IDC_PREV_SEGMENT);
    bench.host.AddLevels(2, 7);
    bench.Press(IDC_BEGIN_STOP);
    const auto walkedThree = FileBytes(bench.host.m_strPath);
    // The first two segments' bytes are as they were; the third follows them.
    QVERIFY(walkedThree.size() > walkedTwo.size());
    QVERIFY(std::equal(walkedTwo.begin() + 33, walkedTwo.end(), walkedThree.begin() + 33));
    const _surveycontents survey = ReadSurvey(bench.host.m_strPath);
    QVERIFY(survey.IsSound());
    QCOMPARE(survey.segments.size(), size_t{3});
    QCOMPARE(survey.segments[2].header.nStopX, uint16_t{150});
    QCOMPARE(bench.Session().Plan().m_Stop[0].nPlanX, 50); // segment 1's markers untouched
  }

  void speedAndSeconds_data() {
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("speedFeet");
    // STOP before the first tick: no whole second has passed, so no speed, in either unit.
    QTest::newRow("no tick") << 0 << "NA"
                             << "NA";
    QTest::newRow("four ticks") << 4 << "10.00"
                                << "32.80";
    QTest::newRow("three ticks") << 3 << "13.33"
                                 << "43.73"; // 40 / 3 x 3.28
  }

  void speedAndSeconds() {
    QFETCH(int, ticks);
    QFETCH(QString, speed);
    QFETCH(QString, speedFeet);
    _bench bench;
    bench.WalkSegment({10, 10}, {50, 10}, ticks);
    QCOMPARE(bench.Text(IDC_AVERAGE_SPEED), speed);
    QCOMPARE(bench.Text(IDC_TOTAL_DISTANCE), QStringLiteral("40.00"));
    QCOMPARE(bench.Text(IDC_SEGMENT_SECONDS), ticks == 0 ? QStringLiteral("NA") : QString::number(ticks));
    QCOMPARE(bench.dialog.m_nSegmentSeconds, 0);
    QVERIFY(!bench.dialog.WalkTimer().isActive());
    bench.dialog.SetCurSel(IDC_UNITS, UNITS_FEET);
    QCOMPARE(bench.Text(IDC_AVERAGE_SPEED), speedFeet);
  }

  // The seconds of each walk and of every walk, counted by the tick; the timer runs only while
  // walking and really calls the tick.
  void ticksCountWalkAndSurveySeconds() {
    _bench bench;
    bench.Announce({10, 10}, {50, 10});
    QVERIFY(!bench.dialog.WalkTimer().isActive());
    bench.Press(IDC_BEGIN_STOP);
    QVERIFY(bench.dialog.WalkTimer().isActive());
    bench.dialog.OnTimer();
    bench.dialog.OnTimer();
    QCOMPARE(bench.Text(IDC_SEGMENT_SECONDS), QStringLiteral("2"));
    // The timer is wired to the tick: one that is due at once fires without waiting.
    bench.dialog.WalkTimer().setInterval(0);
    QCoreApplication::processEvents();
    QVERIFY(bench.Text(IDC_SEGMENT_SECONDS).toInt() >= 3);
    bench.Press(IDC_BEGIN_STOP);
    const int nFirst = bench.Text(IDC_SEGMENT_SECONDS).toInt();
    QCOMPARE(bench.Text(IDC_SURVEY_SECONDS), QString::number(nFirst));
    QVERIFY(!bench.dialog.WalkTimer().isActive());
    QCoreApplication::processEvents();
    QCOMPARE(bench.Text(IDC_SEGMENT_SECONDS).toInt(), nFirst); // STOP leaves the last count

    bench.dialog.WalkTimer().setInterval(CSegmentDataDialog::WALK_TIMER_MS);
    bench.Announce({50, 10}, {50, 60});
    QCOMPARE(bench.Text(IDC_SEGMENT_SECONDS), QStringLiteral("NA"));
    bench.Press(IDC_BEGIN_STOP);
    bench.dialog.OnTimer();
    QCOMPARE(bench.Text(IDC_SEGMENT_SECONDS), QStringLiteral("1"));
    QCOMPARE(bench.Text(IDC_SURVEY_SECONDS), QString::number(nFirst + 1));
    bench.Press(IDC_BEGIN_STOP);
  }

  // The feet values follow every change of the metre values: a length, total and speed that came
  // while " Feet" was shown are what "Meters" shows after, and back.
  void unitsNeverBringBackOldValues() {
    _bench bench;
    auto *pUnits = bench.dialog.GetDlgItemAs<QComboBox>(IDC_UNITS);
    pUnits->setCurrentIndex(UNITS_FEET);
    QCOMPARE(bench.Text(IDC_SPEED_UNIT), QStringLiteral("feet/second"));
    QCOMPARE(bench.Text(IDC_TOTAL_UNIT), QStringLiteral("feet"));
    bench.WalkSegment({10, 10}, {50, 10}, 4);
    QCOMPARE(bench.Text(IDC_SEGMENT_LENGTH), QStringLiteral("131.20"));
    QCOMPARE(bench.Text(IDC_TOTAL_DISTANCE), QStringLiteral("131.20"));
    QCOMPARE(bench.Text(IDC_AVERAGE_SPEED), QStringLiteral("32.80"));
    pUnits->setCurrentIndex(UNITS_METERS);
    QCOMPARE(bench.Text(IDC_SEGMENT_LENGTH), QStringLiteral("40.00"));
    QCOMPARE(bench.Text(IDC_TOTAL_DISTANCE), QStringLiteral("40.00"));
    QCOMPARE(bench.Text(IDC_AVERAGE_SPEED), QStringLiteral("10.00"));
    QCOMPARE(bench.Text(IDC_SPEED_UNIT), QStringLiteral("meters/second"));
    QCOMPARE(bench.Text(IDC_TOTAL_UNIT), QStringLiteral("meters"));
    // Switching back and forth leaves the metre values as they are.
    for (int i = 0; i < 10; ++i) {
      pUnits->setCurrentIndex(UNITS_FEET);
      pUnits->setCurrentIndex(UNITS_METERS);
    }
    QCOMPARE(bench.dialog.m_dTotal, 40.0);
    QCOMPARE(bench.dialog.m_dSpeed, 10.0);
    bench.dialog.AddToTotalDistance(10.0);
    QCOMPARE(bench.dialog.m_dTotalFeet, 50.0 * 3.28);
    pUnits->setCurrentIndex(UNITS_FEET);
    QCOMPARE(bench.Text(IDC_TOTAL_DISTANCE), QStringLiteral("164.00"));
    bench.dialog.SetSegmentLength(12.5);
    QCOMPARE(bench.Text(IDC_SEGMENT_LENGTH), QStringLiteral("41.00"));
    pUnits->setCurrentIndex(UNITS_METERS);
    QCOMPARE(bench.Text(IDC_SEGMENT_LENGTH), QStringLiteral("12.50"));
  }

  // A survey of 500 segments is full: New Segment says so and changes nothing.
  void newSegmentAtTheLimit() {
    _bench bench;
    CSurveySession &walk = bench.Session();
    for (int i = 0; i < 500; ++i) {
      QVERIFY(walk.NewSegment() && walk.SetStartPoint({1, 1}) && walk.SetStopPoint({2, 2}));
      QVERIFY(walk.Begin());
      QVERIFY(walk.Stop());
    }
    bench.dialog.m_nSegment = 7;
    bench.dialog.m_nSegments = 9;
    bench.dialog.SetDlgItemText(IDC_SEGMENT_NUMBER, QStringLiteral("9"));
    const auto before = FileBytes(bench.host.m_strPath);
    bench.prompts.AnswerMessage(PROMPT_ANSWER_OK);
    bench.Press(IDC_NEW_SEGMENT);
    QCOMPARE(bench.prompts.MessageTexts().size(), 1);
    QVERIFY(bench.prompts.MessageTexts()[0].contains(QStringLiteral("is full")));
    QVERIFY(bench.prompts.MessageTexts()[0].contains(QStringLiteral("Data.tvd")));
    QCOMPARE(bench.dialog.m_nSegment, 7);
    QCOMPARE(bench.dialog.m_nSegments, 9);
    QCOMPARE(bench.Text(IDC_SEGMENT_NUMBER), QStringLiteral("9"));
    QCOMPARE(FileBytes(bench.host.m_strPath), before);
    QCOMPARE(bench.Session().Plan().m_nSegmentCount, 500);
  }

  // STOP writes the levels still buffered as the walked segment's own records.
  void stopWritesTheBufferedLevels() {
    _bench bench;
    bench.Announce({10, 10}, {50, 10});
    bench.Press(IDC_BEGIN_STOP);
    bench.host.AddLevels(1, 5);
    bench.host.AddLevels(2, 3);
    QCOMPARE(ReadSurvey(bench.host.m_strPath).LevelCount(), 0U);
    bench.Press(IDC_BEGIN_STOP);
    const _surveycontents survey = ReadSurvey(bench.host.m_strPath);
    QVERIFY(survey.IsSound());
    QCOMPARE(survey.segments.size(), size_t{1});
    QCOMPARE(survey.segments[0].header.nRecordCount, uint16_t{2});
    QCOMPARE(survey.LevelCount(), 8U);
  }

  void beginThatCannotWrite_data() {
    QTest::addColumn<bool>("diskFull"); // otherwise the walk refuses: nothing announced
    QTest::newRow("disk full") << true;
    QTest::newRow("refused") << false;
  }

  // BEGIN whose header is not written leaves the walk and the dialog as they were, and says why.
  void beginThatCannotWrite() {
    QFETCH(bool, diskFull);
    _bench bench;
    if (diskFull) {
      bench.Announce({10, 10}, {50, 10});
      CFileFaults::FailWritesAfter(0);
    } else {
      bench.dialog.m_nPointMode = CSegmentDataDialog::POINT_STOP; // as a survey opened after another
      bench.dialog.EnableDlgItem(IDC_START_POINT);
      bench.dialog.EnableDlgItem(IDC_STOP_POINT);
    }
    const auto before = FileBytes(bench.host.m_strPath);
    bench.prompts.AnswerMessage(PROMPT_ANSWER_OK);
    bench.Press(IDC_BEGIN_STOP);
    QCOMPARE(bench.prompts.MessageTexts().size(), 1);
    const QString strWhy = bench.prompts.MessageTexts()[0];
    QVERIFY2(strWhy.contains(diskFull ? QStringLiteral("Data.tvd") : QStringLiteral("New Segment")),
             qPrintable(strWhy));
    QCOMPARE(bench.prompts.Shown()[0].message.nIcon, diskFull ? PROMPT_ICON_WARNING : PROMPT_ICON_NONE);
    QVERIFY(!bench.dialog.m_bWalking);
    QCOMPARE(bench.host.Walk().GetState(), diskFull ? WalkState::announced : WalkState::none);
    QCOMPARE(bench.Text(IDC_BEGIN_STOP), QStringLiteral("BEGIN !"));
    QVERIFY(!bench.dialog.WalkTimer().isActive());
    QVERIFY(bench.dialog.IsDlgItemEnabled(IDC_NEW_SEGMENT) && bench.dialog.IsDlgItemEnabled(IDC_STOP_POINT));
    QCOMPARE(FileBytes(bench.host.m_strPath), before);
    if (diskFull) {
      CFileFaults::Reset();
      bench.Press(IDC_BEGIN_STOP);
      QVERIFY(bench.dialog.m_bWalking);
    }
  }

  // STOP on a full disk leaves the segment visibly not saved; a copy can be saved elsewhere, New
  // Segment says why it waits, and Retry saves it once there is room.
  void stopThatCannotWrite() {
    _bench bench;
    bench.Announce({10, 10}, {50, 10});
    bench.Press(IDC_BEGIN_STOP);
    bench.host.AddLevels(1, 5);
    bench.dialog.OnTimer();
    CFileFaults::FailWritesAfter(0);
    bench.prompts.AnswerMessage(PROMPT_ANSWER_OK);
    bench.Press(IDC_BEGIN_STOP);
    QCOMPARE(bench.prompts.Shown().last().message.nIcon, PROMPT_ICON_WARNING);
    QVERIFY(bench.prompts.MessageTexts().last().contains(QStringLiteral("Data.tvd")));
    QVERIFY(!bench.dialog.m_bWalking);
    QVERIFY(!bench.dialog.WalkTimer().isActive());
    QCOMPARE(bench.host.Walk().GetState(), WalkState::notSaved);
    QVERIFY(bench.dialog.GetDlgItem(IDC_NOT_SAVED)->isVisibleTo(&bench.dialog));
    QVERIFY(bench.dialog.GetDlgItem(IDC_SAVE_COPY)->isVisibleTo(&bench.dialog));
    QCOMPARE(bench.Text(IDC_BEGIN_STOP), QStringLiteral("Retry"));
    QCOMPARE(bench.Text(IDC_TOTAL_DISTANCE), QStringLiteral("40.00"));

    // New Segment is refused with the walk's reason.
    bench.prompts.AnswerMessage(PROMPT_ANSWER_OK);
    bench.Press(IDC_NEW_SEGMENT);
    QVERIFY(bench.prompts.MessageTexts().last().contains(QStringLiteral("is not saved")));
    QCOMPARE(bench.Text(IDC_SEGMENT_NUMBER), QStringLiteral("1"));

    // A copy on another disk holds every level; the survey's own path is refused.
    CFileFaults::Reset();
    bench.prompts.AnswerFile(QString::fromStdString(bench.host.m_strPath));
    bench.prompts.AnswerMessage(PROMPT_ANSWER_OK);
    bench.Press(IDC_SAVE_COPY);
    QCOMPARE(bench.prompts.Shown().last().message.nIcon, PROMPT_ICON_WARNING);
    const QString strCopy = bench.dir.filePath(QStringLiteral("elsewhere.tvd"));
    bench.prompts.AnswerFile(strCopy);
    bench.prompts.AnswerMessage(PROMPT_ANSWER_OK);
    bench.Press(IDC_SAVE_COPY);
    QVERIFY(bench.prompts.MessageTexts().last().contains(strCopy));
    const _fileprompt &asked = bench.prompts.Shown()[bench.prompts.Shown().size() - 2].file;
    QVERIFY(asked.nKind == _fileprompt::save && asked.bConfirmOverwrite);
    QCOMPARE(asked.strFileName, QStringLiteral("Data copy.tvd"));
    const _surveycontents copy = ReadSurvey(strCopy.toStdString());
    QVERIFY(copy.IsSound());
    QCOMPARE(copy.LevelCount(), 5U);
    QCOMPARE(bench.host.Walk().GetState(), WalkState::notSaved); // the survey itself still waits

    // Retry, with room again: saved, and the dialog as after a STOP.
    bench.Press(IDC_BEGIN_STOP);
    QCOMPARE(bench.host.Walk().GetState(), WalkState::walked);
    QVERIFY(!bench.dialog.GetDlgItem(IDC_NOT_SAVED)->isVisibleTo(&bench.dialog));
    QVERIFY(!bench.dialog.GetDlgItem(IDC_SAVE_COPY)->isVisibleTo(&bench.dialog));
    QCOMPARE(bench.Text(IDC_BEGIN_STOP), QStringLiteral("BEGIN !"));
    const _surveycontents survey = ReadSurvey(bench.host.m_strPath);
    QVERIFY(survey.IsSound());
    QCOMPARE(survey.LevelCount(), 5U);
    bench.Press(IDC_NEW_SEGMENT);
    QCOMPARE(bench.Text(IDC_SEGMENT_NUMBER), QStringLiteral("2"));
    QVERIFY(bench.prompts.Problems().isEmpty());
    QCOMPARE(bench.prompts.Unused(), 0);
  }
};

QTEST_MAIN(CSegmentWalkDialogTest)
#include "SegmentWalkDialogTest.moc"
