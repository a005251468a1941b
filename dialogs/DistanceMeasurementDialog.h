#pragma once

#include "dialogs/DialogBase.h"

#include <memory>

class QComboBox;
class QLineEdit;
namespace Ui {
class DistanceMeasurementDialog;
}

// The distance dialog (template 148, "Distance"): shows a measured distance in metres or feet.
// Modeless; the view shows it at the first press in measuring mode and hides it when measuring
// ends. Its two stored values persist between measurements: switching units converts from the
// value last held in the other unit.
//
// The units box reports every pick the operator makes (QComboBox::activated), also of the entry
// already selected, and each pick converts as a selection change does. Selecting by program
// (SetCurSel) converts nothing.
class CDistanceMeasurementDialog : public CDialogBase {
  Q_OBJECT

public:
  explicit CDistanceMeasurementDialog(QWidget *pParent = nullptr);
  ~CDistanceMeasurementDialog() override;

  // Shows distance d: metres for a geo-coded projection, the linear projection's units
  // otherwise. With " Feet" selected it is shown and kept as d x 3.28 in m_dFeet; with "Meters"
  // as d in m_dMeters; with nothing selected the box is emptied. The other value is kept.
  void ShowDistance(double d);

  double m_dMeters = 0.0;            // last distance held in metres
  double m_dFeet = 0.0;              // last distance held in feet
  QComboBox *m_cbUnits = nullptr;    // 1041
  QLineEdit *m_edDistance = nullptr; // 1042

public slots:
  // A pick in the units box: converts the value last held in the other unit into the one now
  // selected and shows it.
  void OnSelchangeUnits();

private:
  void ShowValue(double dValue);

  std::unique_ptr<Ui::DistanceMeasurementDialog> m_pUi;
};
