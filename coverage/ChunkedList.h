#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// A list that only grows at its end, kept in blocks of BLOCK_BYTES that are never moved or
// copied. What a long walk keeps (a byte or two a level, hours of levels) takes no spare room
// beyond the last block, needs no second copy while it grows, and, being freed in whole blocks of
// many pages, goes back to the system once freed (see GiveBackFreedMemory in the window), where
// thousands of small blocks would leave holes between everything allocated meanwhile.
template <class T> class CChunkedList {
public:
  static constexpr size_t BLOCK_BYTES = 64 * 1024;
  static constexpr size_t BLOCK_ITEMS = BLOCK_BYTES / sizeof(T);

  void Append(const T *pItems, size_t nCount) {
    while (nCount > 0) {
      if (m_blocks.empty() || m_blocks.back().size() == BLOCK_ITEMS) {
        m_blocks.emplace_back().reserve(BLOCK_ITEMS);
      }
      std::vector<T> &block = m_blocks.back();
      const size_t nTaken = std::min(nCount, BLOCK_ITEMS - block.size());
      block.insert(block.end(), pItems, pItems + nTaken);
      pItems += nTaken;
      nCount -= nTaken;
    }
  }
  void Append(const T &item) { Append(&item, 1); }
  // Calls fnEach with each item in order.
  template <class Each> void ForEach(Each fnEach) const {
    for (const std::vector<T> &block : m_blocks) {
      for (const T &item : block) {
        fnEach(item);
      }
    }
  }
  // Copies every item in order to the end of out.
  template <class Out> void AppendTo(Out &out) const {
    for (const std::vector<T> &block : m_blocks) {
      out.insert(out.end(), block.begin(), block.end());
    }
  }

private:
  std::vector<std::vector<T>> m_blocks;
};
