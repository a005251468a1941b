#include "platform/FileLock.h"

#include "platform/FileException.h"
#include "platform/FileFaults.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CFileLock::~CFileLock() { Release(); }

bool CFileLock::Acquire(const std::string &path, bool bCreate) {
  Release();
  const char *action = bCreate ? "Creating" : "Opening";
  if (const int nInjected = CFileFaults::OpenError(path); nInjected != 0) {
    if (nInjected == EWOULDBLOCK) {
      return false;
    }
    CFileException::ThrowErrno(nInjected, path, action);
  }
  // Not blocking: a pipe has no writer to wait for here, only a lock to hold.
  const int nFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (bCreate ? O_CREAT : 0);
  const int nFd = ::open(path.c_str(), nFlags, 0644);
  if (nFd < 0) {
    CFileException::ThrowErrno(errno, path, action);
  }
  struct stat st {};
  if (::fstat(nFd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(nFd);
    CFileException::ThrowErrno(EISDIR, path, action);
  }
  if (::flock(nFd, LOCK_EX | LOCK_NB) != 0) {
    const int nErr = errno;
    ::close(nFd);
    if (nErr == EWOULDBLOCK) {
      return false;
    }
    CFileException::ThrowErrno(nErr, path, action);
  }
  m_nFd = nFd;
  return true;
}

void CFileLock::Release() noexcept {
  if (m_nFd >= 0) {
    ::close(m_nFd); // closing the only descriptor drops the lock
    m_nFd = -1;
  }
}

bool CFileLock::IsRegularFile() const {
  struct stat st {};
  return m_nFd >= 0 && ::fstat(m_nFd, &st) == 0 && S_ISREG(st.st_mode);
}
