#include "app/SignalExit.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 2> EXIT_SIGNALS{SIGTERM, SIGINT};

// The pipe's write end, for the handler. -1 while no instance is installed.
volatile std::sig_atomic_t g_nWriteFd = -1;
std::array<struct sigaction, EXIT_SIGNALS.size()> g_previous{};

// Async-signal-safe: one write(2), errno kept as it was.
void OnExitSignal(int nSignal) {
  const int nSavedErrno = errno;
  const auto nByte = static_cast<unsigned char>(nSignal);
  if (g_nWriteFd >= 0) {
    (void)!write(g_nWriteFd, &nByte, 1);
  }
  errno = nSavedErrno;
}

} // namespace

CSignalExit::CSignalExit(std::function<void()> pfnClose, QObject *pParent)
    : QObject(pParent), m_pfnClose(std::move(pfnClose)) {
  std::array<int, 2> fds{-1, -1};
  if (pipe2(fds.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }
  m_nReadFd = fds[0];
  m_nWriteFd = fds[1];
  g_nWriteFd = m_nWriteFd;
  m_pNotifier = new QSocketNotifier(m_nReadFd, QSocketNotifier::Read, this);
  connect(m_pNotifier, &QSocketNotifier::activated, this, &CSignalExit::OnSignalled);
  struct sigaction action {};
  action.sa_handler = OnExitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < EXIT_SIGNALS.size(); ++i) {
    sigaction(EXIT_SIGNALS[i], &action, &g_previous[i]);
  }
}

CSignalExit::~CSignalExit() {
  if (m_pNotifier == nullptr) {
    return;
  }
  for (size_t i = 0; i < EXIT_SIGNALS.size(); ++i) {
    sigaction(EXIT_SIGNALS[i], &g_previous[i], nullptr);
  }
  g_nWriteFd = -1;
  delete m_pNotifier;
  close(m_nReadFd);
  close(m_nWriteFd);
}

void CSignalExit::OnSignalled() {
  std::array<unsigned char, 16> bytes{};
  ssize_t nRead = 0;
  int nSignals = 0;
  while ((nRead = read(m_nReadFd, bytes.data(), bytes.size())) > 0) {
    nSignals += static_cast<int>(nRead);
  }
  if (nSignals > 0 && m_pfnClose) {
    m_pfnClose();
  }
}
