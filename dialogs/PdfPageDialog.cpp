#include "dialogs/PdfPageDialog.h"

#include "projection/PlanSize.h"
#include "tools/planimage/PlanImage.h"
#include "tools/planimage/PlanPdf.h"

#include "ui_PdfPageDialog.h"

#include <QPushButton>
#include <QSpinBox>

namespace {

const char *const TEXT_PAGES = "of %1";
const char *const TEXT_PLAN_SIZE = "The plan will be %1 x %2 pixels.";
const char *const TEXT_TOO_LARGE = "Too large: %1.";

} // namespace

CPdfPageDialog::CPdfPageDialog(const CPlanPdf &pdf, QWidget *pParent)
    : CDialogBase(pParent), m_pdf(pdf), m_pUi(std::make_unique<Ui::PdfPageDialog>()) {
  m_pUi->setupUi(this);
  m_pUi->page->setMaximum(pdf.PageCount());
  m_pUi->page->setSuffix(QLatin1Char(' ') + QString::fromUtf8(TEXT_PAGES).arg(pdf.PageCount()));
  m_pUi->page->setEnabled(pdf.PageCount() > 1);
  m_pUi->dpi->setRange(static_cast<int>(PLAN_MIN_DPI), static_cast<int>(PLAN_MAX_DPI));
  m_pUi->dpi->setValue(static_cast<int>(PLAN_DEFAULT_DPI));
  connect(m_pUi->page, &QSpinBox::valueChanged, this, &CPdfPageDialog::OnChange);
  connect(m_pUi->dpi, &QSpinBox::valueChanged, this, &CPdfPageDialog::OnChange);
  connect(m_pUi->ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_pUi->cancel, &QPushButton::clicked, this, &QDialog::reject);
  OnChange();
}

CPdfPageDialog::~CPdfPageDialog() = default;

int CPdfPageDialog::Page() const { return m_pUi->page->value(); }

double CPdfPageDialog::Dpi() const { return m_pUi->dpi->value(); }

void CPdfPageDialog::OnChange() {
  const QSize size = m_pdf.PixelSize(Page(), Dpi());
  const std::string problem = PlanSizeProblem(static_cast<uint64_t>(std::max(size.width(), 0)),
                                              static_cast<uint64_t>(std::max(size.height(), 0)));
  SetDlgItemText(IDC_PDF_SIZE, problem.empty()
                                   ? QString::fromUtf8(TEXT_PLAN_SIZE).arg(size.width()).arg(size.height())
                                   : QString::fromUtf8(TEXT_TOO_LARGE).arg(QString::fromStdString(problem)));
  EnableDlgItem(IDOK, problem.empty());
}
