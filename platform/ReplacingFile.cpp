#include "platform/ReplacingFile.h"

#include "platform/FileIdentity.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr size_t WRITE_BLOCK = size_t{1} << 24;

std::string Quoted(const std::string &path) { return "\"" + path + "\""; }

// Makes the rename of a file in folder reach the disk.
void SyncFolder(const std::string &folder, const std::string &target) {
  const int nFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (nFd < 0) {
    CFileException::ThrowErrno(errno, folder, "Opening the folder of " + Quoted(target) + ",");
  }
  // Some file systems cannot synchronise a folder (EINVAL); their renames are as safe as they get.
  if (::fsync(nFd) != 0 && errno != EINVAL) {
    const int nError = errno;
    ::close(nFd);
    CFileException::ThrowErrno(nError, folder, "Synchronising the folder of " + Quoted(target) + ",");
  }
  ::close(nFd);
}

} // namespace

CReplacingFile::CReplacingFile(const std::string &strPath, bool bSync)
    : m_strPath(strPath), m_strTarget(ResolvedPath(strPath)), m_bSync(bSync) {
  struct stat st {};
  const bool bExists = ::stat(m_strTarget.c_str(), &st) == 0;
  try {
    if (bExists && S_ISDIR(st.st_mode)) {
      CFileException::ThrowErrno(EISDIR, m_strPath, "Writing");
    }
    m_bDirect = bExists && !S_ISREG(st.st_mode);
    if (m_bDirect) {
      m_strPartial = m_strTarget;
      m_file.OpenOrThrow(m_strTarget, CFile::modeWrite | CFile::shareDenyNone | CFile::typeStream);
      return;
    }
    m_strPartial = m_strTarget + PARTIAL_SUFFIX;
    // Exclusive: a second writer of the same target is refused instead of mixing its bytes in.
    m_file.OpenOrThrow(m_strPartial, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    m_bCreated = true;
  } catch (const CFileException &e) {
    Fail(e);
  }
}

CReplacingFile::~CReplacingFile() {
  if (!m_bCommitted) {
    Discard();
  }
}

void CReplacingFile::Write(const void *pBuffer, uint32_t nCount) {
  try {
    m_file.Write(pBuffer, nCount);
  } catch (const CFileException &e) {
    Fail(e);
  }
}

void CReplacingFile::Close() {
  if (!m_file.IsOpen()) {
    return;
  }
  try {
    if (m_bSync && !m_bDirect) {
      m_file.Flush();
    }
    m_file.Close();
  } catch (const CFileException &e) {
    Fail(e);
  }
}

void CReplacingFile::Commit() {
  Close();
  try {
    if (m_bDirect) {
      m_bCommitted = true;
      return;
    }
    // The file keeps the permissions it had.
    std::error_code ignored;
    if (const auto status = fs::status(m_strTarget, ignored); fs::exists(status)) {
      fs::permissions(m_strPartial, status.permissions(), ignored);
    }
    if (std::rename(m_strPartial.c_str(), m_strTarget.c_str()) != 0) {
      CFileException::ThrowErrno(errno, m_strTarget, "Renaming " + Quoted(m_strPartial) + " to");
    }
    m_bCommitted = true;
    if (m_bSync) {
      SyncFolder(fs::path(m_strTarget).parent_path().string(), m_strTarget);
    }
  } catch (const CFileException &e) {
    if (m_bCommitted) {
      throw CFileException(e.m_cause, m_strPath,
                           "Writing " + Quoted(m_strPath) + " may not have reached the disk: " + e.what());
    }
    Fail(e);
  }
}

void CReplacingFile::Discard() noexcept {
  m_file.Abort();
  if (m_bCreated && !m_bCommitted) {
    std::error_code ignored;
    fs::remove(m_strPartial, ignored);
    m_bCreated = false;
  }
}

void CReplacingFile::Fail(const CFileException &e) {
  Discard();
  const std::string strKept = m_bDirect ? "" : ", and it was left as it was";
  throw CFileException(e.m_cause, m_strPath, "Writing " + Quoted(m_strPath) + " failed" + strKept + ": " + e.what());
}

void ReplaceFileContents(const std::string &strPath, const uint8_t *pBytes, size_t nSize, bool bSync) {
  CReplacingFile file(strPath, bSync);
  for (size_t nPos = 0; nPos < nSize; nPos += WRITE_BLOCK) {
    file.Write(pBytes + nPos, static_cast<uint32_t>(std::min(WRITE_BLOCK, nSize - nPos)));
  }
  file.Commit();
}
