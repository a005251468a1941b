#include "app/StartOptions.h"

#include "app/AppIdentity.h"
#include "app/FileKinds.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

const char *const APP_DESCRIPTION = "Collects the signal levels of an indoor radio site survey from a Tarvex "
                                    "Receiver, segment by segment, over a floor plan.";
const char *const OPTION_SIMULATE = "simulate";
const char *const OPTION_REPLAY = "replay";
const char *const OPTION_SCREENSHOTS = "screenshots";
const char *const OPTION_FOLDER = "folder";
const char *const TEXT_TOO_MANY_FILES = "Only one file can be opened at start.";
const char *const TEXT_NO_SUCH_FILE = "%1: no such file.";
const char *const TEXT_NO_FOLDER = "%1: the folder cannot be made.";
const char *const TEXT_NOT_A_FOLDER = "%1: no such folder.";
const char *const TEXT_TOUR_NEEDS_PROJECTION = "%1: the pictures of a first survey are taken on a projection "
                                               "(.gpf, .lpf), not on a survey data file.";

// The options that Qt takes for itself once the application runs (-platform offscreen, -style
// fusion, ...). Any other unknown option is refused at once, before a display is needed.
const char *const QT_OPTIONS[] = {"platform",        "platformpluginpath",
                                  "platformtheme",   "plugin",
                                  "qwindowgeometry", "qwindowicon",
                                  "qwindowtitle",    "reverse",
                                  "session",         "display",
                                  "geometry",        "name",
                                  "title",           "visual",
                                  "style",           "stylesheet",
                                  "widgetcount",     "qmljsdebugger",
                                  "nograb",          "dograb",
                                  "testability"};

QString Opt(const char *szName) { return QString::fromUtf8(szName); }

bool IsQtOption(const QString &strName) {
  return std::any_of(std::begin(QT_OPTIONS), std::end(QT_OPTIONS),
                     [&strName](const char *szQt) { return strName == QLatin1String(szQt); });
}

QString CheckStartFile(const QString &strPath) {
  if (QString strNotAFile = NotAFileRefusal(strPath); !strNotAFile.isEmpty()) {
    return strNotAFile;
  }
  if (FileKindOf(strPath) == FILE_KIND_NONE) {
    return FileKindRefusal(strPath);
  }
  if (!QFileInfo(strPath).isFile()) {
    return QString::fromUtf8(TEXT_NO_SUCH_FILE).arg(QDir::toNativeSeparators(strPath));
  }
  return {};
}

} // namespace

void DefineStartOptions(QCommandLineParser &parser) {
  parser.setApplicationDescription(QString::fromUtf8(APP_DESCRIPTION));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption({Opt(OPTION_SIMULATE), QStringLiteral("List a simulated receiver among the receivers the "
                                                         "connection dialog finds.")});
  parser.addOption({Opt(OPTION_REPLAY),
                    QStringLiteral("List a session recorded by 'tvdtool monitor --record' as a receiver, which "
                                   "plays it back at its recorded pace."),
                    QStringLiteral("FILE")});
  parser.addOption({Opt(OPTION_FOLDER),
                    QStringLiteral("Open the file dialogs (Open Projection, Open Collection, Snapshot) in DIR until "
                                   "a file is chosen in one of them; then in the folder of the file chosen last."),
                    QStringLiteral("DIR")});
  parser.addOption({Opt(OPTION_SCREENSHOTS),
                    QStringLiteral("Write a PNG picture of each window into DIR, then end. With a projection named "
                                   "as file, also the steps of a first survey on it, walked with the simulated "
                                   "receiver."),
                    QStringLiteral("DIR")});
  parser.addPositionalArgument(QStringLiteral("file"),
                               QStringLiteral("A projection (.gpf, .lpf) or survey data file (.tvd) to open."),
                               QStringLiteral("[file]"));
}

QString ReadStartOptions(const QCommandLineParser &parser, _startoptions &options) {
  options.bSimulate = parser.isSet(Opt(OPTION_SIMULATE));
  options.strReplayPath = parser.value(Opt(OPTION_REPLAY));
  options.strScreenshotDir = parser.value(Opt(OPTION_SCREENSHOTS));
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    return QString::fromUtf8(TEXT_TOO_MANY_FILES);
  }
  if (!files.isEmpty()) {
    options.strFile = files.front();
    if (QString strRefusal = CheckStartFile(options.strFile); !strRefusal.isEmpty()) {
      return strRefusal;
    }
  }
  if (const QString strFolder = parser.value(Opt(OPTION_FOLDER)); !strFolder.isEmpty()) {
    if (!QFileInfo(strFolder).isDir()) {
      return QString::fromUtf8(TEXT_NOT_A_FOLDER).arg(QDir::toNativeSeparators(strFolder));
    }
    options.strFolder = QDir::cleanPath(QFileInfo(strFolder).absoluteFilePath());
  }
  if (!options.strScreenshotDir.isEmpty()) {
    if (!QDir().mkpath(options.strScreenshotDir)) {
      return QString::fromUtf8(TEXT_NO_FOLDER).arg(QDir::toNativeSeparators(options.strScreenshotDir));
    }
    // The first survey's pictures are walked with the simulated receiver.
    if (!options.strFile.isEmpty()) {
      if (FileKindOf(options.strFile) == FILE_KIND_SURVEY) {
        return QString::fromUtf8(TEXT_TOUR_NEEDS_PROJECTION).arg(QDir::toNativeSeparators(options.strFile));
      }
      options.bSimulate = true;
    }
  }
  return {};
}

std::optional<int> AnswerInformationOptions(int argc, char **argv) {
  const QCoreApplication core(argc, argv);
  SetApplicationIdentity();
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions); // as Qt's own: -platform
  DefineStartOptions(parser);
  parser.parse(QCoreApplication::arguments());
  if (parser.isSet(QStringLiteral("help-all"))) {
    parser.process(QCoreApplication::arguments()); // prints Qt's options too, and ends the program
  }
  if (parser.isSet(QStringLiteral("help"))) {
    std::fputs(qPrintable(parser.helpText()), stdout);
    return 0;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    std::printf("%s %s\n", APP_NAME, AppVersion());
    return 0;
  }
  const QStringList unknown = parser.unknownOptionNames();
  if (!std::all_of(unknown.begin(), unknown.end(), IsQtOption)) {
    std::fprintf(stderr, "%s: %s\n", APP_NAME, qPrintable(parser.errorText()));
    return 1;
  }
  return std::nullopt;
}
