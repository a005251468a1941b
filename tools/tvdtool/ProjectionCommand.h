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
  std::optional<int> nPage;   // a PDF plan: its page, from 1 (default 1)
  std::optional<double> dDpi; // a PDF plan: the resolution it is rendered at
  std::optional<_transform> matrix;
  std::optional<double> dScale;  // linear: plan pixels per unit
  std::vector<_scaleline> lines; // linear: a line of known length, and an optional second to check it
  bool bFeet = false;            // the lines' lengths are in feet (turned into metres, x 0.3048)
  bool bOrigin = false;          // an origin was given
  double dOriginX = 0;           // linear: the plan pixel where X and Y are 0
  double dOriginY = 0;
  std::vector<_referencepoint> refs; // geo-coded: three or more plan pixels with their coordinates
};

// Exit codes of the projection commands: done, or refused with nothing written (an output that is
// one of the inputs or their side files, a transform that cannot be inverted). A file that
// cannot be read, is no projection or is damaged raises instead (exit 1).
constexpr int PROJECTION_EXIT_DONE = 0;
constexpr int PROJECTION_EXIT_REFUSED = 2;

// Builds the projection file: reads the picture (or renders the PDF page), turns it into a 24-bit
// bitmap file, calibrates the transform and writes the file, whole or not at all. A calibration
// prints each point's residual or the lines' disagreement and the plan's scale; then one line says
// what was written. A calibration whose residuals or disagreement are over the limit is refused.
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
