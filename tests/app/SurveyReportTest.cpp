// File > Survey Report...: the report of the open survey on the loaded projection, with the grid
// test and the paper chosen in its dialog, saved where the operator says; refused, saying why,
// without a survey or when the report would overwrite an input.
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "dialogs/SurveyReportDialog.h"
#include "survey/SiteData.h"
#include "tests/support/ScriptedPrompts.h"
#include "tools/tvdtool/SimulateCommand.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <sstream>

namespace {

constexpr int ID_FILE_SURVEY_REPORT = 32792;
const char *const NEEDS_SURVEY =
    "A survey report is made of the open survey on the loaded projection: open a projection and a survey first.";

// Plays the report dialog: the grid test on or off with nRectangles, the paper by its index.
CScriptedPrompts::PlayDialog Choose(bool bGrid, int nRectangles, int nPaper) {
  return [=](QDialog &dialog) {
    auto &report = dynamic_cast<CSurveyReportDialog &>(dialog);
    report.GetDlgItemAs<QCheckBox>(1150)->setChecked(bGrid);
    report.GetDlgItemAs<QSpinBox>(1151)->setValue(nRectangles);
    report.GetDlgItemAs<QComboBox>(1152)->setCurrentIndex(nPaper);
    return int(QDialog::Accepted);
  };
}

} // namespace

class CSurveyReportTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    _simulateoptions options;
    options.strProjection = TARVEX_SAMPLE_PROJECTION;
    options.strOutput = Path("walks.tvd").toStdString();
    options.dSecondsPerSegment = 4;
    options.nStartTime = 1717236000;
    std::ostringstream out;
    std::ostringstream err;
    QCOMPARE(RunSimulate(options, out, err), 0);
  }

  // What the operator does and what the window then shows and writes.
  void reportIsWrittenAsChosen_data() {
    QTest::addColumn<bool>("open");         // a projection and the survey are open
    QTest::addColumn<bool>("accept");       // the operator fills in the dialog and saves
    QTest::addColumn<QString>("output");    // the file name given, in the temporary folder
    QTest::addColumn<QString>("mediaBox");  // the first page's size in the PDF written; "" when none is
    QTest::addColumn<QString>("message");   // the warning shown, "" when none
    QTest::addColumn<QString>("statusBar"); // what the status bar says after
    QTest::newRow("A4 with the grid") << true << true << "a.pdf"
                                      << "/MediaBox [0 0 595.000000 842.000000]"
                                      << ""
                                      << "Survey report written to %1: 6 pages";
    QTest::newRow("Letter without it") << true << true << "b.pdf"
                                       << "/MediaBox [0 0 612.000000 792.000000]"
                                       << ""
                                       << "Survey report written to %1: 4 pages";
    QTest::newRow("cancelled") << true << false << "c.pdf"
                               << ""
                               << ""
                               << "Ready";
    QTest::newRow("over the survey") << true << true << "walks.tvd"
                                     << ""
                                     << "The survey report must go to another file than \"%1\", which is one of its "
                                        "inputs."
                                     << "Ready";
    QTest::newRow("nothing open") << false << false << "d.pdf"
                                  << "" << NEEDS_SURVEY << "Ready";
  }

  void reportIsWrittenAsChosen() {
    QFETCH(bool, open);
    QFETCH(bool, accept);
    QFETCH(QString, output);
    QFETCH(QString, mediaBox);
    QFETCH(QString, message);
    QFETCH(QString, statusBar);
    const QString strOutput = Path(output);
    const QByteArray before = ReadAll(strOutput);
    CScriptedPrompts prompts;
    CMainFrame frame;
    if (open) {
      prompts.AnswerMessage(PROMPT_ANSWER_OK); // save the collection file
      QVERIFY(frame.GetView()->OpenProjectionFile(TARVEX_SAMPLE_PROJECTION));
      QVERIFY(frame.GetView()->OpenCollectionFile(Path("walks.tvd"), CSiteData::modeOpenExisting));
      prompts.Clear();
    }
    if (open && accept) {
      prompts.AnswerModal(Choose(mediaBox.contains("595"), 12, mediaBox.contains("612") ? 1 : 0));
      prompts.AnswerFile(strOutput);
    } else if (open) {
      prompts.AnswerModal(QDialog::Rejected);
    }
    if (!message.isEmpty()) {
      prompts.AnswerMessage(PROMPT_ANSWER_OK, message.arg(strOutput));
    }
    frame.Action(ID_FILE_SURVEY_REPORT)->trigger();
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QCOMPARE(prompts.Unused(), 0);
    QCOMPARE(frame.statusBar()->currentMessage(), statusBar.arg(strOutput));
    const QByteArray after = ReadAll(strOutput);
    if (mediaBox.isEmpty()) {
      QCOMPARE(after, before); // nothing written, an input left as it was
    } else {
      QVERIFY(after.startsWith("%PDF-"));
      QVERIFY2(after.contains(mediaBox.toLatin1()), qPrintable(mediaBox));
    }
  }

private:
  QString Path(const QString &strName) const { return m_dir.filePath(strName); }
  static QByteArray ReadAll(const QString &strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir m_dir;
};

QTEST_MAIN(CSurveyReportTest)
#include "SurveyReportTest.moc"
