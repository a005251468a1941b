#include "dialogs/SegmentDataDialog.h"

#include "link/ReceiverConversions.h"
#include "projection/DistanceUnits.h"
#include "survey/SegmentWalk.h"

#include "ui_SegmentDataDialog.h"

#include <QLayout>
#include <QLineEdit>
#include <QPalette>

namespace {

constexpr const char *FREQUENCY_FORMAT = "%4.4f";
constexpr const char *TOTAL_FORMAT = "%.2f";
constexpr const char *DISTANCE_FORMAT = "%0.2f";
constexpr int NUMBER_WIDTH_DLU = 24;
constexpr int VALUE_WIDTH_DLU = 48;
// The red of the line that says a segment is not saved.
constexpr QRgb NOT_SAVED_COLOUR = 0xC00000;

constexpr int VALUE_BOXES[] = {IDC_SEGMENT_LENGTH,     IDC_SEGMENT_SECONDS, IDC_AVERAGE_SPEED, IDC_CHANNEL1_FREQUENCY,
                               IDC_CHANNEL2_FREQUENCY, IDC_TOTAL_DISTANCE,  IDC_SURVEY_SECONDS};

QString Frequency(uint32_t nCode) { return QString::asprintf(FREQUENCY_FORMAT, FrequencyCodeToMHz(nCode)); }

} // namespace

CSegmentDataDialog::CSegmentDataDialog(QWidget *pParent, CSegmentDialogHost *pView)
    : CDialogBase(pParent), m_pView(pView), m_pSession(pView != nullptr ? pView->GetSession() : nullptr),
      m_pUi(std::make_unique<Ui::SegmentDataDialog>()) {
  m_pUi->setupUi(this);
  setWindowIcon(LoadIcon(QString::fromLatin1(ICON_PATH)));

  GetDlgItem(IDC_SEGMENT_NUMBER)->setMaximumWidth(DialogUnits(NUMBER_WIDTH_DLU, 0).width());
  for (const int nId : VALUE_BOXES) {
    GetDlgItem(nId)->setMinimumWidth(DialogUnits(VALUE_WIDTH_DLU, 0).width());
  }
  // The hidden statics: 146 keeps its place, so that the collapsed dialog can end at its bottom
  // edge; 147 only holds a text.
  QWidget *pMark = GetDlgItem(IDC_COLLAPSE_MARK);
  QSizePolicy policy = pMark->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  pMark->setSizePolicy(policy);
  pMark->hide();
  GetDlgItem(IDC_LESS_TEXT)->hide();

  FitButtonToTexts(IDC_BEGIN_STOP,
                   {QString::fromLatin1(TEXT_BEGIN), QString::fromLatin1(TEXT_STOP), QString::fromLatin1(TEXT_RETRY)});
  FitButtonToTexts(IDC_MORE_LESS, {GetDlgItemText(IDC_MORE_LESS), GetDlgItemText(IDC_LESS_TEXT)});
  // The dialog starts expanded, its button offering to collapse it.
  m_strMoreText = GetDlgItemText(IDC_MORE_LESS);
  SetDlgItemText(IDC_MORE_LESS, GetDlgItemText(IDC_LESS_TEXT));
  SetCurSel(IDC_UNITS, UNITS_METERS);

  // The line and the button of a segment that could not be saved show only while it is so.
  QWidget *pNotSaved = GetDlgItem(IDC_NOT_SAVED);
  SetDlgItemText(IDC_NOT_SAVED, QString::fromUtf8(TEXT_NOT_SAVED));
  QPalette palette = pNotSaved->palette();
  palette.setColor(QPalette::WindowText, QColor::fromRgb(NOT_SAVED_COLOUR));
  pNotSaved->setPalette(palette);
  pNotSaved->hide();
  GetDlgItem(IDC_SAVE_COPY)->hide();

  connect(DlgButton(IDC_MORE_LESS), &QAbstractButton::clicked, this, &CSegmentDataDialog::ToggleMoreLess);
  ConnectWalkHandlers();
  FollowSession();
}

CSegmentDataDialog::~CSegmentDataDialog() {
  if (m_pSession != nullptr) {
    m_pSession->RemoveListener(m_nListener);
  }
}

void CSegmentDataDialog::ShowChannelFrequencies(const uint32_t *pFrequencies, int nCount) {
  const QString strNotSet = QString::fromLatin1(TEXT_NOT_SET);
  if (pFrequencies != nullptr && nCount == 2) {
    SetDlgItemText(IDC_CHANNEL2_FREQUENCY, Frequency(pFrequencies[1]));
    SetDlgItemText(IDC_CHANNEL1_FREQUENCY, Frequency(pFrequencies[0]));
  } else if (pFrequencies != nullptr && nCount == 1) {
    SetDlgItemText(IDC_CHANNEL1_FREQUENCY, Frequency(pFrequencies[0]));
    SetDlgItemText(IDC_CHANNEL2_FREQUENCY, strNotSet);
  } else {
    SetDlgItemText(IDC_CHANNEL1_FREQUENCY, strNotSet);
    SetDlgItemText(IDC_CHANNEL2_FREQUENCY, strNotSet);
  }
}

void CSegmentDataDialog::AddToTotalDistance(double dMeters) {
  if (m_pSession != nullptr) {
    m_pSession->AddToTotalDistance(dMeters);
    m_dTotal = m_pSession->Totals().dTotalDistance;
  } else {
    m_dTotal += dMeters; // a dialog without a session (a showcase) only shows
  }
  m_dTotalFeet = MetersToFeet(m_dTotal);
  SetDlgItemText(IDC_TOTAL_DISTANCE, QString::asprintf(TOTAL_FORMAT, m_dTotal));
}

void CSegmentDataDialog::ShowDistance(int nBox, double dMeters) {
  const double dShown = GetCurSel(IDC_UNITS) == UNITS_FEET ? MetersToFeet(dMeters) : dMeters;
  SetDlgItemText(nBox, QString::asprintf(DISTANCE_FORMAT, dShown));
}

void CSegmentDataDialog::SetSegmentLength(double dMeters) {
  m_dLength = dMeters;
  m_dLengthFeet = MetersToFeet(dMeters);
  m_bLengthKnown = true;
  ShowDistance(IDC_SEGMENT_LENGTH, m_dLength);
}

void CSegmentDataDialog::ToggleMoreLess() {
  // The layout fits the window to what is shown: without the lower part, the window ends at the
  // bottom edge of the hidden mark 146.
  if (!m_bCollapsed) {
    m_rcFullWindow = geometry();
    m_pUi->moreLessPart->hide();
    SetDlgItemText(IDC_MORE_LESS, m_strMoreText);
  } else {
    m_pUi->moreLessPart->show();
    SetDlgItemText(IDC_MORE_LESS, GetDlgItemText(IDC_LESS_TEXT));
  }
  m_bCollapsed = !m_bCollapsed;
  layout()->activate();
}
