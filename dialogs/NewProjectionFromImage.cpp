#include "dialogs/NewProjectionFromImage.h"

#include "dialogs/CalibrationDialog.h"
#include "dialogs/PdfPageDialog.h"
#include "dialogs/Prompts.h"
#include "tools/planimage/PlanImage.h"
#include "tools/planimage/PlanPdf.h"

#include <QDir>
#include <QGuiApplication>

#include <exception>
#include <optional>

namespace {

const char *const CAPTION = "New Projection from Image";
const char *const FILTER_PLANS = "Floor Plans (*.png *.jpg *.jpeg *.bmp *.pdf *.svg)";
const char *const FILTER_ALL = "All Files (*)";
const char *const TEXT_NOT_READ = "The floor plan %1 could not be read.\n\n%2";

// The reason as a sentence of its own.
void Refuse(QWidget *pParent, const QString &strPath, const std::exception &failure) {
  QString strReason = QString::fromUtf8(failure.what());
  strReason[0] = strReason[0].toUpper();
  if (!strReason.endsWith(QLatin1Char('.'))) {
    strReason += QLatin1Char('.');
  }
  PromptMessage(pParent, QString::fromUtf8(TEXT_NOT_READ).arg(QDir::toNativeSeparators(strPath), strReason),
                QString::fromUtf8(CAPTION), PROMPT_OK, PROMPT_ICON_WARNING);
}

// The page of a PDF plan and its resolution, asked of the operator; nothing when cancelled.
std::optional<_planpage> AskPage(QWidget *pParent, const QString &strPath) {
  const CPlanPdf pdf(strPath.toStdString());
  CPdfPageDialog dialog(pdf, pParent);
  if (dialog.DoModal() != QDialog::Accepted) {
    return std::nullopt;
  }
  return _planpage{dialog.Page(), dialog.Dpi()};
}

QImage ReadPlan(const std::string &strPath, const _planpage &page) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    QImage plan = LoadPlanImage(strPath, page);
    QGuiApplication::restoreOverrideCursor();
    return plan;
  } catch (...) {
    QGuiApplication::restoreOverrideCursor();
    throw;
  }
}

} // namespace

QString NewProjectionFromImage(QWidget *pParent) {
  _fileprompt prompt;
  prompt.nKind = _fileprompt::open;
  prompt.strCaption = QString::fromUtf8(CAPTION);
  prompt.filters = {QString::fromUtf8(FILTER_PLANS), QString::fromUtf8(FILTER_ALL)};
  const QString strPath = PromptFile(pParent, prompt);
  if (strPath.isEmpty()) {
    return {};
  }
  QImage plan;
  try {
    _planpage page;
    if (IsPdfPath(strPath.toStdString())) {
      const auto chosen = AskPage(pParent, strPath);
      if (!chosen) {
        return {};
      }
      page = *chosen;
    }
    plan = ReadPlan(strPath.toStdString(), page);
  } catch (const std::exception &failure) {
    Refuse(pParent, strPath, failure);
    return {};
  }
  CCalibrationDialog dialog(plan, strPath, pParent);
  if (dialog.DoModal() != QDialog::Accepted) {
    return {};
  }
  return dialog.SavedPath();
}
