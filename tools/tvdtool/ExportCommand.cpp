#include "tools/tvdtool/ExportCommand.h"

#include "link/ReceiverConversions.h"
#include "platform/File.h"
#include "platform/FileIdentity.h"
#include "platform/ReplacingFile.h"
#include "projection/ProjectionHeader.h"
#include "projection/SiteProjection.h"
#include "projection/TransformCheck.h"
#include "quality/QualityFile.h"
#include "survey/LevelPlacement.h"
#include "survey/SurveyReader.h"
#include "tools/tvdtool/StandardOutput.h"
#include "tools/tvdtool/SurveyCommand.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

// Output gathered in blocks and handed to the standard output or to the output file.
class COutputSink {
public:
  COutputSink(std::ostream &out, CReplacingFile *pFile) : m_out(out), m_pFile(pFile) {}

  void Append(const std::string &text) {
    m_buffer += text;
    if (m_buffer.size() >= BLOCK) {
      Flush();
    }
  }
  void Flush() {
    if (m_pFile != nullptr) {
      m_pFile->Write(m_buffer.data(), static_cast<uint32_t>(m_buffer.size()));
    } else {
      m_out << m_buffer << std::flush;
      CheckOutput(m_out); // a full disk or a closed pipe must not pass for success
    }
    m_buffer.clear();
  }

private:
  static constexpr size_t BLOCK = 1 << 20;
  std::ostream &m_out;
  CReplacingFile *m_pFile;
  std::string m_buffer;
};

// printf into a string of whatever length the values need (coordinates far off the plan can
// take hundreds of digits).
template <typename... Args> std::string Printf(const char *pFormat, Args... args) {
  std::string text(128, '\0');
  int nLength = std::snprintf(text.data(), text.size(), pFormat, args...);
  if (nLength >= static_cast<int>(text.size())) {
    text.resize(static_cast<size_t>(nLength) + 1);
    nLength = std::snprintf(text.data(), text.size(), pFormat, args...);
  }
  text.resize(nLength > 0 ? static_cast<size_t>(nLength) : 0);
  return text;
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string &text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  return quoted + "\"";
}

// Why the projection's transform cannot place levels in this format; empty when it can.
std::string PlacementProblem(const CSiteProjection &projection, const _exportrequest &request) {
  const std::string quoted = "\"" + request.strProjection + "\"";
  if (projection.m_nKind == PROJECTION_LINEAR && request.format == ExportFormat::geojson) {
    return quoted + " is a linear projection: its X and Y are no longitude and latitude, which every GeoJSON "
                    "position is; export it with --format csv";
  }
  const _transform transform{projection.m_dA, projection.m_dB, projection.m_dC,
                             projection.m_dD, projection.m_dE, projection.m_dF};
  const std::string problem = TransformProblem(projection.m_nKind, transform);
  return problem.empty() ? "" : quoted + ": " + problem;
}

// The length in seconds of the gap in its channel's levels that level is placed across (the
// walk's levels are spread evenly, so some are placed where none was measured), or 0.
double GapAcross(const _placedlevel &level, const _walkgaps *pWalk) {
  if (pWalk == nullptr) {
    return 0;
  }
  const double dFraction = LevelFraction(level.nIndex, level.nCount);
  for (const auto &gap : pWalk->gaps) {
    const double dStart = pWalk->StartFraction(gap);
    if (gap.nChannel == level.nChannel && dFraction >= dStart && dFraction <= dStart + pWalk->Share(gap)) {
      return static_cast<double>(gap.nDurationMs) / 1000.0;
    }
  }
  return 0;
}

class CExporter {
public:
  CExporter(const CSiteProjection &projection, ExportFormat format, bool bMarkGaps, COutputSink &sink)
      : m_projection(projection), m_format(format), m_bMarkGaps(bMarkGaps), m_sink(sink) {}

  void Begin() {
    if (m_format == ExportFormat::csv) {
      m_sink.Append(m_projection.m_nKind == PROJECTION_GEO
                        ? "segment,channel,index,count,plan_x,plan_y,latitude,longitude,time,frequency_mhz,level,"
                          "time_note"
                        : "segment,channel,index,count,plan_x,plan_y,linear_x,linear_y,time,frequency_mhz,level,"
                          "time_note");
      m_sink.Append(m_bMarkGaps ? ",gap_s\n" : "\n");
    } else {
      m_sink.Append("{\"type\":\"FeatureCollection\",\"features\":[");
    }
  }

  void Level(const _placedlevel &level, const _segmenttiming &timing, const _walkgaps *pWalk) {
    double c1 = 0;
    double c2 = 0;
    m_projection.ToCoordinates(level.dX, level.dY, c1, c2);
    const std::string time = level.bTimed ? FormatLocalTime(level.nTimeMs) : "";
    if (m_format == ExportFormat::csv) {
      const char *pFormat = m_projection.m_nKind == PROJECTION_GEO ? "%u,%u,%u,%u,%.3f,%.3f,%.9f,%.9f,%s,%.4f,%d,"
                                                                   : "%u,%u,%u,%u,%.3f,%.3f,%.6f,%.6f,%s,%.4f,%d,";
      m_sink.Append(Printf(pFormat, level.nSegment, unsigned{level.nChannel}, level.nIndex, level.nCount, level.dX,
                           level.dY, c1, c2, time.c_str(), FrequencyCodeToMHz(level.nFrequency), int{level.nLevel}));
      m_sink.Append(CsvField(level.bTimed ? "" : timing.strNote));
      if (m_bMarkGaps) {
        const double dGap = GapAcross(level, pWalk);
        m_sink.Append(dGap > 0 ? Printf(",%.1f", dGap) : std::string(","));
      }
      m_sink.Append("\n");
      return;
    }
    // Keys in the order a reader expects them: type, geometry, properties.
    nlohmann::ordered_json feature = {
        {"type", "Feature"},
        {"geometry", {{"type", "Point"}, {"coordinates", {c2, c1}}}},
        {"properties",
         {{"segment", level.nSegment},
          {"channel", level.nChannel},
          {"index", level.nIndex},
          {"count", level.nCount},
          {"plan_x", level.dX},
          {"plan_y", level.dY},
          {"time", level.bTimed ? nlohmann::ordered_json(time) : nlohmann::ordered_json(nullptr)},
          {"time_note", level.bTimed ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(timing.strNote)},
          {"frequency_mhz", FrequencyCodeToMHz(level.nFrequency)},
          {"level", level.nLevel}}}};
    if (m_bMarkGaps) {
      const double dGap = GapAcross(level, pWalk);
      feature["properties"]["gap_s"] = dGap > 0 ? nlohmann::ordered_json(dGap) : nlohmann::ordered_json(nullptr);
    }
    m_sink.Append((m_nFeatures++ == 0 ? "\n" : ",\n") + feature.dump());
  }

  void End() {
    if (m_format == ExportFormat::geojson) {
      m_sink.Append("\n]}\n");
    }
    m_sink.Flush();
  }

private:
  const CSiteProjection &m_projection;
  ExportFormat m_format;
  bool m_bMarkGaps;
  COutputSink &m_sink;
  uint64_t m_nFeatures = 0;
};

struct _exported {
  uint64_t nLevels = 0;
  uint32_t nSegments = 0;
};

// Writes every level of the segments of contents that count (all with bAll); says how many.
_exported WriteLevels(const _surveycontents &contents, const _qualityrecord &record, bool bAll, CExporter &exporter,
                      std::ostream &err) {
  _exported exported;
  for (size_t i = 0; i < contents.segments.size(); ++i) {
    const auto nSegment = static_cast<uint32_t>(i + 1);
    if (!bAll && !record.Counts(nSegment)) {
      continue;
    }
    ++exported.nSegments;
    const _segmenttiming timing = SegmentTiming(contents, i);
    const auto placed = PlaceSegmentLevels(contents, i, timing);
    if (!timing.bTimed && !placed.empty()) {
      err << "note: segment " << i + 1 << ": " << timing.strNote << "; its " << placed.size()
          << (placed.size() == 1 ? " level is" : " levels are") << " exported without a time.\n";
    }
    for (const auto &level : placed) {
      exporter.Level(level, timing, record.Walk(nSegment));
    }
    exported.nLevels += placed.size();
  }
  return exported;
}

// What the survey's quality side file says, with its notes and the segments left out on err.
_qualityrecord SideRecord(const _exportrequest &request, const _surveycontents &contents, std::ostream &err) {
  const _qualityload side = LoadQualityFile(request.strSurvey, contents);
  for (const auto &note : side.notes) {
    err << "note: " << note << '\n';
  }
  std::string left;
  for (uint32_t n = 1; n <= contents.segments.size(); ++n) {
    if (!side.record.Counts(n)) {
      left += (left.empty() ? "" : ", ") + std::to_string(n);
    }
  }
  if (!left.empty()) {
    const bool bOne = left.find(',') == std::string::npos;
    err << "note: segment" << (bOne ? " " : "s ") << left << ", replaced or excluded in \"" << side.strPath << "\", "
        << (request.bAllSegments
                ? (bOne ? "is exported all the same" : "are exported all the same")
                : (bOne ? "is left out (--all-segments exports it)" : "are left out (--all-segments exports them)"))
        << ".\n";
  }
  if (request.bMarkGaps && side.record.entries.empty()) {
    err << "note: no gaps are marked: \"" << side.strPath << "\" records none.\n";
  }
  return side.record;
}

// Why the export cannot be written to its output file; empty when it can (or goes to the output stream).
std::string OutputProblem(const _exportrequest &request) {
  if (request.strOutput.empty()) {
    return "";
  }
  if (FindSameFile(request.strOutput, {request.strSurvey, request.strProjection})) {
    return "the export must go to another file than \"" + request.strOutput +
           "\", which is one of its inputs and is left as it is";
  }
  return QualityFileNameProblem(request.strOutput);
}

} // namespace

int ExportSurvey(const _exportrequest &request, std::ostream &out, std::ostream &err) {
  const bool bToFile = !request.strOutput.empty();
  if (const std::string problem = OutputProblem(request); !problem.empty()) {
    err << "tvdtool: " << problem << ".\n";
    return SURVEY_EXIT_FAILED;
  }

  CSiteProjection projection;
  LoadProjectionTransform(request.strProjection, projection);
  if (const std::string problem = PlacementProblem(projection, request); !problem.empty()) {
    err << "tvdtool: " << problem << ".\n";
    return SURVEY_EXIT_FAILED;
  }

  const auto bytes = LoadSurveyFile(request.strSurvey, CFile::shareDenyNone);
  const _surveycontents contents = ParseSurvey(bytes.data(), bytes.size(), true);
  bool bDamaged = false;
  for (const auto &error : contents.errors) {
    // Not a survey, or not even its file header and segment count can be read: nothing to export.
    if (error.kind == SurveyProblem::notSurvey || !contents.bCountRead) {
      err << "tvdtool: nothing exported: " << DescribeSurveyError(request.strSurvey, error) << '\n';
      return SURVEY_EXIT_FAILED;
    }
  }
  for (const auto &error : contents.errors) {
    // Segments announced but never begun hold no levels; every interrupted set-up leaves them.
    const bool bNote = error.kind == SurveyProblem::unwrittenSegments;
    bDamaged = bDamaged || !bNote;
    err << (bNote ? "note: " : "error: ") << DescribeSurveyError(request.strSurvey, error) << '\n';
  }

  // An export to a file is made whole beside it and put in place only when complete: an
  // incomplete export never passes for a complete one, and a file that was there stays as it was.
  std::optional<CReplacingFile> file;
  if (bToFile) {
    file.emplace(request.strOutput, true);
  }
  const _qualityrecord record = SideRecord(request, contents, err);
  COutputSink sink(out, bToFile ? &*file : nullptr);
  CExporter exporter(projection, request.format, request.bMarkGaps, sink);
  exporter.Begin();
  const _exported exported = WriteLevels(contents, record, request.bAllSegments, exporter, err);
  exporter.End();
  if (bToFile) {
    file->Commit();
  }
  if (bToFile) {
    out << "wrote \"" << request.strOutput << "\": " << exported.nLevels << " levels of " << exported.nSegments
        << " segments.\n";
  }
  if (bDamaged) {
    err << "tvdtool: \"" << request.strSurvey
        << "\" is damaged: only what could be read was exported (see 'tvdtool survey verify').\n";
    return SURVEY_EXIT_UNSOUND;
  }
  return SURVEY_EXIT_SOUND;
}

void RegisterSurveyExportCommand(CLI::App &survey) {
  auto *exportCommand = survey.add_subcommand(
      "export",
      "Place every level along its segment and write one row (CSV) or point (GeoJSON) per level: segment, channel, "
      "index, plan pixel, coordinates under the projection, local time, frequency in MHz and level. The k-th of a "
      "channel's N levels in a segment lies at (k + 0.5) / N of the way and of the time from start to stop. Exits 1 "
      "when the survey is damaged (what could be read is exported), 2 when nothing can be exported.");
  auto request = std::make_shared<_exportrequest>();
  auto format = std::make_shared<std::string>("csv");
  exportCommand->add_option("FILE", request->strSurvey, "The survey data file (.tvd).")->required();
  exportCommand
      ->add_option("--projection", request->strProjection,
                   "The projection the survey was collected on (.gpf or .lpf); only its header is read.")
      ->required();
  exportCommand
      ->add_option("--format", *format,
                   "csv (default): a header row and one row per level. geojson: a FeatureCollection of Point "
                   "features at [longitude, latitude]; geo-coded projections only.")
      ->check(CLI::IsMember({"csv", "geojson"}));
  exportCommand->add_option("-o,--output", request->strOutput, "Write to OUT instead of the standard output.");
  exportCommand->add_flag("--all-segments", request->bAllSegments,
                          "Also the segments the survey's quality side file says were walked again or excluded.");
  exportCommand->add_flag("--mark-gaps", request->bMarkGaps,
                          "Add a last column (property) gap_s: for a level placed across a gap in its channel's levels "
                          "that the side file records, the gap's length in seconds; empty (null) otherwise.");
  exportCommand->callback([request, format] {
    _exportrequest r = *request;
    r.format = *format == "geojson" ? ExportFormat::geojson : ExportFormat::csv;
    if (const int nCode = ExportSurvey(r, std::cout, std::cerr); nCode != SURVEY_EXIT_SOUND) {
      throw CLI::RuntimeError(nCode);
    }
  });
}
