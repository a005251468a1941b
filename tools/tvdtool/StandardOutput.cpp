#include "tools/tvdtool/StandardOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {

// The text for a failure; nErrno is 0 when the reason is not known any more.
std::string OutputFailure(int nErrno) {
  return nErrno == 0 ? std::string(OUTPUT_FAILED_TEXT) : std::string(OUTPUT_FAILED_TEXT) + ": " + std::strerror(nErrno);
}

// Opens path on descriptor nFd when nFd is closed.
void OccupyIfClosed(int nFd, int nFlags) {
  if (::fcntl(nFd, F_GETFD) != -1 || errno != EBADF) {
    return;
  }
  const int nOpened = ::open("/dev/null", nFlags);
  if (nOpened >= 0 && nOpened != nFd) {
    ::dup2(nOpened, nFd);
    ::close(nOpened);
  }
}

} // namespace

void GuardStandardStreams() {
  // In order: a closed descriptor is the lowest free one, so each open lands on its own.
  OccupyIfClosed(0, O_RDONLY);
  OccupyIfClosed(1, O_RDONLY); // read-only: every write fails with EBADF and is reported
  OccupyIfClosed(2, O_WRONLY);
}

std::optional<std::string> OutputProblem(const std::ostream &out) {
  // errno still holds why the last write failed.
  const int nErrno = errno;
  if (out) {
    return std::nullopt;
  }
  return OutputFailure(nErrno);
}

void CheckOutput(const std::ostream &out) {
  if (auto problem = OutputProblem(out)) {
    throw COutputFailed(*problem);
  }
}

std::string FinishStandardOutput() {
  errno = 0;
  std::cout.flush();
  int nErrno = errno;
  bool bFailed = !std::cout;
  // The stream hands its bytes to the C library's buffer, which is written out here.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    bFailed = true;
    nErrno = nErrno != 0 ? nErrno : errno;
  }
  return bFailed ? OutputFailure(nErrno) : "";
}
