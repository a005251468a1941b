#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The compressed floor-plan stream (little-endian):
//   offset 0     4 bytes     section length N (the whole stream, this field included)
//   offset 4     4 bytes     decoded length L (the decoded file has at least L bytes)
//   offset 8     1024 bytes  256 symbol weights, uint32 each
//   offset 1032  ...         code bytes, each read least significant bit first
// The code tree is not stored: it is rebuilt from the weights by a fixed merging rule.

constexpr uint32_t COMPRESSION_HEADER_SIZE = 1032;
constexpr uint32_t COMPRESSION_WEIGHTS_OFFSET = 8;
constexpr int COMPRESSION_SYMBOLS = 256;
// Leaves 0-255, merged nodes 256-510; the two last slots are never reached.
constexpr int COMPRESSION_SLOTS = 513;
constexpr int16_t COMPRESSION_ROOT = 510;

// One node of the code tree.
class CNode {
public:
  virtual ~CNode() = default;

  int16_t m_nLeft = -1;   // child taken on a 0 bit
  int16_t m_nRight = -1;  // child taken on a 1 bit
  int16_t m_nParent = -1; // node that merged this one
  uint8_t m_bLeaf = 0;
  uint8_t m_cSymbol = 0;
  uint32_t m_nWeight = 0;
};

// One decoding run: the stream file m_strInput becomes the decoded file m_strOutput.
//
// The decoded bytes are exactly those of a walk that takes one bit at a time, least significant
// bit of each code byte first, emits a leaf's symbol and restarts at the root; codes run across
// byte boundaries, symbols completed by the spare bits of the last byte are kept, and when fewer
// than L bytes come out the file is padded with 0xFF up to L. This implementation reads and
// writes in large blocks and walks a whole code byte per table lookup.
class CCompression {
public:
  CCompression(std::string strInput, std::string strOutput);
  CCompression(const CCompression &) = delete;
  CCompression &operator=(const CCompression &) = delete;
  virtual ~CCompression();

  // Decodes m_strInput into m_strOutput, which is written whole beside its place and then put in
  // place of what it held. Both files stay on disk. Raises CFileException when the stream cannot
  // be opened or its 1032-byte header is incomplete, and when the output cannot be written; the
  // output is then left as it was.
  void Decode();

  // Builds the code tree from m_nWeights[0..255]: repeatedly merges the two lightest nodes of the
  // pool, found by one ascending scan with ties going to the lower index; the lower index becomes
  // the left child; weights add with 32-bit wrap-around.
  void BuildTree();

  // The building blocks of Decode for bytes held in memory.
  // Takes N, L and the weight table from the first 1032 bytes of a stream, builds the tree and
  // the walk table, and begins a new walk at the root.
  void ReadTable(const uint8_t *pHeader);
  // Begins the next code at the root.
  void ResetWalk();
  // Walks nCount code bytes on from the current walk state and stores the emitted symbols at
  // pOut, which must have room for 8 * nCount bytes. Returns the number of symbols emitted.
  size_t DecodeCodeBytes(const uint8_t *pCode, size_t nCount, uint8_t *pOut);
  // Decodes a whole stream held in memory as Decode does with files, padding included, but
  // stops after nMaxOutput bytes (a caller that wants only the start, or must bound memory).
  // Raises std::invalid_argument when the stream is shorter than its 1032-byte header.
  std::vector<uint8_t> DecodeInMemory(const uint8_t *pStream, size_t nSize, size_t nMaxOutput = SIZE_MAX);

  std::string m_strInput;
  std::string m_strOutput;
  std::array<uint32_t, COMPRESSION_SLOTS> m_nWeights{};
  std::array<uint8_t, COMPRESSION_SLOTS> m_bInPool{};
  std::array<CNode, COMPRESSION_SLOTS> m_Node;
  int16_t m_nRoot = -1;
  // The walk state between code bytes: the node reached (-1 = the next code begins at the root)
  // and the bit of the code byte to read next. A byte is always walked to its end, so between
  // bytes the mask is back at 0x01.
  int16_t m_nWalkNode = -1;
  uint8_t m_nWalkMask = 0x01;

  // N and L as read by the last ReadTable or Decode; the number of symbols the walk emitted.
  uint32_t m_nSectionLength = 0;
  uint32_t m_nDecodedLength = 0;
  uint64_t m_nDecodedCount = 0;

private:
  // For each internal node (index - 256) and each code byte: the symbols emitted while walking
  // the byte's 8 bits from that node, and the internal node where the walk stands afterwards.
  struct alignas(16) _walkstep {
    uint8_t cSymbols[8];
    uint8_t nCount;
    uint8_t nNext;
  };
  // Rows are made when the walk first stands on their node: a small stream visits few nodes.
  void BuildWalkRow(int nState);

  std::unique_ptr<_walkstep[]> m_pWalkTable; // 255 rows of 256 steps
  std::array<uint8_t, COMPRESSION_ROOT - COMPRESSION_SYMBOLS + 1> m_bRowReady{};
  bool m_bTableRead = false;
  uint8_t m_nWalkState = 0;
};
