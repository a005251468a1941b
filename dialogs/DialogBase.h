#pragma once

#include "dialogs/DialogIds.h"

#include <QDialog>
#include <QIcon>
#include <QString>

class QAbstractButton;
class QShowEvent;

// A dialog whose controls are found by their resource numbers, as the handlers refer to them.
// Every control of a template carries its number as the integer property "ctrlId"; controls
// without a number (labels, frames) carry none.
//
// A modeless dialog is shown with show() and hidden by its OK, its close box or Escape; it keeps
// its texts while hidden. A modal one is run with DoModal, which goes through the prompt seam
// and answers QDialog::Accepted (OK) or QDialog::Rejected (Cancel, close box, Escape).
class CDialogBase : public QDialog {
  Q_OBJECT

public:
  static constexpr const char *CONTROL_ID_PROPERTY = "ctrlId";

  explicit CDialogBase(QWidget *pParent = nullptr, Qt::WindowFlags flags = {});

  // The control with this number, or nullptr.
  QWidget *GetDlgItem(int nId) const;
  template <class T> T *GetDlgItemAs(int nId) const { return qobject_cast<T *>(GetDlgItem(nId)); }
  // The number a control carries, or -1.
  static int GetDlgCtrlID(const QWidget *pControl);

  // The text of a label, edit box, button, group box or (the current entry of) a combo box.
  void SetDlgItemText(int nId, const QString &strText);
  QString GetDlgItemText(int nId) const;

  void EnableDlgItem(int nId, bool bEnable = true);
  bool IsDlgItemEnabled(int nId) const;

  // Check marks of check boxes and radio buttons. Unchecking works for radio buttons too, so
  // that a group can be left with none checked.
  bool IsDlgButtonChecked(int nId) const;
  void CheckDlgButton(int nId, bool bCheck);

  // Selection of a combo box: the index, or -1 for none.
  int GetCurSel(int nId) const;
  void SetCurSel(int nId, int nIndex);

  // Runs the dialog modally through the prompt seam.
  int DoModal();

  // The icon at strPath (an SVG of the program's resources, drawn sharp at every size), or a
  // null icon when it is not there.
  static QIcon LoadIcon(const QString &strPath);

protected:
  // Pixels of a size given in dialog units (a quarter of the average character width across,
  // an eighth of the character height down) in the dialog's font, so that a control keeps its
  // template's proportions at every font size and scale.
  QSize DialogUnits(int nWidth, int nHeight) const;
  // Keeps a button wide enough for each of the texts it will show, so that changing its text
  // never resizes the dialog.
  void FitButtonToTexts(int nId, const QStringList &texts);
  QAbstractButton *DlgButton(int nId) const;
};
