#include "app/Brackwell.h"

CBrackwell::~CBrackwell() { StopWorker(); }

void CBrackwell::OnPacket(const uint8_t *, uint32_t) {}
