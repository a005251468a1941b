#pragma once

#include "projection/SitePlan.h"

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// The route of a simulated collection run: plan pixels walked in order, one segment between each
// point and the next.
//
// Route files are text: one point per line as two whole numbers "x y" (or "x,y"), in plan pixels
// of the projection's floor plan; '#' starts a comment, blank lines are skipped. Every point must
// lie on the plan, and a route has 2 to 501 points (a survey holds at most 500 segments).

// Reads a route from in. strName names the source in errors. Raises std::runtime_error naming
// the source and the line of the first problem; bytes of the file that are no text are shown as
// \xHH, never as they are, and a file with zero bytes is named as no text file.
std::vector<_pixelpoint> ParseRoute(std::istream &in, const std::string &strName, int32_t nWidth, int32_t nHeight);
// Reads the route file at strPath. One that cannot be read is named with the system's reason
// ("No such file or directory", "Is a directory").
std::vector<_pixelpoint> LoadRoute(const std::string &strPath, int32_t nWidth, int32_t nHeight);

// The route walked when none is given: a serpentine over the plan, one tenth of its size in from
// its edges. Along the top, down to the middle, back along the middle (the sample office's
// corridor), down, and along the bottom: five segments.
std::vector<_pixelpoint> DefaultRoute(int32_t nWidth, int32_t nHeight);
