// The view as the segment dialog's host: the survey session, the receiver's state and the plan's
// redrawing.
#include "app/TarvexCollectorView.h"

CSurveySession *CTarvexCollectorView::GetSession() { return &m_Session; }

bool CTarvexCollectorView::IsReceiverConnected() const { return m_bConnected; }

bool CTarvexCollectorView::IsReceiverConnecting() const { return m_bConnecting; }

void CTarvexCollectorView::ConnectReceiver() { ConnectSequence(); }

void CTarvexCollectorView::RedrawPlan() { viewport()->repaint(); }

void CTarvexCollectorView::WalkStateChanged() { RefreshWalkingState(); }
