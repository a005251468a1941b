#include "projection/CompressionEncoder.h"

#include "platform/LittleEndian.h"
#include "projection/Compression.h"

#include <array>
#include <stdexcept>

namespace {

// A code as bits in walk order (bit 0 = the first step from the root). Paths can reach 255 steps.
struct _code {
  std::array<uint64_t, 4> nBits{};
  int nLength = 0;
  bool Bit(int i) const { return ((nBits[static_cast<size_t>(i / 64)] >> (i % 64)) & 1) != 0; }
};

std::array<_code, COMPRESSION_SYMBOLS> CodesFromTree(const CCompression &tree) {
  std::array<_code, COMPRESSION_SYMBOLS> codes;
  for (int nSymbol = 0; nSymbol < COMPRESSION_SYMBOLS; ++nSymbol) {
    // Climb from the leaf to the root, collecting the steps in reverse.
    std::array<bool, COMPRESSION_SLOTS> steps{};
    int nDepth = 0;
    for (int nNode = nSymbol; nNode != tree.m_nRoot; nNode = tree.m_Node[nNode].m_nParent) {
      steps[nDepth++] = tree.m_Node[tree.m_Node[nNode].m_nParent].m_nRight == nNode;
    }
    _code &code = codes[nSymbol];
    code.nLength = nDepth;
    for (int i = 0; i < nDepth; ++i) {
      if (steps[nDepth - 1 - i]) {
        code.nBits[static_cast<size_t>(i / 64)] |= uint64_t{1} << (i % 64);
      }
    }
  }
  return codes;
}

// Packs bits least significant first into a preallocated buffer.
class CBitWriter {
public:
  explicit CBitWriter(uint8_t *pOut) : m_pOut(pOut) {}

  void Put(uint64_t nBits, int nCount) { // nCount <= 32
    m_nAccumulator |= nBits << m_nPending;
    m_nPending += nCount;
    if (m_nPending >= 32) {
      WriteUInt32LE(m_pOut, static_cast<uint32_t>(m_nAccumulator));
      m_pOut += 4;
      m_nAccumulator >>= 32;
      m_nPending -= 32;
    }
  }
  void Put(const _code &code) {
    if (code.nLength <= 32) {
      Put(code.nBits[0], code.nLength);
      return;
    }
    for (int i = 0; i < code.nLength; ++i) {
      Put(code.Bit(i) ? 1 : 0, 1);
    }
  }
  int SpareBits() const { return (8 - m_nPending % 8) % 8; }
  void Flush() {
    for (; m_nPending > 0; m_nPending -= 8) {
      *m_pOut++ = static_cast<uint8_t>(m_nAccumulator);
      m_nAccumulator >>= 8;
    }
  }

private:
  uint8_t *m_pOut;
  uint64_t m_nAccumulator = 0;
  int m_nPending = 0;
};

} // namespace

std::vector<uint8_t> EncodeCompressedStream(const uint8_t *pData, size_t nSize) {
  if (nSize > UINT32_MAX) {
    throw std::length_error("a compressed floor plan holds at most 4294967295 bytes; this one has " +
                            std::to_string(nSize));
  }
  std::array<uint64_t, COMPRESSION_SYMBOLS> counts{};
  for (size_t i = 0; i < nSize; ++i) {
    ++counts[pData[i]];
  }

  CCompression tree("", "");
  for (int i = 0; i < COMPRESSION_SYMBOLS; ++i) {
    tree.m_nWeights[i] = static_cast<uint32_t>(counts[i]);
  }
  tree.BuildTree();
  const auto codes = CodesFromTree(tree);

  uint64_t nBits = 0;
  int nLongest = 0;
  for (int i = 0; i < COMPRESSION_SYMBOLS; ++i) {
    nBits += counts[i] * static_cast<uint64_t>(codes[i].nLength);
    if (codes[i].nLength > codes[nLongest].nLength) {
      nLongest = i;
    }
  }
  const uint64_t nStreamSize = COMPRESSION_HEADER_SIZE + (nBits + 7) / 8;
  if (nStreamSize > UINT32_MAX) {
    throw std::length_error("the compressed floor plan would take " + std::to_string(nStreamSize) +
                            " bytes, more than its 32-bit section length can hold");
  }

  // 4 bytes of slack: the bit writer stores whole 32-bit words.
  std::vector<uint8_t> stream(static_cast<size_t>(nStreamSize) + 4);
  WriteUInt32LE(stream.data(), static_cast<uint32_t>(nStreamSize));
  WriteUInt32LE(stream.data() + 4, static_cast<uint32_t>(nSize));
  for (int i = 0; i < COMPRESSION_SYMBOLS; ++i) {
    WriteUInt32LE(stream.data() + COMPRESSION_WEIGHTS_OFFSET + 4 * i, tree.m_nWeights[i]);
  }

  CBitWriter writer(stream.data() + COMPRESSION_HEADER_SIZE);
  for (size_t i = 0; i < nSize; ++i) {
    writer.Put(codes[pData[i]]);
  }
  // A tree of 256 leaves has a leaf at depth 8 or more, so the first bits of the longest code
  // fill up to 7 spare bits without reaching a leaf.
  const int nSpare = writer.SpareBits();
  for (int i = 0; i < nSpare; ++i) {
    writer.Put(codes[nLongest].Bit(i) ? 1 : 0, 1);
  }
  writer.Flush();
  stream.resize(static_cast<size_t>(nStreamSize));
  return stream;
}
