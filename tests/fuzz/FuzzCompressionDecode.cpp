// Decodes arbitrary stream bytes (weights, lengths and code bytes alike) with the table-driven
// decoder and checks the result against the one-bit-at-a-time walk, also when the code bytes
// arrive in two pieces.
#include "platform/LittleEndian.h"
#include "projection/Compression.h"
#include "tests/projection/ReferenceWalk.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<uint8_t> stream(data, data + size);
  if (stream.size() < COMPRESSION_HEADER_SIZE) {
    stream.resize(COMPRESSION_HEADER_SIZE, 0);
  }
  // Bound the 0xFF padding so that each run stays quick.
  WriteUInt32LE(stream.data() + 4, ReadUInt32LE(stream.data() + 4) % (1 << 16));

  static CCompression decoder("", ""); // reused, as a decode must not depend on the one before
  const std::vector<uint8_t> decoded = decoder.DecodeInMemory(stream.data(), stream.size());
  if (decoded != ReferenceDecode(stream)) {
    std::abort();
  }

  const uint8_t *pCode = stream.data() + COMPRESSION_HEADER_SIZE;
  const size_t nCode = stream.size() - COMPRESSION_HEADER_SIZE;
  const size_t nSplit = nCode == 0 ? 0 : stream[8] % (nCode + 1);
  decoder.ResetWalk();
  std::vector<uint8_t> pieces(8 * nCode);
  size_t nOut = decoder.DecodeCodeBytes(pCode, nSplit, pieces.data());
  nOut += decoder.DecodeCodeBytes(pCode + nSplit, nCode - nSplit, pieces.data() + nOut);
  pieces.resize(nOut);
  if (pieces != ReferenceWalk(decoder, pCode, nCode, 0)) {
    std::abort();
  }
  return 0;
}
