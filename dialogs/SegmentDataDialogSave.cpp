// A segment whose STOP could not be written (the disk full, the file gone): the dialog says so in
// red and offers Retry and a sound copy of the whole survey elsewhere, while the levels wait in
// memory.
#include "dialogs/SegmentDataDialog.h"

#include "platform/FileException.h"
#include "survey/SegmentWalk.h"
#include "survey/SiteData.h"

#include <QFileInfo>

namespace {

constexpr const char *CAPTION_SAVE_COPY = "Save a copy of the survey";
constexpr const char *FILTER_SURVEY = "Tarvex Survey Data Files (*.tvd)";
constexpr const char *FILTER_ALL = "All Files (*.*)";
constexpr const char *SURVEY_SUFFIX = "tvd";
// The name offered for the copy: the survey's own name with this added.
constexpr const char *COPY_NAME_FORMAT = "%1 copy.tvd";
constexpr const char *TEXT_COPY_SAVED = "A copy of the whole survey, with every level collected, was saved as "
                                        "\"%1\".\nThe segment is still not saved in \"%2\": press Retry once the "
                                        "disk has room.";

} // namespace

void CSegmentDataDialog::ShowSaveState() {
  const CSegmentWalk *pWalk = Walk();
  const bool bNotSaved = pWalk != nullptr && pWalk->GetState() == WalkState::notSaved;
  GetDlgItem(IDC_NOT_SAVED)->setVisible(bNotSaved);
  GetDlgItem(IDC_SAVE_COPY)->setVisible(bNotSaved);
  if (pWalk == nullptr || !pWalk->IsWalking()) {
    SetDlgItemText(IDC_BEGIN_STOP, QString::fromLatin1(bNotSaved ? TEXT_RETRY : TEXT_BEGIN));
  }
}

void CSegmentDataDialog::WalkReplaced() {
  m_WalkTimer.stop();
  ResetPointButtons(false);
  EnableDlgItem(IDC_NEW_SEGMENT);
  ShowSaveState();
}

void CSegmentDataDialog::OnRetrySave() {
  // Refused or failed again, the segment stays not saved and the reason is shown.
  if (RunWalk(&CSegmentWalk::RetrySave)) {
    ShowSaveState();
  }
}

void CSegmentDataDialog::OnSaveCopy() {
  const CSiteData *pData = m_pView != nullptr ? m_pView->GetSiteData() : nullptr;
  if (pData == nullptr) {
    return;
  }
  const QFileInfo survey(QString::fromStdString(pData->m_strPath));
  _fileprompt prompt;
  prompt.nKind = _fileprompt::save;
  prompt.strCaption = QString::fromLatin1(CAPTION_SAVE_COPY);
  prompt.strFileName = QString::fromLatin1(COPY_NAME_FORMAT).arg(survey.completeBaseName());
  prompt.strDefaultSuffix = QString::fromLatin1(SURVEY_SUFFIX);
  prompt.filters = {QString::fromLatin1(FILTER_SURVEY), QString::fromLatin1(FILTER_ALL)};
  prompt.bConfirmOverwrite = true;
  const QString strPath = PromptFile(this, prompt);
  if (strPath.isEmpty()) {
    return;
  }
  try {
    pData->SaveCopyAs(strPath.toStdString());
  } catch (const CFileException &e) {
    Tell(QString::fromStdString(e.GetErrorMessage()), PROMPT_ICON_WARNING);
    return;
  }
  Tell(QString::fromLatin1(TEXT_COPY_SAVED).arg(strPath, survey.fileName()), PROMPT_ICON_INFORMATION);
}
