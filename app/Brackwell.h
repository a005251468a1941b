#pragma once

#include "link/Usb.h"

// The window's receiver link: the connection dialog owns one, and the view reaches it through
// that dialog to open, close and command the receiver. The link hands every packet to its queue
// (CUSB::Queue); the view takes them from there.
class CBrackwell : public CUSB {
public:
  CBrackwell() = default;
};
