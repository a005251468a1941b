#pragma once

#include "link/ReceiverMessages.h"

#include <cstdint>
#include <string>

// Conversions from the receiver's channel numbers to the frequencies that are shown and
// stored. Channel numbers are unsigned 32-bit throughout.

// Frequency in MHz of a channel edge: channel x step kHz / 1000, rounded to float.
float EdgeFrequencyMHz(uint32_t nChannel, const _receiverinfo &receiver);

// "%4.4f MHz" of a frequency in MHz.
std::string FormatMHz(float fMHz);
// "%4.4f KHz" of the receiver's step.
std::string FormatStepKHz(const _receiverinfo &receiver);
// "Installed" or "Not Installed".
std::string FormatInstalled(bool bInstalled);

// True when nMinChannel <= nChannel <= nMaxChannel.
bool IsChannelValid(uint32_t nChannel, const _receiverinfo &receiver);

// Frequency code in units of 50 kHz, used when both reported channels are valid:
// channel x step kHz / 50, rounded to float and truncated toward zero.
uint32_t FrequencyCodeFloat(uint32_t nChannel, const _receiverinfo &receiver);
// Frequency code used when only channel 1 is valid: channel x whole kHz of the step
// (the high byte of nStepRaw), wrapping at 32 bits, / 50.
uint32_t FrequencyCodeInteger(uint32_t nChannel, const _receiverinfo &receiver);

// A frequency code in MHz: code x 50 / 1000.
double FrequencyCodeToMHz(uint32_t nCode);
