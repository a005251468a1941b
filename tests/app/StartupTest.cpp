// Starting the collector: the command line, the receivers it adds, and the program itself run as
// a person or a script runs it (--help and --version without a display, --screenshots offscreen).
#include "app/DeviceSources.h"
#include "app/StartOptions.h"
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

struct _run {
  int nExit = -1;
  QString strOut;
  QString strErr;
};

// Runs the built program with the environment changed as given (an empty value unsets).
_run RunCollector(const QStringList &args, const QList<QPair<QString, QString>> &environment) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const auto &[strName, strValue] : environment) {
    if (strValue.isEmpty()) {
      env.remove(strName);
    } else {
      env.insert(strName, strValue);
    }
  }
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(TARVEX_COLLECTOR, args);
  _run run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.strOut = QString::fromUtf8(process.readAllStandardOutput());
  run.strErr = QString::fromUtf8(process.readAllStandardError());
  return run;
}

// The pictures --screenshots writes: the main window and every dialog, by template number.
const QStringList SHOTS = {"130-connection.png",
                           "131-receiver-information.png",
                           "133-channels.png",
                           "139-segment-data.png",
                           "141-help.png",
                           "148-distance.png",
                           "150-terminate-connection.png",
                           "190-simulated-receiver.png",
                           "199-survey-report.png",
                           "201-coverage-settings.png",
                           "main-window.png"};

// The steps of a first survey, written when a projection is named.
const QStringList SURVEY_SHOTS = {"segment-details.png",     "survey-1-plan-geo.png", "survey-1-plan-scale.png",
                                  "survey-1-projection.png", "survey-2-connect.png",  "survey-3-channels.png",
                                  "survey-4-measure.png",    "survey-5-walking.png",  "survey-6-segment-data.png",
                                  "survey-7-coverage.png"};

bool HasColour(const QImage &picture, const QColor &colour) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto *pRow = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
    if (std::any_of(pRow, pRow + rgb.width(), [&colour](QRgb c) { return c == colour.rgb(); })) {
      return true;
    }
  }
  return false;
}

// No display of any kind.
const QList<QPair<QString, QString>> NO_DISPLAY = {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};

} // namespace

class CStartupTest : public QObject {
  Q_OBJECT

private slots:
  void optionsAreRead_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("simulate");
    QTest::addColumn<QString>("replay");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("error");
    const QString strPlan = Touch("site.gpf");
    const QString strSurvey = Touch("site.tvd");
    const QString strNote = Touch("site.txt");
    const QString strMissing = m_dir.filePath("missing.tvd");
    const QString strShots = m_dir.filePath("shots");
    QTest::newRow("nothing") << QStringList{} << false << ""
                             << ""
                             << ""
                             << "";
    QTest::newRow("simulate") << QStringList{"--simulate"} << true << ""
                              << ""
                              << ""
                              << "";
    QTest::newRow("replay and plan") << QStringList{"--replay", "rec.bin", strPlan} << false << "rec.bin" << strPlan
                                     << ""
                                     << "";
    QTest::newRow("missing survey") << QStringList{strMissing} << false << "" << strMissing << ""
                                    << strMissing + ": no such file.";
    QTest::newRow("no projection") << QStringList{strNote} << false << "" << strNote << ""
                                   << strNote + " is neither a projection (.gpf, .lpf) nor a survey data file (.tvd).";
    QTest::newRow("two files") << QStringList{strPlan, strPlan} << false << ""
                               << ""
                               << ""
                               << "Only one file can be opened at start.";
    // The folder is taken absolute, so that the dialogs open there whatever the program does to
    // its working folder; a file or a missing folder is refused by name.
    QTest::newRow("folder") << QStringList{"--folder", m_dir.path() + "/./"} << false << ""
                            << "" << m_dir.path() << "";
    QTest::newRow("folder is a file") << QStringList{"--folder", strPlan} << false << ""
                                      << ""
                                      << "" << strPlan + ": no such folder.";
    QTest::newRow("folder missing") << QStringList{"--folder", strMissing} << false << ""
                                    << ""
                                    << "" << strMissing + ": no such folder.";
    // With --screenshots the file is the projection of the first survey's pictures, walked with
    // the simulated receiver; a survey cannot be walked on.
    QTest::newRow("screenshots of a survey walked")
        << QStringList{"--screenshots", strShots, strPlan} << true << "" << strPlan << ""
        << "";
    QTest::newRow("screenshots on a survey")
        << QStringList{"--screenshots", strShots, strSurvey} << false << "" << strSurvey << ""
        << strSurvey + ": the pictures of a first survey are taken on a "
                       "projection (.gpf, .lpf), not on a survey data file.";
  }

  void optionsAreRead() {
    QFETCH(QStringList, args);
    QFETCH(bool, simulate);
    QFETCH(QString, replay);
    QFETCH(QString, file);
    QFETCH(QString, folder);
    QFETCH(QString, error);
    QCommandLineParser parser;
    DefineStartOptions(parser);
    QVERIFY(parser.parse(QStringList{"tarvex-collector"} + args));
    _startoptions options;
    QCOMPARE(ReadStartOptions(parser, options), error);
    QCOMPARE(options.bSimulate, simulate);
    QCOMPARE(options.strReplayPath, replay);
    QCOMPARE(options.strFile, file);
    QCOMPARE(options.strFolder, folder);
  }

  void screenshotFolderIsMade() {
    const QString strDir = m_dir.filePath("shots/deeper");
    QCommandLineParser parser;
    DefineStartOptions(parser);
    QVERIFY(parser.parse({"tarvex-collector", "--screenshots", strDir}));
    _startoptions options;
    QCOMPARE(ReadStartOptions(parser, options), QString());
    QVERIFY(QFileInfo(strDir).isDir());
  }

  // --simulate lists the simulated receiver where the connection dialog looks, for as long as
  // the program runs.
  void simulatedReceiverIsListed() {
    const auto SimulatedListed = [] {
      uint32_t nCount = 0;
      std::vector<_usbdevice> devices;
      CUSB::ListDevices(nCount, devices);
      return std::ranges::any_of(devices, [](const _usbdevice &d) { return d.strSerialNumber == "TVX10417"; });
    };
    QVERIFY(!SimulatedListed());
    {
      CDeviceSources sources(true, {});
      QVERIFY(sources.GetSimulator() != nullptr);
      QVERIFY(SimulatedListed());
    }
    QVERIFY(!SimulatedListed());
    const auto backends = D2xxEnabledBackends();
    QVERIFY(std::ranges::find(backends, "sim") == backends.end());
  }

  void helpAndVersionNeedNoDisplay() {
    const _run help = RunCollector({"--help"}, NO_DISPLAY);
    QCOMPARE(help.nExit, 0);
    for (const char *szOption :
         {"--simulate", "--replay <FILE>", "--folder <DIR>", "--screenshots <DIR>", "--version", "file"}) {
      QVERIFY2(help.strOut.contains(szOption), szOption);
    }
    const _run version = RunCollector({"--version"}, NO_DISPLAY);
    QCOMPARE(version.nExit, 0);
    QCOMPARE(version.strOut, QString("tarvex-collector " TARVEX_VERSION "\n"));
    const _run unknown = RunCollector({"--simulat"}, NO_DISPLAY);
    QCOMPARE(unknown.nExit, 1);
    QVERIFY2(unknown.strErr.contains("simulat"), qPrintable(unknown.strErr));
  }

  void badStartIsRefusedByName() {
    const QString strMissing = m_dir.filePath("no-recording.bin");
    const _run replay = RunCollector({"--replay", strMissing}, {{"QT_QPA_PLATFORM", "offscreen"}});
    QCOMPARE(replay.nExit, 1);
    QVERIFY2(replay.strErr.contains(strMissing), qPrintable(replay.strErr));
  }

  // Every window, and the steps of a first survey walked on the sample site, rendered at 100 % and
  // again at 200 %, where each picture is exactly twice as large: drawn afresh at the scale, with
  // nothing cut or laid out differently.
  void screenshotsAtEachScale() {
    QMap<QString, QSize> sizes;
    for (const QString strScale : {"1", "2"}) {
      const QString strDir = m_dir.filePath("scale" + strScale);
      const _run run = RunCollector({"--screenshots", strDir, TARVEX_SAMPLE_PROJECTION},
                                    {{"QT_QPA_PLATFORM", "offscreen"}, {"QT_SCALE_FACTOR", strScale}});
      QVERIFY2(run.nExit == 0, qPrintable(run.strErr));
      QCOMPARE(QDir(strDir).entryList({"*.png"}, QDir::Files, QDir::Name), SHOTS + SURVEY_SHOTS);
      for (const QString &strFile : SHOTS + SURVEY_SHOTS) {
        const QImage picture(strDir + "/" + strFile);
        QVERIFY2(!picture.isNull(), qPrintable(strFile));
        if (strScale == "1") {
          sizes.insert(strFile, picture.size());
        } else {
          QVERIFY2(picture.size() == sizes.value(strFile) * 2, qPrintable(strFile));
        }
      }
    }
    QCOMPARE(sizes.value("main-window.png"), QSize(1280, 800));
    QCOMPARE(sizes.value("survey-5-walking.png"), QSize(1280, 800));
    // The view's black fills most of the main window: it was rendered, not left blank.
    const QImage main(m_dir.filePath("scale2/main-window.png"));
    QCOMPARE(main.pixelColor(main.width() / 3, main.height() / 3), QColor(Qt::black));
    // Markers are drawn in pure green (start) and red (stop): none before a segment is set, both
    // once one is walked.
    for (const QString strScale : {"1", "2"}) {
      const QString strDir = m_dir.filePath("scale" + strScale);
      QVERIFY(!HasColour(QImage(strDir + "/survey-1-projection.png"), QColor(0, 255, 0)));
      const QImage walking(strDir + "/survey-5-walking.png");
      QVERIFY(HasColour(walking, QColor(0, 255, 0)) && HasColour(walking, QColor(255, 0, 0)));
    }
  }

private:
  QString Touch(const QString &strName) {
    const QString strPath = m_dir.filePath(strName);
    QFile file(strPath);
    file.open(QIODevice::WriteOnly);
    return strPath;
  }

  QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(CStartupTest)
#include "StartupTest.moc"
