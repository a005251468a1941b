// The receiver's packets on the GUI thread: taken from the link's queue one by one, each as a
// WM_RECEIVER_PACKET event, and handed to the survey session, which decodes each once.
#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/Brackwell.h"
#include "app/FreedMemory.h"
#include "app/MainFrame.h"
#include "dialogs/Prompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QStatusBar>

namespace {

// How long one turn of the event loop handles packets before the window repaints and answers
// the operator; the packets left wait for the next turn.
constexpr qint64 PACKET_TURN_MS = 20;

const char *const TEXT_SURVEY_NOT_WRITTEN =
    "%1\n\nThe levels are kept in memory and written to the survey as soon as it can be written again: make room "
    "on its disk or check the disk. This message is not shown again until then.";
const char *const TEXT_SURVEY_WRITTEN_AGAIN = "The survey is written again: the levels kept in memory are in it.";

} // namespace

_collectioncallbacks CTarvexCollectorView::RunCallbacks() {
  _collectioncallbacks callbacks;
  // Queued, never waited for: the packet's handling goes on at once, and a command that cannot
  // be written comes back through the link's queue with its reason.
  callbacks.pfnSendCommand = [this](uint8_t nCode) {
    Link().QueueCommandByte(nCode);
    return true;
  };
  callbacks.pfnShowReceiverInfo = [this] { m_IntroDialog.show(); };
  callbacks.pfnSetInfoItem = [this](int nItem, const std::string &strText) {
    m_IntroDialog.SetDlgItemText(nItem, QString::fromStdString(strText));
  };
  // Shown once the packet is handled, so that the packets after it are not held up by the box.
  callbacks.pfnAlert = [this](const std::string &strText, const std::string &strCaption) {
    QueueAlert(QString::fromStdString(strText), QString::fromStdString(strCaption), PROMPT_ICON_NONE);
  };
  callbacks.pfnShowChannelFrequencies = [this](const uint32_t *pCodes, int nCount) {
    m_SegmentDialog.ShowChannelFrequencies(pCodes, nCount);
  };
  return callbacks;
}

void CTarvexCollectorView::ListenToSession() {
  _sessionlistener listener;
  listener.pfnMessage = [this](const ReceiverMessage &message) { m_ReceiverStatus.OnMessage(message); };
  // The walk's levels, which the coverage kept until STOP, are freed by the time the events now
  // queued are handled: then the memory they took goes back to the system.
  listener.pfnStopped = [this](const _sessionlistener::_stopped &) {
    QMetaObject::invokeMethod(
        this, [] { GiveBackFreedMemory(); }, Qt::QueuedConnection);
  };
  m_Session.AddListener(std::move(listener));
}

bool CTarvexCollectorView::event(QEvent *pEvent) {
  if (pEvent->type() == CBrackwell::WakeEventType()) {
    HandleWaitingPackets();
    return true;
  }
  if (pEvent->type() == WM_RECEIVER_PACKET) {
    OnReceiverPacket(static_cast<CReceiverPacketEvent *>(pEvent));
    return true;
  }
  return QAbstractScrollArea::event(pEvent);
}

// Packets are handled one at a time, in the order the receiver sent them. While one is being
// handled, or during the wait after the connection dialog, the others stay in the link's queue:
// a nested event loop (a modal box, a dialog) cannot start a second packet inside the first.
// Each packet goes to the view as an event of its own, so that an event filter on the view sees
// every one.
void CTarvexCollectorView::HandleWaitingPackets() {
  CBrackwell &link = Link();
  if (m_bHandlingPacket || m_bConnecting || link.GetTarget() != this) {
    return;
  }
  link.AcknowledgeWake();
  QElapsedTimer turn;
  turn.start();
  while (std::unique_ptr<CReceiverPacketEvent> pEvent = link.TakePacketEvent()) {
    {
      m_bHandlingPacket = true;
      const auto handled = qScopeGuard([this] { m_bHandlingPacket = false; });
      QCoreApplication::sendEvent(this, pEvent.get());
    }
    if (turn.elapsed() >= PACKET_TURN_MS) {
      link.WakeAgain();
      break;
    }
  }
  RefreshWalkingState();
}

// WM_RECEIVER_PACKET: one payload, the lost report, or a queued command that failed. The event
// owns what it carries and goes with it when the handling is done, whatever it held.
void CTarvexCollectorView::OnReceiverPacket(CReceiverPacketEvent *pEvent) {
  const _linkitem &item = pEvent->Item();
  if (item.nKind == LinkItemKind::lost) {
    OnReceiverLost(item.strReason);
    return;
  }
  if (item.nKind == LinkItemKind::commandFailed) {
    // A write the receiver did not get says so; the port's closing after a loss is not news.
    if (item.nCommand == USB_WRITE) {
      ShowStatus(QString::fromStdString(item.strReason));
    }
    return;
  }
  const _sessionresult handled =
      m_Session.OnReceiverPacket(pEvent->Payload(), pEvent->Length(), m_Session.ArrivalMs(item.arrived));
  if (!handled) {
    ReportSurveyFailure(QString::fromStdString(handled.strSentence));
    return;
  }
  // The levels that waited in memory are in the file once nothing waits any more.
  const CSiteData *pSurvey = m_Session.SiteData();
  if (m_bSurveyFailureShown && (pSurvey == nullptr || pSurvey->GetWaitingRecordCount() == 0)) {
    m_bSurveyFailureShown = false;
    ShowStatus(QString::fromUtf8(TEXT_SURVEY_WRITTEN_AGAIN));
  }
}

void CTarvexCollectorView::OnReceiverLost(const std::string &strReason) {
  m_strLostReason = QString::fromStdString(strReason);
  ShowStatus(m_strLostReason);
  EndLostConnection(m_strLostReason); // the connection is over: Connect and BEGIN connect anew
  UpdateCommandStates();
  emit ConnectionStateChanged();
  emit ReceiverLost(m_strLostReason);
}

// The survey could not be written during a packet (a full disk): what it holds waits in memory
// for the next write. The operator is told once, and again only after a write has succeeded.
void CTarvexCollectorView::ReportSurveyFailure(const QString &strWhy) {
  ShowStatus(strWhy);
  if (m_bSurveyFailureShown) {
    return;
  }
  m_bSurveyFailureShown = true;
  QueueAlert(QString::fromUtf8(TEXT_SURVEY_NOT_WRITTEN).arg(strWhy), QString::fromUtf8(APP_TITLE), PROMPT_ICON_WARNING);
}

// An alert already waiting to be shown is not queued twice.
void CTarvexCollectorView::QueueAlert(const QString &strText, const QString &strCaption, int nIcon) {
  for (const _pendingalert &alert : m_PendingAlerts) {
    if (alert.strText == strText && alert.strCaption == strCaption) {
      return;
    }
  }
  m_PendingAlerts.push_back({strText, strCaption, nIcon});
  if (!m_bAlertScheduled) {
    m_bAlertScheduled = true;
    QMetaObject::invokeMethod(this, &CTarvexCollectorView::ShowPendingAlerts, Qt::QueuedConnection);
  }
}

// One box after the other. Packets go on being handled while a box waits for the operator.
void CTarvexCollectorView::ShowPendingAlerts() {
  m_bAlertScheduled = false;
  if (m_bShowingAlert) {
    return; // the box on screen is followed by the rest
  }
  m_bShowingAlert = true;
  const auto shown = qScopeGuard([this] { m_bShowingAlert = false; });
  while (!m_PendingAlerts.empty()) {
    const _pendingalert alert = m_PendingAlerts.front();
    m_PendingAlerts.pop_front();
    PromptMessage(this, alert.strText, alert.strCaption, PROMPT_OK, static_cast<PromptIcon>(alert.nIcon));
  }
}

// After BEGIN or STOP: the commands that a walk disables follow it.
void CTarvexCollectorView::RefreshWalkingState() {
  if (IsWalkInProgress() != m_bWalkShownInCommands) {
    UpdateCommandStates();
  }
}

void CTarvexCollectorView::ShowStatus(const QString &strText) const {
  if (CMainFrame *pFrame = Frame()) {
    if (strText.isEmpty()) {
      pFrame->statusBar()->clearMessage();
    } else {
      pFrame->statusBar()->showMessage(strText);
    }
  }
}
