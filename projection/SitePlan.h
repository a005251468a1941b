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
// Zooming in stops before the window would become narrower or lower than this many plan pixels.
constexpr int32_t PLAN_MIN_WINDOW = 2;

// The window onto the floor plan shown in the client area, its zoom factor and the segment
// markers, with the conversions between client pixels and plan pixels. All arithmetic is 32-bit
// integer, each product formed before its division, divisions truncating toward zero.
class CSitePlan {
public:
  CSitePlan();
  virtual ~CSitePlan() = default;

  // A new plan of nWidth x nHeight bitmap pixels shown 1:1 from its top-left corner in the
  // client rectangle. The zoom factor, the current point and the markers keep their values.
  void SetPlan(int32_t nWidth, int32_t nHeight, const _pixelrect &client);

  // The plan pixel under client point (x, y) of the given client rectangle. Returns false and
  // leaves pt unchanged when the client area has no width or height.
  bool ClientToPlan(int32_t x, int32_t y, const _pixelrect &client, _pixelpoint &pt) const;

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

  // The part of the bitmap that the window shows: the window cut to the extent.
  _pixelrect VisibleSource() const;

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
};
