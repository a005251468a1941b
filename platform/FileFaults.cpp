#include "platform/FileFaults.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {
std::mutex g_mutex;
std::atomic<bool> g_bActive{false};
int64_t g_nWriteBudget = -1;
std::map<std::string, int> g_openErrors;
CFileFaults::WriteWatcher g_fnWatcher;
std::atomic<bool> g_bWatching{false};

void UpdateActive() { g_bActive = g_nWriteBudget >= 0 || !g_openErrors.empty(); }
} // namespace

void CFileFaults::FailWritesAfter(int64_t nBytes) {
  std::lock_guard lock(g_mutex);
  g_nWriteBudget = nBytes < 0 ? -1 : nBytes;
  UpdateActive();
}

void CFileFaults::FailOpen(const std::string &path, int nErrno) {
  std::lock_guard lock(g_mutex);
  g_openErrors[path] = nErrno;
  UpdateActive();
}

void CFileFaults::WatchWrites(WriteWatcher fnWatcher) {
  std::lock_guard lock(g_mutex);
  g_fnWatcher = std::move(fnWatcher);
  g_bWatching = static_cast<bool>(g_fnWatcher);
}

void CFileFaults::Reset() {
  std::lock_guard lock(g_mutex);
  g_nWriteBudget = -1;
  g_openErrors.clear();
  g_fnWatcher = nullptr;
  g_bWatching = false;
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

uint32_t CFileFaults::WritableBytes(uint32_t nCount) {
  if (!g_bActive) {
    return nCount;
  }
  std::lock_guard lock(g_mutex);
  if (g_nWriteBudget < 0) {
    return nCount;
  }
  const uint32_t nAllowed = g_nWriteBudget < nCount ? static_cast<uint32_t>(g_nWriteBudget) : nCount;
  g_nWriteBudget -= nAllowed;
  return nAllowed;
}

int CFileFaults::OpenError(const std::string &path) {
  if (!g_bActive) {
    return 0;
  }
  std::lock_guard lock(g_mutex);
  const auto it = g_openErrors.find(path);
  return it == g_openErrors.end() ? 0 : it->second;
}
