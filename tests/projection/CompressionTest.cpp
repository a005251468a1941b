#include "projection/Compression.h"

#include "platform/FileException.h"
#include "platform/FileFaults.h"
#include "tests/projection/ReferenceWalk.h"
#include "tests/projection/StreamSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

uint8_t Reversed(uint8_t c) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if ((c >> i) & 1) {
      r = static_cast<uint8_t>(r | (0x80 >> i));
    }
  }
  return r;
}

Bytes Decoded(const Bytes &stream) {
  CCompression decoder("", "");
  return decoder.DecodeInMemory(stream.data(), stream.size());
}

int Depth(const CCompression &tree, int nNode) {
  int nDepth = 0;
  for (; nNode != tree.m_nRoot; nNode = tree.m_Node[nNode].m_nParent) {
    ++nDepth;
  }
  return nDepth;
}

// The three-symbol tree: 0x61, 0x62, 0x63 weigh 1, 2, 3 and everything else 0.
const std::map<int, uint32_t> ABC = {{0x61, 1}, {0x62, 2}, {0x63, 3}};

TEST(CompressionTree, AllZeroWeightsPairNeighboursIntoEightBitCodes) {
  CCompression tree("", "");
  tree.BuildTree();
  for (int k = 0; k < 128; ++k) {
    EXPECT_EQ(tree.m_Node[256 + k].m_nLeft, 2 * k);
    EXPECT_EQ(tree.m_Node[256 + k].m_nRight, 2 * k + 1);
  }
  EXPECT_EQ(tree.m_Node[384].m_nLeft, 256);
  EXPECT_EQ(tree.m_Node[384].m_nRight, 257);
  EXPECT_EQ(tree.m_nRoot, 510);
  EXPECT_EQ(tree.m_Node[510].m_nParent, -1);
  EXPECT_EQ(tree.m_bInPool[510], 1);
  EXPECT_EQ(tree.m_Node[511].m_nLeft, -1);
  for (int s = 0; s < 256; ++s) {
    EXPECT_EQ(tree.m_Node[s].m_bLeaf, 1);
    EXPECT_EQ(tree.m_Node[s].m_cSymbol, s);
    EXPECT_EQ(Depth(tree, s), 8);
  }

  // Symbol s is coded as the byte with the bit order of s reversed.
  Bytes code;
  for (int s = 0; s < 256; ++s) {
    code.push_back(Reversed(static_cast<uint8_t>(s)));
  }
  const Bytes out = Decoded(MakeStream({}, 0, code));
  ASSERT_EQ(out.size(), 256U);
  for (int s = 0; s < 256; ++s) {
    EXPECT_EQ(out[s], s);
  }
  EXPECT_EQ(Decoded(MakeStream({}, 4, {0x80, 0x01})), (Bytes{0x01, 0x80, 0xFF, 0xFF}));
}

TEST(CompressionTree, ChildrenGoByIndexAndTiesToTheLowerIndex) {
  CCompression tree("", "");
  for (const auto &[s, w] : ABC) {
    tree.m_nWeights[s] = w;
  }
  tree.BuildTree();
  const CNode &root = tree.m_Node[tree.m_nRoot];
  // 0x63 (3) and the node holding 0x62 (3) tie; 0x63 has the lower index and goes left.
  EXPECT_EQ(root.m_nLeft, 0x63);
  const CNode &right = tree.m_Node[root.m_nRight];
  EXPECT_EQ(right.m_nLeft, 0x62);
  const CNode &deeper = tree.m_Node[right.m_nRight];
  // 0x61 (1) merged with the zero-weight subtree: the leaf has the lower index and goes left
  // although it is the heavier one.
  EXPECT_EQ(deeper.m_nLeft, 0x61);
  EXPECT_EQ(tree.m_nWeights[deeper.m_nRight], 0U);
  EXPECT_EQ(tree.m_nWeights[tree.m_nRoot], 6U);
  EXPECT_EQ(tree.m_Node[tree.m_nRoot].m_nWeight, 6U);

  // 0x63 = 0, 0x62 = 1 0, 0x61 = 1 1 0; 0x0b is 61 62 63 and its two spare bits complete two
  // more 63s, which are kept although L is 3.
  EXPECT_EQ(Decoded(MakeStream(ABC, 3, {0x0b})), (Bytes{0x61, 0x62, 0x63, 0x63, 0x63}));
}

TEST(CompressionTree, WeightsAddWithThirtyTwoBitWrapAround) {
  // 0x61 and 0x62 end up merged into a node weighing 2^32, which wraps to 0 and so is merged
  // next with 0x63 instead of last.
  const std::map<int, uint32_t> weights = {
      {0x61, 0x80000000U}, {0x62, 0x80000000U}, {0x63, 0x90000000U}, {0x64, 0x90000000U}};
  CCompression tree("", "");
  for (const auto &[s, w] : weights) {
    tree.m_nWeights[s] = w;
  }
  tree.BuildTree();
  EXPECT_EQ(tree.m_nWeights[tree.m_nRoot], 0x20000000U);
  const int nWrapped = tree.m_Node[0x62].m_nParent;
  EXPECT_EQ(tree.m_nWeights[nWrapped], 0U);
  EXPECT_EQ(tree.m_Node[tree.m_Node[nWrapped].m_nParent].m_nLeft, 0x63);

  // Codes: 0x64 = 0, 0x63 = 1 0, 0x62 = 1 1 0, 0x61 = 1 1 1 0; the spare bits run into the
  // zero-weight subtree without finishing a code.
  EXPECT_EQ(Decoded(MakeStream(weights, 4, {0xDA, 0xFD})), (Bytes{0x64, 0x63, 0x62, 0x61}));
}

TEST(CompressionTree, MergesFollowTheFullIndexScan) {
  std::mt19937 rng(17);
  for (int nRound = 0; nRound < 200; ++nRound) {
    std::array<uint32_t, 256> weights{};
    for (auto &w : weights) {
      switch (nRound % 4) {
      case 0: // many ties
        w = rng() % 3;
        break;
      case 1: // sums wrap
        w = 0xF0000000U + rng() % 0x10000000U;
        break;
      case 2:
        w = static_cast<uint32_t>(rng());
        break;
      default:
        w = rng() % 8 == 0 ? rng() % 100 : 0;
      }
    }
    CCompression tree("", "");
    std::copy(weights.begin(), weights.end(), tree.m_nWeights.begin());
    tree.BuildTree();
    const auto merges = ReferenceMerges(weights);
    ASSERT_EQ(merges.size(), 255U);
    for (int k = 0; k < 255; ++k) {
      const CNode &node = tree.m_Node[256 + k];
      ASSERT_EQ(node.m_nLeft, merges[k].nLeft) << "round " << nRound << " node " << 256 + k;
      ASSERT_EQ(node.m_nRight, merges[k].nRight) << "round " << nRound << " node " << 256 + k;
      ASSERT_EQ(tree.m_nWeights[256 + k], merges[k].nWeight);
      ASSERT_EQ(tree.m_Node[node.m_nLeft].m_nParent, 256 + k);
      ASSERT_EQ(tree.m_Node[node.m_nRight].m_nParent, 256 + k);
    }
    ASSERT_EQ(tree.m_nRoot, 510);
    for (int i = 0; i < 510; ++i) {
      ASSERT_EQ(tree.m_bInPool[i], 0);
    }
  }
}

TEST(CompressionDecode, LengthPaddingAndSpareBits) {
  // A stream that ends right after the weight table: L bytes of 0xFF.
  EXPECT_EQ(Decoded(MakeStream(ABC, 5, {})), Bytes(5, 0xFF));
  EXPECT_TRUE(Decoded(MakeStream(ABC, 0, {})).empty());
  // L = 0 or below the decoded count: nothing is cut and nothing added.
  EXPECT_EQ(Decoded(MakeStream(ABC, 0, {0x00})), Bytes(8, 0x63));
  EXPECT_EQ(Decoded(MakeStream(ABC, 7, {0x00})), Bytes(8, 0x63));
  // A code cut off by the end of the stream is dropped; then the padding.
  EXPECT_EQ(Decoded(MakeStream(ABC, 10, {0x80})), (Bytes{0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0xFF, 0xFF, 0xFF}));
}

TEST(CompressionDecode, CodesRunAcrossBytesAndCalls) {
  // 0x61 = 1 1 0 split over two bytes: bits 6-7 of the first, bit 0 of the second.
  EXPECT_EQ(Decoded(MakeStream(ABC, 0, {0xC0, 0x00})),
            (Bytes{0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x61, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63, 0x63}));

  CCompression decoder("", "");
  const Bytes stream = MakeStream(ABC, 0, {});
  decoder.ReadTable(stream.data());
  Bytes out(16);
  const uint8_t first = 0xC0;
  EXPECT_EQ(decoder.DecodeCodeBytes(&first, 1, out.data()), 6U);
  EXPECT_NE(decoder.m_nWalkNode, -1); // inside the code of 0x61
  EXPECT_EQ(decoder.m_nWalkMask, 0x01);
  const uint8_t second = 0xFE;
  ASSERT_EQ(decoder.DecodeCodeBytes(&second, 1, out.data()), 1U);
  EXPECT_EQ(out[0], 0x61);
  EXPECT_NE(decoder.m_nWalkNode, -1);
  decoder.ResetWalk();
  EXPECT_EQ(decoder.m_nWalkNode, -1);
  const uint8_t zero = 0x00;
  EXPECT_EQ(decoder.DecodeCodeBytes(&zero, 1, out.data()), 8U);
  EXPECT_EQ(decoder.m_nDecodedCount, 15U);
}

// Weight tables of several shapes: full 32-bit range (merges wrap), small counts, a few symbols
// only, and Fibonacci weights that make codes of dozens of bits.
std::array<uint32_t, 256> RandomWeights(std::mt19937 &rng, int nShape) {
  std::array<uint32_t, 256> w{};
  switch (nShape % 4) {
  case 0:
    for (auto &x : w) {
      x = static_cast<uint32_t>(rng());
    }
    break;
  case 1:
    for (auto &x : w) {
      x = rng() % 50;
    }
    break;
  case 2:
    for (int i = 0; i < 5; ++i) {
      w[rng() % 256] = rng() % 1000 + 1;
    }
    break;
  default: {
    uint32_t a = 1;
    uint32_t b = 1;
    for (int i = 0; i < 45; ++i) {
      w[rng() % 256] = a;
      const uint32_t c = a + b;
      a = b;
      b = c;
    }
  }
  }
  return w;
}

TEST(CompressionDecode, TableWalkMatchesTheOneBitWalk) {
  std::mt19937 rng(7);
  int nLongestCode = 0;
  for (int nRound = 0; nRound < 160; ++nRound) {
    const auto weights = RandomWeights(rng, nRound);
    std::map<int, uint32_t> table;
    for (int i = 0; i < 256; ++i) {
      table[i] = weights[i];
    }
    Bytes code(rng() % 400);
    for (auto &c : code) {
      c = static_cast<uint8_t>(rng());
    }
    const Bytes stream = MakeStream(table, rng() % 4000, code);

    CCompression decoder("", "");
    const Bytes out = decoder.DecodeInMemory(stream.data(), stream.size());
    ASSERT_EQ(out, ReferenceDecode(stream)) << "round " << nRound;
    for (int s = 0; s < 256; ++s) {
      nLongestCode = std::max(nLongestCode, Depth(decoder, s));
    }

    // The same bytes fed in pieces of random size give the same symbols.
    decoder.ReadTable(stream.data());
    Bytes pieces;
    for (size_t nPos = 0; nPos < code.size();) {
      const size_t n = std::min<size_t>(rng() % 7 + 1, code.size() - nPos);
      Bytes buffer(8 * n);
      buffer.resize(decoder.DecodeCodeBytes(code.data() + nPos, n, buffer.data()));
      pieces.insert(pieces.end(), buffer.begin(), buffer.end());
      nPos += n;
    }
    const Bytes unpadded = ReferenceWalk(decoder, code.data(), code.size(), 0);
    ASSERT_EQ(pieces, unpadded) << "round " << nRound;
  }
  EXPECT_GT(nLongestCode, 24); // the rounds did exercise codes spanning several bytes
}

TEST(CompressionDecode, OutputLimitAndShortStreams) {
  CCompression decoder("", "");
  const Bytes stream = MakeStream(ABC, 100, {0x00, 0x00});
  EXPECT_EQ(decoder.DecodeInMemory(stream.data(), stream.size(), 10), Bytes(10, 0x63));
  const Bytes full = decoder.DecodeInMemory(stream.data(), stream.size(), 20);
  EXPECT_EQ(full.size(), 20U);
  EXPECT_EQ(full[16], 0xFF);
  EXPECT_THROW(decoder.DecodeInMemory(stream.data(), COMPRESSION_HEADER_SIZE - 1), std::invalid_argument);
}

class CompressionFileTest : public TempDirTest {
protected:
  void TearDown() override {
    CFileFaults::Reset();
    TempDirTest::TearDown();
  }
  Bytes DecodeFile(const Bytes &stream) {
    WriteAll(Path("plan.gpfc"), stream);
    CCompression decoder(Path("plan.gpfc"), Path("plan.gpfb"));
    decoder.Decode();
    return ReadAll(Path("plan.gpfb"));
  }
};

TEST_F(CompressionFileTest, DecodesStreamFilesLikeTheOneBitWalk) {
  EXPECT_EQ(DecodeFile(MakeStream(ABC, 3, {0x0b})), (Bytes{0x61, 0x62, 0x63, 0x63, 0x63}));
  EXPECT_EQ(DecodeFile(MakeStream({}, 4, {0x80, 0x01})), (Bytes{0x01, 0x80, 0xFF, 0xFF}));
  EXPECT_EQ(DecodeFile(MakeStream(ABC, 70000, {})), Bytes(70000, 0xFF));
  EXPECT_TRUE(DecodeFile(MakeStream(ABC, 0, {})).empty());

  // Exactly 25000 decoded bytes (one byte per code byte under the all-zero tree), and sizes
  // around the decoder's own read blocks with long codes straddling them.
  Bytes code(25000);
  std::mt19937 rng(3);
  for (auto &c : code) {
    c = static_cast<uint8_t>(rng());
  }
  const Bytes stream = MakeStream({}, 25000, code);
  const Bytes out = DecodeFile(stream);
  EXPECT_EQ(out.size(), 25000U);
  EXPECT_EQ(out, ReferenceDecode(stream));

  for (const size_t nSize : {size_t{128 * 1024 - 1}, size_t{128 * 1024}, size_t{300001}}) {
    std::map<int, uint32_t> fibonacci;
    uint32_t a = 1;
    uint32_t b = 2;
    for (int i = 0; i < 40; ++i) {
      fibonacci[(i * 37) % 256] = a;
      const uint32_t c = a + b;
      a = b;
      b = c;
    }
    Bytes bytes(nSize);
    for (auto &c : bytes) {
      c = static_cast<uint8_t>(rng());
    }
    const Bytes big = MakeStream(fibonacci, 5, bytes);
    EXPECT_EQ(DecodeFile(big), ReferenceDecode(big)) << nSize;
  }
}

TEST_F(CompressionFileTest, EachDecodeBeginsAtTheRoot) {
  // The first stream ends in the middle of a code; the next decode must not continue it.
  const Bytes firstStream = MakeStream(ABC, 0, {0x80});
  const Bytes secondStream = MakeStream(ABC, 3, {0x0b});
  WriteAll(Path("a.gpfc"), firstStream);
  WriteAll(Path("b.gpfc"), secondStream);

  CCompression decoder(Path("a.gpfc"), Path("a.gpfb"));
  decoder.Decode();
  EXPECT_NE(decoder.m_nWalkNode, -1);
  EXPECT_EQ(ReadAll(Path("a.gpfb")), Bytes(7, 0x63));

  decoder.m_strInput = Path("b.gpfc");
  decoder.m_strOutput = Path("b.gpfb");
  decoder.Decode();
  EXPECT_EQ(ReadAll(Path("b.gpfb")), (Bytes{0x61, 0x62, 0x63, 0x63, 0x63}));
  EXPECT_EQ(decoder.m_nDecodedCount, 5U);

  CCompression another(Path("b.gpfc"), Path("c.gpfb"));
  another.Decode();
  EXPECT_EQ(ReadAll(Path("c.gpfb")), ReadAll(Path("b.gpfb")));
}

TEST_F(CompressionFileTest, FailuresNameTheFile) {
  CCompression missing(Path("absent.gpfc"), Path("absent.gpfb"));
  try {
    missing.Decode();
    FAIL() << "a missing stream file decoded";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_NE(std::string(e.what()).find(Path("absent.gpfc")), std::string::npos);
  }

  // A stream whose weight table is cut short.
  Bytes cut = MakeStream(ABC, 3, {});
  cut.resize(700);
  WriteAll(Path("cut.gpfc"), cut);
  CCompression shortStream(Path("cut.gpfc"), Path("cut.gpfb"));
  try {
    shortStream.Decode();
    FAIL() << "a stream without its weight table decoded";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::endOfFile);
    EXPECT_NE(std::string(e.what()).find(Path("cut.gpfc")), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("700"), std::string::npos);
  }

  WriteAll(Path("ok.gpfc"), MakeStream(ABC, 3, {0x0b}));
  CCompression noFolder(Path("ok.gpfc"), Path("no-such-folder/ok.gpfb"));
  EXPECT_THROW(noFolder.Decode(), CFileException);

  // The disk fills while the padding is written.
  WriteAll(Path("pad.gpfc"), MakeStream(ABC, 100000, {}));
  CFileFaults::FailWritesAfter(50000);
  CCompression full(Path("pad.gpfc"), Path("pad.gpfb"));
  try {
    full.Decode();
    FAIL() << "a full disk went unnoticed";
  } catch (const CFileException &e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
    EXPECT_NE(std::string(e.what()).find(Path("pad.gpfb")), std::string::npos);
  }
  // Nothing of the failed output is left, and an output that was there stays as it was.
  EXPECT_FALSE(std::filesystem::exists(Path("pad.gpfb")));
  EXPECT_FALSE(std::filesystem::exists(Path("pad.gpfb.partial")));
  CFileFaults::Reset();
  WriteAll(Path("pad.gpfb"), Bytes{1, 2, 3});
  CFileFaults::FailWritesAfter(50000);
  EXPECT_THROW(full.Decode(), CFileException);
  EXPECT_EQ(ReadAll(Path("pad.gpfb")), (Bytes{1, 2, 3}));
}

} // namespace
