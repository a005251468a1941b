// The receiver link end to end: a simulated receiver streaming level messages through the device
// layer to the worker and its decoder, faster than real time; and the round trip of a command
// through the mailbox.
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

// Counts the packets the owner's thread takes from the link's queue.
class CCountingLink : public CUSB {
public:
  void WaitFor(uint64_t nPackets) {
    while (m_nPackets < nPackets) {
      Queue().WaitForItem(std::chrono::steady_clock::now() + std::chrono::hours(1));
      m_nPackets += Queue().TakeAll().size();
    }
  }

private:
  uint64_t m_nPackets = 0;
};

struct _bench {
  std::shared_ptr<CSimulatedReceiver> pSim = std::make_shared<CSimulatedReceiver>();
  CCountingLink link;

  _bench() {
    D2xxDisableAllBackends();
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(pSim));
    link.StartWorker();
    link.Open("TVX10417", 38400);
  }
  ~_bench() {
    link.StopWorker();
    D2xxDisableAllBackends();
  }
};

// Each iteration is one simulated second of two channels at nRate levels a second, 8 levels a
// message; the time counted is the real time until the link has decoded every message.
void BM_LevelStream(benchmark::State &state) {
  _bench bench;
  _simpanel panel;
  panel.bMeasurementMode = true;
  panel.nSampleRate = static_cast<uint32_t>(state.range(0));
  bench.pSim->SetPanel(panel);
  bench.link.WaitFor(1);
  uint64_t nLevels = 0;
  for (auto _ : state) {
    const uint64_t nSent = bench.pSim->LevelsSent(1) + bench.pSim->LevelsSent(2);
    bench.pSim->Advance(1000);
    const uint64_t nNow = bench.pSim->LevelsSent(1) + bench.pSim->LevelsSent(2);
    bench.link.WaitFor(1 + nNow / 8);
    nLevels += nNow - nSent;
  }
  state.counters["levels/s"] = benchmark::Counter(static_cast<double>(nLevels), benchmark::Counter::kIsRate);
  state.counters["simulated s/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LevelStream)->Arg(40)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A command through the mailbox to the worker and the unit, and the result back.
void BM_CommandRoundTrip(benchmark::State &state) {
  _bench bench;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bench.link.SendCommandByte(0x77));
  }
}
BENCHMARK(BM_CommandRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
