#pragma once

#include "platform/FileException.h"
#include "platform/FileLock.h"

#include <cstdint>
#include <string>
#include <vector>

// Whole-file writes for copies and repairs of survey data files, made so that a failure or a
// crash never leaves a half-written file under the name the operator knows; and the lock that
// keeps two programs from writing one survey.

// What the operator is told when a survey cannot be written because another program writes it,
// after the quoted file name.
constexpr const char *SURVEY_TEXT_IN_USE = " is in use: another program (a collector or tvdtool) is writing this "
                                           "survey. Close it there first, or choose another file.";

// The failure (sharingViolation) for the survey at path that another program writes.
CFileException SurveyInUseError(const std::string &path);

// Takes lock on the survey at path for as long as it is written (creating an empty file when
// bCreate and there is none). Raises SurveyInUseError when another program holds it, and
// CFileException naming the file when it cannot be opened or is not a regular file.
void LockSurvey(CFileLock &lock, const std::string &path, bool bCreate);

// Writes bytes to path through a temporary file beside it (path + ".partial"): the temporary file
// is synchronised to the disk and renamed over path only when it is complete, and the folder is
// synchronised after the rename, so path holds either what it held before or all of bytes, after
// a crash or a power loss too. A path that another program is writing as a survey is refused
// (SurveyInUseError), unless bLockedByCaller says that the caller holds that lock itself. Raises
// CFileException naming path and what failed; the temporary file is removed again, and path is
// not touched.
void ReplaceFileWith(const std::string &path, const std::vector<uint8_t> &bytes, bool bLockedByCaller = false);

// The first name beside path that no file has: path + ".bak", then path + ".2.bak", ".3.bak", ...
std::string FreeBackupName(const std::string &path);
