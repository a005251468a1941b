// The survey report of a survey of 500 segments on the sample site, timed in one run against a
// baseline measured on the same survey in the same run: `tvdtool survey dump` of it (every segment
// and level written out as text). The target: the report is made within 10 s on a 2-core machine.
// The survey is walked by `tvdtool simulate` along a serpentine of 500 legs over the plan, 6 s a
// leg and both channels (about 480 levels a leg).
//
//   bench_report [PROJECTION]   (default: the sample site's geo-coded projection of this build)
#include "report/SurveyReport.h"
#include "tools/tvdtool/SurveyCommand.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int BENCH_SEGMENTS = 500;

double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Wall-clock and processor time since it was made; the machine may be shared with other work.
struct _stopwatch {
  Clock::time_point start = Clock::now();
  double dCpuStart = CpuSeconds();
  double Wall() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
  double Cpu() const { return CpuSeconds() - dCpuStart; }
};

const char *Met(bool bMet) { return bMet ? "met" : "NOT MET"; }

// A serpentine of nLegs legs over the sample site's 2000 x 1400 plan, 25 legs a row.
void WriteRoute(const std::string &path, int nLegs) {
  std::ofstream route(path);
  for (int i = 0; i <= nLegs; ++i) {
    const int nRow = i / 25;
    const int nColumn = nRow % 2 == 0 ? i % 25 : 24 - i % 25;
    route << 200 + nColumn * 64 << ' ' << 140 + nRow * 55 << '\n';
  }
}

} // namespace

int main(int argc, char **argv) {
  const std::string projection = argc > 1 ? argv[1] : TARVEX_SAMPLE_PROJECTION;
  const fs::path dir = fs::temp_directory_path() / ("tarvex-bench-report-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string route = (dir / "route.txt").string();
  const std::string survey = (dir / "walks.tvd").string();
  WriteRoute(route, BENCH_SEGMENTS);
  const std::string simulate = std::string(TARVEX_TVDTOOL) + " simulate --projection '" + projection + "' -o '" +
                               survey + "' --force --seconds-per-segment 6 --route '" + route + "' >/dev/null";
  bool bMet = false;
  if (std::system(simulate.c_str()) != 0) {
    std::fprintf(stderr, "bench_report: tvdtool simulate failed\n");
  } else {
    try {
      const _stopwatch dump;
      std::ostringstream text;
      DumpSurvey(survey, text, false);
      const double dDumpCpu = dump.Cpu();
      const double dDumpWall = dump.Wall();

      _reportrequest request;
      request.strSurvey = survey;
      request.strProjection = projection;
      request.strOutput = (dir / "walks.pdf").string();
      request.bGrid = true;
      const _stopwatch watch;
      const _surveyreport report = MakeSurveyReport(request);
      const double dCpu = watch.Cpu();
      const double dWall = watch.Wall();
      std::printf("survey of %zu segments (%.1f MB of dump text); baseline tvdtool survey dump: %.2f s processor, "
                  "%.2f s wall-clock\n",
                  report.nSegments, text.str().size() / 1e6, dDumpCpu, dDumpWall);
      std::printf("survey report with the grid test: %d pages, %.2f MB, %.2f s processor (%.1f x the dump), %.2f s "
                  "wall-clock (%.1f x the dump); target <= 10 s: %s\n",
                  report.nPages, report.pdf.size() / 1e6, dCpu, dCpu / dDumpCpu, dWall, dWall / dDumpWall,
                  Met(dWall <= 10));
      bMet = report.nSegments == BENCH_SEGMENTS && dWall <= 10;
    } catch (const std::exception &e) {
      std::fprintf(stderr, "bench_report: %s\n", e.what());
    }
  }
  fs::remove_all(dir);
  return bMet ? EXIT_SUCCESS : EXIT_FAILURE;
}
