// File > Survey Report...: the report of the open survey on the loaded projection, made by the
// same code as `tvdtool survey report` and written whole or not at all.
#include "app/MainFrame.h"

#include "app/AppIdentity.h"
#include "app/TarvexCollectorView.h"
#include "dialogs/Prompts.h"
#include "dialogs/SurveyReportDialog.h"
#include "platform/File.h"
#include "platform/FileIdentity.h"
#include "platform/ReplacingFile.h"
#include "quality/QualityFile.h"
#include "report/SurveyReport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStatusBar>

#include <stdexcept>

namespace {

const char *const TEXT_REPORT_NEEDS_SURVEY =
    "A survey report is made of the open survey on the loaded projection: open a projection and a survey first.";
const char *const TEXT_REPORT_WHILE_WALKING = "A segment is being walked: press STOP ! to end the walk first.";
const char *const TEXT_REPORT_FAILED = "The survey report could not be made: %1";
const char *const TEXT_REPORT_INPUT =
    "The survey report must go to another file than \"%1\", which is one of its inputs.";
const char *const TEXT_REPORT_DAMAGED =
    "The survey is damaged: the report written to \"%1\" shows what could be read.\n\n%2";
const char *const TEXT_REPORT_WRITTEN = "Survey report written to %1: %2 pages";
const char *const REPORT_CAPTION = "Save Survey Report";
const char *const REPORT_FILTER = "PDF File (*.pdf)";
const char *const REPORT_SUFFIX = "pdf";
const char *const REPORT_NAME = "%1-report.pdf";
constexpr int REPORT_MESSAGE_MS = 10000;

QString Native(const std::string &strPath) { return QDir::toNativeSeparators(QString::fromStdString(strPath)); }

// Where the operator saves the report; empty when cancelled.
QString AskForReportFile(QWidget *pParent, const std::string &strSurvey) {
  const QFileInfo survey(QString::fromStdString(strSurvey));
  _fileprompt prompt;
  prompt.nKind = _fileprompt::save;
  prompt.strCaption = QString::fromUtf8(REPORT_CAPTION);
  prompt.strFolder = survey.absolutePath();
  prompt.strFileName = QString::fromUtf8(REPORT_NAME).arg(survey.completeBaseName());
  prompt.strDefaultSuffix = QString::fromUtf8(REPORT_SUFFIX);
  prompt.filters = {QString::fromUtf8(REPORT_FILTER)};
  prompt.bConfirmOverwrite = true;
  return PromptFile(pParent, prompt);
}

// The input the output would overwrite, or "".
std::string InputAt(const _reportrequest &request) {
  const std::string &p = request.strProjection;
  const auto same = FindSameFile(request.strOutput, {request.strSurvey, p, ProjectionStreamPath(p),
                                                     ProjectionBitmapPath(p), QualityFilePath(request.strSurvey)});
  return same ? *same : IsQualityFilePath(request.strOutput) ? request.strOutput : "";
}

// Makes the report and writes it; the sentence saying why it could not be, or "".
QString WriteReport(const _reportrequest &request, _surveyreport &report) {
  try {
    report = MakeSurveyReport(request);
    ReplaceFileContents(request.strOutput, report.pdf.data(), report.pdf.size(), true);
  } catch (const CFileException &e) {
    return QString::fromUtf8(TEXT_REPORT_FAILED).arg(QString::fromStdString(e.what()));
  } catch (const std::exception &e) {
    return QString::fromUtf8(TEXT_REPORT_FAILED).arg(QString::fromStdString(e.what()) + QLatin1Char('.'));
  }
  return {};
}

} // namespace

void CMainFrame::OnSurveyReport() {
  const CSurveySession &session = m_pView->Session();
  const QString strTitle = QString::fromUtf8(APP_TITLE);
  if (session.IsWalking() || !session.Run().m_bProjectionLoaded || session.SiteData() == nullptr) {
    PromptMessage(this, QString::fromUtf8(session.IsWalking() ? TEXT_REPORT_WHILE_WALKING : TEXT_REPORT_NEEDS_SURVEY),
                  strTitle, PROMPT_OK, PROMPT_ICON_WARNING);
    return;
  }
  CSurveyReportDialog dialog(m_reportChoice, this);
  if (dialog.DoModal() != QDialog::Accepted) {
    return;
  }
  m_reportChoice = dialog.Choice();
  _reportrequest request;
  request.strSurvey = session.SiteData()->m_strPath;
  request.strProjection = session.Projection().m_strPath;
  request.strOutput = AskForReportFile(this, request.strSurvey).toStdString();
  if (request.strOutput.empty()) {
    return;
  }
  if (const std::string strInput = InputAt(request); !strInput.empty()) {
    PromptMessage(this, QString::fromUtf8(TEXT_REPORT_INPUT).arg(Native(strInput)), strTitle, PROMPT_OK,
                  PROMPT_ICON_WARNING);
    return;
  }
  request.bGrid = m_reportChoice.bGrid;
  request.grid.nRectangles = m_reportChoice.nRectangles;
  request.paper = m_reportChoice.paper;
  request.strProgram = std::string(APP_TITLE) + " " + AppVersion();
  request.strMadeAt = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  _surveyreport report;
  const QString strWhy = WriteReport(request, report);
  QGuiApplication::restoreOverrideCursor();
  if (!strWhy.isEmpty()) {
    PromptMessage(this, strWhy, strTitle, PROMPT_OK, PROMPT_ICON_WARNING);
    return;
  }
  statusBar()->showMessage(QString::fromUtf8(TEXT_REPORT_WRITTEN).arg(Native(request.strOutput)).arg(report.nPages),
                           REPORT_MESSAGE_MS);
  if (report.bDamaged) {
    QStringList problems;
    for (const auto &problem : report.problems) {
      problems.append(QString::fromStdString(problem));
    }
    PromptMessage(this, QString::fromUtf8(TEXT_REPORT_DAMAGED).arg(Native(request.strOutput), problems.join('\n')),
                  strTitle, PROMPT_OK, PROMPT_ICON_WARNING);
  }
}
