#pragma once

#include <cstdint>
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
  static void Reset();

  // Used by CFile: how many of nCount bytes may be written now (the rest fails).
  static uint32_t WritableBytes(uint32_t nCount);
  // Used by CFile: the errno an open of path must fail with, or 0.
  static int OpenError(const std::string &path);
};
