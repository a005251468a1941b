#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "dialogs/Prompts.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <cmath>

namespace {

const char *const PRINT_TITLE = "Projection: %1    Survey: %2    %3";
const char *const PRINT_NO_FILE = "none";
const char *const TEXT_PRINT_FAILED = "The view could not be printed on \"%1\".";
constexpr int PRINT_TITLE_POINT_SIZE = 10;
// Space between the title line and the view, in lines of the title's font.
constexpr double PRINT_TITLE_GAP = 0.5;

QString FileNameOf(const std::string &strPath) { return QFileInfo(QString::fromStdString(strPath)).fileName(); }

} // namespace

QString CTarvexCollectorView::PrintTitle(const QDate &date) const {
  const QString strProjection =
      m_Run.m_bProjectionLoaded ? FileNameOf(m_Projection.m_strPath) : QString::fromUtf8(PRINT_NO_FILE);
  const CSiteData *pSurvey = m_Session.SiteData();
  const QString strSurvey = pSurvey != nullptr ? FileNameOf(pSurvey->m_strPath) : QString::fromUtf8(PRINT_NO_FILE);
  return QString::fromUtf8(PRINT_TITLE).arg(strProjection, strSurvey, date.toString(Qt::ISODate));
}

// The view as it is drawn, cut to the part that shows the plan (the whole view without one).
QImage CTarvexCollectorView::PrintPicture() {
  const QImage view = RenderView();
  if (view.isNull() || !m_Run.m_bProjectionLoaded || m_PlanBitmap.isNull()) {
    return view;
  }
  const _pixelrect plan = m_SitePlan.VisibleDestination();
  const qreal dRatio = view.devicePixelRatio();
  const QRect rcPlan =
      QRect(QPoint(static_cast<int>(std::floor(plan.left * dRatio)), static_cast<int>(std::floor(plan.top * dRatio))),
            QPoint(static_cast<int>(std::ceil(plan.right * dRatio)) - 1,
                   static_cast<int>(std::ceil(plan.bottom * dRatio)) - 1))
          .intersected(view.rect());
  return rcPlan.isEmpty() ? view : view.copy(rcPlan);
}

// The plan part's own proportions, in plan pixels: Fit to Display stretches the plan to the
// client area, the page does not. The picture's own without a plan.
QSizeF CTarvexCollectorView::PrintProportions(const QImage &picture) const {
  if (m_Run.m_bProjectionLoaded && !m_PlanBitmap.isNull()) {
    const _pixelrect source = m_SitePlan.VisibleSource();
    if (source.right > source.left && source.bottom > source.top) {
      return {static_cast<qreal>(source.right - source.left), static_cast<qreal>(source.bottom - source.top)};
    }
  }
  return picture.size();
}

QPageLayout::Orientation CTarvexCollectorView::PrintOrientation() {
  const QSizeF size = PrintProportions(PrintPicture());
  return size.width() > size.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// The title line at the top of the page, and the plan as the view shows it below it, as large as
// the page allows with the plan's own proportions.
bool CTarvexCollectorView::PrintView(QPrinter &printer) {
  const QImage picture = PrintPicture();
  const QString strTitle = PrintTitle(QDate::currentDate());
  printer.setDocName(strTitle);
  QPainter painter;
  if (!painter.begin(&printer)) {
    const QString strWhere =
        printer.outputFileName().isEmpty() ? printer.printerName() : QDir::toNativeSeparators(printer.outputFileName());
    PromptMessage(this, QString::fromUtf8(TEXT_PRINT_FAILED).arg(strWhere), QString::fromUtf8(APP_TITLE), PROMPT_OK,
                  PROMPT_ICON_WARNING);
    return false;
  }
  const QRect rcPage = painter.viewport();
  QFont font = painter.font();
  font.setPointSize(PRINT_TITLE_POINT_SIZE);
  painter.setFont(font);
  const int nLine = painter.fontMetrics().height();
  const QRect rcTitle(rcPage.left(), rcPage.top(), rcPage.width(), nLine);
  painter.drawText(rcTitle, Qt::AlignLeft | Qt::AlignVCenter, strTitle);
  if (!picture.isNull()) {
    const QRect rcRoom = rcPage.adjusted(0, nLine + static_cast<int>(nLine * PRINT_TITLE_GAP), 0, 0);
    const QSizeF size = PrintProportions(picture).scaled(QSizeF(rcRoom.size()), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(rcRoom.topLeft(), size), picture);
  }
  return painter.end();
}

// The page is offered in the orientation that fits the plan best; the operator may choose the
// other in the dialogs.
void CTarvexCollectorView::OnFilePrint() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(PrintOrientation());
  QPrintDialog dialog(&printer, this);
  if (PromptModal(dialog) == QDialog::Accepted) {
    PrintView(printer);
  }
}

void CTarvexCollectorView::OnFilePrintPreview() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(PrintOrientation());
  QPrintPreviewDialog dialog(&printer, this);
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *pPrinter) { PrintView(*pPrinter); });
  PromptModal(dialog);
}
