#pragma once

#include "dialogs/DialogBase.h"
#include "link/Usb.h"

#include <QStringList>

#include <memory>

class QShowEvent;
namespace Ui {
class ConnectionDialog;
}

// The connection dialog (template 130, "Tarvex Connection"). It owns the receiver link m_Link
// for the whole life of the view: the window's CBrackwell, which it holds as the link it is
// (CUSB), so that the dialogs know nothing of the window. Every showing searches for devices (and so starts a new
// worker on the link), as does "Look For USB Devices"; "Connect !" opens the first device found
// at 38400 baud. Run modally with DoModal: QDialog::Accepted once the device is open, Rejected
// when the operator closed the dialog, with nothing opened.
//
// Within one showing the dialog is in one of two states: nothing found ("Look For USB Devices"
// enabled, "Connect !" disabled) or a device found (the other way round). A failed open leaves
// the state as it was.
class CConnectionDialog : public CDialogBase {
  Q_OBJECT

public:
  static constexpr const char *TEXT_NO_DEVICES =
      "No USB Devices have been found\n Please check the USB Connection between the Tarvex Receiver and the Tablet "
      "PC. Make sure that the Tarvex batteries are charged. Click \" Look For USB Devices\" after making sure of the "
      "above";
  static constexpr const char *TEXT_LISTING_FAILED = "No Glintwing USB Devices Found";
  static constexpr const char *CAPTION_LISTING_FAILED = "No Devices";
  static constexpr const char *TEXT_OPEN_FAILED = "USB Port Could not be Opened !";
  static constexpr uint32_t BAUD_RATE = 38400;

  // Owns pLink, the receiver link (a plain CUSB when none is given).
  explicit CConnectionDialog(QWidget *pParent = nullptr, std::unique_ptr<CUSB> pLink = nullptr);
  // Closes the device on the link, if a worker runs; the link then stops its worker.
  ~CConnectionDialog() override;

  // Starts a new worker on the link, lists the devices and shows the first one, or the
  // no-devices text. Sets the buttons' state; returns whether a device was found.
  bool SearchDevices();

private:
  std::unique_ptr<CUSB> m_pLink; // owned; m_Link is it

public:
  CUSB &m_Link;
  // One entry per device found by the last search, in listing order.
  QStringList m_SerialNumbers;
  QStringList m_ProductNames;
  QStringList m_Manufacturers;

public slots:
  void OnLookForDevices();
  // "Connect !": opens the first device; closes the dialog with OK when it opened.
  void OnConnect();

protected:
  void showEvent(QShowEvent *pEvent) override;

private:
  void ShowMessage(const QString &strText);

  std::unique_ptr<Ui::ConnectionDialog> m_pUi;
};
