#include "report/ReportSummary.h"

#include "report/ReportText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string_view>

namespace {

// At most this many of the survey's problems are listed; the rest are counted.
constexpr size_t REPORT_MAX_PROBLEMS = 8;

std::string FileName(const std::string &strPath) { return std::filesystem::path(strPath).filename().string(); }

std::string Percent(double dShare) { return ReportNumber(100 * dShare, 1) + " %"; }

// "2024-06-01 09:05:03" of a moment on the local wall clock (_segmenttiming::nStartMs).
std::string Moment(int64_t nMs) {
  std::string text = FormatLocalTime(nMs).substr(0, 19);
  std::replace(text.begin(), text.end(), 'T', ' ');
  return text;
}

// "from 2024-06-01 09:05:03 to 2024-06-01 10:12:44": the first walk's start and the last walk's
// stop, of the walks with a time.
std::string WalkedWhen(const _segmenttable &table) {
  int64_t nFirst = INT64_MAX;
  int64_t nLast = INT64_MIN;
  for (const auto &row : table.rows) {
    const _segmenttiming &t = row.quality.facts.timing;
    if (t.bTimed) {
      nFirst = std::min(nFirst, t.nStartMs);
      nLast = std::max(nLast, t.nStartMs + t.nDurationMs);
    }
  }
  if (nFirst == INT64_MAX) {
    return table.rows.empty() ? "no segment" : "no segment has a time";
  }
  return "from " + Moment(nFirst) + " to " + Moment(nLast);
}

std::string SegmentsLine(const _segmenttable &table) {
  size_t nCounting = 0;
  size_t nReplaced = 0;
  size_t nExcluded = 0;
  std::vector<uint32_t> flagged;
  for (const auto &row : table.rows) {
    nCounting += row.bCounts ? 1 : 0;
    nReplaced += row.nReplacedBy != 0 ? 1 : 0;
    nExcluded += row.nReplacedBy == 0 && row.bExcluded ? 1 : 0;
    if (row.bCounts && !row.quality.Passed()) {
      flagged.push_back(row.quality.facts.nSegment);
    }
  }
  std::string text = std::to_string(table.rows.size()) + ", of which " + std::to_string(nCounting) + " count (" +
                     std::to_string(nReplaced) + " replaced, " + std::to_string(nExcluded) + " excluded); ";
  return text + (flagged.empty() ? "every segment that counts passed the checks"
                                 : std::to_string(flagged.size()) + " flagged by the checks: " + ReportRanges(flagged));
}

std::string DistanceLine(const _segmenttable &table) {
  double dMetres = 0;
  double dSeconds = 0;
  for (const auto &row : table.rows) {
    const _segmentfacts &facts = row.quality.facts;
    if (row.bCounts) {
      dMetres += facts.bLength ? facts.dLengthM : 0;
      dSeconds += facts.timing.bTimed ? facts.Seconds() : 0;
    }
  }
  return ReportNumber(dMetres, 2) + " m in " + ReportDuration(dSeconds) + " (the segments that count)";
}

// The checks that could not be made, and for which segments: "speed for segments 1-3: ...".
std::vector<std::string> NotChecked(const _segmenttable &table) {
  std::map<std::pair<QualityCheck, std::string>, std::vector<uint32_t>> skipped;
  for (const auto &row : table.rows) {
    for (const auto &skip : row.quality.skipped) {
      skipped[{skip.check, skip.strWhy}].push_back(row.quality.facts.nSegment);
    }
  }
  std::vector<std::string> lines;
  for (const auto &[what, segments] : skipped) {
    lines.push_back(std::string(QualityCheckName(what.first)) + " for segment" + (segments.size() == 1 ? " " : "s ") +
                    ReportRanges(segments) + ": " + what.second);
  }
  return lines;
}

void AddChannelLines(const _reportdata &data, std::vector<_reportline> &lines) {
  std::string channels;
  for (const auto &channel : data.channels) {
    channels += (channels.empty() ? "" : "; ") + CoverageChannelName(channel.nChannel, channel.nFrequency);
  }
  lines.push_back({"Channels", channels.empty() ? "no levels" : channels});
  for (const auto &channel : data.channels) {
    lines.push_back({"Coverage", CoverageFiguresLine(channel.nChannel, channel.nFrequency, channel.figures,
                                                     data.request.coverage, channel.nLevels)});
  }
  if (!data.leftOut.empty()) {
    lines.push_back(
        {"Left out", "segments " + ReportRanges(data.leftOut) + " (replaced or excluded) are not in the coverage"});
  }
  for (const auto &channel : data.channels) {
    if (channel.grid) {
      lines.push_back({"Grid test", GridResultLine(channel)});
    }
  }
}

void AddProblemLines(const _reportdata &data, std::vector<_reportline> &lines) {
  for (size_t i = 0; i < data.problems.size() && i < REPORT_MAX_PROBLEMS; ++i) {
    lines.push_back({"Problem", data.problems[i]});
  }
  if (data.problems.size() > REPORT_MAX_PROBLEMS) {
    lines.push_back({"Problem", "and " + std::to_string(data.problems.size() - REPORT_MAX_PROBLEMS) +
                                    " more ('tvdtool survey verify' lists them)"});
  }
  const std::vector<std::string> skipped = NotChecked(data.table);
  for (size_t i = 0; i < skipped.size() && i < REPORT_MAX_PROBLEMS; ++i) {
    lines.push_back({"Not checked", skipped[i]});
  }
}

// A word of a shell command line, quoted when the shell would split or change it.
std::string ShellWord(const std::string &strWord) {
  const bool bPlain = !strWord.empty() && std::all_of(strWord.begin(), strWord.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           std::string_view("._/-+=,:@").find(c) != std::string_view::npos;
  });
  if (bPlain) {
    return strWord;
  }
  std::string quoted = "'";
  for (const char c : strWord) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

std::string Number(double dValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", dValue);
  return text;
}

} // namespace

std::string GridResultLine(const _reportchannel &channel) {
  const std::string name = CoverageChannelName(channel.nChannel, 0);
  if (!channel.grid || !channel.grid->bWalked) {
    return name + ": no cell has a level, so no grid was laid; the channel fails";
  }
  const _gridtest &grid = *channel.grid;
  const size_t nRectangles = grid.rectangles.size();
  return name + ": " + std::to_string(grid.nPassed) + " of " + std::to_string(nRectangles) + " rectangles pass (" +
         Percent(static_cast<double>(grid.nPassed) / static_cast<double>(nRectangles)) + "): the channel " +
         (grid.bPassed ? "passes" : "fails");
}

std::vector<_reportline> ReportSummaryLines(const _reportdata &data) {
  const _reportrequest &request = data.request;
  const CSiteProjection &projection = *data.plan.pProjection;
  std::vector<_reportline> lines{
      {"Site", FileName(request.strProjection) + ", " + ReportProjectionKind(projection) + ", a plan of " +
                   std::to_string(data.plan.nWidth) + " x " + std::to_string(data.plan.nHeight) + " pixels"},
      {"Survey", request.strSurvey},
      {"Walked", WalkedWhen(data.table)},
      {"Segments", SegmentsLine(data.table)},
      {"Distance", DistanceLine(data.table)},
  };
  AddChannelLines(data, lines);
  AddProblemLines(data, lines);
  lines.push_back({"Made by", request.strProgram + (request.strMadeAt.empty() ? "" : ", " + request.strMadeAt)});
  return lines;
}

std::vector<_reportline> ReportSettingsLines(const _reportdata &data) {
  const _reportrequest &r = data.request;
  std::string checks;
  for (const auto &setting : QualitySettingList()) {
    checks += (checks.empty() ? "" : ", ") + std::string(setting.pName) + " " + Number(r.quality.*setting.pValue);
  }
  const _qualityload &side = data.table.side;
  return {
      {"Coverage", CoverageSettingsText(r.coverage)},
      {"Grid test", r.bGrid ? std::to_string(r.grid.nRectangles) +
                                  " rectangles over the walked extent; a rectangle passes when at least " +
                                  Number(100 * r.grid.dCellShare) + " % of its cells with a level reach " +
                                  Number(r.coverage.dThreshold) + ", the channel when at least " +
                                  Number(100 * r.grid.dPassShare) + " % of the rectangles pass"
                            : "not made"},
      {"Checks", checks},
      {"Side file", side.strPath + (side.bUsed    ? " (used)"
                                    : side.bFound ? " (ignored)"
                                                  : " (none)")},
      {"Again", ReportCommandLine(r)},
  };
}

std::string ReportCommandLine(const _reportrequest &r) {
  const _coveragesettings &c = r.coverage;
  std::string line = "tvdtool survey report " + ShellWord(r.strSurvey) + " --projection " + ShellWord(r.strProjection) +
                     " -o " + ShellWord(r.strOutput.empty() ? "REPORT.pdf" : r.strOutput) + " --paper " +
                     ReportPaperName(r.paper);
  if (r.bGrid) {
    line += " --grid " + std::to_string(r.grid.nRectangles) + " --grid-cells " + Number(100 * r.grid.dCellShare) +
            " --grid-pass " + Number(100 * r.grid.dPassShare);
  }
  line += " --cell " + Number(c.dCellMetres) + " --radius " + Number(c.dRadiusMetres) + " --bin " +
          Number(c.dBinMetres) + " --fade " + Number(c.dFadeMetres) + " --mean " + CoverageMeanName(c.mean) +
          " --scale-low " + Number(c.dScaleLow) + " --scale-high " + Number(c.dScaleHigh) + " --band " +
          Number(c.dBandWidth) + " --threshold " + Number(c.dThreshold);
  const _qualitysettings standard;
  for (const auto &setting : QualitySettingList()) {
    if (r.quality.*setting.pValue != standard.*setting.pValue) {
      line += " --set " + std::string(setting.pName) + "=" + Number(r.quality.*setting.pValue);
    }
  }
  return line;
}
