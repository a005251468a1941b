#include "dialogs/SegmentDetailsDialog.h"

#include "coverage/CoverageSettings.h"
#include "dialogs/LevelProfileView.h"
#include "dialogs/Prompts.h"
#include "quality/SurveyQuality.h"

#include "ui_SegmentDetailsDialog.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QLabel>
#include <QLayout>

#include <cmath>

namespace {

const char *const FORMAT_LENGTH = "%1 m";
const char *const FORMAT_WALKED = "%1 to %2 (%3 s)";
const char *const FORMAT_SPEED = "%1 m/s";
const char *const FORMAT_CHANNEL_LEVELS = "channel %1: %2";
const char *const ICON_PATH = ":/icons/dialog/140.svg";
// The warning colour of a flagged segment's findings, as the segment dialog's check line.
constexpr QRgb FLAGGED_COLOUR = 0xB04A00;
// The profile's bins: the coverage's along-track stretch.
constexpr double PROFILE_BIN_METRES = _coveragesettings{}.dBinMetres;

// A local wall-clock time of the survey file (milliseconds since 1970 on the local clock).
QDateTime WallClock(int64_t nMs) { return QDateTime::fromMSecsSinceEpoch(nMs, Qt::UTC); }

// The track of the segment's line, its length the true length the checks give it.
_track TrackOf(const _segmentheader &header, const _segmentfacts &facts) {
  const double dPixels = std::hypot(double(header.nStopX) - header.nStartX, double(header.nStopY) - header.nStartY);
  const double dScale = facts.bLength && dPixels > 0 ? facts.dLengthM / dPixels : 1.0;
  _planmetric metric;
  metric.dG11 = dScale * dScale;
  metric.dG22 = dScale * dScale;
  return MakeTrack(header.nStartX, header.nStartY, header.nStopX, header.nStopY, metric, PROFILE_BIN_METRES);
}

} // namespace

CSegmentDetailsDialog::CSegmentDetailsDialog(QWidget *pParent, CSurveySession *pSession, CSurveyQuality *pQuality)
    : CDialogBase(pParent), m_pSession(pSession), m_pQuality(pQuality),
      m_pUi(std::make_unique<Ui::SegmentDetailsDialog>()) {
  m_pUi->setupUi(this);
  setWindowIcon(LoadIcon(QString::fromLatin1(ICON_PATH)));
  QFont title = GetDlgItem(IDC_DETAILS_TITLE)->font();
  title.setBold(true);
  GetDlgItem(IDC_DETAILS_TITLE)->setFont(title);
  FitButtonToTexts(IDC_EXCLUDE, {QString::fromLatin1(TEXT_EXCLUDE), QString::fromLatin1(TEXT_INCLUDE)});
  connect(DlgButton(IDC_WALK_AGAIN), &QAbstractButton::clicked, this, &CSegmentDetailsDialog::OnWalkAgain);
  connect(DlgButton(IDC_EXCLUDE), &QAbstractButton::clicked, this, &CSegmentDetailsDialog::OnExclude);
  ShowNothing(QString::fromLatin1(TEXT_NO_SEGMENT));
}

CSegmentDetailsDialog::~CSegmentDetailsDialog() = default;

CLevelProfileView &CSegmentDetailsDialog::ProfileView() const {
  return *GetDlgItemAs<CLevelProfileView>(IDC_DETAILS_PROFILE);
}

void CSegmentDetailsDialog::ShowSegment(int32_t nSegment) {
  m_nSegment = nSegment;
  const _segmentquality *pChecks =
      m_pQuality != nullptr && nSegment > 0 ? m_pQuality->Checks(static_cast<uint32_t>(nSegment)) : nullptr;
  if (pChecks == nullptr) {
    ShowNothing(nSegment > 0 ? QString::fromLatin1(TEXT_NOT_WALKED).arg(nSegment)
                             : QString::fromLatin1(TEXT_NO_SEGMENT));
    return;
  }
  const auto n = static_cast<uint32_t>(nSegment);
  SetDlgItemText(IDC_DETAILS_TITLE, Title(n, *pChecks));
  ShowFacts(*pChecks);
  ShowChecks(*pChecks);
  ShowProfile(n, *pChecks);
  const SegmentStanding standing = m_pQuality->Standing(n);
  const bool bWalking = m_pSession != nullptr && m_pSession->IsWalking();
  EnableDlgItem(IDC_WALK_AGAIN, !bWalking && standing != SegmentStanding::replaced);
  EnableDlgItem(IDC_EXCLUDE, true);
  SetDlgItemText(IDC_EXCLUDE, QString::fromLatin1(standing == SegmentStanding::excluded ? TEXT_INCLUDE : TEXT_EXCLUDE));
  GrowToText();
}

void CSegmentDetailsDialog::GrowToText() {
  // The findings wrap: at the dialog's width they may need more lines than it has room for.
  if (layout() != nullptr && layout()->hasHeightForWidth()) {
    layout()->activate();
    const int nHeight = layout()->totalHeightForWidth(width());
    if (nHeight > height()) {
      resize(width(), nHeight);
    }
  }
}

void CSegmentDetailsDialog::ShowNothing(const QString &strTitle) {
  SetDlgItemText(IDC_DETAILS_TITLE, strTitle);
  for (const int nId :
       {IDC_DETAILS_LENGTH, IDC_DETAILS_WALKED, IDC_DETAILS_SPEED, IDC_DETAILS_LEVELS, IDC_DETAILS_CHECKS}) {
    SetDlgItemText(nId, QString::fromLatin1(TEXT_NA));
  }
  GetDlgItem(IDC_DETAILS_CHECKS)->setPalette(palette());
  ProfileView().SetProfile({});
  EnableDlgItem(IDC_WALK_AGAIN, false);
  EnableDlgItem(IDC_EXCLUDE, false);
  SetDlgItemText(IDC_EXCLUDE, QString::fromLatin1(TEXT_EXCLUDE));
}

QString CSegmentDetailsDialog::Title(uint32_t nSegment, const _segmentquality &checks) const {
  switch (m_pQuality->Standing(nSegment)) {
  case SegmentStanding::replaced:
    return QString::fromLatin1(TEXT_REPLACED).arg(nSegment).arg(m_pQuality->Record().entries.at(nSegment).nReplacedBy);
  case SegmentStanding::excluded:
    return QString::fromLatin1(TEXT_EXCLUDED).arg(nSegment);
  default:
    return QString::fromLatin1(checks.Passed() ? TEXT_PASSED : TEXT_FLAGGED).arg(nSegment);
  }
}

void CSegmentDetailsDialog::ShowFacts(const _segmentquality &checks) {
  const _segmentfacts &facts = checks.facts;
  SetDlgItemText(IDC_DETAILS_LENGTH, facts.bLength ? QString::fromLatin1(FORMAT_LENGTH).arg(facts.dLengthM, 0, 'f', 1)
                                                   : QString::fromStdString(facts.strNoLength));
  const _segmenttiming &timing = facts.timing;
  if (timing.bTimed) {
    const QDateTime start = WallClock(timing.nStartMs);
    const QDateTime stop = WallClock(timing.nStartMs + timing.nDurationMs);
    SetDlgItemText(IDC_DETAILS_WALKED, QString::fromLatin1(FORMAT_WALKED)
                                           .arg(start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                                stop.toString(QStringLiteral("HH:mm:ss")))
                                           .arg(facts.Seconds(), 0, 'f', 0));
  } else {
    SetDlgItemText(IDC_DETAILS_WALKED, QString::fromStdString(timing.strNote));
  }
  const bool bSpeed = facts.bLength && timing.bTimed && timing.nDurationMs > 0;
  SetDlgItemText(IDC_DETAILS_SPEED,
                 bSpeed ? QString::fromLatin1(FORMAT_SPEED).arg(facts.dLengthM / facts.Seconds(), 0, 'f', 2)
                        : QString::fromLatin1(TEXT_NA));
  QStringList levels;
  for (const auto &[nChannel, nCount] : facts.counts) {
    levels.append(QString::fromLatin1(FORMAT_CHANNEL_LEVELS).arg(nChannel).arg(nCount));
  }
  SetDlgItemText(IDC_DETAILS_LEVELS, levels.isEmpty() ? QStringLiteral("0") : levels.join(QStringLiteral(", ")));
}

void CSegmentDetailsDialog::ShowChecks(const _segmentquality &checks) {
  QStringList lines;
  for (const _qualityfinding &finding : checks.findings) {
    lines.append(QString::fromStdString(finding.strReason));
  }
  if (lines.isEmpty()) {
    lines.append(QString::fromLatin1(TEXT_PASSED_CHECKS));
  }
  for (const _skippedcheck &skipped : checks.skipped) {
    lines.append(QString::fromLatin1(TEXT_NOT_CHECKED)
                     .arg(QString::fromLatin1(QualityCheckName(skipped.check)) + QStringLiteral(" (") +
                          QString::fromStdString(skipped.strWhy) + QLatin1Char(')')));
  }
  QWidget *pChecks = GetDlgItem(IDC_DETAILS_CHECKS);
  QPalette colours = palette();
  if (!checks.Passed()) {
    colours.setColor(QPalette::WindowText, QColor::fromRgb(FLAGGED_COLOUR));
  }
  pChecks->setPalette(colours);
  SetDlgItemText(IDC_DETAILS_CHECKS, lines.join(QLatin1Char('\n')));
}

void CSegmentDetailsDialog::ShowProfile(uint32_t nSegment, const _segmentquality &checks) {
  const _surveysegmententry &segment = m_pQuality->Contents().segments.at(nSegment - 1);
  std::map<uint16_t, std::vector<_walkspan>> gaps;
  if (const _walkgaps *pWalk = m_pQuality->Record().Walk(nSegment)) {
    for (const _walkgap &gap : pWalk->gaps) {
      const double dFrom = pWalk->StartFraction(gap);
      gaps[gap.nChannel].push_back({dFrom, dFrom + pWalk->Share(gap)});
    }
  }
  ProfileView().SetProfile(SegmentProfile(segment, TrackOf(segment.header, checks.facts), gaps));
}

void CSegmentDetailsDialog::OnWalkAgain() {
  if (m_nSegment > 0) {
    emit WalkAgainRequested(static_cast<uint32_t>(m_nSegment));
  }
}

void CSegmentDetailsDialog::OnExclude() {
  if (m_pQuality == nullptr || m_nSegment <= 0) {
    return;
  }
  const auto n = static_cast<uint32_t>(m_nSegment);
  const bool bExclude = m_pQuality->Standing(n) != SegmentStanding::excluded;
  if (const std::string strProblem = m_pQuality->SetExcluded(n, bExclude); !strProblem.empty()) {
    PromptMessage(this, QString::fromStdString(strProblem), QString::fromUtf8(APP_TITLE), PROMPT_OK,
                  PROMPT_ICON_WARNING);
  }
  ShowSegment(m_nSegment); // the quality's change has redrawn the plan; the dialog follows too
}
