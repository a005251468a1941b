#include "tools/tvdtool/Commands.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>

int main(int argc, char **argv) {
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    return app.exit(e);
  } catch (const std::exception &e) {
    std::cerr << "tvdtool: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
