#include "platform/FileFaults.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {
std::mutex g_mutex;
std::atomic<bool> g_bActive{false};
int64_t g_nWriteBudget = -1;
std::map<std::string, int> g_openErrors;

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

void CFileFaults::Reset() {
  std::lock_guard lock(g_mutex);
  g_nWriteBudget = -1;
  g_openErrors.clear();
  UpdateActive();
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
