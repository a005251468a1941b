#include "app/SafeExit.h"

#include "app/TarvexCollectorView.h"
#include "dialogs/Prompts.h"
#include "platform/FileException.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace {

enum FailureAnswer { answerRetry, answerSaveCopy, answerGiveUp, answerCancel };

// The name offered for a copy: beside the survey, "NAME copy.tvd".
const char *const COPY_NAME = "%1 copy.tvd";
// An unattended copy: "NAME-YYYYMMDD-HHMMSS.tvd" in the rescue folder.
const char *const RESCUE_NAME = "%1-%2.tvd";
const char *const RESCUE_STAMP = "yyyyMMdd-HHmmss";
const char *const RESCUE_FOLDER = "rescued";
const char *const PROGRAM_NAME = "tarvex-collector";

QString Text(const char *pszText) { return QString::fromUtf8(pszText); }

QString ErrorText(const CFileException &error) { return QString::fromStdString(error.GetErrorMessage()); }

void SayOnStandardError(const QString &strText) { std::fprintf(stderr, "%s: %s\n", PROGRAM_NAME, qPrintable(strText)); }

} // namespace

bool CSafeExit::MayClose(Mode nMode) {
  if (m_view.m_pSiteData == nullptr || m_view.m_pSiteData->IsClosed()) {
    return true;
  }
  if (m_view.m_pWalk != nullptr && m_view.m_pWalk->IsWalking()) {
    if (nMode == askOperator && !AskToStopWalk()) {
      return false;
    }
    StopWalk();
  }
  return CloseSurvey(nMode);
}

bool CSafeExit::AskToStopWalk() const {
  _messageprompt prompt;
  prompt.strText = Text(TEXT_WALKING).arg(m_view.m_pWalk->GetSegment());
  prompt.strCaption = Text(CAPTION);
  prompt.nIcon = PROMPT_ICON_QUESTION;
  prompt.customButtons = {Text(BUTTON_STOP_AND_EXIT), Text(BUTTON_KEEP_WALKING)};
  return CPrompts::Current().Message(&m_view, prompt) == PROMPT_ANSWER_CUSTOM;
}

// STOP: the stop time, the levels still buffered and the final header. A write that fails leaves
// the segment not saved, with everything waiting in memory; the close that follows writes it, or
// says why it cannot.
void CSafeExit::StopWalk() { m_view.m_SegmentDialog.EndWalkQuietly(); }

bool CSafeExit::CloseSurvey(Mode nMode) {
  bool bRetry = true;
  while (bRetry) {
    try {
      m_view.m_pSiteData->Close();
      return true;
    } catch (const CFileException &error) {
      if (nMode == unattended) {
        return RescueUnattended(ErrorText(error));
      }
      if (AskAfterFailure(ErrorText(error), bRetry)) {
        return true;
      }
    }
  }
  return false;
}

bool CSafeExit::AskAfterFailure(const QString &strWhy, bool &bRetry) {
  const bool bExiting = m_nPurpose == exiting;
  for (;;) {
    _messageprompt prompt;
    prompt.strText = Text(bExiting ? TEXT_CLOSE_FAILED : TEXT_REPLACE_FAILED).arg(strWhy);
    prompt.strCaption = Text(CAPTION);
    prompt.nIcon = PROMPT_ICON_WARNING;
    prompt.customButtons = {Text(BUTTON_RETRY), Text(BUTTON_SAVE_COPY),
                            Text(bExiting ? BUTTON_QUIT_ANYWAY : BUTTON_DISCARD), Text(BUTTON_CANCEL)};
    switch (CPrompts::Current().Message(&m_view, prompt) - PROMPT_ANSWER_CUSTOM) {
    case answerRetry:
      bRetry = true;
      return false;
    case answerSaveCopy:
      if (SaveCopy()) {
        return true;
      }
      break;
    case answerGiveUp: {
      // What could not be written is given up only once the operator has read what is lost.
      const QString strName = QDir::toNativeSeparators(QString::fromStdString(m_view.m_pSiteData->m_strPath));
      if (PromptMessage(&m_view, Text(bExiting ? TEXT_QUIT_ANYWAY : TEXT_DISCARD).arg(strName), Text(CAPTION),
                        PROMPT_YESNO, PROMPT_ICON_WARNING) == PROMPT_ANSWER_YES) {
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

// A sound copy of the whole survey where the operator chooses. True once it is saved.
bool CSafeExit::SaveCopy() {
  const QFileInfo survey(QString::fromStdString(m_view.m_pSiteData->m_strPath));
  _fileprompt prompt;
  prompt.nKind = _fileprompt::save;
  prompt.strCaption = Text(CAPTION_COPY);
  prompt.strFolder = survey.absolutePath();
  prompt.strFileName = Text(COPY_NAME).arg(survey.completeBaseName());
  prompt.strDefaultSuffix = QStringLiteral("tvd");
  prompt.filters = {Text(FILTER_SURVEY), Text(FILTER_ALL)};
  prompt.bConfirmOverwrite = true;
  const QString strPath = PromptFile(&m_view, prompt);
  if (strPath.isEmpty()) {
    return false;
  }
  try {
    m_view.m_pSiteData->SaveCopyAs(strPath.toStdString());
  } catch (const CFileException &error) {
    PromptMessage(&m_view, ErrorText(error), Text(CAPTION), PROMPT_OK, PROMPT_ICON_CRITICAL);
    return false;
  }
  PromptMessage(&m_view, Text(TEXT_COPY_SAVED).arg(QDir::toNativeSeparators(strPath)), Text(CAPTION), PROMPT_OK,
                PROMPT_ICON_INFORMATION);
  return true;
}

// Nobody to ask: one more try (a file another program held for a moment), then a copy among the
// program's data. The window closes either way.
bool CSafeExit::RescueUnattended(const QString &strWhy) {
  try {
    m_view.m_pSiteData->Close();
    return true;
  } catch (const CFileException &) {
    // As before: rescued below.
  }
  const QFileInfo survey(QString::fromStdString(m_view.m_pSiteData->m_strPath));
  const QString strName =
      Text(RESCUE_NAME).arg(survey.completeBaseName(), QDateTime::currentDateTime().toString(Text(RESCUE_STAMP)));
  const QString strPath = QDir(RescueFolder()).filePath(strName);
  try {
    QDir().mkpath(RescueFolder());
    m_view.m_pSiteData->SaveCopyAs(strPath.toStdString());
    SayOnStandardError(Text(SAY_RESCUED).arg(strWhy, QDir::toNativeSeparators(strPath)));
  } catch (const CFileException &error) {
    SayOnStandardError(Text(SAY_NOT_RESCUED).arg(strWhy, ErrorText(error)));
  }
  return true;
}

QString CSafeExit::RescueFolder() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(Text(RESCUE_FOLDER));
}
