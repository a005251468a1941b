#include "platform/FileException.h"

#include <cerrno>
#include <cstring>

CFileException::CFileException(Cause cause, std::string fileName, const std::string &description)
    : std::runtime_error(description), m_cause(cause), m_strFileName(std::move(fileName)) {}

std::string CFileException::GetErrorMessage(size_t nMax) const {
  std::string text = what();
  if (nMax > 0 && text.size() > nMax - 1) {
    text.resize(nMax - 1);
  }
  return text;
}

CFileException::Cause CFileException::CauseFromErrno(int nErrno) {
  switch (nErrno) {
  case ENOENT:
  case ENOTDIR:
    return fileNotFound;
  case EACCES:
  case EPERM:
  case EROFS:
  case EISDIR:
    return accessDenied;
  case EWOULDBLOCK:
    return sharingViolation;
  case ENOSPC:
  case EDQUOT:
  case EFBIG:
    return diskFull;
  case ESPIPE:
  case EINVAL:
    return badSeek;
  default:
    return generic;
  }
}

void CFileException::ThrowErrno(int nErrno, const std::string &fileName, const std::string &action) {
  const Cause cause = CauseFromErrno(nErrno);
  std::string reason;
  if (cause == sharingViolation) {
    reason = "the file is in use by another program";
  } else if (nErrno == ESPIPE) {
    reason = std::string("it must be a regular file: ") + REGULAR_FILE_ADVICE;
    reason.pop_back(); // the sentence ends below
  } else {
    reason = std::strerror(nErrno);
  }
  throw CFileException(cause, fileName, action + " \"" + fileName + "\" failed: " + reason + ".");
}
