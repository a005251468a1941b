#include "tools/tvdtool/FramesCommand.h"

#include "link/Usb.h"
#include "platform/File.h"
#include "tools/tvdtool/Commands.h"
#include "tools/tvdtool/MessageFormat.h"
#include "tools/tvdtool/StandardOutput.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t READ_BLOCK = 1 << 16;

// A link with no device is the decoder alone: the packets it hands on are printed as they come.
// Derived to see where the decoder stands when the stream ends.
class CFramePrinter : public CUSB {
public:
  CFramePrinter(std::ostream &out, bool bJson) : m_out(out), m_bJson(bJson) {}

  void Feed(const uint8_t *pData, uint32_t nCount) {
    ProcessBytes(pData, nCount);
    for (const _linkitem &item : Queue().TakeAll()) {
      const auto nLength = static_cast<uint32_t>(item.payload.size());
      ++m_nPackets;
      m_out << (m_bJson ? JsonLine(PayloadToJson(item.payload.data(), nLength))
                        : PayloadSummary(item.payload.data(), nLength))
            << '\n';
      CheckOutput(m_out); // a full disk ends the decode instead of reading the rest for nothing
    }
  }

  // Notes on err when the stream named strName ended inside a frame.
  unsigned long Finish(std::ostream &err, const std::string &strName) const {
    const std::string strNote = "note: " + strName + " ends inside a frame";
    if (m_bInPacket) {
      err << strNote << ": " << m_nRxCount << " of its " << m_nPacketLength
          << " payload bytes came; that frame is not shown.\n";
    } else if (m_bLengthSeen) {
      err << strNote << ", after its length byte (" << m_nPacketLength
          << " payload bytes announced); that frame is not shown.\n";
    } else if (m_bSyncSeen) {
      err << strNote << ", right after a sync byte; that frame is not shown.\n";
    }
    return m_nPackets;
  }

private:
  std::ostream &m_out;
  bool m_bJson;
  unsigned long m_nPackets = 0;
};

} // namespace

unsigned long DecodeFrames(std::istream &in, std::ostream &out, std::ostream &err, bool bJson) {
  auto pPrinter = std::make_unique<CFramePrinter>(out, bJson);
  std::vector<char> buffer(READ_BLOCK);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) {
      throw std::runtime_error("reading the byte stream failed");
    }
    const auto nRead = in.gcount();
    if (nRead > 0) {
      pPrinter->Feed(reinterpret_cast<const uint8_t *>(buffer.data()), static_cast<uint32_t>(nRead));
    }
  }
  return pPrinter->Finish(err, "the byte stream");
}

unsigned long DecodeFramesStandardInput(std::ostream &out, std::ostream &err, bool bJson) {
  auto pPrinter = std::make_unique<CFramePrinter>(out, bJson);
  std::vector<uint8_t> buffer(READ_BLOCK);
  for (;;) {
    const ssize_t nRead = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (nRead < 0 && errno == EINTR) {
      continue;
    }
    if (nRead < 0) {
      // A folder or a device behind the standard input: say so, not that the stream was empty.
      throw std::runtime_error(std::string("reading the standard input failed: ") + std::strerror(errno));
    }
    if (nRead == 0) {
      break;
    }
    pPrinter->Feed(buffer.data(), static_cast<uint32_t>(nRead));
  }
  return pPrinter->Finish(err, "the standard input");
}

unsigned long DecodeFramesFile(const std::string &strPath, std::ostream &out, std::ostream &err, bool bJson) {
  CFile file;
  // A stream may come from a FIFO or a device too: it is read as it comes, never by its length.
  file.OpenOrThrow(strPath, CFile::modeRead | CFile::shareDenyNone | CFile::typeStream);
  auto pPrinter = std::make_unique<CFramePrinter>(out, bJson);
  std::vector<uint8_t> buffer(READ_BLOCK);
  for (;;) {
    const uint32_t nRead = file.Read(buffer.data(), READ_BLOCK);
    if (nRead == 0) {
      break;
    }
    pPrinter->Feed(buffer.data(), nRead);
  }
  return pPrinter->Finish(err, "\"" + strPath + "\"");
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
      DecodeFramesStandardInput(std::cout, std::cerr, *bJson);
    } else {
      DecodeFramesFile(*file, std::cout, std::cerr, *bJson);
    }
  });
}
