// A survey from start to finish through the real window, offscreen: connect to the simulated unit
// through the real link, open the sample site's projection, create a survey, measure, walk three
// segments clicked on the plan (at the load's scale, at zoom 2 after a scroll, and from the
// previous stop point), close the window; then verify and export the survey with tvdtool as a
// user does, and find in it exactly the levels the unit sent while the segments were walked. A
// second run of the window reopens the survey, walks one more segment and leaves the first three
// as they were.
#include "tests/app/EndToEnd.h"
#include "tests/app/EndToEndTools.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>

namespace {

const QString SAVE_COLLECTION = "Please save the Collection File";
const QString TEXT_OPEN_EXISTING = "Do you wish to open an existing data file?";
// Offset and size of the file's segment count.
constexpr int COUNT_OFFSET = 29;
constexpr int COUNT_SIZE = 4;

// The help pages' close box.
int CloseBox(QDialog &dialog) {
  dialog.close();
  return dialog.result();
}

QByteArray FileBytes(const QString &strPath) {
  QFile file(strPath);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

_surveycontents Parse(const QByteArray &bytes) {
  return ParseSurvey(reinterpret_cast<const uint8_t *>(bytes.constData()), static_cast<size_t>(bytes.size()));
}

uint32_t SegmentCount(const QByteArray &bytes) {
  uint32_t nCount = 0;
  std::memcpy(&nCount, bytes.constData() + COUNT_OFFSET, COUNT_SIZE); // little-endian, as the machine
  return nCount;
}

QVector<int> Levels(const std::vector<int> &levels) { return {levels.begin(), levels.end()}; }

// The levels of segment k (1-based) as the file holds them, channel by channel, in file order.
_sentlevels LevelsInSegment(const _surveycontents &survey, size_t k) {
  _sentlevels held;
  for (const _surveyrecordentry &record : survey.segments.at(k - 1).records) {
    std::vector<int> &levels = held.channel.at(record.nChannel - 1U);
    levels.insert(levels.end(), record.levels.begin(), record.levels.end());
  }
  return held;
}

QPoint StartOf(const _surveysegmententry &segment) { return {segment.header.nStartX, segment.header.nStartY}; }
QPoint StopOf(const _surveysegmententry &segment) { return {segment.header.nStopX, segment.header.nStopY}; }
QPoint AsPoint(_pixelpoint pt) { return {pt.x, pt.y}; }

} // namespace

class CEndToEndTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_settingsDir;
  QTemporaryDir m_dir;     // the survey of the first test, continued by the second
  QString m_strProjection; // the sample site's geo-coded projection, copied there

  QString SurveyPath() const { return m_dir.filePath(QStringLiteral("Office.tvd")); }

  // Open Projection with no survey open: the plan at the load's scale, then "Please save the
  // Collection File".
  void OpenProjection(CCollectorSession &session) {
    session.Prompts().AnswerFile(m_strProjection);
    session.Prompts().AnswerMessage(PROMPT_ANSWER_OK, SAVE_COLLECTION);
    session.Trigger(ID_FILE_OPENPROJECTION);
    QVERIFY(session.View().Session().Run().m_bProjectionLoaded);
    const _planrect &plan = session.View().Session().Plan().m_rcExtent;
    QCOMPARE(QSize(plan.right - plan.left, plan.bottom - plan.top), QSize(2000, 1400));
  }

  // Open Collection: an existing survey or a new one, two channels, the help pages closed.
  void OpenCollection(CCollectorSession &session, bool bExisting) {
    session.Prompts().AnswerMessage(bExisting ? PROMPT_ANSWER_YES : PROMPT_ANSWER_NO, TEXT_OPEN_EXISTING);
    session.Prompts().AnswerFile(SurveyPath());
    session.Prompts().AnswerModal(ChooseChannels(2));
    session.Prompts().AnswerModal(CloseBox);
    session.Trigger(ID_FILE_OPENCOLLECTION);
    QVERIFY(session.View().Session().Run().m_bCollectionOpen);
    QVERIFY(session.Dialog().isVisible());
  }

  // The window closed as its close box closes it: the survey is closed and nothing is asked.
  static void CloseWindow(CCollectorSession &session) {
    QVERIFY(session.Frame().close());
    QVERIFY(!session.Frame().isVisible());
    QVERIFY(!session.View().Session().IsOpen());
    VERIFY_AS_SCRIPTED(session.Prompts());
    QCOMPARE(session.Prompts().Unused(), 0);
  }

  // tvdtool finds the survey sound, with nSegments segments and nLevels levels.
  void VerifyWithTool(int nSegments, size_t nLevels) {
    const _toolrun run = RunTvdtool({"survey", "verify", SurveyPath()});
    QVERIFY2(run.nExit == 0, qPrintable(run.strOut + run.strErr));
    const QRegularExpression sound(
        QStringLiteral(": sound: %1 segments, \\d+ records, %2 levels\\.\n$").arg(nSegments).arg(nLevels));
    QVERIFY2(sound.match(run.strOut).hasMatch(), qPrintable(run.strOut));
  }

  // tvdtool exports, for segment k + 1, the levels walked[k] of each channel, in the order the
  // unit sent them, under the frequencies the unit's panel shows.
  void ExportHolds(const std::vector<_sentlevels> &walked, const QStringList &frequencies) {
    const QString strCsv = m_dir.filePath(QStringLiteral("Office.csv"));
    const _toolrun run = RunTvdtool({"survey", "export", SurveyPath(), "--projection", m_strProjection, "-o", strCsv});
    QVERIFY2(run.nExit == 0, qPrintable(run.strErr));
    QString strProblem;
    const auto exported = ReadExport(strCsv, strProblem);
    QVERIFY2(strProblem.isEmpty(), qPrintable(strProblem));
    for (size_t k = 0; k < walked.size(); ++k) {
      for (int nChannel = 1; nChannel <= 2; ++nChannel) {
        const QPair<int, int> key(static_cast<int>(k) + 1, nChannel);
        QVERIFY2(exported.contains(key),
                 qPrintable(QStringLiteral("segment %1 channel %2").arg(key.first).arg(nChannel)));
        const _exportedchannel &channel = exported[key];
        QCOMPARE(channel.levels, Levels(walked[k].channel.at(nChannel - 1)));
        QCOMPARE(channel.counts, QVector<int>(channel.levels.size(), static_cast<int>(channel.levels.size())));
        for (const QString &strMhz : channel.frequencies) {
          QCOMPARE(strMhz.toDouble(), frequencies.at(nChannel - 1).toDouble());
        }
      }
    }
    QCOMPARE(static_cast<size_t>(exported.size()), 2 * walked.size()); // no other segment or channel
  }

  // The frequencies the unit's panel shows, in MHz, without the unit.
  static QStringList PanelFrequencies(CCollectorSession &session) {
    QStringList frequencies;
    for (const int nId : {IDC_SIM_FREQUENCY1, IDC_SIM_FREQUENCY2}) {
      frequencies.append(session.Panel().GetDlgItemText(nId).remove(QStringLiteral(" MHz")));
    }
    return frequencies;
  }

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings().clear();
    // A copy, so that the side files of the load go beside it rather than into the build.
    m_strProjection = m_dir.filePath(QStringLiteral("office.gpf"));
    QVERIFY(QFile::copy(QStringLiteral(TARVEX_SAMPLE_SITE "/office.gpf"), m_strProjection));
  }

  void walkThreeSegmentsThroughTheWindow() {
    CCollectorSession session;
    QVERIFY(QTest::qWaitForWindowExposed(&session.Frame()));
    QVERIFY(session.Connect());
    OpenProjection(session);
    OpenCollection(session, false);
    QVERIFY(session.Measure());
    CTarvexCollectorView &view = session.View();

    // Segment 1 at the load's scale.
    QCOMPARE(view.ZoomText(), QStringLiteral("Zoom: 1x"));
    const _pixelpoint a{300, 400};
    const _pixelpoint b{900, 400};
    QVERIFY(session.WalkSegment({a, b}));
    // Segment 2 at zoom 2, after scrolling 30 plan pixels right and 20 down with the arrow keys.
    session.Trigger(ID_ZOOM_IN);
    QCOMPARE(view.ZoomText(), QStringLiteral("Zoom: 2x"));
    const _planrect zoomed = view.Session().Plan().m_rcView;
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down}) {
      QTest::keyClick(&view, key);
    }
    QCOMPARE(QPoint(view.Session().Plan().m_rcView.left, view.Session().Plan().m_rcView.top),
             QPoint(zoomed.left + 30, zoomed.top + 20));
    const _pixelpoint c{400, 300};
    const _pixelpoint d{900, 450};
    QVERIFY(session.WalkSegment({c, d}));
    // Segment 3 from the previous stop point.
    const _pixelpoint e{500, 220};
    QVERIFY(session.WalkSegment({std::nullopt, e}));
    const QStringList frequencies = PanelFrequencies(session);
    CloseWindow(session);
    const std::vector<_sentlevels> walked = session.WalkedLevels();
    const size_t nSent = session.LevelsSent();

    const _surveycontents survey = Parse(FileBytes(SurveyPath()));
    QVERIFY(survey.IsSound());
    QCOMPARE(survey.segments.size(), size_t{3});
    const _pixelpoint route[3][2] = {{a, b}, {c, d}, {d, e}};
    size_t nWalked = 0;
    for (size_t k = 0; k < 3; ++k) {
      QCOMPARE(StartOf(survey.segments[k]), AsPoint(route[k][0]));
      QCOMPARE(StopOf(survey.segments[k]), AsPoint(route[k][1]));
      QCOMPARE(survey.segments[k].header.nCoordsFlag, uint8_t{1}); // geo-coded: the coordinates are stored
      QCOMPARE(Levels(LevelsInSegment(survey, k + 1).channel[0]), Levels(walked[k].channel[0]));
      QCOMPARE(Levels(LevelsInSegment(survey, k + 1).channel[1]), Levels(walked[k].channel[1]));
      nWalked += walked[k].Count();
    }
    // Levels came between the walks too; none of them is in the survey.
    QVERIFY2(nSent > nWalked, qPrintable(QStringLiteral("%1 sent, %2 walked").arg(nSent).arg(nWalked)));
    QCOMPARE(survey.LevelCount(), nWalked);
    VerifyWithTool(3, nWalked);
    ExportHolds(walked, frequencies);
  }

  void reopenAndContinueTheSurvey() {
    const QByteArray before = FileBytes(SurveyPath());
    QVERIFY2(before.size() > COUNT_OFFSET + COUNT_SIZE, "the survey of walkThreeSegmentsThroughTheWindow");
    const _surveycontents walkedBefore = Parse(before);
    QCOMPARE(walkedBefore.segments.size(), size_t{3});

    CCollectorSession session;
    QVERIFY(QTest::qWaitForWindowExposed(&session.Frame()));
    QVERIFY(session.Connect());
    OpenProjection(session);
    OpenCollection(session, true);
    QCOMPARE(CommandsWritten(session.Unit().ReceivedBytes(), CMD_RESEND_INFO), 1);
    QCOMPARE(session.View().Session().Plan().m_nSegmentCount, 3); // the survey's markers are on the plan
    QVERIFY(session.Measure());
    // Segment 4 from where segment 3 stopped.
    const _pixelpoint f{1100, 450};
    QVERIFY(session.WalkSegment({std::nullopt, f}));
    const QStringList frequencies = PanelFrequencies(session);
    CloseWindow(session);
    const std::vector<_sentlevels> walked = session.WalkedLevels();

    // The first three segments are byte for byte as they were; only the count grew.
    const QByteArray after = FileBytes(SurveyPath());
    QVERIFY(after.size() > before.size());
    QCOMPARE(after.left(COUNT_OFFSET), before.left(COUNT_OFFSET));
    QCOMPARE(after.mid(COUNT_OFFSET + COUNT_SIZE, before.size() - COUNT_OFFSET - COUNT_SIZE),
             before.mid(COUNT_OFFSET + COUNT_SIZE));
    QCOMPARE(SegmentCount(before), 3U);
    QCOMPARE(SegmentCount(after), 4U);
    const _surveycontents survey = Parse(after);
    QVERIFY(survey.IsSound());
    QCOMPARE(survey.segments.size(), size_t{4});
    QCOMPARE(StartOf(survey.segments[3]), StopOf(walkedBefore.segments[2]));
    QCOMPARE(StopOf(survey.segments[3]), AsPoint(f));
    QCOMPARE(Levels(LevelsInSegment(survey, 4).channel[0]), Levels(walked[0].channel[0]));
    QCOMPARE(Levels(LevelsInSegment(survey, 4).channel[1]), Levels(walked[0].channel[1]));
    VerifyWithTool(4, walkedBefore.LevelCount() + walked[0].Count());
    ExportHolds({LevelsInSegment(walkedBefore, 1), LevelsInSegment(walkedBefore, 2), LevelsInSegment(walkedBefore, 3),
                 walked[0]},
                frequencies);
  }
};

QTEST_MAIN(CEndToEndTest)
#include "EndToEndTest.moc"
