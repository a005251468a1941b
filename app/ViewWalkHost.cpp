// The view as the segment dialog's host: the walk and the survey it walks, the receiver's state
// and the plan's redrawing.
#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "dialogs/Prompts.h"

namespace {

// BEGIN ! without a connected receiver, until the view has the Connect command's sequence.
const char *const TEXT_CONNECT_NOT_BUILT =
    "The receiver is not connected, and this build of the collector cannot connect it yet.";

} // namespace

CSegmentWalk *CTarvexCollectorView::GetWalk() const { return m_pWalk.get(); }

CSiteData *CTarvexCollectorView::GetSiteData() const { return m_pSiteData.get(); }

bool CTarvexCollectorView::IsReceiverConnected() const { return m_bConnected; }

// Not yet built: the Connect command's sequence, which runs without blocking the window, comes
// with the collection commands; until then no connection is ever being made.
bool CTarvexCollectorView::IsReceiverConnecting() const { return false; }

void CTarvexCollectorView::ConnectReceiver() {
  PromptMessage(this, QString::fromUtf8(TEXT_CONNECT_NOT_BUILT), QString::fromUtf8(APP_TITLE), PROMPT_OK,
                PROMPT_ICON_WARNING);
}

bool CTarvexCollectorView::IsMeasurementModeOn() const { return m_Run.m_bMeasurementModeOn; }

bool CTarvexCollectorView::HasChannelsToRecord() const {
  return m_pSiteData != nullptr && m_pSiteData->GetChannelCount() > 0 &&
         (m_Run.IsChannelValid(1) || m_Run.IsChannelValid(2));
}

void CTarvexCollectorView::RedrawPlan() { viewport()->repaint(); }
