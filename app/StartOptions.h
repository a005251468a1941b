#pragma once

#include <QString>

#include <optional>

class QCommandLineParser;

// What the command line asks of the collector.
struct _startoptions {
  bool bSimulate = false;   // list a simulated receiver among the devices
  QString strReplayPath;    // list a recorded session as a device
  QString strScreenshotDir; // write pictures of the windows there and end
  QString strFile;          // a projection or a survey data file to open at start
  QString strFolder;        // the folder the file dialogs open in first (absolute), or empty
};

// The options and the file argument, with their descriptions for --help.
void DefineStartOptions(QCommandLineParser &parser);

// Reads what parser has parsed into options. Returns the sentence that refuses the command line
// (naming the file and the reason when a file is at fault), or an empty string.
QString ReadStartOptions(const QCommandLineParser &parser, _startoptions &options);

// Answers --help and --version on standard output without needing a display: returns the exit
// code when one of them was given, nothing otherwise. Every other option is left for the
// application to read once it runs, after Qt has taken its own options (such as -platform).
std::optional<int> AnswerInformationOptions(int argc, char **argv);
