// The view as the segment dialog's host: the walk and the survey it walks, the receiver's state
// and the plan's redrawing.
#include "app/TarvexCollectorView.h"

CSegmentWalk *CTarvexCollectorView::GetWalk() const { return m_pWalk.get(); }

CSiteData *CTarvexCollectorView::GetSiteData() const { return m_pSiteData.get(); }

bool CTarvexCollectorView::IsReceiverConnected() const { return m_bConnected; }

bool CTarvexCollectorView::IsReceiverConnecting() const { return m_bConnecting; }

void CTarvexCollectorView::ConnectReceiver() { ConnectSequence(); }

bool CTarvexCollectorView::IsMeasurementModeOn() const { return m_Run.m_bMeasurementModeOn; }

bool CTarvexCollectorView::HasChannelsToRecord() const {
  return m_pSiteData != nullptr && m_pSiteData->GetChannelCount() > 0 &&
         (m_Run.IsChannelValid(1) || m_Run.IsChannelValid(2));
}

void CTarvexCollectorView::RedrawPlan() { viewport()->repaint(); }

void CTarvexCollectorView::WalkStateChanged() { RefreshWalkingState(); }
