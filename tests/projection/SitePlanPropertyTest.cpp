// Random sequences of what the window does to the site plan (load a plan, open a survey, zoom,
// fit, scroll, resize, place points), checking after every step that the markers stand where
// PlanToClient puts their plan points, that the conversions undo each other, and that the plan
// the painting draws lies under the markers. A division by zero would end the run (and the
// sanitizer build reports it).
#include "projection/SitePlan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

namespace {

using Rng = std::mt19937;

int32_t Uniform(Rng &rng, int32_t nLow, int32_t nHigh) {
  return std::uniform_int_distribution<int32_t>(nLow, nHigh)(rng);
}

// A client size: often empty or a few pixels, otherwise anything a screen offers.
int32_t ClientSize(Rng &rng) {
  switch (Uniform(rng, 0, 5)) {
  case 0:
    return Uniform(rng, 0, 3);
  case 1:
    return Uniform(rng, 4, 40);
  default:
    return Uniform(rng, 100, 4000);
  }
}

_pixelrect RandomClient(Rng &rng) {
  const int32_t nLeft = Uniform(rng, 0, 3) == 0 ? Uniform(rng, -50, 50) : 0;
  const int32_t nTop = Uniform(rng, 0, 3) == 0 ? Uniform(rng, -50, 50) : 0;
  return {nLeft, nTop, nLeft + ClientSize(rng), nTop + ClientSize(rng)};
}

int32_t ScrollStep(Rng &rng) {
  switch (Uniform(rng, 0, 3)) {
  case 0:
    return 10;
  case 1:
    return Uniform(rng, 0, 3);
  default:
    return Uniform(rng, 0, 6000);
  }
}

int32_t Width(const _pixelrect &rc) { return rc.right - rc.left; }
int32_t Height(const _pixelrect &rc) { return rc.bottom - rc.top; }

// The operator and the window acting on one plan, with a random size of bitmap.
class CPlanWalker {
public:
  explicit CPlanWalker(uint32_t nSeed) : m_rng(nSeed), m_plan(std::make_unique<CSitePlan>()) {}

  // One random step; returns what it did.
  std::string Step() {
    switch (Uniform(m_rng, 0, 11)) {
    case 0:
      return LoadPlan();
    case 1:
      return OpenSurvey();
    case 2:
      return PlacePoint();
    case 3:
      m_plan->ZoomIn();
      return "zoom in";
    case 4:
      m_plan->ZoomOut();
      return "zoom out";
    case 5:
      m_plan->Fit();
      return "fit";
    case 6:
      return Resize();
    default:
      return Scroll();
    }
  }

  const CSitePlan &Plan() const { return *m_plan; }
  Rng &Random() { return m_rng; }

private:
  std::string LoadPlan() {
    m_nWidth = Uniform(m_rng, 0, 3) == 0 ? Uniform(m_rng, 1, 5) : Uniform(m_rng, 50, 5000);
    m_nHeight = Uniform(m_rng, 0, 3) == 0 ? Uniform(m_rng, 1, 5) : Uniform(m_rng, 50, 5000);
    const _pixelrect client = RandomClient(m_rng);
    m_plan->SetPlan(m_nWidth, m_nHeight, client);
    return "load " + std::to_string(m_nWidth) + "x" + std::to_string(m_nHeight) + " into " +
           std::to_string(Width(client)) + "x" + std::to_string(Height(client));
  }

  _pixelpoint RandomPlanPoint() {
    return {Uniform(m_rng, -100, std::max(m_nWidth, 1) + 100), Uniform(m_rng, -100, std::max(m_nHeight, 1) + 100)};
  }

  // As the survey's reader fills the tables: plan points, then an attempt to place them.
  std::string OpenSurvey() {
    m_plan->m_nSegmentCount = Uniform(m_rng, 0, 5) == 0 ? Uniform(m_rng, -1, 600) : Uniform(m_rng, 0, 20);
    const int nLast = std::min(m_plan->m_nSegmentCount, PLAN_MAX_SEGMENTS - 1);
    for (int i = 0; i <= nLast; ++i) {
      const _pixelpoint start = RandomPlanPoint();
      const _pixelpoint stop = RandomPlanPoint();
      m_plan->m_Start[i].nPlanX = start.x;
      m_plan->m_Start[i].nPlanY = start.y;
      m_plan->m_Stop[i].nPlanX = stop.x;
      m_plan->m_Stop[i].nPlanY = stop.y;
      m_plan->PlaceStart(i, start.x, start.y);
      m_plan->PlaceStop(i, stop.x, stop.y);
    }
    return "open a survey of " + std::to_string(m_plan->m_nSegmentCount) + " segments";
  }

  // As the segment walk sets a point: the plan point stored, the screen point placed.
  std::string PlacePoint() {
    if (m_plan->m_nSegmentCount < 0) {
      return "no point to place";
    }
    const int i = Uniform(m_rng, 0, std::min(m_plan->m_nSegmentCount, PLAN_MAX_SEGMENTS - 1));
    const _pixelpoint pt = RandomPlanPoint();
    if (Uniform(m_rng, 0, 1) == 0) {
      m_plan->m_Start[i].nPlanX = pt.x;
      m_plan->m_Start[i].nPlanY = pt.y;
      m_plan->PlaceStart(i, pt.x, pt.y);
      return "place start " + std::to_string(i);
    }
    m_plan->m_Stop[i].nPlanX = pt.x;
    m_plan->m_Stop[i].nPlanY = pt.y;
    m_plan->PlaceStop(i, pt.x, pt.y);
    return "place stop " + std::to_string(i);
  }

  // A resize, and now and then a trip to another size and back, which must restore the window.
  std::string Resize() {
    const _pixelrect client = RandomClient(m_rng);
    m_plan->Resize(client);
    if (Uniform(m_rng, 0, 2) == 0) {
      const _planrect view = m_plan->m_rcView;
      m_plan->Resize(RandomClient(m_rng));
      m_plan->Resize(client);
      EXPECT_EQ(m_plan->m_rcView.left, view.left);
      EXPECT_EQ(m_plan->m_rcView.right, view.right);
      EXPECT_EQ(m_plan->m_rcView.top, view.top);
      EXPECT_EQ(m_plan->m_rcView.bottom, view.bottom);
    }
    return "resize to " + std::to_string(Width(client)) + "x" + std::to_string(Height(client));
  }

  std::string Scroll() {
    const int32_t n = ScrollStep(m_rng);
    switch (Uniform(m_rng, 0, 3)) {
    case 0:
      m_plan->ScrollLeft(n);
      return "scroll left " + std::to_string(n);
    case 1:
      m_plan->ScrollRight(n);
      return "scroll right " + std::to_string(n);
    case 2:
      m_plan->ScrollUp(n);
      return "scroll up " + std::to_string(n);
    default:
      m_plan->ScrollDown(n);
      return "scroll down " + std::to_string(n);
    }
  }

  Rng m_rng;
  std::unique_ptr<CSitePlan> m_plan;
  int32_t m_nWidth = 0;
  int32_t m_nHeight = 0;
};

// The marker's screen coordinate s is the exact position (p - low) * client / window truncated
// toward zero, so it lies less than one client pixel from it: |s * window - (p - low) * client|
// < window, checked in integers.
bool WithinOneClientPixel(int32_t s, int32_t p, int32_t nLow, int32_t nWindow, int32_t nClient) {
  const int64_t nError = int64_t{s} * nWindow - (int64_t{p} - nLow) * nClient;
  return std::llabs(nError) < nWindow;
}

// Plan -> client -> plan comes back within ceil(window / client) plan pixels, one client pixel's
// worth: each conversion truncates by less than one pixel of its own space, and the truncation of
// the first, less than one client pixel, is worth less than window / client plan pixels.
// Returns what went wrong, or nothing.
std::string RoundTripError(const CSitePlan &plan, const _pixelpoint &p) {
  const int32_t nWindowWidth = plan.m_rcView.right - plan.m_rcView.left;
  const int32_t nWindowHeight = plan.m_rcView.bottom - plan.m_rcView.top;
  const int32_t nClientWidth = Width(plan.m_rcScreen);
  const int32_t nClientHeight = Height(plan.m_rcScreen);
  _pixelpoint client;
  if (!plan.PlanToClient(p.x, p.y, client)) {
    return "no client point for a window of a size";
  }
  _pixelpoint back;
  const bool bBack = plan.ClientToPlan(client.x, client.y, plan.m_rcScreen, back);
  if (nClientWidth == 0 || nClientHeight == 0) {
    return bBack ? "a client point converted in an empty client area" : "";
  }
  if (!bBack) {
    return "no plan point for a client area of a size";
  }
  const int64_t nToleranceX = (int64_t{nWindowWidth} + nClientWidth - 1) / nClientWidth;
  const int64_t nToleranceY = (int64_t{nWindowHeight} + nClientHeight - 1) / nClientHeight;
  if (std::llabs(int64_t{back.x} - p.x) > nToleranceX || std::llabs(int64_t{back.y} - p.y) > nToleranceY) {
    return "plan (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ") came back as (" + std::to_string(back.x) +
           ", " + std::to_string(back.y) + ")";
  }
  return "";
}

// The painting stretches VisibleSource onto VisibleDestination: plan coordinate p lands at
// dst.low + (p - src.low) * (dst size) / (src size). Both that and the marker's truncated
// position lie less than one client pixel below the exact position (p - L) * client / window
// (the destination's corners are truncated the same way, and the stretch is linear between
// them), so the two differ by less than one client pixel.
void ExpectUnderTheMarker(int32_t nMarker, int32_t p, int32_t nSrcLow, int32_t nSrcHigh, int32_t nDstLow,
                          int32_t nDstHigh) {
  const int64_t nSource = nSrcHigh - nSrcLow;
  const int64_t nDrawn = int64_t{nDstLow - nMarker} * nSource + int64_t{p - nSrcLow} * (nDstHigh - nDstLow);
  EXPECT_LT(std::llabs(nDrawn), nSource) << "plan " << p << " drawn away from its marker at " << nMarker;
}

void CheckPainting(const CSitePlan &plan, Rng &rng) {
  const _pixelrect source = plan.VisibleSource();
  const _pixelrect destination = plan.VisibleDestination();
  if (Width(source) == 0 || Height(source) == 0) {
    EXPECT_EQ(Width(destination), 0);
    EXPECT_EQ(Height(destination), 0);
    return;
  }
  EXPECT_GE(destination.left, 0);
  EXPECT_GE(destination.top, 0);
  EXPECT_LE(destination.right, Width(plan.m_rcScreen));
  EXPECT_LE(destination.bottom, Height(plan.m_rcScreen));
  const _planrect &view = plan.m_rcView;
  if (view.left >= 0 && view.top >= 0 && view.right <= plan.m_rcExtent.right && view.bottom <= plan.m_rcExtent.bottom) {
    // Within the plan the source is stretched over the whole client area.
    EXPECT_EQ(destination.left, 0);
    EXPECT_EQ(destination.top, 0);
    EXPECT_EQ(destination.right, Width(plan.m_rcScreen));
    EXPECT_EQ(destination.bottom, Height(plan.m_rcScreen));
  }
  for (int k = 0; k < 8; ++k) {
    const _pixelpoint p{Uniform(rng, source.left, source.right), Uniform(rng, source.top, source.bottom)};
    _pixelpoint marker;
    ASSERT_TRUE(plan.PlanToClient(p.x, p.y, marker));
    ExpectUnderTheMarker(marker.x, p.x, source.left, source.right, destination.left, destination.right);
    ExpectUnderTheMarker(marker.y, p.y, source.top, source.bottom, destination.top, destination.bottom);
  }
}

// Returns what is wrong with a marker, or nothing. Checked without a gtest assertion per marker:
// there are up to a thousand of them after every step.
std::string MarkerError(const CSitePlan &plan, const _planpoint &entry) {
  _pixelpoint pt;
  if (entry.bPlaced != 1 || !plan.PlanToClient(entry.nPlanX, entry.nPlanY, pt)) {
    return "not placed";
  }
  if (entry.nScreenX != pt.x || entry.nScreenY != pt.y) {
    return "at (" + std::to_string(entry.nScreenX) + ", " + std::to_string(entry.nScreenY) + "), PlanToClient gives (" +
           std::to_string(pt.x) + ", " + std::to_string(pt.y) + ")";
  }
  const _planrect &view = plan.m_rcView;
  if (!WithinOneClientPixel(entry.nScreenX, entry.nPlanX, view.left, view.right - view.left, Width(plan.m_rcScreen)) ||
      !WithinOneClientPixel(entry.nScreenY, entry.nPlanY, view.top, view.bottom - view.top, Height(plan.m_rcScreen))) {
    return "a client pixel or more from its exact position";
  }
  return RoundTripError(plan, {entry.nPlanX, entry.nPlanY});
}

void CheckInvariants(const CSitePlan &plan, Rng &rng) {
  const int32_t nWindowWidth = plan.m_rcView.right - plan.m_rcView.left;
  const int32_t nWindowHeight = plan.m_rcView.bottom - plan.m_rcView.top;
  _pixelpoint pt{-7, -7};
  if (nWindowWidth <= 0 || nWindowHeight <= 0) {
    // Only a load into an empty area, an empty plan fitted, or a scroll of a one-pixel window
    // gives no window; nothing converts then, and nothing divides.
    EXPECT_FALSE(plan.PlanToClient(1, 1, pt));
    EXPECT_EQ(pt.x, -7);
    const _pixelrect destination = plan.VisibleDestination();
    EXPECT_EQ(Width(destination) * Height(destination), 0);
    return;
  }
  const int nLast = std::min(plan.m_nSegmentCount, PLAN_MAX_SEGMENTS - 1);
  for (int i = 0; i <= nLast; ++i) {
    for (const auto *pTable : {plan.m_Start, plan.m_Stop}) {
      if (const std::string strError = MarkerError(plan, pTable[i]); !strError.empty()) {
        ADD_FAILURE() << (pTable == plan.m_Start ? "start " : "stop ") << i << ": " << strError;
        return;
      }
    }
  }
  EXPECT_EQ(RoundTripError(plan, {Uniform(rng, -3000, 8000), Uniform(rng, -3000, 8000)}), "");
  CheckPainting(plan, rng);
}

TEST(SitePlanProperty, MarkersStandWherePlanToClientPutsThem) {
  constexpr uint32_t SEQUENCES = 300;
  constexpr int STEPS = 60;
  for (uint32_t nSeed = 1; nSeed <= SEQUENCES; ++nSeed) {
    CPlanWalker walker(nSeed);
    std::string strSteps;
    for (int nStep = 0; nStep < STEPS; ++nStep) {
      strSteps += walker.Step() + "; ";
      CheckInvariants(walker.Plan(), walker.Random());
      if (HasFailure()) {
        ADD_FAILURE() << "seed " << nSeed << ": " << strSteps;
        return; // one sequence's story is enough to read
      }
    }
  }
}

} // namespace
