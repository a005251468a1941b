// A survey walked through the real segment dialog and view, offscreen: the points clicked on the
// plan at several zooms, scrolls and sizes, three segments walked while the simulated receiver
// measures, the previous stop point reused; the survey read back.
#include "app/TarvexCollectorView.h"
#include "link/ReceiverMessages.h"
#include "platform/SimulatedReceiver.h"
#include "survey/SurveyReader.h"
#include "tests/app/ViewDialogs.h"
#include "tests/app/ViewRunSupport.h"
#include "tests/app/ViewSetUp.h"

#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <iterator>
#include <memory>

namespace {

// A receiver of its own whose payloads are handed to the view's survey session in the order it
// sent them, as the view hands over what the link delivers.
class CReceiverFeed {
public:
  explicit CReceiverFeed(CSurveySession &session) : m_session(session) {
    m_pReceiver->KeepLog(true);
    QCOMPARE(m_pReceiver->OpenPort(m_pPort), FT_OK);
  }

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
      QVERIFY(m_session.OnReceiverPacket(payload.data(), static_cast<uint32_t>(payload.size()), 0));
    }
  }

  CSurveySession &m_session;
  std::shared_ptr<CSimulatedReceiver> m_pReceiver = std::make_shared<CSimulatedReceiver>();
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

std::vector<uint8_t> FileBytes(const std::string &strPath) {
  std::ifstream in(strPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

class CWalkThroughTest : public QObject {
  Q_OBJECT

private slots:
  void threeSegmentsThroughTheDialogAndTheView() {
    _walkthrough walk;
    CTarvexCollectorView &view = walk.view;
    walk.LoadProjection();
    const std::string strSurvey = walk.dir.filePath(QStringLiteral("Walk.tvd")).toStdString();
    SetUpSurvey(view, strSurvey);
    walk.receiver.Start();
    QVERIFY(view.Session().Run().m_bMeasurementModeOn);
    QCOMPARE(view.Session().SiteData()->GetChannelCount(), 2);
    walk.Dialog().show();

    // Segment 1 with the plan fitted to the view (about 11 client pixels a plan pixel).
    const _pixelpoint a{6, 23};
    const _pixelpoint b{58, 23};
    walk.WalkSegment(&a, b, 3);
    // Segment 2 from the previous stop point, zoomed in twice and scrolled by the arrow keys (10
    // plan pixels a press).
    view.OnZoomIn();
    view.OnZoomIn();
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down}) {
      QTest::keyClick(&view, key);
    }
    const _pixelpoint c{50, 35};
    walk.receiver.Measure(2000);
    walk.WalkSegment(nullptr, c, 2);
    // Segment 3 zoomed out once (window (36, 68, 22, 46)), after the window was made smaller: it
    // keeps its top-left corner and shows about (36, 59, 22, 39).
    view.OnZoomOut();
    view.resize(520, 410);
    const _pixelpoint d{45, 30};
    const _pixelpoint e{55, 35};
    walk.WalkSegment(&d, e, 4);

    QVERIFY2(walk.prompts.Problems().isEmpty(), qPrintable(walk.prompts.Problems().join('\n')));
    QCOMPARE(walk.prompts.Unused(), 0);
    QCOMPARE(walk.Dialog().GetDlgItemText(IDC_SEGMENT_NUMBER), QStringLiteral("3"));

    const auto bytes = FileBytes(strSurvey);
    const _surveycontents survey = ParseSurvey(bytes.data(), bytes.size());
    QVERIFY(survey.IsSound());
    QCOMPARE(survey.segments.size(), size_t{3});
    const _pixelpoint expected[3][2] = {{a, b}, {b, c}, {d, e}};
    for (size_t i = 0; i < 3; ++i) {
      const _segmentheader &header = survey.segments[i].header;
      QCOMPARE(QPoint(header.nStartX, header.nStartY), QPoint(expected[i][0].x, expected[i][0].y));
      QCOMPARE(QPoint(header.nStopX, header.nStopY), QPoint(expected[i][1].x, expected[i][1].y));
      QCOMPARE(header.nCoordsFlag, uint8_t{1}); // geo-coded: the coordinates are stored
      const _planpoint &start = view.Session().Plan().m_Start[i];
      QCOMPARE(QPoint(start.nPlanX, start.nPlanY), QPoint(expected[i][0].x, expected[i][0].y));
    }
    // Every level sent during the walks, and none of those sent between them.
    QVERIFY(walk.receiver.m_nLevelsInWalks > 0 && walk.receiver.m_nLevelsBetween > 0);
    QCOMPARE(survey.LevelCount(), walk.receiver.m_nLevelsInWalks);
  }

  // A walk that would record nothing is refused: a survey opened while the receiver was already
  // measuring has no channels until the next valid channel report, and a report that names no
  // valid channel leaves nothing to record.
  void beginNeedsChannelsToRecord() {
    _walkthrough walk;
    CTarvexCollectorView &view = walk.view;
    walk.LoadProjection();
    walk.receiver.Start(); // measuring before the survey is opened
    SetUpSurvey(view, walk.dir.filePath(QStringLiteral("Late.tvd")).toStdString());
    QVERIFY(view.Session().Run().m_bMeasurementModeOn);
    QCOMPARE(view.Session().SiteData()->GetChannelCount(), 0);
    const QString strNotMeasuring = QString::fromLatin1(CSegmentDataDialog::TEXT_NOT_MEASURING);
    walk.Press(IDC_NEW_SEGMENT);
    walk.Press(IDC_START_POINT);
    walk.ClickPlan({10, 10});
    walk.Press(IDC_STOP_POINT);
    walk.ClickPlan({30, 10});
    walk.prompts.AnswerMessage(PROMPT_ANSWER_OK, strNotMeasuring);
    walk.Press(IDC_BEGIN_STOP);
    QVERIFY(!walk.Dialog().m_bWalking);

    walk.receiver.Unit().SelectChannel(1, 34400); // a new report, both channels valid
    walk.receiver.Measure(0);
    walk.Press(IDC_BEGIN_STOP);
    QVERIFY(walk.Dialog().m_bWalking);
    walk.receiver.Measure(1000);
    walk.Press(IDC_BEGIN_STOP);

    walk.receiver.Unit().SelectChannel(1, 5); // out of both receivers' ranges
    walk.receiver.Unit().SelectChannel(2, 5);
    walk.receiver.Measure(0);
    QVERIFY(!view.Session().Run().IsChannelValid(1) && !view.Session().Run().IsChannelValid(2));
    walk.Press(IDC_NEW_SEGMENT);
    walk.prompts.AnswerMessage(PROMPT_ANSWER_YES, QString::fromLatin1(CSegmentDataDialog::TEXT_REUSE_STOP_POINT));
    walk.Press(IDC_START_POINT);
    walk.Press(IDC_STOP_POINT);
    walk.ClickPlan({30, 30});
    walk.prompts.AnswerMessage(PROMPT_ANSWER_OK, strNotMeasuring);
    walk.Press(IDC_BEGIN_STOP);
    QVERIFY(!walk.Dialog().m_bWalking);
    QVERIFY2(walk.prompts.Problems().isEmpty(), qPrintable(walk.prompts.Problems().join('\n')));
    QCOMPARE(walk.prompts.Unused(), 0);
  }
};

QTEST_MAIN(CWalkThroughTest)
#include "WalkThroughTest.moc"
