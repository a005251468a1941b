#include "survey/CollectionRun.h"

#include "link/ReceiverConversions.h"
#include "survey/SiteData.h"

#include <exception>
#include <type_traits>
#include <utility>
#include <variant>

CCollectionRun::CCollectionRun(_collectioncallbacks callbacks) : m_callbacks(std::move(callbacks)) {}

uint64_t CCollectionRun::GetLevelsReceived(int nChannel) const {
  return nChannel == 1 || nChannel == 2 ? m_nLevelsReceived[nChannel - 1] : 0;
}

uint64_t CCollectionRun::GetLevelsRecorded(int nChannel) const {
  return nChannel == 1 || nChannel == 2 ? m_nLevelsRecorded[nChannel - 1] : 0;
}

bool CCollectionRun::IsChannelValid(int nChannel) const {
  return (nChannel == 1 || nChannel == 2) && m_bChannelValid[nChannel - 1];
}

void CCollectionRun::OnReceiverPacket(const uint8_t *pPayload, uint32_t nLength) {
  OnReceiverMessage(DecodeReceiverMessage(pPayload, nLength));
}

void CCollectionRun::OnReceiverMessage(const ReceiverMessage &message) {
  std::visit(
      [&](const auto &decoded) {
        using T = std::decay_t<decltype(decoded)>;
        if constexpr (std::is_same_v<T, ReceiverInfoMessage>) {
          OnReceiverInfo(decoded);
        } else if constexpr (std::is_same_v<T, LevelsMessage>) {
          OnLevels(decoded);
        } else if constexpr (std::is_same_v<T, ChannelReportMessage>) {
          OnChannelReport(decoded);
        } else if constexpr (std::is_same_v<T, SerialNumberMessage>) {
          OnSerialNumber(decoded);
        }
      },
      message);
}

void CCollectionRun::SetInfoItem(int nItem, const std::string &strText) const {
  if (m_callbacks.pfnSetInfoItem) {
    m_callbacks.pfnSetInfoItem(nItem, strText);
  }
}

void CCollectionRun::OnReceiverInfo(const ReceiverInfoMessage &message) {
  ++m_nDescriptions;
  if (m_callbacks.pfnShowReceiverInfo) {
    m_callbacks.pfnShowReceiverInfo();
  }
  m_nReceiverPresence = message.nPresence;
  struct _items {
    int nInstalled, nMin, nMax, nStep;
  };
  static constexpr _items ITEMS[2] = {{INFO_ITEM_RECEIVER1, INFO_ITEM_MIN1, INFO_ITEM_MAX1, INFO_ITEM_STEP1},
                                      {INFO_ITEM_RECEIVER2, INFO_ITEM_MIN2, INFO_ITEM_MAX2, INFO_ITEM_STEP2}};
  for (size_t k = 0; k < 2; ++k) {
    const auto &receiver = message.receivers[k];
    // A receiver described as not installed keeps its record and the texts shown for it.
    SetInfoItem(ITEMS[k].nInstalled, FormatInstalled(receiver.has_value()));
    if (!receiver) {
      continue;
    }
    m_Receiver[k] = *receiver;
    SetInfoItem(ITEMS[k].nMin, FormatMHz(EdgeFrequencyMHz(receiver->nMinChannel, *receiver)));
    SetInfoItem(ITEMS[k].nMax, FormatMHz(EdgeFrequencyMHz(receiver->nMaxChannel, *receiver)));
    SetInfoItem(ITEMS[k].nStep, FormatStepKHz(*receiver));
  }
}

void CCollectionRun::OnLevels(const LevelsMessage &message) {
  const auto k = static_cast<size_t>(message.nChannel - 1);
  (message.nChannel == 1 ? m_bChannel1Levels : m_bChannel2Levels) = true;
  m_nLevelsReceived[k] += message.levels.size();
  if (!m_bWalking || !m_bCollectionOpen || !m_bProjectionLoaded || m_pSiteData == nullptr || !m_bChannelValid[k]) {
    return; // dropped: no walk, nowhere to store them, or no frequency they were measured at
  }
  // Counted before the call: a survey data object whose write fails keeps them for the next.
  m_nLevelsRecorded[k] += message.levels.size();
  if (!m_pSiteData->AddLevels(message.nChannel, message.levels)) {
    m_nLevelsRecorded[k] -= message.levels.size(); // refused by a full segment: the walk is over
    if (m_callbacks.pfnSegmentFull) {
      m_callbacks.pfnSegmentFull();
    }
    return;
  }
  if (m_callbacks.pfnLevelsRecorded) {
    m_callbacks.pfnLevelsRecorded(message);
  }
}

void CCollectionRun::OnChannelReport(const ChannelReportMessage &message) {
  ++m_nChannelReports;
  m_bMeasurementModeOn = true;
  const bool bValid1 = ::IsChannelValid(message.nChannel1, m_Receiver[0]);
  const bool bValid2 = ::IsChannelValid(message.nChannel2, m_Receiver[1]);
  m_bChannelValid[0] = bValid1;
  m_bChannelValid[1] = bValid2;
  if (!bValid1 && !bValid2) {
    // The survey data and the segment dialog keep their channels, but nothing more is recorded
    // under them: the receiver no longer measures there.
    if (m_callbacks.pfnAlert) {
      m_callbacks.pfnAlert(RUN_TEXT_NO_VALID_CHANNELS, RUN_CAPTION_INVALID_CHANNEL);
    }
    return;
  }
  // Every valid channel gets the frequency its number and its receiver's step give. The survey
  // data keeps buffers by position (buffer k for channel k), so a lone valid channel 2 comes with
  // a channel 1 of code 0 whose levels are not recorded.
  const uint32_t codes[2] = {bValid1 ? FrequencyCodeFloat(message.nChannel1, m_Receiver[0]) : 0,
                             bValid2 ? FrequencyCodeFloat(message.nChannel2, m_Receiver[1]) : 0};
  const int nCount = bValid2 ? 2 : 1;
  std::exception_ptr failure;
  if (m_pSiteData != nullptr) {
    try {
      m_pSiteData->SetChannels(codes, nCount);
    } catch (...) {
      // The new channels are in force in the survey data even when writing the old levels
      // failed: the dialog shows them all the same.
      failure = std::current_exception();
    }
  }
  if (m_callbacks.pfnShowChannelFrequencies) {
    m_callbacks.pfnShowChannelFrequencies(codes, nCount);
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

void CCollectionRun::OnSerialNumber(const SerialNumberMessage &message) {
  if (m_callbacks.pfnSendCommand) {
    m_callbacks.pfnSendCommand(CMD_RECEIVER_INFO); // a failed write is not reported; the text is shown anyway
  }
  SetInfoItem(INFO_ITEM_SERIAL, message.strSerial);
}
