// The window's memory over a working day's walking: the real link and the simulated unit measuring
// 1000 levels per second on each of two channels (its 38400 baud line carries about 415 of them),
// offscreen, on a clock that runs SPEED times faster than real time. A short walk first (the
// baseline), then a long one; the resident memory (RSS) and the heap in use are read before each
// walk, every few simulated minutes while walking and after STOP. Prints the growth of each walk
// in MB after STOP (what stays, walk after walk, over a working day), the growth per simulated
// hour and the ratio of the long walk's growth per minute to the short one's, and what the long
// walk held just before its STOP. No coverage is shown unless asked for: its bins grow with the
// walk by design.
//
//   bench_view_memory [MINUTES [SPEED [coverage]]]   (default 30 simulated minutes, SPEED 20)
//
// Exit code 1 when the walk could not be made, or the long walk leaves more than 0.5 MB of
// resident memory behind after STOP.
#include "app/Brackwell.h"
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "platform/SimulatedReceiver.h"
#include "projection/ProjectionHeader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr uint32_t LEVELS_PER_SECOND = 1000;
constexpr int BASELINE_MINUTES = 3;
constexpr int REPORT_EVERY_MINUTES = 5;
constexpr double GROWTH_LIMIT_MB = 0.5; // the most a long walk may leave behind after STOP
constexpr int SETTLE_MS = 1000;
constexpr int GUARD_MS = 60000; // the link and the view catch up long before this

struct _memory {
  double dRssMb = 0;      // resident set
  double dHeapMb = 0;     // allocated by malloc and in use, all arenas and mapped blocks
  double dHeapFreeMb = 0; // held by malloc's arenas but free
};

_memory ReadMemory() {
  _memory memory;
  std::ifstream statm("/proc/self/statm");
  unsigned long nSize = 0;
  unsigned long nResident = 0;
  statm >> nSize >> nResident;
  memory.dRssMb = static_cast<double>(nResident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
  const struct mallinfo2 info = mallinfo2();
  memory.dHeapMb = static_cast<double>(info.uordblks + info.hblkhd) / 1048576.0;
  memory.dHeapFreeMb = static_cast<double>(info.fordblks) / 1048576.0;
  return memory;
}

void Print(const char *pszWhat, const _memory &memory) {
  std::printf("%-40s RSS %8.2f MB   heap in use %8.2f MB   heap free %7.2f MB\n", pszWhat, memory.dRssMb,
              memory.dHeapMb, memory.dHeapFreeMb);
  std::fflush(stdout);
}

// Runs the event loop until fnDone holds (or the guard ends it); true when it held.
template <class Done> bool LoopUntil(Done fnDone, int nGuardMs = GUARD_MS) {
  QElapsedTimer guard;
  guard.start();
  while (!fnDone() && guard.elapsed() < nGuardMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return fnDone();
}

// Runs the event loop for nMs.
void LoopFor(int nMs) {
  QEventLoop loop;
  QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
  loop.exec();
}

CBrackwell &LinkOf(const CTarvexCollectorView &view) {
  return static_cast<CBrackwell &>(view.findChild<CConnectionDialog *>()->m_Link);
}

uint64_t LevelsTaken(const CCollectionRun &run) { return run.GetLevelsReceived(1) + run.GetLevelsReceived(2); }

// The unit at its top rate on both channels, its time running dSpeed times faster than real time.
std::shared_ptr<CSimulatedReceiver> ConnectReceiver(CTarvexCollectorView &view, double dSpeed) {
  D2xxDisableAllBackends();
  auto pUnit = std::make_shared<CSimulatedReceiver>();
  pUnit->SetDelivery(SimDelivery::wireSpeed);
  pUnit->StartRealTime(dSpeed);
  D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(pUnit));
  pUnit->SetSampleRate(LEVELS_PER_SECOND);
  pUnit->SetChannelCount(2);
  CBrackwell &link = LinkOf(view);
  link.SetTarget(&view);
  if (!link.StartWorker() || !link.Open(pUnit->GetIdentity().strBridgeSerial, 38400)) {
    std::fprintf(stderr, "the simulated receiver could not be opened\n");
    return nullptr;
  }
  return pUnit;
}

// A new survey on a plan of 800 x 600 (1 cm per pixel), the receiver described and measuring.
bool OpenSurvey(CTarvexCollectorView &view, CSimulatedReceiver &unit, const std::string &strPath, bool bCoverage) {
  LinkOf(view).SendCommandByte(CMD_RECEIVER_INFO);
  CSurveySession &session = view.Session();
  if (!LoopUntil([&] { return session.Run().GetDescriptionCount() >= 1; })) {
    std::fprintf(stderr, "the receiver did not describe itself\n");
    return false;
  }
  CSiteProjection &projection = session.Projection();
  projection.m_nKind = PROJECTION_LINEAR;
  SetProjectionTransform(projection, {0.01, 0, 0, 0.01, 0, 0});
  QImage plan(800, 600, QImage::Format_RGB32);
  plan.fill(Qt::white);
  view.ShowPlan(plan);
  if (bCoverage) {
    view.OnCoverageChannel1();
  }
  unit.SetMeasurementMode(true);
  if (!session.Open(strPath, CSiteData::modeCreateNew) ||
      !LoopUntil([&] { return session.Run().GetChannelReportCount() >= 1; })) {
    std::fprintf(stderr, "the survey could not be made\n");
    return false;
  }
  return true;
}

struct _walk {
  _memory before;
  _memory walking; // at the walk's end, before STOP
  _memory after;   // after STOP
  uint64_t nLevels = 0;
  double dRealSeconds = 0;
  bool bDone = false;
};

// One segment walked for nMinutes of the unit's time, from (100, 100) to (500, 100 + 20 * n).
_walk Walk(CTarvexCollectorView &view, CSimulatedReceiver &unit, int nMinutes, int nSegment, bool bReport) {
  _walk walk;
  CSurveySession &session = view.Session();
  const int nY = 100 + 20 * nSegment;
  if (!session.NewSegment() || !session.SetStartPoint({100, nY}) || !session.SetStopPoint({500, nY})) {
    std::fprintf(stderr, "segment %d could not be announced\n", nSegment);
    return walk;
  }
  LoopFor(200);
  walk.before = ReadMemory();
  const uint64_t nTakenAtBegin = LevelsTaken(session.Run());
  if (!session.Begin()) {
    std::fprintf(stderr, "segment %d could not begin\n", nSegment);
    return walk;
  }
  QElapsedTimer real;
  real.start();
  const uint64_t nStartMs = unit.GetTimeMs();
  for (int nMinute = REPORT_EVERY_MINUTES; nMinute < nMinutes + REPORT_EVERY_MINUTES; nMinute += REPORT_EVERY_MINUTES) {
    const uint64_t nUntilMs = nStartMs + static_cast<uint64_t>(std::min(nMinute, nMinutes)) * 60000;
    LoopUntil([&] { return unit.GetTimeMs() >= nUntilMs; }, 3600000);
    if (bReport && nMinute < nMinutes) {
      const std::string strWhat = "  walking, minute " + std::to_string(nMinute);
      Print(strWhat.c_str(), ReadMemory());
    }
  }
  const uint64_t nSent = unit.LevelsSent(1) + unit.LevelsSent(2);
  LoopUntil([&] { return LevelsTaken(session.Run()) >= nSent; });
  walk.walking = ReadMemory();
  walk.bDone = static_cast<bool>(session.Stop());
  walk.dRealSeconds = static_cast<double>(real.elapsed()) / 1000.0;
  walk.nLevels = LevelsTaken(session.Run()) - nTakenAtBegin;
  LoopFor(500);
  walk.after = ReadMemory();
  return walk;
}

void Report(const char *pszWhat, int nMinutes, const _walk &walk) {
  std::printf("%s: %d simulated minutes in %.1f s, %llu levels taken\n", pszWhat, nMinutes, walk.dRealSeconds,
              static_cast<unsigned long long>(walk.nLevels));
  Print("  before BEGIN", walk.before);
  Print("  walking, before STOP", walk.walking);
  Print("  after STOP", walk.after);
}

double Growth(const _walk &walk) { return walk.after.dRssMb - walk.before.dRssMb; }

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const int nMinutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  const double dSpeed = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 20.0;
  const bool bCoverage = argc > 3 && std::strcmp(argv[3], "coverage") == 0;
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

  CMainFrame frame;
  frame.resize(1280, 800);
  frame.show();
  CTarvexCollectorView &view = *frame.GetView();
  LoopFor(SETTLE_MS);

  const std::shared_ptr<CSimulatedReceiver> pUnit = ConnectReceiver(view, dSpeed);
  QTemporaryDir dir;
  if (!pUnit || !OpenSurvey(view, *pUnit, dir.filePath("bench.tvd").toStdString(), bCoverage)) {
    return 1;
  }
  std::printf("window memory, 2 channels measuring %u levels/s each, clock %.0f times real time, coverage %s\n",
              LEVELS_PER_SECOND, dSpeed, bCoverage ? "shown (its bins grow by design)" : "not shown");
  const _walk baseline = Walk(view, *pUnit, BASELINE_MINUTES, 1, false);
  const _walk day = Walk(view, *pUnit, nMinutes, 2, true);
  pUnit->SetMeasurementMode(false);
  Report("short walk (baseline)", BASELINE_MINUTES, baseline);
  Report("long walk", nMinutes, day);

  const double dBaseRate = Growth(baseline) / BASELINE_MINUTES;
  const double dDayRate = Growth(day) / nMinutes;
  std::printf("resident growth: baseline %+.2f MB (%+.2f MB/h), long walk %+.2f MB (%+.2f MB/h), ratio per minute "
              "%.2f\n",
              Growth(baseline), dBaseRate * 60, Growth(day), dDayRate * 60,
              dBaseRate != 0 ? dDayRate / dBaseRate : 0.0);
  std::printf("heap in use growth over the long walk %+.2f MB\n", day.after.dHeapMb - day.before.dHeapMb);
  std::printf("held while walking, before STOP (the walk's levels, freed at STOP): %+.2f MB resident, %+.2f MB heap\n",
              day.walking.dRssMb - day.before.dRssMb, day.walking.dHeapMb - day.before.dHeapMb);
  const bool bPassed = baseline.bDone && day.bDone && Growth(day) <= GROWTH_LIMIT_MB;
  std::printf("long walk leaves at most %.1f MB behind: %s\n", GROWTH_LIMIT_MB, bPassed ? "yes" : "NO");
  LinkOf(view).StopWorker();
  pUnit->StopRealTime();
  D2xxDisableAllBackends();
  return bPassed ? 0 : 1;
}
