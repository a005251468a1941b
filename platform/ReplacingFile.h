#pragma once

#include "platform/File.h"

#include <cstdint>
#include <string>
#include <vector>

// An output written whole or not at all. The bytes go to a temporary file beside the target
// (target + ".partial"), which Commit renames over the target once everything is written: until
// then the target keeps what it held, and a failed write, a failed Commit or an object destroyed
// without Commit removes the temporary file again. A crash leaves at most the temporary file.
//
// A symbolic link is followed, so the file it points to is replaced and the link stays. A target
// that is a device or a pipe (/dev/null, a FIFO) cannot be replaced and is written directly.
//
// With bSync, the temporary file reaches the disk before it is renamed and the rename reaches the
// folder before Commit returns, so a power loss leaves either the old file or the new one whole.
// Outputs made again at every run (a projection's side files) need not pay for it.
//
// Every failure raises CFileException naming the target, saying that it was left as it was, and
// giving what failed.
class CReplacingFile {
public:
  CReplacingFile(const std::string &strPath, bool bSync);
  CReplacingFile(const CReplacingFile &) = delete;
  CReplacingFile &operator=(const CReplacingFile &) = delete;
  virtual ~CReplacingFile();

  void Write(const void *pBuffer, uint32_t nCount);
  // Ends the writing: the temporary file is complete and may be read (GetTemporaryPath) before
  // Commit puts it in place. Commit does it when it has not been done.
  void Close();
  // Puts the written bytes in place of the target.
  void Commit();
  // Drops what was written; the target stays as it was. Never raises.
  void Discard() noexcept;

  const std::string &GetPath() const { return m_strPath; }
  // Where the bytes go until Commit (the target itself for a device or a pipe).
  const std::string &GetTemporaryPath() const { return m_strPartial; }

  static constexpr const char *PARTIAL_SUFFIX = ".partial";

private:
  [[noreturn]] void Fail(const CFileException &e);

  std::string m_strPath;    // as the caller named it
  std::string m_strTarget;  // with symbolic links followed
  std::string m_strPartial; // the temporary file
  CFile m_file;
  bool m_bSync;
  bool m_bDirect = false; // a device or a pipe, written in place
  bool m_bCreated = false;
  bool m_bCommitted = false;
};

// Writes bytes to strPath through a CReplacingFile, in blocks.
void ReplaceFileContents(const std::string &strPath, const uint8_t *pBytes, size_t nSize, bool bSync);
