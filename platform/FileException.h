#pragma once

#include <stdexcept>
#include <string>

// What to do with a pipe or a device where a file is read by its length or at offsets.
constexpr const char *REGULAR_FILE_ADVICE =
    "a pipe or a device has no length and cannot be read at an offset; save it to a file first.";

// The error raised by every file operation of the system. It names the file and says what
// failed, so the operator's message box can show it as it stands.
class CFileException : public std::runtime_error {
public:
  enum Cause {
    none,
    generic,
    fileNotFound,
    accessDenied,
    sharingViolation,
    diskFull,
    endOfFile,
    badSeek,
    invalidFile,
  };

  CFileException(Cause cause, std::string fileName, const std::string &description);

  Cause m_cause;
  std::string m_strFileName;

  // The description shown to the operator, cut to nMax - 1 characters as a message box
  // buffer of nMax characters would hold it.
  std::string GetErrorMessage(size_t nMax = 1024) const;

  // Raises the exception for an errno value left by a failed call on fileName.
  [[noreturn]] static void ThrowErrno(int nErrno, const std::string &fileName, const std::string &action);
  // Maps an errno value to a cause.
  static Cause CauseFromErrno(int nErrno);
};
