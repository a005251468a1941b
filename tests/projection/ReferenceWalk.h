#pragma once

// The code tree and the walk over it one bit at a time, exactly as the stream format describes
// them, kept simple so that the decoder's faster ways can be checked against them.
#include "projection/Compression.h"

#include <array>
#include <cstdint>
#include <vector>

// The merges of the tree as the format states them: each time, one scan over indices 0-511 finds
// the two lightest pool entries. Returns the (left, right, weight) of nodes 256-510.
struct _referencemerge {
  int nLeft;
  int nRight;
  uint32_t nWeight;
};
inline std::vector<_referencemerge> ReferenceMerges(const std::array<uint32_t, 256> &leafWeights) {
  std::array<uint32_t, 513> w{};
  std::array<bool, 513> inPool{};
  for (int i = 0; i < 256; ++i) {
    w[i] = leafWeights[i];
    inPool[i] = true;
  }
  std::vector<_referencemerge> merges;
  for (int n = 256;; ++n) {
    int a = -1;
    int b = -1;
    for (int i = 0; i < 512; ++i) {
      if (!inPool[i]) {
        continue;
      }
      if (a < 0) {
        a = i;
      } else if (b < 0) {
        if (w[i] < w[a]) {
          b = a;
          a = i;
        } else {
          b = i;
        }
      } else if (w[i] < w[a]) {
        b = a;
        a = i;
      } else if (w[i] < w[b]) {
        b = i;
      }
    }
    if (b < 0) {
      return merges;
    }
    w[n] = w[a] + w[b];
    inPool[a] = inPool[b] = false;
    inPool[n] = true;
    merges.push_back({a < b ? a : b, a < b ? b : a, w[n]});
  }
}

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
  const auto le32 = [&](size_t nOffset) {
    return static_cast<uint32_t>(stream[nOffset] | stream[nOffset + 1] << 8 | stream[nOffset + 2] << 16 |
                                 static_cast<uint32_t>(stream[nOffset + 3]) << 24);
  };
  CCompression tree("", "");
  for (int i = 0; i < 256; ++i) {
    tree.m_nWeights[i] = le32(8 + 4 * static_cast<size_t>(i));
  }
  tree.BuildTree();
  return ReferenceWalk(tree, stream.data() + COMPRESSION_HEADER_SIZE, stream.size() - COMPRESSION_HEADER_SIZE, le32(4));
}
