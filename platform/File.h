#pragma once

#include "platform/FileException.h"

#include <cstdint>
#include <string>

// A file held open for one operation. Every failure raises CFileException naming the file.
//
// Sharing follows the modes of the desktop platform the collector grew up on, enforced with
// advisory locks: shareExclusive keeps every other opener out, shareDenyWrite keeps other writers
// out (a writer holds the file alone, readers share it), shareDenyNone takes no lock.
class CFile {
public:
  enum OpenFlags : unsigned {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyNone = 0x0040,
    modeNoTruncate = 0x1000,
    modeCreate = 0x2000,
    // The file may be a pipe, a FIFO or a device, opened as any program opens it (a FIFO's open
    // waits for its other end). Without it only a regular file is opened: the open never waits,
    // and anything else is refused with invalidFile, naming what it is.
    typeStream = 0x4000,
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  CFile() = default;
  CFile(const CFile &) = delete;
  CFile &operator=(const CFile &) = delete;
  virtual ~CFile();

  // Opens path (a regular file unless typeStream is given). On failure returns false and, when pError is given, fills
  // it; nothing is raised.
  bool Open(const std::string &path, unsigned flags, CFileException *pError = nullptr);
  // Opens path or raises the failure.
  void OpenOrThrow(const std::string &path, unsigned flags);
  bool IsOpen() const { return m_nFd >= 0; }

  // Reads up to nCount bytes; fewer only at the end of the file.
  uint32_t Read(void *pBuffer, uint32_t nCount);
  // Reads exactly nCount bytes or raises endOfFile naming the offset where the data ran out.
  void ReadExactly(void *pBuffer, uint32_t nCount);
  // Writes all nCount bytes or raises (diskFull when the device takes no more).
  void Write(const void *pBuffer, uint32_t nCount);
  // Makes what has been written reach the storage device before returning (data and metadata).
  void Flush();
  // Makes the file's data reach the storage device before returning (fdatasync): what has been
  // written, and the length when it grew; not its times.
  void SyncData();
  // Makes the entries of the folder holding path (a file created, renamed or removed there)
  // reach the storage device. Raises CFileException naming the folder; a file system that
  // cannot synchronise folders is taken as done.
  static void SyncFolderOf(const std::string &path);

  uint64_t Seek(int64_t nOffset, SeekPosition from);
  uint64_t SeekToEnd() { return Seek(0, end); }
  void SeekToBegin() { Seek(0, begin); }
  uint64_t GetPosition() const;
  // The length of a regular file. A pipe, FIFO or device has none to tell: raises invalidFile
  // saying that the file must be a regular file.
  uint64_t GetLength() const;

  // Closes the file, raising a failure the system reports for the close itself.
  void Close();
  // Closes the file and swallows every failure; used on error paths.
  void Abort() noexcept;

  const std::string &GetFilePath() const { return m_strPath; }
  // The file name without its folder.
  std::string GetFileName() const;

private:
  int m_nFd = -1;
  std::string m_strPath;
};
