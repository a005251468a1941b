#include "app/MarkerNumbers.h"

#include <QHash>

#include <algorithm>

namespace {

// rc moved into the client area as far as it fits.
QRect Inside(QRect rc, const QSize &client) {
  rc.moveLeft(std::clamp(rc.left(), 0, std::max(0, client.width() - rc.width())));
  rc.moveTop(std::clamp(rc.top(), 0, std::max(0, client.height() - rc.height())));
  return rc;
}

// The nth number written beside a marker: left of it, then right of it, then a line lower (a line
// higher near the bottom), each side only where the number fits.
QRect BesidePlace(const _markernumber &marker, const QSize &client, int n) {
  const int nReach = MARKER_HALF_SIZE + MARKER_NUMBER_SPACING;
  const int nLeft = marker.pt.x() - nReach - marker.text.width();
  const int nRight = marker.pt.x() + nReach;
  QList<int> sides;
  if (nLeft >= 0) {
    sides.append(nLeft);
  }
  if (nRight + marker.text.width() <= client.width() || sides.isEmpty()) {
    sides.append(nRight);
  }
  const int nRow = n / static_cast<int>(sides.size());
  const int nHeight = marker.text.height();
  int y = marker.pt.y() - nHeight / 2 + nRow * nHeight;
  if (y + nHeight > client.height()) {
    y = marker.pt.y() - nHeight / 2 - nRow * nHeight;
  }
  return {QPoint(sides[n % static_cast<int>(sides.size())], y), marker.text};
}

} // namespace

QList<_numberplace> PlaceMarkerNumbers(const QList<_markernumber> &markers, const QSize &client) {
  const auto Key = [](const QPoint &pt) { return (quint64(quint32(pt.x())) << 32) | quint32(pt.y()); };
  // The last marker drawn at each point: it covers the markers at that point drawn before it.
  QHash<quint64, qsizetype> last;
  for (qsizetype i = 0; i < markers.size(); ++i) {
    last.insert(Key(markers[i].pt), i);
  }
  QHash<quint64, int> beside; // the numbers placed beside the marker at each point so far
  QList<_numberplace> places;
  places.reserve(markers.size());
  for (qsizetype i = 0; i < markers.size(); ++i) {
    const _markernumber &marker = markers[i];
    _numberplace place;
    place.bBeside = last.value(Key(marker.pt)) != i;
    if (!place.bBeside) {
      place.rc = QRect(marker.pt - QPoint(MARKER_NUMBER_INSET, MARKER_NUMBER_INSET), marker.text);
    } else {
      place.rc = BesidePlace(marker, client, beside[Key(marker.pt)]++);
    }
    place.rc = Inside(place.rc, client);
    places.append(place);
  }
  return places;
}
