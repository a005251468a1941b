#include "projection/Compression.h"

#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "platform/ReplacingFile.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

// Code bytes read per block; one code byte yields at most 8 decoded bytes.
constexpr uint32_t READ_BLOCK = 128 * 1024;
constexpr uint32_t PAD_BLOCK = 256 * 1024;
constexpr int INTERNAL_NODES = COMPRESSION_ROOT - COMPRESSION_SYMBOLS + 1;
constexpr uint8_t ROOT_STATE = COMPRESSION_ROOT - COMPRESSION_SYMBOLS;

} // namespace

CCompression::CCompression(std::string strInput, std::string strOutput)
    : m_strInput(std::move(strInput)), m_strOutput(std::move(strOutput)) {}

CCompression::~CCompression() = default;

void CCompression::BuildTree() {
  for (int i = 0; i < COMPRESSION_SLOTS; ++i) {
    m_Node[i] = CNode();
    m_bInPool[i] = 0;
  }
  for (int i = 0; i < COMPRESSION_SYMBOLS; ++i) {
    m_Node[i].m_bLeaf = 1;
    m_Node[i].m_cSymbol = static_cast<uint8_t>(i);
    m_Node[i].m_nWeight = m_nWeights[i];
    m_bInPool[i] = 1;
  }

  // The pool members in ascending index order: scanning this list visits exactly the entries
  // that a scan over all indices 0-511 would find in the pool, in the same order. A merged node
  // takes the highest index so far, so appending it keeps the order.
  std::array<int16_t, COMPRESSION_SLOTS> pool{};
  int nPool = COMPRESSION_SYMBOLS;
  for (int i = 0; i < nPool; ++i) {
    pool[static_cast<size_t>(i)] = static_cast<int16_t>(i);
  }

  int nNext = COMPRESSION_SYMBOLS;
  for (;;) {
    int nLightest = -1;
    int nSecond = -1;
    for (int k = 0; k < nPool; ++k) {
      const int i = pool[static_cast<size_t>(k)];
      if (nLightest < 0) {
        nLightest = i;
      } else if (m_nWeights[i] < m_nWeights[nLightest]) {
        nSecond = nLightest;
        nLightest = i;
      } else if (nSecond < 0 || m_nWeights[i] < m_nWeights[nSecond]) {
        nSecond = i;
      }
    }
    if (nSecond < 0) {
      break;
    }

    const uint32_t nSum = m_nWeights[nLightest] + m_nWeights[nSecond]; // wraps at 32 bits
    CNode &node = m_Node[nNext];
    node.m_nLeft = static_cast<int16_t>(std::min(nLightest, nSecond));
    node.m_nRight = static_cast<int16_t>(std::max(nLightest, nSecond));
    node.m_nWeight = nSum;
    m_nWeights[nNext] = nSum;
    m_Node[nLightest].m_nParent = static_cast<int16_t>(nNext);
    m_Node[nSecond].m_nParent = static_cast<int16_t>(nNext);
    m_bInPool[nLightest] = 0;
    m_bInPool[nSecond] = 0;
    m_bInPool[nNext] = 1;
    const auto removed =
        std::remove_if(pool.begin(), pool.begin() + nPool, [&](int16_t n) { return n == nLightest || n == nSecond; });
    *removed = static_cast<int16_t>(nNext);
    nPool -= 1;
    ++nNext;
  }
  m_nRoot = static_cast<int16_t>(nNext - 1);
}

void CCompression::BuildWalkRow(int nState) {
  // All 256 leaves always take part, so the internal nodes are exactly 256-510 and every one
  // has both children. The row is grown one bit at a time: after k bits, entry j holds the walk
  // of the k low bits of j, so bytes that share their low bits share the work of walking them.
  std::array<int16_t, 256> nodes{};
  _walkstep *pRow = &m_pWalkTable[static_cast<size_t>(nState) * 256];
  pRow[0] = _walkstep{};
  nodes[0] = static_cast<int16_t>(nState + COMPRESSION_SYMBOLS);
  for (int nBit = 0; nBit < 8; ++nBit) {
    const int nHigh = 1 << nBit;
    for (int j = nHigh - 1; j >= 0; --j) {
      const CNode &node = m_Node[nodes[j]];
      for (int nValue = 1; nValue >= 0; --nValue) {
        const int nTarget = j | (nValue << nBit);
        int16_t nChild = nValue != 0 ? node.m_nRight : node.m_nLeft;
        pRow[nTarget] = pRow[j];
        if (m_Node[nChild].m_bLeaf != 0) {
          pRow[nTarget].cSymbols[pRow[nTarget].nCount++] = m_Node[nChild].m_cSymbol;
          nChild = m_nRoot;
        }
        nodes[nTarget] = nChild;
      }
    }
  }
  for (int j = 0; j < 256; ++j) {
    pRow[j].nNext = static_cast<uint8_t>(nodes[j] - COMPRESSION_SYMBOLS);
  }
  m_bRowReady[static_cast<size_t>(nState)] = 1;
}

void CCompression::ReadTable(const uint8_t *pHeader) {
  m_nSectionLength = ReadUInt32LE(pHeader);
  m_nDecodedLength = ReadUInt32LE(pHeader + 4);
  m_nWeights.fill(0);
  for (int i = 0; i < COMPRESSION_SYMBOLS; ++i) {
    m_nWeights[i] = ReadUInt32LE(pHeader + COMPRESSION_WEIGHTS_OFFSET + 4 * i);
  }
  BuildTree();
  if (!m_pWalkTable) {
    m_pWalkTable.reset(new _walkstep[static_cast<size_t>(INTERNAL_NODES) * 256]);
  }
  m_bRowReady.fill(0);
  m_bTableRead = true;
  ResetWalk();
  m_nDecodedCount = 0;
}

void CCompression::ResetWalk() {
  m_nWalkState = ROOT_STATE;
  m_nWalkNode = -1;
  m_nWalkMask = 0x01;
}

size_t CCompression::DecodeCodeBytes(const uint8_t *pCode, size_t nCount, uint8_t *pOut) {
  if (!m_bTableRead) {
    throw std::logic_error("CCompression::DecodeCodeBytes needs the weight table first (ReadTable)");
  }
  const _walkstep *pTable = m_pWalkTable.get();
  size_t nState = m_nWalkState;
  uint8_t *p = pOut;
  for (size_t i = 0; i < nCount; ++i) {
    if (m_bRowReady[nState] == 0) {
      BuildWalkRow(static_cast<int>(nState));
    }
    const _walkstep &step = pTable[nState * 256 + pCode[i]];
    std::memcpy(p, step.cSymbols, 8); // room for 8 per code byte; only nCount of them count
    p += step.nCount;
    nState = step.nNext;
  }
  m_nWalkState = static_cast<uint8_t>(nState);
  // The root is nobody's child, so standing on it means the next code begins there.
  m_nWalkNode = nState == ROOT_STATE ? int16_t{-1} : static_cast<int16_t>(nState + COMPRESSION_SYMBOLS);
  m_nWalkMask = 0x01;
  const auto nEmitted = static_cast<size_t>(p - pOut);
  m_nDecodedCount += nEmitted;
  return nEmitted;
}

void CCompression::Decode() {
  CFile input;
  input.OpenOrThrow(m_strInput, CFile::modeRead | CFile::shareDenyWrite);
  // Made whole beside the output and renamed into place: a failure leaves the output as it was.
  // A decoded bitmap is made again at every load, so it is not synchronised to the disk.
  CReplacingFile output(m_strOutput, false);

  uint8_t header[COMPRESSION_HEADER_SIZE];
  const uint32_t nHeader = input.Read(header, COMPRESSION_HEADER_SIZE);
  if (nHeader < COMPRESSION_HEADER_SIZE) {
    throw CFileException(CFileException::endOfFile, m_strInput,
                         "\"" + m_strInput +
                             "\" is not a complete compressed floor plan: its header (section length, decoded "
                             "length and weight table) takes 1032 bytes, but the file ends after " +
                             std::to_string(nHeader) + " bytes.");
  }
  ReadTable(header);

  std::vector<uint8_t> code(READ_BLOCK);
  std::vector<uint8_t> decoded(static_cast<size_t>(READ_BLOCK) * 8);
  for (;;) {
    const uint32_t nRead = input.Read(code.data(), READ_BLOCK);
    if (nRead == 0) {
      break;
    }
    const size_t nDecoded = DecodeCodeBytes(code.data(), nRead, decoded.data());
    if (nDecoded > 0) {
      output.Write(decoded.data(), static_cast<uint32_t>(nDecoded));
    }
  }
  input.Close();

  if (m_nDecodedLength > m_nDecodedCount) {
    uint64_t nPad = m_nDecodedLength - m_nDecodedCount;
    const std::vector<uint8_t> padding(static_cast<size_t>(std::min<uint64_t>(nPad, PAD_BLOCK)), 0xFF);
    while (nPad > 0) {
      const auto nNow = static_cast<uint32_t>(std::min<uint64_t>(nPad, padding.size()));
      output.Write(padding.data(), nNow);
      nPad -= nNow;
    }
  }
  output.Commit();
}

std::vector<uint8_t> CCompression::DecodeInMemory(const uint8_t *pStream, size_t nSize, size_t nMaxOutput) {
  if (nSize < COMPRESSION_HEADER_SIZE) {
    throw std::invalid_argument("the compressed stream holds " + std::to_string(nSize) +
                                " bytes, less than its 1032-byte header");
  }
  ReadTable(pStream);

  constexpr size_t CHUNK = 4096;
  std::vector<uint8_t> result;
  std::vector<uint8_t> decoded(CHUNK * 8);
  const uint8_t *pCode = pStream + COMPRESSION_HEADER_SIZE;
  const size_t nCode = nSize - COMPRESSION_HEADER_SIZE;
  for (size_t nPos = 0; nPos < nCode && result.size() < nMaxOutput; nPos += CHUNK) {
    const size_t nDecoded = DecodeCodeBytes(pCode + nPos, std::min(CHUNK, nCode - nPos), decoded.data());
    const size_t nTake = std::min(nDecoded, nMaxOutput - result.size());
    result.insert(result.end(), decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(nTake));
  }
  if (m_nDecodedLength > m_nDecodedCount && result.size() < nMaxOutput) {
    const uint64_t nPad = std::min<uint64_t>(m_nDecodedLength - m_nDecodedCount, nMaxOutput - result.size());
    result.insert(result.end(), static_cast<size_t>(nPad), 0xFF);
  }
  return result;
}
