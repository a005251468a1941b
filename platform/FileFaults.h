#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Storage faults that tests switch on to see how the system copes with a full disk or a file
// that another program holds. Off unless a test turns them on; they cost one check per call.
class CFileFaults {
public:
  // After nBytes more bytes have been written (through any CFile), every write fails as if the
  // disk were full. A negative value switches the fault off.
  static void FailWritesAfter(int64_t nBytes);
  // Every open of path fails with the given errno value until Reset.
  static void FailOpen(const std::string &path, int nErrno);
  // Called after every write through CFile with the file, the offset written at and the bytes
  // that reached the file, so that a test can keep the file as it stands after each write: the
  // states a process killed at that moment leaves behind. An empty function stops it.
  using WriteWatcher = std::function<void(const std::string &path, uint64_t nOffset, uint32_t nCount)>;
  static void WatchWrites(WriteWatcher fnWatcher);
  static void Reset();

  // Used by CFile: how many of nCount bytes may be written now (the rest fails).
  static uint32_t WritableBytes(uint32_t nCount);
  // Used by CFile: the errno an open of path must fail with, or 0.
  static int OpenError(const std::string &path);
  // Used by CFile: whether writes are watched, and the report of one.
  static bool IsWatchingWrites();
  static void Written(const std::string &path, uint64_t nOffset, uint32_t nCount);
};
