#pragma once

#include "projection/ProjectionFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The 141-byte header of a projection of nKind (PROJECTION_GEO or PROJECTION_LINEAR): the
// first form of the kind's tag and the transform in the matrix; the other ten elements hold the
// rest of the identity matrix and every uninterpreted byte is 0.
std::vector<uint8_t> MakeProjectionHeader(int32_t nKind, const _transform &transform);

// A whole projection file in memory: the header, for geo-coded files 4 zero bytes, and the
// bitmap file compressed into the floor-plan section.
std::vector<uint8_t> MakeProjectionFile(int32_t nKind, const _transform &transform, const uint8_t *pBitmap,
                                        size_t nBitmapSize);

// Writes MakeProjectionFile to strPath through a temporary file beside it (see CReplacingFile),
// synchronised to the disk before it is renamed, so that a failure (a full disk) never leaves a
// half projection under the final name and a file that was there stays as it was. Raises
// CFileException.
void WriteProjectionFile(const std::string &strPath, int32_t nKind, const _transform &transform, const uint8_t *pBitmap,
                         size_t nBitmapSize);
