// What a walk keeps comes back whole and in order, however its messages fall across the blocks.
#include "coverage/ChunkedList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(ChunkedList, GivesBackEveryItemInOrderAcrossBlocks) {
  constexpr size_t BLOCK = CChunkedList<int8_t>::BLOCK_ITEMS;
  struct _case {
    const char *pszWhat;
    std::vector<size_t> appends; // the sizes of the appends, one after another
  };
  const std::vector<_case> cases = {
      {"nothing", {}},
      {"one message", {8}},
      {"a block exactly", {BLOCK}},
      {"one past a block", {BLOCK - 3, 4}},
      {"a message longer than two blocks", {5, 2 * BLOCK + 7}},
      {"many messages of 63", std::vector<size_t>(3 * BLOCK / 63 + 2, 63)},
  };
  for (const _case &c : cases) {
    SCOPED_TRACE(c.pszWhat);
    CChunkedList<int8_t> list;
    std::vector<int8_t> expected;
    for (const size_t nCount : c.appends) {
      std::vector<int8_t> message(nCount);
      for (int8_t &level : message) {
        level = static_cast<int8_t>(-(static_cast<int>(expected.size() % 120)));
        expected.push_back(level);
      }
      list.Append(message.data(), message.size());
    }
    std::vector<int16_t> copied;
    list.AppendTo(copied);
    std::vector<int8_t> visited;
    list.ForEach([&](int8_t level) { visited.push_back(level); });
    EXPECT_EQ(visited, expected);
    ASSERT_EQ(copied.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(copied[i], expected[i]) << "item " << i;
    }
  }
}
