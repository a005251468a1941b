#pragma once

#include "coverage/ColourScale.h"

#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QPainter;

// The legend of a channel's coverage: a title (the channel and its frequency), the bands of the
// colour scale from the strongest down, and the coverage figures, on a white box with a border.
// Its parts lie where CoverageLegendLayout puts them for the font's line height.
QSizeF CoverageLegendSize(const QFont &font, const QString &strTitle, const _coveragesettings &settings,
                          const _coveragefigures &figures);
void PaintCoverageLegend(QPainter &painter, const QPointF &topLeft, const QFont &font, const QString &strTitle,
                         const _coveragesettings &settings, const _coveragefigures &figures);
