#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/Brackwell.h"
#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "app/FileKinds.h"
#include "app/MainFrame.h"
#include "dialogs/ConnectionTerminationDialog.h"
#include "dialogs/Prompts.h"

#include <QAction>

#include <array>

namespace {

const char *const TEXT_CONNECTING = "Connecting to the receiver…";
// The prompt of a command a walk disables, and the answer to a file dropped or picked meanwhile.
const char *const TEXT_STOP_WALK_FIRST = "A segment is being walked: press STOP ! to end the walk first.";

// Enables command nId; one disabled by a walk says so in its prompt, the others show their own.
void SetCommandState(const CMainFrame &frame, int nId, bool bEnabled, bool bBlockedByWalk) {
  QAction *pAction = frame.Action(nId);
  if (pAction == nullptr) {
    return;
  }
  pAction->setEnabled(bEnabled);
  const _commanddef *pCommand = FindCommand(nId);
  pAction->setStatusTip(bBlockedByWalk ? QString::fromUtf8(TEXT_STOP_WALK_FIRST)
                                       : (pCommand != nullptr ? CommandPrompt(*pCommand) : QString()));
}

} // namespace

// The view's command map. Each collection command, zoom, fit, snapshot and Measure Distance
// joins it with its handler in the file of its concern. About is the frame's.
std::span<const CTarvexCollectorView::_commandroute> CTarvexCollectorView::CommandMap() {
  static const std::array<_commandroute, 17> routes{{
      {ID_FILE_SAVE, &CTarvexCollectorView::OnFileSave},
      {ID_CONNECT, &CTarvexCollectorView::OnConnect},
      {ID_FILE_OPENPROJECTION, &CTarvexCollectorView::OnOpenProjection},
      {ID_FILE_OPENCOLLECTION, &CTarvexCollectorView::OnOpenCollection},
      {ID_SHOW_SEGMENT, &CTarvexCollectorView::OnShowSegment},
      {ID_INSTRUCTIONS, &CTarvexCollectorView::OnInstructions},
      // The map: zoom, fit, Measure Distance, snapshot and printing (ViewScrolling.cpp,
      // ViewSnapshot.cpp, ViewPrinting.cpp).
      {ID_ZOOM_IN, &CTarvexCollectorView::OnZoomIn},
      {ID_ZOOM_OUT, &CTarvexCollectorView::OnZoomOut},
      {ID_FIT_TO_DISPLAY, &CTarvexCollectorView::OnFitToDisplay},
      {ID_MEASURE_DISTANCE, &CTarvexCollectorView::OnMeasureDistance},
      {ID_SNAPSHOT, &CTarvexCollectorView::OnSnapshot},
      {ID_FILE_PRINT, &CTarvexCollectorView::OnFilePrint},
      {ID_FILE_PRINT_PREVIEW, &CTarvexCollectorView::OnFilePrintPreview},
      // View > Coverage (ViewCoverage.cpp).
      {ID_COVERAGE_OFF, &CTarvexCollectorView::OnCoverageOff},
      {ID_COVERAGE_CHANNEL1, &CTarvexCollectorView::OnCoverageChannel1},
      {ID_COVERAGE_CHANNEL2, &CTarvexCollectorView::OnCoverageChannel2},
      {ID_COVERAGE_SETTINGS, &CTarvexCollectorView::OnCoverageSettings},
      // End of the map's commands.
  }};
  return routes;
}

void CTarvexCollectorView::OnFileSave() {}

void CTarvexCollectorView::OnConnect() {
  if (m_bConnecting) {
    return; // the wait after the connection dialog: the receiver is being connected
  }
  if (!m_bConnected) {
    ConnectSequence();
    return;
  }
  if (RefuseWhileWalking()) {
    return;
  }
  CConnectionTerminationDialog dialog(this);
  if (dialog.DoModal() != QDialog::Accepted) {
    return;
  }
  Link().PostCommand({USB_CLOSE, 0, nullptr}); // a failure ends the connection all the same
  m_bConnected = false;
  m_ReceiverStatus.OnDisconnected();
  UpdateCommandStates();
  emit ConnectionStateChanged();
}

void CTarvexCollectorView::ConnectSequence() {
  if (m_bConnecting || m_bConnected) {
    return;
  }
  Link().SetTarget(this, WM_RECEIVER_PACKET);
  if (m_ConnectionDialog.DoModal() != QDialog::Accepted) {
    return;
  }
  m_bConnecting = true;
  m_ReceiverStatus.OnConnecting();
  ShowStatus(QString::fromUtf8(TEXT_CONNECTING));
  UpdateCommandStates();
  emit ConnectionStateChanged();
  m_ConnectTimer.start();
}

// The first command, then the packets that came during the wait, in order.
void CTarvexCollectorView::OnConnectWaitOver() {
  Link().SendCommandByte(CMD_SERIAL_NUMBER); // a failed write is not reported
  m_bConnecting = false;
  m_bConnected = true;
  m_ReceiverStatus.OnConnected();
  ShowStatus({});
  UpdateCommandStates();
  emit ConnectionStateChanged();
  Link().WakeAgain();
}

void CTarvexCollectorView::OnShowSegment() {
  if (m_Run.m_bProjectionLoaded && m_Run.m_bCollectionOpen) {
    ShowSegmentDialog();
  }
}

void CTarvexCollectorView::ShowSegmentDialog() {
  m_SegmentDialog.show();
  m_SegmentDialog.raise();
  m_SegmentDialog.activateWindow();
}

// A new help dialog for each run.
void CTarvexCollectorView::OnInstructions() {
  CHelpDialog dialog(this);
  dialog.DoModal();
}

void CTarvexCollectorView::OpenFileByKind(int nKind, const QString &strPath) {
  if (RefuseWhileWalking()) {
    return;
  }
  if (nKind == FILE_KIND_PROJECTION) {
    OpenProjectionFile(strPath);
  } else if (nKind == FILE_KIND_SURVEY) {
    WarnIfMeasuring();
    OpenCollectionFile(strPath, CSiteData::modeOpenExisting);
    viewport()->update();
  }
}

bool CTarvexCollectorView::IsWalkInProgress() const { return m_Session.IsWalking(); }

bool CTarvexCollectorView::RefuseWhileWalking() {
  if (!IsWalkInProgress()) {
    return false;
  }
  PromptMessage(this, QString::fromUtf8(TEXT_STOP_WALK_FIRST), QString::fromUtf8(APP_TITLE), PROMPT_OK,
                PROMPT_ICON_WARNING);
  return true;
}

void CTarvexCollectorView::UpdateCommandStates() {
  const bool bWalking = IsWalkInProgress();
  m_bWalkShownInCommands = bWalking;
  const CMainFrame *pFrame = Frame();
  if (pFrame == nullptr) {
    return;
  }
  SetCommandState(*pFrame, ID_SHOW_SEGMENT, m_Run.m_bProjectionLoaded && m_Run.m_bCollectionOpen, false);
  SetCommandState(*pFrame, ID_CONNECT, !m_bConnecting && !(m_bConnected && bWalking), m_bConnected && bWalking);
  SetCommandState(*pFrame, ID_FILE_NEWPROJECTION, !bWalking, bWalking);
  SetCommandState(*pFrame, ID_FILE_OPENPROJECTION, !bWalking, bWalking);
  SetCommandState(*pFrame, ID_FILE_OPENCOLLECTION, !bWalking, bWalking);
  // The recent-file entries shown; the empty list's "Recent File" stays disabled.
  const auto nRecent = pFrame->RecentFiles().Files().size();
  for (int i = 0; i < CRecentFileList::RECENT_FILE_COUNT; ++i) {
    const bool bEntry = i < nRecent;
    SetCommandState(*pFrame, ID_FILE_RECENT1 + i, bEntry && !bWalking, bEntry && bWalking);
  }
  UpdateCoverageCommands();
  UpdateTitle(); // a projection loaded or forgotten, a survey opened or closed
}
