// The map's painting, timed offscreen in one run against baselines measured in the same run: a
// 1920 x 1080 view over an 8000 x 6000 floor plan.
//   (a) one plain copy of a 1920 x 1080 image onto another (QPainter::drawImage), the baseline;
//   (b) with a survey of 60 segments over the plan, per state of the window (fit, zoom 2 and zoom 8
//       from fit, after a scroll): the median repaint with nothing changed (target <= 2 x a), and
//       the median repaint after a change of the window (target <= 16 ms);
//   (b') the same with the coverage of channel 1 shown over the plan (its overlay and legend);
//   (c) opening the plan: its bitmap file read to the first painted frame (the view's part of Open
//       Projection), against QImage loading the same plan as PNG (target <= 1.0 x);
//   (d) the peak memory (VmHWM) of a process that only opens the plan and paints it, against the
//       plan's 144 MB bitmap (target < 2.5 x).
//
//   bench_view_paint [--repeat N]
//   bench_view_paint --open FILE     (the process of d: prints its VmHWM in kB)
#include "app/TarvexCollectorView.h"
#include "dialogs/SegmentDataDialog.h"
#include "projection/BitmapFile.h"
#include "projection/ProjectionHeader.h"

#include <QApplication>
#include <QFont>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int PLAN_WIDTH = 8000;
constexpr int PLAN_HEIGHT = 6000;
constexpr int VIEW_WIDTH = 1920;
constexpr int VIEW_HEIGHT = 1080;
constexpr double BITMAP_MB = PLAN_WIDTH * 3.0 * PLAN_HEIGHT / 1e6;

double Milliseconds(const std::function<void()> &run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A floor plan drawn as a CAD export is: one-pixel walls on a 1 m grid (100 px), thicker outer
// walls, doors, furniture outlines and room labels.
QImage DrawPlan() {
  QImage plan(PLAN_WIDTH, PLAN_HEIGHT, QImage::Format_RGB32);
  plan.fill(Qt::white);
  QPainter painter(&plan);
  painter.setPen(QPen(QColor(200, 200, 200), 1));
  for (int x = 0; x < PLAN_WIDTH; x += 100) {
    painter.drawLine(x, 0, x, PLAN_HEIGHT - 1);
  }
  for (int y = 0; y < PLAN_HEIGHT; y += 100) {
    painter.drawLine(0, y, PLAN_WIDTH - 1, y);
  }
  painter.setPen(QPen(Qt::black, 1));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(28);
  painter.setFont(font);
  int nRoom = 0;
  for (int y = 200; y + 800 < PLAN_HEIGHT; y += 900) {
    for (int x = 200; x + 700 < PLAN_WIDTH; x += 750) {
      painter.drawRect(x, y, 700, 800);
      painter.fillRect(x + 300, y + 795, 100, 10, Qt::white); // the door
      painter.drawRect(x + 60, y + 80, 160, 70);              // a desk
      painter.drawEllipse(QPoint(x + 140, y + 200), 30, 30);  // its chair
      painter.drawText(QRect(x, y + 300, 700, 60), Qt::AlignCenter, QStringLiteral("Room %1").arg(++nRoom));
    }
  }
  painter.setPen(QPen(Qt::black, 12));
  painter.drawRect(100, 100, PLAN_WIDTH - 200, PLAN_HEIGHT - 200);
  return plan;
}

std::unique_ptr<CTarvexCollectorView> MakeView() {
  auto pView = std::make_unique<CTarvexCollectorView>();
  // The bars off, so that the client area is exactly 1920 x 1080.
  pView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pView->setFrameShape(QFrame::NoFrame);
  pView->resize(VIEW_WIDTH, VIEW_HEIGHT);
  pView->show();
  QApplication::processEvents();
  return pView;
}

// What Open Projection leaves once the bitmap is read: the plan shown 1:1 from its corner.
void ShowPlan(CTarvexCollectorView &view, const QImage &plan) {
  view.ShowPlan(plan);
  view.viewport()->repaint();
}

// A survey of 60 segments walked along the corridors, the last one current: the markers, numbers
// and lines drawn over the plan at every repaint.
void OpenSurvey(CTarvexCollectorView &view, const QString &strPath) {
  constexpr int SEGMENTS = 60;
  CSurveySession &session = view.Session();
  if (!session.Open(strPath.toStdString(), CSiteData::modeCreateNew)) {
    return;
  }
  // The markers put straight into the plan's tables: walking 60 segments would only time the disk.
  CSitePlan &plan = session.Plan();
  session.SiteData()->m_nSegmentCount = SEGMENTS;
  plan.m_nSegmentCount = SEGMENTS;
  for (int i = 0; i < SEGMENTS; ++i) {
    const int x = 300 + (i % 10) * 750;
    const int y = 1050 + (i / 10) * 900;
    plan.m_Start[i] = {0, 0, x, y, 0};
    plan.m_Stop[i] = {0, 0, x + 700, y + 20, 0};
  }
  view.findChild<CSegmentDataDialog *>()->m_nSegment = SEGMENTS;
  plan.UpdateScreenPositions();
}

long PeakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string strLine;
  while (std::getline(status, strLine)) {
    if (strLine.rfind("VmHWM:", 0) == 0) {
      return std::strtol(strLine.c_str() + 6, nullptr, 10);
    }
  }
  return -1;
}

int OpenOnly(const char *szPath) {
  auto pView = MakeView();
  const QImage plan(QString::fromLocal8Bit(szPath));
  if (plan.isNull()) {
    return 1;
  }
  ShowPlan(*pView, plan);
  // The levels built after the first frame, and the plan fitted: everything a session holds.
  QApplication::processEvents();
  pView->OnFitToDisplay();
  pView->viewport()->repaint();
  std::printf("%ld\n", PeakKilobytes());
  return 0;
}

struct _state {
  const char *szName;
  std::function<void(CTarvexCollectorView &)> fnEnter;  // from the loaded plan
  std::function<void(CTarvexCollectorView &)> fnChange; // a change of the window, undone by the next
};

void ScrollToAndFro(CTarvexCollectorView &view) {
  static bool bRight = true;
  QScrollBar *pBar = view.horizontalScrollBar();
  pBar->setValue(pBar->value() + (bRight ? 10 : -10));
  bRight = !bRight;
}

// The states of the window whose repaints are timed, each entered from the plan fitted.
std::vector<_state> WindowStates() {
  return {
      {"fit", [](CTarvexCollectorView &v) { v.OnFitToDisplay(); },
       [](CTarvexCollectorView &v) { v.Session().Plan().m_nZoom == 1 ? v.OnZoomIn() : v.OnZoomOut(); }},
      {"zoom 2", [](CTarvexCollectorView &v) { v.OnZoomIn(); }, ScrollToAndFro},
      {"zoom 8",
       [](CTarvexCollectorView &v) {
         v.OnZoomIn();
         v.OnZoomIn();
       },
       ScrollToAndFro},
      {"after a scroll",
       [](CTarvexCollectorView &v) {
         v.OnZoomIn();
         v.horizontalScrollBar()->setValue(2000);
         v.verticalScrollBar()->setValue(1000);
       },
       ScrollToAndFro},
  };
}

// The plan written as the 24-bit bitmap file the view opens and as PNG for Qt's own loader.
void WritePlanFiles(const QString &strBmp, const QString &strPng) {
  const QImage plan = DrawPlan();
  const QImage rgb = plan.convertToFormat(QImage::Format_RGB888);
  const std::vector<uint8_t> bitmap = MakeBitmapFile24(PLAN_WIDTH, PLAN_HEIGHT, rgb.constBits(), rgb.bytesPerLine());
  std::ofstream(strBmp.toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char *>(bitmap.data()), static_cast<std::streamsize>(bitmap.size()));
  plan.save(strPng);
}

// (a) The baseline: the median of nRepeat plain copies of one view-sized image onto another.
double TimeCopy(int nRepeat) {
  QImage source(VIEW_WIDTH, VIEW_HEIGHT, QImage::Format_RGB32);
  source.fill(QColor(120, 130, 140));
  QImage target(VIEW_WIDTH, VIEW_HEIGHT, QImage::Format_RGB32);
  std::vector<double> copies;
  for (int i = 0; i < nRepeat; ++i) {
    copies.push_back(Milliseconds([&] {
      QPainter painter(&target);
      painter.drawImage(0, 0, source);
    }));
  }
  return Median(copies);
}

struct _opentimes {
  double dOpen = 0;   // the bitmap file to the first frame
  double dShare = 0;  // the first frame once the bitmap is read
  double dLevels = 0; // the levels, built once that frame is shown
  double dPng = 0;    // QImage reading the PNG
};

// (c) Opening: the bitmap file to the first frame, against QImage reading the PNG; of it, the
// view's own share (the levels and the first frame once the bitmap is read). Medians of three.
_opentimes TimeOpening(const QString &strBmp, const QString &strPng) {
  std::vector<double> opens;
  std::vector<double> shares;
  std::vector<double> levels;
  std::vector<double> pngs;
  for (int i = 0; i < 3; ++i) {
    auto pView = MakeView();
    opens.push_back(Milliseconds([&] { ShowPlan(*pView, QImage(strBmp)); }));
    QApplication::processEvents(); // its levels
    const QImage bitmap(strBmp);
    auto pOther = MakeView();
    shares.push_back(Milliseconds([&] { ShowPlan(*pOther, bitmap); }));
    levels.push_back(Milliseconds([&] { QApplication::processEvents(); }));
    pngs.push_back(Milliseconds([&] { QImage png(strPng); }));
  }
  return {Median(opens), Median(shares), Median(levels), Median(pngs)};
}

// (b) The repaints in one state of the window, unchanged and after a change; prints them and
// returns whether both targets are met.
bool TimeRepaints(CTarvexCollectorView &view, const _state &state, double dCopy, int nRepeat, const char *szPart) {
  view.OnFitToDisplay();
  state.fnEnter(view);
  view.viewport()->repaint();
  std::vector<double> still;
  std::vector<double> changed;
  for (int i = 0; i < nRepeat; ++i) {
    still.push_back(Milliseconds([&] { view.viewport()->repaint(); }));
  }
  const QString strZoom = view.ZoomText();
  for (int i = 0; i < nRepeat; ++i) {
    state.fnChange(view);
    changed.push_back(Milliseconds([&] { view.viewport()->repaint(); }));
  }
  const double dStill = Median(still);
  const double dChanged = Median(changed);
  std::printf("%-4s %-15s %-22s unchanged %7.3f ms = %5.2f x a (target <= 2: %s)   changed %7.2f ms "
              "(target <= 16: %s)\n",
              szPart, state.szName, qPrintable(strZoom), dStill, dStill / dCopy, dStill <= 2 * dCopy ? "met" : "MISSED",
              dChanged, dChanged <= 16 ? "met" : "MISSED");
  return dStill <= 2 * dCopy && dChanged <= 16;
}

// Prints (c); true when opening is no slower than Qt's PNG load.
bool ReportOpening(const _opentimes &times) {
  std::printf("(c) bitmap file to the first frame      %7.1f ms; QImage PNG load %7.1f ms; ratio %.2f (target <= "
              "1.0: %s)\n"
              "    of it the view's share (the first frame once the bitmap is read) %.1f ms; the levels, built "
              "once that frame is shown, %.1f ms more\n",
              times.dOpen, times.dPng, times.dOpen / times.dPng, times.dOpen <= times.dPng ? "met" : "MISSED",
              times.dShare, times.dLevels);
  return times.dOpen <= times.dPng;
}

// (d) Memory, in a process of its own that does nothing else; prints it and returns whether the
// target is met.
bool MeasurePeakMemory(const QString &strBmp) {
  QProcess process;
  process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open"), strBmp});
  process.waitForFinished(-1);
  const double dPeak = process.readAllStandardOutput().trimmed().toDouble() * 1024.0 / 1e6; // kB to MB
  std::printf("(d) peak memory opening the plan         %7.1f MB = %.2f x the %.0f MB bitmap (target < 2.5: %s)\n",
              dPeak, dPeak / BITMAP_MB, BITMAP_MB, dPeak > 0 && dPeak < 2.5 * BITMAP_MB ? "met" : "MISSED");
  return dPeak > 0 && dPeak < 2.5 * BITMAP_MB;
}

} // namespace

int main(int argc, char **argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  QImageReader::setAllocationLimit(1024);
  if (argc == 3 && std::strcmp(argv[1], "--open") == 0) {
    return OpenOnly(argv[2]);
  }
  int nRepeat = 41;
  if (argc == 3 && std::strcmp(argv[1], "--repeat") == 0) {
    nRepeat = std::max(3, std::atoi(argv[2]));
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: %s [--repeat N] | --open FILE\n", argv[0]);
    return 2;
  }

  QTemporaryDir dir;
  // The coverage shown is kept with the program's settings: those of this run, not the user's.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath(QStringLiteral("settings")));
  const QString strBmp = dir.filePath(QStringLiteral("plan.bmp"));
  const QString strPng = dir.filePath(QStringLiteral("plan.png"));
  std::printf("drawing a %d x %d plan, writing it as BMP and PNG ...\n", PLAN_WIDTH, PLAN_HEIGHT);
  WritePlanFiles(strBmp, strPng);
  const double dCopy = TimeCopy(nRepeat);
  const _opentimes opening = TimeOpening(strBmp, strPng);

  // (b) Repaints, over the plan opened with its survey.
  auto pView = MakeView();
  // A linear projection of 1 cm per plan pixel, so that the coverage has metres to work with.
  pView->Session().Projection().m_nKind = PROJECTION_LINEAR;
  SetProjectionTransform(pView->Session().Projection(), {0.01, 0, 0, 0.01, 0, 0});
  ShowPlan(*pView, QImage(strBmp));
  OpenSurvey(*pView, dir.filePath(QStringLiteral("bench.tvd")));
  std::printf("\nmachine: %d cores; view %d x %d, plan %d x %d, 60 segments, %d repaints per figure\n",
              QThread::idealThreadCount(), VIEW_WIDTH, VIEW_HEIGHT, PLAN_WIDTH, PLAN_HEIGHT, nRepeat);
  std::printf("(a) plain copy of a %d x %d image      %7.3f ms\n", VIEW_WIDTH, VIEW_HEIGHT, dCopy);
  bool bMet = true;
  for (const _state &state : WindowStates()) {
    const bool bStateMet = TimeRepaints(*pView, state, dCopy, nRepeat, "(b)");
    bMet = bMet && bStateMet;
  }
  pView->OnCoverageChannel1();
  QApplication::processEvents();
  std::printf("     with the coverage of channel 1 shown (%s):\n", pView->ShownCoverage() != nullptr ? "on" : "OFF");
  for (const _state &state : WindowStates()) {
    const bool bStateMet = TimeRepaints(*pView, state, dCopy, nRepeat, "(b')");
    bMet = bMet && bStateMet && pView->ShownCoverage() != nullptr;
  }
  pView.reset();
  const bool bOpenMet = ReportOpening(opening);
  const bool bPeakMet = MeasurePeakMemory(strBmp);
  return bMet && bOpenMet && bPeakMet ? 0 : 1;
}
