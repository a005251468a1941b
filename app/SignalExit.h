#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGTERM and SIGINT end the program as closing its window does, without asking anyone. The
// handler only writes one byte to a pipe (async-signal-safe); the GUI thread reads it through a
// QSocketNotifier and calls the close function there, between other events. The previous
// handlers come back when this object goes. One instance at a time.
class CSignalExit : public QObject {
  Q_OBJECT

public:
  // pfnClose runs on the GUI thread after signals arrived, once for those that came together.
  explicit CSignalExit(std::function<void()> pfnClose, QObject *pParent = nullptr);
  ~CSignalExit() override;
  CSignalExit(const CSignalExit &) = delete;
  CSignalExit &operator=(const CSignalExit &) = delete;

  // Whether the pipe and the handlers are in place (false, e.g., when out of descriptors).
  bool IsInstalled() const { return m_pNotifier != nullptr; }

private:
  void OnSignalled();

  std::function<void()> m_pfnClose;
  int m_nReadFd = -1;
  int m_nWriteFd = -1;
  QSocketNotifier *m_pNotifier = nullptr;
};
