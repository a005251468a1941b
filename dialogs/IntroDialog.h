#pragma once

#include "dialogs/DialogBase.h"

#include <memory>

class QLineEdit;
class QPlainTextEdit;
namespace Ui {
class IntroDialog;
}

// The receiver information panel (template 131): the receiver's serial number, which of its two
// receivers are installed with their frequency ranges and steps, and the paths of the loaded
// projection and collection files. Modeless and without a caption; the view writes its items
// (1005 to 1013, 1063, 1064) with SetDlgItemText and shows it. OK hides it; it keeps its texts.
class CIntroDialog : public CDialogBase {
  Q_OBJECT

public:
  explicit CIntroDialog(QWidget *pParent = nullptr);
  ~CIntroDialog() override;

  QPlainTextEdit *m_editProjectionFile = nullptr; // 1063
  QLineEdit *m_editCollectionFile = nullptr;      // 1064

protected:
  void paintEvent(QPaintEvent *pEvent) override;

private:
  std::unique_ptr<Ui::IntroDialog> m_pUi;
};
