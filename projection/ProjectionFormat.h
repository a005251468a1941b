#pragma once

#include <cstdint>
#include <string>

class CFile;

// Layout of a projection file (little-endian):
//   offset 0    4 bytes    not interpreted
//   offset 4    4 bytes    type tag
//   offset 8    5 bytes    not interpreted
//   offset 13   128 bytes  4 x 4 matrix of doubles, row-major; six elements are used
//   offset 141  4 bytes    geo-coded files only: not interpreted
//   offset 141 (linear) or 145 (geo-coded): the compressed floor-plan section, N bytes

constexpr int32_t PROJECTION_NONE = 0;
constexpr int32_t PROJECTION_GEO = 1;
constexpr int32_t PROJECTION_LINEAR = 2;

constexpr uint32_t PROJECTION_HEADER_SIZE = 141;
constexpr uint32_t PROJECTION_TAG_OFFSET = 4;
constexpr uint32_t PROJECTION_MATRIX_OFFSET = 13;
constexpr uint32_t PROJECTION_GEO_EXTRA = 4;

// The tags, read as uint32 little-endian. Each kind has two forms, the second being the first
// with its bytes reversed: "GPF " / " FPG" and "LPF " / " FPL".
constexpr uint32_t PROJECTION_TAG_GEO = 0x20465047;
constexpr uint32_t PROJECTION_TAG_GEO_REVERSED = 0x47504620;
constexpr uint32_t PROJECTION_TAG_LINEAR = 0x2046504C;
constexpr uint32_t PROJECTION_TAG_LINEAR_REVERSED = 0x4C504620;

// The six used matrix elements. Geo-coded: pixel x = a * latitude + b * longitude + e,
// pixel y = c * latitude + d * longitude + f. Linear: X = (px - e) * d, Y = (py - f) * a.
struct _transform {
  double dA = 0;
  double dB = 0;
  double dC = 0;
  double dD = 0;
  double dE = 0;
  double dF = 0;
};

// File offset of matrix element (row, column).
constexpr uint32_t ProjectionMatrixOffset(int nRow, int nColumn) {
  return PROJECTION_MATRIX_OFFSET + 8 * static_cast<uint32_t>(4 * nRow + nColumn);
}

// PROJECTION_GEO, PROJECTION_LINEAR, or PROJECTION_NONE for any other tag.
int32_t ProjectionKindFromTag(uint32_t nTag);
// The tag of a 141-byte header.
uint32_t ProjectionTag(const uint8_t *pHeader);
// The six used elements of a 141-byte header.
_transform ReadProjectionTransform(const uint8_t *pHeader);
// Where the compressed section of a file of this kind begins: 145 for geo-coded, 141 for linear.
uint32_t ProjectionSectionOffset(int32_t nKind);
// "geo-coded", "linear" or "none".
std::string ProjectionKindName(int32_t nKind);

// Checks the section length N found at nOffset of the projection file strPath, nFileLength bytes
// long: N counts its own 1032-byte header, and the section must end within the file. Raises
// CFileException naming the file, the offset and the numbers otherwise.
void CheckProjectionSection(const std::string &strPath, uint64_t nFileLength, uint32_t nOffset, uint32_t nLength);

// Reads the length of the floor-plan section at nOffset of the projection file strPath (open as
// file, nFileLength bytes long) and checks it with CheckProjectionSection; a file cut short before
// it raises CFileException. The file is left at nOffset, the section's start.
uint32_t ReadProjectionSectionLength(CFile &file, const std::string &strPath, uint64_t nFileLength, uint32_t nOffset);

// Code bytes to decode for the start of a section: enough for the 54-byte bitmap headers even at
// the longest possible codes.
constexpr uint32_t PROJECTION_HEADER_CODE_BYTES = 2048;

// Checks the decoded length L that the section at nOffset of the projection file strPath declares,
// before anything is decoded or written: no code byte yields more than 8 bytes, so L may be at most
// 8 times the section's code bytes; and when the section decodes to a bitmap file whose header
// gives its length, L must be that length. pStart holds the first nStart bytes of the section (its
// 1032-byte header and up to PROJECTION_HEADER_CODE_BYTES code bytes), nSection is its whole
// length. Raises CFileException (invalidFile) naming the file, the offset and the numbers.
void CheckDecodedLength(const std::string &strPath, uint32_t nOffset, const uint8_t *pStart, size_t nStart,
                        uint32_t nSection);
