#include "platform/File.h"

#include "platform/FileFaults.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file of this mode is, for a message: "a pipe or FIFO", "a character device", ...
std::string FileKindName(mode_t nMode) {
  if (S_ISFIFO(nMode)) {
    return "a pipe or FIFO";
  }
  if (S_ISCHR(nMode)) {
    return "a character device";
  }
  if (S_ISBLK(nMode)) {
    return "a block device";
  }
  if (S_ISSOCK(nMode)) {
    return "a socket";
  }
  if (S_ISDIR(nMode)) {
    return "a folder";
  }
  return "not a regular file";
}

} // namespace

CFile::~CFile() { Abort(); }

bool CFile::Open(const std::string &path, unsigned flags, CFileException *pError) {
  try {
    OpenOrThrow(path, flags);
    return true;
  } catch (const CFileException &e) {
    if (pError != nullptr) {
      *pError = e;
    }
    return false;
  }
}

namespace {

int OpenMode(unsigned flags) {
  int nOpen = O_CLOEXEC;
  if ((flags & CFile::modeReadWrite) != 0) {
    nOpen |= O_RDWR;
  } else if ((flags & CFile::modeWrite) != 0) {
    nOpen |= O_WRONLY;
  } else {
    nOpen |= O_RDONLY;
  }
  if ((flags & CFile::modeCreate) != 0) {
    nOpen |= O_CREAT;
    if ((flags & CFile::modeNoTruncate) == 0) {
      nOpen |= O_TRUNC;
    }
  }
  // A FIFO's open waits for its other end, for good when none comes: a regular file is opened
  // without waiting, and whatever else it turns out to be is refused before it is read.
  if ((flags & CFile::typeStream) == 0) {
    nOpen |= O_NONBLOCK;
  }
  return nOpen;
}

[[noreturn]] void ThrowNotRegular(const std::string &path, mode_t nMode) {
  throw CFileException(CFileException::invalidFile, path,
                       "\"" + path + "\" is " + FileKindName(nMode) +
                           ", but it must be a regular file: " + REGULAR_FILE_ADVICE);
}

// Checks what the open descriptor is: a folder is never a file, and without typeStream only a
// regular file is. Closes nFd and raises when it is not what was asked for.
void CheckKind(int nFd, const std::string &path, unsigned flags, const char *action) {
  struct stat st {};
  if (::fstat(nFd, &st) != 0) {
    const int nErr = errno;
    ::close(nFd);
    CFileException::ThrowErrno(nErr, path, action);
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(nFd);
    CFileException::ThrowErrno(EISDIR, path, action);
  }
  if ((flags & CFile::typeStream) == 0 && !S_ISREG(st.st_mode)) {
    ::close(nFd);
    ThrowNotRegular(path, st.st_mode);
  }
}

} // namespace

void CFile::OpenOrThrow(const std::string &path, unsigned flags) {
  Abort();
  m_strPath = path;

  const bool bWrite = (flags & (modeWrite | modeReadWrite)) != 0;
  const int nOpen = OpenMode(flags);
  const char *action = bWrite ? ((flags & modeCreate) != 0 ? "Creating" : "Opening for writing") : "Opening";
  if (const int nInjected = CFileFaults::OpenError(path, bWrite); nInjected != 0) {
    CFileException::ThrowErrno(nInjected, path, action);
  }

  // Truncation waits until the lock is held, so a file that another program holds is not emptied.
  const int nFd = ::open(path.c_str(), nOpen & ~O_TRUNC, 0644);
  if (nFd < 0) {
    const int nErr = errno;
    struct stat st {};
    // Opened for writing without waiting, a FIFO with no reader answers ENXIO: say what it is.
    if (nErr == ENXIO && (flags & typeStream) == 0 && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      ThrowNotRegular(path, st.st_mode);
    }
    CFileException::ThrowErrno(nErr, path, action);
  }
  CheckKind(nFd, path, flags, action);
  if ((nOpen & O_NONBLOCK) != 0) {
    ::fcntl(nFd, F_SETFL, ::fcntl(nFd, F_GETFL) & ~O_NONBLOCK); // reads and writes wait as usual
  }

  int nLock = 0;
  if ((flags & shareExclusive) != 0 || ((flags & shareDenyWrite) != 0 && bWrite)) {
    nLock = LOCK_EX;
  } else if ((flags & shareDenyWrite) != 0) {
    nLock = LOCK_SH;
  }
  if (nLock != 0 && ::flock(nFd, nLock | LOCK_NB) != 0) {
    const int nErr = errno;
    ::close(nFd);
    CFileException::ThrowErrno(nErr, path, action);
  }
  if ((nOpen & O_TRUNC) != 0 && ::ftruncate(nFd, 0) != 0) {
    const int nErr = errno;
    ::close(nFd);
    CFileException::ThrowErrno(nErr, path, action);
  }
  m_nFd = nFd;
}

uint32_t CFile::Read(void *pBuffer, uint32_t nCount) {
  uint32_t nDone = 0;
  auto *p = static_cast<char *>(pBuffer);
  while (nDone < nCount) {
    const ssize_t n = ::read(m_nFd, p + nDone, nCount - nDone);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      CFileException::ThrowErrno(errno, m_strPath, "Reading");
    }
    if (n == 0) {
      break;
    }
    nDone += static_cast<uint32_t>(n);
  }
  return nDone;
}

void CFile::ReadExactly(void *pBuffer, uint32_t nCount) {
  const uint64_t nStart = GetPosition();
  const uint32_t nRead = Read(pBuffer, nCount);
  if (nRead != nCount) {
    throw CFileException(CFileException::endOfFile, m_strPath,
                         "\"" + m_strPath + "\" ends too early: " + std::to_string(nCount) +
                             " bytes were expected at offset " + std::to_string(nStart) + ", but only " +
                             std::to_string(nRead) + " are there.");
  }
}

void CFile::Write(const void *pBuffer, uint32_t nCount) {
  if (m_nFd < 0) {
    CFileException::ThrowErrno(EBADF, m_strPath, "Writing");
  }
  uint32_t nInPlace = 0;
  if (CFileFaults::IsFillingDisk()) {
    const uint64_t nPosition = GetPosition();
    const uint64_t nLength = GetLength();
    nInPlace = nPosition >= nLength ? 0 : static_cast<uint32_t>(std::min<uint64_t>(nLength - nPosition, nCount));
  }
  const uint32_t nAllowed = CFileFaults::WritableBytes(nCount, nInPlace);
  const bool bWatched = CFileFaults::IsWatchingWrites();
  const uint64_t nOffset = bWatched ? GetPosition() : 0;
  uint32_t nDone = 0;
  const auto *p = static_cast<const char *>(pBuffer);
  while (nDone < nAllowed) {
    const ssize_t n = ::write(m_nFd, p + nDone, nAllowed - nDone);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      CFileException::ThrowErrno(errno, m_strPath, "Writing to");
    }
    if (n == 0) {
      break;
    }
    nDone += static_cast<uint32_t>(n);
  }
  if (bWatched && nDone > 0) {
    CFileFaults::Written(m_strPath, nOffset, nDone);
  }
  if (nDone < nCount) {
    CFileException::ThrowErrno(ENOSPC, m_strPath, "Writing to");
  }
}

void CFile::Flush() {
  if (m_nFd < 0) {
    CFileException::ThrowErrno(EBADF, m_strPath, "Flushing");
  }
  if (::fsync(m_nFd) != 0) {
    CFileException::ThrowErrno(errno, m_strPath, "Flushing");
  }
  CFileFaults::Synced(m_strPath);
}

void CFile::SyncData() {
  if (m_nFd < 0) {
    CFileException::ThrowErrno(EBADF, m_strPath, "Synchronising");
  }
  if (::fdatasync(m_nFd) != 0) {
    CFileException::ThrowErrno(errno, m_strPath, "Synchronising");
  }
  CFileFaults::Synced(m_strPath);
}

void CFile::SyncFolderOf(const std::string &path) {
  const auto nSlash = path.find_last_of('/');
  const std::string folder = nSlash == std::string::npos ? "." : (nSlash == 0 ? "/" : path.substr(0, nSlash));
  const int nFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (nFd < 0) {
    CFileException::ThrowErrno(errno, folder, "Synchronising the folder");
  }
  // Some file systems cannot synchronise a folder; their entries are as safe as they get.
  if (::fsync(nFd) != 0 && errno != EINVAL && errno != EROFS) {
    const int nErr = errno;
    ::close(nFd);
    CFileException::ThrowErrno(nErr, folder, "Synchronising the folder");
  }
  ::close(nFd);
  CFileFaults::Synced(folder);
}

uint64_t CFile::Seek(int64_t nOffset, SeekPosition from) {
  const int nWhence = from == begin ? SEEK_SET : (from == current ? SEEK_CUR : SEEK_END);
  const off_t nPos = ::lseek(m_nFd, nOffset, nWhence);
  if (nPos < 0) {
    CFileException::ThrowErrno(errno, m_strPath, "Seeking in");
  }
  return static_cast<uint64_t>(nPos);
}

uint64_t CFile::GetPosition() const {
  const off_t nPos = ::lseek(m_nFd, 0, SEEK_CUR);
  if (nPos < 0) {
    CFileException::ThrowErrno(errno, m_strPath, "Seeking in");
  }
  return static_cast<uint64_t>(nPos);
}

uint64_t CFile::GetLength() const {
  struct stat st {};
  if (::fstat(m_nFd, &st) != 0) {
    CFileException::ThrowErrno(errno, m_strPath, "Reading the length of");
  }
  if (!S_ISREG(st.st_mode)) {
    // A pipe or a device has no length to tell (it would say 0): whatever reads a file by its
    // length must be given a regular file.
    ThrowNotRegular(m_strPath, st.st_mode);
  }
  return static_cast<uint64_t>(st.st_size);
}

void CFile::Close() {
  if (m_nFd < 0) {
    return;
  }
  const int nFd = m_nFd;
  m_nFd = -1;
  if (::close(nFd) != 0 && errno != EINTR) {
    CFileException::ThrowErrno(errno, m_strPath, "Closing");
  }
}

void CFile::Abort() noexcept {
  if (m_nFd >= 0) {
    ::close(m_nFd);
    m_nFd = -1;
  }
}

std::string CFile::GetFileName() const {
  const auto nSlash = m_strPath.find_last_of('/');
  return nSlash == std::string::npos ? m_strPath : m_strPath.substr(nSlash + 1);
}
