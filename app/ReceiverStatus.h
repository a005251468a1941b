#pragma once

#include "link/ReceiverMessages.h"
#include "survey/ReceiverWatch.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class CAlertBanner;
class QLabel;

// The walk as the receiver status reads it at each refresh.
struct _walkprobe {
  bool bWalking = false;  // a segment is walked (BEGIN until STOP)
  uint64_t nRecorded = 0; // levels recorded in the survey so far, any running total
  int32_t nSegment = 0;   // the segment walked
};

// The receiver in view: a status-bar pane with the receiver's state (not connected, connecting,
// connected, measuring N channels with each channel's last level and levels per second, lost)
// and, when the receiver is lost or no level has been recorded for 3 s while a segment is
// walked, a banner over the plan that says what to check. The pane is refreshed a few times a
// second by a timer; a connection event or a lost receiver is shown at once.
//
// The view calls the On... entry points as things happen: the connect flow OnConnecting,
// OnConnected and OnDisconnected; the survey session OnMessage for every message it decoded, and
// the packet handling OnLost for the link's lost report. Everything it decides is in
// CReceiverWatch.
class CReceiverStatus : public QObject {
  Q_OBJECT

public:
  // The refresh timer's interval.
  static constexpr int REFRESH_MS = 250;

  explicit CReceiverStatus(QObject *pParent = nullptr);
  ~CReceiverStatus() override;
  CReceiverStatus(const CReceiverStatus &) = delete;
  CReceiverStatus &operator=(const CReceiverStatus &) = delete;

  // Reads time from clock from now on, forgetting what was seen (tests drive it by hand).
  void UseClock(CWaitClock &clock);

  // Where it shows: the pane (its text, and the full sentence as its tool tip and accessible
  // description) and the banner. Either may be left unset.
  void SetPane(QLabel *pPane);
  void SetBanner(CAlertBanner *pBanner);
  // Where it looks: the walk, read at every refresh.
  void SetWalkProbe(std::function<_walkprobe()> pfnProbe);
  // Called once as an alert begins while a segment is walked: writes the levels of the segment
  // collected so far to the survey, and returns an empty string, or why they could not be
  // written (they then wait in memory for STOP).
  void SetSecureLevels(std::function<QString()> pfnSecure);

  // Entry points.
  void OnConnecting();
  void OnConnected();
  void OnDisconnected();
  void OnLost(const QString &strReason);
  void OnLevels(int nChannel, uint32_t nCount, int nLastLevel);
  // Any message of the receiver, decoded; level messages reach OnLevels, others are not looked at.
  void OnMessage(const ReceiverMessage &message);

  // Reads the walk and shows the pane and the banner as they stand now. The timer calls it.
  void Refresh();

  ReceiverState GetState() const { return m_pWatch->GetState(); }
  // What the last refresh showed: the pane's text and details, and the banner's text (empty
  // while no banner is shown).
  QString PaneText() const { return m_strPane; }
  QString PaneDetails() const { return m_strDetails; }
  QString AlertText() const { return m_strAlert; }

private:
  void ShowPane(const _receiverview &view, const _walkprobe &walk);
  void ShowAlert(const _receiverview &view, const _walkprobe &walk);
  QString AlertSentence(const _receiverview &view) const;

  std::unique_ptr<CReceiverWatch> m_pWatch;
  QTimer m_Timer;
  QPointer<QLabel> m_pPane;
  QPointer<CAlertBanner> m_pBanner;
  std::function<_walkprobe()> m_pfnProbe;
  std::function<QString()> m_pfnSecure;

  QString m_strPane;
  QString m_strDetails;
  QString m_strAlert;
  // The alert shown, and what was known as it began.
  ReceiverAlert m_nAlert = ReceiverAlert::none;
  bool m_bAlertDuringWalk = false;
  int32_t m_nAlertSegment = 0;
  QString m_strSecureFailure;
};
