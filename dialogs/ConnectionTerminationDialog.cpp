#include "dialogs/ConnectionTerminationDialog.h"

#include "dialogs/PictureLabel.h"

#include "ui_ConnectionTerminationDialog.h"

CConnectionTerminationDialog::CConnectionTerminationDialog(QWidget *pParent)
    : CDialogBase(pParent), m_pUi(std::make_unique<Ui::ConnectionTerminationDialog>()) {
  m_pUi->setupUi(this);
  const QString strIcon = QString::fromLatin1(ICON_PATH);
  setWindowIcon(LoadIcon(strIcon));
  m_pUi->icon->SetPicture(IDI_TERMINATION, strIcon, {ICON_SIZE, ICON_SIZE});
  m_pUi->messageRow->setAlignment(m_pUi->icon, Qt::AlignTop);
  connect(DlgButton(IDOK), &QAbstractButton::clicked, this, &QDialog::accept);
  connect(DlgButton(IDCANCEL), &QAbstractButton::clicked, this, &QDialog::reject);
}

CConnectionTerminationDialog::~CConnectionTerminationDialog() = default;
