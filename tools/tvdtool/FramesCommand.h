#pragma once

#include <istream>
#include <ostream>

// Cuts a raw receiver byte stream into packets and prints one line per delivered packet,
// as JSON or as a readable summary. Returns the number of packets.
unsigned long DecodeFrames(std::istream &in, std::ostream &out, bool bJson);
