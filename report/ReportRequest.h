#pragma once

#include "coverage/CoverageSettings.h"
#include "coverage/GridTest.h"
#include "quality/QualitySettings.h"

#include <string>

// The paper a report is laid out on.
enum class ReportPaper { a4, letter };

// "a4" or "letter", as tvdtool's --paper names them.
const char *ReportPaperName(ReportPaper paper);
// The paper of the user's locale: Letter where the locale's paper (LC_PAPER, as the C library
// knows it) is 8.5 x 11 inches, A4 everywhere else.
ReportPaper DefaultReportPaper();

// What a survey report is made of and how.
struct _reportrequest {
  std::string strSurvey;     // the survey data file (.tvd)
  std::string strProjection; // the projection it was walked on (.gpf or .lpf)
  std::string strOutput;     // where the report goes, for the command that makes it again
  _coveragesettings coverage;
  _qualitysettings quality;
  bool bGrid = false; // with the grid test of each channel
  _gridsettings grid;
  ReportPaper paper = ReportPaper::a4;
  std::string strProgram; // the program and its version, "Tarvex Collector 0.1.0"
  std::string strMadeAt;  // when the report is made, as its first page gives it
};

// Why the request's settings cannot be used, or "".
std::string ReportRequestProblem(const _reportrequest &request);
