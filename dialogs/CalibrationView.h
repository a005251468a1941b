#pragma once

#include <QGraphicsView>
#include <QImage>
#include <QLine>
#include <QPoint>

#include <optional>
#include <vector>

class QGraphicsPixmapItem;

// What the calibration dialog marks on the plan, in plan pixels.
struct _calibrationmarks {
  std::optional<QLine> line;     // the line of known length
  std::optional<QLine> check;    // the second line, which checks the scale
  std::optional<QPoint> origin;  // where X and Y are 0
  std::vector<QPoint> points;    // the geo-coded plan's points, numbered from 1
  std::optional<QPoint> pending; // the first end of a line being drawn
  QPoint ptPointer;              // where the pointer is, for the line being drawn
};

// The floor plan in the calibration dialog: zoomed with the buttons or Ctrl+wheel (around the
// pointer), scrolled with the scroll bars or the wheel, and the dialog's marks drawn over it. A
// press, a drag and a release on the plan are reported in plan pixels (the pixel under the
// pointer, within the plan); what they mean is the dialog's to decide.
class CCalibrationView : public QGraphicsView {
  Q_OBJECT

public:
  explicit CCalibrationView(QWidget *pParent = nullptr);

  void SetPlan(const QImage &plan);
  void SetMarks(const _calibrationmarks &marks);

  void ZoomIn();
  void ZoomOut();
  // The whole plan in the view.
  void Fit();
  // Screen pixels per plan pixel.
  double Zoom() const;

  // The viewport point over the middle of plan pixel ptPlan.
  QPoint ViewportPoint(const QPoint &ptPlan) const;

signals:
  void PlanPressed(const QPoint &ptPlan);
  // bDragged: the pointer moved some way between the press and the release.
  void PlanReleased(const QPoint &ptPlan, bool bDragged);
  void PlanMoved(const QPoint &ptPlan);

protected:
  void mousePressEvent(QMouseEvent *pEvent) override;
  void mouseReleaseEvent(QMouseEvent *pEvent) override;
  void mouseMoveEvent(QMouseEvent *pEvent) override;
  void wheelEvent(QWheelEvent *pEvent) override;
  void drawForeground(QPainter *pPainter, const QRectF &rcExposed) override;

private:
  // The plan pixel under viewport point pt, or nothing outside the plan.
  std::optional<QPoint> PlanPixel(const QPointF &pt) const;
  void ZoomBy(double dFactor);
  void DrawLine(QPainter &painter, const QLine &line, const QColor &colour, const QString &strLabel) const;
  void DrawPoint(QPainter &painter, const QPoint &pt, const QColor &colour, const QString &strLabel) const;

  QGraphicsPixmapItem *m_pPlan = nullptr;
  QSize m_planSize;
  _calibrationmarks m_marks;
  QPoint m_ptPress; // viewport point of the last press on the plan
};
