#include "tools/tvdtool/ProjectionCommand.h"

#include "platform/FileException.h"
#include "platform/FileFaults.h"
#include "platform/LittleEndian.h"
#include "projection/BitmapFile.h"
#include "projection/SiteProjection.h"
#include "tests/projection/StreamSupport.h"
#include "tools/planimage/PlanImage.h"
#include "tools/tvdtool/Commands.h"

#include <CLI/CLI.hpp>
#include <QColor>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <iostream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// The bitmap file of a picture, made from its pixels as they are.
Bytes ExpectedBitmap(const QImage &image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  return MakeBitmapFile24(static_cast<uint32_t>(rgb.width()), static_cast<uint32_t>(rgb.height()), rgb.constBits(),
                          static_cast<size_t>(rgb.bytesPerLine()));
}

QImage RandomImage(std::mt19937 &rng, int w, int h, bool bSingleColour) {
  QImage image(w, h, QImage::Format_RGB32);
  const QColor single(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256), static_cast<int>(rng() % 256));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.setPixelColor(
          x, y,
          bSingleColour || rng() % 3 != 0
              ? single
              : QColor(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256), static_cast<int>(rng() % 256)));
    }
  }
  return image;
}

// A PDF document of pages of these sizes in points, each with a blue box at its top left.
void WritePdf(const std::string &strPath, const std::vector<QSizeF> &pages) {
  QPdfWriter writer(QString::fromStdString(strPath));
  writer.setResolution(72);
  writer.setPageSize(QPageSize(pages.front(), QPageSize::Point, {}, QPageSize::ExactMatch));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  QPainter painter(&writer);
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) {
      writer.setPageSize(QPageSize(pages[i], QPageSize::Point, {}, QPageSize::ExactMatch));
      writer.newPage();
    }
    painter.fillRect(QRectF(10, 10, 50, 30), Qt::blue);
  }
}

// A PNG whose header says 30000 x 30000 pixels, with no pixels behind it.
const uint8_t HUGE_PNG[] = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49,
                            0x48, 0x44, 0x52, 0x00, 0x00, 0x75, 0x30, 0x00, 0x00, 0x75, 0x30, 0x08, 0x02,
                            0x00, 0x00, 0x00, 0xe9, 0x45, 0x6f, 0xed, 0x00, 0x00, 0x00, 0x08, 0x49, 0x44,
                            0x41, 0x54, 0x78, 0x9c, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01, 0x48, 0x06, 0x89,
                            0xd2, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

class ProjectionCommandTest : public TempDirTest {
protected:
  void TearDown() override {
    CFileFaults::Reset();
    TempDirTest::TearDown();
  }
  _makerequest Request(const std::string &image, const std::string &output) {
    _makerequest request;
    request.strImage = image;
    request.strOutput = Path(output);
    return request;
  }
  nlohmann::json Info(const std::string &path) {
    std::ostringstream out;
    PrintProjectionInfo(path, true, out);
    return nlohmann::json::parse(out.str());
  }
  nlohmann::json Locate(const std::string &path, double x, double y) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(LocatePixel(path, x, y, true, out, err), PROJECTION_EXIT_DONE) << err.str();
    return nlohmann::json::parse(out.str());
  }
  Bytes Decode(const std::string &path) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(DecodeProjection(path, Path("out.bmp"), out, err), PROJECTION_EXIT_DONE) << err.str();
    return ReadAll(Path("out.bmp"));
  }
  // Runs tvdtool's command line (without the program name), capturing standard output.
  std::string Run(const std::string &strArguments) {
    CLI::App app;
    app.require_subcommand(1);
    RegisterProjectionCommands(app);
    std::ostringstream captured;
    auto *pOld = std::cout.rdbuf(captured.rdbuf());
    try {
      app.parse(strArguments, false);
    } catch (...) {
      std::cout.rdbuf(pOld);
      throw;
    }
    std::cout.rdbuf(pOld);
    return captured.str();
  }
};

TEST_F(ProjectionCommandTest, EveryPictureDecodesToItsOwnPixels) {
  std::mt19937 rng(21);
  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {3, 5}, {17, 3}, {1, 9}, {64, 33}, {101, 77}};
  int nRound = 0;
  for (const auto &[w, h] : sizes) {
    for (const char *format : {"png", "bmp"}) {
      const QImage image = RandomImage(rng, w, h, nRound % 3 == 1);
      const std::string picture = Path("plan" + std::to_string(nRound) + "." + format);
      ASSERT_TRUE(image.save(QString::fromStdString(picture)));
      auto request = Request(picture, nRound % 2 == 0 ? "site.gpf" : "site.lpf");
      request.matrix = _transform{1, 0, 0, 1, 0, 0};
      std::ostringstream out;
      MakeProjection(request, out);
      EXPECT_NE(out.str().find(std::to_string(w) + " x " + std::to_string(h)), std::string::npos);
      EXPECT_EQ(Decode(request.strOutput), ExpectedBitmap(image)) << w << " x " << h << " " << format;
      ++nRound;
    }
  }

  // A lossy picture comes through exactly as Qt decodes it.
  const QImage photo = RandomImage(rng, 40, 30, false);
  ASSERT_TRUE(photo.save(QString::fromStdString(Path("photo.jpg"))));
  auto request = Request(Path("photo.jpg"), "photo.lpf");
  request.dScale = 10;
  std::ostringstream out;
  MakeProjection(request, out);
  EXPECT_EQ(Decode(request.strOutput), ExpectedBitmap(QImage(QString::fromStdString(Path("photo.jpg")))));
}

TEST_F(ProjectionCommandTest, TransparencyBecomesWhiteAndDrawingsRenderWithText) {
  QImage clear(4, 2, QImage::Format_ARGB32);
  clear.fill(Qt::transparent);
  clear.setPixelColor(1, 1, QColor(10, 20, 30));
  ASSERT_TRUE(clear.save(QString::fromStdString(Path("clear.png"))));
  const QImage flat = LoadPlanImage(Path("clear.png"));
  EXPECT_FALSE(flat.hasAlphaChannel());
  EXPECT_EQ(flat.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(flat.pixelColor(1, 1), QColor(10, 20, 30));

  WriteAll(Path("room.svg"), [] {
    const std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="301" height="120">
  <rect x="10" y="10" width="100" height="50" fill="#204080"/>
  <text x="150" y="100" font-family="DejaVu Sans" font-size="40" fill="#000000">Room</text>
</svg>)";
    return Bytes(svg.begin(), svg.end());
  }());
  const QImage drawing = LoadPlanImage(Path("room.svg"));
  ASSERT_EQ(drawing.width(), 301);
  ASSERT_EQ(drawing.height(), 120);
  EXPECT_EQ(drawing.pixelColor(50, 30), QColor(0x20, 0x40, 0x80));
  EXPECT_EQ(drawing.pixelColor(5, 5), QColor(Qt::white));
  int nDark = 0;
  for (int y = 60; y < 110; ++y) {
    for (int x = 150; x < 300; ++x) {
      nDark += drawing.pixelColor(x, y).value() < 100 ? 1 : 0;
    }
  }
  EXPECT_GT(nDark, 200); // the label was drawn, so a font was found

  EXPECT_EQ(PlanImageToBitmap(drawing), ExpectedBitmap(drawing));
  WriteAll(Path("broken.svg"), Bytes{'<', 's', 'v'});
  EXPECT_THROW(LoadPlanImage(Path("broken.svg")), std::runtime_error);
  try {
    LoadPlanImage(Path("absent.png"));
    FAIL() << "a missing picture was read";
  } catch (const std::runtime_error &e) {
    EXPECT_NE(std::string(e.what()).find(Path("absent.png")), std::string::npos);
  }
}

TEST_F(ProjectionCommandTest, GeoCalibrationInfoAndLocate) {
  std::mt19937 rng(5);
  const QImage image = RandomImage(rng, 200, 150, false);
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  const std::string output =
      Run("projection make --image " + Path("plan.png") + " -o " + Path("site.gpf") +
          " --ref 10,10,48.1376,11.5752 --ref 190,10,48.1376,11.5760 --ref 10,140,48.1372,11.5752");
  EXPECT_NE(output.find("geo-coded"), std::string::npos);

  const auto info = Info(Path("site.gpf"));
  EXPECT_EQ(info["kind"], "geo");
  EXPECT_EQ(info["section_length"].get<uint64_t>(), fs::file_size(Path("site.gpf")) - 145);
  EXPECT_EQ(info["decoded_length"], ExpectedBitmap(image).size());
  EXPECT_EQ(info["width"], 200);
  EXPECT_EQ(info["height"], 150);
  EXPECT_DOUBLE_EQ(info["det"].get<double>(), info["a"].get<double>() * info["d"].get<double>() -
                                                  info["b"].get<double>() * info["c"].get<double>());
  // Info writes nothing next to the file.
  EXPECT_FALSE(fs::exists(Path("site.gpfc")));

  const auto corner = Locate(Path("site.gpf"), 190, 10);
  EXPECT_EQ(corner["kind"], "geo");
  EXPECT_NEAR(corner["c1"].get<double>(), 48.1376, 1e-9);
  EXPECT_NEAR(corner["c2"].get<double>(), 11.5760, 1e-9);
  const auto south = Locate(Path("site.gpf"), 10, 140);
  EXPECT_NEAR(south["c1"].get<double>(), 48.1372, 1e-9);
  EXPECT_NEAR(south["c2"].get<double>(), 11.5752, 1e-9);

  std::ostringstream text;
  PrintProjectionInfo(Path("site.gpf"), false, text);
  EXPECT_NE(text.str().find("bitmap: 200 x 150 pixels, 24 bits per pixel"), std::string::npos);
  EXPECT_NE(text.str().find("at offset 145"), std::string::npos);

  // The decode is the collector's load: the side files are written, the copy equals them.
  EXPECT_EQ(Decode(Path("site.gpf")), ExpectedBitmap(image));
  EXPECT_EQ(ReadAll(Path("site.gpfb")), ExpectedBitmap(image));
  EXPECT_EQ(fs::file_size(Path("site.gpfc")), info["section_length"].get<uint64_t>());
}

TEST_F(ProjectionCommandTest, LinearScaleAndMatrix) {
  QImage image(30, 20, QImage::Format_RGB32);
  image.fill(QColor(200, 100, 50));
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.bmp"))));

  Run("projection make --image " + Path("plan.bmp") + " -o " + Path("site.lpf") + " --scale 20 --origin 10,10");
  const auto point = Locate(Path("site.lpf"), 30, 50);
  EXPECT_EQ(point["kind"], "linear");
  EXPECT_DOUBLE_EQ(point["c1"].get<double>(), 1);
  EXPECT_DOUBLE_EQ(point["c2"].get<double>(), 2);
  const auto info = Info(Path("site.lpf"));
  EXPECT_EQ(info["section_length"].get<uint64_t>(), fs::file_size(Path("site.lpf")) - 141);
  EXPECT_EQ(info["e"], 10.0);
  EXPECT_EQ(info["a"], 0.05);

  Run("projection make --image " + Path("plan.bmp") + " -o " + Path("m.LPF") + " --matrix=-0.5,0,0,2,10,20");
  const auto matrixInfo = Info(Path("m.LPF"));
  EXPECT_EQ(matrixInfo["kind"], "linear");
  EXPECT_EQ(matrixInfo["a"], -0.5);
  EXPECT_EQ(matrixInfo["d"], 2.0);
  EXPECT_EQ(matrixInfo["f"], 20.0);
  const auto moved = Locate(Path("m.LPF"), 30, 40);
  EXPECT_DOUBLE_EQ(moved["c1"].get<double>(), 40);
  EXPECT_DOUBLE_EQ(moved["c2"].get<double>(), -10);
}

TEST_F(ProjectionCommandTest, RequestsThatDoNotAddUpAreRefused) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  const std::string plan = Path("plan.png");

  auto wrongExtension = Request(plan, "site.png");
  wrongExtension.dScale = 10;
  EXPECT_THROW(MakeProjection(wrongExtension, std::cout), std::invalid_argument);

  auto nothing = Request(plan, "site.lpf");
  EXPECT_THROW(MakeProjection(nothing, std::cout), std::invalid_argument);

  auto twoWays = Request(plan, "site.lpf");
  twoWays.dScale = 10;
  twoWays.matrix = _transform{};
  EXPECT_THROW(MakeProjection(twoWays, std::cout), std::invalid_argument);

  auto scaleForGeo = Request(plan, "site.gpf");
  scaleForGeo.dScale = 10;
  EXPECT_THROW(MakeProjection(scaleForGeo, std::cout), std::invalid_argument);

  auto refsForLinear = Request(plan, "site.lpf");
  refsForLinear.refs = {{0, 0, 1, 1}, {5, 0, 1, 2}, {0, 5, 2, 1}};
  EXPECT_THROW(MakeProjection(refsForLinear, std::cout), std::invalid_argument);

  auto twoRefs = Request(plan, "site.gpf");
  twoRefs.refs = {{0, 0, 1, 1}, {5, 0, 1, 2}};
  EXPECT_THROW(MakeProjection(twoRefs, std::cout), std::invalid_argument);

  try {
    Run("projection make --image " + plan + " -o " + Path("site.gpf") +
        " --ref 0,0,48.0,11.0 --ref 50,0,48.001,11.001 --ref 100,0,48.002,11.002");
    FAIL() << "collinear points gave a transform";
  } catch (const std::invalid_argument &e) {
    EXPECT_NE(std::string(e.what()).find("one line"), std::string::npos);
  }

  auto missingPicture = Request(Path("absent.png"), "site.lpf");
  missingPicture.dScale = 10;
  EXPECT_THROW(MakeProjection(missingPicture, std::cout), std::runtime_error);
  EXPECT_FALSE(fs::exists(Path("site.gpf")));
  EXPECT_FALSE(fs::exists(Path("site.lpf")));

  EXPECT_THROW(Run("projection make --image " + plan + " -o " + Path("a.lpf") + " --matrix 1,2,3"),
               std::invalid_argument);
  EXPECT_THROW(Run("projection make --image " + plan + " -o " + Path("a.lpf") + " --scale 10 --origin 1,x"),
               std::invalid_argument);
  EXPECT_THROW(Run("projection make --image " + plan + " -o " + Path("a.gpf") + " --scale 10 --ref 0,0,1,1"),
               CLI::ParseError);
}

// A page of a PDF plan at a chosen resolution, a line of known length, more than three points:
// each projection has the plan's size and puts the pixels where they were calibrated.
TEST_F(ProjectionCommandTest, PdfPagesLinesAndPointsCalibrate) {
  WritePdf(Path("plan.pdf"), {QSizeF(200, 150), QSizeF(100, 300)});
  QImage image(120, 80, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  const std::string refs = " --ref 0,0,48,11 --ref 100,0,48,11.001 --ref 0,70,47.9995316,11 --ref "
                           "100,70,47.9995316,11.001";
  const struct {
    std::string arguments;
    const char *pOutput;
    int nWidth, nHeight;
    double x, y, c1, c2; // a pixel and its coordinates
  } cases[] = {
      {"--image " + Path("plan.pdf") + " --page 2 --dpi 72 --line 0,0,100,0,10", "a.lpf", 100, 300, 50, 100, 5, 10},
      {"--image " + Path("plan.pdf") + " --line 10,10,40,10,30 --feet --origin 10,10", "b.lpf", 417, 313, 40, 110,
       30 * 0.3048, 100 * 0.3048},
      {"--image " + Path("plan.pdf") + " --line 0,0,100,0,10 --line 5,5,5,105,10.1", "c.lpf", 417, 313, 100, 0, 10, 0},
      {"--image " + Path("plan.png") + refs, "d.gpf", 120, 80, 100, 70, 47.9995316, 11.001},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::string output = Run("projection make " + c.arguments + " -o " + Path(c.pOutput));
    EXPECT_NE(output.find("m per pixel"), std::string::npos) << output;
    const auto info = Info(Path(c.pOutput));
    EXPECT_EQ(info["width"], c.nWidth);
    EXPECT_EQ(info["height"], c.nHeight);
    const auto at = Locate(Path(c.pOutput), c.x, c.y);
    EXPECT_NEAR(at["c1"].get<double>(), c.c1, 1e-7);
    EXPECT_NEAR(at["c2"].get<double>(), c.c2, 1e-7);
  }
  EXPECT_NE(Run("projection make --image " + Path("plan.png") + refs + " -o " + Path("e.gpf"))
                .find("point 4: pixel 100,70 at 47.9995316, 11.0010000, residual 0.00 m"),
            std::string::npos);
}

// What make refuses, with the reason, writing nothing: pages a PDF lacks, plans too large to hold
// (told from the picture's header or the page's size, before anything is decoded), lines that
// disagree, and points whose residual shows a typing error.
TEST_F(ProjectionCommandTest, PlansAndCalibrationsThatCannotBeTakenAreRefused) {
  WritePdf(Path("plan.pdf"), {QSizeF(200, 150), QSizeF(2000, 2000)});
  QImage image(120, 80, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  WriteAll(Path("huge.png"), Bytes(std::begin(HUGE_PNG), std::end(HUGE_PNG)));
  const std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="40000" height="40000"/>)";
  WriteAll(Path("huge.svg"), Bytes(svg.begin(), svg.end()));
  WriteAll(Path("text.pdf"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 'P', 'D', 'F'});
  const std::string pdf = "--image " + Path("plan.pdf");
  const struct {
    std::string arguments;
    std::string reason;
  } cases[] = {
      {pdf + " --page 3 --scale 2", "has no page 3: its pages are 1 to 2"},
      {pdf + " --dpi 5000 --scale 2", "dots per inch, not 5000"},
      {pdf + " --page 2 --dpi 1200 --scale 2", "page 2 of \"" + Path("plan.pdf") + "\" at 1200 dots per inch"},
      {"--image " + Path("text.pdf") + " --scale 2", "it is no PDF document"},
      {"--image " + Path("plan.png") + " --page 2 --scale 2", "--page and --dpi choose the page of a PDF plan"},
      {"--image " + Path("huge.png") + " --scale 2", "it is 30000 x 30000 pixels, which would take 3433 MB"},
      {"--image " + Path("huge.svg") + " --scale 2", "it is 40000 x 40000 pixels"},
      {pdf + " --line 0,0,100,0,10 --line 0,0,0,100,10.5", "the two lines give scales 4.8 % apart"},
      {pdf + " --line 0,0,100,0,10 --line 0,0,0,100,10 --line 0,0,50,0,5", "one --line, and a second"},
      {pdf + " --line 0,0,0,0,10", "the line has no length on the plan"},
      {pdf + " --origin 3,3 --matrix 1,0,0,1,0,0", "--origin goes with --scale or --line"},
      {"--image " + Path("plan.png") +
           " --ref 0,0,48,11 --ref 100,0,48,11.001 --ref 0,70,47.9995316,11.01 --ref 100,70,47.9995316,11.001",
       "point 3 lies "},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::string target = Path(c.arguments.find("--ref") != std::string::npos ? "out.gpf" : "out.lpf");
    try {
      Run("projection make " + c.arguments + " -o " + target);
      ADD_FAILURE() << "made";
    } catch (const std::exception &e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(target));
  }
}

TEST_F(ProjectionCommandTest, FilesThatAreNoProjections) {
  // An unknown tag: info shows kind none and no section; locate and decode refuse it.
  Bytes other(300, 0x41);
  WriteAll(Path("other.gpf"), other);
  const auto info = Info(Path("other.gpf"));
  EXPECT_EQ(info["kind"], "none");
  EXPECT_TRUE(info["section_length"].is_null());
  EXPECT_TRUE(info["width"].is_null());
  EXPECT_THROW(Locate(Path("other.gpf"), 1, 1), CFileException);
  try {
    Decode(Path("other.gpf"));
    FAIL() << "a file with no projection tag decoded";
  } catch (const CFileException &e) {
    EXPECT_NE(std::string(e.what()).find("is not a projection file"), std::string::npos);
  }

  WriteAll(Path("short.lpf"), Bytes(100, 0));
  EXPECT_THROW(Info(Path("short.lpf")), CFileException);

  // A projection whose section is cut off is named as such.
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::gray);
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  Run("projection make --image " + Path("plan.png") + " -o " + Path("cut.lpf") + " --scale 2");
  fs::resize_file(Path("cut.lpf"), fs::file_size(Path("cut.lpf")) - 1);
  try {
    Info(Path("cut.lpf"));
    FAIL() << "a cut projection was described";
  } catch (const CFileException &e) {
    EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos);
  }
  EXPECT_THROW(Decode(Path("cut.lpf")), CFileException);
}

// A decode whose output is the projection or one of its side files would replace it with the
// bitmap. It is refused under any spelling of the path, with exit 2, and nothing is written: not
// the output, not the side files.
TEST_F(ProjectionCommandTest, DecodeNeverWritesOverItsInputs) {
  QImage image(12, 9, QImage::Format_RGB32);
  image.fill(QColor(30, 60, 90));
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  Run("projection make --image " + Path("plan.png") + " -o " + Path("site.gpf") + " --matrix=2,0,0,2,5,5");
  const Bytes projection = ReadAll(Path("site.gpf"));
  fs::create_directory(Path("sub"));
  fs::create_symlink(Path("site.gpf"), Path("link.gpf"));
  fs::create_symlink("site.gpfc", Path("side-link"));
  fs::create_hard_link(Path("site.gpf"), Path("hard.gpf"));
  const struct {
    std::string output;
    const char *pWhat;
  } cases[] = {
      {Path("site.gpf"), "the projection itself"},
      {(m_dir / "sub" / ".." / "." / "site.gpf").string(), "the projection itself"},
      {Path("link.gpf"), "the projection itself"},
      {Path("hard.gpf"), "the projection itself"},
      {Path("site.gpfc"), "the side file that takes its compressed section"},
      {Path("side-link"), "the side file that takes its compressed section"},
      {Path("site.gpfb"), "the side file that takes its decoded bitmap"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.output);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(DecodeProjection(Path("site.gpf"), c.output, out, err), PROJECTION_EXIT_REFUSED);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("must go to another file than \"" + c.output + "\", which is " + c.pWhat),
              std::string::npos)
        << err.str();
    EXPECT_EQ(ReadAll(Path("site.gpf")), projection);
    EXPECT_FALSE(fs::exists(Path("site.gpfc")));
    EXPECT_FALSE(fs::exists(Path("site.gpfb")));
  }
  // The same through the command line: exit 2.
  try {
    Run("projection decode " + Path("site.gpf") + " -o " + Path("site.gpf"));
    FAIL() << "decoded over its input";
  } catch (const CLI::RuntimeError &e) {
    EXPECT_EQ(e.get_exit_code(), PROJECTION_EXIT_REFUSED);
  }
  EXPECT_EQ(ReadAll(Path("site.gpf")), projection);
}

// A disk that fills while the decoded bitmap is copied leaves the output as it was.
TEST_F(ProjectionCommandTest, DecodeOnAFullDiskLeavesTheOutputAsItWas) {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(QColor(200, 10, 10));
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  Run("projection make --image " + Path("plan.png") + " -o " + Path("site.lpf") + " --scale 4");
  const Bytes bitmap = Decode(Path("site.lpf"));
  const auto nSideFiles = static_cast<int64_t>(fs::file_size(Path("site.lpfc")) + fs::file_size(Path("site.lpfb")));
  const Bytes before = {'k', 'e', 'e', 'p'};
  for (const int64_t nBudget : {nSideFiles, nSideFiles + 100}) {
    WriteAll(Path("out.bmp"), before);
    CFileFaults::FailWritesAfter(nBudget);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_THROW(DecodeProjection(Path("site.lpf"), Path("out.bmp"), out, err), CFileException);
    CFileFaults::Reset();
    EXPECT_EQ(ReadAll(Path("out.bmp")), before);
    EXPECT_FALSE(fs::exists(Path("out.bmp.partial")));
    EXPECT_EQ(ReadAll(Path("site.lpfb")), bitmap);
  }
}

// A transform that cannot be inverted gives no coordinates: locate refuses it (exit 2) instead
// of printing nan, and make refuses to write one.
TEST_F(ProjectionCommandTest, TransformsThatCannotBeInvertedAreRefused) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(Path("plan.png"))));
  for (const char *pName : {"flat.gpf", "flat.lpf"}) {
    SCOPED_TRACE(pName);
    try {
      Run("projection make --image " + Path("plan.png") + " -o " + Path(pName) + " --matrix=0,0,0,0,0,0");
      ADD_FAILURE() << "made";
    } catch (const std::invalid_argument &e) {
      EXPECT_NE(std::string(e.what()).find("its transform cannot be inverted"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(Path(pName)));
  }

  // Existing files: a geo-coded matrix with a * d = b * c, and one that holds a NaN.
  Run("projection make --image " + Path("plan.png") + " -o " + Path("site.gpf") + " --matrix=2,0,0,2,5,5");
  Bytes singular = ReadAll(Path("site.gpf"));
  WriteDoubleLE(singular.data() + 53, 0.0); // d
  WriteAll(Path("singular.gpf"), singular);
  Bytes notANumber = ReadAll(Path("site.gpf"));
  WriteDoubleLE(notANumber.data() + 37, std::nan("")); // e
  WriteAll(Path("nan.gpf"), notANumber);
  for (const char *pName : {"singular.gpf", "nan.gpf"}) {
    SCOPED_TRACE(pName);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(LocatePixel(Path(pName), 3, 4, false, out, err), PROJECTION_EXIT_REFUSED);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("\"" + Path(pName) + "\" gives no coordinates: its transform cannot be inverted"),
              std::string::npos)
        << err.str();
  }
}

// A picture that cannot be read is named with the system's reason, not Qt's "File not found"; a
// permission that root always has is injected.
TEST_F(ProjectionCommandTest, PicturesThatCannotBeReadAreNamedWithTheReason) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(Path("secret.png"))));
  CFileFaults::FailOpen(Path("secret.png"), EACCES);
  fs::create_directory(Path("plans.svg"));
  const struct {
    std::string path;
    const char *pReason;
  } cases[] = {{m_dir.string(), "Is a directory"},
               {Path("plans.svg"), "Is a directory"},
               {Path("absent.png"), "No such file or directory"},
               {Path("secret.png"), "Permission denied"}};
  for (const auto &c : cases) {
    auto request = Request(c.path, "site.lpf");
    request.dScale = 10;
    try {
      MakeProjection(request, std::cout);
      ADD_FAILURE() << c.path;
    } catch (const std::runtime_error &e) {
      EXPECT_EQ(std::string(e.what()),
                "cannot read the picture: Opening \"" + c.path + "\" failed: " + c.pReason + ".");
    }
  }
  EXPECT_FALSE(fs::exists(Path("site.lpf")));
}

// A projection given through a pipe has no length to read it by: it is named as no regular file
// instead of "holds 0 bytes".
TEST_F(ProjectionCommandTest, ProjectionsThroughAPipeAreNamedAsNoRegularFile) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const Bytes header(141, 0);
  ASSERT_EQ(::write(fds[1], header.data(), header.size()), 141);
  ::close(fds[1]);
  const std::string pipe = "/dev/fd/" + std::to_string(fds[0]);
  try {
    Info(pipe);
    ADD_FAILURE() << "read from a pipe";
  } catch (const CFileException &e) {
    EXPECT_NE(std::string(e.what()).find("\"" + pipe + "\" is a pipe or FIFO, but it must be a regular file"),
              std::string::npos)
        << e.what();
  }
  ::close(fds[0]);
}

TEST(ProjectionNumbers, CommaSeparatedLists) {
  EXPECT_EQ(ParseNumberList("1e3,-2.5,0", 3, "--x"), (std::vector<double>{1000, -2.5, 0}));
  EXPECT_THROW(ParseNumberList("1,,3", 3, "--x"), std::invalid_argument);
  EXPECT_THROW(ParseNumberList("1,2", 3, "--x"), std::invalid_argument);
  EXPECT_THROW(ParseNumberList("1,2,3,4", 3, "--x"), std::invalid_argument);
  EXPECT_THROW(ParseNumberList("1,2,nan", 3, "--x"), std::invalid_argument);
  EXPECT_THROW(ParseNumberList("1,2x,3", 3, "--x"), std::invalid_argument);
  EXPECT_EQ(ParseNumberList("1, 2", 2, "--x"), (std::vector<double>{1, 2}));
  try {
    ParseNumberList("4,five", 2, "--origin");
    FAIL();
  } catch (const std::invalid_argument &e) {
    EXPECT_NE(std::string(e.what()).find("--origin"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("five"), std::string::npos);
  }
}

// The sample site built with the project: a geo-coded and a linear projection of the office floor.
TEST(SampleSite, BuiltProjectionsLoadAndLocate) {
  const std::string dir = std::string(TARVEX_BINARY_DIR) + "/resources/sample-site/";
  std::ostringstream out;
  PrintProjectionInfo(dir + "office.gpf", true, out);
  const auto info = nlohmann::json::parse(out.str());
  EXPECT_EQ(info["kind"], "geo");
  EXPECT_EQ(info["width"], 2000);
  EXPECT_EQ(info["height"], 1400);

  CSiteProjection geo;
  geo.m_nKind = PROJECTION_GEO;
  geo.m_dA = info["a"];
  geo.m_dB = info["b"];
  geo.m_dC = info["c"];
  geo.m_dD = info["d"];
  geo.m_dE = info["e"];
  geo.m_dF = info["f"];
  geo.m_dDet = info["det"];
  double lat1 = 0;
  double lon1 = 0;
  double lat2 = 0;
  double lon2 = 0;
  geo.ToCoordinates(60, 60, lat1, lon1);
  geo.ToCoordinates(1940, 60, lat2, lon2);
  EXPECT_NEAR(CSiteProjection::GeoDistance(lat1, lon1, lat2, lon2), 56.4, 0.05);
  geo.ToCoordinates(60, 1340, lat2, lon2);
  EXPECT_NEAR(CSiteProjection::GeoDistance(lat1, lon1, lat2, lon2), 38.4, 0.05);

  std::ostringstream located;
  std::ostringstream err;
  EXPECT_EQ(LocatePixel(dir + "office.lpf", 1940, 1340, true, located, err), PROJECTION_EXIT_DONE);
  const auto corner = nlohmann::json::parse(located.str());
  EXPECT_NEAR(corner["c1"].get<double>(), 56.4, 0.01);
  EXPECT_NEAR(corner["c2"].get<double>(), 38.4, 0.01);
}

} // namespace
