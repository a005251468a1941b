#pragma once

#include "coverage/CoverageGrid.h"
#include "coverage/CoverageSettings.h"

#include <QImage>

class QPainter;

// The coverage overlay as an image with one pixel per cell (premultiplied ARGB): the colour of
// the cell's band at the cell's opacity (CoverageCellAlpha), transparent where the cell has no
// value.
QImage CoverageCellImage(const CCoverageGrid &grid, const _coveragesettings &settings);
// Brings the cells of rect up to date in an image made by CoverageCellImage for the same grid.
void UpdateCoverageCells(QImage &image, const CCoverageGrid &grid, const _coveragesettings &settings,
                         const _cellrect &rect);
// Draws the cell image over the plan, each cell as the square of plan pixels it covers, without
// smoothing. The painter draws in plan pixels; the plan's own size clips the last cells.
void PaintCoverageCells(QPainter &painter, const QImage &cells, const CCoverageGrid &grid, const QSize &plan);
