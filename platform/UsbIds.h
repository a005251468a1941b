#pragma once

#include <cstdint>

// USB vendor and product numbers that the receiver maker's units report through their serial
// bridge. The device listing names units by them; the simulated receiver and recorded sessions
// report them too.
constexpr uint16_t USB_VENDOR_VEXLOR = 0x2B7E;
constexpr uint16_t USB_PRODUCT_TARVEX = 0x0200;
constexpr uint16_t USB_PRODUCT_TARVEX_2 = 0x0201;
constexpr uint16_t USB_PRODUCT_MORVANE = 0x0300;
constexpr uint16_t USB_PRODUCT_SKELDRUP = 0x0500;
