#include "tools/planimage/PlanPdf.h"

#include "projection/PlanSize.h"
#include "tools/planimage/PlanImage.h"

#include <QImage>
#include <QPainter>
#include <QPdfDocument>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr double POINTS_PER_INCH = 72.0;

std::string Reason(QPdfDocument::Error error) {
  switch (error) {
  case QPdfDocument::Error::FileNotFound:
    return "the file is not there";
  case QPdfDocument::Error::InvalidFileFormat:
    return "it is no PDF document, or a damaged one";
  case QPdfDocument::Error::IncorrectPassword:
  case QPdfDocument::Error::UnsupportedSecurityScheme:
    return "it is locked by a password; save an unlocked copy of it first";
  default:
    return "the PDF reader could not open it";
  }
}

std::string Number(double dValue) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", dValue);
  return text;
}

} // namespace

CPlanPdf::CPlanPdf(const std::string &strPath) : m_strPath(strPath), m_pDocument(std::make_unique<QPdfDocument>()) {
  const QPdfDocument::Error error = m_pDocument->load(QString::fromStdString(strPath));
  if (error != QPdfDocument::Error::None) {
    throw std::runtime_error("cannot read the PDF document \"" + strPath + "\": " + Reason(error));
  }
  if (m_pDocument->pageCount() < 1) {
    throw std::runtime_error("the PDF document \"" + strPath + "\" has no page");
  }
}

CPlanPdf::~CPlanPdf() = default;

int CPlanPdf::PageCount() const { return m_pDocument->pageCount(); }

QSize CPlanPdf::PixelSize(int nPage, double dDpi) const {
  const QSizeF points = m_pDocument->pagePointSize(nPage - 1);
  return {static_cast<int>(std::lround(points.width() * dDpi / POINTS_PER_INCH)),
          static_cast<int>(std::lround(points.height() * dDpi / POINTS_PER_INCH))};
}

void CPlanPdf::CheckPage(int nPage, double dDpi) const {
  if (nPage < 1 || nPage > PageCount()) {
    throw std::runtime_error("the PDF document \"" + m_strPath + "\" has no page " + std::to_string(nPage) +
                             ": its pages are 1 to " + std::to_string(PageCount()));
  }
  if (!(dDpi >= PLAN_MIN_DPI && dDpi <= PLAN_MAX_DPI)) {
    throw std::runtime_error("a PDF page is rendered at " + Number(PLAN_MIN_DPI) + " to " + Number(PLAN_MAX_DPI) +
                             " dots per inch, not " + Number(dDpi));
  }
  const QSizeF points = m_pDocument->pagePointSize(nPage - 1);
  const double dWidth = std::round(points.width() * dDpi / POINTS_PER_INCH);
  const double dHeight = std::round(points.height() * dDpi / POINTS_PER_INCH);
  if (const std::string problem =
          PlanSizeProblem(static_cast<uint64_t>(std::max(dWidth, 0.0)), static_cast<uint64_t>(std::max(dHeight, 0.0)));
      !problem.empty()) {
    throw std::runtime_error("cannot take page " + std::to_string(nPage) + " of \"" + m_strPath + "\" at " +
                             Number(dDpi) + " dots per inch as a floor plan: " + problem);
  }
}

QImage CPlanPdf::Render(int nPage, double dDpi) const {
  CheckPage(nPage, dDpi);
  const QSize size = PixelSize(nPage, dDpi);
  const QImage page = m_pDocument->render(nPage - 1, size);
  if (page.isNull()) {
    throw std::runtime_error("page " + std::to_string(nPage) + " of \"" + m_strPath + "\" could not be rendered");
  }
  QImage plan(page.size(), QImage::Format_RGB888);
  plan.fill(Qt::white);
  QPainter painter(&plan);
  painter.drawImage(0, 0, page);
  painter.end();
  return plan;
}
