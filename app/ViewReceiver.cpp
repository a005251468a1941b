#include "app/TarvexCollectorView.h"

#include "app/AlertBanner.h"
#include "platform/FileException.h"

// The receiver in view: the status pane's and the banner's connections to the view, and what a
// lost receiver ends.

void CTarvexCollectorView::SetUpReceiverStatus() {
  m_pAlertBanner = new CAlertBanner(this);
  m_pAlertBanner->SetArea(viewport());
  m_ReceiverStatus.SetBanner(m_pAlertBanner);
  m_ReceiverStatus.SetWalkProbe([this] {
    _walkprobe walk;
    walk.bWalking = m_pWalk != nullptr && m_pWalk->IsWalking();
    walk.nRecorded = m_Run.GetLevelsRecorded(1) + m_Run.GetLevelsRecorded(2);
    walk.nSegment = m_pWalk != nullptr ? m_pWalk->GetSegment() : 0;
    return walk;
  });
  m_ReceiverStatus.SetSecureLevels([this] { return SecureWalkedLevels(); });
}

void CTarvexCollectorView::EndLostConnection(const QString &strReason) {
  m_bConnected = false;
  // The worker keeps the dead device's handle until it is told to let go. Failing (no device
  // open any more) changes nothing; without a worker there is nothing to let go.
  CBrackwell &link = m_ConnectionDialog.m_Link;
  if (link.IsWorkerRunning()) {
    const _usbcommand close{USB_CLOSE, 0, nullptr};
    std::string strWhy;
    (void)link.PostCommand(close, &strWhy);
  }
  m_ReceiverStatus.OnLost(strReason);
}

QString CTarvexCollectorView::SecureWalkedLevels() {
  if (m_pSiteData == nullptr || m_pWalk == nullptr || !m_pWalk->IsWalking()) {
    return {};
  }
  try {
    m_pSiteData->FlushSegmentLevels();
  } catch (const CFileException &error) {
    return QString::fromStdString(error.GetErrorMessage());
  }
  return {};
}
