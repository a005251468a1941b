#include "dialogs/IntroDialog.h"

#include "ui_IntroDialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>

namespace {

// Widths of the template's value items and of the two path boxes, in dialog units.
constexpr int VALUE_WIDTH_DLU = 60;
constexpr int PATH_WIDTH_DLU = 194;
constexpr int PROJECTION_HEIGHT_DLU = 20;
// Room for a group box's title above its first row and for its frame below the last.
constexpr int GROUP_TOP_DLU = 12;
constexpr int GROUP_BOTTOM_DLU = 4;
constexpr int GROUP_INSET_PX = 8;

constexpr int VALUE_ITEMS[] = {IDC_RECEIVER1_INSTALLED, IDC_RECEIVER1_MIN, IDC_RECEIVER1_MAX, IDC_RECEIVER1_STEP,
                               IDC_RECEIVER2_INSTALLED, IDC_RECEIVER2_MIN, IDC_RECEIVER2_MAX, IDC_RECEIVER2_STEP};

} // namespace

CIntroDialog::CIntroDialog(QWidget *pParent)
    : CDialogBase(pParent, Qt::Dialog | Qt::FramelessWindowHint), m_pUi(std::make_unique<Ui::IntroDialog>()) {
  m_pUi->setupUi(this);
  m_editProjectionFile = m_pUi->projectionFile;
  m_editCollectionFile = m_pUi->collectionFile;

  // The values sit inside the two group boxes, on the rows of the labels to their left.
  m_pUi->receiverGrid->setRowMinimumHeight(0, DialogUnits(0, GROUP_TOP_DLU).height());
  m_pUi->receiverGrid->setRowMinimumHeight(5, DialogUnits(0, GROUP_BOTTOM_DLU).height());
  for (const int nId : VALUE_ITEMS) {
    auto *pValue = GetDlgItemAs<QLabel>(nId);
    pValue->setContentsMargins(GROUP_INSET_PX, 0, GROUP_INSET_PX, 0);
    pValue->setMinimumWidth(DialogUnits(VALUE_WIDTH_DLU, 0).width() + 2 * GROUP_INSET_PX);
  }
  m_editProjectionFile->setMinimumWidth(DialogUnits(PATH_WIDTH_DLU, 0).width());
  m_editProjectionFile->setFixedHeight(DialogUnits(0, PROJECTION_HEIGHT_DLU).height());
  m_editCollectionFile->setMinimumWidth(DialogUnits(PATH_WIDTH_DLU, 0).width());

  connect(DlgButton(IDOK), &QAbstractButton::clicked, this, &QWidget::hide);
}

CIntroDialog::~CIntroDialog() = default;

void CIntroDialog::paintEvent(QPaintEvent *pEvent) {
  CDialogBase::paintEvent(pEvent);
  // A panel without a caption still shows its edge.
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
