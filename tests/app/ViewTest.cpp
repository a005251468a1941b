// The main view as far as it is built: what it shows without a projection, and what becomes of
// the survey data it holds when it ends.
#include "app/TarvexCollectorView.h"
#include "survey/SurveyReader.h"
#include "tests/app/ViewDialogs.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class CViewTest : public QObject {
  Q_OBJECT

private slots:
  // The view makes its dialogs hidden, as windows of their own over it.
  void dialogsAreMadeHidden() {
    CTarvexCollectorView view;
    view.show();
    const QList<QDialog *> dialogs = {&ViewDialog<CIntroDialog>(view), &ViewDialog<CSegmentDataDialog>(view),
                                      &ViewDialog<CDistanceMeasurementDialog>(view),
                                      &ViewDialog<CConnectionDialog>(view), &ViewDialog<CHelpDialog>(view)};
    for (QDialog *pDialog : dialogs) {
      QVERIFY(!pDialog->isVisible());
      QVERIFY(pDialog->isWindow());
      QCOMPARE(pDialog->parentWidget(), &view);
    }
    QCOMPARE(ViewDialog<CSegmentDataDialog>(view).m_pView, static_cast<CSegmentDialogHost *>(&view));
  }

  // Black, with "( SELECT A PROJECTION )" in white (its small font smoothed) in a band around the
  // middle.
  void withoutProjectionAsksForOne() {
    CTarvexCollectorView view;
    view.resize(640, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QImage picture = view.viewport()->grab().toImage();
    const int nMiddle = picture.height() / 2;
    int nWhiteInBand = 0;
    int nLitOutside = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QColor colour = picture.pixelColor(x, y);
        const bool bBand = y > nMiddle - 25 && y < nMiddle + 25;
        nWhiteInBand += bBand && qGray(colour.rgb()) > 128 ? 1 : 0;
        nLitOutside += !bBand && colour != Qt::black ? 1 : 0;
      }
    }
    QVERIFY(nWhiteInBand > 50);
    QCOMPARE(nLitOutside, 0);
  }

  // The levels a walk has buffered but not yet written reach the file when the view ends.
  void endingWritesTheBufferedLevels() {
    QTemporaryDir dir;
    const std::string strPath = dir.filePath("walk.tvd").toStdString();
    auto pView = std::make_unique<CTarvexCollectorView>();
    CSurveySession &session = pView->Session();
    QVERIFY(session.Open(strPath, CSiteData::modeCreateNew));
    const uint32_t nFrequency = 8500;
    session.SiteData()->SetChannels(&nFrequency, 1);
    QVERIFY(session.NewSegment() && session.SetStartPoint({10, 20}) && session.SetStopPoint({300, 20}) &&
            session.Begin());
    // One level message of three levels: each level is the first byte of a two-byte item.
    const uint8_t message[] = {5, 0, 6, 0, 7, 0, 0, 0, 0, 0, 0, 0};
    session.SiteData()->AddLevels(1, message, 6);
    const auto LevelsInFile = [&strPath] {
      const auto bytes = LoadSurveyFile(strPath, CFile::shareDenyNone);
      return ParseSurvey(bytes.data(), bytes.size()).LevelCount();
    };
    QCOMPARE(LevelsInFile(), 0U);
    pView.reset();
    QCOMPARE(LevelsInFile(), 3U);
  }
};

QTEST_MAIN(CViewTest)
#include "ViewTest.moc"
