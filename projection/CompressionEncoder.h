#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Compresses bytes into the stream that CCompression decodes: N, L = nSize, the byte counts as
// weights, and each byte's code (its path in the tree that CCompression builds from those
// weights) packed least significant bit first. The spare bits of the last code byte start a
// code that they cannot finish, so decoding yields exactly the input, not one byte more.
// Raises std::length_error when the input or the stream would not fit the 32-bit length fields.
std::vector<uint8_t> EncodeCompressedStream(const uint8_t *pData, size_t nSize);
