#include "platform/FileIdentity.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// More links than this in a row are taken for a loop, as the system does.
constexpr int MAX_LINKS = 40;

} // namespace

std::string ResolvedPath(const std::string &path) {
  std::error_code error;
  fs::path current = fs::absolute(path, error);
  if (error) {
    return path;
  }
  // The last component may be a link to a file that does not exist yet: follow it by hand, since
  // canonical forms stop at the first component that does not exist.
  for (int nLinks = 0; fs::is_symlink(fs::symlink_status(current, error)); ++nLinks) {
    const fs::path target = fs::read_symlink(current, error);
    if (error || nLinks == MAX_LINKS) {
      return path;
    }
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  const fs::path resolved = fs::weakly_canonical(current, error);
  return error ? current.lexically_normal().string() : resolved.string();
}

bool IsSameFile(const std::string &a, const std::string &b) {
  struct stat first {};
  struct stat second {};
  if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  }
  return ResolvedPath(a) == ResolvedPath(b);
}

std::optional<std::string> FindSameFile(const std::string &path, const std::vector<std::string> &others) {
  for (const std::string &other : others) {
    if (IsSameFile(path, other)) {
      return other;
    }
  }
  return std::nullopt;
}
