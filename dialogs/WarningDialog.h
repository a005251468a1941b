#pragma once

#include "dialogs/DialogBase.h"

#include <cstdint>
#include <memory>

class QRadioButton;
namespace Ui {
class WarningDialog;
}

// The channel choice (template 133, "IMPORTANT: Please read !"): shows the preparation steps of
// a walk study and makes the operator choose one or two channels. Run modally with DoModal; on
// QDialog::Accepted the choice is m_nChannels. OK without a choice is refused with a message and
// the dialog stays open. It has no close box; Escape cancels.
class CWarningDialog : public CDialogBase {
  Q_OBJECT

public:
  static constexpr const char *TEXT_SELECT_CHANNELS = "Select \"1 Channel\" OR \"2 Channels\" for the Walk study";
  static constexpr const char *CAPTION_SELECT_CHANNELS = "Select Channels";
  static constexpr const char *PICTURE_LEFT = ":/pictures/instructions/145.svg";
  static constexpr const char *PICTURE_RIGHT = ":/pictures/instructions/146.svg";

  explicit CWarningDialog(QWidget *pParent = nullptr);
  ~CWarningDialog() override;

  int32_t m_nChannels = 2;                  // 1 or 2
  QRadioButton *m_btnOneChannel = nullptr;  // 1039
  QRadioButton *m_btnTwoChannels = nullptr; // 1040

private slots:
  void OnOK();

private:
  std::unique_ptr<Ui::WarningDialog> m_pUi;
};
