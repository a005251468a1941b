#include "app/SafeExit.h"

#include "app/RescueNote.h"
#include "dialogs/Prompts.h"
#include "dialogs/SurveyPrompts.h"
#include "survey/SurveySession.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdio>

namespace {

enum FailureAnswer { answerRetry, answerSaveCopy, answerGiveUp, answerCancel };

const char *const RESCUE_FOLDER = "rescued";
const char *const PROGRAM_NAME = "tarvex-collector";

QString Text(const char *pszText) { return QString::fromUtf8(pszText); }

void SayOnStandardError(const QString &strText) { std::fprintf(stderr, "%s: %s\n", PROGRAM_NAME, qPrintable(strText)); }

} // namespace

bool CSafeExit::MayClose(Mode nMode) {
  if (!m_session.IsOpen()) {
    return true;
  }
  if (m_session.IsWalking()) {
    if (nMode == askOperator && !AskToStopWalk()) {
      return false;
    }
    // STOP: the stop time, the levels still buffered and the final header. A write that fails
    // leaves the segment not saved, with everything waiting in memory; the close that follows
    // writes it, or says why it cannot.
    (void)m_session.Stop(StopCause::exiting);
  }
  return CloseSurvey(nMode);
}

bool CSafeExit::AskToStopWalk() const {
  _messageprompt prompt;
  prompt.strText = Text(TEXT_WALKING).arg(m_session.Walk()->GetSegment());
  prompt.strCaption = Text(APP_TITLE);
  prompt.nIcon = PROMPT_ICON_QUESTION;
  prompt.customButtons = {Text(BUTTON_STOP_AND_EXIT), Text(BUTTON_KEEP_WALKING)};
  return CPrompts::Current().Message(m_pParent, prompt) == PROMPT_ANSWER_CUSTOM;
}

bool CSafeExit::CloseSurvey(Mode nMode) {
  if (nMode == unattended) {
    // Nobody to ask: the window closes either way, and standard error says what became of what
    // could not be written.
    const _sessionresult rescue = m_session.Rescue(RescueFolder().toStdString());
    if (!rescue.strSentence.empty()) {
      SayOnStandardError(QString::fromStdString(rescue.strSentence));
      KeepRescueNote(QString::fromStdString(rescue.strSentence)); // shown at the next start
    }
    return true;
  }
  bool bRetry = true;
  while (bRetry) {
    const _sessionresult closed = m_session.Close();
    if (closed || AskAfterFailure(QString::fromStdString(closed.strSentence), bRetry)) {
      return true;
    }
  }
  return false;
}

bool CSafeExit::AskAfterFailure(const QString &strWhy, bool &bRetry) {
  const bool bExiting = m_nPurpose == exiting;
  for (;;) {
    _messageprompt prompt;
    prompt.strText = Text(bExiting ? TEXT_CLOSE_FAILED : TEXT_REPLACE_FAILED).arg(strWhy);
    prompt.strCaption = Text(APP_TITLE);
    prompt.nIcon = PROMPT_ICON_WARNING;
    prompt.customButtons = {Text(BUTTON_RETRY), Text(BUTTON_SAVE_COPY),
                            Text(bExiting ? BUTTON_QUIT_ANYWAY : BUTTON_DISCARD), Text(BUTTON_CANCEL)};
    switch (CPrompts::Current().Message(m_pParent, prompt) - PROMPT_ANSWER_CUSTOM) {
    case answerRetry:
      bRetry = true;
      return false;
    case answerSaveCopy:
      if (SaveSurveyCopy(m_pParent, m_session)) {
        m_session.Discard(); // the copy holds it all
        return true;
      }
      break;
    case answerGiveUp: {
      // What could not be written is given up only once the operator has read what is lost.
      const QString strName = QDir::toNativeSeparators(QString::fromStdString(m_session.SiteData()->m_strPath));
      if (PromptMessage(m_pParent, Text(bExiting ? TEXT_QUIT_ANYWAY : TEXT_DISCARD).arg(strName), Text(APP_TITLE),
                        PROMPT_YESNO, PROMPT_ICON_WARNING) == PROMPT_ANSWER_YES) {
        m_session.Discard();
        return true;
      }
      break;
    }
    default:
      bRetry = false;
      return false;
    }
  }
}

QString CSafeExit::RescueFolder() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(Text(RESCUE_FOLDER));
}
