#include "app/TarvexCollectorView.h"

#include <QScrollBar>

#include <algorithm>

// After a change of the window onto the plan: the scroll bars' ranges follow the size of the part
// of the plan shown, and their boxes the window's centre.
void CTarvexCollectorView::UpdateScrollBars() {
  const _planrect &view = m_SitePlan.m_rcView;
  m_nWindowWidth = view.right - view.left;
  m_nWindowHeight = view.bottom - view.top;
  verticalScrollBar()->setRange(0, std::max(0, m_nBitmapHeight - m_nWindowHeight));
  horizontalScrollBar()->setRange(0, std::max(0, m_nBitmapWidth - m_nWindowWidth));
  verticalScrollBar()->setValue(m_SitePlan.m_ptCentre.y);
  horizontalScrollBar()->setValue(m_SitePlan.m_ptCentre.x);
}
