#pragma once

#include <QSize>

#include <memory>
#include <string>

class QImage;
class QPdfDocument;

// A PDF floor plan: its pages, and each rendered at a chosen resolution. Rendering asks for the
// page's size first, so a page too large to hold at that resolution is refused before anything
// is allocated for it.
class CPlanPdf {
public:
  // Opens the document. Raises std::runtime_error naming the file and the reason when it cannot
  // be read, is no PDF document, is locked by a password or has no page.
  explicit CPlanPdf(const std::string &strPath);
  ~CPlanPdf();
  CPlanPdf(const CPlanPdf &) = delete;
  CPlanPdf &operator=(const CPlanPdf &) = delete;

  int PageCount() const;
  // The size in pixels of page nPage (from 1) rendered at dDpi dots per inch, each side rounded.
  QSize PixelSize(int nPage, double dDpi) const;
  // The page on white, RGB888. Raises std::runtime_error naming the file for a page it does not
  // have, a resolution out of range or a plan too large (PlanSizeProblem).
  QImage Render(int nPage, double dDpi) const;

private:
  void CheckPage(int nPage, double dDpi) const;

  std::string m_strPath;
  std::unique_ptr<QPdfDocument> m_pDocument;
};
