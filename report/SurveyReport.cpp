#include "report/SurveyReport.h"

#include "report/ReportData.h"
#include "report/ReportPages.h"
#include "tools/planimage/PlanImage.h"

#include <QFileInfo>

_surveyreport MakeSurveyReport(const _reportrequest &request) {
  EnsureGuiApplication(); // the fonts
  const _reportdata data = GatherReport(request);
  std::vector<_reportpage> pages{TitlePage(data)};
  for (const auto &channel : data.channels) {
    pages.push_back(CoveragePage(data, channel));
  }
  if (request.bGrid) {
    for (const auto &channel : data.channels) {
      pages.push_back(GridPage(data, channel));
    }
  }
  for (auto &page : TablePages(data)) {
    pages.push_back(std::move(page));
  }
  const QString strSurvey = QFileInfo(QString::fromStdString(request.strSurvey)).fileName();
  const QString strSite = QFileInfo(QString::fromStdString(request.strProjection)).fileName();
  _reportdocument document;
  document.strTitle = QStringLiteral("Survey report: %1").arg(strSurvey);
  document.strCreator = QString::fromStdString(request.strProgram);
  document.strFooter = QStringLiteral("Survey report: %1 on %2").arg(strSurvey, strSite);
  const QByteArray bytes = WriteReportPdf(pages, request.paper, document);
  _surveyreport report;
  report.pdf.assign(bytes.begin(), bytes.end());
  report.nPages = static_cast<int>(pages.size());
  report.nSegments = data.table.rows.size();
  report.nChannels = data.channels.size();
  report.bDamaged = data.bDamaged;
  report.problems = data.problems;
  return report;
}
