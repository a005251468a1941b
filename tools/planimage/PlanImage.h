#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

// Makes sure a QGuiApplication exists, which drawing text needs: one on the offscreen platform
// (unless QT_QPA_PLATFORM names another), made on first use and kept for the whole process.
void EnsureGuiApplication();

// Reads a floor-plan picture: an SVG drawing, rendered at its own size on white, or a picture in
// any format Qt reads (png, jpg, bmp, ...). Transparent parts become white. The result has no
// alpha channel. Raises std::runtime_error naming the file and the reason: the system's ("Is a
// directory", "Permission denied") when it cannot be opened, Qt's when it cannot be decoded.
QImage LoadPlanImage(const std::string &strPath);

// The picture as a 24-bit bottom-up Windows bitmap file.
std::vector<uint8_t> PlanImageToBitmap(const QImage &image);
