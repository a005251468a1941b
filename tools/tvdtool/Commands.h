#pragma once

namespace CLI {
class App;
}

// Each command group of tvdtool adds its subcommands to the application.
void RegisterFramesCommands(CLI::App &app);
void RegisterSurveyCommands(CLI::App &app);
void RegisterProjectionCommands(CLI::App &app);
void RegisterDevicesCommands(CLI::App &app);
void RegisterMonitorCommands(CLI::App &app);
void RegisterSimulateCommands(CLI::App &app);
void RegisterCoverageCommands(CLI::App &app);
