#pragma once

#include "survey/SurveyReader.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

// Exit codes of the survey commands.
constexpr int SURVEY_EXIT_SOUND = 0;
constexpr int SURVEY_EXIT_UNSOUND = 1;
constexpr int SURVEY_EXIT_FAILED = 2;

// Everything read from a survey data file, with the errors met, as one JSON object.
nlohmann::json SurveyToJson(const _surveycontents &contents);

// tvdtool survey dump: prints the file as readable lines or as JSON. Raises CFileException when
// the file cannot be read at all; what cannot be parsed is listed among the errors.
void DumpSurvey(const std::string &path, std::ostream &out, bool bJson);
// tvdtool survey verify: says whether the file is sound and, if not, what is wrong, whether it can
// be continued and what repair would change. Returns SURVEY_EXIT_SOUND or SURVEY_EXIT_UNSOUND (a
// continuable file is not sound: it has to be continued first).
int VerifySurvey(const std::string &path, std::ostream &out);
// tvdtool survey continue: continues a survey whose last walk was interrupted in place, keeping the
// file as it was beside it, and reports what was done. Returns SURVEY_EXIT_SOUND when the survey is
// continued or was sound, SURVEY_EXIT_FAILED when it is damaged otherwise (nothing is written).
// Raises CFileException when the file cannot be read or written.
int ContinueSurveyFile(const std::string &path, std::ostream &out);
// tvdtool survey repair: writes a sound copy of input to output and reports each change. Never
// writes to the input. Returns SURVEY_EXIT_SOUND when the copy is written, SURVEY_EXIT_FAILED when
// nothing could be kept or output would be the input.
int RepairSurveyFile(const std::string &input, const std::string &output, std::ostream &out);
