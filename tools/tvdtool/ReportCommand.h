#pragma once

#include "report/ReportRequest.h"

#include <ostream>

namespace CLI {
class App;
}

// tvdtool survey report: makes the survey report (report/SurveyReport.h) of request.strSurvey on
// request.strProjection and writes it to request.strOutput, whole or not at all (a device or a
// pipe is written through). Prints what was written on out; the survey's problems and the side
// file's notes on err.
//
// Returns SURVEY_EXIT_SOUND when the survey was sound; SURVEY_EXIT_UNSOUND when it is damaged and
// what could be read was reported; SURVEY_EXIT_FAILED, with nothing written, when the settings
// cannot be used, the output is one of the inputs or has a side file's name, the projection
// places nothing or the file is no survey. Raises CFileException when an input cannot be read or
// the output cannot be written.
int RunSurveyReport(const _reportrequest &request, std::ostream &out, std::ostream &err);

// Adds `report` to the survey command group.
void RegisterSurveyReportCommand(CLI::App &survey);
