#include "link/ReceiverConversions.h"

#include <cmath>
#include <cstdio>

float EdgeFrequencyMHz(uint32_t nChannel, const _receiverinfo &receiver) {
  const long double product = static_cast<long double>(nChannel) * static_cast<long double>(receiver.fStepKHz);
  return static_cast<float>(product / 1000.0L);
}

std::string FormatMHz(float fMHz) {
  char text[64];
  std::snprintf(text, sizeof text, "%4.4f MHz", static_cast<double>(fMHz));
  return text;
}

std::string FormatStepKHz(const _receiverinfo &receiver) {
  char text[64];
  std::snprintf(text, sizeof text, "%4.4f KHz", static_cast<double>(receiver.fStepKHz));
  return text;
}

std::string FormatInstalled(bool bInstalled) { return bInstalled ? "Installed" : "Not Installed"; }

bool IsChannelValid(uint32_t nChannel, const _receiverinfo &receiver) {
  return receiver.nMinChannel <= nChannel && nChannel <= receiver.nMaxChannel;
}

uint32_t FrequencyCodeFloat(uint32_t nChannel, const _receiverinfo &receiver) {
  const float fCode = static_cast<float>(static_cast<double>(nChannel) * static_cast<double>(receiver.fStepKHz) / 50.0);
  // The largest channel at the largest step gives about 2.2e10, beyond 32 bits: the code wraps
  // as the integer formula's does instead of overflowing the conversion.
  const auto nWhole = static_cast<int64_t>(std::trunc(static_cast<double>(fCode)));
  return static_cast<uint32_t>(nWhole);
}

uint32_t FrequencyCodeInteger(uint32_t nChannel, const _receiverinfo &receiver) {
  const uint32_t nWholeKHz = receiver.nStepRaw >> 8;
  return (nChannel * nWholeKHz) / 50;
}

double FrequencyCodeToMHz(uint32_t nCode) { return static_cast<double>(nCode) * 50.0 / 1000.0; }
