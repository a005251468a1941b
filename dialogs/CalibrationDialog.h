#pragma once

#include "dialogs/CalibrationView.h"
#include "dialogs/DialogBase.h"
#include "projection/ProjectionFormat.h"

#include <QImage>

#include <memory>
#include <optional>

namespace Ui {
class CalibrationDialog;
}

// "New Projection from Image" (template 197): calibrates a floor plan over a zoomable view of it
// and saves it as a projection.
//
// Linear: Draw Line, then two clicks (or a drag) over something of known length, and its length
// in metres or feet; optionally Draw Check Line the same way, whose scale's disagreement with the
// first is shown in percent; Set Origin and a click where X and Y are 0 (the top-left corner until
// then). Geo-coded: Add Point and a click, for three or more points, each with its latitude and
// longitude typed or pasted as "lat, lon" into the table; the transform is fitted over all of them
// and each point's residual in metres is shown beside it.
//
// The plan's scale is shown in metres per pixel. What stands in the way of saving (a line or a
// length missing, points on one line, a residual or disagreement over the limit) is said in a
// sentence, and Save As is enabled only when nothing does. Save As writes the .lpf or .gpf through
// the prompt seam's file dialog and ends the dialog with Accepted; SavedPath names the file.
class CCalibrationDialog : public CDialogBase {
  Q_OBJECT

public:
  // plan is the picture as it goes into the projection; strSource the file it came from, whose
  // folder and name the Save As dialog offers.
  CCalibrationDialog(const QImage &plan, const QString &strSource, QWidget *pParent = nullptr);
  ~CCalibrationDialog() override;

  CCalibrationView *View() const;
  // The projection file saved, once the dialog has ended with Accepted.
  QString SavedPath() const { return m_strSavedPath; }

protected:
  void showEvent(QShowEvent *pEvent) override;

private slots:
  void OnKindChanged();
  void OnPlanPressed(const QPoint &ptPlan);
  void OnPlanReleased(const QPoint &ptPlan, bool bDragged);
  void OnPlanMoved(const QPoint &ptPlan);
  void OnRemovePoint();
  void OnSaveAs();
  void Recompute();

private:
  // What the next click on the plan sets.
  enum Tool { toolNone, toolLine, toolCheck, toolOrigin, toolPoint };

  void SetUpTable();
  void ConnectControls();
  void ChooseTool(Tool nTool);
  void FinishLine(const QPoint &ptEnd);
  void AddPoint(const QPoint &ptPlan);
  // The fit of each kind: sets m_transform when the plan may be saved, and returns what the
  // operator is to do or why it may not.
  QString RecomputeLinear();
  QString RecomputeGeo();
  std::optional<double> LengthInMetres(int nId) const;
  void ShowMessage(const QString &strText, bool bProblem);

  std::unique_ptr<Ui::CalibrationDialog> m_pUi;
  QImage m_plan;
  QString m_strSource;
  _calibrationmarks m_marks;
  Tool m_nTool = toolNone;
  std::optional<_transform> m_transform; // the calibration, while it may be saved
  QString m_strSavedPath;
  bool m_bFitted = false;  // the view has been fitted once shown
  bool m_bFilling = false; // the table is being filled by the program
};
