#pragma once

#include "dialogs/DialogBase.h"

#include <memory>

namespace Ui {
class ConnectionTerminationDialog;
}

// Asks whether the open connection is to be ended (template 150, "Terminate Connection ?").
// Run modally with DoModal: QDialog::Accepted for "Terminate Connection", Rejected for "Cancel",
// the close box or Escape.
class CConnectionTerminationDialog : public CDialogBase {
  Q_OBJECT

public:
  static constexpr const char *ICON_PATH = ":/icons/dialog/175.svg";
  static constexpr int ICON_SIZE = 32;

  explicit CConnectionTerminationDialog(QWidget *pParent = nullptr);
  ~CConnectionTerminationDialog() override;

private:
  std::unique_ptr<Ui::ConnectionTerminationDialog> m_pUi;
};
