#include "app/TarvexCollectorView.h"

#include "app/AlertBanner.h"
#include "app/Brackwell.h"
#include "platform/FileException.h"

// The receiver in view: the status pane's and the banner's connections to the view, and what a
// lost receiver ends.

void CTarvexCollectorView::SetUpReceiverStatus() {
  m_pAlertBanner = new CAlertBanner(this);
  m_pAlertBanner->SetArea(viewport());
  m_ReceiverStatus.SetBanner(m_pAlertBanner);
  m_ReceiverStatus.SetWalkProbe([this] {
    _walkprobe walk;
    walk.bWalking = m_Session.IsWalking();
    walk.nRecorded = m_Run.GetLevelsRecorded(1) + m_Run.GetLevelsRecorded(2);
    walk.nSegment = m_Session.Walk() != nullptr ? m_Session.Walk()->GetSegment() : 0;
    return walk;
  });
  m_ReceiverStatus.SetSecureLevels([this] { return SecureWalkedLevels(); });
}

void CTarvexCollectorView::EndLostConnection(const QString &strReason) {
  m_bConnected = false;
  // The worker keeps the dead device's handle until it is told to let go; the close is queued,
  // as this runs while a packet is handled. Without a worker there is nothing to let go.
  if (Link().IsWorkerRunning()) {
    Link().QueueCommand({USB_CLOSE, 0, nullptr});
  }
  m_ReceiverStatus.OnLost(strReason);
}

QString CTarvexCollectorView::SecureWalkedLevels() {
  if (!m_Session.IsWalking()) {
    return {};
  }
  try {
    m_Session.SiteData()->FlushSegmentLevels();
  } catch (const CFileException &error) {
    return QString::fromStdString(error.GetErrorMessage());
  }
  return {};
}
