// tvdtool coverage: the GeoTIFF, the picture and the cells it writes for a survey of the sample
// site, read back as a GIS tool, an image viewer or a spreadsheet would read them.
#include "tools/tvdtool/CoverageCommand.h"
#include "tools/tvdtool/SurveyCommand.h"

#include "coverage/ColourScale.h"
#include "coverage/PlanMetric.h"
#include "quality/QualityFile.h"
#include "render/CoveragePlan.h"
#include "tests/coverage/CoverageSupport.h"

#include <QImage>
#include <geotiff/geotiff.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string SITE = std::string(TARVEX_BINARY_DIR) + "/resources/sample-site/";

class CoverageCommand : public ::testing::Test {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("tarvex-coverage-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    // Two walks of 42 m across the office, 24 m apart: channel 1 at -60 and -80, channel 2 at -90.
    CSurveyBytes survey;
    survey.Segment(300, 300, 1700, 300, 36000, 36040, std::vector<int16_t>(2000, -60), std::vector<int16_t>(500, -90))
        .Segment(300, 1100, 1700, 1100, 36100, 36140, std::vector<int16_t>(2000, -80));
    m_survey = Path("walks.tvd");
    std::ofstream(m_survey, std::ios::binary)
        .write(reinterpret_cast<const char *>(survey.m_bytes.data()),
               static_cast<std::streamsize>(survey.m_bytes.size()));
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Path(const std::string &name) const { return (m_dir / name).string(); }

  int Run(const std::string &projection, const std::string &output, _coveragerequest request = {}) {
    request.strSurvey = m_survey;
    request.strProjection = SITE + projection;
    request.strOutput = output.empty() ? "" : Path(output);
    m_out.str("");
    m_err.str("");
    return RunCoverage(request, m_out, m_err);
  }

  fs::path m_dir;
  std::string m_survey;
  std::ostringstream m_out;
  std::ostringstream m_err;
};

// A plan pixel as the CSV gives it, to three decimals.
double Rounded(double dPixel) { return std::round(dPixel * 1000) / 1000; }

// The cells of a CSV the command wrote: level by plan pixel of the cell's middle.
std::map<std::pair<double, double>, double> CsvCells(const std::string &path) {
  std::map<std::pair<double, double>, double> cells;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<double> numbers;
    for (std::string field; std::getline(fields, field, ',');) {
      numbers.push_back(std::stod(field));
    }
    cells[{numbers.at(0), numbers.at(1)}] = numbers.at(4);
  }
  return cells;
}

// Checks that every cell the CSV lists has its level in the GeoTIFF and every other cell is NoData;
// returns how many have a level.
size_t CompareLevels(TIFF *tif, uint32_t nColumns, uint32_t nRows, double dCellWidth, double dCellHeight,
                     const std::map<std::pair<double, double>, double> &cells) {
  std::vector<float> row(nColumns);
  size_t nLevels = 0;
  for (uint32_t r = 0; r < nRows; ++r) {
    EXPECT_EQ(TIFFReadScanline(tif, row.data(), r, 0), 1);
    for (uint32_t c = 0; c < nColumns; ++c) {
      const auto it = cells.find({Rounded((c + 0.5) * dCellWidth), Rounded((r + 0.5) * dCellHeight)});
      if (row[c] == -9999.0F) {
        EXPECT_TRUE(it == cells.end()) << c << ", " << r;
      } else if (it == cells.end()) {
        ADD_FAILURE() << "a level in the GeoTIFF only: " << c << ", " << r;
      } else {
        EXPECT_NEAR(row[c], it->second, 0.005);
        ++nLevels;
      }
    }
  }
  return nLevels;
}

TEST_F(CoverageCommand, TheGeoTiffLiesOnThePlanWhereTheProjectionPutsIt) {
  for (const std::string projection : {"office.gpf", "office.lpf"}) {
    SCOPED_TRACE(projection);
    ASSERT_EQ(Run(projection, "walks.tif"), SURVEY_EXIT_SOUND) << m_err.str();
    ASSERT_EQ(Run(projection, "walks.csv"), SURVEY_EXIT_SOUND) << m_err.str();
    const _coverageplan plan = LoadCoveragePlan(SITE + projection, false);
    const bool bGeo = plan.pProjection->m_nKind == PROJECTION_GEO;
    TIFF *tif = XTIFFOpen(Path("walks.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    GTIF *gtif = GTIFNew(tif);
    uint32_t nColumns = 0, nRows = 0;
    uint16_t nFormat = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &nColumns);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &nRows);
    TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &nFormat);
    EXPECT_EQ(nFormat, SAMPLEFORMAT_IEEEFP);
    // 0.25 m cells (about 8 1/3 pixels) over the 2000 x 1400 plan, from its top-left corner.
    const _planmetric metric = PlanMetricOf(*plan.pProjection, 2000, 1400);
    const double dCellWidth = 0.25 / metric.MetresPerPixelX();
    const double dCellHeight = 0.25 / metric.MetresPerPixelY();
    EXPECT_NEAR(dCellWidth, 8.333, 0.01);
    EXPECT_EQ(nColumns, static_cast<uint32_t>(std::ceil(2000 / dCellWidth)));
    EXPECT_EQ(nRows, static_cast<uint32_t>(std::ceil(1400 / dCellHeight)));
    // The raster's corners are the plan's, where the projection puts them.
    for (const auto &[nColumn, nRow] : {std::pair{0U, 0U}, {nColumns, 0U}, {0U, nRows}, {nColumns, nRows}}) {
      double x = nColumn, y = nRow;
      ASSERT_TRUE(GTIFImageToPCS(gtif, &x, &y));
      double c1 = 0, c2 = 0;
      plan.pProjection->ToCoordinates(nColumn * dCellWidth, nRow * dCellHeight, c1, c2);
      EXPECT_NEAR(x, bGeo ? c2 : c1, bGeo ? 1e-9 : 1e-6) << nColumn << ", " << nRow;
      EXPECT_NEAR(y, bGeo ? c1 : c2, bGeo ? 1e-9 : 1e-6) << nColumn << ", " << nRow;
    }
    short nGeographic = 0;
    EXPECT_EQ(GTIFKeyGet(gtif, GeographicTypeGeoKey, &nGeographic, 0, 1), bGeo ? 1 : 0);
    EXPECT_EQ(nGeographic, bGeo ? GCS_WGS_84 : 0);
    char *pNoData = nullptr;
    char *pMetadata = nullptr;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_GDAL_NODATA, &pNoData));
    EXPECT_STREQ(pNoData, "-9999");
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_GDAL_METADATA, &pMetadata));
    EXPECT_NE(std::string(pMetadata).find("<Item name=\"RADIUS_METRES\">3</Item>"), std::string::npos) << pMetadata;
    EXPECT_NE(std::string(pMetadata).find("<Item name=\"FREQUENCY_MHZ\">425</Item>"), std::string::npos);
    const auto cells = CsvCells(Path("walks.csv"));
    EXPECT_EQ(CompareLevels(tif, nColumns, nRows, dCellWidth, dCellHeight, cells), cells.size());
    EXPECT_GT(cells.size(), 2 * 160 * 24U); // two walks of 42 m, 6 m wide
    GTIFFree(gtif);
    XTIFFClose(tif);
  }
}

// The picture is the plan with the band's colour over it where a walk was made, the plan alone
// where none was, and the legend in its top-right corner.
TEST_F(CoverageCommand, ThePictureShowsTheLevelsOnThePlanAndNothingWhereNobodyWalked) {
  _coveragerequest request;
  request.bStats = true;
  ASSERT_EQ(Run("office.gpf", "walks.png", request), SURVEY_EXIT_SOUND) << m_err.str();
  const QImage picture(QString::fromStdString(Path("walks.png")));
  const QImage plan = LoadCoveragePlan(SITE + "office.gpf", true).picture;
  ASSERT_EQ(picture.size(), QSize(2000, 1400));
  const _coveragesettings settings;
  const auto blend = [](QRgb under, _rgb over) {
    const double a = std::lround(255 * COVERAGE_OVERLAY_OPACITY) / 255.0;
    return std::array<double, 3>{qRed(under) * (1 - a) + over.r * a, qGreen(under) * (1 - a) + over.g * a,
                                 qBlue(under) * (1 - a) + over.b * a};
  };
  struct _spot {
    int x, y;
    double dLevel; // 0: nobody walked there
  };
  // On the walk at -60, 2 m beside the one at -80, 5 m and 12 m from both.
  for (const _spot &spot : {_spot{1000, 302, -60}, _spot{1000, 1160, -80}, _spot{1000, 1267, 0}, _spot{1000, 700, 0}}) {
    SCOPED_TRACE(spot.y);
    const QRgb under = plan.pixel(spot.x, spot.y);
    const QRgb shown = picture.pixel(spot.x, spot.y);
    if (spot.dLevel == 0) {
      EXPECT_EQ(shown, under);
      continue;
    }
    const auto expected =
        blend(under, CoverageBandColour(CoverageBandOf(spot.dLevel, settings), CoverageBandCount(settings)));
    EXPECT_NEAR(qRed(shown), expected[0], 1.5);
    EXPECT_NEAR(qGreen(shown), expected[1], 1.5);
    EXPECT_NEAR(qBlue(shown), expected[2], 1.5);
  }
  // The legend lies in the top-right corner: the swatches of the strongest and the weakest band.
  const auto swatches = [&](const _rgb &colour) {
    int nPixels = 0;
    for (int y = 0; y < 400; ++y) {
      for (int x = 1500; x < 2000; ++x) {
        nPixels += picture.pixel(x, y) == qRgb(colour.r, colour.g, colour.b) ? 1 : 0;
      }
    }
    return nPixels;
  };
  EXPECT_GT(swatches(CoverageBandColour(7, 8)), 200);
  EXPECT_GT(swatches(CoverageBandColour(0, 8)), 200);
  // Two walks of 42 m, their bins 41.5 m apart end to end and reaching 3 m; all of one walk at or
  // above -75.
  const std::string said = m_out.str();
  const std::string prefix = "channel 1 (425.0000 MHz): walked ";
  ASSERT_NE(said.find(prefix), std::string::npos) << said;
  EXPECT_NEAR(std::stod(said.substr(said.find(prefix) + prefix.size())), 2 * (41.5 * 6 + M_PI * 9), 8.0) << said;
  EXPECT_NE(said.find("50.0 % of it at or above -75; 4000 levels"), std::string::npos) << said;
}

// A walk the survey's side file excludes is left out, with a note, unless --all-segments asks
// for every walk.
TEST_F(CoverageCommand, TheSideFileLeavesOutWhatTheSurveyorExcluded) {
  _qualityrecord record;
  SetExcluded(record, 2, ReadSurveyFile(m_survey, CFile::shareDenyNone, {}).segments.at(1).header, true);
  WriteQualityFile(m_survey, record);
  for (const bool bAll : {false, true}) {
    SCOPED_TRACE(bAll);
    _coveragerequest request;
    request.bAllSegments = bAll;
    ASSERT_EQ(Run("office.gpf", "walks.csv", request), SURVEY_EXIT_SOUND) << m_err.str();
    EXPECT_NE(m_err.str().find("note: segment 2, replaced or excluded in \""), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find(bAll ? "\", is drawn all the same." : "\", is left out (--all-segments draws it)."),
              std::string::npos)
        << m_err.str();
    size_t nFirst = 0;
    size_t nSecond = 0;
    for (const auto &[place, dLevel] : CsvCells(Path("walks.csv"))) {
      (place.second < 700 ? nFirst : nSecond) += 1;
      EXPECT_EQ(dLevel, place.second < 700 ? -60 : -80);
    }
    EXPECT_GT(nFirst, 160 * 24U);
    EXPECT_EQ(nSecond > 160 * 24U, bAll);
    EXPECT_EQ(nSecond == 0, !bAll);
  }
}

// What cannot be drawn is refused before anything is written; a damaged survey is drawn as far as
// it can be read.
TEST_F(CoverageCommand, RequestsThatCannotBeDrawnAreRefusedAndNothingIsWritten) {
  struct _case {
    const char *name;
    std::function<void(_coveragerequest &)> change;
    std::string strOutput;
    const char *pSaid;
  };
  const std::string survey = m_survey;
  const _case cases[] = {
      {"no output", [](auto &) {}, "", "give -o OUT (.png, .tif or .csv), --stats, or both"},
      {"an output of another kind", [](auto &) {}, "walks.jpg", "must end in .png"},
      {"the survey as output", [](auto &) {}, "link.png", "which is \""},
      {"a radius of 0", [](auto &r) { r.settings.dRadiusMetres = 0; }, "walks.png", "the radius must be more than 0 m"},
      {"channel 3", [](auto &r) { r.nChannel = 3; }, "walks.png", "the channel must be 1 or 2, not 3"},
      {"cells too small for the plan", [](auto &r) { r.settings.dCellMetres = 0.01; }, "walks.png",
       "cells on this plan; at most 8000000 can be computed, so make the cells larger"},
  };
  const auto before = fs::file_size(survey);
  fs::create_symlink(survey, Path("link.png"));
  for (const _case &c : cases) {
    SCOPED_TRACE(c.name);
    _coveragerequest request;
    c.change(request);
    EXPECT_EQ(Run("office.gpf", c.strOutput, request), SURVEY_EXIT_FAILED);
    EXPECT_NE(m_err.str().find(c.pSaid), std::string::npos) << m_err.str();
    EXPECT_EQ(m_out.str(), "");
    EXPECT_EQ(fs::file_size(survey), before);
    EXPECT_FALSE(fs::exists(Path("walks.png")));
  }
  // The second walk cut short in its last record: the first is drawn, and the exit says so.
  fs::resize_file(survey, before - 7);
  ASSERT_EQ(Run("office.gpf", "walks.csv"), SURVEY_EXIT_UNSOUND);
  EXPECT_NE(m_err.str().find("is damaged: only what could be read was drawn"), std::string::npos) << m_err.str();
  EXPECT_GT(CsvCells(Path("walks.csv")).size(), 160 * 24U);
}

} // namespace
