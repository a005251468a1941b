#include "dialogs/SurveyPrompts.h"

#include "survey/SurveySession.h"

#include <QFileInfo>

_fileprompt SurveyFilePrompt(_fileprompt::Kind nKind) {
  _fileprompt prompt;
  prompt.nKind = nKind;
  prompt.strCaption = QString::fromUtf8(nKind == _fileprompt::save ? SURVEY_CAPTION_SAVE : SURVEY_CAPTION_OPEN);
  prompt.strFileName = QString::fromUtf8(SURVEY_NAME);
  prompt.strDefaultSuffix = QString::fromUtf8(SURVEY_SUFFIX);
  prompt.filters = {QString::fromUtf8(SURVEY_FILTER), QString::fromUtf8(SURVEY_FILTER_ALL)};
  return prompt;
}

bool SaveSurveyCopy(QWidget *pParent, const CSurveySession &session, const QString &strAfter) {
  const CSiteData *pSurvey = session.SiteData();
  if (pSurvey == nullptr) {
    return false;
  }
  const QFileInfo survey(QString::fromStdString(pSurvey->m_strPath));
  _fileprompt prompt = SurveyFilePrompt(_fileprompt::save);
  prompt.strCaption = QString::fromUtf8(SURVEY_CAPTION_COPY);
  prompt.strFolder = survey.absolutePath();
  prompt.strFileName = QString::fromUtf8(SURVEY_COPY_NAME).arg(survey.completeBaseName());
  prompt.bConfirmOverwrite = true;
  const QString strPath = PromptFile(pParent, prompt);
  if (strPath.isEmpty()) {
    return false;
  }
  const _sessionresult copy = session.SaveCopy(strPath.toStdString());
  QString strText = QString::fromStdString(copy.strSentence);
  if (copy && !strAfter.isEmpty()) {
    strText += QLatin1Char('\n') + strAfter;
  }
  PromptMessage(pParent, strText, QString::fromUtf8(APP_TITLE), PROMPT_OK,
                copy ? PROMPT_ICON_INFORMATION : PROMPT_ICON_WARNING);
  return static_cast<bool>(copy);
}
