#include "tools/tvdtool/CoverageGeoTiff.h"

#include "projection/ProjectionFormat.h"
#include "projection/SiteProjection.h"

#include <geotiff/geotiff.h>
#include <geotiff/geovalues.h>
#include <geotiff/xtiffio.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

// A TIFF written into memory through libtiff's client procedures.
struct _tiffmemory {
  std::vector<uint8_t> bytes;
  uint64_t nPosition = 0;
};

tmsize_t MemoryRead(thandle_t handle, void *pBuffer, tmsize_t nSize) {
  auto &m = *static_cast<_tiffmemory *>(handle);
  const auto nCount = static_cast<tmsize_t>(std::min<uint64_t>(
      static_cast<uint64_t>(nSize), m.nPosition < m.bytes.size() ? m.bytes.size() - m.nPosition : 0));
  std::memcpy(pBuffer, m.bytes.data() + m.nPosition, static_cast<size_t>(nCount));
  m.nPosition += static_cast<uint64_t>(nCount);
  return nCount;
}

tmsize_t MemoryWrite(thandle_t handle, void *pBuffer, tmsize_t nSize) {
  auto &m = *static_cast<_tiffmemory *>(handle);
  const uint64_t nEnd = m.nPosition + static_cast<uint64_t>(nSize);
  if (nEnd > m.bytes.size()) {
    m.bytes.resize(nEnd);
  }
  std::memcpy(m.bytes.data() + m.nPosition, pBuffer, static_cast<size_t>(nSize));
  m.nPosition = nEnd;
  return nSize;
}

toff_t MemorySeek(thandle_t handle, toff_t nOffset, int nWhence) {
  auto &m = *static_cast<_tiffmemory *>(handle);
  const uint64_t nBase = nWhence == SEEK_SET ? 0 : nWhence == SEEK_CUR ? m.nPosition : m.bytes.size();
  m.nPosition = nBase + nOffset;
  return m.nPosition;
}

int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return static_cast<_tiffmemory *>(handle)->bytes.size(); }
int MemoryMap(thandle_t, void **, toff_t *) { return 0; }
void MemoryUnmap(thandle_t, void *, toff_t) {}

// GDAL's own tags, made known to libtiff where it does not know them.
TIFFExtendProc g_pfnParentExtender = nullptr;

void ExtendWithGdalTags(TIFF *tif) {
  static const TIFFFieldInfo FIELDS[] = {
      {TIFFTAG_GDAL_METADATA, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char *>("GDALMetadata")},
      {TIFFTAG_GDAL_NODATA, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char *>("GDALNoDataValue")},
  };
  for (const TIFFFieldInfo &field : FIELDS) {
    if (TIFFFindField(tif, field.field_tag, TIFF_ANY) == nullptr) {
      TIFFMergeFieldInfo(tif, &field, 1);
    }
  }
  if (g_pfnParentExtender != nullptr) {
    g_pfnParentExtender(tif);
  }
}

std::string Number(double dValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", dValue);
  return text;
}

} // namespace

namespace {

// Raster (I, J), cell corners counted from the grid's top-left, to the projection's model
// coordinates (longitude and latitude, or X and Y): X = a I + b J + c, Y = d I + e J + f.
struct _rastertransform {
  double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
};

_rastertransform RasterTransform(const CCoverageGrid &grid, const CSiteProjection &projection) {
  const auto model = [&](double px, double py, double &x, double &y) {
    double c1 = 0, c2 = 0;
    projection.ToCoordinates(px, py, c1, c2);
    const bool bGeo = projection.m_nKind == PROJECTION_GEO; // latitude first
    x = bGeo ? c2 : c1;
    y = bGeo ? c1 : c2;
  };
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const double dWidth = grid.Columns() * grid.CellWidth();
  const double dHeight = grid.Rows() * grid.CellHeight();
  model(0, 0, x0, y0);
  model(dWidth, 0, x1, y1);
  model(0, dHeight, x2, y2);
  return {(x1 - x0) / grid.Columns(), (x2 - x0) / grid.Rows(), x0,
          (y1 - y0) / grid.Columns(), (y2 - y0) / grid.Rows(), y0};
}

void SetGeoreference(TIFF *tif, const _rastertransform &t) {
  if (t.b == 0 && t.d == 0 && t.a > 0 && t.e < 0) {
    // Axes along the raster's, north (or Y) up: a tie point and the cells' size.
    const double scale[3] = {t.a, -t.e, 0};
    const double tiepoint[6] = {0, 0, 0, t.c, t.f, 0};
    TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, scale);
    TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, tiepoint);
  } else {
    const double matrix[16] = {t.a, t.b, 0, t.c, t.d, t.e, 0, t.f, 0, 0, 0, 0, 0, 0, 0, 1};
    TIFFSetField(tif, TIFFTAG_GEOTRANSMATRIX, 16, matrix);
  }
}

void SetGeographicKeys(TIFF *tif) {
  GTIF *gtif = GTIFNew(tif);
  if (gtif == nullptr) {
    throw std::runtime_error("the GeoTIFF's keys cannot be written");
  }
  GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeGeographic);
  GTIFKeySet(gtif, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
  GTIFKeySet(gtif, GeographicTypeGeoKey, TYPE_SHORT, 1, GCS_WGS_84);
  GTIFKeySet(gtif, GeogAngularUnitsGeoKey, TYPE_SHORT, 1, Angular_Degree);
  GTIFKeySet(gtif, GTCitationGeoKey, TYPE_ASCII, 0, "WGS 84");
  const int nWritten = GTIFWriteKeys(gtif);
  GTIFFree(gtif);
  if (nWritten == 0) {
    throw std::runtime_error("the GeoTIFF's keys cannot be written");
  }
}

std::string XmlEscaped(const std::string &text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
    case '&':
      escaped += "&amp;";
      break;
    case '<':
      escaped += "&lt;";
      break;
    case '>':
      escaped += "&gt;";
      break;
    case '"':
      escaped += "&quot;";
      break;
    default:
      escaped += c;
    }
  }
  return escaped;
}

// The settings and the source as GDAL metadata items.
std::string GdalMetadata(const _coveragesettings &s, const _coveragetiffinfo &info) {
  const std::pair<const char *, std::string> items[] = {
      {"SURVEY", info.strSurvey},
      {"CHANNEL", std::to_string(info.nChannel)},
      {"FREQUENCY_MHZ", info.nFrequency == 0 ? std::string() : Number(info.nFrequency * 50.0 / 1000.0)},
      {"CELL_METRES", Number(s.dCellMetres)},
      {"RADIUS_METRES", Number(s.dRadiusMetres)},
      {"BIN_METRES", Number(s.dBinMetres)},
      {"FADE_METRES", Number(s.dFadeMetres)},
      {"MEAN", CoverageMeanName(s.mean)},
      {"SCALE_LOW", Number(s.dScaleLow)},
      {"SCALE_HIGH", Number(s.dScaleHigh)},
      {"BAND_WIDTH", Number(s.dBandWidth)},
      {"THRESHOLD", Number(s.dThreshold)},
      {"SETTINGS", CoverageSettingsText(s)},
  };
  std::string xml = "<GDALMetadata>\n";
  for (const auto &[pName, value] : items) {
    if (!value.empty()) {
      xml += std::string("  <Item name=\"") + pName + "\">" + XmlEscaped(value) + "</Item>\n";
    }
  }
  return xml + "</GDALMetadata>\n";
}

void WriteLevels(TIFF *tif, const CCoverageGrid &grid) {
  std::vector<float> row(static_cast<size_t>(grid.Columns()));
  for (int r = 0; r < grid.Rows(); ++r) {
    for (int c = 0; c < grid.Columns(); ++c) {
      row[static_cast<size_t>(c)] = grid.HasValue(c, r) ? grid.Value(c, r) : COVERAGE_TIFF_NODATA;
    }
    if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(r), 0) < 0) {
      throw std::runtime_error("the GeoTIFF's row " + std::to_string(r) + " cannot be written");
    }
  }
}

} // namespace

std::vector<uint8_t> CoverageGeoTiff(const CCoverageGrid &grid, const CSiteProjection &projection,
                                     const _coveragesettings &settings, const _coveragetiffinfo &info) {
  static const bool REGISTERED = [] {
    g_pfnParentExtender = TIFFSetTagExtender(ExtendWithGdalTags);
    return true;
  }();
  (void)REGISTERED;
  _tiffmemory memory;
  TIFF *tif = XTIFFClientOpen("coverage.tif", "w", &memory, MemoryRead, MemoryWrite, MemorySeek, MemoryClose,
                              MemorySize, MemoryMap, MemoryUnmap);
  if (tif == nullptr) {
    throw std::runtime_error("the GeoTIFF cannot be made");
  }
  try {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(grid.Columns()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(grid.Rows()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    const std::string description = "Levels of channel " + std::to_string(info.nChannel) + " of " + info.strSurvey +
                                    ": " + CoverageSettingsText(settings);
    TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description.c_str());
    TIFFSetField(tif, TIFFTAG_GDAL_METADATA, GdalMetadata(settings, info).c_str());
    TIFFSetField(tif, TIFFTAG_GDAL_NODATA, Number(COVERAGE_TIFF_NODATA).c_str());
    SetGeoreference(tif, RasterTransform(grid, projection));
    if (projection.m_nKind == PROJECTION_GEO) {
      SetGeographicKeys(tif);
    }
    WriteLevels(tif, grid);
    if (TIFFFlush(tif) != 1) {
      throw std::runtime_error("the GeoTIFF cannot be finished");
    }
  } catch (...) {
    XTIFFClose(tif);
    throw;
  }
  XTIFFClose(tif);
  return memory.bytes;
}
