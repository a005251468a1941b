#include "dialogs/CalibrationView.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr double MIN_ZOOM = 1.0 / 64;
constexpr double MAX_ZOOM = 32;
// A press and a release this many screen pixels apart or more are a drag.
constexpr int DRAG_DISTANCE = 6;
constexpr int MARK_RADIUS = 6;
constexpr int LABEL_OFFSET = 8;
const QColor COLOUR_LINE(220, 30, 30);
const QColor COLOUR_CHECK(20, 110, 220);
const QColor COLOUR_ORIGIN(0, 150, 60);
const QColor COLOUR_POINT(200, 0, 160);

QPointF Middle(const QPoint &pt) { return {pt.x() + 0.5, pt.y() + 0.5}; }

} // namespace

CCalibrationView::CCalibrationView(QWidget *pParent) : QGraphicsView(pParent) {
  setScene(new QGraphicsScene(this));
  setBackgroundBrush(QColor(96, 96, 96));
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setDragMode(QGraphicsView::NoDrag);
  setMouseTracking(true);
  setCursor(Qt::CrossCursor);
}

void CCalibrationView::SetPlan(const QImage &plan) {
  scene()->clear();
  m_pPlan = scene()->addPixmap(QPixmap::fromImage(plan));
  m_pPlan->setTransformationMode(Qt::FastTransformation);
  m_planSize = plan.size();
  scene()->setSceneRect(QRectF(QPointF(0, 0), QSizeF(plan.size())));
}

void CCalibrationView::SetMarks(const _calibrationmarks &marks) {
  m_marks = marks;
  viewport()->update();
}

double CCalibrationView::Zoom() const { return transform().m11(); }

void CCalibrationView::ZoomIn() { ZoomBy(2); }

void CCalibrationView::ZoomOut() { ZoomBy(0.5); }

void CCalibrationView::ZoomBy(double dFactor) {
  const double dZoom = std::clamp(Zoom() * dFactor, MIN_ZOOM, MAX_ZOOM);
  const QPointF ptCentre = mapToScene(viewport()->rect().center());
  setTransform(QTransform::fromScale(dZoom, dZoom));
  centerOn(ptCentre);
}

void CCalibrationView::Fit() {
  if (m_pPlan != nullptr) {
    fitInView(m_pPlan, Qt::KeepAspectRatio);
  }
}

QPoint CCalibrationView::ViewportPoint(const QPoint &ptPlan) const { return mapFromScene(Middle(ptPlan)); }

std::optional<QPoint> CCalibrationView::PlanPixel(const QPointF &pt) const {
  const QPointF ptScene = mapToScene(pt.toPoint());
  const QPoint ptPlan(static_cast<int>(std::floor(ptScene.x())), static_cast<int>(std::floor(ptScene.y())));
  if (ptPlan.x() < 0 || ptPlan.y() < 0 || ptPlan.x() >= m_planSize.width() || ptPlan.y() >= m_planSize.height()) {
    return std::nullopt;
  }
  return ptPlan;
}

void CCalibrationView::mousePressEvent(QMouseEvent *pEvent) {
  const auto ptPlan = PlanPixel(pEvent->position());
  if (pEvent->button() != Qt::LeftButton || !ptPlan) {
    QGraphicsView::mousePressEvent(pEvent);
    return;
  }
  m_ptPress = pEvent->position().toPoint();
  emit PlanPressed(*ptPlan);
}

void CCalibrationView::mouseReleaseEvent(QMouseEvent *pEvent) {
  const auto ptPlan = PlanPixel(pEvent->position());
  if (pEvent->button() != Qt::LeftButton || !ptPlan) {
    QGraphicsView::mouseReleaseEvent(pEvent);
    return;
  }
  const bool bDragged = (pEvent->position().toPoint() - m_ptPress).manhattanLength() >= DRAG_DISTANCE;
  emit PlanReleased(*ptPlan, bDragged);
}

void CCalibrationView::mouseMoveEvent(QMouseEvent *pEvent) {
  if (const auto ptPlan = PlanPixel(pEvent->position())) {
    emit PlanMoved(*ptPlan);
  }
  QGraphicsView::mouseMoveEvent(pEvent);
}

// Ctrl+wheel zooms around the pointer; the wheel alone scrolls.
void CCalibrationView::wheelEvent(QWheelEvent *pEvent) {
  if ((pEvent->modifiers() & Qt::ControlModifier) == 0 || pEvent->angleDelta().y() == 0) {
    QGraphicsView::wheelEvent(pEvent);
    return;
  }
  const double dZoom = std::clamp(Zoom() * (pEvent->angleDelta().y() > 0 ? 1.25 : 0.8), MIN_ZOOM, MAX_ZOOM);
  setTransform(QTransform::fromScale(dZoom, dZoom));
  pEvent->accept();
}

// The marks, drawn in screen pixels over the plan so that they keep their size at every zoom.
void CCalibrationView::drawForeground(QPainter *pPainter, const QRectF & /*rcExposed*/) {
  QPainter &painter = *pPainter;
  painter.save();
  painter.resetTransform();
  painter.setRenderHint(QPainter::Antialiasing);
  if (m_marks.line) {
    DrawLine(painter, *m_marks.line, COLOUR_LINE, QStringLiteral("1"));
  }
  if (m_marks.check) {
    DrawLine(painter, *m_marks.check, COLOUR_CHECK, QStringLiteral("2"));
  }
  if (m_marks.pending) {
    DrawLine(painter, QLine(*m_marks.pending, m_marks.ptPointer), COLOUR_LINE, {});
  }
  if (m_marks.origin) {
    DrawPoint(painter, *m_marks.origin, COLOUR_ORIGIN, QStringLiteral("0"));
  }
  for (size_t i = 0; i < m_marks.points.size(); ++i) {
    DrawPoint(painter, m_marks.points[i], COLOUR_POINT, QString::number(i + 1));
  }
  painter.restore();
}

void CCalibrationView::DrawLine(QPainter &painter, const QLine &line, const QColor &colour,
                                const QString &strLabel) const {
  const QPointF pt1 = mapFromScene(Middle(line.p1()));
  const QPointF pt2 = mapFromScene(Middle(line.p2()));
  painter.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(pt1, pt2);
  painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(pt1, pt2);
  for (const QPointF &pt : {pt1, pt2}) {
    painter.drawLine(pt - QPointF(MARK_RADIUS, 0), pt + QPointF(MARK_RADIUS, 0));
    painter.drawLine(pt - QPointF(0, MARK_RADIUS), pt + QPointF(0, MARK_RADIUS));
  }
  if (!strLabel.isEmpty()) {
    painter.drawText((pt1 + pt2) / 2 + QPointF(LABEL_OFFSET, -LABEL_OFFSET), strLabel);
  }
}

void CCalibrationView::DrawPoint(QPainter &painter, const QPoint &pt, const QColor &colour,
                                 const QString &strLabel) const {
  const QPointF ptView = mapFromScene(Middle(pt));
  painter.setPen(QPen(Qt::white, 4));
  painter.drawEllipse(ptView, MARK_RADIUS, MARK_RADIUS);
  painter.setPen(QPen(colour, 2));
  painter.drawEllipse(ptView, MARK_RADIUS, MARK_RADIUS);
  painter.drawPoint(ptView);
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  const QRectF rcText(ptView + QPointF(LABEL_OFFSET, -2 * LABEL_OFFSET - 4), QSizeF(40, 2 * LABEL_OFFSET + 4));
  painter.setPen(Qt::white);
  painter.drawText(rcText.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, strLabel);
  painter.setPen(colour);
  painter.drawText(rcText, Qt::AlignLeft | Qt::AlignVCenter, strLabel);
}
