#pragma once

#include <cstdint>

// A pixel position, in plan pixels or client pixels depending on where it is used.
struct _pixelpoint {
  int32_t x = 0;
  int32_t y = 0;
};

// A window of plan pixels, stored left, right, top, bottom.
struct _planrect {
  int32_t left = 0;
  int32_t right = 0;
  int32_t top = 0;
  int32_t bottom = 0;
};

// A rectangle of client (or bitmap) pixels, stored left, top, right, bottom.
struct _pixelrect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// One end point of a segment: where it lies on the plan and where it was last drawn.
struct _planpoint {
  int32_t nScreenX = 0;
  int32_t nScreenY = 0;
  int32_t nPlanX = 0;
  int32_t nPlanY = 0;
  uint8_t bPlaced = 0; // 1 once a screen position has been computed; only placed points are drawn
};

// The number of segments a survey can hold; the point tables have one entry per segment.
constexpr int PLAN_MAX_SEGMENTS = 500;
// Zooming in stops before the window would become narrower or lower than this many plan pixels,
// and a resize never makes it narrower or lower either.
constexpr int32_t PLAN_MIN_WINDOW = 2;
// A resize never makes the window wider or higher than this many plan pixels.
constexpr int32_t PLAN_MAX_WINDOW = 1 << 30;

// The scale of one axis as an exact fraction: nPlan plan pixels are shown in nClient client
// pixels. nClient is 0 until a plan has been set, and the fraction is kept in lowest terms.
struct _planscale {
  int64_t nPlan = 0;
  int64_t nClient = 0;
};

// The window onto the floor plan shown in the client area, its zoom factor and the segment
// markers, with the conversions between client pixels and plan pixels. All arithmetic is 32-bit
// integer, each product formed before its division, divisions truncating toward zero.
class CSitePlan {
public:
  CSitePlan();
  virtual ~CSitePlan() = default;

  // A new plan of nWidth x nHeight bitmap pixels shown 1:1 from its top-left corner in the
  // client rectangle. The zoom factor, the current point and the markers' plan points keep their
  // values; the markers' screen points are recomputed (UpdateScreenPositions), so the markers of
  // a survey opened before the plan was loaded show at once. A rectangle whose right or bottom
  // lies before its left or top is taken as having no width or height.
  void SetPlan(int32_t nWidth, int32_t nHeight, const _pixelrect &client);

  // The client area now has the size of the given rectangle (the window was resized, maximised
  // or rotated, or its scroll bars came or went). Each axis keeps its scale, plan pixels per
  // client pixel, and the window keeps its top-left corner, as picture viewers do: what shows at
  // the client area's top-left stays there, and a plan shown from its corner at load is still
  // shown from its corner once the scroll bars have taken their room. The window becomes
  // round(scale x new client size) plan pixels wide and high (at least PLAN_MIN_WINDOW, at most
  // PLAN_MAX_WINDOW) from its left and top, and its centre follows. The scale is the
  // one the last SetPlan (1:1), Fit (extent to client) or zoom (x 2, / 2) set, so resizing to a
  // tiny or empty area and back restores the window. An axis whose client size did not change
  // keeps its window as it is. m_rcScreen becomes the rectangle, and the markers' screen points
  // are recomputed. Before the first SetPlan only m_rcScreen changes.
  void Resize(const _pixelrect &client);

  // The plan pixel under client point (x, y) of the given client rectangle. Returns false and
  // leaves pt unchanged when the client area has no width or height.
  bool ClientToPlan(int32_t x, int32_t y, const _pixelrect &client, _pixelpoint &pt) const;

  // The client point at which plan pixel (px, py) shows with the current window and client
  // rectangle m_rcScreen: x = (px - L) * client width / (R - L), likewise y, truncated toward
  // zero. Client points are measured from the top-left corner of the client area, as ClientToPlan
  // takes them. The markers' screen points are exactly this. Returns false and leaves pt
  // unchanged while the window has no width or height.
  bool PlanToClient(int32_t px, int32_t py, _pixelpoint &pt) const;

  // Computes the screen position of start (stop) entry nIndex from the plan point (px, py) and
  // marks it placed; the entry's plan position is the caller's to store. Returns false and
  // changes nothing for an index outside the table or while the window has no width or height.
  bool PlaceStart(int nIndex, int32_t px, int32_t py);
  bool PlaceStop(int nIndex, int32_t px, int32_t py);

  // Recomputes the screen positions of entries 0 to m_nSegmentCount (at most the last entry)
  // from their own plan positions.
  void UpdateScreenPositions();

  void ZoomIn();
  void ZoomOut();
  void Fit();
  void ScrollLeft(int32_t n);
  void ScrollRight(int32_t n);
  void ScrollUp(int32_t n);
  void ScrollDown(int32_t n);

  // The part of the bitmap that the window shows: the window cut to the extent. Empty (right =
  // left or bottom = top) when the window lies wholly beside the extent.
  _pixelrect VisibleSource() const;

  // Where in the client area VisibleSource is to be drawn: its corners put through PlanToClient.
  // It is the whole client area while the window lies within the extent; when the window reaches
  // past the extent, only the part that shows the plan, so that the plan drawn there and the
  // markers drawn at their screen points agree (to less than one client pixel). Empty when
  // nothing of the plan is visible.
  _pixelrect VisibleDestination() const;

  _pixelpoint m_ptCurrent;
  _planrect m_rcExtent;
  _planrect m_rcView;
  _pixelpoint m_ptCentre;
  int16_t m_nZoom = 1;
  _planpoint m_Start[PLAN_MAX_SEGMENTS];
  _planpoint m_Stop[PLAN_MAX_SEGMENTS];
  int32_t m_nSegmentCount = 0;
  _pixelrect m_rcScreen;

private:
  bool Place(_planpoint &point, int32_t px, int32_t py) const;

  // The scale of each axis that Resize keeps.
  _planscale m_scaleX;
  _planscale m_scaleY;
};
