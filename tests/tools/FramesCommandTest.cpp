#include "tools/tvdtool/FramesCommand.h"

#include "platform/FileException.h"
#include "platform/FileFaults.h"
#include "tools/tvdtool/StandardOutput.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<nlohmann::json> JsonLines(const std::string &bytes) {
  std::istringstream in(bytes);
  std::ostringstream out;
  std::ostringstream err;
  DecodeFrames(in, out, err, true);
  std::vector<nlohmann::json> lines;
  std::istringstream text(out.str());
  for (std::string line; std::getline(text, line);) {
    lines.push_back(nlohmann::json::parse(line));
  }
  return lines;
}

std::string Frame(const std::string &payload) {
  return std::string("\xAA", 1) + static_cast<char>(payload.size()) + std::string(1, '\0') + payload;
}

TEST(FramesCommand, JsonCarriesPayloadTypeAndFields) {
  std::string description("\x01\x01\x00\x7D\x00\x00\xE0\x92\x00\x00\x80\x0C\x00\x00", 14);
  description.resize(26, '\0');
  const std::string stream = "\x13" + Frame(description) +
                             Frame(std::string("\x02\xF6\x00\xEC\x00\xE2\x00\xD8\x00\x00", 10)) +
                             Frame(std::string("\x05\xD0\x84\x00\x00\x00\x00\x00\x00", 9)) +
                             Frame("\x1C"
                                   "ABC\xE9"
                                   "23") +
                             Frame("\x04");
  const auto lines = JsonLines(stream);
  ASSERT_EQ(lines.size(), 5U);

  EXPECT_EQ(lines[0]["type"], "receiver_info");
  EXPECT_EQ(lines[0]["presence"], 1);
  EXPECT_EQ(lines[0]["receivers"][0]["min_channel"], 32000);
  EXPECT_EQ(lines[0]["receivers"][0]["step_khz"], 12.5);
  EXPECT_EQ(lines[0]["receivers"][0]["max_mhz"], 470.0);
  EXPECT_EQ(lines[0]["receivers"][1], nlohmann::json({{"installed", false}}));

  EXPECT_EQ(lines[1]["type"], "levels");
  EXPECT_EQ(lines[1]["payload"], "02f600ec00e200d80000");
  EXPECT_EQ(lines[1]["items"], 4);
  EXPECT_EQ(lines[1]["levels"], nlohmann::json({-10, -20}));

  EXPECT_EQ(lines[2]["type"], "channel_report");
  EXPECT_EQ(lines[2]["channel1"], 34000);
  EXPECT_EQ(lines[2]["channel2"], 0);

  // A serial byte beyond ASCII is shown as its character, not an invalid string.
  EXPECT_EQ(lines[3]["serial"], "ABC\xC3\xA9"
                                "23");
  EXPECT_EQ(lines[4]["type"], "ignored");
  EXPECT_EQ(lines[4]["payload"], "04");
}

TEST(FramesCommand, BundledSampleDecodesWithNoiseSkipped) {
  std::ifstream in(TARVEX_SOURCE_DIR "/resources/samples/receiver-session.bin", std::ios::binary);
  ASSERT_TRUE(in);
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(DecodeFrames(in, out, err, false), 15UL);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("serial       TX0417\n", 0), 0U) << text;
  EXPECT_NE(text.find("receiver     receiver 1: Installed, channels 32000..37600, 400.0000 MHz to 470.0000 MHz, "
                      "step 12.5000 KHz; receiver 2: Installed"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("channels     channel 1 = 34000, channel 2 = 20000"), std::string::npos);
}

// A stream cut off inside a frame loses that frame; the decode says so on the standard error,
// with how far the frame had come. A stream that ends between frames is not noted.
TEST(FramesCommand, StreamEndingInsideAFrameIsNoted) {
  const std::string whole = Frame(std::string("\x02\xF6\x00\xEC\x00\xE2\x00\xD8\x00\x00", 10));
  const struct {
    std::string stream;
    std::string note;
  } cases[] = {
      {whole + whole.substr(0, 8), "note: the byte stream ends inside a frame: 5 of its 10 payload bytes came; "
                                   "that frame is not shown.\n"},
      {whole + whole.substr(0, 2), "note: the byte stream ends inside a frame, after its length byte (10 payload "
                                   "bytes announced); that frame is not shown.\n"},
      {whole + "\xAA", "note: the byte stream ends inside a frame, right after a sync byte; that frame is not "
                       "shown.\n"},
      {whole + "\x13\x00", ""},
      {whole, ""},
  };
  for (const auto &c : cases) {
    std::istringstream in(c.stream);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(DecodeFrames(in, out, err, false), 1UL);
    EXPECT_EQ(err.str(), c.note);
  }
}

// Files are named with the system's reason when they cannot be read; a permission that root
// always has is injected.
TEST(FramesCommand, FilesThatCannotBeReadAreNamedWithTheReason) {
  const std::string dir = ::testing::TempDir();
  const std::string secret = dir + "frames-secret.bin";
  std::ofstream(secret) << "x";
  CFileFaults::FailOpen(secret, EACCES);
  const struct {
    std::string path;
    const char *pReason;
  } cases[] = {
      {dir, "Is a directory"}, {"/nonexistent/x.bin", "No such file or directory"}, {secret, "Permission denied"}};
  for (const auto &c : cases) {
    std::ostringstream out;
    std::ostringstream err;
    try {
      DecodeFramesFile(c.path, out, err, false);
      ADD_FAILURE() << c.path << " was read";
    } catch (const CFileException &e) {
      EXPECT_EQ(std::string(e.what()), "Opening \"" + c.path + "\" failed: " + c.pReason + ".");
    }
  }
  CFileFaults::Reset();
  std::remove(secret.c_str());

  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(DecodeFramesFile(TARVEX_SOURCE_DIR "/resources/samples/receiver-session.bin", out, err, false), 15UL);
}

// An output that takes nothing more ends the decode rather than reading on for nothing.
TEST(FramesCommand, FailedOutputEndsTheDecode) {
  std::istringstream in(Frame("\x04") + Frame("\x04"));
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  std::ostringstream err;
  EXPECT_THROW(DecodeFrames(in, out, err, false), COutputFailed);
}

} // namespace
