#include "dialogs/CoverageSettingsDialog.h"

#include "coverage/ColourScale.h"

#include "ui_CoverageSettingsDialog.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>

#include <utility>

namespace {

const char *const TEXT_CANNOT_BE_USED = "These settings cannot be used: %1.";
const char *const TEXT_SUMMARY = "%1 colour bands from %2 to %3; the walked area at or above %4 counts as covered.";
// The entries of the mean box, in this order.
constexpr int MEAN_ARITHMETIC = 0;
constexpr int MEAN_POWER = 1;

} // namespace

CCoverageSettingsDialog::CCoverageSettingsDialog(const _coveragesettings &settings, ProblemFunction pfnProblem,
                                                 QWidget *pParent)
    : CDialogBase(pParent), m_pfnProblem(std::move(pfnProblem)), m_pUi(std::make_unique<Ui::CoverageSettingsDialog>()) {
  m_pUi->setupUi(this);
  ShowSettings(settings);
  for (QDoubleSpinBox *pBox : {m_pUi->cell, m_pUi->radius, m_pUi->bin, m_pUi->fade, m_pUi->scaleLow, m_pUi->scaleHigh,
                               m_pUi->band, m_pUi->threshold}) {
    connect(pBox, &QDoubleSpinBox::valueChanged, this, &CCoverageSettingsDialog::OnChange);
  }
  connect(m_pUi->mean, &QComboBox::currentIndexChanged, this, &CCoverageSettingsDialog::OnChange);
  connect(m_pUi->defaults, &QPushButton::clicked, this, &CCoverageSettingsDialog::OnDefaults);
  connect(m_pUi->ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_pUi->cancel, &QPushButton::clicked, this, &QDialog::reject);
  OnChange();
}

CCoverageSettingsDialog::~CCoverageSettingsDialog() = default;

_coveragesettings CCoverageSettingsDialog::Settings() const {
  _coveragesettings s;
  s.dCellMetres = m_pUi->cell->value();
  s.dRadiusMetres = m_pUi->radius->value();
  s.dBinMetres = m_pUi->bin->value();
  s.dFadeMetres = m_pUi->fade->value();
  s.mean = m_pUi->mean->currentIndex() == MEAN_POWER ? CoverageMean::power : CoverageMean::arithmetic;
  s.dScaleLow = m_pUi->scaleLow->value();
  s.dScaleHigh = m_pUi->scaleHigh->value();
  s.dBandWidth = m_pUi->band->value();
  s.dThreshold = m_pUi->threshold->value();
  return s;
}

void CCoverageSettingsDialog::ShowSettings(const _coveragesettings &s) {
  m_pUi->cell->setValue(s.dCellMetres);
  m_pUi->radius->setValue(s.dRadiusMetres);
  m_pUi->bin->setValue(s.dBinMetres);
  m_pUi->fade->setValue(s.dFadeMetres);
  m_pUi->mean->setCurrentIndex(s.mean == CoverageMean::power ? MEAN_POWER : MEAN_ARITHMETIC);
  m_pUi->scaleLow->setValue(s.dScaleLow);
  m_pUi->scaleHigh->setValue(s.dScaleHigh);
  m_pUi->band->setValue(s.dBandWidth);
  m_pUi->threshold->setValue(s.dThreshold);
}

void CCoverageSettingsDialog::OnChange() {
  const _coveragesettings settings = Settings();
  std::string problem = CoverageSettingsProblem(settings);
  if (problem.empty() && m_pfnProblem) {
    problem = m_pfnProblem(settings);
  }
  const auto number = [](double d) { return QString::number(d, 'g', 6); };
  SetDlgItemText(IDC_COV_MESSAGE,
                 problem.empty()
                     ? QString::fromUtf8(TEXT_SUMMARY)
                           .arg(CoverageBandCount(settings))
                           .arg(number(settings.dScaleLow), number(settings.dScaleHigh), number(settings.dThreshold))
                     : QString::fromUtf8(TEXT_CANNOT_BE_USED).arg(QString::fromStdString(problem)));
  EnableDlgItem(IDOK, problem.empty());
}

void CCoverageSettingsDialog::OnDefaults() { ShowSettings(_coveragesettings{}); }
