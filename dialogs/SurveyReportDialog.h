#pragma once

#include "dialogs/DialogBase.h"
#include "report/ReportRequest.h"

#include <memory>

namespace Ui {
class SurveyReportDialog;
}

// What the operator chooses for a survey report.
struct _reportchoice {
  bool bGrid = false;   // with the grid test
  int nRectangles = 20; // its rectangles
  ReportPaper paper = ReportPaper::a4;
};

// "Survey Report" (template 199): whether to add the grid test and with how many rectangles
// (the box is enabled only with the test), and the paper, A4 or Letter.
class CSurveyReportDialog : public CDialogBase {
  Q_OBJECT

public:
  explicit CSurveyReportDialog(const _reportchoice &choice = {}, QWidget *pParent = nullptr);
  ~CSurveyReportDialog() override;

  _reportchoice Choice() const;

private:
  std::unique_ptr<Ui::SurveyReportDialog> m_pUi;
};
