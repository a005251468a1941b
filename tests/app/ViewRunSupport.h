#pragma once

// What the tests of the collection run share: the simulated unit behind the device layer, the
// operator's part in connecting, the receiver's messages as frames, and the survey as the file
// holds it.
#include "app/TarvexCollectorView.h"
#include "dialogs/ConnectionDialog.h"
#include "link/ReceiverMessages.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"
#include "survey/SurveyReader.h"
#include "tests/support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QFile>
#include <QRadioButton>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The operator, whose message boxes run a loop of their own: fnWhileShown runs while a box is
// shown, before it is answered as scripted.
class CHookedPrompts : public CScriptedPrompts {
public:
  std::function<void()> fnWhileShown;

  int Message(QWidget *pParent, const _messageprompt &prompt) override {
    if (fnWhileShown) {
      fnWhileShown();
    }
    return CScriptedPrompts::Message(pParent, prompt);
  }
};

// Long enough for the worker on a busy machine; the waits end as soon as their condition holds.
constexpr int RUN_WAIT_MS = 10000;

// The unit the collection run's description counts on: receiver 1 from channel 32000 to 37600
// (400 to 470 MHz) in steps of 3200 / 256 kHz, receiver 2 not installed.
inline _simidentity DescribedUnit() {
  _simidentity identity;
  identity.nPresence = 0x01;
  identity.receivers = {{{32000, 37600, 3200, 0}, {0, 0, 0, 0}}};
  return identity;
}

// A simulated unit as the only device, its frames reaching the host at once.
inline std::shared_ptr<CSimulatedReceiver> EnableSimulatedUnit(const _simidentity &identity = DescribedUnit()) {
  D2xxDisableAllBackends();
  auto pSim = std::make_shared<CSimulatedReceiver>(identity);
  pSim->KeepLog(true);
  D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(pSim));
  return pSim;
}

// The operator presses "Connect !" in the connection dialog.
inline int PressConnect(QDialog &dialog) {
  auto &connection = static_cast<CConnectionDialog &>(dialog);
  connection.OnConnect();
  return connection.result();
}

// The operator chooses a channel count in the channel-choice dialog and presses OK.
inline CScriptedPrompts::PlayDialog ChooseChannels(int nChannels) {
  return [nChannels](QDialog &dialog) {
    auto &choice = static_cast<CDialogBase &>(dialog);
    choice.GetDlgItemAs<QRadioButton>(nChannels == 1 ? 1039 : 1040)->click();
    choice.GetDlgItemAs<QAbstractButton>(1)->click();
    return dialog.result();
  };
}

// Connects as the operator does and waits until the receiver has described itself.
inline bool ConnectAndWaitForDescription(CTarvexCollectorView &view, CScriptedPrompts &prompts) {
  view.SetConnectWait(0);
  prompts.AnswerModal(PressConnect);
  view.OnConnect();
  return QTest::qWaitFor([&] { return view.IsReceiverConnected() && view.Session().Run().GetDescriptionCount() >= 1; },
                         RUN_WAIT_MS);
}

// The link's frame around a payload.
inline std::vector<uint8_t> LinkFrame(const std::vector<uint8_t> &payload) {
  std::vector<uint8_t> frame{0xAA, static_cast<uint8_t>(payload.size()), 0x00};
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

inline void PutU32(std::vector<uint8_t> &payload, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    payload.push_back(static_cast<uint8_t>(n >> (8 * i)));
  }
}

inline std::vector<uint8_t> ChannelReport(uint32_t nChannel1, uint32_t nChannel2) {
  std::vector<uint8_t> payload{MSG_CHANNEL_REPORT};
  PutU32(payload, nChannel1);
  PutU32(payload, nChannel2);
  return payload;
}

// A description naming no receiver.
inline std::vector<uint8_t> EmptyDescription() { return {MSG_RECEIVER_INFO, 0x00}; }

// How often the one-byte command code was written, each as its frame AA 02 00 c c.
inline int CommandsWritten(const std::vector<uint8_t> &bytes, uint8_t nCode) {
  int nCount = 0;
  for (size_t i = 0; i + 4 < bytes.size(); ++i) {
    nCount +=
        bytes[i] == 0xAA && bytes[i + 1] == 2 && bytes[i + 2] == 0 && bytes[i + 3] == nCode && bytes[i + 4] == nCode
            ? 1
            : 0;
  }
  return nCount;
}

// The levels in the survey file at strPath.
inline uint64_t LevelsInFile(const QString &strPath) {
  const auto bytes = LoadSurveyFile(strPath.toStdString(), CFile::shareDenyNone);
  return ParseSurvey(bytes.data(), bytes.size()).LevelCount();
}

// A copy of a file of tests/data in strFolder.
inline QString CopyTestData(const QString &strName, const QString &strFolder) {
  const QString strCopy = strFolder + QLatin1Char('/') + strName;
  QFile::remove(strCopy);
  QFile::copy(QStringLiteral(TARVEX_TEST_DATA "/") + strName, strCopy);
  QFile::setPermissions(strCopy, QFile::ReadOwner | QFile::WriteOwner);
  return strCopy;
}

#define VERIFY_AS_SCRIPTED(prompts)                                                                                    \
  QVERIFY2((prompts).Problems().isEmpty(), qPrintable((prompts).Problems().join('\n')))
