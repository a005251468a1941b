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

} // namespace
