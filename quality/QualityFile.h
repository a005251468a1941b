#pragma once

#include "quality/QualityRecord.h"
#include "survey/SurveyReader.h"

#include <string>
#include <vector>

// The quality side file of a survey, NAME.tvd.quality.json beside NAME.tvd: which segment replaced
// which, which segments the surveyor excluded, and the gaps found while segments were walked. The
// survey file itself is never changed for it. A survey without it reads as it always did.
//
// It records the creation time of the survey's file header; a side file whose time differs
// belongs to another survey that had the same name and is ignored, with a note. Segments are
// found again by SegmentKey, so a copy that renumbers them (a repair that drops an unreadable
// segment) keeps what was said of each. It is written whole or not at all, like every output.

constexpr const char *QUALITY_FILE_SUFFIX = ".quality.json";

// The side file of the survey at strSurveyPath.
std::string QualityFilePath(const std::string &strSurveyPath);
// Whether strPath has the name of a survey's side file (it ends in ".quality.json", or a link
// by that name leads to it). No survey and no output may be given such a name.
bool IsQualityFilePath(const std::string &strPath);
// The refusal for an output named strPath that a side file's name is; empty when it is not.
std::string QualityFileNameProblem(const std::string &strPath);

// What was found beside a survey.
struct _qualityload {
  std::string strPath;            // the side file
  bool bFound = false;            // a side file is there
  bool bUsed = false;             // and it belongs to the survey: record holds what it says
  _qualityrecord record;          // numbered as the survey's segments; empty but for the creation time when not used
  std::vector<std::string> notes; // why it is ignored, or what of it is: each a sentence naming the file
};

// Reads the side file of the survey at strSurveyPath, whose contents have been read. Never
// raises: a side file that cannot be read or does not belong to the survey is ignored, with a
// note.
_qualityload LoadQualityFile(const std::string &strSurveyPath, const _surveycontents &contents);

// The side file's text for record.
std::string QualityFileText(const _qualityrecord &record, const std::string &strSurveyPath);
// Writes record as the side file of the survey at strSurveyPath, whole or not at all (a temporary
// file beside it, synchronised and renamed into place). Raises CFileException naming the file.
void WriteQualityFile(const std::string &strSurveyPath, const _qualityrecord &record);
// Removes the side file of the survey at strSurveyPath, as creating a survey there must (a new
// survey never inherits what was said of an old one of that name). Returns whether there was one.
// Raises CFileException naming the file when it is there and cannot be removed.
bool RemoveQualityFile(const std::string &strSurveyPath);

// Makes the side file of the copy at strTo (whose contents are to) say what the side file of the
// survey at strFrom says, each segment found in the copy by its key: what every copy of a survey
// does (Save a copy, the rescue, a repair). The side file must belong to from's file header. When strFrom has no side
// file that belongs to it, a side file at strTo, which belonged to the file the copy replaced, is removed. Raises
// CFileException naming the file when the side file cannot be written or removed.
struct _qualitycarry {
  std::string strDone;            // what was done, one sentence; empty when nothing was
  std::vector<std::string> notes; // what was ignored of the side file, and why
};
_qualitycarry CarryQualityFile(const std::string &strFrom, const _surveycontents &from, const std::string &strTo,
                               const _surveycontents &to);
