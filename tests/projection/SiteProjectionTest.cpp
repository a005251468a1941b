#include "projection/SiteProjection.h"

#include "platform/FileFaults.h"
#include "projection/BitmapFile.h"
#include "projection/CompressionEncoder.h"
#include "projection/ProjectionHeader.h"
#include "tests/projection/StreamSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// A projection file laid out byte by byte: the tag as its four bytes, the six elements at their
// offsets (13, 21, 37 on the first matrix row, 45, 53, 69 on the second), filler everywhere
// else, for a geo-coded file 4 filler bytes, then the section and whatever follows it.
Bytes HandMade(const char *tag, const _transform &t, bool bGeo, const Bytes &section, const Bytes &trailing = {}) {
  Bytes file(141, 0x5A);
  std::memcpy(file.data() + 4, tag, 4);
  for (int i = 0; i < 16; ++i) {
    WriteDoubleLE(file.data() + 13 + 8 * i, 99.0);
  }
  WriteDoubleLE(file.data() + 13, t.dA);
  WriteDoubleLE(file.data() + 21, t.dB);
  WriteDoubleLE(file.data() + 37, t.dE);
  WriteDoubleLE(file.data() + 45, t.dC);
  WriteDoubleLE(file.data() + 53, t.dD);
  WriteDoubleLE(file.data() + 69, t.dF);
  if (bGeo) {
    file.insert(file.end(), {0xEE, 0xEE, 0xEE, 0xEE});
  }
  file.insert(file.end(), section.begin(), section.end());
  file.insert(file.end(), trailing.begin(), trailing.end());
  return file;
}

Bytes SmallBitmap(uint8_t cShade) {
  Bytes rgb(5 * 3 * 3, 0xFF);
  rgb[7] = cShade;
  rgb[20] = static_cast<uint8_t>(cShade / 2);
  return MakeBitmapFile24(5, 3, rgb.data(), 15);
}

Bytes Section(const Bytes &bitmap) { return EncodeCompressedStream(bitmap.data(), bitmap.size()); }

const _transform SAMPLE{1.5, -0.25, 0.125, 2.0, 300.0, -40.0};

class SiteProjectionTest : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    m_projection.SetStatusCallback([this](const std::string &text) { m_status.push_back(text); });
  }
  // Loads a good geo-coded projection to stand as the one in force.
  void LoadGood() {
    WriteAll(Path("good.gpf"), HandMade("GPF ", SAMPLE, true, Section(SmallBitmap(10))));
    m_projection.Load(Path("good.gpf"));
    m_status.clear();
  }
  void ExpectGoodInForce() {
    EXPECT_EQ(m_projection.m_nKind, PROJECTION_GEO);
    EXPECT_EQ(m_projection.m_strBitmapPath, Path("good.gpfb"));
    EXPECT_EQ(m_projection.m_dA, SAMPLE.dA);
    EXPECT_EQ(m_projection.m_dF, SAMPLE.dF);
    EXPECT_EQ(m_projection.m_dDet, SAMPLE.dA * SAMPLE.dD - SAMPLE.dB * SAMPLE.dC);
  }
  // Loads strName and returns the raised file error (failing the test when none is raised).
  CFileException LoadFailing(const std::string &strName) {
    try {
      m_projection.Load(Path(strName));
    } catch (const CFileException &e) {
      EXPECT_FALSE(m_projection.m_File.IsOpen());
      EXPECT_NE(std::string(e.what()).find(Path(strName)), std::string::npos) << e.what();
      return e;
    }
    ADD_FAILURE() << strName << " loaded";
    return CFileException(CFileException::none, "", "");
  }

  void TearDown() override {
    CFileFaults::Reset();
    TempDirTest::TearDown();
  }

  CSiteProjection m_projection;
  std::vector<std::string> m_status;
};

struct _tagcase {
  const char *tag;
  int32_t nKind;
  const char *name;
};
void PrintTo(const _tagcase &tag, std::ostream *pOut) { *pOut << tag.name; }

class SiteProjectionTagTest : public SiteProjectionTest, public ::testing::WithParamInterface<_tagcase> {};

TEST_P(SiteProjectionTagTest, LoadsSectionFromItsOffsetAndTheTransform) {
  const auto param = GetParam();
  const bool bGeo = param.nKind == PROJECTION_GEO;
  const Bytes bitmap = SmallBitmap(0x30);
  const Bytes section = Section(bitmap);
  const Bytes file = HandMade(param.tag, SAMPLE, bGeo, section, {1, 2, 3, 4, 5, 6, 7, 8});
  const std::string path = Path(bGeo ? "site.gpf" : "site.lpf");
  WriteAll(path, file);

  m_projection.Load(path);
  EXPECT_EQ(m_projection.m_nKind, param.nKind);
  EXPECT_EQ(m_status, std::vector<std::string>{bGeo ? "Projection Type: Geo-Coded" : "Projection Type: Linear Coded"});
  EXPECT_EQ(m_projection.m_strPath, path);
  EXPECT_EQ(m_projection.m_strBitmapPath, path + "b");
  EXPECT_FALSE(m_projection.m_File.IsOpen());
  EXPECT_TRUE(std::equal(m_projection.m_Header.begin(), m_projection.m_Header.end(), file.begin()));
  // The stream file is exactly the section (from 145 for geo-coded files, 141 for linear ones),
  // nothing of what follows; the bitmap file is the picture.
  EXPECT_EQ(ReadAll(path + "c"), section);
  EXPECT_EQ(ReadAll(path + "b"), bitmap);
  EXPECT_EQ(m_projection.m_dA, SAMPLE.dA);
  EXPECT_EQ(m_projection.m_dB, SAMPLE.dB);
  EXPECT_EQ(m_projection.m_dC, SAMPLE.dC);
  EXPECT_EQ(m_projection.m_dD, SAMPLE.dD);
  EXPECT_EQ(m_projection.m_dE, SAMPLE.dE);
  EXPECT_EQ(m_projection.m_dF, SAMPLE.dF);
  EXPECT_DOUBLE_EQ(m_projection.m_dDet, 1.5 * 2.0 + 0.25 * 0.125);
}

INSTANTIATE_TEST_SUITE_P(BothFormsOfEachTag, SiteProjectionTagTest,
                         ::testing::Values(_tagcase{"GPF ", PROJECTION_GEO, "GPF"},
                                           _tagcase{" FPG", PROJECTION_GEO, "FPG"},
                                           _tagcase{"LPF ", PROJECTION_LINEAR, "LPF"},
                                           _tagcase{" FPL", PROJECTION_LINEAR, "FPL"}),
                         [](const ::testing::TestParamInfo<_tagcase> &tag) { return std::string(tag.param.name); });

TEST_F(SiteProjectionTest, PixelsToCoordinates) {
  double c1 = -1;
  double c2 = -1;
  m_projection.ToCoordinates(5, 5, c1, c2); // nothing loaded: nothing written
  EXPECT_EQ(c1, -1);
  EXPECT_EQ(c2, -1);

  _transform linear;
  linear.dA = 0.5;
  linear.dD = 2;
  linear.dE = 10;
  linear.dF = 20;
  WriteAll(Path("l.lpf"), HandMade("LPF ", linear, false, Section(SmallBitmap(1))));
  m_projection.Load(Path("l.lpf"));
  m_projection.ToCoordinates(30, 40, c1, c2);
  EXPECT_EQ(c1, 40);
  EXPECT_EQ(c2, 10);

  _transform identity;
  identity.dA = 1;
  identity.dD = 1;
  WriteAll(Path("g.gpf"), HandMade("GPF ", identity, true, Section(SmallBitmap(1))));
  m_projection.Load(Path("g.gpf"));
  m_projection.ToCoordinates(12, 34, c1, c2);
  EXPECT_EQ(c1, 12);
  EXPECT_EQ(c2, 34);

  // Inverts the geo-coded mapping pixel = M * (lat, lon) + (e, f).
  m_projection.m_dA = SAMPLE.dA;
  m_projection.m_dB = SAMPLE.dB;
  m_projection.m_dC = SAMPLE.dC;
  m_projection.m_dD = SAMPLE.dD;
  m_projection.m_dE = SAMPLE.dE;
  m_projection.m_dF = SAMPLE.dF;
  m_projection.m_dDet = SAMPLE.dA * SAMPLE.dD - SAMPLE.dB * SAMPLE.dC;
  const double lat = 3.25;
  const double lon = -7.5;
  m_projection.ToCoordinates(SAMPLE.dA * lat + SAMPLE.dB * lon + SAMPLE.dE,
                             SAMPLE.dC * lat + SAMPLE.dD * lon + SAMPLE.dF, c1, c2);
  EXPECT_NEAR(c1, lat, 1e-12);
  EXPECT_NEAR(c2, lon, 1e-12);

  // A singular matrix divides by zero in double precision.
  _transform singular{2, 4, 1, 2, 0, 0};
  WriteAll(Path("s.gpf"), HandMade("GPF ", singular, true, Section(SmallBitmap(1))));
  m_projection.Load(Path("s.gpf"));
  EXPECT_EQ(m_projection.m_dDet, 0);
  m_projection.ToCoordinates(3, 4, c1, c2);
  EXPECT_FALSE(std::isfinite(c1));
  EXPECT_FALSE(std::isfinite(c2));
}

TEST(SiteProjectionDistance, HaversineAndStraightLine) {
  EXPECT_NEAR(CSiteProjection::GeoDistance(0, 0, 0, 1), 111319.4907, 5e-5);
  EXPECT_NEAR(CSiteProjection::GeoDistance(45, 0, 46, 0), 111319.4907, 5e-5);
  EXPECT_NEAR(CSiteProjection::GeoDistance(60, 10, 60, 11), 55659.2156, 5e-5);
  EXPECT_NEAR(CSiteProjection::GeoDistance(10, 20, 0, 0), 2478945.2950, 5e-5);
  EXPECT_EQ(CSiteProjection::GeoDistance(52.5, 13.4, 52.5, 13.4), 0);
  EXPECT_EQ(CSiteProjection::LinearDistance(0, 0, 3, 4), 5);
  EXPECT_EQ(CSiteProjection::LinearDistance(-1, 2, -1, 2), 0);
}

TEST_F(SiteProjectionTest, UnrecognisedTagLeavesThePreviousProjectionInForce) {
  LoadGood();
  const Bytes goodBitmap = ReadAll(Path("good.gpfb"));
  const Bytes file = HandMade("GPFX", _transform{7, 7, 7, 7, 7, 7}, true, Section(SmallBitmap(99)));
  WriteAll(Path("other.gpf"), file);

  const CFileException e = LoadFailing("other.gpf");
  EXPECT_EQ(e.m_cause, CFileException::invalidFile);
  EXPECT_NE(std::string(e.what()).find("is not a projection file"), std::string::npos);
  EXPECT_NE(std::string(e.what()).find("47 50 46 58"), std::string::npos);
  ExpectGoodInForce();
  EXPECT_TRUE(m_status.empty());
  // Path and header follow every load; nothing was extracted or decoded.
  EXPECT_EQ(m_projection.m_strPath, Path("other.gpf"));
  EXPECT_EQ(m_projection.m_Header[4], 'G');
  EXPECT_EQ(m_projection.m_Header[7], 'X');
  EXPECT_FALSE(fs::exists(Path("other.gpfc")));
  EXPECT_FALSE(fs::exists(Path("other.gpfb")));
  EXPECT_EQ(ReadAll(Path("good.gpfb")), goodBitmap);
}

TEST_F(SiteProjectionTest, ShortAndDamagedFilesRaiseErrors) {
  LoadGood();
  const Bytes section = Section(SmallBitmap(20));

  // Shorter than the header: nothing is read into it, nothing changes.
  WriteAll(Path("tiny.lpf"), Bytes(140, 0));
  const auto headerBefore = m_projection.m_Header;
  EXPECT_EQ(LoadFailing("tiny.lpf").m_cause, CFileException::endOfFile);
  EXPECT_EQ(m_projection.m_Header, headerBefore);
  ExpectGoodInForce();

  // A geo-coded header whose section length is cut off (the file ends at 147).
  Bytes cutLength = HandMade("GPF ", SAMPLE, true, {});
  cutLength.insert(cutLength.end(), {0x10, 0x20});
  WriteAll(Path("cut-length.gpf"), cutLength);
  const CFileException cut = LoadFailing("cut-length.gpf");
  EXPECT_EQ(cut.m_cause, CFileException::endOfFile);
  EXPECT_NE(std::string(cut.what()).find("offset 145"), std::string::npos);

  // A section that runs past the end of the file.
  Bytes longer = section;
  WriteUInt32LE(longer.data(), static_cast<uint32_t>(section.size() + 1));
  WriteAll(Path("past-end.lpf"), HandMade("LPF ", SAMPLE, false, longer));
  EXPECT_EQ(LoadFailing("past-end.lpf").m_cause, CFileException::endOfFile);

  Bytes huge = section;
  WriteUInt32LE(huge.data(), 0xFFFFFFFFU);
  WriteAll(Path("huge.gpf"), HandMade("GPF ", SAMPLE, true, huge));
  EXPECT_EQ(LoadFailing("huge.gpf").m_cause, CFileException::endOfFile);

  // A section length below its own 1032-byte header.
  Bytes below = section;
  WriteUInt32LE(below.data(), 1031);
  WriteAll(Path("below.gpf"), HandMade("GPF ", SAMPLE, true, below));
  const CFileException small = LoadFailing("below.gpf");
  EXPECT_EQ(small.m_cause, CFileException::invalidFile);
  EXPECT_NE(std::string(small.what()).find("1031"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("below.gpfc")));

  // The kind follows the header of the failed load (it is set before the section is taken);
  // the transform and the bitmap path stay those of the last complete load.
  WriteAll(Path("bad.lpf"), HandMade("LPF ", _transform{5, 5, 5, 5, 5, 5}, false, below));
  LoadFailing("bad.lpf");
  EXPECT_EQ(m_projection.m_nKind, PROJECTION_LINEAR);
  EXPECT_EQ(m_projection.m_strBitmapPath, Path("good.gpfb"));
  EXPECT_EQ(m_projection.m_dA, SAMPLE.dA);
}

TEST_F(SiteProjectionTest, FilesThatCannotBeOpenedOrWritten) {
  LoadGood();
  const CFileException missing = LoadFailing("absent.gpf");
  EXPECT_EQ(missing.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(m_projection.m_strPath, Path("absent.gpf"));
  ExpectGoodInForce();

  // The stream file cannot be created: the load stops rather than decode whatever stream file
  // an earlier load may have left.
  WriteAll(Path("blocked.gpf"), HandMade("GPF ", _transform{3, 0, 0, 3, 0, 0}, true, Section(SmallBitmap(50))));
  fs::create_directory(Path("blocked.gpfc"));
  LoadFailing("blocked.gpf");
  EXPECT_EQ(m_projection.m_strBitmapPath, Path("good.gpfb"));
  EXPECT_EQ(m_projection.m_dA, SAMPLE.dA);
  EXPECT_FALSE(fs::exists(Path("blocked.gpfb")));
}

TEST_F(SiteProjectionTest, ReloadOverwritesTheSideFiles) {
  const Bytes first = SmallBitmap(1);
  const Bytes second = SmallBitmap(200);
  const std::string path = Path("site.lpf");
  WriteAll(path, HandMade(" FPL", SAMPLE, false, Section(first)));
  m_projection.Load(path);
  EXPECT_EQ(ReadAll(path + "b"), first);

  WriteAll(path, HandMade(" FPL", SAMPLE, false, Section(second)));
  m_projection.Load(path);
  EXPECT_EQ(ReadAll(path + "c"), Section(second));
  EXPECT_EQ(ReadAll(path + "b"), second);
  EXPECT_EQ(m_status.size(), 2U);
}

// A projection in a folder that cannot be written to: its side files go to the folder given,
// under the projection file's name, and nothing is written beside it; an empty folder puts them
// back beside the next load.
TEST_F(SiteProjectionTest, SideFilesGoToTheFolderGiven) {
  const Bytes plan = SmallBitmap(77);
  fs::create_directory(Path("plans"));
  fs::create_directory(Path("cache"));
  const std::string path = Path("plans/site.lpf");
  WriteAll(path, HandMade(" FPL", SAMPLE, false, Section(plan)));

  m_projection.SetSideFileFolder(Path("cache"));
  m_projection.Load(path);
  EXPECT_EQ(m_projection.m_strBitmapPath, Path("cache/site.lpfb"));
  EXPECT_EQ(ReadAll(Path("cache/site.lpfb")), plan);
  EXPECT_EQ(ReadAll(Path("cache/site.lpfc")), Section(plan));
  EXPECT_FALSE(fs::exists(path + "b"));
  EXPECT_FALSE(fs::exists(path + "c"));
  EXPECT_EQ(m_projection.m_dA, SAMPLE.dA);

  m_projection.SetSideFileFolder("");
  m_projection.Load(path);
  EXPECT_EQ(m_projection.m_strBitmapPath, path + "b");
  EXPECT_EQ(ReadAll(path + "b"), plan);
}

// A section of only its header yields nothing: it loads when it declares nothing, and a decoded
// length it cannot yield is refused rather than padded.
TEST_F(SiteProjectionTest, SectionOfOnlyItsHeaderYieldsNothing) {
  Bytes section(COMPRESSION_HEADER_SIZE, 0);
  WriteUInt32LE(section.data(), COMPRESSION_HEADER_SIZE);
  WriteAll(Path("empty.gpf"), HandMade("GPF ", SAMPLE, true, section));
  m_projection.Load(Path("empty.gpf"));
  EXPECT_TRUE(ReadAll(Path("empty.gpfb")).empty());
  EXPECT_EQ(m_projection.m_strBitmapPath, Path("empty.gpfb"));

  WriteUInt32LE(section.data() + 4, 40);
  WriteAll(Path("padded.gpf"), HandMade("GPF ", SAMPLE, true, section));
  EXPECT_NE(std::string(LoadFailing("padded.gpf").what()).find("its 0 code bytes can yield at most 0"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(Path("padded.gpfc")));
  EXPECT_FALSE(fs::exists(Path("padded.gpfb")));
}

// The section with its decoded length L set to nDeclared.
Bytes Declaring(Bytes section, uint32_t nDeclared) {
  WriteUInt32LE(section.data() + 4, nDeclared);
  return section;
}

// A decoded length the code bytes cannot yield (a byte yields at most 8), or that the bitmap the
// section decodes to contradicts, would pad the side file with bytes that are no plan: towards
// 4 GiB for a damaged length. It is refused before anything is written, and the projection loaded
// before stays in force with its bitmap.
TEST_F(SiteProjectionTest, DeclaredLengthsThatCannotBeTheBitmapAreRefusedBeforeAnythingIsWritten) {
  LoadGood();
  const Bytes goodBitmap = ReadAll(Path("good.gpfb"));
  const Bytes bitmap = SmallBitmap(70);
  const Bytes section = Section(bitmap);
  const auto nYield = 8 * (section.size() - COMPRESSION_HEADER_SIZE);
  const auto nBitmap = static_cast<uint32_t>(bitmap.size());
  ASSERT_LT(nBitmap + 1, nYield); // so the second case is within what the bytes could yield
  const struct {
    uint32_t nDeclared;
    std::string expected;
  } cases[] = {
      {0xFFFFFFFFU, "declares a decoded length of 4294967295 bytes, but its " +
                        std::to_string(section.size() - COMPRESSION_HEADER_SIZE) + " code bytes can yield at most " +
                        std::to_string(nYield) + " (8 per code byte)"},
      {static_cast<uint32_t>(nYield + 1), "can yield at most " + std::to_string(nYield)},
      {nBitmap + 1, "the bitmap file it decodes to declares " + std::to_string(nBitmap) + " bytes"},
      {nBitmap - 1, "the bitmap file it decodes to declares " + std::to_string(nBitmap) + " bytes"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.nDeclared);
    WriteAll(Path("damaged.gpf"), HandMade("GPF ", SAMPLE, true, Declaring(section, c.nDeclared)));
    const CFileException e = LoadFailing("damaged.gpf");
    EXPECT_EQ(e.m_cause, CFileException::invalidFile);
    EXPECT_NE(std::string(e.what()).find("at offset 145"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    EXPECT_FALSE(fs::exists(Path("damaged.gpfc")));
    EXPECT_FALSE(fs::exists(Path("damaged.gpfb")));
    ExpectGoodInForce();
    EXPECT_EQ(ReadAll(Path("good.gpfb")), goodBitmap);
  }

  // Within what the bytes can yield, a length still pads a stream that stops short; and a bitmap
  // whose length field is 0 says nothing to hold the length against.
  const std::map<int, uint32_t> abc = {{0x61, 1}, {0x62, 2}, {0x63, 3}};
  WriteAll(Path("short.lpf"), HandMade("LPF ", SAMPLE, false, MakeStream(abc, 8, {0x0b})));
  m_projection.Load(Path("short.lpf"));
  EXPECT_EQ(ReadAll(Path("short.lpfb")), (Bytes{0x61, 0x62, 0x63, 0x63, 0x63, 0xFF, 0xFF, 0xFF}));
  Bytes unsized = bitmap;
  WriteUInt32LE(unsized.data() + 2, 0);
  WriteAll(Path("unsized.lpf"), HandMade("LPF ", SAMPLE, false, Declaring(Section(unsized), nBitmap + 3)));
  m_projection.Load(Path("unsized.lpf"));
  Bytes padded = unsized;
  padded.insert(padded.end(), 3, 0xFF);
  EXPECT_EQ(ReadAll(Path("unsized.lpfb")), padded);
}

// A disk that fills during a load leaves no part of its side files: those of the last load stay
// whole, and the projection in force keeps its bitmap.
TEST_F(SiteProjectionTest, FullDiskLeavesTheSideFilesOfTheLastLoad) {
  LoadGood();
  const Bytes goodStream = ReadAll(Path("good.gpfc"));
  const Bytes goodBitmap = ReadAll(Path("good.gpfb"));
  const Bytes changed = SmallBitmap(200);
  WriteAll(Path("good.gpf"), HandMade("GPF ", SAMPLE, true, Section(changed)));
  WriteAll(Path("new.lpf"), HandMade("LPF ", SAMPLE, false, Section(changed)));
  const auto nStream = static_cast<int64_t>(Section(changed).size());
  for (const int64_t nBudget : {int64_t{0}, int64_t{10}, nStream, nStream + 20}) {
    SCOPED_TRACE(nBudget);
    CFileFaults::FailWritesAfter(nBudget);
    EXPECT_EQ(LoadFailing("good.gpf").m_cause, CFileException::diskFull);
    EXPECT_EQ(LoadFailing("new.lpf").m_cause, CFileException::diskFull);
    CFileFaults::Reset();
    EXPECT_EQ(ReadAll(Path("good.gpfc")), goodStream);
    EXPECT_EQ(ReadAll(Path("good.gpfb")), goodBitmap);
    EXPECT_EQ(m_projection.m_strBitmapPath, Path("good.gpfb"));
    // A first load leaves nothing, also when only the bitmap did not fit.
    EXPECT_FALSE(fs::exists(Path("new.lpfb")));
    EXPECT_FALSE(fs::exists(Path("new.lpfc")));
    for (const auto &entry : fs::directory_iterator(m_dir)) {
      EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
    }
  }
  m_projection.Load(Path("good.gpf"));
  EXPECT_EQ(ReadAll(Path("good.gpfb")), changed);
}

} // namespace

namespace {

// The transform alone, from the header: the floor plan may be missing or damaged, and nothing is
// written next to the projection.
TEST_F(SiteProjectionTest, TransformFromTheHeaderAlone) {
  // A linear header with the reversed tag and a section length that runs far past the end.
  Bytes linear = HandMade(" FPL", _transform{0.5, 0, 0, 2, 10, 20}, false, {0xFF, 0xFF, 0xFF, 0x7F});
  WriteAll(Path("plan.lpf"), linear);
  CSiteProjection projection;
  LoadProjectionTransform(Path("plan.lpf"), projection);
  EXPECT_EQ(projection.m_nKind, PROJECTION_LINEAR);
  double c1 = 0;
  double c2 = 0;
  projection.ToCoordinates(30, 40, c1, c2);
  EXPECT_EQ(c1, 40);
  EXPECT_EQ(c2, 10);

  WriteAll(Path("geo.gpf"), HandMade("GPF ", SAMPLE, true, {}));
  LoadProjectionTransform(Path("geo.gpf"), projection);
  EXPECT_EQ(projection.m_nKind, PROJECTION_GEO);
  EXPECT_EQ(projection.m_dE, SAMPLE.dE);
  EXPECT_EQ(projection.m_dC, SAMPLE.dC);
  EXPECT_EQ(projection.m_dDet, SAMPLE.dA * SAMPLE.dD - SAMPLE.dB * SAMPLE.dC);
  EXPECT_TRUE(projection.m_strBitmapPath.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);

  // Refusals name the file and leave the transform as it was.
  WriteAll(Path("other.gpf"), HandMade("GPFX", _transform{7, 7, 7, 7, 7, 7}, true, {}));
  WriteAll(Path("short.gpf"), Bytes(140, 0));
  for (const char *pName : {"other.gpf", "short.gpf", "absent.gpf"}) {
    SCOPED_TRACE(pName);
    try {
      LoadProjectionTransform(Path(pName), projection);
      ADD_FAILURE() << "loaded";
    } catch (const CFileException &e) {
      EXPECT_NE(std::string(e.what()).find(Path(pName)), std::string::npos) << e.what();
    }
    EXPECT_EQ(projection.m_nKind, PROJECTION_GEO);
    EXPECT_EQ(projection.m_dA, SAMPLE.dA);
  }
}

} // namespace
