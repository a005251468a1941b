// The view's packet handling under the receiver's top rate: the real link and the simulated unit
// measuring 1000 levels per second on each of two channels, in real time, offscreen, a segment
// walked. The unit sends at its line's pace (38400 baud carries about 415 levels a second on each
// of two channels) and drops what its line cannot take, as a real one. Measures how late the
// window's event loop answers a 5 ms timer, first with no receiver (the baseline) and then during
// the walk, prints the 99th percentile and the maximum of both and their ratios, the rate that
// reached the file and what the unit dropped, and checks that every level the view took during
// the walk is in the file and that the link lost none. The coverage of channel 1 is shown over
// the plan (1 cm per plan pixel) all along, growing with the walk as in the window.
//
//   bench_view_packets [SECONDS]      (default 5)
//
// Exit code 1 when a level is missing or the loop stalled for more than 50 ms.
#include "app/Brackwell.h"
#include "app/MainFrame.h"
#include "app/TarvexCollectorView.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "platform/SimulatedReceiver.h"
#include "projection/ProjectionHeader.h"
#include "survey/SurveyReader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int TICK_MS = 5;            // the timer whose lateness is the loop's latency
constexpr double STALL_LIMIT_MS = 50; // the most the window may be held up
constexpr int BASELINE_SECONDS = 2;
constexpr int SETTLE_MS = 1000;
constexpr uint32_t LEVELS_PER_SECOND = 1000;
constexpr int DRAIN_GUARD_MS = 10000; // the link and view catch up long before this

struct _latency {
  double dP99Ms = 0;
  double dMaxMs = 0;
  size_t nTicks = 0;
};

// Runs the event loop for nMs with a precise 5 ms timer and returns how late its ticks came.
_latency MeasureLoop(int nMs) {
  std::vector<double> lateness;
  QElapsedTimer clock;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(TICK_MS);
  qint64 nLast = 0;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 nNow = clock.nsecsElapsed();
    lateness.push_back(std::max(0.0, static_cast<double>(nNow - nLast) / 1e6 - TICK_MS));
    nLast = nNow;
  });
  QEventLoop loop;
  QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
  clock.start();
  tick.start();
  loop.exec();
  tick.stop();
  _latency result;
  result.nTicks = lateness.size();
  if (!lateness.empty()) {
    std::sort(lateness.begin(), lateness.end());
    result.dP99Ms = lateness[std::min(lateness.size() - 1, lateness.size() * 99 / 100)];
    result.dMaxMs = lateness.back();
  }
  return result;
}

// Runs the event loop until fnDone holds (or the guard ends it); true when it held.
template <class Done> bool LoopUntil(Done fnDone) {
  QElapsedTimer guard;
  guard.start();
  while (!fnDone() && guard.elapsed() < DRAIN_GUARD_MS) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return fnDone();
}

// A new survey and a plan of 800 x 600 with segment 1 announced and its points set, as Open
// Collection and the segment dialog leave them before the unit is put in measurement mode (a
// survey takes its channels from the channel reports that come while it is open).
bool PrepareWalk(CTarvexCollectorView &view, const std::string &strPath) {
  CSurveySession &session = view.Session();
  CSiteProjection &projection = session.Projection();
  projection.m_nKind = PROJECTION_LINEAR;
  SetProjectionTransform(projection, {0.01, 0, 0, 0.01, 0, 0});
  QImage plan(800, 600, QImage::Format_RGB32);
  plan.fill(Qt::white);
  view.ShowPlan(plan);
  view.OnCoverageChannel1();
  return session.Open(strPath, CSiteData::modeCreateNew) && session.NewSegment() && session.SetStartPoint({100, 100}) &&
         session.SetStopPoint({500, 100});
}

// The window's receiver link, which its connection dialog owns.
CBrackwell &LinkOf(const CTarvexCollectorView &view) {
  return static_cast<CBrackwell &>(view.findChild<CConnectionDialog *>()->m_Link);
}

uint64_t LevelsTaken(const CCollectionRun &run) { return run.GetLevelsReceived(1) + run.GetLevelsReceived(2); }

void Print(const char *pszWhat, const _latency &latency) {
  std::printf("%-34s p99 %7.2f ms   max %7.2f ms   (%zu ticks)\n", pszWhat, latency.dP99Ms, latency.dMaxMs,
              latency.nTicks);
}

// The unit, at its top rate on both channels, in real time, at its line's pace as the window's
// --simulate has it. Null (with a message) when it cannot be opened.
std::shared_ptr<CSimulatedReceiver> ConnectReceiver(CTarvexCollectorView &view) {
  D2xxDisableAllBackends();
  auto pUnit = std::make_shared<CSimulatedReceiver>();
  pUnit->SetDelivery(SimDelivery::wireSpeed);
  pUnit->StartRealTime(); // the line moves bytes only as time passes
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

// The receiver's ranges, then measurement mode: the channel report sets the survey's channels.
// False (with a message) when any step fails.
bool BeginWalk(CTarvexCollectorView &view, CSimulatedReceiver &unit, const std::string &strPath) {
  LinkOf(view).SendCommandByte(CMD_RECEIVER_INFO);
  CSurveySession &session = view.Session();
  if (!LoopUntil([&] { return session.Run().GetDescriptionCount() >= 1; })) {
    std::fprintf(stderr, "the receiver did not describe itself\n");
    return false;
  }
  if (!PrepareWalk(view, strPath)) {
    std::fprintf(stderr, "the survey could not be made\n");
    return false;
  }
  unit.SetMeasurementMode(true);
  if (!LoopUntil([&] { return session.Run().GetChannelReportCount() >= 1; }) ||
      session.SiteData()->GetChannelCount() != 2 || !session.Begin()) {
    std::fprintf(stderr, "the walk could not begin\n");
    return false;
  }
  return true;
}

struct _walkend {
  uint64_t nSent = 0;      // levels the unit sent on both channels
  uint64_t nDropped = 0;   // levels it measured but its line could not take
  uint32_t nLineRate = 0;  // the most levels per second on each channel the line carries
  double dWalkSeconds = 0; // from BEGIN to ESC
  uint64_t nTaken = 0;     // levels the view took during the walk
  bool bCaughtUp = false;
  bool bStopped = false;
  _surveycontents contents; // the survey file as read back after STOP
};

// ESC, the link and the view catch up with every level sent, then STOP; the file is read back.
_walkend EndWalk(CTarvexCollectorView &view, CSimulatedReceiver &unit, const std::string &strPath,
                 uint64_t nTakenAtBegin, const QElapsedTimer &walkClock) {
  _walkend end;
  unit.SetMeasurementMode(false);
  end.dWalkSeconds = static_cast<double>(walkClock.elapsed()) / 1000.0;
  end.nSent = unit.LevelsSent(1) + unit.LevelsSent(2);
  end.nDropped = unit.LevelsDropped(1) + unit.LevelsDropped(2);
  end.nLineRate = unit.LineLevelRate();
  const CCollectionRun &run = view.Session().Run();
  end.bCaughtUp = LoopUntil([&] { return LevelsTaken(run) >= end.nSent; });
  end.nTaken = LevelsTaken(run) - nTakenAtBegin;
  end.bStopped = static_cast<bool>(view.Session().Stop());
  unit.StopRealTime();
  const auto bytes = LoadSurveyFile(strPath, CFile::shareDenyNone);
  end.contents = ParseSurvey(bytes.data(), bytes.size());
  return end;
}

// Prints the latencies, their ratios and the level counts; true when every level of the walk is
// in the file and the loop never stalled beyond the limit.
bool Report(int nSeconds, const _latency &baseline, const _latency &walking, const CTarvexCollectorView &view,
            const _walkend &end) {
  const CCollectionRun &run = view.Session().Run();
  std::printf("view packet handling, 2 channels measuring %u levels/s each, %d s walked\n", LEVELS_PER_SECOND,
              nSeconds);
  Print("event loop, no receiver (baseline)", baseline);
  Print("event loop, walking", walking);
  std::printf("ratio walking / baseline            p99 %7.2f      max %7.2f\n",
              baseline.dP99Ms > 0 ? walking.dP99Ms / baseline.dP99Ms : 0.0,
              baseline.dMaxMs > 0 ? walking.dMaxMs / baseline.dMaxMs : 0.0);
  std::printf("levels sent %llu, taken by the view %llu, taken during the walk %llu, in the file %llu\n",
              static_cast<unsigned long long>(end.nSent), static_cast<unsigned long long>(LevelsTaken(run)),
              static_cast<unsigned long long>(end.nTaken), static_cast<unsigned long long>(end.contents.LevelCount()));
  std::printf("measured %u levels/s on each channel; reached the file %.0f levels/s on each channel over the "
              "%.2f s walk (the line carries at most %u); dropped by the unit %llu\n",
              LEVELS_PER_SECOND, static_cast<double>(end.contents.LevelCount()) / 2.0 / end.dWalkSeconds,
              end.dWalkSeconds, end.nLineRate, static_cast<unsigned long long>(end.nDropped));
  const CCoverage *pCoverage = view.ShownCoverage();
  std::printf("coverage of channel 1 shown: %zu cells with a level\n",
              pCoverage != nullptr ? static_cast<size_t>(pCoverage->Figures(1).nCells) : size_t{0});
  const bool bAllLevels =
      end.bCaughtUp && end.bStopped && end.contents.IsSound() && end.contents.LevelCount() == end.nTaken;
  const bool bNoStall = walking.dMaxMs <= STALL_LIMIT_MS;
  std::printf("every level of the walk in the file: %s; longest stall within %.0f ms: %s\n", bAllLevels ? "yes" : "NO",
              STALL_LIMIT_MS, bNoStall ? "yes" : "NO");
  return bAllLevels && bNoStall;
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const int nSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  // The coverage shown is kept with the program's settings: those of this run, not the user's.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

  CMainFrame frame;
  frame.resize(1280, 800);
  frame.show();
  CTarvexCollectorView &view = *frame.GetView();
  MeasureLoop(SETTLE_MS); // the window's first layout and paint are no part of the baseline
  const _latency baseline = MeasureLoop(BASELINE_SECONDS * 1000);

  const std::shared_ptr<CSimulatedReceiver> pUnit = ConnectReceiver(view);
  if (!pUnit) {
    return 1;
  }
  QTemporaryDir dir;
  const std::string strPath = dir.filePath("bench.tvd").toStdString();
  if (!BeginWalk(view, *pUnit, strPath)) {
    return 1;
  }
  QElapsedTimer walkClock;
  walkClock.start();
  const uint64_t nTakenAtBegin = LevelsTaken(view.Session().Run());
  const _latency walking = MeasureLoop(nSeconds * 1000);
  const _walkend end = EndWalk(view, *pUnit, strPath, nTakenAtBegin, walkClock);

  const bool bPassed = Report(nSeconds, baseline, walking, view, end);
  LinkOf(view).StopWorker();
  D2xxDisableAllBackends();
  return bPassed ? 0 : 1;
}
