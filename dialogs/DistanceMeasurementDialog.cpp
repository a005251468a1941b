#include "dialogs/DistanceMeasurementDialog.h"

#include "projection/DistanceUnits.h"

#include "ui_DistanceMeasurementDialog.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

constexpr const char *DISTANCE_FORMAT = "%0.2f";
constexpr int DISTANCE_WIDTH_DLU = 57;
constexpr int UNITS_WIDTH_DLU = 48;

} // namespace

CDistanceMeasurementDialog::CDistanceMeasurementDialog(QWidget *pParent)
    : CDialogBase(pParent), m_pUi(std::make_unique<Ui::DistanceMeasurementDialog>()) {
  m_pUi->setupUi(this);
  m_cbUnits = m_pUi->units;
  m_edDistance = m_pUi->distance;
  m_edDistance->setMinimumWidth(DialogUnits(DISTANCE_WIDTH_DLU, 0).width());
  m_cbUnits->setMinimumWidth(DialogUnits(UNITS_WIDTH_DLU, 0).width());
  SetCurSel(IDC_UNITS, UNITS_METERS);
  connect(m_cbUnits, &QComboBox::activated, this, &CDistanceMeasurementDialog::OnSelchangeUnits);
}

CDistanceMeasurementDialog::~CDistanceMeasurementDialog() = default;

void CDistanceMeasurementDialog::ShowDistance(double d) {
  switch (GetCurSel(IDC_UNITS)) {
  case UNITS_METERS:
    m_dMeters = d;
    ShowValue(m_dMeters);
    break;
  case UNITS_FEET:
    m_dFeet = MetersToFeet(d);
    ShowValue(m_dFeet);
    break;
  default:
    SetDlgItemText(IDC_DISTANCE, {});
    break;
  }
}

void CDistanceMeasurementDialog::OnSelchangeUnits() {
  switch (GetCurSel(IDC_UNITS)) {
  case UNITS_METERS:
    m_dMeters = FeetToMeters(m_dFeet);
    ShowValue(m_dMeters);
    break;
  case UNITS_FEET:
    m_dFeet = MetersToFeet(m_dMeters);
    ShowValue(m_dFeet);
    break;
  default:
    SetDlgItemText(IDC_DISTANCE, {});
    break;
  }
}

void CDistanceMeasurementDialog::ShowValue(double dValue) {
  SetDlgItemText(IDC_DISTANCE, QString::asprintf(DISTANCE_FORMAT, dValue));
}
