#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where the plan writes the markers' numbers, as pure geometry.
//
// A marker's number is written over its marker, its top-left corner 7 pixels up and left of the
// marker's point. Where a marker drawn later lies at the same point (a segment that starts at the
// previous one's stop point), it would cover that number and write its own over it: the covered
// number goes beside the marker instead, left of it (right of it when there is no room on the
// left; more of them right, then a line lower), on a plain ground. No number is written past the client area's edge.

// A marker, in the order the plan draws them: its point (client pixels) and its number's size.
struct _markernumber {
  QPoint pt;
  QSize text;
};

// The rectangle each number is written in, and whether it stands beside its marker.
struct _numberplace {
  QRect rc;
  bool bBeside = false;
};

constexpr int MARKER_NUMBER_INSET = 7;   // the number's corner up and left of the point
constexpr int MARKER_HALF_SIZE = 12;     // the marker's picture reaches this far from its point
constexpr int MARKER_NUMBER_SPACING = 2; // between a marker and a number beside it

QList<_numberplace> PlaceMarkerNumbers(const QList<_markernumber> &markers, const QSize &client);
