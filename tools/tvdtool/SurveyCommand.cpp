#include "tools/tvdtool/SurveyCommand.h"

#include "link/ReceiverConversions.h"
#include "platform/File.h"
#include "platform/FileIdentity.h"
#include "platform/ReplacingFile.h"
#include "quality/QualityFile.h"
#include "survey/SurveyContinue.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyRepair.h"
#include "tools/tvdtool/CheckCommand.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/ExportCommand.h"
#include "tools/tvdtool/MessageFormat.h"
#include "tools/tvdtool/ReportCommand.h"

#include <CLI/CLI.hpp>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>

namespace {

std::string Clock(uint8_t hour, uint8_t minute, uint8_t second) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", hour, minute, second);
  return text;
}

int FullYear(const _segmentheader &header) { return 1980 + header.nYear; }

std::string Date(const _segmentheader &header) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", FullYear(header), header.nMonth, header.nDay);
  return text;
}

std::string UtcTime(int64_t nSeconds) {
  const auto t = static_cast<std::time_t>(nSeconds);
  std::tm parts{};
  char text[32] = "?";
  if (::gmtime_r(&t, &parts) != nullptr) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  }
  return text;
}

std::string MHz(uint32_t nCode) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f MHz", FrequencyCodeToMHz(nCode));
  return text;
}

std::string Magic(const _surveyheader &header) {
  return Latin1ToUtf8(std::string(header.magic.begin(), header.magic.end()));
}

// Writes the repaired copy to output. A device or a FIFO (/dev/stdout, a pipe to another program)
// cannot be replaced by a file: it is written through, as every command writes such an output.
// A file is replaced whole or not at all, never under a collector that is writing it. True when
// the copy went through a device or FIFO, which has no side files beside it.
bool WriteRepairedCopy(const std::string &output, const std::vector<uint8_t> &bytes) {
  struct stat st {};
  if (::stat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    ReplaceFileContents(output, bytes.data(), bytes.size(), true);
    return true;
  }
  ReplaceFileWith(output, bytes); // a failed write leaves no half copy
  return false;
}

void PrintPreamble(const std::string &path, const _surveycontents &contents, std::ostream &out) {
  out << "file       " << path << " (" << contents.nLength << " bytes)\n";
  if (contents.bHeaderRead) {
    const auto &h = contents.header;
    out << "header     length " << h.nLength << ", magic \"" << Magic(h) << "\", version " << h.nVersionMajor << '.'
        << h.nVersionMinor << ", flag " << unsigned{h.nFlag} << ", created " << UtcTime(h.nCreated) << " ("
        << h.nCreated << "), trailer " << h.nTrailer << '\n';
  }
  if (contents.bCountRead) {
    out << "segments   " << contents.nSegmentCount << " counted, headers of " << contents.nSegmentHeaderLength
        << " bytes\n";
  }
}

void PrintSegment(size_t i, const _surveysegmententry &segment, std::ostream &out) {
  const auto &h = segment.header;
  out << "segment " << i + 1 << "  offset " << segment.nOffset << ", " << Date(h) << ' '
      << Clock(h.nStartHour, h.nStartMinute, h.nStartSecond) << " to "
      << Clock(h.nStopHour, h.nStopMinute, h.nStopSecond) << ", start (" << h.nStartX << ", " << h.nStartY
      << "), stop (" << h.nStopX << ", " << h.nStopY << ")";
  if (h.nCoordsFlag != 0) {
    out << ", coordinates (" << h.dStartLon << ", " << h.dStartLat << ") to (" << h.dStopLon << ", " << h.dStopLat
        << ")";
  }
  out << ", " << segment.nRecords << " records (header counts " << h.nRecordCount << ")\n";
  for (const auto &record : segment.records) {
    out << "  record   offset " << record.nOffset << ", channel " << record.nChannel << ", code " << record.nFrequency
        << " (" << MHz(record.nFrequency) << "), " << record.nLevels << " levels:";
    for (const int16_t level : record.levels) {
      out << ' ' << level;
    }
    out << '\n';
  }
}

// Prints each segment as soon as it is read, so that memory does not grow with the survey.
void PrintText(const std::string &path, std::ostream &out) {
  bool bPreamble = false;
  const auto contents =
      ReadSurveyFile(path, CFile::shareDenyNone, {true, false}, [&](const _surveycontents &sofar, size_t i) {
        if (!bPreamble) {
          PrintPreamble(path, sofar, out);
          bPreamble = true;
        }
        PrintSegment(i, sofar.segments[i], out);
      });
  if (!bPreamble) {
    PrintPreamble(path, contents, out);
  }
  for (const auto &error : contents.errors) {
    out << "error      offset " << error.nOffset << ": " << error.strText << '\n';
  }
}

} // namespace

nlohmann::json SurveyToJson(const _surveycontents &contents) {
  nlohmann::json out = nlohmann::json::object();
  if (contents.bHeaderRead) {
    const auto &h = contents.header;
    out["header"] = {{"length", h.nLength},
                     {"magic", Magic(h)},
                     {"version_major", h.nVersionMajor},
                     {"version_minor", h.nVersionMinor},
                     {"flag", h.nFlag},
                     {"created", h.nCreated},
                     {"trailer", h.nTrailer}};
  } else {
    out["header"] = nullptr;
  }
  out["segment_header_length"] =
      contents.bSegmentHeaderLengthRead ? nlohmann::json(contents.nSegmentHeaderLength) : nlohmann::json(nullptr);
  out["segment_count"] = contents.bCountRead ? nlohmann::json(contents.nSegmentCount) : nlohmann::json(nullptr);
  out["segments"] = nlohmann::json::array();
  for (const auto &segment : contents.segments) {
    const auto &h = segment.header;
    nlohmann::json records = nlohmann::json::array();
    for (const auto &record : segment.records) {
      records.push_back({{"frequency_code", record.nFrequency},
                         {"frequency_mhz", FrequencyCodeToMHz(record.nFrequency)},
                         {"channel", record.nChannel},
                         {"levels", record.levels}});
    }
    out["segments"].push_back({{"offset", segment.nOffset},
                               {"coords_flag", h.nCoordsFlag},
                               {"month", h.nMonth},
                               {"day", h.nDay},
                               {"year", FullYear(h)},
                               {"start_time", Clock(h.nStartHour, h.nStartMinute, h.nStartSecond)},
                               {"stop_time", Clock(h.nStopHour, h.nStopMinute, h.nStopSecond)},
                               {"start", {h.nStartX, h.nStartY}},
                               {"stop", {h.nStopX, h.nStopY}},
                               {"start_lon", h.dStartLon},
                               {"start_lat", h.dStartLat},
                               {"stop_lon", h.dStopLon},
                               {"stop_lat", h.dStopLat},
                               {"record_count", h.nRecordCount},
                               {"records", std::move(records)}});
  }
  out["errors"] = nlohmann::json::array();
  for (const auto &error : contents.errors) {
    out["errors"].push_back("offset " + std::to_string(error.nOffset) + ": " + error.strText);
  }
  return out;
}

void DumpSurvey(const std::string &path, std::ostream &out, bool bJson) {
  if (bJson) {
    const auto contents = ReadSurveyFile(path, CFile::shareDenyNone, {});
    out << SurveyToJson(contents).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  } else {
    PrintText(path, out);
  }
}

int VerifySurvey(const std::string &path, std::ostream &out) {
  const CSurveySource source(path, CFile::shareDenyNone);
  const auto contents = StreamSurvey(source, {false, false});
  if (contents.IsSound()) {
    out << path << ": sound: " << contents.segments.size() << " segments, " << contents.RecordCount() << " records, "
        << contents.LevelCount() << " levels.\n";
    return SURVEY_EXIT_SOUND;
  }
  out << path << ": not sound:\n";
  for (const auto &error : contents.errors) {
    out << "  " << DescribeSurveyError(path, error) << '\n';
  }
  const auto assessment = AssessSurvey(source);
  if (assessment.state == SurveyState::continuable) {
    out << path << ": continuable: " << assessment.strDescription << ".\n"
        << "'tvdtool survey continue " << path
        << "' continues it in place, keeping the file as it was beside it, as the collector does.\n";
  }
  const auto repair = RepairSurvey(source);
  if (!repair.bPossible) {
    out << "'tvdtool survey repair' cannot help: " << repair.strReason << ".\n";
  } else {
    out << "'tvdtool survey repair " << path << " -o OUT' would write a copy with these changes:\n";
    for (const auto &change : repair.changes) {
      out << "  " << change << '\n';
    }
  }
  return SURVEY_EXIT_UNSOUND;
}

int RepairSurveyFile(const std::string &input, const std::string &output, std::ostream &out, std::ostream &err) {
  if (IsSameFile(output, input)) {
    err << "tvdtool: the repaired copy must go to another file than \"" << input << "\", which is never rewritten.\n";
    return SURVEY_EXIT_FAILED;
  }
  if (const std::string problem = QualityFileNameProblem(output); !problem.empty()) {
    err << "tvdtool: " << problem << ".\n";
    return SURVEY_EXIT_FAILED;
  }
  const CSurveySource source(input, CFile::shareDenyNone); // also a survey a collector is writing
  const auto repair = RepairSurvey(source);
  if (!repair.bPossible) {
    err << "tvdtool: \"" << input << "\" cannot be repaired: " << repair.strReason << ".\n";
    return SURVEY_EXIT_FAILED;
  }
  const bool bThroughStream = WriteRepairedCopy(output, repair.bytes);
  if (repair.changes.empty()) {
    out << "\"" << input << "\" is sound; \"" << output << "\" is an unchanged copy.\n";
  } else {
    for (const auto &change : repair.changes) {
      out << change << '\n';
    }
  }
  const auto contents = ParseSurvey(repair.bytes.data(), repair.bytes.size(), false);
  // The copy's segments keep what the surveyor said of them (replaced, excluded, the gaps seen).
  const auto original = StreamSurvey(source, {.bKeepLevels = false, .bKeepRecords = false});
  const _qualitycarry carry = bThroughStream ? _qualitycarry{} : CarryQualityFile(input, original, output, contents);
  for (const auto &note : carry.notes) {
    err << "note: " << note << '\n';
  }
  if (!carry.strDone.empty()) {
    out << carry.strDone << '\n';
  }
  out << "wrote \"" << output << "\": " << contents.segments.size() << " segments, " << contents.RecordCount()
      << " records, " << contents.LevelCount() << " levels (" << repair.bytes.size() << " of " << source.Size()
      << " bytes kept).\n";
  return SURVEY_EXIT_SOUND;
}

int ContinueSurveyFile(const std::string &path, std::ostream &out, std::ostream &err) {
  // ContinueSurvey refuses a survey in use.
  const auto assessment = AssessSurvey(CSurveySource(path, CFile::shareDenyNone));
  if (assessment.state != SurveyState::sound && assessment.state != SurveyState::continuable) {
    err << "tvdtool: \"" << path << "\" cannot be continued: " << assessment.strDescription << ".";
    if (assessment.state == SurveyState::repairable) {
      err << " 'tvdtool survey repair " << path << " -o OUT' writes a sound copy of what can be read.";
    }
    err << '\n';
    return SURVEY_EXIT_FAILED;
  }
  const auto continuation = ContinueSurvey(path);
  if (!continuation.bChanged) {
    out << "\"" << path << "\" is sound: nothing to continue; the next segment is " << continuation.nNextSegment
        << ".\n";
    return SURVEY_EXIT_SOUND;
  }
  out << "\"" << path << "\": " << continuation.strDescription << ".\n";
  out << "kept the file as it was in \"" << continuation.strBackupPath << "\"\n";
  for (const auto &change : continuation.changes) {
    out << change << '\n';
  }
  out << "continued \"" << path << "\": the next segment is " << continuation.nNextSegment << ".\n";
  return SURVEY_EXIT_SOUND;
}

void RegisterSurveyCommands(CLI::App &app) {
  auto *survey = app.add_subcommand("survey", "Inspect, check, repair and export survey data files (.tvd).");
  survey->require_subcommand(1);

  auto *dump = survey->add_subcommand(
      "dump", "Print everything in a survey data file: its header, every segment with its records and levels, "
              "and whatever could not be read.");
  auto dumpFile = std::make_shared<std::string>();
  auto bJson = std::make_shared<bool>(false);
  dump->add_option("FILE", *dumpFile, "The survey data file.")->required();
  dump->add_flag("--json", *bJson, "One JSON object: header, segment_header_length, segment_count, segments, errors.");
  dump->callback([dumpFile, bJson] { DumpSurvey(*dumpFile, std::cout, *bJson); });

  auto *verify = survey->add_subcommand(
      "verify", "Check that a survey data file reads back as it claims: exit 0 when it is sound, otherwise exit 1 "
                "with what is wrong, whether it can be continued (only its last walk was interrupted) and what "
                "'repair' would change.");
  auto verifyFile = std::make_shared<std::string>();
  verify->add_option("FILE", *verifyFile, "The survey data file.")->required();
  verify->callback([verifyFile] {
    if (const int nCode = VerifySurvey(*verifyFile, std::cout); nCode != SURVEY_EXIT_SOUND) {
      throw CLI::RuntimeError(nCode);
    }
  });

  auto *resume = survey->add_subcommand(
      "continue", "Continue a survey whose last walk was interrupted (a crash, a dead battery) in place, as the "
                  "collector does: the file as it was is kept beside it (FILE.bak, or FILE.2.bak ... when that "
                  "exists), the interrupted segment's record count is set to its records, a record or header cut "
                  "short is dropped, and the next segment follows. Every whole record stays; no stop time is made "
                  "up. Any other damage is refused (exit 2).");
  auto resumeFile = std::make_shared<std::string>();
  resume->add_option("FILE", *resumeFile, "The survey data file to continue.")->required();
  resume->callback([resumeFile] {
    if (const int nCode = ContinueSurveyFile(*resumeFile, std::cout, std::cerr); nCode != SURVEY_EXIT_SOUND) {
      throw CLI::RuntimeError(nCode);
    }
  });

  auto *repair = survey->add_subcommand(
      "repair", "Write a sound copy of a survey data file: every readable segment and record is kept, record and "
                "segment counts are set to what is present, unreadable bytes are dropped. The input is never "
                "changed.");
  auto repairFile = std::make_shared<std::string>();
  auto outputFile = std::make_shared<std::string>();
  repair->add_option("FILE", *repairFile, "The survey data file to repair.")->required();
  repair->add_option("-o,--output", *outputFile, "Where to write the repaired copy.")->required();
  repair->callback([repairFile, outputFile] {
    if (const int nCode = RepairSurveyFile(*repairFile, *outputFile, std::cout, std::cerr);
        nCode != SURVEY_EXIT_SOUND) {
      throw CLI::RuntimeError(nCode);
    }
  });

  RegisterSurveyCheckCommand(*survey);
  RegisterSurveyExportCommand(*survey);
  RegisterSurveyReportCommand(*survey);
}
