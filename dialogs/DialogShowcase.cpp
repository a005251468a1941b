#include "dialogs/DialogShowcase.h"

#include "dialogs/DistanceMeasurementDialog.h"
#include "dialogs/IntroDialog.h"
#include "dialogs/SegmentDataDialog.h"
#include "link/ReceiverConversions.h"
#include "platform/SimulatedReceiver.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::array<int, 4> RECEIVER1_ITEMS{IDC_RECEIVER1_INSTALLED, IDC_RECEIVER1_MIN, IDC_RECEIVER1_MAX,
                                             IDC_RECEIVER1_STEP};
constexpr std::array<int, 4> RECEIVER2_ITEMS{IDC_RECEIVER2_INSTALLED, IDC_RECEIVER2_MIN, IDC_RECEIVER2_MAX,
                                             IDC_RECEIVER2_STEP};

void ShowReceiver(CIntroDialog &dialog, const std::array<int, 4> &items, bool bInstalled, const _simreceiver &sim) {
  dialog.SetDlgItemText(items[0], QString::fromStdString(FormatInstalled(bInstalled)));
  if (!bInstalled) {
    return;
  }
  // The step arrives in 1/256 kHz.
  const _receiverinfo receiver{sim.nMinChannel, sim.nMaxChannel, sim.nStepRaw, sim.nSpare,
                               static_cast<float>(sim.nStepRaw / 256.0)};
  dialog.SetDlgItemText(items[1], QString::fromStdString(FormatMHz(EdgeFrequencyMHz(sim.nMinChannel, receiver))));
  dialog.SetDlgItemText(items[2], QString::fromStdString(FormatMHz(EdgeFrequencyMHz(sim.nMaxChannel, receiver))));
  dialog.SetDlgItemText(items[3], QString::fromStdString(FormatStepKHz(receiver)));
}

} // namespace

void ShowcaseIntroDialog(CIntroDialog &dialog) {
  const _simidentity identity;
  dialog.SetDlgItemText(IDC_SERIAL_NUMBER, QString::fromStdString(identity.strSerialNumber));
  ShowReceiver(dialog, RECEIVER1_ITEMS, (identity.nPresence & 0x01) != 0, identity.receivers[0]);
  ShowReceiver(dialog, RECEIVER2_ITEMS, (identity.nPresence & 0x02) != 0, identity.receivers[1]);
  dialog.SetDlgItemText(IDC_PROJECTION_FILE, QStringLiteral("/home/surveyor/sites/office.gpf"));
  dialog.SetDlgItemText(IDC_COLLECTION_FILE, QStringLiteral("/home/surveyor/surveys/Data.tvd"));
}

void ShowcaseSegmentDialog(CSegmentDataDialog &dialog) {
  dialog.m_nSegment = 3;
  dialog.m_nSegments = 3;
  dialog.SetDlgItemText(IDC_SEGMENT_NUMBER, QStringLiteral("3"));
  dialog.EnableDlgItem(IDC_START_POINT);
  dialog.EnableDlgItem(IDC_STOP_POINT);
  dialog.CheckDlgButton(IDC_STOP_POINT, true);
  dialog.m_nPointMode = 2;
  dialog.m_dLength = 18.6;
  dialog.ShowDistance(IDC_SEGMENT_LENGTH, dialog.m_dLength);
  dialog.SetDlgItemText(IDC_SEGMENT_SECONDS, QStringLiteral("14"));
  dialog.m_dSpeed = dialog.m_dLength / 14;
  dialog.ShowDistance(IDC_AVERAGE_SPEED, dialog.m_dSpeed);
  const uint32_t codes[2] = {8500, 9000};
  dialog.ShowChannelFrequencies(codes, 2);
  dialog.AddToTotalDistance(57.25);
  dialog.SetDlgItemText(IDC_SURVEY_SECONDS, QStringLiteral("46"));
}

void ShowcaseDistanceDialog(CDistanceMeasurementDialog &dialog) { dialog.ShowDistance(12.48); }
