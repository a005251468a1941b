#pragma once

#include "platform/D2xxBackend.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The backends the device layer answers from, in the order they were enabled. The listing
// covers every enabled backend in that order. At start the kernel's serial ports ("tty") are
// enabled; a program enables the simulated receiver or a recorded session as it needs them.
//
// Enabling or disabling a backend leaves handles that are already open working.

// Enables a backend; one already enabled under the same name is replaced in its place.
void D2xxEnableBackend(std::shared_ptr<CD2xxBackend> pBackend);
void D2xxDisableBackend(const std::string &strName);
void D2xxDisableAllBackends();
std::vector<std::string> D2xxEnabledBackends();

// A function that sees every byte FT_Read returns, on the reading thread, before the caller
// does. Used to record a session. An empty function removes the tap.
using D2xxReadTap = std::function<void(const uint8_t *pData, uint32_t nCount)>;
void D2xxSetReadTap(D2xxReadTap tap);
