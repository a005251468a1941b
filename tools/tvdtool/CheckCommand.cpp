#include "tools/tvdtool/CheckCommand.h"

#include "platform/File.h"
#include "projection/ProjectionHeader.h"
#include "projection/SiteProjection.h"
#include "projection/TransformCheck.h"
#include "quality/QualityFile.h"
#include "quality/SegmentChecks.h"
#include "survey/SurveyReader.h"
#include "tools/tvdtool/StandardOutput.h"
#include "tools/tvdtool/SurveyCommand.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <iostream>
#include <map>
#include <memory>
#include <optional>

namespace {

// "(replaced by segment 8, not counted)" and the like; empty for a segment that counts.
std::string Standing(const _qualityrecord &record, uint32_t nSegment) {
  const auto it = record.entries.find(nSegment);
  if (it == record.entries.end() || record.Counts(nSegment)) {
    return "";
  }
  if (it->second.nReplacedBy != 0) {
    return " (replaced by segment " + std::to_string(it->second.nReplacedBy) + ", not counted)";
  }
  return " (excluded, not counted)";
}

std::string Line(const _segmentquality &quality, const _qualityrecord &record) {
  std::string line = std::to_string(quality.facts.nSegment) + (quality.Passed() ? " passed" : " flagged") +
                     Standing(record, quality.facts.nSegment);
  for (size_t i = 0; i < quality.findings.size(); ++i) {
    line += (i == 0 ? ": " : "; ") + quality.findings[i].strReason;
  }
  return line;
}

// Each reason a check could not be made, with the segments it holds for: "note: speed not checked
// for segments 1, 2: ...".
void PrintSkipped(const _surveyquality &quality, bool bProjection, std::ostream &err) {
  std::map<std::pair<QualityCheck, std::string>, std::string> skipped;
  for (const auto &segment : quality.segments) {
    for (const auto &skip : segment.skipped) {
      std::string &segments = skipped[{skip.check, skip.strWhy}];
      segments += (segments.empty() ? "" : ", ") + std::to_string(segment.facts.nSegment);
    }
  }
  for (const auto &[what, segments] : skipped) {
    err << "note: " << QualityCheckName(what.first) << " not checked for segment"
        << (segments.find(',') == std::string::npos ? " " : "s ") << segments << ": " << what.second;
    if (what.first == QualityCheck::gap) {
      err << " (they are kept in the survey's quality side file while it is walked)";
    } else if (!bProjection && what.second.find("no projection") != std::string::npos) {
      err << " (--projection P gives the length)";
    }
    err << ".\n";
  }
}

nlohmann::ordered_json OrNull(bool bHas, double d) {
  return bHas ? nlohmann::ordered_json(d) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json SegmentJson(const _segmentquality &quality, const _qualityrecord &record) {
  const _segmentfacts &facts = quality.facts;
  const auto entry = record.entries.find(facts.nSegment);
  const bool bEntry = entry != record.entries.end();
  nlohmann::ordered_json levels = nlohmann::ordered_json::object();
  for (const auto &[nChannel, nCount] : facts.counts) {
    levels[std::to_string(nChannel)] = nCount;
  }
  nlohmann::ordered_json findings = nlohmann::ordered_json::array();
  for (const auto &finding : quality.findings) {
    findings.push_back({{"check", QualityCheckName(finding.check)},
                        {"reason", finding.strReason},
                        {"at_m", OrNull(finding.bPlaced, finding.dAtM)},
                        {"fraction", OrNull(finding.dFraction >= 0, finding.dFraction)},
                        {"seconds", OrNull(finding.dSeconds > 0, finding.dSeconds)}});
  }
  nlohmann::ordered_json skipped = nlohmann::ordered_json::array();
  for (const auto &skip : quality.skipped) {
    skipped.push_back({{"check", QualityCheckName(skip.check)}, {"why", skip.strWhy}});
  }
  return {{"segment", facts.nSegment},
          {"passed", quality.Passed()},
          {"counted", record.Counts(facts.nSegment)},
          {"replaced_by", bEntry && entry->second.nReplacedBy != 0 ? nlohmann::ordered_json(entry->second.nReplacedBy)
                                                                   : nlohmann::ordered_json(nullptr)},
          {"excluded", bEntry && entry->second.bExcluded},
          {"sentence", QualitySentence(quality)},
          {"length_m", OrNull(facts.bLength, facts.dLengthM)},
          {"duration_s", OrNull(facts.timing.bTimed, facts.Seconds())},
          {"levels", std::move(levels)},
          {"findings", std::move(findings)},
          {"not_checked", std::move(skipped)}};
}

nlohmann::ordered_json SettingsJson(const _qualitysettings &settings) {
  nlohmann::ordered_json json = nlohmann::ordered_json::object();
  for (const auto &setting : QualitySettingList()) {
    json[setting.pName] = settings.*setting.pValue;
  }
  return json;
}

// The projection asked for, or a refusal on err; nothing asked: an empty projection.
bool LoadProjection(const _checkrequest &request, CSiteProjection &projection, std::ostream &err) {
  if (request.strProjection.empty()) {
    return true;
  }
  try {
    LoadProjectionTransform(request.strProjection, projection);
  } catch (const CFileException &e) {
    err << "tvdtool: " << e.what() << '\n';
    return false;
  }
  const _transform transform{projection.m_dA, projection.m_dB, projection.m_dC,
                             projection.m_dD, projection.m_dE, projection.m_dF};
  if (const std::string problem = TransformProblem(projection.m_nKind, transform); !problem.empty()) {
    err << "tvdtool: \"" << request.strProjection << "\": " << problem << ".\n";
    return false;
  }
  return true;
}

// The survey's contents, or nothing with the reason on err.
std::optional<_surveycontents> ReadSurvey(const std::string &path, std::ostream &err) {
  std::vector<uint8_t> bytes;
  try {
    bytes = LoadSurveyFile(path, CFile::shareDenyNone);
  } catch (const CFileException &e) {
    err << "tvdtool: " << e.what() << '\n';
    return std::nullopt;
  }
  _surveycontents contents = ParseSurvey(bytes.data(), bytes.size(), true);
  for (const auto &error : contents.errors) {
    if (error.kind == SurveyProblem::notSurvey || !contents.bCountRead) {
      err << "tvdtool: nothing checked: " << DescribeSurveyError(path, error) << '\n';
      return std::nullopt;
    }
  }
  return contents;
}

} // namespace

int CheckSurveyFile(const _checkrequest &request, std::ostream &out, std::ostream &err) {
  CSiteProjection projection;
  if (!LoadProjection(request, projection, err)) {
    return SURVEY_EXIT_FAILED;
  }
  const auto contents = ReadSurvey(request.strSurvey, err);
  if (!contents) {
    return SURVEY_EXIT_FAILED;
  }
  bool bDamaged = false;
  for (const auto &error : contents->errors) {
    const bool bNote = error.kind == SurveyProblem::unwrittenSegments; // they hold nothing
    bDamaged = bDamaged || !bNote;
    err << (bNote ? "note: " : "error: ") << DescribeSurveyError(request.strSurvey, error) << '\n';
  }
  const _qualityload side = LoadQualityFile(request.strSurvey, *contents);
  for (const auto &note : side.notes) {
    err << "note: " << note << '\n';
  }
  const bool bProjection = !request.strProjection.empty();
  const _surveyquality quality =
      CheckSurvey(*contents, bProjection ? &projection : nullptr, side.record, request.settings);

  uint32_t nPassed = 0;
  uint32_t nFlagged = 0;
  for (const auto &segment : quality.segments) {
    nPassed += segment.Passed() ? 1 : 0;
    nFlagged += !segment.Passed() && side.record.Counts(segment.facts.nSegment) ? 1 : 0;
  }
  if (request.bJson) {
    nlohmann::ordered_json json = {
        {"survey", request.strSurvey},
        {"side_file", {{"path", side.strPath}, {"found", side.bFound}, {"used", side.bUsed}, {"notes", side.notes}}},
        {"settings", SettingsJson(request.settings)},
        {"segments", nlohmann::ordered_json::array()},
        {"passed", nPassed},
        {"flagged", nFlagged},
        {"damaged", bDamaged}};
    for (const auto &segment : quality.segments) {
      json["segments"].push_back(SegmentJson(segment, side.record));
    }
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  } else {
    for (const auto &segment : quality.segments) {
      out << Line(segment, side.record) << '\n';
    }
  }
  CheckOutput(out);
  PrintSkipped(quality, bProjection, err);
  if (bDamaged) {
    err << "tvdtool: \"" << request.strSurvey
        << "\" is damaged: only what could be read was checked (see 'tvdtool survey verify').\n";
  }
  return nFlagged > 0 || bDamaged ? SURVEY_EXIT_UNSOUND : SURVEY_EXIT_SOUND;
}

void RegisterSurveyCheckCommand(CLI::App &survey) {
  auto *check = survey.add_subcommand(
      "check", "Check every segment: gaps in a channel's levels (kept in the survey's quality side file while it was "
               "walked), levels per second, walking speed, standing still, clipping, channels and frequencies, and "
               "points. One line per segment: its number, then 'passed' or what was flagged. Exit 0 when every "
               "segment that counts passed, 1 when some were flagged or the survey is damaged, 2 when it cannot be "
               "read.");
  auto request = std::make_shared<_checkrequest>();
  auto assignments = std::make_shared<std::vector<std::string>>();
  check->add_option("FILE", request->strSurvey, "The survey data file (.tvd).")->required();
  check->add_flag("--json", request->bJson,
                  "One JSON object: survey, side_file, settings, segments (each with its findings and the checks not "
                  "made), passed, flagged, damaged.");
  check->add_option("--projection", request->strProjection,
                    "The projection the survey was walked on: gives the segments' lengths (a linear plan's X and Y "
                    "taken as metres). Without it the coordinates a geo-coded survey's headers store are used.");
  check->add_option("--set", *assignments, "NAME=VALUE: change a threshold (see the README for the names).");
  check->callback([request, assignments] {
    _checkrequest r = *request;
    for (const auto &assignment : *assignments) {
      if (const std::string problem = SetQualitySetting(r.settings, assignment); !problem.empty()) {
        std::cerr << "tvdtool: --set: " << problem << ".\n";
        throw CLI::RuntimeError(SURVEY_EXIT_FAILED);
      }
    }
    if (const int nCode = CheckSurveyFile(r, std::cout, std::cerr); nCode != SURVEY_EXIT_SOUND) {
      throw CLI::RuntimeError(nCode);
    }
  });
}
