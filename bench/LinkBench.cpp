// The receiver link end to end: a simulated receiver streaming level messages through the device
// layer to the worker and its decoder, faster than real time; and the round trip of a command
// through the mailbox.
#include "link/Usb.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

class CCountingLink : public CUSB {
public:
  ~CCountingLink() override { StopWorker(); }

  void WaitFor(uint64_t nPackets) {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return m_nPackets >= nPackets; });
  }
  uint64_t GetPackets() {
    std::lock_guard lock(m_mutex);
    return m_nPackets;
  }

protected:
  void OnPacket(const uint8_t *, uint32_t) override {
    std::lock_guard lock(m_mutex);
    ++m_nPackets;
    m_cv.notify_all();
  }

private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
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
