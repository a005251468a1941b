#include "dialogs/HelpDialog.h"

#include "dialogs/PictureLabel.h"

#include "ui_HelpDialog.h"

#include <QShowEvent>

namespace {

// The page order is not the numeric order of the pictures.
const CHelpDialog::_helppage PAGES[CHelpDialog::PAGE_COUNT] = {
    {IDB_HELP_USB_POWER,
     {512, 384},
     "Step 1: make sure that the USB cable is properly installed and that the Tarvex is powered, either externally or "
     "by a well-charged battery."},
    {IDB_HELP_TAB_LOCKS, {521, 384}, "Unfasten the tab locks to remove the lid and reach the control panel keypad."},
    {IDB_HELP_OPEN_LID, {512, 384}, "Open the lid to reach the control panel keypad."},
    {IDB_HELP_POWER_BUTTON, {512, 384}, "Turn on the Tarvex Receiver with the Power button on the front panel."},
    {IDB_HELP_KEYPAD, {373, 388}, "The front panel keypad."},
    {IDB_HELP_READY,
     {512, 384},
     "Once the Tarvex unit measures signal strength in single channel mode, the collector is ready to collect data as "
     "you tap points of interest on the loaded projection."},
};

QString PicturePath(int nBitmap) { return QStringLiteral(":/pictures/help/%1.svg").arg(nBitmap); }

} // namespace

const CHelpDialog::_helppage &CHelpDialog::Page(int nPage) { return PAGES[nPage]; }

CHelpDialog::CHelpDialog(QWidget *pParent) : CDialogBase(pParent), m_pUi(std::make_unique<Ui::HelpDialog>()) {
  m_pUi->setupUi(this);
  m_picture = m_pUi->picture;
  // The control keeps the size of the largest page, so that paging never resizes the dialog.
  QSize area;
  for (const _helppage &page : PAGES) {
    area = area.expandedTo(page.size);
  }
  m_picture->SetArea(area);
  ShowPage();
  connect(DlgButton(IDC_HELP_NEXT), &QAbstractButton::clicked, this, &CHelpDialog::OnNext);
  connect(DlgButton(IDC_HELP_PREVIOUS), &QAbstractButton::clicked, this, &CHelpDialog::OnPrevious);
}

CHelpDialog::~CHelpDialog() = default;

int CHelpDialog::ShownBitmap() const { return m_picture->PictureId(); }

void CHelpDialog::OnNext() {
  m_nPage = m_nPage + 1 > PAGE_COUNT - 1 ? 0 : m_nPage + 1;
  ShowPage();
}

void CHelpDialog::OnPrevious() {
  m_nPage = m_nPage - 1 < 0 ? PAGE_COUNT - 1 : m_nPage - 1;
  ShowPage();
}

void CHelpDialog::showEvent(QShowEvent *pEvent) {
  // Every run starts again at the first page.
  if (!pEvent->spontaneous()) {
    m_nPage = 0;
    ShowPage();
  }
  CDialogBase::showEvent(pEvent);
}

void CHelpDialog::ShowPage() {
  const _helppage &page = PAGES[m_nPage];
  m_picture->SetPicture(page.nBitmap, PicturePath(page.nBitmap), page.size);
  m_picture->setAccessibleName(tr("Help page %1 of %2").arg(m_nPage + 1).arg(PAGE_COUNT));
  m_picture->setAccessibleDescription(QString::fromLatin1(page.pszDescription));
}
