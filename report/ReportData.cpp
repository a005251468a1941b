#include "report/ReportData.h"

#include "survey/SurveySource.h"

#include <stdexcept>

namespace {

// The survey's problems, as the tvdtool commands name them; raises std::invalid_argument for a
// file that is no survey.
void NoteProblems(_reportdata &data) {
  const _surveycontents &contents = data.table.contents;
  for (const auto &error : contents.errors) {
    if (error.kind == SurveyProblem::notSurvey || !contents.bCountRead) {
      throw std::invalid_argument("nothing to report: " + DescribeSurveyError(data.request.strSurvey, error));
    }
  }
  for (const auto &error : contents.errors) {
    data.bDamaged = data.bDamaged || error.kind != SurveyProblem::unwrittenSegments;
    data.problems.push_back(DescribeSurveyError(data.request.strSurvey, error));
  }
  for (const auto &note : data.table.side.notes) {
    data.problems.push_back(note);
  }
}

// The coverage of every segment read as `tvdtool coverage` reads it, then without those that do
// not count.
std::array<uint64_t, 2> AddCoverage(_reportdata &data, _coveragesurvey &survey) {
  const CSurveySource source(data.request.strSurvey, CFile::shareDenyNone);
  survey = AddSurveyToCoverage(source, *data.pCoverage);
  std::array<uint64_t, 2> levels{};
  for (const auto &row : data.table.rows) {
    if (!row.bCounts) {
      data.leftOut.push_back(row.quality.facts.nSegment);
      data.pCoverage->TakeOutSegment(row.quality.facts.nSegment);
      continue;
    }
    for (const auto &[nChannel, stats] : row.levels) {
      if (nChannel == 1 || nChannel == 2) {
        levels[nChannel - 1U] += stats.nCount;
      }
    }
  }
  if (!data.leftOut.empty()) {
    data.pCoverage->Update();
  }
  return levels;
}

} // namespace

_reportdata GatherReport(const _reportrequest &request) {
  if (const std::string problem = ReportRequestProblem(request); !problem.empty()) {
    throw std::invalid_argument(problem);
  }
  _reportdata data;
  data.request = request;
  data.plan = LoadCoveragePlan(request.strProjection, true);
  const CSiteProjection &projection = *data.plan.pProjection;
  data.table = ReadSegmentTable(CSurveySource(request.strSurvey, CFile::shareDenyNone), request.strSurvey, &projection,
                                request.quality);
  NoteProblems(data);
  data.pCoverage =
      std::make_unique<CCoverage>(request.coverage, PlanMetricOf(projection, data.plan.nWidth, data.plan.nHeight),
                                  data.plan.nWidth, data.plan.nHeight);
  _coveragesurvey survey;
  const std::array<uint64_t, 2> levels = AddCoverage(data, survey);
  for (uint16_t nChannel = 1; nChannel <= 2; ++nChannel) {
    if (survey.levels[nChannel - 1U] == 0) {
      continue;
    }
    _reportchannel channel;
    channel.nChannel = nChannel;
    channel.nFrequency = survey.frequencies[nChannel - 1U];
    channel.nLevels = levels[nChannel - 1U];
    channel.figures = data.pCoverage->Figures(nChannel);
    if (request.bGrid) {
      channel.grid = RunGridTest(data.pCoverage->Grid(nChannel), request.coverage.dThreshold, request.grid);
    }
    data.channels.push_back(channel);
  }
  return data;
}
