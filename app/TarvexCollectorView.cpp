#include "app/TarvexCollectorView.h"

namespace {

// How screen readers and desktop automation name the view.
const char *const VIEW_ACCESSIBLE_NAME = "Site Plan";

} // namespace

CTarvexCollectorView::CTarvexCollectorView(QWidget *pParent)
    : QAbstractScrollArea(pParent), m_IntroDialog(this), m_SegmentDialog(this, this), m_DistanceDialog(this),
      m_ConnectionDialog(this) {
  setAccessibleName(QString::fromUtf8(VIEW_ACCESSIBLE_NAME));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  viewport()->setMouseTracking(true); // the status bar follows the pointer without a button held
}

// m_pWalk goes first, then m_pSiteData, writing what it still buffers; m_SitePlan, which it refers
// to, after.
CTarvexCollectorView::~CTarvexCollectorView() = default;
