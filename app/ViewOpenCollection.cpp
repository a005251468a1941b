// Open Collection: an existing survey opened or a new one created in place of the open one, and
// what follows: the channel choice, the help pages, the segment dialog and, for an existing
// survey, the receiver's description asked for again.
#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/MainFrame.h"
#include "app/SafeExit.h"
#include "dialogs/Prompts.h"
#include "survey/SurveyContinue.h"
#include "survey/SurveyFiles.h"
#include "survey/SurveyReader.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

const char *const TEXT_MEASUREMENT_MODE =
    "Tarvex Receiver must NOT be in Measurement Mode prior to opening a Survey Data File.\nPlease press \"ESC\" on "
    "the Tarvex Front panel to exit Measurement mode and then click OK";
const char *const TEXT_OPEN_EXISTING = "Do you wish to open an existing data file?";
const char *const TEXT_NO_FILE = "No data file selected, data can not be collected.";
const char *const TEXT_LOAD_PROJECTION = "Please load the Projection File";
const char *const CAPTION_IMPORTANT = "IMPORTANT";
const char *const TEXT_RESEND_FAILED =
    "Command to Resend Tarvex Info could not be sent, please check the connection. Make sure that the Tarvex is in "
    "Single Channel Measurement Mode and then try again";
const char *const CAPTION_RESEND_FAILED = "Tarvex Info Alert !";
const char *const SURVEY_SUFFIX = "tvd";
const char *const SURVEY_NAME = "Data";
const char *const FILTER_SURVEY = "Tarvex Survey Data Files (*.tvd)";
const char *const FILTER_ALL = "All Files (*.*)";
// The platform's own captions of the file dialogs for opening and for saving.
const char *const CAPTION_OPEN = "Open";
const char *const CAPTION_SAVE = "Save As";

// Creating a survey never replaces a file unasked, nor the survey open now.
const char *const TEXT_REPLACE = "%1 already exists.\nDo you want to replace it?";
const char *const TEXT_OPEN_NOW = "%1 is the survey open now. Choose another name for the new survey.";
// A survey whose last walk was cut off.
const char *const TEXT_CONTINUE =
    "%1 was not closed properly: %2.\n\nRepair it and continue the survey? The file as it is now is kept as %3.";
const char *const TEXT_CONTINUED = "%1 was repaired: %2.";
QString Native(const QString &strPath) { return QDir::toNativeSeparators(strPath); }
QString Native(const std::string &strPath) { return Native(QString::fromStdString(strPath)); }

_fileprompt SurveyPrompt(_fileprompt::Kind nKind) {
  _fileprompt prompt;
  prompt.nKind = nKind;
  prompt.strCaption = QString::fromUtf8(nKind == _fileprompt::save ? CAPTION_SAVE : CAPTION_OPEN);
  prompt.strFileName = QString::fromUtf8(SURVEY_NAME);
  prompt.strDefaultSuffix = QString::fromUtf8(SURVEY_SUFFIX);
  prompt.filters = {QString::fromUtf8(FILTER_SURVEY), QString::fromUtf8(FILTER_ALL)};
  return prompt;
}

void ShowFileError(QWidget *pParent, const CFileException &failure) {
  PromptMessage(pParent, QString::fromStdString(failure.GetErrorMessage()), QString::fromUtf8(APP_TITLE), PROMPT_OK,
                PROMPT_ICON_WARNING);
}

} // namespace

void CTarvexCollectorView::OnOpenCollection() {
  if (RefuseWhileWalking()) {
    return;
  }
  WarnIfMeasuring();
  if (PromptMessage(this, QString::fromUtf8(TEXT_OPEN_EXISTING), QString::fromUtf8(APP_TITLE), PROMPT_YESNO,
                    PROMPT_ICON_QUESTION) == PROMPT_ANSWER_YES) {
    const QString strPath = PromptFile(this, SurveyPrompt(_fileprompt::open));
    if (!strPath.isEmpty()) {
      OpenCollectionFile(strPath, CSiteData::modeOpenExisting);
    }
  } else {
    const QString strPath = ChooseNewSurvey();
    if (strPath.isEmpty()) {
      PromptMessage(this, QString::fromUtf8(TEXT_NO_FILE), QString::fromUtf8(APP_TITLE));
    } else {
      OpenCollectionFile(strPath, CSiteData::modeCreateNew);
    }
  }
  viewport()->update();
}

// Connected after levels arrived: the receiver measures and must leave measurement mode first.
void CTarvexCollectorView::WarnIfMeasuring() {
  if (m_bConnected && (m_Run.m_bChannel1Levels || m_Run.m_bChannel2Levels)) {
    PromptMessage(this, QString::fromUtf8(TEXT_MEASUREMENT_MODE), QString::fromUtf8(APP_TITLE));
  }
}

// The new survey's name. A file that exists is replaced only when the operator says so, and the
// survey open now never; either way the dialog comes again. Empty when cancelled.
QString CTarvexCollectorView::ChooseNewSurvey() {
  _fileprompt prompt = SurveyPrompt(_fileprompt::save);
  for (;;) {
    const QString strPath = PromptFile(this, prompt);
    if (strPath.isEmpty()) {
      return {};
    }
    prompt.strFolder = QFileInfo(strPath).absolutePath();
    prompt.strFileName = QFileInfo(strPath).fileName();
    if (IsOpenSurvey(strPath)) {
      PromptMessage(this, QString::fromUtf8(TEXT_OPEN_NOW).arg(Native(strPath)), QString::fromUtf8(APP_TITLE),
                    PROMPT_OK, PROMPT_ICON_WARNING);
      continue;
    }
    if (QFileInfo::exists(strPath) &&
        PromptMessage(this, QString::fromUtf8(TEXT_REPLACE).arg(Native(strPath)), QString::fromUtf8(APP_TITLE),
                      PROMPT_YESNO, PROMPT_ICON_WARNING) != PROMPT_ANSWER_YES) {
      continue;
    }
    return strPath;
  }
}

bool CTarvexCollectorView::IsOpenSurvey(const QString &strPath) const {
  if (m_pSiteData == nullptr) {
    return false;
  }
  const QFileInfo chosen(strPath);
  const QFileInfo open(QString::fromStdString(m_pSiteData->m_strPath));
  return chosen.absoluteFilePath() == open.absoluteFilePath() ||
         (chosen.exists() && chosen.canonicalFilePath() == open.canonicalFilePath());
}

bool CTarvexCollectorView::OpenCollectionFile(const QString &strPath, int nMode) {
  // A survey that another program holds is refused before the open one is given up for it.
  if (!IsOpenSurvey(strPath) && !SurveyFileFree(strPath)) {
    return false;
  }
  if (!CloseSurvey()) {
    return false; // the operator kept the open survey
  }
  if (!MakeSurvey(strPath, nMode)) {
    m_IntroDialog.SetDlgItemText(IDC_COLLECTION_FILE, {});
    UpdateCommandStates();
    return false;
  }
  m_IntroDialog.SetDlgItemText(IDC_COLLECTION_FILE, Native(strPath));
  m_SegmentDialog.AddToTotalDistance(static_cast<double>(m_pSiteData->m_fTotalDistance));
  m_Run.m_bCollectionOpen = true;
  UpdateCommandStates();
  if (CMainFrame *pFrame = Frame()) {
    pFrame->AddRecentFile(strPath);
  }
  m_SitePlan.UpdateScreenPositions(); // the markers of a reopened survey show on the plan
  if (!m_Run.m_bProjectionLoaded) {
    PromptMessage(this, QString::fromUtf8(TEXT_LOAD_PROJECTION), QString::fromUtf8(CAPTION_IMPORTANT));
    return true;
  }
  if (nMode == CSiteData::modeOpenExisting) {
    if (!ChooseChannels()) {
      return true;
    }
    if (m_HelpDialog.DoModal() == QDialog::Rejected) {
      ShowSegmentDialog();
    }
    if (m_bConnected && !m_ConnectionDialog.m_Link.SendCommandByte(CMD_RESEND_INFO)) {
      PromptMessage(this, QString::fromUtf8(TEXT_RESEND_FAILED), QString::fromUtf8(CAPTION_RESEND_FAILED));
    }
  } else {
    ChooseChannels();
    if (m_HelpDialog.DoModal() == QDialog::Rejected) {
      ShowSegmentDialog();
    }
  }
  return true;
}

// False, having shown why, when another program holds the file.
bool CTarvexCollectorView::SurveyFileFree(const QString &strPath) {
  if (!QFileInfo::exists(strPath)) {
    return true;
  }
  CFile probe;
  CFileException failure(CFileException::none, {}, {});
  if (probe.Open(strPath.toStdString(), CFile::modeRead | CFile::shareExclusive, &failure)) {
    probe.Abort();
    return true;
  }
  if (failure.m_cause != CFileException::sharingViolation) {
    return true; // the open itself says what is wrong
  }
  ShowFileError(this, failure);
  return false;
}

// Closes the open survey with everything it still holds written. When that fails, the operator
// chooses (CSafeExit's choices): retry, save a copy of the whole survey elsewhere, give up the
// levels not written after a warning, or keep the survey open (false).
bool CTarvexCollectorView::CloseSurvey() {
  if (m_pSiteData == nullptr) {
    return true;
  }
  if (!CSafeExit(*this, CSafeExit::replacing).CloseSurvey(CSafeExit::askOperator)) {
    return false;
  }
  DiscardSurvey();
  return true;
}

// The open survey goes, its walk first, and its markers leave the plan.
void CTarvexCollectorView::DiscardSurvey() {
  m_Run.m_pSiteData = nullptr;
  m_Run.m_bCollectionOpen = false;
  m_pWalk.reset();
  m_pSiteData.reset();
  std::fill(std::begin(m_SitePlan.m_Start), std::end(m_SitePlan.m_Start), _planpoint{});
  std::fill(std::begin(m_SitePlan.m_Stop), std::end(m_SitePlan.m_Stop), _planpoint{});
  m_SitePlan.m_nSegmentCount = 0;
  m_SegmentDialog.WalkReplaced();
}

bool CTarvexCollectorView::MakeSurvey(const QString &strPath, int nMode) {
  try {
    AdoptSurvey(std::make_unique<CSiteData>(strPath.toStdString(), nMode, m_SitePlan));
    return true;
  } catch (const CFileException &failure) {
    const bool bDamaged =
        failure.m_cause == CFileException::invalidFile || failure.m_cause == CFileException::endOfFile;
    if (nMode == CSiteData::modeOpenExisting && bDamaged) {
      return OfferToContinue(strPath, failure);
    }
    ShowFileError(this, failure);
    return false;
  }
}

// A survey whose last walk was cut off (a crash, a flat battery) is repaired in place and
// continued when the operator agrees, the file as it was kept beside it. Any other damage is
// refused with the reason, which names the repair tool where a repair can help.
bool CTarvexCollectorView::OfferToContinue(const QString &strPath, const CFileException &failure) {
  const std::string strFile = strPath.toStdString();
  _surveyassessment assessment;
  try {
    const std::vector<uint8_t> bytes = LoadSurveyFile(strFile, CFile::shareDenyWrite);
    assessment = AssessSurvey(bytes.data(), bytes.size());
  } catch (const CFileException &) {
    assessment.state = SurveyState::refused;
  }
  if (assessment.state != SurveyState::continuable) {
    ShowFileError(this, failure);
    return false;
  }
  const QString strQuestion =
      QString::fromUtf8(TEXT_CONTINUE)
          .arg(Native(strPath), QString::fromStdString(assessment.strDescription), Native(FreeBackupName(strFile)));
  if (PromptMessage(this, strQuestion, QString::fromUtf8(APP_TITLE), PROMPT_YESNO, PROMPT_ICON_QUESTION) !=
      PROMPT_ANSWER_YES) {
    return false;
  }
  try {
    const _surveycontinuation continuation = ContinueSurvey(strFile);
    AdoptSurvey(std::make_unique<CSiteData>(strFile, CSiteData::modeOpenExisting, m_SitePlan));
    ShowStatus(
        QString::fromUtf8(TEXT_CONTINUED).arg(Native(strPath), QString::fromStdString(continuation.strDescription)));
  } catch (const CFileException &repairFailure) {
    ShowFileError(this, repairFailure);
    return false;
  }
  return true;
}

void CTarvexCollectorView::AdoptSurvey(std::unique_ptr<CSiteData> pSiteData) {
  m_pSiteData = std::move(pSiteData);
  m_Run.m_pSiteData = m_pSiteData.get();
  m_pWalk = std::make_unique<CSegmentWalk>(*m_pSiteData, m_SitePlan, m_Projection, &m_Run.m_bWalking);
  m_SegmentDialog.WalkReplaced(); // the dialog shows the new walk, not the last survey's
}
