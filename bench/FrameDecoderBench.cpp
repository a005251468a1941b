// Decoder throughput on streams of receiver frames, in bytes per second.
#include "link/Usb.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// The decoder and the hand-off of each packet to the link's queue, taken as the owner takes them.
class CCountingLink : public CUSB {
public:
  void Feed(const std::vector<uint8_t> &bytes) {
    ProcessBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    for (const _linkitem &item : Queue().TakeAll()) {
      ++m_nPackets;
      m_nBytes += item.payload.back();
    }
  }
  uint64_t m_nPackets = 0;
  uint64_t m_nBytes = 0;
};

// Level messages of the given payload length, with a little line noise between some frames.
std::vector<uint8_t> MakeStream(size_t nBytes, uint8_t nPayload, bool bNoise) {
  std::mt19937 rng(42);
  std::vector<uint8_t> stream;
  stream.reserve(nBytes + 300);
  while (stream.size() < nBytes) {
    stream.push_back(0xAA);
    stream.push_back(nPayload);
    stream.push_back(0x00);
    stream.push_back(0x02);
    for (int i = 1; i < nPayload; ++i) {
      stream.push_back(static_cast<uint8_t>(rng()));
    }
    if (bNoise && rng() % 8 == 0) {
      stream.push_back(0x13);
      stream.push_back(0x37);
    }
  }
  return stream;
}

void Decode(benchmark::State &state, uint8_t nPayload, bool bNoise) {
  const auto stream = MakeStream(1 << 20, nPayload, bNoise);
  CCountingLink link;
  for (auto _ : state) {
    link.Feed(stream);
    benchmark::DoNotOptimize(link.m_nBytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
  state.counters["packets"] = static_cast<double>(link.m_nPackets);
}

void BM_DecodeShortLevelFrames(benchmark::State &state) { Decode(state, 10, false); }
void BM_DecodeLongLevelFrames(benchmark::State &state) { Decode(state, 250, false); }
void BM_DecodeWithLineNoise(benchmark::State &state) { Decode(state, 66, true); }

void BM_DecodeGarbage(benchmark::State &state) {
  std::mt19937 rng(7);
  std::vector<uint8_t> stream(1 << 20);
  for (auto &b : stream) {
    b = static_cast<uint8_t>(rng());
  }
  CCountingLink link;
  for (auto _ : state) {
    link.Feed(stream);
    benchmark::DoNotOptimize(link.m_nBytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}

BENCHMARK(BM_DecodeShortLevelFrames);
BENCHMARK(BM_DecodeLongLevelFrames);
BENCHMARK(BM_DecodeWithLineNoise);
BENCHMARK(BM_DecodeGarbage);

} // namespace

BENCHMARK_MAIN();
