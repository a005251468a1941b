#pragma once

#include "dialogs/DialogBase.h"

#include <memory>

class CPlanPdf;
namespace Ui {
class PdfPageDialog;
}

// "PDF Plan" (template 196): which page of a PDF plan to take, and the resolution it is rendered
// at. The page box is enabled only for a document of several pages. Below them the plan's size in
// pixels at that resolution, or why a plan that large is refused; OK is enabled only for a plan
// that can be taken.
class CPdfPageDialog : public CDialogBase {
  Q_OBJECT

public:
  CPdfPageDialog(const CPlanPdf &pdf, QWidget *pParent = nullptr);
  ~CPdfPageDialog() override;

  int Page() const;
  double Dpi() const;

private slots:
  void OnChange();

private:
  const CPlanPdf &m_pdf;
  std::unique_ptr<Ui::PdfPageDialog> m_pUi;
};
