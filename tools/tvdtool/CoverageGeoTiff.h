#pragma once

#include "coverage/CoverageGrid.h"
#include "coverage/CoverageSettings.h"

#include <cstdint>
#include <string>
#include <vector>

class CSiteProjection;

// The value of a cell with no level in the GeoTIFF (GDAL's NoData).
constexpr float COVERAGE_TIFF_NODATA = -9999.0F;

// What the GeoTIFF says about where it was made from.
struct _coveragetiffinfo {
  std::string strSurvey;
  int nChannel = 1;
  uint32_t nFrequency = 0; // frequency code, 0 when not known
};

// The levels of grid as a GeoTIFF in memory: one Float32 sample per cell, the first row at the
// plan's top edge, COVERAGE_TIFF_NODATA (GDAL's NoData) where a cell has no level. Raster
// coordinates are tied to the projection's coordinates by its affine transform (the top-left
// corner of cell (0, 0) at plan pixel 0, 0): longitude and latitude in EPSG:4326 (WGS 84) for a
// geo-coded projection, X and Y with no coordinate system for a linear one. The settings, the
// survey and the channel are in its GDAL metadata and its image description.
std::vector<uint8_t> CoverageGeoTiff(const CCoverageGrid &grid, const CSiteProjection &projection,
                                     const _coveragesettings &settings, const _coveragetiffinfo &info);
