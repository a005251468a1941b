#include "app/ReceiverStatus.h"

#include "app/AlertBanner.h"
#include "link/ReceiverMessages.h"

#include <QLabel>

#include <algorithm>
#include <variant>

namespace {

// The pane, one short line.
const char *const PANE_NOT_CONNECTED = "Receiver not connected";
const char *const PANE_CONNECTING = "Connecting to the receiver…";
const char *const PANE_CONNECTED = "Receiver connected, not measuring";
// Short, so that the status bar's seven panes fit a 1280-pixel screen; the tool tip says it whole.
const char *const PANE_MEASURING_ONE = "Measuring";
const char *const PANE_MEASURING_TWO = "Measuring";
const char *const PANE_CHANNEL = "  %1: %2 %3/s";
const char *const PANE_LOST = "RECEIVER LOST: check cable and power";
const char *const PANE_QUIET = "No levels for %1 s: check MEASURE";

// The pane's details: its tool tip and accessible description.
const char *const DETAILS_CHANNEL = "Channel %1: last level %2, %3 levels per second.";
const char *const DETAILS_NOT_MEASURING = "No levels have come from the receiver for 3 seconds.";
// The link's lost report, a sentence without its capital and full stop, stands for itself; this
// when it says nothing.
const char *const DETAILS_LOST_UNKNOWN = "The receiver is lost";
const char *const DETAILS_QUIET = "No level has been recorded for %1 seconds while segment %2 is walked.";

// The banner over the plan.
const char *const ALERT_LOST =
    "%1.\n"
    "Check the USB cable and the receiver's power, then press Connect ! to connect it again.";
const char *const ALERT_QUIET = "No levels from the receiver for more than 3 seconds.\n"
                                "Check that the receiver is in measurement mode (press MEASURE on its front panel), "
                                "and check its USB cable and its power.";
const char *const ALERT_LEVELS_SAFE = "The levels of segment %1 collected so far are safe in the survey.";
const char *const ALERT_LEVELS_WAITING =
    "The levels of segment %1 collected so far could not be written yet (%2); they are kept, and STOP ! writes them.";

QString Text(const char *pszText) { return QString::fromUtf8(pszText); }

// The link's reason as a sentence of its own, without its full stop.
QString LostSentence(const std::string &strReason) {
  QString strSentence = QString::fromStdString(strReason).trimmed();
  while (strSentence.endsWith(QLatin1Char('.'))) {
    strSentence.chop(1);
  }
  if (strSentence.isEmpty()) {
    return Text(DETAILS_LOST_UNKNOWN);
  }
  strSentence[0] = strSentence[0].toUpper();
  return strSentence;
}

} // namespace

CReceiverStatus::CReceiverStatus(QObject *pParent) : QObject(pParent), m_pWatch(std::make_unique<CReceiverWatch>()) {
  m_Timer.setInterval(REFRESH_MS);
  connect(&m_Timer, &QTimer::timeout, this, &CReceiverStatus::Refresh);
  m_Timer.start();
  m_strPane = Text(PANE_NOT_CONNECTED);
}

CReceiverStatus::~CReceiverStatus() = default;

void CReceiverStatus::UseClock(CWaitClock &clock) {
  m_pWatch = std::make_unique<CReceiverWatch>(clock);
  Refresh();
}

// The pane is made as wide as the widest text it shows, so that changing levels and rates never
// move the panes beside it.
void CReceiverStatus::SetPane(QLabel *pPane) {
  m_pPane = pPane;
  if (m_pPane != nullptr) {
    const QString strWidest = Text(PANE_MEASURING_TWO) + Text(PANE_CHANNEL).arg(1).arg(-128).arg(1000) +
                              Text(PANE_CHANNEL).arg(2).arg(-128).arg(1000);
    const int nWidth =
        m_pPane->fontMetrics().horizontalAdvance(strWidest) + 2 * (m_pPane->frameWidth() + m_pPane->margin());
    m_pPane->setMinimumWidth(std::max(m_pPane->minimumWidth(), nWidth));
  }
  Refresh();
}

void CReceiverStatus::SetBanner(CAlertBanner *pBanner) {
  m_pBanner = pBanner;
  Refresh();
}

void CReceiverStatus::SetWalkProbe(std::function<_walkprobe()> pfnProbe) { m_pfnProbe = std::move(pfnProbe); }

void CReceiverStatus::SetSecureLevels(std::function<QString()> pfnSecure) { m_pfnSecure = std::move(pfnSecure); }

void CReceiverStatus::OnConnecting() {
  m_pWatch->OnConnecting();
  Refresh();
}

void CReceiverStatus::OnConnected() {
  m_pWatch->OnConnected();
  Refresh();
}

void CReceiverStatus::OnDisconnected() {
  m_pWatch->OnDisconnected();
  Refresh();
}

void CReceiverStatus::OnLost(const QString &strReason) {
  m_pWatch->OnLost(strReason.toStdString());
  Refresh();
}

void CReceiverStatus::OnLevels(int nChannel, uint32_t nCount, int nLastLevel) {
  m_pWatch->OnLevels(nChannel, nCount, nLastLevel);
}

void CReceiverStatus::OnMessage(const ReceiverMessage &message) {
  if (const auto *pLevels = std::get_if<LevelsMessage>(&message); pLevels != nullptr && !pLevels->levels.empty()) {
    OnLevels(pLevels->nChannel, static_cast<uint32_t>(pLevels->levels.size()), pLevels->levels.back());
  }
}

void CReceiverStatus::Refresh() {
  const _walkprobe walk = m_pfnProbe ? m_pfnProbe() : _walkprobe{};
  m_pWatch->Follow(walk.bWalking, walk.nRecorded);
  const _receiverview view = m_pWatch->View();
  ShowAlert(view, walk);
  ShowPane(view, walk);
}

void CReceiverStatus::ShowPane(const _receiverview &view, const _walkprobe &walk) {
  QString strPane;
  QString strDetails;
  const auto nQuietSeconds = static_cast<int>(view.quiet.count() / 1000);
  if (view.nAlert == ReceiverAlert::lost) {
    strPane = Text(PANE_LOST);
    strDetails = LostSentence(view.strLostReason) + QLatin1Char('.');
  } else if (view.nAlert == ReceiverAlert::stalled) {
    strPane = Text(PANE_QUIET).arg(nQuietSeconds);
    strDetails = Text(DETAILS_QUIET).arg(nQuietSeconds).arg(walk.nSegment);
  } else if (view.nState == ReceiverState::notConnected) {
    strPane = Text(PANE_NOT_CONNECTED);
  } else if (view.nState == ReceiverState::connecting) {
    strPane = Text(PANE_CONNECTING);
  } else if (view.nMeasuring == 0) {
    strPane = Text(PANE_CONNECTED);
    strDetails = Text(DETAILS_NOT_MEASURING);
  } else {
    strPane = Text(view.nMeasuring == 1 ? PANE_MEASURING_ONE : PANE_MEASURING_TWO);
    for (int i = 0; i < 2; ++i) {
      const _channelview &channel = view.channels[static_cast<size_t>(i)];
      if (channel.bMeasuring) {
        strPane += Text(PANE_CHANNEL).arg(i + 1).arg(channel.nLastLevel).arg(channel.nRate);
        strDetails += (strDetails.isEmpty() ? QString() : QStringLiteral(" ")) +
                      Text(DETAILS_CHANNEL).arg(i + 1).arg(channel.nLastLevel).arg(channel.nRate);
      }
    }
  }
  const bool bChanged = strPane != m_strPane;
  m_strPane = strPane;
  m_strDetails = strDetails.isEmpty() ? strPane : strDetails;
  if (m_pPane == nullptr) {
    return;
  }
  // The pane keeps the text of the pane table (with its blanks) until there is news.
  if (bChanged) {
    m_pPane->setText(m_strPane);
  }
  if (m_pPane->toolTip() != m_strDetails) {
    m_pPane->setToolTip(m_strDetails);
    m_pPane->setAccessibleDescription(m_strDetails);
  }
}

// The banner: shown as an alert begins, with the levels of a walk secured first, and gone as it
// ends. Its text stays as it was composed for as long as the alert lasts.
void CReceiverStatus::ShowAlert(const _receiverview &view, const _walkprobe &walk) {
  if (view.nAlert != m_nAlert) {
    m_nAlert = view.nAlert;
    m_bAlertDuringWalk = view.nAlert != ReceiverAlert::none && walk.bWalking;
    m_nAlertSegment = walk.nSegment;
    m_strSecureFailure.clear();
    if (m_bAlertDuringWalk && m_pfnSecure) {
      m_strSecureFailure = m_pfnSecure();
    }
    m_strAlert = m_nAlert == ReceiverAlert::none ? QString() : AlertSentence(view);
  }
  if (m_pBanner == nullptr) {
    return;
  }
  if (m_strAlert.isEmpty()) {
    m_pBanner->HideAlert();
  } else if (m_pBanner->Text() != m_strAlert) {
    m_pBanner->ShowAlert(m_strAlert);
  }
}

QString CReceiverStatus::AlertSentence(const _receiverview &view) const {
  QString strText =
      view.nAlert == ReceiverAlert::lost ? Text(ALERT_LOST).arg(LostSentence(view.strLostReason)) : Text(ALERT_QUIET);
  if (m_bAlertDuringWalk) {
    strText += QLatin1Char('\n') + (m_strSecureFailure.isEmpty()
                                        ? Text(ALERT_LEVELS_SAFE).arg(m_nAlertSegment)
                                        : Text(ALERT_LEVELS_WAITING).arg(m_nAlertSegment).arg(m_strSecureFailure));
  }
  return strText;
}
