#pragma once

#include "projection/SiteProjection.h"

#include <QImage>

#include <memory>
#include <string>

// The projection a coverage is drawn on: its transform, its floor plan's size and, when asked
// for, the floor plan itself, all decoded in memory from the projection file: nothing is written
// beside it.
struct _coverageplan {
  std::unique_ptr<CSiteProjection> pProjection;
  int nWidth = 0;
  int nHeight = 0;
  QImage picture; // when asked for
};

// Reads the projection file at strPath. Raises CFileException naming the file when it cannot be
// read, is no projection, or its floor plan is damaged; std::invalid_argument when its transform
// cannot be inverted.
_coverageplan LoadCoveragePlan(const std::string &strPath, bool bPicture);
