#pragma once

#include "platform/File.h"
#include "platform/ReplacingFile.h"
#include "projection/ProjectionFormat.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

// The program's one projection: the transform between plan pixels and coordinates of the last
// projection file loaded, and the decoded floor-plan bitmap file that the load leaves on disk.
//
// A load writes two files next to the projection file: path + "c", a copy of the compressed
// section, and path + "b", the decoded Windows bitmap file; both are replaced by the next load
// of the same file. Each is written whole beside its place and renamed into it, so a failed load
// (a full disk) leaves the side files of the last load as they were. A section whose decoded
// length it cannot yield, or that disagrees with the bitmap it decodes to, is refused before
// anything is written. SetSideFileFolder puts them into another folder instead.
class CSiteProjection {
public:
  using StatusCallback = std::function<void(const std::string &)>;

  CSiteProjection() = default;
  CSiteProjection(const CSiteProjection &) = delete;
  CSiteProjection &operator=(const CSiteProjection &) = delete;
  virtual ~CSiteProjection();

  // Loads the projection file at strPath: OpenFile, ReadHeader, ExtractSection, DecodeBitmap,
  // then the transform. Every failure raises CFileException with a description naming the file
  // and what failed; a file whose type tag is none of the four raises "... is not a projection
  // file" and leaves the kind, the transform and the bitmap path of the previous load in force.
  // The bitmap path changes only once the bitmap is decoded.
  void Load(const std::string &strPath);

  // Coordinates (latitude and longitude, or X and Y) of plan pixel (px, py). Under
  // PROJECTION_NONE nothing is written.
  void ToCoordinates(double px, double py, double &c1, double &c2) const;
  // Distance in the linear projection's units.
  static double LinearDistance(double x1, double y1, double x2, double y2);
  // Haversine distance in metres on a sphere of radius 6378137 m, angles in degrees.
  static double GeoDistance(double lat1, double lon1, double lat2, double lon2);

  // Where the side files of the next loads go: beside the projection file (an empty folder, the
  // default), or into strFolder, named as the projection file plus "c" and "b" (for a projection
  // in a folder the operator cannot write to). The folder must exist.
  void SetSideFileFolder(std::string strFolder) { m_strSideFolder = std::move(strFolder); }
  const std::string &GetSideFileFolder() const { return m_strSideFolder; }
  // The side file of the projection file at strPath that ends in cSuffix ('c' or 'b').
  std::string SideFilePath(const std::string &strPath, char cSuffix) const;

  // Receives the text of the projection pane of the status bar when a load recognises the kind.
  void SetStatusCallback(StatusCallback fnStatus) { m_fnStatus = std::move(fnStatus); }

  double m_dA = 0;
  double m_dB = 0;
  double m_dC = 0;
  double m_dD = 0;
  double m_dE = 0;
  double m_dF = 0;
  double m_dDet = 0;
  std::array<double, 2> m_FirstPoint{};
  std::array<double, 2> m_SecondPoint{};
  int32_t m_nKind = PROJECTION_NONE;
  CFile m_File;
  std::string m_strPath;       // the projection file last asked for
  std::string m_strBitmapPath; // the decoded bitmap file of the last projection loaded
  std::array<uint8_t, PROJECTION_HEADER_SIZE> m_Header{};

protected:
  // The steps of Load, in order.
  void OpenFile();
  // Reads the header and returns the kind its tag names (PROJECTION_NONE for another tag).
  int32_t ReadHeader();
  // Checks the section and then copies it to stream, the stream file made whole beside its place;
  // it is put in place (path + "c") once the bitmap is decoded. The side files are made again at
  // every load, so they are not synchronised to the disk.
  void ExtractSection(std::optional<CReplacingFile> &stream);
  // Decodes the stream file at strStreamPath into path + "b".
  void DecodeBitmap(const std::string &strStreamPath);

private:
  StatusCallback m_fnStatus;
  std::string m_strSideFolder;
};

// The side files a load of the projection file strPath writes next to it: path + "c", the
// compressed section, and path + "b", the decoded bitmap. A command that writes an output must
// not write it over one of these.
std::string ProjectionStreamPath(const std::string &strPath);
std::string ProjectionBitmapPath(const std::string &strPath);

constexpr const char *PROJECTION_STATUS_GEO = "Projection Type: Geo-Coded";
constexpr const char *PROJECTION_STATUS_LINEAR = "Projection Type: Linear Coded";
