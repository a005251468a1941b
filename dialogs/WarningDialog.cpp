#include "dialogs/WarningDialog.h"

#include "dialogs/Prompts.h"

#include "ui_WarningDialog.h"

#include <QRadioButton>

CWarningDialog::CWarningDialog(QWidget *pParent)
    : CDialogBase(pParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_pUi(std::make_unique<Ui::WarningDialog>()) {
  m_pUi->setupUi(this);
  m_btnOneChannel = m_pUi->oneChannel;
  m_btnTwoChannels = m_pUi->twoChannels;
  m_pUi->instructionsLeft->SetPicture(IDB_INSTRUCTIONS_LEFT, QString::fromLatin1(PICTURE_LEFT), {253, 196});
  m_pUi->instructionsRight->SetPicture(IDB_INSTRUCTIONS_RIGHT, QString::fromLatin1(PICTURE_RIGHT), {260, 189});

  connect(m_btnOneChannel, &QRadioButton::clicked, this, [this] { m_nChannels = 1; });
  connect(m_btnTwoChannels, &QRadioButton::clicked, this, [this] { m_nChannels = 2; });
  connect(DlgButton(IDOK), &QAbstractButton::clicked, this, &CWarningDialog::OnOK);
}

CWarningDialog::~CWarningDialog() = default;

void CWarningDialog::OnOK() {
  if (!IsDlgButtonChecked(IDC_ONE_CHANNEL) && !IsDlgButtonChecked(IDC_TWO_CHANNELS)) {
    PromptMessage(this, QString::fromLatin1(TEXT_SELECT_CHANNELS), QString::fromLatin1(CAPTION_SELECT_CHANNELS));
    return;
  }
  accept();
}
