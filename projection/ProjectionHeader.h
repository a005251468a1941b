#pragma once

#include "platform/File.h"
#include "projection/ProjectionFormat.h"

#include <array>
#include <cstdint>
#include <string>

class CSiteProjection;

// Reading the 141-byte header of a projection file: its kind and its transform, which is all a
// conversion between plan pixels and coordinates needs.

// Reads the header from the start of the open projection file strPath. Raises CFileException
// naming the file when it is shorter than a header or cannot be read.
std::array<uint8_t, PROJECTION_HEADER_SIZE> ReadProjectionHeader(CFile &file, const std::string &strPath);

// The exception for the file strPath whose header's type tag names no projection; quotes the tag.
CFileException NotProjectionError(const std::string &strPath, const uint8_t *pHeader);

// Sets the six matrix fields of projection and its det = a * d - b * c.
void SetProjectionTransform(CSiteProjection &projection, const _transform &transform);

// Fills projection's kind, matrix and det from the header of the projection file strPath alone:
// the floor plan is not read and no file is written next to the projection. Raises
// CFileException naming the file when it cannot be opened, is shorter than a header or its tag
// names no projection; projection is then unchanged.
void LoadProjectionTransform(const std::string &strPath, CSiteProjection &projection);
