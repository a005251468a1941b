#pragma once

#include "link/Usb.h"

#include <cstdint>

// The window's receiver link: the connection dialog owns one, and the view reaches it through
// that dialog to open, close and command the receiver. For now it drops the packets it
// receives; they reach the view once the window's packet handling takes them.
class CBrackwell : public CUSB {
public:
  CBrackwell() = default;
  // The worker calls OnPacket until it has ended, so it is stopped before this object goes.
  ~CBrackwell() override;

protected:
  void OnPacket(const uint8_t *payload, uint32_t length) override;
};
