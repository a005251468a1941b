#include "dialogs/SurveyReportDialog.h"

#include "ui_SurveyReportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

CSurveyReportDialog::CSurveyReportDialog(const _reportchoice &choice, QWidget *pParent)
    : CDialogBase(pParent), m_pUi(std::make_unique<Ui::SurveyReportDialog>()) {
  m_pUi->setupUi(this);
  m_pUi->grid->setChecked(choice.bGrid);
  m_pUi->rectangles->setValue(choice.nRectangles);
  m_pUi->rectangles->setEnabled(choice.bGrid);
  m_pUi->paper->setCurrentIndex(choice.paper == ReportPaper::letter ? 1 : 0);
  connect(m_pUi->grid, &QCheckBox::toggled, m_pUi->rectangles, &QWidget::setEnabled);
  connect(m_pUi->ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_pUi->cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CSurveyReportDialog::~CSurveyReportDialog() = default;

_reportchoice CSurveyReportDialog::Choice() const {
  return {m_pUi->grid->isChecked(), m_pUi->rectangles->value(),
          m_pUi->paper->currentIndex() == 1 ? ReportPaper::letter : ReportPaper::a4};
}
