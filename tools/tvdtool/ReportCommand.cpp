#include "tools/tvdtool/ReportCommand.h"

#include "platform/FileIdentity.h"
#include "platform/ReplacingFile.h"
#include "projection/SiteProjection.h"
#include "quality/QualityFile.h"
#include "report/SurveyReport.h"
#include "tools/tvdtool/CoverageCommand.h"
#include "tools/tvdtool/StandardOutput.h"
#include "tools/tvdtool/SurveyCommand.h"

#include <CLI/CLI.hpp>

#include <ctime>
#include <iostream>
#include <memory>
#include <stdexcept>

namespace {

int Refuse(std::ostream &err, const std::string &text) {
  err << "tvdtool: " << text << ".\n";
  return SURVEY_EXIT_FAILED;
}

// Why the report cannot go to the output asked for, or "".
std::string OutputProblem(const _reportrequest &request) {
  if (const std::string problem = QualityFileNameProblem(request.strOutput); !problem.empty()) {
    return problem;
  }
  const std::string &p = request.strProjection;
  if (const auto same =
          FindSameFile(request.strOutput, {request.strSurvey, p, ProjectionStreamPath(p), ProjectionBitmapPath(p),
                                           QualityFilePath(request.strSurvey)})) {
    return "the report must go to another file than \"" + request.strOutput + "\", which is \"" + *same +
           "\", an input, and is left as it is";
  }
  return "";
}

// The local time now, "2024-06-01 10:02".
std::string Now() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  char text[32] = "";
  if (::localtime_r(&now, &parts) != nullptr) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
  }
  return text;
}

} // namespace

int RunSurveyReport(const _reportrequest &request, std::ostream &out, std::ostream &err) {
  if (const std::string problem = ReportRequestProblem(request); !problem.empty()) {
    return Refuse(err, problem);
  }
  if (const std::string problem = OutputProblem(request); !problem.empty()) {
    return Refuse(err, problem);
  }
  _surveyreport report;
  try {
    report = MakeSurveyReport(request);
  } catch (const std::invalid_argument &e) {
    return Refuse(err, e.what());
  }
  ReplaceFileContents(request.strOutput, report.pdf.data(), report.pdf.size(), true);
  for (const auto &problem : report.problems) {
    err << (report.bDamaged ? "error: " : "note: ") << problem << '\n';
  }
  out << "wrote \"" << request.strOutput << "\": " << report.nPages << " pages, " << report.nSegments << " segments, "
      << report.nChannels << (report.nChannels == 1 ? " channel" : " channels") << '\n';
  CheckOutput(out);
  if (report.bDamaged) {
    err << "tvdtool: \"" << request.strSurvey
        << "\" is damaged: only what could be read was reported (see 'tvdtool survey verify').\n";
    return SURVEY_EXIT_UNSOUND;
  }
  return SURVEY_EXIT_SOUND;
}

void RegisterSurveyReportCommand(CLI::App &survey) {
  auto *command = survey.add_subcommand(
      "report", "Make the survey report, a PDF to hand over: a first page with the site, the survey, the walks, the "
                "channels, the coverage figures and the settings used; for each channel the plan with the coverage, "
                "the walked segments and the legend; optionally a grid test; and the table of the segments with "
                "their levels and what the checks found. Exits 1 when the survey is damaged (what could be read is "
                "reported), 2 when no report can be made.");
  auto request = std::make_shared<_reportrequest>();
  auto mean = std::make_shared<std::string>("arithmetic");
  auto paper = std::make_shared<std::string>(ReportPaperName(DefaultReportPaper()));
  auto cellShare = std::make_shared<double>(100 * request->grid.dCellShare);
  auto passShare = std::make_shared<double>(100 * request->grid.dPassShare);
  auto assignments = std::make_shared<std::vector<std::string>>();
  command->add_option("SURVEY", request->strSurvey, "The survey data file (.tvd).")->required();
  command
      ->add_option("--projection", request->strProjection,
                   "The projection the survey was walked on (.gpf or .lpf); nothing is written beside it.")
      ->required();
  command->add_option("-o,--output", request->strOutput, "Where to write the report (a PDF).")->required();
  auto *grid = command->add_option("--grid", request->grid.nRectangles,
                                   "Add a grid test: the walked extent cut into N rectangles as near to square as N "
                                   "allows (20 is usual for a floor).");
  command->add_option("--grid-cells", *cellShare,
                      "A rectangle passes when at least this many percent of its cells with a level reach the "
                      "threshold (default 90).");
  command->add_option("--grid-pass", *passShare,
                      "A channel passes the grid test when at least this many percent of the rectangles pass "
                      "(default 95).");
  command->add_option("--paper", *paper, "a4 or letter (default: the paper of the locale).")
      ->check(CLI::IsMember({"a4", "letter"}));
  AddCoverageSettingOptions(*command, request->coverage, *mean);
  command->add_option("--set", *assignments, "NAME=VALUE: change a threshold of the checks (as 'survey check').");
  command->callback([=] {
    _reportrequest r = *request;
    r.coverage.mean = *mean == "power" ? CoverageMean::power : CoverageMean::arithmetic;
    r.paper = *paper == "letter" ? ReportPaper::letter : ReportPaper::a4;
    r.bGrid = grid->count() > 0;
    r.grid.dCellShare = *cellShare / 100;
    r.grid.dPassShare = *passShare / 100;
    r.strProgram = std::string("Tarvex Collector ") + TARVEX_VERSION;
    r.strMadeAt = Now();
    for (const auto &assignment : *assignments) {
      if (const std::string problem = SetQualitySetting(r.quality, assignment); !problem.empty()) {
        std::cerr << "tvdtool: --set: " << problem << ".\n";
        throw CLI::RuntimeError(SURVEY_EXIT_FAILED);
      }
    }
    if (const int nCode = RunSurveyReport(r, std::cout, std::cerr); nCode != SURVEY_EXIT_SOUND) {
      throw CLI::RuntimeError(nCode);
    }
  });
}
