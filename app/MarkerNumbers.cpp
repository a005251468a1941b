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

} // namespace

QList<_numberplace> PlaceMarkerNumbers(const QList<_markernumber> &markers, const QSize &client) {
  // The last marker drawn at each point: it covers the markers at that point drawn before it.
  QHash<quint64, qsizetype> last;
  for (qsizetype i = 0; i < markers.size(); ++i) {
    last.insert((quint64(quint32(markers[i].pt.x())) << 32) | quint32(markers[i].pt.y()), i);
  }
  QList<_numberplace> places;
  places.reserve(markers.size());
  for (qsizetype i = 0; i < markers.size(); ++i) {
    const _markernumber &marker = markers[i];
    const quint64 nKey = (quint64(quint32(marker.pt.x())) << 32) | quint32(marker.pt.y());
    _numberplace place;
    place.bBeside = last.value(nKey) != i;
    if (!place.bBeside) {
      place.rc = QRect(marker.pt - QPoint(MARKER_NUMBER_INSET, MARKER_NUMBER_INSET), marker.text);
    } else {
      const int nReach = MARKER_HALF_SIZE + MARKER_NUMBER_SPACING;
      const int nLeft = marker.pt.x() - nReach - marker.text.width();
      const int x = nLeft >= 0 ? nLeft : marker.pt.x() + nReach;
      place.rc = QRect(QPoint(x, marker.pt.y() - marker.text.height() / 2), marker.text);
    }
    place.rc = Inside(place.rc, client);
    places.append(place);
  }
  return places;
}
