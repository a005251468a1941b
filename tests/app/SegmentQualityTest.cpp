// Segment quality in the window, offscreen: a dropout flagged at STOP, the browsed segment's
// details with its level profile, Walk again and Exclude, the key that starts and stops a walk,
// marker numbers at a shared point, the dialogs' places beside the plan and the window's title.
#include "app/DialogPlacement.h"
#include "app/MarkerNumbers.h"
#include "dialogs/LevelProfileView.h"
#include "dialogs/SegmentDetailsDialog.h"
#include "quality/QualityFile.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"
#include "tests/app/WalkThrough.h"

#include <QRegularExpression>
#include <QStandardPaths>

#include <filesystem>

namespace {

const _pixelpoint A{6, 23};
const _pixelpoint B{58, 23};
const _pixelpoint C{58, 40};

CSegmentDetailsDialog &Details(const CTarvexCollectorView &view) { return ViewDialog<CSegmentDetailsDialog>(view); }

void Click(QWidget *pButton) { QTest::mouseClick(pButton, Qt::LeftButton); }

// BEGIN, nSeconds of walking with channel 2 silent for nPauseS seconds from nPauseAtS, STOP.
void WalkAnnounced(_walkthrough &walk, int nSeconds, int nPauseAtS = -1, int nPauseS = 0) {
  walk.receiver.Measure(1500);
  walk.Press(IDC_BEGIN_STOP);
  QVERIFY(walk.Dialog().m_bWalking);
  for (int i = 0; i < nSeconds; ++i) {
    if (i == nPauseAtS) {
      walk.receiver.Unit().PauseChannel(2, static_cast<uint32_t>(nPauseS) * 1000);
    }
    for (int nStep = 0; nStep < 10; ++nStep) {
      walk.receiver.Measure(100); // each message arrives within a tenth of a second of being sent
    }
    walk.Dialog().OnTimer();
  }
  walk.Press(IDC_BEGIN_STOP);
  QVERIFY(!walk.Dialog().m_bWalking);
}

// Segment 1 from A to B with a 6 s dropout on channel 2, segment 2 from B (the previous stop
// point) to C.
void WalkTwoSegments(_walkthrough &walk, const std::string &strSurvey) {
  walk.LoadProjection();
  QVERIFY(SetUpSurvey(walk.view, strSurvey));
  walk.receiver.Start();
  walk.Dialog().show();
  walk.Press(IDC_NEW_SEGMENT);
  walk.Press(IDC_START_POINT);
  walk.ClickPlan(A);
  walk.Press(IDC_STOP_POINT);
  walk.ClickPlan(B);
  WalkAnnounced(walk, 12, 3, 6);
  walk.Press(IDC_NEW_SEGMENT);
  walk.prompts.AnswerMessage(PROMPT_ANSWER_YES, QString::fromLatin1(CSegmentDataDialog::TEXT_REUSE_STOP_POINT));
  walk.Press(IDC_START_POINT);
  walk.Press(IDC_STOP_POINT);
  walk.ClickPlan(C);
  WalkAnnounced(walk, 12);
}

// Bins of a channel's profile without a level, between bins with levels: drawn as a gap.
size_t InnerEmptyBins(const _profilechannel &channel) {
  size_t nFirst = 0;
  size_t nLast = channel.bins.size();
  while (nFirst < nLast && channel.bins[nFirst].nCount == 0) {
    ++nFirst;
  }
  while (nLast > nFirst && channel.bins[nLast - 1].nCount == 0) {
    --nLast;
  }
  size_t nEmpty = 0;
  for (size_t i = nFirst; i < nLast; ++i) {
    nEmpty += channel.bins[i].nCount == 0 ? 1 : 0;
  }
  return nEmpty;
}

} // namespace

class CSegmentQualityTest : public QObject {
  Q_OBJECT

private slots:
  // The dialogs' places go to a settings file of the test's own.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  // The dropout is named at STOP; << shows segment 1's details beside the dialog, its profile with
  // channel 2's gap; Walk again announces a segment over the same points that replaces it after
  // its STOP; Exclude and Include; nothing is removed from the survey file.
  void aDropoutFlaggedBrowsedWalkedAgainAndExcluded() {
    _walkthrough walk;
    CTarvexCollectorView &view = walk.view;
    const std::string strSurvey = walk.dir.filePath(QStringLiteral("Walk.tvd")).toStdString();
    WalkTwoSegments(walk, strSurvey);
    QCOMPARE(view.DocumentTitle(), QStringLiteral("Walk.tvd (site.gpf) - Tarvex Collector"));
    const QString strFlagged = walk.Dialog().GetDlgItemText(IDC_SEGMENT_CHECK);
    QVERIFY2(strFlagged.contains(QStringLiteral("Segment 2")), qPrintable(strFlagged)); // the last STOP's
    QCOMPARE(view.Quality().Standing(2) == SegmentStanding::flagged, strFlagged.startsWith("Segment 2:"));
    QVERIFY(std::filesystem::exists(QualityFilePath(strSurvey)));

    // << to segment 1: box 1022 keeps the segment walked last, the details show segment 1.
    walk.Press(IDC_PREV_SEGMENT);
    QCOMPARE(walk.Dialog().GetDlgItemText(IDC_SEGMENT_NUMBER), QStringLiteral("2"));
    CSegmentDetailsDialog &details = Details(view);
    QVERIFY(details.isVisible());
    QCOMPARE(details.GetDlgItemText(IDC_DETAILS_TITLE), QStringLiteral("Segment 1: flagged"));
    const QRegularExpression gap(QStringLiteral("^6\\.\\d s without levels on channel 2 at \\d+(\\.\\d)? m"));
    QVERIFY2(gap.match(details.GetDlgItemText(IDC_DETAILS_CHECKS)).hasMatch(),
             qPrintable(details.GetDlgItemText(IDC_DETAILS_CHECKS)));
    QVERIFY(details.GetDlgItemText(IDC_DETAILS_LEVELS).startsWith(QStringLiteral("channel 1: ")));
    const _levelprofile &profile = details.ProfileView().Profile();
    QCOMPARE(profile.channels.size(), size_t{2});
    QCOMPARE(InnerEmptyBins(profile.channels[0]), size_t{0});
    QVERIFY(InnerEmptyBins(profile.channels[1]) > 0);
    QCOMPARE(profile.channels[1].gaps.size(), size_t{1});

    // Walk again: segment 3 over segment 1's points replaces it after its STOP.
    Click(details.GetDlgItem(IDC_WALK_AGAIN));
    QCOMPARE(walk.Dialog().GetDlgItemText(IDC_SEGMENT_NUMBER), QStringLiteral("3"));
    WalkAnnounced(walk, 12);
    QVERIFY2(walk.Dialog().GetDlgItemText(IDC_SEGMENT_CHECK).endsWith(QStringLiteral(" It replaces segment 1.")),
             qPrintable(walk.Dialog().GetDlgItemText(IDC_SEGMENT_CHECK)));
    QCOMPARE(view.Quality().Standing(1), SegmentStanding::replaced);
    const auto bytes = LoadSurveyFile(strSurvey, CFile::shareDenyNone);
    const _surveycontents survey = ParseSurvey(bytes.data(), bytes.size());
    QCOMPARE(survey.segments.size(), size_t{3}); // nothing removed
    QCOMPARE(survey.segments[2].header.nStartX, survey.segments[0].header.nStartX);
    QCOMPARE(survey.segments[2].header.nStopY, survey.segments[0].header.nStopY);
    walk.Press(IDC_PREV_SEGMENT);
    walk.Press(IDC_PREV_SEGMENT);
    QCOMPARE(details.GetDlgItemText(IDC_DETAILS_TITLE),
             QStringLiteral("Segment 1, walked again as segment 3: not counted"));
    QVERIFY(!details.GetDlgItem(IDC_WALK_AGAIN)->isEnabled());

    // Exclude segment 2, and bring it back: the coverage shown leaves it out meanwhile.
    view.OnCoverageChannel1();
    const auto coveredCells = [&view] {
      const CCoverage *pCoverage = view.ShownCoverage();
      return pCoverage == nullptr ? uint64_t{0} : pCoverage->Figures(1).nCells;
    };
    QTRY_VERIFY(coveredCells() > 0);
    const uint64_t nCoveredAll = coveredCells();
    walk.Press(IDC_NEXT_SEGMENT);
    Click(details.GetDlgItem(IDC_EXCLUDE));
    QCOMPARE(view.Quality().Standing(2), SegmentStanding::excluded);
    QTRY_VERIFY(coveredCells() > 0 && coveredCells() < nCoveredAll);
    QCOMPARE(details.GetDlgItemText(IDC_DETAILS_TITLE), QStringLiteral("Segment 2, excluded: not counted"));
    QCOMPARE(details.GetDlgItemText(IDC_EXCLUDE), QStringLiteral("Include"));
    Click(details.GetDlgItem(IDC_EXCLUDE));
    QVERIFY(view.Quality().Standing(2) != SegmentStanding::excluded);
    QCOMPARE(details.GetDlgItemText(IDC_EXCLUDE), QStringLiteral("Exclude"));
    QTRY_COMPARE(coveredCells(), nCoveredAll);
    QVERIFY2(walk.prompts.Problems().isEmpty(), qPrintable(walk.prompts.Problems().join('\n')));
  }

  // Ctrl+B presses BEGIN ! and STOP ! from the plan; while walking STOP ! is drawn in red.
  void theKeyStartsAndStopsTheWalk() {
    _walkthrough walk;
    walk.LoadProjection();
    QVERIFY(SetUpSurvey(walk.view, walk.dir.filePath(QStringLiteral("Key.tvd")).toStdString()));
    walk.receiver.Start();
    walk.Dialog().show();
    walk.Press(IDC_NEW_SEGMENT);
    walk.Press(IDC_START_POINT);
    walk.ClickPlan(A);
    walk.Press(IDC_STOP_POINT);
    walk.ClickPlan(B);
    walk.view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&walk.view));
    QTest::keyClick(walk.view.viewport(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(walk.Dialog().m_bWalking);
    const QImage button = walk.Dialog().GetDlgItem(IDC_BEGIN_STOP)->grab().toImage();
    const QColor middle = button.pixelColor(button.width() / 4, button.height() / 2);
    QVERIFY2(middle.red() > 150 && middle.green() < 80, qPrintable(middle.name()));
    walk.receiver.Measure(3000);
    QTest::keyClick(walk.view.viewport(), Qt::Key_B, Qt::ControlModifier);
    QVERIFY(!walk.Dialog().m_bWalking);
    QCOMPARE(walk.Dialog().GetDlgItemText(IDC_BEGIN_STOP), QString::fromLatin1(CSegmentDataDialog::TEXT_BEGIN));
  }

  // Numbers of markers at one point are written apart; none past the client's edge.
  void markerNumbersStayReadable() {
    const QSize client(400, 300);
    const QSize text(14, 18);
    const struct {
      const char *pszCase;
      QList<QPoint> points;
    } cases[] = {
        {"a segment starting at the previous stop point", {{100, 100}, {100, 100}}},
        {"three markers at one point", {{200, 150}, {200, 150}, {200, 150}}},
        {"at the left and top edges", {{0, 0}, {0, 0}}},
        {"at the right and bottom edges", {{399, 299}, {399, 299}}},
    };
    for (const auto &c : cases) {
      QList<_markernumber> markers;
      for (const QPoint &pt : c.points) {
        markers.append({pt, text});
      }
      const QList<_numberplace> places = PlaceMarkerNumbers(markers, client);
      QCOMPARE(places.size(), markers.size());
      for (qsizetype i = 0; i < places.size(); ++i) {
        QVERIFY2(QRect(QPoint(0, 0), client).contains(places[i].rc), c.pszCase);
        QCOMPARE(places[i].rc.size(), text);
        for (qsizetype j = i + 1; j < places.size(); ++j) {
          QVERIFY2(!places[i].rc.intersects(places[j].rc), c.pszCase);
        }
      }
      QVERIFY2(!places.back().bBeside, c.pszCase); // the marker drawn last keeps its own place
    }
  }

  // A dialog goes beside the plan where the screen has room, else inside along the plan's edge,
  // below those placed before it; never over the plan's middle.
  void dialogsStandBesideThePlan() {
    const QRect screen(0, 0, 1920, 1080);
    const QSize dialog(300, 400);
    const struct {
      const char *pszCase;
      QRect frame;
      CDialogPlacement::Side side;
      QList<QRect> taken;
      bool bOutside;
    } cases[] = {
        {"room on the right", QRect(100, 100, 1000, 800), CDialogPlacement::right, {}, true},
        {"room on the left", QRect(700, 100, 1000, 800), CDialogPlacement::left, {}, true},
        {"a maximised window", screen, CDialogPlacement::right, {}, false},
        {"below one placed before",
         QRect(100, 100, 1000, 800),
         CDialogPlacement::right,
         {QRect(1100, 100, 300, 400)},
         true},
    };
    for (const auto &c : cases) {
      const QRect anchor = c.frame.adjusted(0, 30, 0, 0);
      const QRect placed(CDialogPlacement::DefaultPlace(anchor, c.frame, screen, dialog, c.side, c.taken), dialog);
      QVERIFY2(screen.contains(placed), c.pszCase);
      QCOMPARE(placed.intersects(c.frame), !c.bOutside);
      QVERIFY2(!placed.contains(anchor.center()), c.pszCase);
      for (const QRect &rcTaken : c.taken) {
        QVERIFY2(!placed.intersects(rcTaken), c.pszCase);
      }
    }
  }
};

QTEST_MAIN(CSegmentQualityTest)
#include "SegmentQualityTest.moc"
