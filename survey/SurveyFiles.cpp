#include "survey/SurveyFiles.h"

#include "platform/File.h"

#include <filesystem>
#include <limits>

namespace {

constexpr const char *PARTIAL_SUFFIX = ".partial";

std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

} // namespace

void ReplaceFileWith(const std::string &path, const std::vector<uint8_t> &bytes) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) {
    throw CFileException(CFileException::invalidFile, path,
                         "Writing " + Quoted(path) + " failed: " + std::to_string(bytes.size()) +
                             " bytes are more than any survey data file can hold.");
  }
  const std::string partial = path + PARTIAL_SUFFIX;
  CFile file;
  try {
    file.OpenOrThrow(partial, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    file.Flush();
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

std::string FreeBackupName(const std::string &path) {
  std::string name = path + ".bak";
  for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(name)); ++n) {
    name = path + "." + std::to_string(n) + ".bak";
  }
  return name;
}
