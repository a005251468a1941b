#include "projection/SitePlan.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr _pixelrect CLIENT{0, 0, 800, 600};

void ExpectView(const CSitePlan &plan, int32_t l, int32_t r, int32_t t, int32_t b) {
  EXPECT_EQ(plan.m_rcView.left, l);
  EXPECT_EQ(plan.m_rcView.right, r);
  EXPECT_EQ(plan.m_rcView.top, t);
  EXPECT_EQ(plan.m_rcView.bottom, b);
}

_pixelpoint ToPlan(const CSitePlan &plan, int32_t x, int32_t y, const _pixelrect &client = CLIENT) {
  _pixelpoint pt{-1, -1};
  EXPECT_TRUE(plan.ClientToPlan(x, y, client, pt));
  return pt;
}

// A 2000 x 1500 plan loaded into an 800 x 600 client area. The object is large (two tables of
// 500 points), so it lives on the heap.
std::unique_ptr<CSitePlan> LoadedPlan(int32_t nWidth = 2000, int32_t nHeight = 1500) {
  auto plan = std::make_unique<CSitePlan>();
  plan->SetPlan(nWidth, nHeight, CLIENT);
  return plan;
}

TEST(SitePlan, StartsEmptyAtZoomOne) {
  const auto plan = std::make_unique<CSitePlan>();
  EXPECT_EQ(plan->m_nZoom, 1);
  EXPECT_EQ(plan->m_nSegmentCount, 0);
  EXPECT_EQ(plan->m_Start[499].bPlaced, 0);
  EXPECT_EQ(plan->m_Stop[0].nPlanX, 0);
}

TEST(SitePlan, LoadShowsThePlanOneToOneFromItsCorner) {
  const auto plan = LoadedPlan();
  ExpectView(*plan, 0, 800, 0, 600);
  EXPECT_EQ(plan->m_rcExtent.right, 2000);
  EXPECT_EQ(plan->m_rcExtent.bottom, 1500);
  EXPECT_EQ(plan->m_ptCentre.x, 400);
  EXPECT_EQ(plan->m_ptCentre.y, 300);
  const auto pt = ToPlan(*plan, 100, 50);
  EXPECT_EQ(pt.x, 100);
  EXPECT_EQ(pt.y, 50);
}

TEST(SitePlan, LoadKeepsZoomCurrentPointAndMarkers) {
  auto plan = LoadedPlan();
  plan->ZoomIn();
  plan->m_ptCurrent = {7, 9};
  plan->m_Start[3].nPlanX = 44;
  plan->SetPlan(1000, 1000, {10, 20, 410, 320});
  EXPECT_EQ(plan->m_nZoom, 2);
  EXPECT_EQ(plan->m_ptCurrent.x, 7);
  EXPECT_EQ(plan->m_Start[3].nPlanX, 44);
  ExpectView(*plan, 0, 400, 0, 300);
  EXPECT_EQ(plan->m_rcScreen.left, 10);
  EXPECT_EQ(plan->m_rcScreen.bottom, 320);
}

TEST(SitePlan, ZoomInHalvesTheWindowAroundItsCentre) {
  auto plan = LoadedPlan();
  plan->ZoomIn();
  ExpectView(*plan, 200, 600, 150, 450);
  EXPECT_EQ(plan->m_ptCentre.x, 400);
  EXPECT_EQ(plan->m_ptCentre.y, 300);
  EXPECT_EQ(plan->m_nZoom, 2);
  const auto pt = ToPlan(*plan, 100, 50);
  EXPECT_EQ(pt.x, 250);
  EXPECT_EQ(pt.y, 175);

  plan->ZoomIn();
  ExpectView(*plan, 300, 500, 225, 375);
  EXPECT_EQ(plan->m_ptCentre.x, 400);
  EXPECT_EQ(plan->m_nZoom, 4);
}

TEST(SitePlan, ZoomOutUndoesZoomInAndStopsAtOne) {
  auto plan = LoadedPlan();
  plan->ZoomOut();
  ExpectView(*plan, 0, 800, 0, 600);
  EXPECT_EQ(plan->m_nZoom, 1);

  plan->ZoomIn();
  plan->ZoomOut();
  ExpectView(*plan, 0, 800, 0, 600);
  EXPECT_EQ(plan->m_nZoom, 1);
  EXPECT_EQ(plan->m_ptCentre.x, 400);
}

TEST(SitePlan, ZoomingInStopsBeforeTheWindowVanishes) {
  auto plan = LoadedPlan();
  for (int i = 0; i < 40; ++i) {
    plan->ZoomIn();
  }
  EXPECT_GE(plan->m_rcView.right - plan->m_rcView.left, PLAN_MIN_WINDOW);
  EXPECT_GE(plan->m_rcView.bottom - plan->m_rcView.top, PLAN_MIN_WINDOW);
  EXPECT_GT(plan->m_nZoom, 1);
  // The conversions still work at the deepest zoom, and zooming out climbs back step by step.
  _pixelpoint pt;
  EXPECT_TRUE(plan->ClientToPlan(799, 599, CLIENT, pt));
  EXPECT_GE(pt.x, plan->m_rcView.left);
  EXPECT_LT(pt.x, plan->m_rcView.right);
  int nSteps = 0;
  while (plan->m_nZoom > 1 && nSteps < 40) {
    plan->ZoomOut();
    ++nSteps;
  }
  EXPECT_EQ(plan->m_nZoom, 1);
  EXPECT_NEAR(plan->m_rcView.right - plan->m_rcView.left, 800, 32);
}

TEST(SitePlan, ZoomFactorNeverLeavesSixteenBits) {
  auto plan = std::make_unique<CSitePlan>();
  plan->SetPlan(100000000, 100000000, {0, 0, 100000000, 100000000});
  for (int i = 0; i < 30; ++i) {
    plan->ZoomIn();
  }
  EXPECT_EQ(plan->m_nZoom, 16384);
}

TEST(SitePlan, FitShowsTheWholeExtent) {
  auto plan = LoadedPlan();
  plan->ZoomIn();
  plan->ScrollRight(100);
  plan->Fit();
  ExpectView(*plan, 0, 2000, 0, 1500);
  EXPECT_EQ(plan->m_ptCentre.x, 1000);
  EXPECT_EQ(plan->m_ptCentre.y, 750);
  EXPECT_EQ(plan->m_nZoom, 1);
}

TEST(SitePlan, ScrollStopsAtTheEdges) {
  auto plan = LoadedPlan();
  plan->ScrollLeft(10);
  ExpectView(*plan, 0, 800, 0, 600);
  plan->ScrollUp(10);
  ExpectView(*plan, 0, 800, 0, 600);

  plan->ScrollRight(10);
  ExpectView(*plan, 10, 810, 0, 600);
  EXPECT_EQ(plan->m_ptCentre.x, 410);

  plan->ScrollRight(5000);
  ExpectView(*plan, 1200, 2000, 0, 600);
  plan->ScrollRight(10);
  ExpectView(*plan, 1200, 2000, 0, 600);

  plan->ScrollLeft(5000);
  ExpectView(*plan, 0, 800, 0, 600);

  plan->ScrollDown(100);
  ExpectView(*plan, 0, 800, 100, 700);
  plan->ScrollUp(30);
  ExpectView(*plan, 0, 800, 70, 670);
  plan->ScrollDown(5000);
  ExpectView(*plan, 0, 800, 900, 1500);
}

TEST(SitePlan, ScrollDownPullsAWindowBelowTheExtentBack) {
  auto plan = LoadedPlan(500, 400);
  plan->ScrollDown(10);
  ExpectView(*plan, 0, 800, -200, 400);
  EXPECT_EQ(plan->m_ptCentre.y, 100);
}

TEST(SitePlan, OddWindowLosesAPixelOnTheFirstScroll) {
  auto plan = std::make_unique<CSitePlan>();
  plan->SetPlan(2000, 1500, {0, 0, 801, 600});
  plan->ScrollRight(10);
  ExpectView(*plan, 10, 810, 0, 600);
}

TEST(SitePlan, VisibleSourceIsTheWindowCutToTheBitmap) {
  auto small = LoadedPlan(500, 400);
  const auto source = small->VisibleSource();
  EXPECT_EQ(source.left, 0);
  EXPECT_EQ(source.top, 0);
  EXPECT_EQ(source.right, 500);
  EXPECT_EQ(source.bottom, 400);

  auto plan = LoadedPlan();
  plan->ZoomIn();
  plan->ZoomIn();
  plan->ZoomOut();
  plan->ZoomOut();
  plan->ScrollDown(1000);
  const auto inside = plan->VisibleSource();
  EXPECT_EQ(inside.top, 900);
  EXPECT_EQ(inside.bottom, 1500);
  EXPECT_EQ(inside.right, 800);
}

TEST(SitePlan, PlacingUsesTheRectangleOfTheLoadAndTruncatesTowardZero) {
  auto plan = std::make_unique<CSitePlan>();
  plan->SetPlan(3000, 2100, {0, 0, 1000, 700});
  plan->Fit();
  ASSERT_TRUE(plan->PlaceStart(0, 1501, -7));
  EXPECT_EQ(plan->m_Start[0].nScreenX, 500); // 1501 * 1000 / 3000 = 500.33
  EXPECT_EQ(plan->m_Start[0].nScreenY, -2);  // -7 * 700 / 2100 = -2.33, not -3
  EXPECT_EQ(plan->m_Start[0].bPlaced, 1);
  EXPECT_EQ(plan->m_Start[0].nPlanX, 0); // the caller stores the plan position
  ASSERT_TRUE(plan->PlaceStop(499, 3000, 2100));
  EXPECT_EQ(plan->m_Stop[499].nScreenX, 1000);
  EXPECT_EQ(plan->m_Stop[499].nScreenY, 700);
  EXPECT_EQ(plan->m_Start[499].bPlaced, 0);

  // A client point converts with the rectangle given at the call, not the stored one.
  _pixelpoint pt;
  ASSERT_TRUE(plan->ClientToPlan(100, 100, {0, 0, 500, 350}, pt));
  EXPECT_EQ(pt.x, 600);
  EXPECT_EQ(pt.y, 600);
}

TEST(SitePlan, ZoomAndScrollMoveTheMarkers) {
  auto plan = LoadedPlan();
  plan->m_Start[0].nPlanX = 250;
  plan->m_Start[0].nPlanY = 175;
  plan->m_Stop[0].nPlanX = 600;
  plan->m_Stop[0].nPlanY = 450;
  plan->m_Start[1].nPlanX = 300; // beyond the count: not updated
  plan->m_Start[2].nPlanX = 300;
  plan->m_nSegmentCount = 1;
  plan->ZoomIn();
  EXPECT_EQ(plan->m_Start[0].nScreenX, 100);
  EXPECT_EQ(plan->m_Start[0].nScreenY, 50);
  EXPECT_EQ(plan->m_Stop[0].nScreenX, 800);
  EXPECT_EQ(plan->m_Stop[0].nScreenY, 600);
  EXPECT_EQ(plan->m_Start[0].bPlaced, 1);
  EXPECT_EQ(plan->m_Start[1].bPlaced, 1); // entries 0 to the count inclusive
  EXPECT_EQ(plan->m_Start[1].nScreenX, 200);
  EXPECT_EQ(plan->m_Start[2].bPlaced, 0);

  plan->ScrollRight(50);
  EXPECT_EQ(plan->m_Start[0].nScreenX, 0);

  plan->m_nSegmentCount = -1;
  plan->m_Start[0].nPlanX = 1000;
  plan->UpdateScreenPositions();
  EXPECT_EQ(plan->m_Start[0].nScreenX, 0);
}

TEST(SitePlan, ZeroSizedAreasNeverDivide) {
  auto plan = std::make_unique<CSitePlan>();
  plan->SetPlan(2000, 1500, {0, 0, 0, 600});
  _pixelpoint pt{5, 6};
  EXPECT_FALSE(plan->ClientToPlan(10, 10, {0, 0, 0, 600}, pt));
  EXPECT_FALSE(plan->ClientToPlan(10, 10, {0, 0, 800, 0}, pt));
  EXPECT_EQ(pt.x, 5);
  EXPECT_EQ(pt.y, 6);
  // The window has no width: markers stay unplaced.
  EXPECT_FALSE(plan->PlaceStart(0, 10, 10));
  EXPECT_EQ(plan->m_Start[0].bPlaced, 0);
  plan->m_nSegmentCount = 3;
  plan->UpdateScreenPositions();
  EXPECT_EQ(plan->m_Stop[2].bPlaced, 0);
  plan->ZoomIn();
  plan->ZoomOut();
  plan->ScrollDown(5);
  EXPECT_EQ(plan->m_Stop[2].bPlaced, 0);

  // An empty bitmap fitted into the window is the same.
  auto empty = LoadedPlan(0, 0);
  empty->Fit();
  EXPECT_FALSE(empty->PlaceStop(0, 1, 1));
}

TEST(SitePlan, NoSegmentBeyondTheTablesIsTouched) {
  auto plan = LoadedPlan();
  EXPECT_FALSE(plan->PlaceStart(500, 10, 10));
  EXPECT_FALSE(plan->PlaceStop(-1, 10, 10));
  EXPECT_FALSE(plan->PlaceStop(1000000, 10, 10));
  for (auto &point : plan->m_Stop) {
    point.nPlanX = 40;
  }
  plan->m_nSegmentCount = 100000;
  plan->Fit();
  EXPECT_EQ(plan->m_Stop[499].bPlaced, 1);
  EXPECT_EQ(plan->m_Stop[499].nScreenX, 16); // 40 * 800 / 2000
}

TEST(SitePlan, PlanToClientIsThePlacementOfTheMarkers) {
  auto plan = std::make_unique<CSitePlan>();
  plan->SetPlan(3000, 2100, {0, 0, 1000, 700});
  plan->Fit();
  _pixelpoint pt;
  ASSERT_TRUE(plan->PlanToClient(1501, -7, pt));
  EXPECT_EQ(pt.x, 500); // 1501 * 1000 / 3000 = 500.33
  EXPECT_EQ(pt.y, -2);  // -7 * 700 / 2100 = -2.33, truncated toward zero
  // And back: within one plan pixel per client pixel (3 here) of where it started.
  _pixelpoint back;
  ASSERT_TRUE(plan->ClientToPlan(pt.x, pt.y, plan->m_rcScreen, back));
  EXPECT_EQ(back.x, 1500);
  EXPECT_EQ(back.y, -6);

  auto empty = std::make_unique<CSitePlan>();
  pt = {5, 6};
  EXPECT_FALSE(empty->PlanToClient(1, 1, pt)); // no window yet: nothing to divide by
  EXPECT_EQ(pt.x, 5);
}

// Resizing keeps plan pixels per client pixel on each axis and the top-left corner of the window,
// so that a plan shown from its corner stays so when the scroll bars take their room.
TEST(SitePlan, ResizeKeepsTheScaleAndTheTopLeft) {
  struct _case {
    const char *pszName;
    bool bFit;
    int nZoomIns;
    _pixelrect client;
    _planrect view;
  };
  const _case cases[] = {
      // 1:1 after the load: the window grows and shrinks from the plan's corner.
      {"wider and lower at 1:1", false, 0, {0, 0, 1000, 500}, {0, 1000, 0, 500}},
      {"smaller at 1:1 (scroll bars shown)", false, 0, {0, 0, 786, 586}, {0, 786, 0, 586}},
      // Fitted: 2000 plan pixels in 800 client pixels (5/2), 1500 in 600 (5/2).
      {"half the size fitted", true, 0, {0, 0, 400, 300}, {0, 1000, 0, 750}},
      {"odd size fitted", true, 0, {0, 0, 333, 3}, {0, 833, 0, 8}}, // 832.5 -> 833, 7.5 -> 8
      // Zoomed in twice from the load: 1 plan pixel per 4 client pixels, from (300, 225).
      {"zoomed in, larger", false, 2, {0, 0, 1600, 1200}, {300, 700, 225, 525}},
      // Too small to keep its scale: the window keeps its smallest size.
      {"zoomed in, tiny", false, 2, {0, 0, 3, 1}, {300, 302, 225, 227}},
      {"zoomed in, empty", false, 2, {0, 0, 0, 0}, {300, 302, 225, 227}},
      // Where the client area sits does not matter, only its size.
      {"moved, same size", false, 0, {50, 70, 850, 670}, {0, 800, 0, 600}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pszName);
    auto plan = LoadedPlan();
    if (c.bFit) {
      plan->Fit();
    }
    for (int i = 0; i < c.nZoomIns; ++i) {
      plan->ZoomIn();
    }
    const int16_t nZoom = plan->m_nZoom;
    plan->Resize(c.client);
    ExpectView(*plan, c.view.left, c.view.right, c.view.top, c.view.bottom);
    EXPECT_EQ(plan->m_nZoom, nZoom);
    EXPECT_EQ(plan->m_rcScreen.left, c.client.left);
    EXPECT_EQ(plan->m_rcScreen.bottom, c.client.bottom);
  }
  // A zoom after a resize zooms around the middle of the window shown, not of an earlier one.
  auto plan = LoadedPlan();
  plan->Resize({0, 0, 400, 200}); // (0, 400, 0, 200)
  plan->ZoomIn();
  ExpectView(*plan, 100, 300, 50, 150);
}

TEST(SitePlan, ResizingAwayAndBackRestoresTheWindow) {
  auto plan = LoadedPlan();
  plan->Fit();
  plan->ZoomIn();
  plan->ScrollRight(37);
  plan->ScrollDown(11);
  const _planrect before = plan->m_rcView;
  for (const _pixelrect &client :
       {_pixelrect{0, 0, 0, 0}, _pixelrect{0, 0, 1, 1}, _pixelrect{0, 0, 7, 3000}, _pixelrect{0, 0, 5000, 2}}) {
    plan->Resize(client);
    plan->Resize(CLIENT);
    ExpectView(*plan, before.left, before.right, before.top, before.bottom);
  }
  // A zoom while the area was tiny still counts: the restored window is zoomed once more.
  plan->Resize({0, 0, 2, 2});
  plan->ZoomOut();
  plan->Resize(CLIENT);
  EXPECT_EQ(plan->m_rcView.right - plan->m_rcView.left, 2000);
  EXPECT_EQ(plan->m_rcView.bottom - plan->m_rcView.top, 1500);
}

TEST(SitePlan, ResizeMovesTheMarkersAndTheClientPoints) {
  auto plan = LoadedPlan();
  plan->m_nSegmentCount = 1;
  plan->m_Start[0].nPlanX = 400;
  plan->m_Start[0].nPlanY = 300;
  plan->m_Stop[0].nPlanX = 900;
  plan->m_Stop[0].nPlanY = 50;
  plan->ZoomIn();                  // window (200, 600, 150, 450): 2 client pixels a plan pixel
  plan->Resize({0, 0, 1000, 500}); // window (200, 700, 150, 400)
  EXPECT_EQ(plan->m_Start[0].nScreenX, 400);
  EXPECT_EQ(plan->m_Start[0].nScreenY, 300);
  EXPECT_EQ(plan->m_Stop[0].nScreenX, 1400);
  EXPECT_EQ(plan->m_Stop[0].nScreenY, -200);
  // A point placed after the resize uses the new client rectangle too.
  ASSERT_TRUE(plan->PlaceStart(1, 0, 0));
  EXPECT_EQ(plan->m_Start[1].nScreenX, -400);
  EXPECT_EQ(plan->m_Start[1].nScreenY, -300);
  EXPECT_EQ(ToPlan(*plan, 400, 300, plan->m_rcScreen).x, 400);
  EXPECT_EQ(ToPlan(*plan, 400, 300, plan->m_rcScreen).y, 300);
}

TEST(SitePlan, ResizeBeforeAnyPlanOnlyNotesTheClientArea) {
  auto plan = std::make_unique<CSitePlan>();
  plan->m_nSegmentCount = 0;
  plan->Resize({0, 0, 640, 480});
  ExpectView(*plan, 0, 0, 0, 0);
  EXPECT_EQ(plan->m_rcScreen.right, 640);
  EXPECT_EQ(plan->m_Start[0].bPlaced, 0);
  plan->SetPlan(2000, 1500, plan->m_rcScreen);
  ExpectView(*plan, 0, 640, 0, 480);
}

// A survey opened before the projection: its points are in the tables but could not be placed
// while there was no window. Loading the plan shows them at once.
TEST(SitePlan, LoadingThePlanPlacesTheMarkersOfAnOpenSurvey) {
  auto plan = std::make_unique<CSitePlan>();
  plan->m_nSegmentCount = 2;
  const _pixelpoint starts[] = {{100, 200}, {1999, 0}};
  const _pixelpoint stops[] = {{300, 400}, {0, 1499}};
  for (int i = 0; i < 2; ++i) {
    plan->m_Start[i].nPlanX = starts[i].x;
    plan->m_Start[i].nPlanY = starts[i].y;
    plan->m_Stop[i].nPlanX = stops[i].x;
    plan->m_Stop[i].nPlanY = stops[i].y;
    EXPECT_FALSE(plan->PlaceStart(i, starts[i].x, starts[i].y)); // as the survey's reader tries
    EXPECT_FALSE(plan->PlaceStop(i, stops[i].x, stops[i].y));
  }
  plan->SetPlan(2000, 1500, {0, 0, 1000, 750}); // 1:1 from the corner
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(plan->m_Start[i].bPlaced, 1);
    EXPECT_EQ(plan->m_Start[i].nScreenX, starts[i].x);
    EXPECT_EQ(plan->m_Start[i].nScreenY, starts[i].y);
    EXPECT_EQ(plan->m_Stop[i].bPlaced, 1);
    EXPECT_EQ(plan->m_Stop[i].nScreenX, stops[i].x);
    EXPECT_EQ(plan->m_Stop[i].nScreenY, stops[i].y);
  }
  // Entries past the count (inclusive) keep their state.
  EXPECT_EQ(plan->m_Start[3].bPlaced, 0);
}

// Where the painting draws VisibleSource so that the plan lies under the markers.
TEST(SitePlan, VisibleDestinationIsWhereTheSourceShows) {
  struct _case {
    const char *pszName;
    int32_t nWidth, nHeight; // the plan
    _pixelrect client;
    void (*pfnMove)(CSitePlan &plan); // what is done after the load, or null
    _pixelrect source;
    _pixelrect destination;
  };
  const _case cases[] = {
      // Within the extent: stretched over the whole client area, as before.
      {"window inside the plan", 2000, 1500, CLIENT, nullptr, {0, 0, 800, 600}, {0, 0, 800, 600}},
      // The small plan at 1:1 covers only its own 500 x 400 pixels, not the whole area.
      {"plan smaller than the window", 500, 400, CLIENT, nullptr, {0, 0, 500, 400}, {0, 0, 500, 400}},
      // Zoomed in, scrolled to the corner and zoomed out again: window (-200, 600, -150, 450), so
      // the plan starts 200 client pixels across and 150 down.
      {"window past the left edge",
       2000,
       1500,
       CLIENT,
       [](CSitePlan &plan) {
         plan.ZoomIn();
         plan.ScrollLeft(1000);
         plan.ScrollUp(1000);
         plan.ZoomOut();
       },
       {0, 0, 600, 450},
       {200, 150, 800, 600}},
      {"window beside the plan",
       500,
       400,
       {0, 0, 100, 600},
       [](CSitePlan &plan) {
         plan.m_rcView = {550, 650, 0, 600};
       },
       {550, 0, 550, 400},
       {0, 0, 0, 0}},
      {"no window", 500, 400, {0, 0, 0, 600}, nullptr, {0, 0, 0, 400}, {0, 0, 0, 0}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pszName);
    auto plan = std::make_unique<CSitePlan>();
    plan->SetPlan(c.nWidth, c.nHeight, c.client);
    if (c.pfnMove != nullptr) {
      c.pfnMove(*plan);
    }
    const _pixelrect source = plan->VisibleSource();
    EXPECT_EQ(source.left, c.source.left);
    EXPECT_EQ(source.top, c.source.top);
    EXPECT_EQ(source.right, c.source.right);
    EXPECT_EQ(source.bottom, c.source.bottom);
    const _pixelrect destination = plan->VisibleDestination();
    EXPECT_EQ(destination.left, c.destination.left);
    EXPECT_EQ(destination.top, c.destination.top);
    EXPECT_EQ(destination.right, c.destination.right);
    EXPECT_EQ(destination.bottom, c.destination.bottom);
  }
}

} // namespace
