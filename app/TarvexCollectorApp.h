#pragma once

#include "app/StartOptions.h"
#include "app/TarvexCollectorDoc.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>

class CDeviceSources;
class CPrompts;
class CMainFrame;
class CSignalExit;
class CSimulatedReceiver;
class CSimulatedReceiverPanel;

// The application: reads the command line, enables the simulated or recorded receivers it asks
// for, makes the document and the main frame with its view, and shows the frame. One instance
// for the whole run.
class CTarvexCollectorApp : public QApplication {
  Q_OBJECT

public:
  CTarvexCollectorApp(int &argc, char **argv);
  ~CTarvexCollectorApp() override;
  CTarvexCollectorApp(const CTarvexCollectorApp &) = delete;
  CTarvexCollectorApp &operator=(const CTarvexCollectorApp &) = delete;

  // The running application; null where another QApplication runs (the tests).
  static CTarvexCollectorApp *Instance();

  // Starts up and runs the program (or only writes the screenshots); returns the exit code.
  int Run();

  CMainFrame *GetMainFrame() const { return m_pFrame.get(); }
  // The simulated receiver of --simulate, null without it.
  std::shared_ptr<CSimulatedReceiver> GetSimulator() const;

private:
  // The start-up, in order. Returns false, having said why on standard error, when the program
  // must end at once.
  bool InitInstance();
  bool ReadCommandLine();
  bool EnableDeviceSources();
  void CreateMainFrame();

  _startoptions m_options;
  std::unique_ptr<CDeviceSources> m_pDevices;
  CTarvexCollectorDoc m_Document;
  std::unique_ptr<CMainFrame> m_pFrame;
  // Under --simulate, the unit's front panel; the frame owns it.
  CSimulatedReceiverPanel *m_pSimulatorPanel = nullptr;
  // Under --folder, the prompts that open the file dialogs there, installed for the whole run.
  std::unique_ptr<CPrompts> m_pQtPrompts;
  std::unique_ptr<CPrompts> m_pFolderPrompts;
  // Under --screenshots, the settings (the recent-file list) kept here, not in the user's.
  std::unique_ptr<QTemporaryDir> m_pScratchSettings;
  // SIGTERM and SIGINT close the frame as its close box does, asking nobody.
  std::unique_ptr<CSignalExit> m_pSignalExit;
};
