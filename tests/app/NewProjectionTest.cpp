// A new site from a floor plan, through the window: File > New Projection from Image on a PNG and
// on a one-page PDF, calibrated by clicks on the plan and typed lengths and coordinates, saved and
// opened at once. The built tvdtool then locates the clicked pixels at the typed coordinates, and
// makes the same file, byte for byte, from the same inputs.
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "dialogs/CalibrationDialog.h"
#include "projection/CoordinateText.h"
#include "projection/SiteProjection.h"
#include "tests/app/EndToEndTools.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

const char *const TEXT_SAVE_COLLECTION = "Please save the Collection File";
const char *const TEXT_READY = "Ready to save.";

// A place on a site drawn at 5 cm a pixel, turned 20 degrees against north.
_latlon OnSite(QPoint pt) {
  const double dTurn = 20 * std::numbers::pi / 180;
  const double dEast = 0.05 * (pt.x() * std::cos(dTurn) + pt.y() * std::sin(dTurn));
  const double dNorth = 0.05 * (pt.x() * std::sin(dTurn) - pt.y() * std::cos(dTurn));
  const double dPerDegree = 6378137.0 * std::numbers::pi / 180;
  return {52.52 + dNorth / dPerDegree, 13.40 + dEast / (dPerDegree * std::cos(52.52 * std::numbers::pi / 180))};
}

QByteArray ReadAll(const QString &strPath) {
  QFile file(strPath);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The operator's hand on the calibration dialog.
class CHand {
public:
  explicit CHand(CCalibrationDialog &dialog) : m_dialog(dialog), m_view(*dialog.View()) {}

  // A click on the button; on a radio button, on its mark, as its label may end before the middle.
  void Press(int nId) const {
    auto *pButton = m_dialog.GetDlgItemAs<QAbstractButton>(nId);
    QTest::mouseClick(pButton, Qt::LeftButton, {},
                      qobject_cast<QRadioButton *>(pButton) ? QPoint(4, pButton->height() / 2) : QPoint());
  }
  void Click(QPoint ptPlan) const {
    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, m_view.ViewportPoint(ptPlan));
  }
  void Drag(QPoint ptFrom, QPoint ptTo) const {
    QTest::mousePress(m_view.viewport(), Qt::LeftButton, {}, m_view.ViewportPoint(ptFrom));
    QTest::mouseMove(m_view.viewport(), m_view.ViewportPoint(ptTo));
    QTest::mouseRelease(m_view.viewport(), Qt::LeftButton, {}, m_view.ViewportPoint(ptTo));
  }
  void Type(int nId, const QString &strText) const {
    auto *pEdit = m_dialog.GetDlgItemAs<QLineEdit>(nId);
    pEdit->selectAll();
    QTest::keyClicks(pEdit, strText);
  }
  // Types into the coordinates' cell of row nRow of the points' table, and Return.
  void TypeCell(int nRow, const QString &strText) const {
    Table().setCurrentCell(nRow, 1);
    Table().editItem(Table().item(nRow, 1));
    QLineEdit *pEditor = nullptr;
    for (auto *pChild : Table().viewport()->findChildren<QLineEdit *>()) {
      pEditor = pChild->isVisible() ? pChild : pEditor;
    }
    QVERIFY2(pEditor != nullptr, "no cell is being edited");
    pEditor->selectAll();
    QTest::keyClicks(pEditor, strText);
    QTest::keyClick(pEditor, Qt::Key_Return);
    QApplication::processEvents(); // the table takes the text after the key
  }
  QTableWidget &Table() const { return *m_dialog.GetDlgItemAs<QTableWidget>(IDC_CAL_POINT_TABLE); }
  QString Text(int nId) const { return m_dialog.GetDlgItemText(nId); }
  bool CanSave() const { return m_dialog.IsDlgItemEnabled(IDC_CAL_SAVE_AS); }

private:
  CCalibrationDialog &m_dialog;
  CCalibrationView &m_view;
};

} // namespace

class CNewProjectionTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QImage plan(400, 300, QImage::Format_RGB32);
    plan.fill(Qt::white);
    QPainter painter(&plan);
    painter.drawRect(20, 30, 300, 200);
    painter.end();
    QVERIFY(plan.save(Path("plan.png")));
    QPdfWriter writer(Path("plan.pdf"));
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QSizeF(200, 150), QPageSize::Point, {}, QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter page(&writer);
    page.drawRect(QRectF(10, 10, 180, 130));
  }

  void linearPlanFromALineOfKnownLength();
  void geoCodedPdfPageWithAMistypedPoint();
  void planTooLargeIsRefusedBeforeItIsRead();

private:
  QString Path(const QString &strName) const { return m_dir.filePath(strName); }
  // Runs New Projection from Image on strPlan: the page dialog accepted as it opens (a PDF), the
  // calibration played by fnCalibrate, and the projection opened after it.
  void MakeInWindow(const QString &strPlan, const std::function<void(CHand &)> &fnCalibrate, const QString &strSaved);

  QTemporaryDir m_dir;
};

void CNewProjectionTest::MakeInWindow(const QString &strPlan, const std::function<void(CHand &)> &fnCalibrate,
                                      const QString &strSaved) {
  CMainFrame frame;
  CScriptedPrompts prompts;
  prompts.AnswerFile(strPlan);
  QString strPlanSize;
  bool bPageChosen = false;
  const bool bPdf = strPlan.endsWith(QLatin1String(".pdf"));
  if (bPdf) {
    prompts.AnswerModal([&](QDialog &dialog) {
      auto &page = dynamic_cast<CDialogBase &>(dialog);
      strPlanSize = page.GetDlgItemText(IDC_PDF_SIZE);
      bPageChosen = page.IsDlgItemEnabled(IDC_PDF_PAGE);
      return int(QDialog::Accepted);
    });
  }
  prompts.AnswerModal([&](QDialog &dialog) {
    auto &calibration = dynamic_cast<CCalibrationDialog &>(dialog);
    calibration.resize(1400, 900);
    calibration.show();
    QApplication::processEvents();
    CHand hand(calibration);
    hand.Press(IDC_CAL_FIT);
    fnCalibrate(hand);
    prompts.AnswerFile(strSaved);
    prompts.AnswerMessage(PROMPT_ANSWER_OK, QString::fromUtf8(TEXT_SAVE_COLLECTION));
    hand.Press(IDC_CAL_SAVE_AS);
    return dialog.result();
  });
  frame.Action(ID_FILE_NEWPROJECTION)->trigger();
  QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
  QCOMPARE(prompts.Unused(), 0);
  if (bPdf) { // at the default resolution; one page, so nothing to choose
    QCOMPARE(strPlanSize, QStringLiteral("The plan will be 417 x 313 pixels."));
    QVERIFY(!bPageChosen);
  }
  // Opened at once, as a file named on the command line is.
  QVERIFY(frame.GetView()->Session().Run().m_bProjectionLoaded);
  QCOMPARE(QString::fromStdString(frame.GetView()->Session().Projection().m_strPath), strSaved);
  QCOMPARE(frame.RecentFiles().Files().value(0), strSaved);
}

// A PNG: a line 300 pixels long typed as 15 m, a check line dragged 201 pixels for 10 m, the origin
// at the line's start.
void CNewProjectionTest::linearPlanFromALineOfKnownLength() {
  MakeInWindow(
      Path("plan.png"),
      [](CHand &hand) {
        QVERIFY(!hand.CanSave());
        hand.Press(IDC_CAL_DRAW_LINE);
        hand.Click({20, 30});
        hand.Click({320, 30});
        hand.Type(IDC_CAL_LENGTH, QStringLiteral("15"));
        QCOMPARE(hand.Text(IDC_CAL_SCALE), QStringLiteral("Scale: 0.0500 m per pixel (20.00 pixels per metre)"));
        hand.Press(IDC_CAL_DRAW_CHECK);
        hand.Drag({20, 30}, {20, 231});
        hand.Type(IDC_CAL_CHECK_LENGTH, QStringLiteral("10"));
        QCOMPARE(hand.Text(IDC_CAL_DISAGREEMENT), QStringLiteral("Line 2 gives a scale 0.5 % from line 1's."));
        hand.Press(IDC_CAL_SET_ORIGIN);
        hand.Click({20, 30});
        QCOMPARE(hand.Text(IDC_CAL_ORIGIN), QStringLiteral("Origin: pixel 20, 30"));
        QCOMPARE(hand.Text(IDC_CAL_MESSAGE), QString::fromUtf8(TEXT_READY));
      },
      Path("window.lpf"));

  const struct {
    int x, y;
    double dX, dY;
  } located[] = {{20, 30, 0, 0}, {320, 30, 15, 0}, {20, 231, 0, 10.05}};
  for (const auto &at : located) {
    const _toolrun run = RunTvdtool(
        {"projection", "locate", Path("window.lpf"), QString::number(at.x), QString::number(at.y), "--json"});
    QCOMPARE(run.nExit, 0);
    const QJsonObject json = QJsonDocument::fromJson(run.strOut.toUtf8()).object();
    QVERIFY2(std::hypot(json["c1"].toDouble() - at.dX, json["c2"].toDouble() - at.dY) < 0.1, qPrintable(run.strOut));
  }
  const _toolrun made = RunTvdtool({"projection", "make", "--image", Path("plan.png"), "-o", Path("tool.lpf"), "--line",
                                    "20,30,320,30,15", "--line", "20,30,20,231,10", "--origin", "20,30"});
  QVERIFY2(made.nExit == 0, qPrintable(made.strErr));
  QCOMPARE(ReadAll(Path("tool.lpf")), ReadAll(Path("window.lpf")));
}

// A PDF page: four points, the third typed with a wrong digit; its residual shows it and saving is
// refused until it is corrected.
void CNewProjectionTest::geoCodedPdfPageWithAMistypedPoint() {
  const std::vector<QPoint> pixels = {{40, 40}, {380, 50}, {60, 280}, {370, 290}};
  QStringList typed;
  for (const QPoint &pt : pixels) {
    typed.append(QString::fromStdString(FormatLatLon(OnSite(pt))));
  }
  _latlon wrong = OnSite(pixels[2]);
  wrong.dLongitude += 0.0009; // about 60 m east
  MakeInWindow(
      Path("plan.pdf"),
      [&](CHand &hand) {
        hand.Press(IDC_CAL_GEO);
        for (size_t i = 0; i < pixels.size(); ++i) {
          hand.Press(IDC_CAL_ADD_POINT);
          hand.Click(pixels[i]);
          hand.TypeCell(int(i), i == 2 ? QString::fromStdString(FormatLatLon(wrong)) : typed[int(i)]);
        }
        QTableWidget &table = hand.Table();
        QCOMPARE(table.item(2, 0)->text(), QStringLiteral("60, 280"));
        for (int nRow = 0; nRow < 4; ++nRow) {
          const double dResidual = table.item(nRow, 2)->text().section(' ', 0, 0).toDouble();
          QVERIFY2(nRow == 2 ? dResidual > 2 : dResidual < table.item(2, 2)->text().section(' ', 0, 0).toDouble(),
                   qPrintable(table.item(nRow, 2)->text()));
        }
        QVERIFY(hand.Text(IDC_CAL_MESSAGE).startsWith(QStringLiteral("Cannot save: point 3 lies ")));
        QVERIFY(!hand.CanSave());
        hand.TypeCell(2, typed[2]);
        for (int nRow = 0; nRow < 4; ++nRow) {
          QCOMPARE(table.item(nRow, 2)->text(), QStringLiteral("0.00 m"));
        }
        QCOMPARE(hand.Text(IDC_CAL_SCALE), QStringLiteral("Scale: 0.0500 m per pixel"));
        QVERIFY(hand.CanSave());
      },
      Path("window.gpf"));

  QStringList refs;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const QString strPixel = QStringLiteral("%1,%2").arg(pixels[i].x()).arg(pixels[i].y());
    const _toolrun run = RunTvdtool({"projection", "locate", Path("window.gpf"), QString::number(pixels[i].x()),
                                     QString::number(pixels[i].y()), "--json"});
    QCOMPARE(run.nExit, 0);
    const QJsonObject json = QJsonDocument::fromJson(run.strOut.toUtf8()).object();
    const auto expected = ParseLatLon(typed[int(i)].toStdString());
    QVERIFY(CSiteProjection::GeoDistance(json["c1"].toDouble(), json["c2"].toDouble(), expected->dLatitude,
                                         expected->dLongitude) < 0.1);
    refs << "--ref" << strPixel + QLatin1Char(',') + typed[int(i)].remove(' ');
  }
  const _toolrun made =
      RunTvdtool(QStringList{"projection", "make", "--image", Path("plan.pdf"), "-o", Path("tool.gpf")} + refs);
  QVERIFY2(made.nExit == 0, qPrintable(made.strErr));
  QCOMPARE(ReadAll(Path("tool.gpf")), ReadAll(Path("window.gpf")));
}

// A PNG whose header says 30000 x 30000 pixels, with no pixels behind it: refused from its size, with
// the reason, before any pixel is read, and no calibration follows.
void CNewProjectionTest::planTooLargeIsRefusedBeforeItIsRead() {
  const unsigned char png[] = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49,
                               0x48, 0x44, 0x52, 0x00, 0x00, 0x75, 0x30, 0x00, 0x00, 0x75, 0x30, 0x08, 0x02,
                               0x00, 0x00, 0x00, 0xe9, 0x45, 0x6f, 0xed, 0x00, 0x00, 0x00, 0x08, 0x49, 0x44,
                               0x41, 0x54, 0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01, 0x48, 0x06, 0x89,
                               0xd2, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
  QFile file(Path("huge.png"));
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(reinterpret_cast<const char *>(png), sizeof png) == sizeof png);
  file.close();
  CMainFrame frame;
  CScriptedPrompts prompts;
  prompts.AnswerFile(Path("huge.png"));
  prompts.AnswerMessage(PROMPT_ANSWER_OK);
  frame.Action(ID_FILE_NEWPROJECTION)->trigger();
  QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
  const QString strText = prompts.MessageTexts().value(0);
  QVERIFY2(strText.startsWith(QStringLiteral("The floor plan %1 could not be read.").arg(Path("huge.png"))) &&
               strText.contains(QStringLiteral("it is 30000 x 30000 pixels, which would take 3433 MB in memory")),
           qPrintable(strText));
  QVERIFY(!frame.GetView()->Session().Run().m_bProjectionLoaded);
}

QTEST_MAIN(CNewProjectionTest)
#include "NewProjectionTest.moc"
