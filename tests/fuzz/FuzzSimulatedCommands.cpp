// Writes arbitrary bytes to the simulated receiver as the host would: whatever it is sent, the
// unit answers only with whole frames that carry a description or a serial number.
#include "platform/D2xxSimBackend.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  auto pSim = std::make_shared<CSimulatedReceiver>();
  std::unique_ptr<CD2xxDevice> port;
  if (pSim->OpenPort(port) != FT_OK) {
    std::abort();
  }
  // Written in two parts, split where the first byte says, as a command may be.
  const size_t nSplit = size > 0 ? data[0] % (size + 1) : 0;
  uint32_t nWritten = 0;
  port->Write(data, static_cast<uint32_t>(nSplit), nWritten);
  port->Write(data + nSplit, static_cast<uint32_t>(size - nSplit), nWritten);

  uint32_t nQueued = 0;
  uint32_t nTx = 0;
  uint32_t nEvents = 0;
  port->GetStatus(nQueued, nTx, nEvents);
  std::vector<uint8_t> bytes(nQueued);
  uint32_t nRead = 0;
  port->Read(bytes.data(), nQueued, nRead);
  for (size_t i = 0; i < bytes.size();) {
    if (bytes.size() - i < 4 || bytes[i] != 0xAA || bytes[i + 2] != 0x00) {
      std::abort();
    }
    const size_t nLength = bytes[i + 1];
    const uint8_t nType = bytes[i + 3];
    if (i + 3 + nLength > bytes.size() || !((nType == 0x01 && nLength == 26) || (nType == 0x1C && nLength == 7))) {
      std::abort();
    }
    i += 3 + nLength;
  }
  port->Close();
  return 0;
}
