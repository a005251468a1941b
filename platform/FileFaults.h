#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Storage faults that tests switch on to see how the system copes with a full disk or a file
// that another program holds. Off unless a test turns them on; they cost one check per call.
class CFileFaults {
public:
  // After nBytes more bytes have been written (through any CFile), every write fails as if the
  // disk were full, overwrites within a file included (a device that refuses every write). A
  // negative value switches the fault off.
  static void FailWritesAfter(int64_t nBytes);
  // A disk with room for nBytes more bytes: writes that extend a file beyond its end take room,
  // and once it is used up they fail as ENOSPC; overwriting bytes a file already holds needs no
  // room and keeps working, as on a real full disk. A negative value switches the fault off.
  static void FillDiskAfter(int64_t nBytes);
  // Every open of path fails with the given errno value until Reset.
  static void FailOpen(const std::string &path, int nErrno);
  // Every open of path for writing fails with the given errno value until Reset; it can still be
  // read (a file whose folder or permissions another program changed).
  static void FailOpenForWriting(const std::string &path, int nErrno);
  // Called after every write through CFile with the file, the offset written at and the bytes
  // that reached the file, so that a test can keep the file as it stands after each write: the
  // states a process killed at that moment leaves behind. An empty function stops it.
  using WriteWatcher = std::function<void(const std::string &path, uint64_t nOffset, uint32_t nCount)>;
  static void WatchWrites(WriteWatcher fnWatcher);
  // Called after every synchronisation to the disk through CFile (a file's data, or a folder's
  // entries) with the path synchronised. An empty function stops it.
  using SyncWatcher = std::function<void(const std::string &path)>;
  static void WatchSyncs(SyncWatcher fnWatcher);
  static void Reset();

  // Used by CFile: how many of nCount bytes may be written now (the rest fails); the first
  // nInPlace of them overwrite bytes the file already holds.
  static uint32_t WritableBytes(uint32_t nCount, uint32_t nInPlace = 0);
  // Used by CFile: whether WritableBytes needs to know how much of a write is in place.
  static bool IsFillingDisk();
  // Used by CFile: the errno an open of path must fail with, or 0.
  static int OpenError(const std::string &path, bool bWrite = false);
  // Used by CFile: whether writes are watched, and the report of one.
  static bool IsWatchingWrites();
  static void Written(const std::string &path, uint64_t nOffset, uint32_t nCount);
  // Used by CFile: the report of a synchronisation.
  static void Synced(const std::string &path);
};
