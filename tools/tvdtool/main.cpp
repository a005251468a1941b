#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/StandardOutput.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>

namespace {

// Runs the command the arguments name. Returns its exit status; every failure is on std::cerr.
// bOutputReported tells whether the command stopped because its output failed, and said so.
int RunCommand(CLI::App &app, int argc, char **argv, bool &bOutputReported) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    return app.exit(e);
  } catch (const COutputFailed &e) {
    std::cerr << "tvdtool: " << e.what() << '\n';
    bOutputReported = true;
    return 1;
  } catch (const std::exception &e) {
    std::cerr << "tvdtool: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  GuardStandardStreams();
  CLI::App app{"tvdtool: the command-line companion of Tarvex Collector.\n"
               "Decodes receiver byte streams, watches receivers and works with the collector's files."};
  app.set_version_flag("--version", std::string("tvdtool ") + TARVEX_VERSION);
  app.require_subcommand(1);
  RegisterFramesCommands(app);
  RegisterSurveyCommands(app);
  RegisterProjectionCommands(app);
  RegisterDevicesCommands(app);
  RegisterMonitorCommands(app);
  RegisterSimulateCommands(app);
  RegisterCoverageCommands(app);
  bool bOutputReported = false;
  const int nStatus = RunCommand(app, argc, argv, bOutputReported);
  // Whatever the command, what it printed must have arrived.
  if (const std::string problem = FinishStandardOutput(); !problem.empty()) {
    if (!bOutputReported) {
      std::cerr << "tvdtool: " << problem << '\n';
    }
    return nStatus == 0 ? 1 : nStatus;
  }
  return nStatus;
}
