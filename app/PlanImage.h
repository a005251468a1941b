#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>

#include <vector>

class QPainter;

// The floor plan as the view draws it: pre-scaled levels of the plan bitmap, each half the width
// and height of the one before (every pixel the mean of a 2 x 2 block), built once per bitmap.
// A part of the plan shown smaller than it is, as a fitted 8000 x 6000 plan is, is drawn smoothly
// from the level at most twice its size, so its one-pixel walls and labels stay visible where
// picking every n-th pixel would drop them, in time that does not grow with the plan's size.
//
// The bitmap itself (level 0) is not held here: the view keeps it, and passes it to each call, so
// a new plan replaces the old one in memory instead of joining it.
class CPlanImage {
public:
  // Builds the levels of bitmap; a null bitmap leaves none. Any format is read; the levels are
  // Format_RGB32 (opaque).
  void Build(const QImage &bitmap);
  // Whether the levels were built from this very bitmap (its data as it is now).
  bool IsBuiltFrom(const QImage &bitmap) const;
  void Clear();

  // Draws the plan pixels of rcSource (within the bitmap) into rcTarget of the painter, in the
  // painter's logical coordinates. A part magnified two times or more is drawn with each plan
  // pixel as a sharp block, the pixel the operator points at; anything smaller, smoothly from the
  // level closest to and no smaller than the target's size in device pixels.
  void Draw(QPainter &painter, const QRectF &rcTarget, const QImage &bitmap, const QRect &rcSource) const;

  // Whether drawing rcSource into rcTarget of the painter shrinks it to half or less along both
  // axes (in device pixels): it is then drawn from a level.
  static bool IsReduced(const QPainter &painter, const QRectF &rcTarget, const QRect &rcSource);

  // Level n (1 is half the bitmap); valid for 1 <= n <= LevelCount().
  int LevelCount() const { return static_cast<int>(m_levels.size()); }
  const QImage &Level(int n) const { return m_levels.at(static_cast<size_t>(n - 1)); }
  // The level a part nSource plan pixels wide (high) is drawn from into nTarget device pixels:
  // the largest n with nSource / 2^n >= nTarget, at most LevelCount(); 0 is the bitmap itself.
  int LevelFor(double dSourceWidth, double dSourceHeight, double dTargetWidth, double dTargetHeight) const;

private:
  std::vector<QImage> m_levels;
  qint64 m_nBitmapKey = 0;
  QSize m_bitmapSize;
};

// Half of image: each pixel the rounded mean of a 2 x 2 block; an odd last column or row is
// averaged with itself. Format_RGB32.
QImage HalveImage(const QImage &image);
