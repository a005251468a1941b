#include "survey/SurveyFiles.h"

#include "platform/File.h"
#include "survey/SurveySource.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr const char *PARTIAL_SUFFIX = ".partial";

std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

// Writes the temporary file and renames it over path.
void WriteAndRename(const std::string &path, const std::string &partial, const std::vector<uint8_t> &bytes) {
  CFile file;
  try {
    file.OpenOrThrow(partial, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    for (size_t nDone = 0; nDone < bytes.size();) {
      const auto nPart = static_cast<uint32_t>(std::min<size_t>(bytes.size() - nDone, size_t{1} << 30));
      file.Write(bytes.data() + nDone, nPart);
      nDone += nPart;
    }
    file.Flush(); // on the disk before its name can replace the old file
    file.Close();
    // The file keeps the permissions it had.
    std::error_code ignored;
    if (const auto status = std::filesystem::status(path, ignored); std::filesystem::exists(status)) {
      std::filesystem::permissions(partial, status.permissions(), ignored);
    }
    std::filesystem::rename(partial, path);
  } catch (const CFileException &e) {
    file.Abort();
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw CFileException(e.m_cause, path,
                         "Writing " + Quoted(path) + " failed, and it was left as it was: " + e.what());
  } catch (const std::filesystem::filesystem_error &e) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw CFileException(CFileException::CauseFromErrno(e.code().value()), path,
                         "Writing " + Quoted(path) + " failed, and it was left as it was: renaming " + Quoted(partial) +
                             " to it failed: " + e.code().message() + ".");
  }
}

} // namespace

CFileException SurveyInUseError(const std::string &path) {
  return {CFileException::sharingViolation, path, Quoted(path) + SURVEY_TEXT_IN_USE};
}

void LockSurvey(CFileLock &lock, const std::string &path, bool bCreate) {
  if (!lock.Acquire(path, bCreate)) {
    throw SurveyInUseError(path);
  }
  if (!lock.IsRegularFile()) {
    lock.Release();
    throw CFileException(CFileException::invalidFile, path,
                         Quoted(path) + " is not a regular file: a survey data file must be one.");
  }
}

void ReplaceFileWith(const std::string &path, const std::vector<uint8_t> &bytes, bool bLockedByCaller) {
  if (bytes.size() > SURVEY_MAX_FILE_LENGTH) {
    throw CFileException(CFileException::invalidFile, path,
                         "Writing " + Quoted(path) + " failed: " + std::to_string(bytes.size()) +
                             " bytes are more than any survey data file can hold.");
  }
  // A survey that a collector is writing is not replaced under it; the lock is held until the
  // new file has taken its name.
  CFileLock target;
  std::error_code ignored;
  if (!bLockedByCaller && std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ignored)) &&
      !target.Acquire(path, false)) {
    throw SurveyInUseError(path);
  }
  WriteAndRename(path, path + PARTIAL_SUFFIX, bytes);
  try {
    CFile::SyncFolderOf(path); // the new name on the disk
  } catch (const CFileException &e) {
    throw CFileException(e.m_cause, path,
                         Quoted(path) +
                             " was written, but its folder could not be synchronised to the disk: " + e.what());
  }
}

std::string FreeBackupName(const std::string &path) {
  std::string name = path + ".bak";
  for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(name)); ++n) {
    name = path + "." + std::to_string(n) + ".bak";
  }
  return name;
}
