// Open Collection: an existing survey opened or a new one created in place of the open one, and
// what follows: the channel choice, the help pages, the segment dialog and, for an existing
// survey, the receiver's description asked for again.
#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/Brackwell.h"
#include "app/MainFrame.h"
#include "app/SafeExit.h"
#include "dialogs/Prompts.h"
#include "dialogs/SurveyPrompts.h"

#include <QDir>
#include <QFileInfo>

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

// Creating a survey never replaces a file unasked, nor a file the session works with.
const char *const TEXT_REPLACE = "%1 already exists.\nDo you want to replace it?";
// A survey whose last walk was cut off.
const char *const TEXT_CONTINUE =
    "%1 was not closed properly: %2.\n\nRepair it and continue the survey? The file as it is now is kept as %3.";
QString Native(const QString &strPath) { return QDir::toNativeSeparators(strPath); }
QString Native(const std::string &strPath) { return Native(QString::fromStdString(strPath)); }

void ShowFailure(QWidget *pParent, const _sessionresult &failure) {
  PromptMessage(pParent, QString::fromStdString(failure.strSentence), QString::fromUtf8(APP_TITLE), PROMPT_OK,
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
    const QString strPath = PromptFile(this, SurveyFilePrompt(_fileprompt::open));
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

// The new survey's name. A file that exists is replaced only when the operator says so, and a
// file the session works with (the open survey, the projection and its side files, a backup, a
// quality side file) never; either way the dialog comes again. Empty when cancelled.
QString CTarvexCollectorView::ChooseNewSurvey() {
  _fileprompt prompt = SurveyFilePrompt(_fileprompt::save);
  for (;;) {
    const QString strPath = PromptFile(this, prompt);
    if (strPath.isEmpty()) {
      return {};
    }
    prompt.strFolder = QFileInfo(strPath).absolutePath();
    prompt.strFileName = QFileInfo(strPath).fileName();
    if (const _sessionresult name = m_Session.CheckNewSurveyName(strPath.toStdString()); !name) {
      ShowFailure(this, name);
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

bool CTarvexCollectorView::OpenCollectionFile(const QString &strPath, int nMode) {
  const std::string strFile = strPath.toStdString();
  // A survey that another program holds is refused before the open one is given up for it.
  if (!m_Session.IsOpenSurvey(strFile)) {
    if (const _sessionresult free = m_Session.CheckFree(strFile); !free) {
      ShowFailure(this, free);
      return false;
    }
  }
  if (!CloseSurvey()) {
    return false; // the operator kept the open survey
  }
  const _sessionresult opened = m_Session.Open(strFile, nMode);
  bool bOpen = static_cast<bool>(opened);
  if (opened.nOutcome == _sessionresult::continuable) {
    bOpen = OfferToContinue(strPath, opened);
  } else if (!opened) {
    ShowFailure(this, opened);
  }
  if (!bOpen) {
    m_IntroDialog.SetDlgItemText(IDC_COLLECTION_FILE, {});
    UpdateCommandStates();
    return false;
  }
  m_IntroDialog.SetDlgItemText(IDC_COLLECTION_FILE, Native(strPath));
  m_SegmentDialog.AddToTotalDistance(static_cast<double>(m_Session.SiteData()->m_fTotalDistance));
  UpdateCommandStates();
  if (CMainFrame *pFrame = Frame()) {
    pFrame->AddRecentFile(strPath);
  }
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
    if (m_bConnected && !Link().SendCommandByte(CMD_RESEND_INFO)) {
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

// Closes the open survey with everything it still holds written. When that fails, the operator
// chooses (CSafeExit's choices): retry, save a copy of the whole survey elsewhere, give up the
// levels not written after a warning, or keep the survey open (false).
bool CTarvexCollectorView::CloseSurvey() {
  const bool bClosed = CSafeExit(m_Session, this, CSafeExit::replacing).CloseSurvey(CSafeExit::askOperator);
  viewport()->update(); // its markers leave the plan
  return bClosed;
}

// A survey whose last walk was cut off (a crash, a flat battery) is repaired in place and
// continued when the operator agrees, the file as it was kept beside it. True once it is open.
bool CTarvexCollectorView::OfferToContinue(const QString &strPath, const _sessionresult &failure) {
  const QString strQuestion =
      QString::fromUtf8(TEXT_CONTINUE)
          .arg(Native(strPath), QString::fromStdString(failure.strInterrupted), Native(failure.strBackupPath));
  if (PromptMessage(this, strQuestion, QString::fromUtf8(APP_TITLE), PROMPT_YESNO, PROMPT_ICON_QUESTION) !=
      PROMPT_ANSWER_YES) {
    return false;
  }
  const _sessionresult continued = m_Session.Continue(strPath.toStdString());
  if (!continued) {
    ShowFailure(this, continued);
    return false;
  }
  ShowStatus(QString::fromStdString(continued.strSentence));
  return true;
}
