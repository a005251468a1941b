// A survey walked through the real segment dialog and view, offscreen: the points clicked on the
// plan at several zooms, scrolls and sizes, three segments walked while the simulated receiver
// measures, the previous stop point reused; the survey read back.
#include "tests/app/WalkThrough.h"
#include "survey/SurveyReader.h"

#include <fstream>
#include <iterator>

namespace {

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
