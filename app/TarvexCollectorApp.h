#pragma once

#include "app/StartOptions.h"
#include "app/TarvexCollectorDoc.h"

#include <QApplication>

#include <memory>

class CDeviceSources;
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
  // SIGTERM and SIGINT close the frame as its close box does, asking nobody.
  std::unique_ptr<CSignalExit> m_pSignalExit;
};
