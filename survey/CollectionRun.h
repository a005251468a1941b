#pragma once

#include "link/ReceiverMessages.h"
#include "survey/SegmentWalk.h"

#include <cstdint>
#include <functional>
#include <string>

class CSiteData;

// Items of the receiver information dialog that the packet handling fills.
constexpr int INFO_ITEM_RECEIVER1 = 1005; // "Installed" or "Not Installed"
constexpr int INFO_ITEM_MIN1 = 1006;      // lowest frequency, "%4.4f MHz"
constexpr int INFO_ITEM_STEP1 = 1007;     // channel step, "%4.4f KHz"
constexpr int INFO_ITEM_MAX1 = 1008;      // highest frequency, "%4.4f MHz"
constexpr int INFO_ITEM_RECEIVER2 = 1009;
constexpr int INFO_ITEM_MIN2 = 1010;
constexpr int INFO_ITEM_MAX2 = 1011;
constexpr int INFO_ITEM_STEP2 = 1012;
constexpr int INFO_ITEM_SERIAL = 1013; // the receiver's serial number

// The operator's message when a channel report names no channel that the receivers offer.
constexpr const char *RUN_TEXT_NO_VALID_CHANNELS = "No Valid Channels have been selected";
constexpr const char *RUN_CAPTION_INVALID_CHANNEL = "Invalid Channel Alert !";

// Where the packet handling reaches beyond itself: the link and the dialogs. Each may be left
// empty; what it would do is then skipped.
struct _collectioncallbacks {
  // Sends one command code to the receiver without waiting for it (the window queues it on the
  // link); true when it was written or handed on to be.
  std::function<bool(uint8_t nCode)> pfnSendCommand;
  // Makes the receiver information dialog visible.
  std::function<void()> pfnShowReceiverInfo;
  // Sets the text of one item of the receiver information dialog.
  std::function<void(int nItem, const std::string &strText)> pfnSetInfoItem;
  // Shows a message box with an OK button.
  std::function<void(const std::string &strText, const std::string &strCaption)> pfnAlert;
  // Shows the channel frequencies (codes in units of 50 kHz) in the segment dialog.
  std::function<void(const uint32_t *pCodes, int nCount)> pfnShowChannelFrequencies;
  // The segment being walked is full: it holds the most records a segment can hold
  // (SURVEY_MAX_SEGMENT_RECORDS), and the level message just handled was not recorded. The owner
  // ends the walk with CSegmentWalk::Stop, as STOP ends it, and shows the operator the result's
  // note. Called for every level message the full segment refuses, so until the walk has ended.
  std::function<void()> pfnSegmentFull;
  // The levels of a level message were taken by the survey data (after AddLevels accepted them).
  std::function<void(const LevelsMessage &message)> pfnLevelsRecorded;
};

// The state of a collection run and the handling of every packet the receiver sends: what is
// known about the receiver, whether it measures, and whether levels are recorded. Runs on one
// thread (the GUI's); packets reach it in the order the link delivered them.
//
// Levels are recorded only while a segment is walked, a survey data file is open and a
// projection is loaded, and only for a channel that the last channel report named validly, so
// that no level is ever filed under a frequency it was not measured at.
class CCollectionRun {
public:
  explicit CCollectionRun(_collectioncallbacks callbacks = {});
  virtual ~CCollectionRun() = default;
  CCollectionRun(const CCollectionRun &) = delete;
  CCollectionRun &operator=(const CCollectionRun &) = delete;

  // Handles one payload of length bytes: decodes it and hands it to OnReceiverMessage.
  void OnReceiverPacket(const uint8_t *pPayload, uint32_t nLength);
  // Handles one message decoded from a payload. Ignored types and payloads too short for their
  // layout change nothing. A failure of the survey data file (CFileException) ends the handling
  // and is raised to the caller; what the survey data had taken is kept there for its next write.
  void OnReceiverMessage(const ReceiverMessage &message);

  // Levels taken from the level messages of a channel (1 or 2), recorded or not, and levels
  // handed to the survey data and taken by it (not those a full segment refused).
  uint64_t GetLevelsReceived(int nChannel) const;
  uint64_t GetLevelsRecorded(int nChannel) const;
  // Receiver descriptions and channel reports handled.
  uint64_t GetDescriptionCount() const { return m_nDescriptions; }
  uint64_t GetChannelReportCount() const { return m_nChannelReports; }
  // Whether the last channel report named channel k (1 or 2) validly.
  bool IsChannelValid(int nChannel) const;

  // What is known about the receiver.
  uint8_t m_nReceiverPresence = 0; // bit 0: receiver 1 installed, bit 1: receiver 2
  _receiverinfo m_Receiver[2];
  bool m_bMeasurementModeOn = false; // a channel report has arrived
  bool m_bChannel1Levels = false;    // a level message of channel 1 has arrived
  bool m_bChannel2Levels = false;

  // When levels are recorded: all three, and a survey data object to take them.
  const CSegmentWalk *m_pWalk = nullptr; // the walk of the open survey, not owned
  // A segment is being walked (BEGIN until STOP): read from m_pWalk, which owns that state.
  const CWalkingFlag m_bWalking{[this] { return m_pWalk; }};
  bool m_bCollectionOpen = false; // a survey data file is open
  bool m_bProjectionLoaded = false;
  CSiteData *m_pSiteData = nullptr; // not owned

private:
  void OnReceiverInfo(const ReceiverInfoMessage &message);
  void OnLevels(const LevelsMessage &message);
  void OnChannelReport(const ChannelReportMessage &message);
  void OnSerialNumber(const SerialNumberMessage &message);
  void SetInfoItem(int nItem, const std::string &strText) const;

  _collectioncallbacks m_callbacks;
  bool m_bChannelValid[2] = {false, false};
  uint64_t m_nLevelsReceived[2] = {0, 0};
  uint64_t m_nLevelsRecorded[2] = {0, 0};
  uint64_t m_nDescriptions = 0;
  uint64_t m_nChannelReports = 0;
};
