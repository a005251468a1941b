#include "tools/tvdtool/CoverageCommand.h"

#include "coverage/CoverageSurvey.h"
#include "platform/FileIdentity.h"
#include "platform/ReplacingFile.h"
#include "quality/QualityFile.h"
#include "render/CoveragePicture.h"
#include "render/CoveragePlan.h"
#include "tools/planimage/PlanImage.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/CoverageGeoTiff.h"
#include "tools/tvdtool/StandardOutput.h"
#include "tools/tvdtool/SurveyCommand.h"

#include <CLI/CLI.hpp>

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>

namespace {

enum class CoverageFormat { none, png, tif, csv };

CoverageFormat FormatOf(const std::string &path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".png"                     ? CoverageFormat::png
         : ext == ".tif" || ext == ".tiff" ? CoverageFormat::tif
         : ext == ".csv"                   ? CoverageFormat::csv
                                           : CoverageFormat::none;
}

template <typename... Args> std::string Printf(const char *pFormat, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, pFormat, args...);
  return text;
}

int Refuse(std::ostream &err, const std::string &text) {
  err << "tvdtool: " << text << ".\n";
  return SURVEY_EXIT_FAILED;
}

// Why the request cannot be carried out, or "".
std::string RequestProblem(const _coveragerequest &request) {
  if (const std::string problem = CoverageSettingsProblem(request.settings); !problem.empty()) {
    return "the coverage cannot be drawn: " + problem;
  }
  if (request.nChannel != 1 && request.nChannel != 2) {
    return "the channel must be 1 or 2, not " + std::to_string(request.nChannel);
  }
  if (request.strOutput.empty()) {
    return request.bStats ? "" : "give -o OUT (.png, .tif or .csv), --stats, or both";
  }
  if (FormatOf(request.strOutput) == CoverageFormat::none) {
    return "the output \"" + request.strOutput +
           "\" must end in .png (the plan with the coverage), .tif (a GeoTIFF of the levels) or .csv (the cells)";
  }
  const std::string &p = request.strProjection;
  if (const auto same =
          FindSameFile(request.strOutput, {request.strSurvey, p, ProjectionStreamPath(p), ProjectionBitmapPath(p)})) {
    return "the coverage must go to another file than \"" + request.strOutput + "\", which is \"" + *same +
           "\", an input, and is left as it is";
  }
  return "";
}

// The cells with a level: the middle of each in plan pixels and in the projection's coordinates,
// its level and the bins that gave it.
std::string CsvText(const CCoverageGrid &grid, const CSiteProjection &projection) {
  const bool bGeo = projection.m_nKind == PROJECTION_GEO;
  std::string text =
      bGeo ? "plan_x,plan_y,latitude,longitude,level,bins\n" : "plan_x,plan_y,linear_x,linear_y,level,bins\n";
  for (int r = 0; r < grid.Rows(); ++r) {
    for (int c = 0; c < grid.Columns(); ++c) {
      if (grid.HasValue(c, r)) {
        double c1 = 0, c2 = 0;
        projection.ToCoordinates(grid.CentreX(c), grid.CentreY(r), c1, c2);
        text += Printf(bGeo ? "%.3f,%.3f,%.9f,%.9f,%.2f,%u\n" : "%.3f,%.3f,%.6f,%.6f,%.2f,%u\n", grid.CentreX(c),
                       grid.CentreY(r), c1, c2, static_cast<double>(grid.Value(c, r)), unsigned{grid.BinCount(c, r)});
      }
    }
  }
  return text;
}

std::vector<uint8_t> PngBytes(const QImage &picture) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(picture)) {
    throw std::runtime_error("the picture cannot be made: " + writer.errorString().toStdString());
  }
  return {bytes.begin(), bytes.end()};
}

// Reports the survey's problems as export does; false when nothing of it can be drawn.
bool ReportSurvey(const std::string &path, const _surveycontents &contents, bool &bDamaged, std::ostream &err) {
  for (const auto &error : contents.errors) {
    if (error.kind == SurveyProblem::notSurvey || !contents.bCountRead) {
      err << "tvdtool: nothing drawn: " << DescribeSurveyError(path, error) << '\n';
      return false;
    }
  }
  for (const auto &error : contents.errors) {
    const bool bNote = error.kind == SurveyProblem::unwrittenSegments;
    bDamaged = bDamaged || !bNote;
    err << (bNote ? "note: " : "error: ") << DescribeSurveyError(path, error) << '\n';
  }
  return true;
}

// Takes out of coverage the segments the survey's side file says were replaced or excluded, saying
// so on err (or, with --all-segments, that they are drawn all the same); then updates it.
void FollowSideFile(const _coveragerequest &request, const _surveycontents &contents, CCoverage &coverage,
                    std::ostream &err) {
  const _qualityload side = LoadQualityFile(request.strSurvey, contents);
  for (const auto &note : side.notes) {
    err << "note: " << note << '\n';
  }
  std::string left;
  for (uint32_t n = 1; n <= contents.segments.size(); ++n) {
    left += side.record.Counts(n) ? "" : (left.empty() ? "" : ", ") + std::to_string(n);
  }
  if (left.empty()) {
    return;
  }
  const bool bOne = left.find(',') == std::string::npos;
  err << "note: segment" << (bOne ? " " : "s ") << left << ", replaced or excluded in \"" << side.strPath << "\", "
      << (request.bAllSegments
              ? (bOne ? "is drawn all the same" : "are drawn all the same")
              : (bOne ? "is left out (--all-segments draws it)" : "are left out (--all-segments draws them)"))
      << ".\n";
  if (!request.bAllSegments) {
    FollowQualityRecord(coverage, side.record, static_cast<uint32_t>(contents.segments.size()));
    coverage.Update();
  }
}

void WriteOutput(const _coveragerequest &request, const _coverageplan &plan, const CCoverage &coverage,
                 const _coveragesurvey &survey) {
  const CCoverageGrid &grid = coverage.Grid(static_cast<uint16_t>(request.nChannel));
  const uint32_t nFrequency = survey.frequencies[static_cast<size_t>(request.nChannel - 1)];
  std::vector<uint8_t> bytes;
  switch (FormatOf(request.strOutput)) {
  case CoverageFormat::png: {
    const std::string title = CoverageChannelName(static_cast<uint16_t>(request.nChannel), nFrequency, true);
    bytes = PngBytes(CoveragePicture(plan.picture, grid, request.settings, QString::fromStdString(title),
                                     coverage.Figures(static_cast<uint16_t>(request.nChannel))));
    break;
  }
  case CoverageFormat::tif:
    bytes =
        CoverageGeoTiff(grid, *plan.pProjection, request.settings,
                        {std::filesystem::path(request.strSurvey).filename().string(), request.nChannel, nFrequency});
    break;
  case CoverageFormat::csv: {
    const std::string text = CsvText(grid, *plan.pProjection);
    bytes.assign(text.begin(), text.end());
    break;
  }
  case CoverageFormat::none:
    return;
  }
  ReplaceFileContents(request.strOutput, bytes.data(), bytes.size(), true);
}

void PrintFigures(const _coveragerequest &request, const CCoverage &coverage, const _coveragesurvey &survey,
                  std::ostream &out) {
  const auto nChannel = static_cast<uint16_t>(request.nChannel);
  out << CoverageFiguresLine(nChannel, survey.frequencies[nChannel - 1U], coverage.Figures(nChannel), request.settings,
                             survey.levels[nChannel - 1U])
      << '\n';
}

} // namespace

int RunCoverage(const _coveragerequest &request, std::ostream &out, std::ostream &err) {
  if (const std::string problem = RequestProblem(request); !problem.empty()) {
    return Refuse(err, problem);
  }
  const bool bPicture = FormatOf(request.strOutput) == CoverageFormat::png;
  if (bPicture) {
    EnsureGuiApplication(); // the legend's text
  }
  _coverageplan plan;
  try {
    plan = LoadCoveragePlan(request.strProjection, bPicture);
  } catch (const std::invalid_argument &e) {
    return Refuse(err, e.what());
  }
  const _planmetric metric = PlanMetricOf(*plan.pProjection, plan.nWidth, plan.nHeight);
  if (const std::string problem = CoverageGridProblem(request.settings, metric, plan.nWidth, plan.nHeight);
      !problem.empty()) {
    return Refuse(err, "the coverage cannot be drawn: " + problem);
  }
  CCoverage coverage(request.settings, metric, plan.nWidth, plan.nHeight, {static_cast<uint16_t>(request.nChannel)});
  const CSurveySource source(request.strSurvey, CFile::shareDenyNone);
  const _coveragesurvey survey = AddSurveyToCoverage(source, coverage);
  bool bDamaged = false;
  if (!ReportSurvey(request.strSurvey, survey.contents, bDamaged, err)) {
    return SURVEY_EXIT_FAILED;
  }
  FollowSideFile(request, survey.contents, coverage, err);
  if (!request.strOutput.empty()) {
    WriteOutput(request, plan, coverage, survey);
    out << "wrote \"" << request.strOutput << "\": " << CoverageChannelName(static_cast<uint16_t>(request.nChannel), 0)
        << " of " << survey.contents.segments.size() << " segments on " << plan.nWidth << " x " << plan.nHeight
        << " plan pixels\n";
  }
  if (request.bStats) {
    PrintFigures(request, coverage, survey, out);
  }
  CheckOutput(out);
  if (bDamaged) {
    err << "tvdtool: \"" << request.strSurvey
        << "\" is damaged: only what could be read was drawn (see 'tvdtool survey verify').\n";
    return SURVEY_EXIT_UNSOUND;
  }
  return SURVEY_EXIT_SOUND;
}

void AddCoverageSettingOptions(CLI::App &command, _coveragesettings &s, std::string &strMean) {
  command.add_option("--cell", s.dCellMetres, "Side of the square cells, metres (default 0.25).");
  command.add_option("--radius", s.dRadiusMetres,
                     "R: a cell takes its level from the bins within R metres of its middle, and has none when "
                     "there is none (default 3).");
  command.add_option("--bin", s.dBinMetres, "Length of a bin along the walked line, metres (default 0.5).");
  command.add_option("--fade", s.dFadeMetres, "The overlay fades out over this last stretch before R (default 1).");
  command
      .add_option("--mean", strMean,
                  "arithmetic (default): the mean of the level numbers; power: the levels taken as dB, "
                  "10^(L/10) averaged and turned back.")
      ->check(CLI::IsMember({"arithmetic", "power"}));
  command.add_option("--scale-low", s.dScaleLow, "The colour scale's low limit, a level (default -110).");
  command.add_option("--scale-high", s.dScaleHigh, "The colour scale's high limit, a level (default -30).");
  command.add_option("--band", s.dBandWidth, "The width of the colour scale's bands, levels (default 10).");
  command.add_option("--threshold", s.dThreshold,
                     "--stats and the legend give the share of the walked area at or above this level (default -75).");
}

void RegisterCoverageCommands(CLI::App &app) {
  auto *command = app.add_subcommand(
      "coverage",
      "Draw the coverage of one channel on the plan: levels averaged along each walked line into bins, "
      "interpolated (inverse distance, power 2) onto square cells from the bins within a radius, nothing where "
      "nobody walked. OUT by its extension: .png, the plan with the coverage and its legend; .tif, a Float32 "
      "GeoTIFF of the levels (EPSG:4326 for a geo-coded projection, NoData outside the radius); .csv, one row for "
      "each cell with a level. Exits 1 when the survey is damaged (what could be read is drawn), 2 when nothing "
      "can be drawn.");
  auto request = std::make_shared<_coveragerequest>();
  auto mean = std::make_shared<std::string>("arithmetic");
  command->add_option("SURVEY", request->strSurvey, "The survey data file (.tvd).")->required();
  command
      ->add_option("--projection", request->strProjection,
                   "The projection the survey was collected on (.gpf or .lpf); nothing is written beside it.")
      ->required();
  command->add_option("--channel", request->nChannel, "The channel, 1 (default) or 2.");
  command->add_option("-o,--output", request->strOutput, "Where to write the coverage: .png, .tif or .csv.");
  command->add_flag("--all-segments", request->bAllSegments,
                    "Draw every segment, also those the survey's quality side file says were replaced or excluded.");
  command->add_flag("--stats", request->bStats,
                    "Print the coverage figures: the walked area (cells with a level) and its share at or above "
                    "the threshold.");
  AddCoverageSettingOptions(*command, request->settings, *mean);
  command->callback([request, mean] {
    _coveragerequest r = *request;
    r.settings.mean = *mean == "power" ? CoverageMean::power : CoverageMean::arithmetic;
    if (const int nCode = RunCoverage(r, std::cout, std::cerr); nCode != SURVEY_EXIT_SOUND) {
      throw CLI::RuntimeError(nCode);
    }
  });
}
