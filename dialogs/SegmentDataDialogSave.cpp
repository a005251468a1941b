// A segment whose STOP could not be written (the disk full, the file gone): the dialog says so in
// red and offers Retry and a sound copy of the whole survey elsewhere, while the levels wait in
// memory.
#include "dialogs/SegmentDataDialog.h"

#include "dialogs/SurveyPrompts.h"

#include <QFileInfo>

namespace {

// After the copy of a survey whose last segment is not saved: what is still to be done.
constexpr const char *TEXT_STILL_NOT_SAVED =
    "The segment is still not saved in \"%1\": press Retry once the disk has room.";

} // namespace

void CSegmentDataDialog::ShowSaveState() {
  const CSegmentWalk *pWalk = Walk();
  const bool bNotSaved = pWalk != nullptr && pWalk->GetState() == WalkState::notSaved;
  GetDlgItem(IDC_NOT_SAVED)->setVisible(bNotSaved);
  GetDlgItem(IDC_SAVE_COPY)->setVisible(bNotSaved);
  if (pWalk == nullptr || !pWalk->IsWalking()) {
    SetDlgItemText(IDC_BEGIN_STOP, QString::fromLatin1(bNotSaved ? TEXT_RETRY : TEXT_BEGIN));
    ShowWalking(false);
  }
}

void CSegmentDataDialog::WalkReplaced() {
  m_WalkTimer.stop();
  ResetPointButtons(false);
  EnableDlgItem(IDC_NEW_SEGMENT);
  ShowSaveState();
}

void CSegmentDataDialog::OnRetrySave() {
  // Refused or failed again, the segment stays not saved and the reason is shown; saved, the
  // session says so and the dialog follows (OnWalkStopped).
  RunWalk(&CSurveySession::RetrySave);
}

void CSegmentDataDialog::OnSaveCopy() {
  if (m_pSession == nullptr || m_pSession->SiteData() == nullptr) {
    return;
  }
  const QString strFile = QFileInfo(QString::fromStdString(m_pSession->SiteData()->m_strPath)).fileName();
  SaveSurveyCopy(this, *m_pSession, QString::fromUtf8(TEXT_STILL_NOT_SAVED).arg(strFile));
}
