#include "dialogs/ConnectionDialog.h"

#include "dialogs/Prompts.h"

#include "ui_ConnectionDialog.h"

#include <QLabel>
#include <QShowEvent>

#include <algorithm>
#include <vector>

namespace {

constexpr int MESSAGE_WIDTH_DLU = 172;
constexpr int MESSAGE_HEIGHT_DLU = 46;

} // namespace

CConnectionDialog::CConnectionDialog(QWidget *pParent, std::unique_ptr<CUSB> pLink)
    : CDialogBase(pParent), m_pLink(pLink ? std::move(pLink) : std::make_unique<CUSB>()), m_Link(*m_pLink),
      m_pUi(std::make_unique<Ui::ConnectionDialog>()) {
  m_pUi->setupUi(this);
  const QSize message = DialogUnits(MESSAGE_WIDTH_DLU, MESSAGE_HEIGHT_DLU);
  m_pUi->deviceMessage->setFixedWidth(message.width());
  m_pUi->deviceMessage->setMinimumHeight(message.height());
  connect(DlgButton(IDC_LOOK_FOR_DEVICES), &QAbstractButton::clicked, this, &CConnectionDialog::OnLookForDevices);
  connect(DlgButton(IDOK), &QAbstractButton::clicked, this, &CConnectionDialog::OnConnect);
}

CConnectionDialog::~CConnectionDialog() {
  // Without a worker nothing can be open, and a command would only wait for an answer that
  // never comes.
  if (m_Link.IsWorkerRunning()) {
    m_Link.PostCommand({USB_CLOSE, 0, nullptr});
  }
}

bool CConnectionDialog::SearchDevices() {
  m_Link.StartWorker();
  m_SerialNumbers.clear();
  m_ProductNames.clear();
  m_Manufacturers.clear();
  uint32_t nCount = 0;
  std::vector<_usbdevice> devices;
  if (!CUSB::ListDevices(nCount, devices)) {
    PromptMessage(this, QString::fromLatin1(TEXT_LISTING_FAILED), QString::fromLatin1(CAPTION_LISTING_FAILED));
  } else {
    for (const _usbdevice &device : devices) {
      m_SerialNumbers.append(QString::fromStdString(device.strSerialNumber));
      m_ProductNames.append(QString::fromStdString(device.strProductName));
      m_Manufacturers.append(QString::fromStdString(device.strManufacturer));
    }
  }

  const bool bFound = !m_SerialNumbers.isEmpty();
  if (bFound) {
    ShowMessage(m_SerialNumbers.front() + QLatin1Char('\t') + m_ProductNames.front() + QLatin1Char('\t') +
                m_Manufacturers.front());
  } else {
    ShowMessage(QString::fromLatin1(TEXT_NO_DEVICES));
  }
  EnableDlgItem(IDOK, bFound);
  EnableDlgItem(IDC_LOOK_FOR_DEVICES, !bFound);
  return bFound;
}

void CConnectionDialog::OnLookForDevices() { SearchDevices(); }

void CConnectionDialog::OnConnect() {
  if (m_SerialNumbers.isEmpty()) {
    return;
  }
  if (m_Link.Open(m_SerialNumbers.front().toStdString(), BAUD_RATE)) {
    accept();
    return;
  }
  ShowMessage(QString::fromLatin1(TEXT_OPEN_FAILED));
}

void CConnectionDialog::showEvent(QShowEvent *pEvent) {
  // Every showing searches anew, before the dialog appears.
  if (!pEvent->spontaneous()) {
    SearchDevices();
  }
  CDialogBase::showEvent(pEvent);
}

void CConnectionDialog::ShowMessage(const QString &strText) {
  QLabel *pMessage = m_pUi->deviceMessage;
  pMessage->setText(strText);
  // A wrapped text may need more lines than the template's area holds.
  const int nHeight = DialogUnits(0, MESSAGE_HEIGHT_DLU).height();
  pMessage->setMinimumHeight(std::max(nHeight, pMessage->heightForWidth(pMessage->maximumWidth())));
}
