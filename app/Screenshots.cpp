#include "app/Screenshots.h"

#include "app/MainFrame.h"
#include "app/ScreenshotTour.h"
#include "app/TarvexCollectorApp.h"
#include "dialogs/ConnectionDialog.h"
#include "dialogs/ConnectionTerminationDialog.h"
#include "dialogs/CoverageSettingsDialog.h"
#include "dialogs/DialogShowcase.h"
#include "dialogs/DistanceMeasurementDialog.h"
#include "dialogs/HelpDialog.h"
#include "dialogs/IntroDialog.h"
#include "dialogs/SegmentDataDialog.h"
#include "dialogs/SimulatedReceiverPanel.h"
#include "dialogs/SurveyReportDialog.h"
#include "dialogs/WarningDialog.h"
#include "platform/SimulatedReceiver.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <memory>

namespace {

const char *const MAIN_WINDOW_FILE = "main-window.png";
const char *const TEXT_NOT_WRITTEN = "%1 could not be written.";

// One dialog's picture: its file name, and the dialog made over the frame in a state that shows
// its content. It is shown, photographed and closed.
struct _dialogshot {
  const char *szFile = nullptr;
  std::function<std::unique_ptr<QDialog>(QWidget *)> fnMake;
};

template <class Dialog> std::unique_ptr<QDialog> Make(QWidget *pParent) { return std::make_unique<Dialog>(pParent); }

template <class Dialog, void (*Showcase)(Dialog &)> std::unique_ptr<QDialog> MakeShowcased(QWidget *pParent) {
  auto pDialog = std::make_unique<Dialog>(pParent);
  Showcase(*pDialog);
  return pDialog;
}

// The simulated receiver's panel, on the unit of --simulate or on one of its own.
std::unique_ptr<QDialog> MakeSimulatedReceiverPanel(QWidget *pParent) {
  const CTarvexCollectorApp *pApp = CTarvexCollectorApp::Instance();
  std::shared_ptr<CSimulatedReceiver> pReceiver = pApp != nullptr ? pApp->GetSimulator() : nullptr;
  if (!pReceiver) {
    pReceiver = std::make_shared<CSimulatedReceiver>();
  }
  return std::make_unique<CSimulatedReceiverPanel>(pReceiver, pParent);
}

// The coverage settings with the program's own settings.
std::unique_ptr<QDialog> MakeCoverageSettings(QWidget *pParent) {
  return std::make_unique<CCoverageSettingsDialog>(_coveragesettings{}, nullptr, pParent);
}

// The survey report's choices as they stand the first time.
std::unique_ptr<QDialog> MakeSurveyReport(QWidget *pParent) {
  return std::make_unique<CSurveyReportDialog>(_reportchoice{}, pParent);
}

// Every dialog of the program, named by its template number. The connection dialog searches for
// receivers as it opens: with --simulate it shows the simulated one.
const _dialogshot DIALOG_SHOTS[] = {
    {"130-connection.png", Make<CConnectionDialog>},
    {"131-receiver-information.png", MakeShowcased<CIntroDialog, ShowcaseIntroDialog>},
    {"133-channels.png", Make<CWarningDialog>},
    {"139-segment-data.png", MakeShowcased<CSegmentDataDialog, ShowcaseSegmentDialog>},
    {"141-help.png", Make<CHelpDialog>},
    {"148-distance.png", MakeShowcased<CDistanceMeasurementDialog, ShowcaseDistanceDialog>},
    {"150-terminate-connection.png", Make<CConnectionTerminationDialog>},
    {"190-simulated-receiver.png", MakeSimulatedReceiverPanel},
    {"199-survey-report.png", MakeSurveyReport},
    {"201-coverage-settings.png", MakeCoverageSettings},
};

QString Save(QWidget &window, const QString &strPath) {
  QCoreApplication::processEvents();
  if (!window.grab().save(strPath, "PNG")) {
    return QString::fromUtf8(TEXT_NOT_WRITTEN).arg(QDir::toNativeSeparators(strPath));
  }
  return {};
}

} // namespace

QString WriteScreenshots(CMainFrame &frame, const QString &strDir, const QString &strProjection) {
  const QDir dir(strDir);
  frame.showNormal();
  frame.resize(SCREENSHOT_WIDTH, SCREENSHOT_HEIGHT);
  if (QString strError = Save(frame, dir.filePath(QString::fromUtf8(MAIN_WINDOW_FILE))); !strError.isEmpty()) {
    return strError;
  }
  for (const _dialogshot &shot : DIALOG_SHOTS) {
    const std::unique_ptr<QDialog> pDialog = shot.fnMake(&frame);
    pDialog->show();
    const QString strError = Save(*pDialog, dir.filePath(QString::fromUtf8(shot.szFile)));
    pDialog->close();
    if (!strError.isEmpty()) {
      return strError;
    }
  }
  const CTarvexCollectorApp *pApp = CTarvexCollectorApp::Instance();
  if (strProjection.isEmpty() || pApp == nullptr || !pApp->GetSimulator()) {
    return {};
  }
  return WriteFirstSurveyShots(frame, pApp->GetSimulator(), strProjection, strDir);
}
