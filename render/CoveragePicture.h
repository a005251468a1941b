#pragma once

#include "coverage/ColourScale.h"
#include "coverage/CoverageGrid.h"

#include <QFont>
#include <QImage>
#include <QString>

// The font of the legend on a picture of the plan: a size that stays readable on large plans.
QFont CoverageLegendFont(const QSize &plan);

// The plan with the coverage overlay and, in its top-right corner, the legend, as the window
// shows them. A plan too small for the legend is given a white margin that holds it.
QImage CoveragePicture(const QImage &plan, const CCoverageGrid &grid, const _coveragesettings &settings,
                       const QString &strTitle, const _coveragefigures &figures);
