#include "quality/QualityFile.h"

#include "platform/FileException.h"
#include "platform/FileIdentity.h"
#include "platform/ReplacingFile.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr int QUALITY_FORMAT_VERSION = 1;

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

bool EndsWithSuffix(const std::string &path) {
  const std::string name = fs::path(path).filename().string();
  const std::string suffix = QUALITY_FILE_SUFFIX;
  return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string UtcText(int64_t nSeconds) {
  const auto t = static_cast<std::time_t>(nSeconds);
  std::tm parts{};
  char text[40] = "?";
  if (::gmtime_r(&t, &parts) != nullptr) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  }
  return text;
}

nlohmann::ordered_json EntryJson(uint32_t nSegment, const _qualityentry &entry) {
  nlohmann::ordered_json json = {{"segment", nSegment}, {"walked", entry.strKey}};
  if (entry.nReplacedBy != 0) {
    json["replaced_by"] = entry.nReplacedBy;
  }
  if (entry.bExcluded) {
    json["excluded"] = true;
  }
  if (entry.bWalked) {
    json["walk_ms"] = entry.walk.nWalkMs;
    json["gaps"] = nlohmann::ordered_json::array();
    for (const auto &gap : entry.walk.gaps) {
      json["gaps"].push_back({{"channel", gap.nChannel}, {"start_ms", gap.nStartMs}, {"duration_ms", gap.nDurationMs}});
    }
  }
  return json;
}

// Raises std::runtime_error saying what is wrong.
void Require(bool bFits, const std::string &what) {
  if (!bFits) {
    throw std::runtime_error(what);
  }
}

_walkgaps WalkFromJson(const nlohmann::json &json, uint32_t nSegment) {
  const std::string where = "segment " + std::to_string(nSegment) + ": ";
  _walkgaps walk;
  walk.nWalkMs = json.at("walk_ms").get<int64_t>();
  Require(walk.nWalkMs >= 0, where + "walk_ms is negative");
  for (const auto &item : json.at("gaps")) {
    _walkgap gap;
    const auto nChannel = item.at("channel").get<int64_t>();
    gap.nChannel = static_cast<uint16_t>(nChannel == 1 || nChannel == 2 ? nChannel : 0);
    gap.nStartMs = item.at("start_ms").get<int64_t>();
    gap.nDurationMs = item.at("duration_ms").get<int64_t>();
    Require(gap.nChannel != 0, where + "a gap on a channel other than 1 or 2");
    Require(gap.nStartMs >= 0 && gap.nStartMs <= walk.nWalkMs && gap.nDurationMs > 0 &&
                gap.nDurationMs <= walk.nWalkMs - gap.nStartMs,
            where + "a gap lies outside its walk");
    walk.gaps.push_back(gap);
  }
  return walk;
}

_qualityrecord RecordFromJson(const nlohmann::json &json) {
  Require(json.is_object() && json.value("tarvex_quality", 0) == QUALITY_FORMAT_VERSION,
          "it is not a quality file of version " + std::to_string(QUALITY_FORMAT_VERSION));
  _qualityrecord record;
  record.nSurveyCreated = json.at("survey_created").get<int64_t>();
  for (const auto &item : json.at("segments")) {
    const auto nNumber = item.at("segment").get<int64_t>();
    Require(nNumber >= 1 && nNumber <= SURVEY_MAX_SEGMENTS, std::to_string(nNumber) + " is no segment number");
    const auto nSegment = static_cast<uint32_t>(nNumber);
    Require(record.entries.count(nSegment) == 0, "segment " + std::to_string(nSegment) + " is listed twice");
    _qualityentry entry;
    entry.strKey = item.at("walked").get<std::string>();
    const auto nBy = item.value("replaced_by", int64_t{0});
    Require(nBy >= 0 && nBy <= SURVEY_MAX_SEGMENTS && nBy != nNumber,
            "segment " + std::to_string(nSegment) + " is replaced by no other segment");
    entry.nReplacedBy = static_cast<uint32_t>(nBy);
    entry.bExcluded = item.value("excluded", false);
    entry.bWalked = item.contains("walk_ms");
    if (entry.bWalked) {
      entry.walk = WalkFromJson(item, nSegment);
    }
    record.entries[nSegment] = std::move(entry);
  }
  return record;
}

// Where each entry's segment is among keys (the keys of a survey's segments, in order): at its own
// number when the key there is its key, otherwise the first other segment with its key not yet
// taken; 0 when it is not there.
std::map<uint32_t, uint32_t> FindSegments(const _qualityrecord &record, const std::vector<std::string> &keys) {
  std::map<uint32_t, uint32_t> found;
  std::set<uint32_t> taken;
  for (const auto &[nSegment, entry] : record.entries) {
    if (nSegment <= keys.size() && keys[nSegment - 1] == entry.strKey) {
      found[nSegment] = nSegment;
      taken.insert(nSegment);
    }
  }
  for (const auto &[nSegment, entry] : record.entries) {
    if (found.count(nSegment) != 0) {
      continue;
    }
    found[nSegment] = 0;
    for (uint32_t n = 1; n <= keys.size(); ++n) {
      if (keys[n - 1] == entry.strKey && taken.insert(n).second) {
        found[nSegment] = n;
        break;
      }
    }
  }
  return found;
}

// record's entries numbered as the segments of contents; what is not there is dropped, noted.
_qualityrecord Renumbered(const _qualityrecord &record, const _surveycontents &contents, const std::string &strSide,
                          const std::string &strSurvey, std::vector<std::string> &notes) {
  std::vector<std::string> keys;
  for (const auto &segment : contents.segments) {
    keys.push_back(SegmentKey(segment.header));
  }
  const auto found = FindSegments(record, keys);
  _qualityrecord result;
  result.nSurveyCreated = record.nSurveyCreated;
  for (const auto &[nSegment, entry] : record.entries) {
    const uint32_t nNow = found.at(nSegment);
    const std::string what = "segment " + std::to_string(nSegment) + " (walked " + entry.strKey + ")";
    if (nNow == 0) {
      notes.push_back(Quoted(strSide) + ": " + what + " is not in " + Quoted(strSurvey) +
                      "; what it says of it is ignored.");
      continue;
    }
    if (nNow != nSegment) {
      notes.push_back(Quoted(strSide) + ": " + what + " is segment " + std::to_string(nNow) + " of " +
                      Quoted(strSurvey) + ".");
    }
    _qualityentry moved = entry;
    if (entry.nReplacedBy != 0) {
      const auto target = found.find(entry.nReplacedBy);
      moved.nReplacedBy = target != found.end() ? target->second : 0;
      if (moved.nReplacedBy == 0) {
        notes.push_back(Quoted(strSide) + ": " + what + " was replaced by a segment that is not in " +
                        Quoted(strSurvey) + "; it counts again.");
      }
    }
    result.entries[nNow] = std::move(moved);
  }
  return result;
}

// The side file's text, or a note saying why there is none to use.
bool ReadText(const std::string &strPath, std::string &text, std::vector<std::string> &notes) {
  std::ifstream in(strPath, std::ios::binary);
  if (in) {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (!in.good() && !in.eof()) {
    notes.push_back(Quoted(strPath) + " cannot be read (" + std::generic_category().message(errno) +
                    "); the survey is read without it.");
    return false;
  }
  return true;
}

} // namespace

std::string QualityFilePath(const std::string &strSurveyPath) { return strSurveyPath + QUALITY_FILE_SUFFIX; }

bool IsQualityFilePath(const std::string &strPath) {
  return EndsWithSuffix(strPath) || EndsWithSuffix(ResolvedPath(strPath));
}

std::string QualityFileNameProblem(const std::string &strPath) {
  if (!IsQualityFilePath(strPath)) {
    return "";
  }
  return Quoted(strPath) + " has the name of a survey's quality side file (SURVEY" + QUALITY_FILE_SUFFIX +
         "), which the collector reads beside the survey; choose another name";
}

namespace {

// The side file of the survey at strSurveyPath as it stands, numbered as it was written, when it
// belongs to a survey whose header is header (bHeaderRead: it could be read); load.bUsed says
// whether it does.
_qualityload ReadQualityRecord(const std::string &strSurveyPath, bool bHeaderRead, const _surveyheader &header) {
  _qualityload load;
  load.strPath = QualityFilePath(strSurveyPath);
  load.record.nSurveyCreated = header.nCreated;
  std::error_code error;
  load.bFound = fs::exists(load.strPath, error);
  std::string text;
  if (!load.bFound || !ReadText(load.strPath, text, load.notes)) {
    return load;
  }
  _qualityrecord record;
  try {
    record = RecordFromJson(nlohmann::json::parse(text));
  } catch (const std::exception &e) {
    load.notes.push_back(Quoted(load.strPath) + " is ignored: it cannot be read as a quality side file (" + e.what() +
                         ").");
    return load;
  }
  if (!bHeaderRead || record.nSurveyCreated != header.nCreated) {
    load.notes.push_back(Quoted(load.strPath) + " is ignored: it belongs to a survey created " +
                         UtcText(record.nSurveyCreated) + ", and " + Quoted(strSurveyPath) +
                         (bHeaderRead ? " was created " + UtcText(header.nCreated) : std::string(" has no header")) +
                         " (a new survey made under an old one's name).");
    return load;
  }
  load.bUsed = true;
  load.record = std::move(record);
  return load;
}

} // namespace

_qualityload LoadQualityFile(const std::string &strSurveyPath, const _surveycontents &contents) {
  _qualityload load = ReadQualityRecord(strSurveyPath, contents.bHeaderRead, contents.header);
  if (load.bUsed) {
    load.record = Renumbered(load.record, contents, load.strPath, strSurveyPath, load.notes);
  }
  return load;
}

std::string QualityFileText(const _qualityrecord &record, const std::string &strSurveyPath) {
  nlohmann::ordered_json json = {{"tarvex_quality", QUALITY_FORMAT_VERSION},
                                 {"survey", fs::path(strSurveyPath).filename().string()},
                                 {"survey_created", record.nSurveyCreated},
                                 {"segments", nlohmann::ordered_json::array()}};
  for (const auto &[nSegment, entry] : record.entries) {
    json["segments"].push_back(EntryJson(nSegment, entry));
  }
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

void WriteQualityFile(const std::string &strSurveyPath, const _qualityrecord &record) {
  const std::string text = QualityFileText(record, strSurveyPath);
  ReplaceFileContents(QualityFilePath(strSurveyPath), reinterpret_cast<const uint8_t *>(text.data()), text.size(),
                      true);
}

bool RemoveQualityFile(const std::string &strSurveyPath) {
  const std::string path = QualityFilePath(strSurveyPath);
  std::error_code error;
  const bool bRemoved = fs::remove(path, error);
  if (error) {
    CFileException::ThrowErrno(error.value(), path, "Removing");
  }
  return bRemoved;
}

_qualitycarry CarryQualityFile(const std::string &strFrom, const _surveycontents &from, const std::string &strTo,
                               const _surveycontents &to) {
  const _qualityload load = ReadQualityRecord(strFrom, from.bHeaderRead, from.header);
  _qualitycarry carry;
  carry.notes = load.notes;
  if (!load.bUsed) {
    if (RemoveQualityFile(strTo)) {
      carry.strDone =
          "removed " + Quoted(QualityFilePath(strTo)) + ", which belonged to the file " + Quoted(strTo) + " replaced.";
    }
    return carry;
  }
  _qualityrecord record = Renumbered(load.record, to, load.strPath, strTo, carry.notes);
  record.nSurveyCreated = to.header.nCreated;
  WriteQualityFile(strTo, record);
  carry.strDone = "carried " + Quoted(load.strPath) + " along to " + Quoted(QualityFilePath(strTo)) + ".";
  return carry;
}
