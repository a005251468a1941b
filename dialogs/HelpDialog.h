#pragma once

#include "dialogs/DialogBase.h"

#include <QSize>

#include <cstdint>
#include <memory>

class CPictureLabel;
class QShowEvent;
namespace Ui {
class HelpDialog;
}

// The help pages (template 141, "Help Dialog"): six pictures of what to do before data
// collection, paged with "Next   >>" and "<< Previous", both wrapping around. Run modally with
// DoModal; every run starts at page 0. It has no OK: its close box and Escape end it with
// QDialog::Rejected.
class CHelpDialog : public CDialogBase {
  Q_OBJECT

public:
  static constexpr int PAGE_COUNT = 6;

  struct _helppage {
    int nBitmap;
    QSize size; // in pixels
    const char *pszDescription;
  };
  // The pages in the order shown.
  static const _helppage &Page(int nPage);

  explicit CHelpDialog(QWidget *pParent = nullptr);
  ~CHelpDialog() override;

  // The picture shown now.
  int ShownBitmap() const;

  int32_t m_nPage = 0;                // 0 to 5
  CPictureLabel *m_picture = nullptr; // 1048

public slots:
  void OnNext();
  void OnPrevious();

protected:
  void showEvent(QShowEvent *pEvent) override;

private:
  void ShowPage();

  std::unique_ptr<Ui::HelpDialog> m_pUi;
};
