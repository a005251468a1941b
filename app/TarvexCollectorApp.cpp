#include "app/TarvexCollectorApp.h"

#include "app/AppIdentity.h"
#include "app/DeviceSources.h"
#include "app/FirstStepsHint.h"
#include "app/MainFrame.h"
#include "app/Screenshots.h"
#include "app/SignalExit.h"
#include "app/SimulatedReceiverMenu.h"
#include "app/StartFolderPrompts.h"
#include "dialogs/Prompts.h"
#include "resources/pictures/Pictures.h"

#include <QCommandLineParser>
#include <QIcon>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace {

// The id of the desktop entry (resources/desktop), which the desktop matches the window with.
const char *const DESKTOP_FILE_NAME = "org.tarvex.Collector";

void SayError(const QString &strText) { std::fprintf(stderr, "%s: %s\n", APP_NAME, qPrintable(strText)); }

} // namespace

CTarvexCollectorApp::CTarvexCollectorApp(int &argc, char **argv) : QApplication(argc, argv) {
  SetApplicationIdentity();
  setDesktopFileName(QString::fromUtf8(DESKTOP_FILE_NAME));
  setWindowIcon(QIcon(QString::fromUtf8(APP_ICON_PATH)));
}

// The frame and its view go before the simulated receiver they may still talk to, and before the
// prompts they ask through.
CTarvexCollectorApp::~CTarvexCollectorApp() {
  m_pSignalExit.reset();
  m_pFrame.reset();
  m_pDevices.reset();
  if (m_pFolderPrompts) {
    CPrompts::Install(nullptr);
  }
}

CTarvexCollectorApp *CTarvexCollectorApp::Instance() {
  return qobject_cast<CTarvexCollectorApp *>(QCoreApplication::instance());
}

std::shared_ptr<CSimulatedReceiver> CTarvexCollectorApp::GetSimulator() const {
  return m_pDevices ? m_pDevices->GetSimulator() : nullptr;
}

int CTarvexCollectorApp::Run() {
  if (!InitInstance()) {
    return 1;
  }
  if (!m_options.strScreenshotDir.isEmpty()) {
    const QString strError = WriteScreenshots(*m_pFrame, m_options.strScreenshotDir, m_options.strFile);
    if (!strError.isEmpty()) {
      SayError(strError);
      return 1;
    }
    return 0;
  }
  return exec();
}

// Nothing else happens at start: no dialog is shown and no receiver is connected until the
// operator asks.
bool CTarvexCollectorApp::InitInstance() {
  if (!ReadCommandLine() || !EnableDeviceSources()) {
    return false;
  }
  if (!m_options.strScreenshotDir.isEmpty()) {
    // The pictures show no recent file of the user's, and the first survey's files are not added
    // to the user's list.
    m_pScratchSettings = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pScratchSettings->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_pScratchSettings->path());
  }
  if (!m_options.strFolder.isEmpty()) {
    m_pQtPrompts = std::make_unique<CQtPrompts>();
    m_pFolderPrompts = std::make_unique<CStartFolderPrompts>(m_options.strFolder, *m_pQtPrompts);
    CPrompts::Install(m_pFolderPrompts.get());
  }
  CreateMainFrame();
  if (m_options.strFile.isEmpty() || !m_options.strScreenshotDir.isEmpty()) {
    ShowFirstStepsHint(*m_pFrame);
  }
  if (m_options.strScreenshotDir.isEmpty()) {
    // The whole screen also where no window manager maximises windows.
    m_pFrame->setGeometry(m_pFrame->screen()->availableGeometry());
    m_pFrame->showMaximized();
    // Rehearsing with --simulate: the unit's front panel stands beside the window, as the unit
    // stands beside the tablet; the View menu shows it again once closed.
    if (const auto pSimulator = GetSimulator()) {
      m_pSimulatorPanel = AddSimulatedReceiverPanel(*m_pFrame, pSimulator);
      ShowSimulatedReceiverPanel(*m_pSimulatorPanel);
    }
    m_pSignalExit = std::make_unique<CSignalExit>([this] { m_pFrame->CloseUnattended(); });
  }
  // With --screenshots the file is the projection the first survey's pictures are taken on.
  if (!m_options.strFile.isEmpty() && m_options.strScreenshotDir.isEmpty()) {
    QTimer::singleShot(0, m_pFrame.get(), [this] { m_pFrame->OpenFileByKind(m_options.strFile); });
  }
  return true;
}

bool CTarvexCollectorApp::ReadCommandLine() {
  QCommandLineParser parser;
  DefineStartOptions(parser);
  QString strError;
  if (!parser.parse(arguments())) {
    strError = parser.errorText();
  } else {
    strError = ReadStartOptions(parser, m_options);
  }
  if (!strError.isEmpty()) {
    SayError(strError);
    return false;
  }
  return true;
}

bool CTarvexCollectorApp::EnableDeviceSources() {
  try {
    m_pDevices = std::make_unique<CDeviceSources>(m_options.bSimulate, m_options.strReplayPath.toStdString());
  } catch (const std::exception &error) {
    SayError(QString::fromStdString(error.what()));
    return false;
  }
  return true;
}

// The frame, which makes the view and routes the shell's own commands (Exit, About, the bars,
// the recent files); the document is made with the application.
void CTarvexCollectorApp::CreateMainFrame() { m_pFrame = std::make_unique<CMainFrame>(); }
