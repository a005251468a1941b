#include "app/TarvexCollectorView.h"

#include <QPainter>

namespace {

const char *const VIEW_TEXT_NO_PROJECTION = "( SELECT A PROJECTION )";
// Half the height of the band the text is centred in.
constexpr int NO_PROJECTION_HALF_BAND = 25;

} // namespace

void CTarvexCollectorView::paintEvent(QPaintEvent *) {
  QPainter painter(viewport());
  PaintNoProjection(painter);
}

void CTarvexCollectorView::PaintNoProjection(QPainter &painter) const {
  const QRect rcClient = viewport()->rect();
  painter.fillRect(rcClient, Qt::black);
  painter.setPen(Qt::white);
  painter.setFont(font());
  const QRect rcBand(0, rcClient.height() / 2 - NO_PROJECTION_HALF_BAND, rcClient.width(), 2 * NO_PROJECTION_HALF_BAND);
  painter.drawText(rcBand, Qt::AlignCenter, QString::fromUtf8(VIEW_TEXT_NO_PROJECTION));
}
