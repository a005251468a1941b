#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/StandardOutput.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>

namespace {

// The names of a command group's commands: "dump, verify, continue, repair, export".
std::string CommandNames(const CLI::App &group) {
  std::string names;
  for (const CLI::App *pCommand : group.get_subcommands([](const CLI::App *) { return true; })) {
    names += (names.empty() ? "" : ", ") + pCommand->get_name();
  }
  return names;
}

// What to say when the words on the command line do not lead to a command: the first word that
// names none of its group's commands, or a group given without one, with the commands it has.
// Empty when the words name a command (its own options and arguments are the parser's to judge).
std::string CommandProblem(const CLI::App &app, int argc, char **argv) {
  const CLI::App *pGroup = &app;
  std::string strGroup = "tvdtool";
  for (int i = 1; i < argc && pGroup->get_require_subcommand_min() > 0; ++i) {
    const std::string word = argv[i];
    if (word.starts_with("-")) {
      return {};
    }
    const auto found = pGroup->get_subcommands([&](const CLI::App *pCommand) { return pCommand->check_name(word); });
    if (found.empty()) {
      return "\"" + word + "\" is not a command of " + strGroup + ". Its commands are: " + CommandNames(*pGroup) +
             " ('" + strGroup + " --help' says what each does).";
    }
    pGroup = found.front();
    strGroup += " " + pGroup->get_name();
  }
  if (pGroup->get_require_subcommand_min() == 0) {
    return {};
  }
  return strGroup + " needs a command: " + CommandNames(*pGroup) + " ('" + strGroup + " --help' says what each does).";
}

// Runs the command the arguments name. Returns its exit status; every failure is on std::cerr.
// bOutputReported tells whether the command stopped because its output failed, and said so.
int RunCommand(CLI::App &app, int argc, char **argv, bool &bOutputReported) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    if (const std::string problem = CommandProblem(app, argc, argv); !problem.empty() && e.get_exit_code() != 0) {
      std::cerr << "tvdtool: " << problem << '\n';
      return e.get_exit_code();
    }
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
