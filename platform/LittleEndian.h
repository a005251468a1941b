#pragma once

#include <bit>
#include <cstdint>

// Little-endian fields of the stored files, read and written byte by byte so that neither the
// host's byte order nor the alignment of the field matters.

inline uint32_t ReadUInt32LE(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline void WriteUInt32LE(uint8_t *p, uint32_t nValue) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<uint8_t>(nValue >> (8 * i));
  }
}

inline void WriteUInt16LE(uint8_t *p, uint16_t nValue) {
  p[0] = static_cast<uint8_t>(nValue);
  p[1] = static_cast<uint8_t>(nValue >> 8);
}

inline uint16_t ReadUInt16LE(const uint8_t *p) {
  return static_cast<uint16_t>(static_cast<uint16_t>(p[0]) | static_cast<uint16_t>(p[1]) << 8);
}

inline int64_t ReadInt64LE(const uint8_t *p) {
  uint64_t nBits = 0;
  for (int i = 7; i >= 0; --i) {
    nBits = nBits << 8 | p[i];
  }
  return static_cast<int64_t>(nBits);
}

inline void WriteInt64LE(uint8_t *p, int64_t nValue) {
  const auto nBits = static_cast<uint64_t>(nValue);
  for (int i = 0; i < 8; ++i) {
    p[i] = static_cast<uint8_t>(nBits >> (8 * i));
  }
}

inline double ReadDoubleLE(const uint8_t *p) { return std::bit_cast<double>(ReadInt64LE(p)); }

inline void WriteDoubleLE(uint8_t *p, double dValue) { WriteInt64LE(p, std::bit_cast<int64_t>(dValue)); }
