#pragma once

// The walk over the code tree one bit at a time, exactly as the stream format describes it,
// kept simple so that the table-driven decoder can be checked against it.
#include "projection/Compression.h"

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> ReferenceWalk(const CCompression &tree, const uint8_t *pCode, size_t nCount,
                                          uint32_t nDecodedLength) {
  std::vector<uint8_t> out;
  int nNode = -1;
  uint8_t nMask = 0x01;
  for (size_t i = 0; i < nCount; ++i) {
    const uint8_t cByte = pCode[i];
    int nBitsLeft = 8;
    while (nBitsLeft > 0) {
      if (nNode == -1) {
        nNode = tree.m_nRoot;
      }
      while (true) {
        const CNode &node = tree.m_Node[nNode];
        nNode = (cByte & nMask) != 0 ? node.m_nRight : node.m_nLeft;
        --nBitsLeft;
        nMask = static_cast<uint8_t>(nMask << 1);
        if (tree.m_Node[nNode].m_bLeaf != 0 || nBitsLeft == 0) {
          break;
        }
      }
      if (tree.m_Node[nNode].m_bLeaf != 0) {
        out.push_back(tree.m_Node[nNode].m_cSymbol);
        nNode = -1;
      }
      if (nBitsLeft == 0) {
        nMask = 0x01;
      }
    }
  }
  if (nDecodedLength > out.size()) {
    out.resize(nDecodedLength, 0xFF);
  }
  return out;
}

// The reference decode of a whole stream held in memory (at least 1032 bytes).
inline std::vector<uint8_t> ReferenceDecode(const std::vector<uint8_t> &stream) {
  CCompression tree("", "");
  tree.ReadTable(stream.data());
  return ReferenceWalk(tree, stream.data() + COMPRESSION_HEADER_SIZE, stream.size() - COMPRESSION_HEADER_SIZE,
                       tree.m_nDecodedLength);
}
