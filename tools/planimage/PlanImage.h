#pragma once

#include "projection/ProjectionFormat.h"

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

// Floor-plan pictures as the collector takes them, for `tvdtool projection make` and the window's
// New Projection from Image alike, so that the same picture gives the same projection file.

// The page of a PDF plan and the resolution it is rendered at.
constexpr double PLAN_DEFAULT_DPI = 150;
constexpr double PLAN_MIN_DPI = 36;
constexpr double PLAN_MAX_DPI = 1200;
struct _planpage {
  int nPage = 1; // counted from 1
  double dDpi = PLAN_DEFAULT_DPI;
};

// Makes sure a QGuiApplication exists, which drawing text needs: one on the offscreen platform
// (unless QT_QPA_PLATFORM names another), made on first use and kept for the whole process.
void EnsureGuiApplication();

// Whether strPath names a PDF document (by its extension, in any case).
bool IsPdfPath(const std::string &strPath);

// Reads a floor-plan picture: a page of a PDF document, rendered at page.dDpi; an SVG drawing,
// rendered at its own size on white; or a picture in any format Qt reads (png, jpg, bmp, ...).
// Transparent parts become white. The result is RGB888. Raises std::runtime_error naming the file
// and the reason: the system's ("Is a directory", "Permission denied") when it cannot be opened,
// a plan too large to hold (PlanSizeProblem, checked before anything is decoded or rendered), a
// page that the document does not have, or Qt's reason when it cannot be decoded.
QImage LoadPlanImage(const std::string &strPath, const _planpage &page = {});

// The picture as a 24-bit bottom-up Windows bitmap file.
std::vector<uint8_t> PlanImageToBitmap(const QImage &image);

// Writes the projection of nKind with this transform and the picture as its floor plan to
// strOutput, whole or not at all (WriteProjectionFile). Raises std::invalid_argument, writing
// nothing, for a transform that cannot be inverted; CFileException when the file cannot be written.
void WritePlanProjection(const std::string &strOutput, int32_t nKind, const _transform &transform, const QImage &image);
