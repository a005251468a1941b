#pragma once

#include "projection/Calibration.h"
#include "projection/ProjectionFormat.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What `tvdtool projection make` is asked for: the picture, the output (.gpf geo-coded or .lpf
// linear), and the transform given either as the six numbers or by a calibration.
struct _makerequest {
  std::string strImage;
  std::string strOutput;
  std::optional<_transform> matrix;
  std::optional<double> dScale; // linear: plan pixels per unit
  double dOriginX = 0;          // linear: the plan pixel where X and Y are 0
  double dOriginY = 0;
  std::vector<_referencepoint> refs; // geo-coded: three plan pixels with their latitude and longitude
};

// Exit codes of the projection commands: done, or refused with nothing written (an output that is
// one of the inputs or their side files, a transform that cannot be inverted). A file that
// cannot be read, is no projection or is damaged raises instead (exit 1).
constexpr int PROJECTION_EXIT_DONE = 0;
constexpr int PROJECTION_EXIT_REFUSED = 2;

// Builds the projection file: reads the picture, turns it into a 24-bit bitmap file, solves the
// transform and writes the file, whole or not at all. Prints one line about what was written.
// Raises on every failure: std::invalid_argument for a request that does not add up (a transform
// that cannot be inverted, an output that is the picture), std::runtime_error naming the picture
// and the reason when it cannot be read.
void MakeProjection(const _makerequest &request, std::ostream &out);

// Prints what a projection file holds: kind, the six numbers, det, the section's length, the
// decoded length and the bitmap's size; read from the file alone, no side files are written.
void PrintProjectionInfo(const std::string &strPath, bool bJson, std::ostream &out);

// Loads the projection as the collector does (side files path + "c" and path + "b" written) and
// copies the decoded bitmap file to strOutput, whole or not at all. Returns
// PROJECTION_EXIT_REFUSED, with the reason on err and nothing written, when strOutput is the
// projection or one of its side files under any spelling of its path.
int DecodeProjection(const std::string &strPath, const std::string &strOutput, std::ostream &out, std::ostream &err);

// Prints the coordinates of plan pixel (x, y) under the projection's transform. Returns
// PROJECTION_EXIT_REFUSED, with the reason on err, when the transform cannot be inverted.
int LocatePixel(const std::string &strPath, double x, double y, bool bJson, std::ostream &out, std::ostream &err);

// "1.5,-2,3" as numbers; exactly nCount of them. Raises std::invalid_argument naming strWhat.
std::vector<double> ParseNumberList(const std::string &strText, size_t nCount, const std::string &strWhat);
