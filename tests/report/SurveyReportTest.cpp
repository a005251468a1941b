// tvdtool survey report: the report of a simulated survey read back as a reader copies it out of the
// PDF (pdftotext). The segment table's numbers are those `tvdtool survey dump` shows, the coverage
// figures those `tvdtool coverage --stats` prints, and every page is numbered.
#include "platform/File.h"
#include "quality/QualityFile.h"
#include "quality/QualityRecord.h"
#include "survey/SurveyReader.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string TVDTOOL = TARVEX_BINARY_DIR "/tools/tvdtool/tvdtool";
const std::string SITE = TARVEX_BINARY_DIR "/resources/sample-site/";

struct _ran {
  int nCode = -1;
  std::string strOut;
};

// Runs a shell command line; its standard output and exit code.
_ran Shell(const std::string &strCommand) {
  _ran ran;
  FILE *pPipe = ::popen((strCommand + " 2>/dev/null").c_str(), "r");
  if (pPipe == nullptr) {
    return ran;
  }
  std::array<char, 4096> buffer{};
  size_t nRead = 0;
  while ((nRead = std::fread(buffer.data(), 1, buffer.size(), pPipe)) > 0) {
    ran.strOut.append(buffer.data(), nRead);
  }
  const int nStatus = ::pclose(pPipe);
  ran.nCode = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
  return ran;
}

// The text with every run of white space made one space.
std::string Flat(const std::string &strText) { return std::regex_replace(strText, std::regex("\\s+"), " "); }

// A channel's levels in a segment as the dump lists them.
struct _levels {
  int nCount = 0;
  long long nSum = 0;
  int nMin = 0;
  int nMax = 0;
};

// A segment as the dump shows it: its clock times, its coordinates, its levels by channel.
struct _dumpsegment {
  std::string strStart, strStop;
  std::array<std::string, 4> points;      // start x, start y, stop x, stop y in plan pixels
  std::array<std::string, 4> coordinates; // the same as coordinates, as printed; empty when not printed
  std::map<int, _levels> levels;
};

std::vector<_dumpsegment> ParseDump(const std::string &strDump) {
  const std::regex segment(
      R"(^segment \d+ +offset \d+, \S+ (\d\d:\d\d:\d\d) to (\d\d:\d\d:\d\d), start \((\d+), )"
      R"((\d+)\), stop \((\d+), (\d+)\)(, coordinates \(([-\d.e]+), ([-\d.e]+)\) to \(([-\d.e]+), )"
      R"(([-\d.e]+)\))?)");
  const std::regex record(R"(^ +record +offset \d+, channel (\d+), .* levels: (.*)$)");
  std::vector<_dumpsegment> segments;
  std::istringstream lines(strDump);
  std::smatch m;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_search(line, m, segment)) {
      segments.push_back({m[1], m[2], {m[3], m[4], m[5], m[6]}, {m[8], m[9], m[10], m[11]}, {}});
    } else if (std::regex_search(line, m, record) && !segments.empty()) {
      _levels &l = segments.back().levels[std::stoi(m[1])];
      std::istringstream values(m[2].str());
      for (int nLevel = 0; values >> nLevel;) {
        l.nMin = l.nCount == 0 ? nLevel : std::min(l.nMin, nLevel);
        l.nMax = l.nCount == 0 ? nLevel : std::max(l.nMax, nLevel);
        l.nSum += nLevel;
        ++l.nCount;
      }
    }
  }
  return segments;
}

int Decimals(const std::string &strNumber) {
  const size_t nDot = strNumber.find('.');
  return nDot == std::string::npos ? 0 : static_cast<int>(strNumber.size() - nDot - 1);
}

// Whether two numbers agree as far as the coarser of them is printed.
bool SameCoordinate(const std::string &strReport, const std::string &strDump) {
  const int nDecimals = std::min(Decimals(strReport), Decimals(strDump));
  return std::abs(std::stod(strReport) - std::stod(strDump)) <= 0.5 * std::pow(10.0, -nDecimals) + 1e-9;
}

std::string Mean(const _levels &l) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(l.nSum) / l.nCount);
  return text;
}

class SurveyReport : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-report-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  fs::path m_dir;
};

// The dump's points of a linear projection in its coordinates: the dump gives them in plan pixels
// alone, and tvdtool projection locate says where they lie ("X 4.2000, Y 2.4000").
void LocatePoints(const std::string &projection, std::vector<_dumpsegment> &dumped) {
  for (auto &d : dumped) {
    for (size_t k = 0; k < 4; k += 2) {
      const std::string located =
          Shell(TVDTOOL + " projection locate " + projection + " " + d.points[k] + " " + d.points[k + 1]).strOut;
      std::smatch m;
      ASSERT_TRUE(std::regex_search(located, m, std::regex(R"(X ([-\d.]+), Y ([-\d.]+))"))) << located;
      d.coordinates[k] = m[1];
      d.coordinates[k + 1] = m[2];
    }
  }
}

// The segment table of the report's text laid out as on the page, row by row, against the dump.
// Returns what the last column says of each segment, in order.
std::vector<std::string> ExpectTableAsDumped(const std::string &table, const std::vector<_dumpsegment> &dumped,
                                             bool bGeo) {
  const std::regex row(
      R"(^ *(\d+) ([-\d.]+), ([-\d.]+) +([-\d.]+), ([-\d.]+) +(\d\d:\d\d:\d\d)-(\d\d:\d\d:\d\d) +)"
      R"([\d.]+ +\d+ +[\d.]+ +(\d+) +([-\d.]+) +(-?\d+) +(-?\d+) +(\d+) +([-\d.]+) +(-?\d+) +(-?\d+) +)"
      R"((passed|flagged|excluded|replaced by \d+)$)");
  // The dump prints x before y: longitude before latitude for a geo-coded projection.
  const std::array<size_t, 4> order = bGeo ? std::array<size_t, 4>{1, 0, 3, 2} : std::array<size_t, 4>{0, 1, 2, 3};
  std::istringstream lines(table);
  std::vector<std::string> standings;
  std::smatch m;
  for (std::string line; std::getline(lines, line);) {
    if (!std::regex_search(line, m, row)) {
      continue;
    }
    const size_t nSegment = std::stoul(m[1]);
    if (nSegment != standings.size() + 1 || nSegment > dumped.size()) {
      ADD_FAILURE() << "out of order: " << line;
      return standings;
    }
    const _dumpsegment &d = dumped[nSegment - 1];
    standings.push_back(m[16]);
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_TRUE(SameCoordinate(m[2 + i], d.coordinates[order[i]])) << line << " against " << d.coordinates[order[i]];
    }
    EXPECT_EQ(m[6], d.strStart) << line;
    EXPECT_EQ(m[7], d.strStop) << line;
    for (const int nChannel : {1, 2}) {
      const _levels &l = d.levels.at(nChannel);
      const size_t nAt = nChannel == 1 ? 8 : 12;
      EXPECT_EQ(std::stoi(m[nAt]), l.nCount) << line;
      EXPECT_EQ(m[nAt + 1], Mean(l)) << line;
      EXPECT_EQ(std::stoi(m[nAt + 2]), l.nMin) << line;
      EXPECT_EQ(std::stoi(m[nAt + 3]), l.nMax) << line;
    }
  }
  EXPECT_EQ(standings.size(), dumped.size()) << table;
  return standings;
}

TEST_F(SurveyReport, ThePdfShowsTheDumpsSegmentsAndTheCoverageFigures) {
  struct _case {
    const char *szProjection;
    const char *szOptions;     // of the report alone
    const char *szCoverage;    // coverage settings, given to the report and to tvdtool coverage alike
    const char *szPaper;       // as pdfinfo names the first page's size
    bool bGeo;                 // the table gives latitude and longitude, the dump longitude and latitude
    const char *szGridVerdict; // what the first page says of the grid test; "" without it
  };
  const _case cases[] = {
      {"office.gpf", "--paper a4 --grid 20", "", "(A4)", true,
       "channel 1: 20 of 20 rectangles pass (100.0 %): the channel passes"},
      {"office.lpf", "--paper letter", "--threshold -70 --cell 0.5", "(letter)", false, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.szProjection);
    const std::string projection = SITE + c.szProjection;
    const std::string survey = Path("walks.tvd");
    const std::string report = Path("walks.pdf");
    ASSERT_EQ(Shell(TVDTOOL + " simulate --projection " + projection + " -o " + survey + " --force").nCode, 0);
    const _ran made = Shell(TVDTOOL + " survey report " + survey + " --projection " + projection + " -o " + report +
                            " " + c.szOptions + " " + c.szCoverage);
    ASSERT_EQ(made.nCode, 0);
    EXPECT_NE(made.strOut.find("wrote \"" + report + "\""), std::string::npos) << made.strOut;

    // Every page numbered, on the paper asked for.
    const _ran info = Shell("pdfinfo " + report);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info.strOut, m, std::regex(R"(Pages:\s+(\d+))"))) << info.strOut;
    const int nPages = std::stoi(m[1]);
    EXPECT_NE(info.strOut.find(c.szPaper), std::string::npos) << info.strOut;
    const std::string text = Flat(Shell("pdftotext " + report + " -").strOut);
    for (int nPage = 1; nPage <= nPages; ++nPage) {
      EXPECT_NE(text.find("Page " + std::to_string(nPage) + " of " + std::to_string(nPages)), std::string::npos);
    }

    // The coverage figures of each channel, on the first page and under the plan.
    for (const int nChannel : {1, 2}) {
      const std::string stats = Flat(Shell(TVDTOOL + " coverage " + survey + " --projection " + projection +
                                           " --stats --channel " + std::to_string(nChannel) + " " + c.szCoverage)
                                         .strOut);
      ASSERT_NE(stats.find("walked"), std::string::npos) << stats;
      const std::string figures = stats.substr(0, stats.find_last_not_of(' ') + 1);
      const size_t nFirst = text.find(figures);
      EXPECT_NE(nFirst, std::string::npos) << figures;
      EXPECT_NE(text.find(figures, nFirst + 1), std::string::npos) << "under the plan: " << figures;
    }
    EXPECT_NE(text.find(c.szGridVerdict), std::string::npos);

    std::vector<_dumpsegment> dumped = ParseDump(Shell(TVDTOOL + " survey dump " + survey).strOut);
    ASSERT_FALSE(dumped.empty());
    if (!c.bGeo) {
      LocatePoints(projection, dumped);
    }
    ExpectTableAsDumped(Shell("pdftotext -layout " + report + " -").strOut, dumped, c.bGeo);
  }
}

// "walked 1081.2 m²" of a figures line: the area.
double WalkedArea(const std::string &strText, size_t nFrom = 0) {
  std::smatch m;
  const std::string rest = strText.substr(nFrom);
  return std::regex_search(rest, m, std::regex(R"(walked ([\d.]+) m)")) ? std::stod(m[1]) : -1;
}

// Segment 2 walked again as segment 4, segment 5 excluded (the quality side file): the table lists
// them as such, and the coverage is that of segments 1 and 3 alone.
TEST_F(SurveyReport, ReplacedAndExcludedSegmentsAreListedButLeftOutOfTheCoverage) {
  const std::string projection = SITE + "office.gpf";
  const std::string survey = Path("walks.tvd");
  const std::string report = Path("walks.pdf");
  ASSERT_EQ(Shell(TVDTOOL + " simulate --projection " + projection + " -o " + survey + " --force").nCode, 0);
  const _surveycontents contents = ReadSurveyFile(survey, CFile::shareDenyNone, {});
  ASSERT_EQ(contents.segments.size(), 5U);
  _qualityrecord record;
  record.nSurveyCreated = contents.header.nCreated;
  RecordReplacement(record, 2, contents.segments[1].header, 4, contents.segments[3].header);
  SetExcluded(record, 5, contents.segments[4].header, true);
  WriteQualityFile(survey, record);

  ASSERT_EQ(Shell(TVDTOOL + " survey report " + survey + " --projection " + projection + " -o " + report).nCode, 0);
  const std::vector<_dumpsegment> dumped = ParseDump(Shell(TVDTOOL + " survey dump " + survey).strOut);
  const std::vector<std::string> standings =
      ExpectTableAsDumped(Shell("pdftotext -layout " + report + " -").strOut, dumped, true);
  ASSERT_EQ(standings.size(), 5U);
  EXPECT_EQ(standings[1], "replaced by 4");
  EXPECT_EQ(standings[4], "excluded");
  const std::string text = Flat(Shell("pdftotext " + report + " -").strOut);
  EXPECT_NE(text.find("segments 2, 5 (replaced or excluded) are not in the coverage"), std::string::npos) << text;
  EXPECT_NE(text.find("Replaced by segment 4, not counted"), std::string::npos);
  EXPECT_NE(text.find("Excluded, not counted"), std::string::npos);
  // The walked area tvdtool coverage gives, which follows the side file too, and less than all
  // five segments cover (--all-segments).
  const std::string coverage = TVDTOOL + " coverage " + survey + " --projection " + projection + " --stats";
  const double dAll = WalkedArea(Shell(coverage + " --all-segments").strOut);
  const double dCounted = WalkedArea(text, text.find("Coverage channel 1"));
  EXPECT_GT(dCounted, 0);
  EXPECT_EQ(dCounted, WalkedArea(Shell(coverage).strOut));
  EXPECT_LT(dCounted, dAll);
}

} // namespace
