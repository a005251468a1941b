#pragma once

#include <QString>

class QWidget;

// File > New Projection from Image...: the floor plan chosen (a PNG, JPEG, BMP or SVG picture, or
// a PDF document, whose page and resolution the "PDF Plan" dialog asks for), read with the limits
// `tvdtool projection make` keeps, calibrated in the calibration dialog and saved as a projection.
// Every question goes through the prompt seam; a plan that cannot be read or is too large is named
// in a message box with the reason. Returns the projection file saved, or an empty string when
// the operator cancelled or nothing was saved.
QString NewProjectionFromImage(QWidget *pParent);
