#include "dialogs/DialogBase.h"

#include "dialogs/Prompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

CDialogBase::CDialogBase(QWidget *pParent, Qt::WindowFlags flags) : QDialog(pParent, flags) {}

QWidget *CDialogBase::GetDlgItem(int nId) const {
  const auto controls = findChildren<QWidget *>();
  for (QWidget *pControl : controls) {
    if (GetDlgCtrlID(pControl) == nId) {
      return pControl;
    }
  }
  return nullptr;
}

int CDialogBase::GetDlgCtrlID(const QWidget *pControl) {
  const QVariant id = pControl != nullptr ? pControl->property(CONTROL_ID_PROPERTY) : QVariant();
  bool bOk = false;
  const int nId = id.toInt(&bOk);
  return bOk ? nId : -1;
}

void CDialogBase::SetDlgItemText(int nId, const QString &strText) {
  QWidget *pControl = GetDlgItem(nId);
  if (auto *pLabel = qobject_cast<QLabel *>(pControl)) {
    pLabel->setText(strText);
  } else if (auto *pEdit = qobject_cast<QLineEdit *>(pControl)) {
    pEdit->setText(strText);
    pEdit->setCursorPosition(0);
  } else if (auto *pText = qobject_cast<QPlainTextEdit *>(pControl)) {
    pText->setPlainText(strText);
  } else if (auto *pButton = qobject_cast<QAbstractButton *>(pControl)) {
    pButton->setText(strText);
  } else if (auto *pGroup = qobject_cast<QGroupBox *>(pControl)) {
    pGroup->setTitle(strText);
  } else if (auto *pCombo = qobject_cast<QComboBox *>(pControl)) {
    pCombo->setCurrentIndex(pCombo->findText(strText, Qt::MatchExactly));
  }
}

QString CDialogBase::GetDlgItemText(int nId) const {
  QWidget *pControl = GetDlgItem(nId);
  if (auto *pLabel = qobject_cast<QLabel *>(pControl)) {
    return pLabel->text();
  }
  if (auto *pEdit = qobject_cast<QLineEdit *>(pControl)) {
    return pEdit->text();
  }
  if (auto *pText = qobject_cast<QPlainTextEdit *>(pControl)) {
    return pText->toPlainText();
  }
  if (auto *pButton = qobject_cast<QAbstractButton *>(pControl)) {
    return pButton->text();
  }
  if (auto *pGroup = qobject_cast<QGroupBox *>(pControl)) {
    return pGroup->title();
  }
  if (auto *pCombo = qobject_cast<QComboBox *>(pControl)) {
    return pCombo->currentText();
  }
  return {};
}

void CDialogBase::EnableDlgItem(int nId, bool bEnable) {
  if (QWidget *pControl = GetDlgItem(nId)) {
    pControl->setEnabled(bEnable);
  }
}

bool CDialogBase::IsDlgItemEnabled(int nId) const {
  const QWidget *pControl = GetDlgItem(nId);
  return pControl != nullptr && pControl->isEnabled();
}

bool CDialogBase::IsDlgButtonChecked(int nId) const {
  const QAbstractButton *pButton = DlgButton(nId);
  return pButton != nullptr && pButton->isChecked();
}

void CDialogBase::CheckDlgButton(int nId, bool bCheck) {
  QAbstractButton *pButton = DlgButton(nId);
  if (pButton == nullptr) {
    return;
  }
  // The checked button of an auto-exclusive group refuses to be unchecked directly.
  const bool bExclusive = pButton->autoExclusive();
  pButton->setAutoExclusive(false);
  pButton->setChecked(bCheck);
  pButton->setAutoExclusive(bExclusive);
}

int CDialogBase::GetCurSel(int nId) const {
  const auto *pCombo = GetDlgItemAs<QComboBox>(nId);
  return pCombo != nullptr ? pCombo->currentIndex() : -1;
}

void CDialogBase::SetCurSel(int nId, int nIndex) {
  if (auto *pCombo = GetDlgItemAs<QComboBox>(nId)) {
    pCombo->setCurrentIndex(nIndex);
  }
}

QIcon CDialogBase::LoadIcon(const QString &strPath) { return QFile::exists(strPath) ? QIcon(strPath) : QIcon(); }

int CDialogBase::DoModal() { return PromptModal(*this); }

QSize CDialogBase::DialogUnits(int nWidth, int nHeight) const {
  const QFontMetrics metrics(font());
  return {nWidth * metrics.averageCharWidth() / 4, nHeight * metrics.height() / 8};
}

void CDialogBase::FitButtonToTexts(int nId, const QStringList &texts) {
  auto *pButton = qobject_cast<QPushButton *>(GetDlgItem(nId));
  if (pButton == nullptr) {
    return;
  }
  const QString strShown = pButton->text();
  int nWidth = pButton->minimumWidth();
  for (const QString &strText : texts) {
    pButton->setText(strText);
    nWidth = std::max(nWidth, pButton->sizeHint().width());
  }
  pButton->setText(strShown);
  pButton->setMinimumWidth(nWidth);
}

QAbstractButton *CDialogBase::DlgButton(int nId) const { return GetDlgItemAs<QAbstractButton>(nId); }
