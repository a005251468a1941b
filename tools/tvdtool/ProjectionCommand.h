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

// Builds the projection file: reads the picture, turns it into a 24-bit bitmap file, solves the
// transform and writes the file. Prints one line about what was written. Raises on every failure
// (std::invalid_argument for a request that does not add up).
void MakeProjection(const _makerequest &request, std::ostream &out);

// Prints what a projection file holds: kind, the six numbers, det, the section's length, the
// decoded length and the bitmap's size; read from the file alone, no side files are written.
void PrintProjectionInfo(const std::string &strPath, bool bJson, std::ostream &out);

// Loads the projection as the collector does (side files path + "c" and path + "b" written) and
// copies the decoded bitmap file to strOutput.
void DecodeProjection(const std::string &strPath, const std::string &strOutput, std::ostream &out);

// Prints the coordinates of plan pixel (x, y) under the projection's transform.
void LocatePixel(const std::string &strPath, double x, double y, bool bJson, std::ostream &out);

// "1.5,-2,3" as numbers; exactly nCount of them. Raises std::invalid_argument naming strWhat.
std::vector<double> ParseNumberList(const std::string &strText, size_t nCount, const std::string &strWhat);
