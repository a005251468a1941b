#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Whole-file writes for copies and repairs of survey data files, made so that a failure or a
// crash never leaves a half-written file under the name the operator knows.

// Writes bytes to path through a temporary file beside it (path + ".partial"), which is flushed
// to the disk and renamed over path only when it is complete: path holds either what it held
// before or all of bytes. Raises CFileException naming path and what failed; the temporary file
// is removed again, and path is not touched.
void ReplaceFileWith(const std::string &path, const std::vector<uint8_t> &bytes);

// The first name beside path that no file has: path + ".bak", then path + ".2.bak", ".3.bak", ...
std::string FreeBackupName(const std::string &path);
