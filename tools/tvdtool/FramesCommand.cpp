#include "tools/tvdtool/FramesCommand.h"

#include "link/Usb.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/MessageFormat.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

// A link with no device is the decoder alone: the packets it hands on are printed as they come.
unsigned long DecodeFrames(std::istream &in, std::ostream &out, bool bJson) {
  auto pDecoder = std::make_unique<CUSB>();
  unsigned long nPackets = 0;
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto nRead = in.gcount();
    if (nRead <= 0) {
      continue;
    }
    pDecoder->ProcessBytes(reinterpret_cast<const uint8_t *>(buffer.data()), static_cast<uint32_t>(nRead));
    for (const _linkitem &item : pDecoder->Queue().TakeAll()) {
      const auto nLength = static_cast<uint32_t>(item.payload.size());
      ++nPackets;
      out << (bJson ? JsonLine(PayloadToJson(item.payload.data(), nLength))
                    : PayloadSummary(item.payload.data(), nLength))
          << '\n';
    }
  }
  if (in.bad()) {
    throw std::runtime_error("reading the byte stream failed");
  }
  return nPackets;
}

void RegisterFramesCommands(CLI::App &app) {
  auto *frames = app.add_subcommand("frames", "Work with raw receiver byte streams.");
  frames->require_subcommand(1);

  auto *decode = frames->add_subcommand(
      "decode", "Cut a raw receiver byte stream (a capture, or a recording of 'tvdtool monitor --record') into "
                "packets and print one line per delivered packet.");
  auto file = std::make_shared<std::string>("-");
  auto bJson = std::make_shared<bool>(false);
  decode->add_option("FILE", *file, "The byte stream to read; '-' or nothing reads standard input.");
  decode->add_flag("--json", *bJson, "One JSON object per line: payload (hex), type and the message's fields.");
  decode->callback([file, bJson] {
    if (*file == "-") {
      DecodeFrames(std::cin, std::cout, *bJson);
      return;
    }
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
      throw std::runtime_error("cannot open \"" + *file + "\"");
    }
    DecodeFrames(in, std::cout, *bJson);
  });
}
