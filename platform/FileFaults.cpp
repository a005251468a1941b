#include "platform/FileFaults.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

namespace {
std::mutex g_mutex;
std::atomic<bool> g_bActive{false};
int64_t g_nWriteBudget = -1;
std::atomic<bool> g_bFilling{false};
int64_t g_nDiskRoom = -1;
std::map<std::string, int> g_openErrors;
std::map<std::string, int> g_writeOpenErrors; // opens for writing only
CFileFaults::WriteWatcher g_fnWatcher;
std::atomic<bool> g_bWatching{false};
CFileFaults::SyncWatcher g_fnSyncWatcher;
std::atomic<bool> g_bWatchingSyncs{false};

void UpdateActive() {
  g_bFilling = g_nDiskRoom >= 0;
  g_bActive = g_nWriteBudget >= 0 || g_nDiskRoom >= 0 || !g_openErrors.empty() || !g_writeOpenErrors.empty();
}
} // namespace

void CFileFaults::FailWritesAfter(int64_t nBytes) {
  std::lock_guard lock(g_mutex);
  g_nWriteBudget = nBytes < 0 ? -1 : nBytes;
  UpdateActive();
}

void CFileFaults::FillDiskAfter(int64_t nBytes) {
  std::lock_guard lock(g_mutex);
  g_nDiskRoom = nBytes < 0 ? -1 : nBytes;
  UpdateActive();
}

void CFileFaults::FailOpen(const std::string &path, int nErrno) {
  std::lock_guard lock(g_mutex);
  g_openErrors[path] = nErrno;
  UpdateActive();
}

void CFileFaults::FailOpenForWriting(const std::string &path, int nErrno) {
  std::lock_guard lock(g_mutex);
  g_writeOpenErrors[path] = nErrno;
  UpdateActive();
}

void CFileFaults::WatchWrites(WriteWatcher fnWatcher) {
  std::lock_guard lock(g_mutex);
  g_fnWatcher = std::move(fnWatcher);
  g_bWatching = static_cast<bool>(g_fnWatcher);
}

void CFileFaults::WatchSyncs(SyncWatcher fnWatcher) {
  std::lock_guard lock(g_mutex);
  g_fnSyncWatcher = std::move(fnWatcher);
  g_bWatchingSyncs = static_cast<bool>(g_fnSyncWatcher);
}

void CFileFaults::Reset() {
  std::lock_guard lock(g_mutex);
  g_nWriteBudget = -1;
  g_nDiskRoom = -1;
  g_openErrors.clear();
  g_writeOpenErrors.clear();
  g_fnWatcher = nullptr;
  g_bWatching = false;
  g_fnSyncWatcher = nullptr;
  g_bWatchingSyncs = false;
  UpdateActive();
}

bool CFileFaults::IsWatchingWrites() { return g_bWatching; }

void CFileFaults::Written(const std::string &path, uint64_t nOffset, uint32_t nCount) {
  WriteWatcher fnWatcher;
  {
    std::lock_guard lock(g_mutex);
    fnWatcher = g_fnWatcher;
  }
  // Called outside the lock: the watcher may read files, or switch the watching off.
  if (fnWatcher) {
    fnWatcher(path, nOffset, nCount);
  }
}

void CFileFaults::Synced(const std::string &path) {
  if (!g_bWatchingSyncs) {
    return;
  }
  SyncWatcher fnWatcher;
  {
    std::lock_guard lock(g_mutex);
    fnWatcher = g_fnSyncWatcher;
  }
  if (fnWatcher) {
    fnWatcher(path);
  }
}

bool CFileFaults::IsFillingDisk() { return g_bFilling; }

uint32_t CFileFaults::WritableBytes(uint32_t nCount, uint32_t nInPlace) {
  if (!g_bActive) {
    return nCount;
  }
  std::lock_guard lock(g_mutex);
  uint32_t nAllowed = nCount;
  if (g_nDiskRoom >= 0) {
    // Only what goes beyond the file's end takes room.
    const uint32_t nGrowth = nCount - std::min(nInPlace, nCount);
    const uint32_t nRoom = g_nDiskRoom < nGrowth ? static_cast<uint32_t>(g_nDiskRoom) : nGrowth;
    g_nDiskRoom -= nRoom;
    nAllowed = nCount - nGrowth + nRoom;
  }
  if (g_nWriteBudget >= 0) {
    nAllowed = g_nWriteBudget < nAllowed ? static_cast<uint32_t>(g_nWriteBudget) : nAllowed;
    g_nWriteBudget -= nAllowed;
  }
  return nAllowed;
}

int CFileFaults::OpenError(const std::string &path, bool bWrite) {
  if (!g_bActive) {
    return 0;
  }
  std::lock_guard lock(g_mutex);
  if (const auto it = g_openErrors.find(path); it != g_openErrors.end()) {
    return it->second;
  }
  if (const auto it = g_writeOpenErrors.find(path); bWrite && it != g_writeOpenErrors.end()) {
    return it->second;
  }
  return 0;
}
