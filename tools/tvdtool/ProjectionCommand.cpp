#include "tools/tvdtool/ProjectionCommand.h"

#include "platform/File.h"
#include "platform/FileIdentity.h"
#include "platform/LittleEndian.h"
#include "platform/ReplacingFile.h"
#include "projection/BitmapFile.h"
#include "projection/Compression.h"
#include "projection/CoordinateText.h"
#include "projection/DistanceUnits.h"
#include "projection/ProjectionHeader.h"
#include "projection/ProjectionWriter.h"
#include "projection/SiteProjection.h"
#include "projection/TransformCheck.h"
#include "tools/planimage/PlanImage.h"
#include "tools/tvdtool/Commands.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>

namespace {

// What a projection file says about itself, read without side files.
struct _projectionsummary {
  int32_t nKind = PROJECTION_NONE;
  _transform transform;
  double dDet = 0;
  std::optional<uint32_t> nSectionLength;
  std::optional<uint32_t> nDecodedLength;
  std::optional<_bitmapheader> bitmap;
};

std::string Format(const char *pFormat, double dValue) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pFormat, dValue);
  return buffer;
}

std::string LowerExtension(const std::string &strPath) {
  const auto nDot = strPath.find_last_of('.');
  const auto nSlash = strPath.find_last_of('/');
  if (nDot == std::string::npos || (nSlash != std::string::npos && nDot < nSlash)) {
    return "";
  }
  std::string ext = strPath.substr(nDot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

_projectionsummary Inspect(const std::string &strPath, bool bSection) {
  CFile file;
  file.OpenOrThrow(strPath, CFile::modeRead | CFile::shareDenyWrite);
  const uint64_t nLength = file.GetLength();
  const auto header = ReadProjectionHeader(file, strPath);

  _projectionsummary summary;
  summary.nKind = ProjectionKindFromTag(ProjectionTag(header.data()));
  summary.transform = ReadProjectionTransform(header.data());
  summary.dDet = summary.transform.dA * summary.transform.dD - summary.transform.dB * summary.transform.dC;
  if (summary.nKind == PROJECTION_NONE || !bSection) {
    return summary;
  }

  const uint32_t nOffset = ProjectionSectionOffset(summary.nKind);
  const uint32_t nSection = ReadProjectionSectionLength(file, strPath, nLength, nOffset);
  summary.nSectionLength = nSection;

  std::vector<uint8_t> start(std::min(nSection, COMPRESSION_HEADER_SIZE + PROJECTION_HEADER_CODE_BYTES));
  file.Seek(nOffset, CFile::begin);
  file.ReadExactly(start.data(), static_cast<uint32_t>(start.size()));
  CCompression decoder("", "");
  const auto decoded =
      decoder.DecodeInMemory(start.data(), start.size(), BITMAP_FILE_HEADER_SIZE + BITMAP_INFO_HEADER_SIZE);
  summary.nDecodedLength = decoder.m_nDecodedLength;
  summary.bitmap = ReadBitmapHeader(decoded.data(), decoded.size());
  return summary;
}

std::string KindKey(int32_t nKind) {
  return nKind == PROJECTION_GEO ? "geo" : (nKind == PROJECTION_LINEAR ? "linear" : "none");
}

template <typename T> nlohmann::json OrNull(const std::optional<T> &value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// Copies strFrom to strTo, which is written whole beside its place and then put in place.
void CopyFile(const std::string &strFrom, const std::string &strTo) {
  CFile input;
  input.OpenOrThrow(strFrom, CFile::modeRead | CFile::shareDenyWrite);
  CReplacingFile output(strTo, true);
  std::vector<uint8_t> buffer(1 << 20);
  for (;;) {
    const uint32_t nRead = input.Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
    if (nRead == 0) {
      break;
    }
    output.Write(buffer.data(), nRead);
  }
  output.Commit();
}

// Says on err why the output of a decode of strPath cannot be strOutput, or nothing when it can.
bool RefuseDecodeOutput(const std::string &strPath, const std::string &strOutput, std::ostream &err) {
  const std::vector<std::string> inputs = {strPath, ProjectionStreamPath(strPath), ProjectionBitmapPath(strPath)};
  const auto same = FindSameFile(strOutput, inputs);
  if (!same) {
    return false;
  }
  const char *pWhat = *same == inputs[0] ? "the projection itself"
                                         : (*same == inputs[1] ? "the side file that takes its compressed section"
                                                               : "the side file that takes its decoded bitmap");
  err << "tvdtool: the decoded bitmap must go to another file than \"" << strOutput << "\", which is " << pWhat
      << " (\"" << *same << "\"); nothing was written.\n";
  return true;
}

} // namespace

std::vector<double> ParseNumberList(const std::string &strText, size_t nCount, const std::string &strWhat) {
  std::vector<double> numbers;
  size_t nStart = 0;
  while (true) {
    const size_t nComma = strText.find(',', nStart);
    const std::string item = strText.substr(nStart, nComma == std::string::npos ? std::string::npos : nComma - nStart);
    char *pEnd = nullptr;
    const double dValue = std::strtod(item.c_str(), &pEnd);
    if (item.empty() || pEnd != item.c_str() + item.size() || !std::isfinite(dValue)) {
      throw std::invalid_argument(strWhat + " takes " + std::to_string(nCount) + " numbers separated by commas; \"" +
                                  item + "\" in \"" + strText + "\" is not a number");
    }
    numbers.push_back(dValue);
    if (nComma == std::string::npos) {
      break;
    }
    nStart = nComma + 1;
  }
  if (numbers.size() != nCount) {
    throw std::invalid_argument(strWhat + " takes " + std::to_string(nCount) + " numbers separated by commas, not " +
                                std::to_string(numbers.size()) + " (\"" + strText + "\")");
  }
  return numbers;
}

namespace {

// The output's kind, by its extension.
int32_t OutputKind(const std::string &strOutput) {
  const std::string ext = LowerExtension(strOutput);
  if (ext != "gpf" && ext != "lpf") {
    throw std::invalid_argument("the output \"" + strOutput +
                                "\" must end in .gpf (geo-coded) or .lpf (linear): the collector offers "
                                "projections by these extensions");
  }
  return ext == "gpf" ? PROJECTION_GEO : PROJECTION_LINEAR;
}

void CheckRequest(const _makerequest &request, int32_t nKind) {
  const int nGiven = (request.matrix ? 1 : 0) + (request.dScale ? 1 : 0) + (request.refs.empty() ? 0 : 1) +
                     (request.lines.empty() ? 0 : 1);
  if (nGiven != 1) {
    throw std::invalid_argument("give the transform in exactly one way: --matrix a,b,c,d,e,f, or --scale or --line "
                                "(linear), or three or more --ref px,py,lat,lon (geo-coded)");
  }
  if ((request.dScale || !request.lines.empty()) && nKind != PROJECTION_LINEAR) {
    throw std::invalid_argument("--scale and --line calibrate a linear projection; name the output .lpf");
  }
  if (!request.refs.empty() && nKind != PROJECTION_GEO) {
    throw std::invalid_argument("--ref calibrates a geo-coded projection; name the output .gpf");
  }
  if (request.lines.size() > 2) {
    throw std::invalid_argument("a linear calibration takes one --line, and a second to check it, not " +
                                std::to_string(request.lines.size()));
  }
  if (request.bOrigin && !request.dScale && request.lines.empty()) {
    throw std::invalid_argument("--origin goes with --scale or --line");
  }
  if ((request.nPage || request.dDpi) && !IsPdfPath(request.strImage)) {
    throw std::invalid_argument("--page and --dpi choose the page of a PDF plan and its resolution; \"" +
                                request.strImage + "\" is no .pdf");
  }
}

_transform FitLines(const _makerequest &request, std::ostream &out) {
  std::vector<_scaleline> lines = request.lines;
  for (auto &line : lines) {
    line.dMetres = request.bFeet ? FeetToMeters(line.dMetres) : line.dMetres;
  }
  const _linearfit fit = FitLinearTransform(lines[0], lines.size() > 1 ? std::optional(lines[1]) : std::nullopt,
                                            request.dOriginX, request.dOriginY);
  out << "scale: " << Format("%.6f", fit.dMetresPerPixel) << " m per pixel ("
      << Format("%.4f", 1.0 / fit.dMetresPerPixel) << " pixels per metre)\n";
  if (fit.dDisagreement) {
    out << "second line: " << Format("%.2f", *fit.dDisagreement) << " % from the first\n";
  }
  if (const std::string problem = LinearFitProblem(fit); !problem.empty()) {
    throw std::invalid_argument("the projection \"" + request.strOutput + "\" is not written: " + problem);
  }
  return fit.transform;
}

_transform FitRefs(const _makerequest &request, std::ostream &out) {
  const _geofit fit = FitGeoTransform(request.refs);
  for (size_t i = 0; i < request.refs.size(); ++i) {
    const _referencepoint &p = request.refs[i];
    out << "point " << i + 1 << ": pixel " << Format("%g", p.dPixelX) << "," << Format("%g", p.dPixelY) << " at "
        << FormatLatLon({p.dLatitude, p.dLongitude}) << ", residual " << Format("%.2f", fit.residuals[i]) << " m\n";
  }
  out << "scale: " << Format("%.6f", fit.dMetresPerPixel) << " m per pixel\n";
  if (const std::string problem = GeoFitProblem(fit); !problem.empty()) {
    throw std::invalid_argument("the projection \"" + request.strOutput + "\" is not written: " + problem);
  }
  return fit.transform;
}

} // namespace

void MakeProjection(const _makerequest &request, std::ostream &out) {
  const int32_t nKind = OutputKind(request.strOutput);
  CheckRequest(request, nKind);
  _transform transform;
  if (request.matrix) {
    transform = *request.matrix;
  } else if (request.dScale) {
    transform = MakeLinearTransform(*request.dScale, request.dOriginX, request.dOriginY);
  } else if (!request.lines.empty()) {
    transform = FitLines(request, out);
  } else {
    transform = FitRefs(request, out);
  }

  if (const std::string problem = TransformProblem(nKind, transform); !problem.empty()) {
    throw std::invalid_argument("the projection \"" + request.strOutput + "\" is not written: " + problem);
  }
  if (IsSameFile(request.strOutput, request.strImage)) {
    throw std::invalid_argument("the projection must go to another file than the picture \"" + request.strImage +
                                "\", which is left as it is");
  }
  const QImage image =
      LoadPlanImage(request.strImage, _planpage{request.nPage.value_or(1), request.dDpi.value_or(PLAN_DEFAULT_DPI)});
  WritePlanProjection(request.strOutput, nKind, transform, image);
  out << "wrote " << request.strOutput << ": " << ProjectionKindName(nKind) << " projection of " << image.width()
      << " x " << image.height() << " pixels\n";
}

void PrintProjectionInfo(const std::string &strPath, bool bJson, std::ostream &out) {
  const _projectionsummary s = Inspect(strPath, true);
  const _transform &t = s.transform;
  std::optional<int32_t> nWidth;
  std::optional<int32_t> nHeight;
  if (s.bitmap) {
    nWidth = s.bitmap->nWidth;
    nHeight = std::abs(s.bitmap->nHeight);
  }
  if (bJson) {
    nlohmann::json json = {{"kind", KindKey(s.nKind)},
                           {"a", t.dA},
                           {"b", t.dB},
                           {"c", t.dC},
                           {"d", t.dD},
                           {"e", t.dE},
                           {"f", t.dF},
                           {"det", s.dDet},
                           {"section_length", OrNull(s.nSectionLength)},
                           {"decoded_length", OrNull(s.nDecodedLength)},
                           {"width", OrNull(nWidth)},
                           {"height", OrNull(nHeight)}};
    out << json.dump() << '\n';
    return;
  }
  out << "kind: " << ProjectionKindName(s.nKind);
  if (s.nKind == PROJECTION_NONE) {
    out << " (the type tag names no projection; the numbers below are the bytes where a transform would be)";
  }
  out << "\n";
  out << "a: " << Format("%.12g", t.dA) << "  b: " << Format("%.12g", t.dB) << "  e: " << Format("%.12g", t.dE) << "\n";
  out << "c: " << Format("%.12g", t.dC) << "  d: " << Format("%.12g", t.dD) << "  f: " << Format("%.12g", t.dF) << "\n";
  out << "det: " << Format("%.12g", s.dDet) << "\n";
  if (s.nSectionLength) {
    out << "section: " << *s.nSectionLength << " bytes at offset " << ProjectionSectionOffset(s.nKind) << "\n";
    out << "decoded length: " << *s.nDecodedLength << " bytes\n";
    if (s.bitmap) {
      out << "bitmap: " << *nWidth << " x " << *nHeight << " pixels, " << s.bitmap->nBitCount << " bits per pixel\n";
    } else {
      out << "bitmap: the decoded bytes do not begin like a bitmap file\n";
    }
  }
}

int DecodeProjection(const std::string &strPath, const std::string &strOutput, std::ostream &out, std::ostream &err) {
  if (RefuseDecodeOutput(strPath, strOutput, err)) {
    return PROJECTION_EXIT_REFUSED;
  }
  CSiteProjection projection;
  projection.SetStatusCallback([&out](const std::string &text) { out << text << '\n'; });
  projection.Load(strPath);
  CopyFile(projection.m_strBitmapPath, strOutput);
  out << "decoded bitmap written to " << strOutput << " (also left as " << projection.m_strBitmapPath << ")\n";
  return PROJECTION_EXIT_DONE;
}

int LocatePixel(const std::string &strPath, double x, double y, bool bJson, std::ostream &out, std::ostream &err) {
  CSiteProjection projection;
  LoadProjectionTransform(strPath, projection);
  const _transform transform{projection.m_dA, projection.m_dB, projection.m_dC,
                             projection.m_dD, projection.m_dE, projection.m_dF};
  if (const std::string problem = TransformProblem(projection.m_nKind, transform); !problem.empty()) {
    err << "tvdtool: \"" << strPath << "\" gives no coordinates: " << problem << ".\n";
    return PROJECTION_EXIT_REFUSED;
  }
  double c1 = 0;
  double c2 = 0;
  projection.ToCoordinates(x, y, c1, c2);
  if (bJson) {
    out << nlohmann::json{{"kind", KindKey(projection.m_nKind)}, {"x", x}, {"y", y}, {"c1", c1}, {"c2", c2}}.dump()
        << '\n';
  } else if (projection.m_nKind == PROJECTION_GEO) {
    out << "latitude " << Format("%.8f", c1) << ", longitude " << Format("%.8f", c2) << "\n";
  } else {
    out << "X " << Format("%.4f", c1) << ", Y " << Format("%.4f", c2) << "\n";
  }
  return PROJECTION_EXIT_DONE;
}

namespace {

// The texts of make's options, as the command line gives them.
struct _makeoptions {
  std::string matrix;
  std::string origin;
  std::vector<std::string> refs;
  std::vector<std::string> lines;
  double dScale = 0;
  int nPage = 1;
  double dDpi = PLAN_DEFAULT_DPI;
};

// The request from the options given.
_makerequest ParseMakeOptions(const _makerequest &base, const _makeoptions &o, const CLI::App &make) {
  _makerequest r = base;
  if (!o.matrix.empty()) {
    const auto n = ParseNumberList(o.matrix, 6, "--matrix");
    r.matrix = _transform{n[0], n[1], n[2], n[3], n[4], n[5]};
  }
  if (make.count("--scale") > 0) {
    r.dScale = o.dScale;
  }
  if (make.count("--page") > 0) {
    r.nPage = o.nPage;
  }
  if (make.count("--dpi") > 0) {
    r.dDpi = o.dDpi;
  }
  if (!o.origin.empty()) {
    const auto n = ParseNumberList(o.origin, 2, "--origin");
    r.bOrigin = true;
    r.dOriginX = n[0];
    r.dOriginY = n[1];
  }
  for (const auto &text : o.refs) {
    const auto n = ParseNumberList(text, 4, "--ref");
    r.refs.push_back(_referencepoint{n[0], n[1], n[2], n[3]});
  }
  for (const auto &text : o.lines) {
    const auto n = ParseNumberList(text, 5, "--line");
    r.lines.push_back(_scaleline{n[0], n[1], n[2], n[3], n[4]});
  }
  return r;
}

void RegisterMakeCommand(CLI::App *projection) {
  auto *make = projection->add_subcommand(
      "make", "Build a projection file from a floor-plan picture (png, jpg, bmp, svg, ...) or a page of a PDF plan. "
              "The kind follows the output's extension. Give the transform as six numbers (--matrix) or calibrate "
              "it: --scale or --line for a linear projection, three or more --ref points for a geo-coded one.");
  auto request = std::make_shared<_makerequest>();
  auto o = std::make_shared<_makeoptions>();
  make->add_option("--image", request->strImage,
                   "The floor plan: a picture, an SVG drawing (rendered at its own "
                   "size) or a PDF document.")
      ->required();
  make->add_option("-o,--output", request->strOutput, "The projection file to write: FILE.gpf or FILE.lpf.")
      ->required();
  make->add_option("--page", o->nPage, "A PDF plan: the page to take, from 1 (default 1).");
  make->add_option("--dpi", o->dDpi, "A PDF plan: the resolution of the page in dots per inch (default 150).");
  auto *matrixOption = make->add_option(
      "--matrix", o->matrix,
      "a,b,c,d,e,f as stored. Geo-coded: pixel x = a*lat + b*lon + e, pixel y = c*lat + d*lon + f. Linear: "
      "X = (px - e)*d, Y = (py - f)*a. Write --matrix=-1,... when the first number is negative.");
  auto *scaleOption =
      make->add_option("--scale", o->dScale, "Linear: plan pixels per unit of length (e.g. per metre).");
  auto *lineOption = make->add_option(
      "--line", o->lines,
      "Linear: X1,Y1,X2,Y2,LENGTH, a line on the plan over something LENGTH metres long; a second --line checks the "
      "scale (refused when they differ by more than 2 %).");
  make->add_flag("--feet", request->bFeet, "The lengths of --line are in feet (turned into metres, x 0.3048).");
  make->add_option("--origin", o->origin, "Linear: the plan pixel X,Y where both coordinates are 0 (default 0,0).");
  make->add_option("--ref", o->refs,
                   "Geo-coded: a plan pixel and its coordinates, px,py,lat,lon; give three or more points that span "
                   "the site. The transform is fitted over all of them and each point's residual is printed; a "
                   "residual over 2 m is refused.")
      ->allow_extra_args(false)
      ->excludes(matrixOption)
      ->excludes(scaleOption)
      ->excludes(lineOption);
  make->callback([request, o, make] { MakeProjection(ParseMakeOptions(*request, *o, *make), std::cout); });
}

} // namespace

void RegisterProjectionCommands(CLI::App &app) {
  auto *projection = app.add_subcommand(
      "projection", "Make and inspect projection files: a floor plan with the transform between its pixels and "
                    "coordinates (.gpf geo-coded: latitude/longitude; .lpf linear: X/Y).");
  projection->require_subcommand(1);
  RegisterMakeCommand(projection);

  auto *info = projection->add_subcommand(
      "info", "Show what a projection file holds: kind, the six transform numbers, det, the compressed section's "
              "length, the decoded length and the floor plan's size. Writes nothing.");
  auto infoFile = std::make_shared<std::string>();
  auto infoJson = std::make_shared<bool>(false);
  info->add_option("FILE", *infoFile, "The projection file.")->required();
  info->add_flag("--json", *infoJson,
                 "One JSON object: kind (geo, linear, none), a b c d e f, det, section_length, decoded_length, "
                 "width, height.");
  info->callback([infoFile, infoJson] { PrintProjectionInfo(*infoFile, *infoJson, std::cout); });

  auto *decode = projection->add_subcommand(
      "decode", "Load a projection as the collector does (writing FILE + \"c\", the compressed section, and FILE + "
                "\"b\", the decoded bitmap, next to it) and copy the decoded bitmap to OUT.");
  auto decodeFile = std::make_shared<std::string>();
  auto decodeOut = std::make_shared<std::string>();
  decode->add_option("FILE", *decodeFile, "The projection file.")->required();
  decode->add_option("-o,--output", *decodeOut, "Where to copy the decoded bitmap (OUT.bmp).")->required();
  decode->callback([decodeFile, decodeOut] {
    if (const int nCode = DecodeProjection(*decodeFile, *decodeOut, std::cout, std::cerr); nCode != 0) {
      throw CLI::RuntimeError(nCode);
    }
  });

  auto *locate = projection->add_subcommand(
      "locate", "Print the coordinates of plan pixel X,Y: latitude and longitude, or linear X and Y.");
  auto locateFile = std::make_shared<std::string>();
  auto locateX = std::make_shared<double>(0);
  auto locateY = std::make_shared<double>(0);
  auto locateJson = std::make_shared<bool>(false);
  locate->add_option("FILE", *locateFile, "The projection file.")->required();
  locate->add_option("X", *locateX, "Plan pixel x (from the left).")->required();
  locate->add_option("Y", *locateY, "Plan pixel y (from the top).")->required();
  locate->add_flag("--json", *locateJson, "One JSON object: kind, x, y, c1, c2.");
  locate->callback([locateFile, locateX, locateY, locateJson] {
    if (const int nCode = LocatePixel(*locateFile, *locateX, *locateY, *locateJson, std::cout, std::cerr); nCode != 0) {
      throw CLI::RuntimeError(nCode);
    }
  });
}
