// golden_inputs: makes the reference inputs of tests/data that tvdtool cannot make by itself,
// always the same bytes for the same options. tests/data/regenerate runs it.
//
//   golden_inputs interrupted SIMULATE-OPTIONS --segment K --records R -o OUT
//     The survey a walk leaves when the program is killed while segment K is walked, right
//     after its R-th record reached the disk: tvdtool simulate is run in this process with a disk
//     that takes no more bytes after the right number, so the file holds what the walk had
//     written by then and nothing else (segment K's header as BEGIN wrote it, R records).
//
//   golden_inputs recording -o OUT
//     A receiver session as 'tvdtool monitor --record' saves it (OUT and OUT.arrivals), made
//     with the simulated receiver on a simulated clock: the serial number and description are
//     asked for, the unit is put in measurement mode, sends levels on both channels, and now and
//     then noise bytes and an empty frame come between the frames.
#include "platform/File.h"
#include "platform/FileFaults.h"
#include "platform/SimulatedReceiver.h"
#include "platform/StreamRecording.h"
#include "survey/SurveyReader.h"
#include "tools/tvdtool/SimulateCommand.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct _interruption {
  _simulateoptions simulate;
  int nSegment = 1;
  size_t nRecords = 1;
};

// How far a walk got: segment headers in the file, records behind the last one.
struct _progress {
  size_t nSegments = 0;
  size_t nRecords = 0;
};

_progress Progress(const std::string &strPath) {
  if (!std::filesystem::exists(strPath)) {
    return {};
  }
  const auto bytes = LoadSurveyFile(strPath, CFile::shareDenyWrite);
  const auto contents = ParseSurvey(bytes.data(), bytes.size(), false);
  if (contents.segments.empty()) {
    return {};
  }
  return {contents.segments.size(), contents.segments.back().records.size()};
}

// Runs the walk on a disk that fails every write after nBytes bytes.
_progress WalkUntilTheDiskStops(const _simulateoptions &options, int64_t nBytes) {
  std::filesystem::remove(options.strOutput);
  std::ostringstream quiet;
  CFileFaults::FailWritesAfter(nBytes);
  RunSimulate(options, quiet, quiet);
  CFileFaults::Reset();
  return Progress(options.strOutput);
}

bool Reached(const _progress &progress, const _interruption &target) {
  const auto nSegment = static_cast<size_t>(target.nSegment);
  return progress.nSegments > nSegment || (progress.nSegments == nSegment && progress.nRecords >= target.nRecords);
}

// The fewest bytes the disk must take for the walk to reach the target: the walk is then killed
// right after the write that reached it.
void MakeInterrupted(const _interruption &target) {
  int64_t nLow = 0;         // not enough
  int64_t nHigh = 64 << 20; // enough for any survey this makes
  if (!Reached(WalkUntilTheDiskStops(target.simulate, nHigh), target)) {
    throw std::runtime_error("the walk never reaches record " + std::to_string(target.nRecords) + " of segment " +
                             std::to_string(target.nSegment) + ".");
  }
  while (nHigh - nLow > 1) {
    const int64_t nMiddle = nLow + (nHigh - nLow) / 2;
    (Reached(WalkUntilTheDiskStops(target.simulate, nMiddle), target) ? nHigh : nLow) = nMiddle;
  }
  const _progress progress = WalkUntilTheDiskStops(target.simulate, nHigh);
  const auto bytes = LoadSurveyFile(target.simulate.strOutput, CFile::shareDenyWrite);
  const auto contents = ParseSurvey(bytes.data(), bytes.size(), false);
  if (progress.nSegments != static_cast<size_t>(target.nSegment) || progress.nRecords != target.nRecords ||
      contents.segments.back().header.nRecordCount == target.nRecords) {
    throw std::runtime_error("the walk cut at " + std::to_string(nHigh) +
                             " bytes does not leave a segment whose header disagrees with its records.");
  }
  std::cout << "interrupted " << target.simulate.strOutput << ": segment " << target.nSegment << " with "
            << progress.nRecords << " records, its header counts " << contents.segments.back().header.nRecordCount
            << '\n';
}

// The host's side of a recorded session on a simulated clock.
class CRecordedSession {
public:
  explicit CRecordedSession(const std::string &strPath) : m_recorder(strPath) {
    _simidentity identity;
    identity.nSeed = 7;
    m_pReceiver = std::make_shared<CSimulatedReceiver>(identity);
    m_pReceiver->SetDelivery(SimDelivery::wireSpeed);
    if (m_pReceiver->OpenPort(m_pPort) != FT_OK || m_pPort->SetDivisor(78) != FT_OK) { // 38400 baud
      throw std::runtime_error("the simulated receiver could not be opened.");
    }
  }

  void Command(uint8_t nCode) {
    const uint8_t frame[5] = {0xAA, 0x02, 0x00, nCode, nCode};
    uint32_t nWritten = 0;
    if (m_pPort->Write(frame, sizeof frame, nWritten) != FT_OK || nWritten != sizeof frame) {
      throw std::runtime_error("a command could not be sent to the simulated receiver.");
    }
  }

  // Lets time pass in steps of 5 ms, recording what arrives at each step.
  void RunUntil(uint64_t nTimeMs) {
    while (m_nTimeMs < nTimeMs) {
      m_pReceiver->Advance(5);
      m_nTimeMs += 5;
      uint32_t nRx = 0;
      uint32_t nTx = 0;
      uint32_t nEvents = 0;
      if (m_pPort->GetStatus(nRx, nTx, nEvents) != FT_OK || nRx == 0) {
        continue;
      }
      std::vector<uint8_t> bytes(nRx);
      uint32_t nRead = 0;
      if (m_pPort->Read(bytes.data(), nRx, nRead) == FT_OK && nRead > 0) {
        m_recorder.Append(bytes.data(), nRead, m_nTimeMs);
      }
    }
  }

  CSimulatedReceiver &Receiver() { return *m_pReceiver; }

  void Finish() {
    m_pPort->Close();
    m_recorder.Close();
    std::cout << "recorded " << m_recorder.GetBytesWritten() << " bytes in " << m_nTimeMs << " ms\n";
  }

private:
  CStreamRecorder m_recorder;
  std::shared_ptr<CSimulatedReceiver> m_pReceiver;
  std::unique_ptr<CD2xxDevice> m_pPort;
  uint64_t m_nTimeMs = 0;
};

void MakeRecording(const std::string &strPath) {
  CRecordedSession session(strPath);
  session.Command(0x1C); // serial number
  session.RunUntil(60);
  session.Command(0x01); // description
  session.RunUntil(150);
  session.Receiver().SetMeasurementMode(true);
  session.RunUntil(700);
  session.Receiver().SetNoise(3);
  session.Receiver().InjectBytes({0xAA, 0x00, 0x00}); // an empty frame
  session.RunUntil(1000);
  session.Receiver().SetNoise(0);
  session.Receiver().SetChannelCount(1);
  session.RunUntil(1400);
  session.Finish();
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"Makes the reference inputs of tests/data."};
  app.require_subcommand(1);

  auto *interrupted = app.add_subcommand("interrupted", "A survey whose walk was killed after a record.");
  _interruption target;
  interrupted->add_option("--projection", target.simulate.strProjection)->required();
  interrupted->add_option("--route", target.simulate.strRoute)->required();
  interrupted->add_option("--seconds-per-segment", target.simulate.dSecondsPerSegment);
  interrupted->add_option("--channels", target.simulate.nChannels);
  interrupted->add_option("--start-time", target.simulate.nStartTime)->required();
  interrupted->add_option("--segment", target.nSegment)->required()->check(CLI::Range(1, 500));
  interrupted->add_option("--records", target.nRecords)->required()->check(CLI::PositiveNumber);
  interrupted->add_option("-o", target.simulate.strOutput)->required();
  interrupted->callback([&target] { MakeInterrupted(target); });

  auto *recording = app.add_subcommand("recording", "A recorded receiver session.");
  std::string strRecording;
  recording->add_option("-o", strRecording)->required();
  recording->callback([&strRecording] { MakeRecording(strRecording); });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    return app.exit(e);
  } catch (const std::exception &e) {
    std::cerr << "golden_inputs: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
