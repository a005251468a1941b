// The calibration dialog's fit: the transform from the marks, the scale, the residuals and what
// stands in the way of saving; and Save As.
#include "dialogs/CalibrationDialog.h"

#include "dialogs/Prompts.h"
#include "projection/Calibration.h"
#include "projection/CoordinateText.h"
#include "projection/DistanceUnits.h"
#include "tools/planimage/PlanImage.h"

#include "ui_CalibrationDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <exception>
#include <stdexcept>

namespace {

const char *const TEXT_NEED_LINE = "Draw Line over something of known length, then type its length.";
const char *const TEXT_NEED_LENGTH = "Type the length of line 1 in %1.";
const char *const TEXT_ORIGIN = "Origin: pixel %1, %2";
const char *const TEXT_ORIGIN_CORNER = "Origin: pixel 0, 0 (the top-left corner)";
const char *const TEXT_NO_CHECK = "Draw Check Line and type its length to check the scale.";
const char *const TEXT_CHECK_LENGTH = "Type the length of line 2, or it does not check the scale.";
const char *const TEXT_DISAGREEMENT = "Line 2 gives a scale %1 % from line 1's.";
const char *const TEXT_NEED_POINTS = "Add Point, click it on the plan and type its latitude and longitude: at least "
                                     "three points, spread over the plan (%1 so far).";
const char *const TEXT_NEED_COORDINATES = "Type the latitude and longitude of point %1 as \"lat, lon\".";
const char *const TEXT_SCALE_LINEAR = "Scale: %1 m per pixel (%2 pixels per metre)";
const char *const TEXT_SCALE_GEO = "Scale: %1 m per pixel";
const char *const TEXT_REFUSED = "Cannot save: %1.";
const char *const TEXT_READY = "Ready to save.";
const char *const TEXT_RESIDUAL = "%1 m";
const char *const UNIT_METERS = "metres";
const char *const UNIT_FEET = "feet";
const char *const FILTER_LINEAR = "Linear Projection Files (*.lpf)";
const char *const FILTER_GEO = "Geo-coded Projection Files (*.gpf)";
const char *const CAPTION_SAVE_AS = "Save As";
const char *const TEXT_NOT_WRITTEN = "The projection %1 could not be written.\n\n%2";
const char *const CAPTION_NEW_PROJECTION = "New Projection from Image";
const QColor COLOUR_PROBLEM(190, 0, 0);
constexpr int COLUMN_COORDINATES = 1;
constexpr int COLUMN_RESIDUAL = 2;

QString Fixed(double dValue, int nDecimals) { return QString::number(dValue, 'f', nDecimals); }

QString Refused(const std::exception &failure) {
  return QString::fromUtf8(TEXT_REFUSED).arg(QString::fromUtf8(failure.what()));
}

} // namespace

void CCalibrationDialog::Recompute() {
  m_transform.reset();
  SetDlgItemText(IDC_CAL_SCALE, {});
  const QString strMessage = m_pUi->linear->isChecked() ? RecomputeLinear() : RecomputeGeo();
  ShowMessage(strMessage.isEmpty() ? QString::fromUtf8(TEXT_READY) : strMessage,
              strMessage.startsWith(QString::fromUtf8(TEXT_REFUSED).section(QLatin1Char('%'), 0, 0)));
  EnableDlgItem(IDC_CAL_SAVE_AS, m_transform.has_value());
  // The marks of the kind chosen; the other kind's wait unseen.
  _calibrationmarks shown = m_marks;
  if (m_pUi->linear->isChecked()) {
    shown.points.clear();
  } else {
    shown.line.reset();
    shown.check.reset();
    shown.origin.reset();
  }
  m_pUi->view->SetMarks(shown);
}

std::optional<double> CCalibrationDialog::LengthInMetres(int nId) const {
  bool bOk = false;
  const double dLength = GetDlgItemText(nId).trimmed().toDouble(&bOk);
  if (!bOk) {
    return std::nullopt;
  }
  return GetCurSel(IDC_CAL_UNITS) == UNITS_FEET ? FeetToMeters(dLength) : dLength;
}

QString CCalibrationDialog::RecomputeLinear() {
  const QPoint ptOrigin = m_marks.origin.value_or(QPoint(0, 0));
  SetDlgItemText(IDC_CAL_ORIGIN, m_marks.origin ? QString::fromUtf8(TEXT_ORIGIN).arg(ptOrigin.x()).arg(ptOrigin.y())
                                                : QString::fromUtf8(TEXT_ORIGIN_CORNER));
  const auto lengthOf = [this](int nId, const std::optional<QLine> &line) -> std::optional<_scaleline> {
    const auto dMetres = LengthInMetres(nId);
    if (!line || !dMetres) {
      return std::nullopt;
    }
    return _scaleline{double(line->x1()), double(line->y1()), double(line->x2()), double(line->y2()), *dMetres};
  };
  const auto line = lengthOf(IDC_CAL_LENGTH, m_marks.line);
  const auto check = lengthOf(IDC_CAL_CHECK_LENGTH, m_marks.check);
  SetDlgItemText(IDC_CAL_DISAGREEMENT, QString::fromUtf8(m_marks.check && !check ? TEXT_CHECK_LENGTH : TEXT_NO_CHECK));
  if (!m_marks.line) {
    return QString::fromUtf8(TEXT_NEED_LINE);
  }
  if (!line) {
    const bool bFeet = GetCurSel(IDC_CAL_UNITS) == UNITS_FEET;
    return QString::fromUtf8(TEXT_NEED_LENGTH).arg(QString::fromUtf8(bFeet ? UNIT_FEET : UNIT_METERS));
  }
  try {
    const _linearfit fit = FitLinearTransform(*line, check, ptOrigin.x(), ptOrigin.y());
    SetDlgItemText(
        IDC_CAL_SCALE,
        QString::fromUtf8(TEXT_SCALE_LINEAR).arg(Fixed(fit.dMetresPerPixel, 4), Fixed(1.0 / fit.dMetresPerPixel, 2)));
    if (fit.dDisagreement) {
      SetDlgItemText(IDC_CAL_DISAGREEMENT, QString::fromUtf8(TEXT_DISAGREEMENT).arg(Fixed(*fit.dDisagreement, 1)));
    }
    if (const std::string problem = LinearFitProblem(fit); !problem.empty()) {
      return Refused(std::invalid_argument(problem));
    }
    m_transform = fit.transform;
  } catch (const std::invalid_argument &failure) {
    return Refused(failure);
  }
  return {};
}

QString CCalibrationDialog::RecomputeGeo() {
  QTableWidget *pTable = m_pUi->pointTable;
  std::vector<_referencepoint> points;
  QString strMissing;
  for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
    const auto coordinates = ParseLatLon(pTable->item(nRow, COLUMN_COORDINATES)->text().toStdString());
    if (!coordinates && strMissing.isEmpty()) {
      strMissing = QString::fromUtf8(TEXT_NEED_COORDINATES).arg(nRow + 1);
    }
    const QPoint &pt = m_marks.points[static_cast<size_t>(nRow)];
    points.push_back({double(pt.x()), double(pt.y()), coordinates ? coordinates->dLatitude : 0,
                      coordinates ? coordinates->dLongitude : 0});
  }
  m_bFilling = true;
  for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
    pTable->item(nRow, COLUMN_RESIDUAL)->setText({});
  }
  m_bFilling = false;
  if (!strMissing.isEmpty()) {
    return strMissing;
  }
  if (points.size() < CALIBRATION_MIN_POINTS) {
    return QString::fromUtf8(TEXT_NEED_POINTS).arg(points.size());
  }
  try {
    const _geofit fit = FitGeoTransform(points);
    SetDlgItemText(IDC_CAL_SCALE, QString::fromUtf8(TEXT_SCALE_GEO).arg(Fixed(fit.dMetresPerPixel, 4)));
    m_bFilling = true;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
      const double dResidual = fit.residuals[static_cast<size_t>(nRow)];
      QTableWidgetItem *pItem = pTable->item(nRow, COLUMN_RESIDUAL);
      pItem->setText(QString::fromUtf8(TEXT_RESIDUAL).arg(Fixed(dResidual, 2)));
      pItem->setForeground(dResidual > CALIBRATION_MAX_RESIDUAL_M ? QBrush(COLOUR_PROBLEM) : QBrush());
    }
    m_bFilling = false;
    if (const std::string problem = GeoFitProblem(fit); !problem.empty()) {
      return Refused(std::invalid_argument(problem));
    }
    m_transform = fit.transform;
  } catch (const std::invalid_argument &failure) {
    m_bFilling = false;
    return Refused(failure);
  }
  return {};
}

void CCalibrationDialog::ShowMessage(const QString &strText, bool bProblem) {
  QLabel *pLabel = m_pUi->message;
  pLabel->setText(strText);
  QPalette palette = pLabel->palette();
  palette.setColor(QPalette::WindowText, bProblem ? COLOUR_PROBLEM : this->palette().color(QPalette::WindowText));
  pLabel->setPalette(palette);
}

// The projection beside the picture, named after it; written whole or not at all. A file that
// cannot be written is named with the reason, and the dialog stays for another try.
void CCalibrationDialog::OnSaveAs() {
  if (!m_transform) {
    return;
  }
  const bool bLinear = m_pUi->linear->isChecked();
  const QFileInfo source(m_strSource);
  _fileprompt prompt;
  prompt.nKind = _fileprompt::save;
  prompt.strCaption = QString::fromUtf8(CAPTION_SAVE_AS);
  prompt.strFolder = source.absolutePath();
  prompt.strFileName = source.completeBaseName() + (bLinear ? QStringLiteral(".lpf") : QStringLiteral(".gpf"));
  prompt.strDefaultSuffix = bLinear ? QStringLiteral("lpf") : QStringLiteral("gpf");
  prompt.filters = {QString::fromUtf8(bLinear ? FILTER_LINEAR : FILTER_GEO)};
  prompt.bConfirmOverwrite = true;
  const QString strPath = PromptFile(this, prompt);
  if (strPath.isEmpty()) {
    return;
  }
  try {
    WritePlanProjection(strPath.toStdString(), bLinear ? PROJECTION_LINEAR : PROJECTION_GEO, *m_transform, m_plan);
  } catch (const std::exception &failure) {
    PromptMessage(this, QString::fromUtf8(TEXT_NOT_WRITTEN).arg(QDir::toNativeSeparators(strPath), failure.what()),
                  QString::fromUtf8(CAPTION_NEW_PROJECTION), PROMPT_OK, PROMPT_ICON_WARNING);
    return;
  }
  m_strSavedPath = strPath;
  accept();
}
