#pragma once

#include <string>

// Marks a file as being written by one holder for as long as the holder works on it (a survey
// open in a collector), while the file itself is opened only for each single write.
//
// It is an advisory lock on the file (flock), taken without waiting: a second holder, in this
// program or another, is refused, and so is every CFile open that shuts out writers
// (shareDenyWrite for writing, and shareExclusive). CFile readers that share (shareDenyNone) go
// on reading. The system drops the lock when its holder ends, however it ends.
class CFileLock {
public:
  CFileLock() = default;
  CFileLock(const CFileLock &) = delete;
  CFileLock &operator=(const CFileLock &) = delete;
  virtual ~CFileLock();

  // Takes the lock on path, creating an empty file there first when bCreate and there is none.
  // Returns false, holding nothing, when another holder has it. Raises CFileException naming
  // the file when it cannot be opened (missing, no permission, a folder).
  bool Acquire(const std::string &path, bool bCreate);
  // Gives the lock up; nothing happens when none is held.
  void Release() noexcept;
  bool IsHeld() const { return m_nFd >= 0; }
  // Whether the file held is a regular file (not a device, a pipe or a socket).
  bool IsRegularFile() const;

private:
  int m_nFd = -1;
};
