#pragma once

#include "link/PacketQueue.h"
#include "platform/D2xx.h"
#include "platform/Event.h"
#include "platform/Mutex.h"
#include "platform/WaitClock.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

// Commands of the link's mailbox.
constexpr int32_t USB_QUIT = 1;  // end the worker; the result keeps its value
constexpr int32_t USB_OPEN = 2;  // data: an _usbopen record; 0 opened, -1 not opened
constexpr int32_t USB_CLOSE = 3; // 0 closed, -1 no device open
constexpr int32_t USB_WRITE = 4; // data: the bytes to send; 0 written, -1 no device open or write failed

// One command handed to PostCommand. The mailbox keeps its own copy of the data, so the caller's
// block may go as soon as PostCommand returns, even when the command timed out.
struct _usbcommand {
  int32_t nCommand = 0;
  int32_t nLength = 0;
  const void *pData = nullptr;
};

// The data of USB_OPEN.
struct _usbopen {
  char szSerialNumber[256] = {}; // as the device listing returns it
  uint32_t nBaudRate = 0;
};

// One device of the listing.
struct _usbdevice {
  std::string strSerialNumber;
  std::string strDescription;
  std::string strProductName;  // "TARVEX", "MORVANE", "SKELDRUP", "Not Available", or empty
  std::string strManufacturer; // "Vexlor, Inc", "Not Available", or empty
};

// How long the link waits. Tests shorten them; the program keeps these values.
struct _usbwaits {
  uint32_t nMailboxMs = 5000; // to obtain the mailbox
  uint32_t nResultMs = 5000;  // for the worker to carry a command out
  uint32_t nStopMs = 1000;    // for the worker to end after USB_QUIT
  uint32_t nIdleMs = 1000;    // the worker's wait when nothing happens
};

// The receiver link. One worker thread per link holds the device and makes every driver call on
// it; the owner's thread passes commands to it through a one-slot mailbox and waits for each
// result. The worker cuts the bytes it reads into packets with a decoder that runs one byte at
// a time, and OnPacket hands a copy of each complete payload to the link's queue (Queue(), see
// PacketQueue.h), from which the owner's thread takes them in order.
//
// Frame, both directions: 0xAA (sync), length (0..255), a spare byte, then length payload
// bytes. There is no checksum and no escaping: inside a frame 0xAA is ordinary data.
//
// A lost receiver. When the open device stops answering (unplugged, switched off, its port hung
// up or failed), the worker puts one item of kind LinkItemKind::lost with the reason into the
// queue, behind every packet read before, and reads nothing more from that device. A driver
// call that fails counts as a loss only when a second look at the device's status fails too. The
// handle stays until USB_CLOSE, a new USB_OPEN or the worker's end gives it up; writes to it fail.
//
// Threads. Every operation of the interface below is for the owner's thread. On a link's worker
// thread (where the queue's wake-up runs) a command cannot be sent: PostCommand, Open and
// SendCommandByte return -1 or false at once, with USB_WHY_ON_WORKER as the reason, instead of
// waiting for the mailbox that only that same thread serves; StartWorker and StopWorker refuse
// too. While the owner's thread handles packets it does not wait for the mailbox either: it
// queues its commands (QueueCommand, e.g. CMD_RECEIVER_INFO when it takes the serial number),
// and their failures come back through the queue.
//
// The link stops its worker itself when it goes. The worker makes no virtual call on the link,
// so a class derived from CUSB needs nothing in its own destructor for the worker's sake; a
// class that registered a wake-up detaches it there (Queue().DetachWake()).
class CUSB {
public:
  static constexpr uint32_t RX_BUFFER_SIZE = 4096;
  static constexpr uint8_t FRAME_SYNC = 0xAA;
  // 3000000 / 38400 rounded: the divisor for a baud rate of 0.
  static constexpr uint16_t DEFAULT_DIVISOR = 78;
  // Queued commands that may wait for the worker at once; more fail.
  static constexpr size_t MAX_QUEUED_COMMANDS = 64;

  // Every wait of the link (mailbox, result, stop, the worker's idle wait) counts by clock.
  explicit CUSB(CWaitClock &clock = CWaitClock::Steady());
  CUSB(const CUSB &) = delete;
  CUSB &operator=(const CUSB &) = delete;
  // Stops the worker and, if it did not end in time, waits for it however long it takes.
  virtual ~CUSB();

  // Feeds count bytes to the decoder in order. OnPacket is called once for every packet that
  // completes, in stream order, before this returns. A frame may be split at any byte over any
  // number of calls. The worker calls it; without a worker, any one thread may.
  void ProcessBytes(const uint8_t *data, uint32_t count);

  // The packets and the lost report, on their way to the owner's thread.
  CPacketQueue &Queue() { return m_Queue; }

  // Starts a worker, stopping a running one first. A link never has two workers: one that was
  // given up by StopWorker is waited for here before the new one starts. False, and nothing
  // done, on a worker thread.
  bool StartWorker();
  // Posts USB_QUIT and waits for the worker to end. True when no worker was running or it
  // ended in time; otherwise the worker is left to end by itself.
  bool StopWorker();
  bool IsWorkerRunning() const { return m_pWorker != nullptr; }

  // Passes one command to the worker and waits for its result: 0 or -1, and -1 when the mailbox
  // or the worker does not answer in time. With pWhy, a failure's reason is put there: why the
  // command was not passed on, or what the worker found (no device open, the write failed, and
  // for USB_OPEN why the device could not be opened).
  int32_t PostCommand(const _usbcommand &command);
  int32_t PostCommand(const _usbcommand &command, std::string *pWhy);
  // USB_OPEN of the device with this serial number; a baud rate of 0 means 38400. With pWhy, a
  // failure says why: not found, in use, no permission, or a setting the device refused (which
  // fails the open and closes the device again).
  bool Open(const std::string &strSerialNumber, uint32_t nBaudRate);
  bool Open(const std::string &strSerialNumber, uint32_t nBaudRate, std::string *pWhy);
  // Sends the command frame 0xAA 0x02 0x00 c c.
  bool SendCommandByte(uint8_t c);
  bool SendCommandByte(uint8_t c, std::string *pWhy);

  // Hands one command to the worker and returns at once, without waiting for the mailbox or the
  // result: the worker carries the queued commands out in the order they came, whenever it looks
  // at its requests, before the command in the mailbox. A command that fails, or that is never
  // carried out (no worker runs, the worker ends first, too many wait), comes back through
  // Queue() as an item of kind commandFailed, with the command, its data and the reason. For the
  // owner's thread while it handles packets, where it must not wait.
  void QueueCommand(const _usbcommand &command);
  // Queues the command frame 0xAA 0x02 0x00 c c.
  void QueueCommandByte(uint8_t c);

  // Whether the calling thread is a link's worker, where no command can be sent.
  static bool IsWorkerThread();

  // Lists the attached devices with the names their vendor and product numbers give them.
  // False only when the number of devices cannot be told; devices is then empty.
  static bool ListDevices(uint32_t &nCount, std::vector<_usbdevice> &devices);

  void SetWaits(const _usbwaits &waits);
  _usbwaits GetWaits() const;

  // The divisor USB_OPEN programs for a baud rate.
  static uint16_t BaudDivisor(uint32_t nBaudRate);

protected:
  // Hands a copy of one packet to the queue. Called by the decoder on the thread that called
  // ProcessBytes; payload points into the receive buffer; length is 1 to 255. Not virtual: the
  // worker never calls into a derived class, which may be going while the worker still delivers.
  void OnPacket(const uint8_t *payload, uint32_t length);

  // Puts the decoder back to hunting for a sync byte and drops a partly received payload.
  // Called whenever a worker starts; the sync and length flags keep their values.
  void ResetReceive();

  // The mailbox.
  CEvent m_hRxEvent;      // set by the driver when characters arrive
  CMutex m_hMailboxMutex; // admits one caller at a time
  CEvent m_hRequestEvent; // a command waits in the mailbox
  CEvent m_hDoneEvent;    // the worker has carried a command out
  int32_t m_nCommand = 0;
  int32_t m_nCommandLength = 0;
  std::vector<uint8_t> m_CommandData; // the mailbox's own copy of the command's data
  int32_t m_nCommandResult = 0;
  std::string m_strCommandWhy; // why the last command failed, as the worker found it

  // Decoder state.
  uint8_t m_RxBuffer[RX_BUFFER_SIZE];
  uint32_t m_nRxCount = 0;
  bool m_bInPacket = false;
  bool m_bSyncSeen = false;
  bool m_bLengthSeen = false;
  uint16_t m_nPacketLength = 0;

  // A worker thread and the event it sets as it ends.
  struct _usbworker {
    CEvent ended;
    std::jthread thread;
  };
  std::unique_ptr<_usbworker> m_pWorker;

private:
  // The device as the worker holds it.
  struct _usbconnection {
    FT_HANDLE hDevice = nullptr;
    bool bLost = false;        // reported lost; nothing more is read from it or written to it
    std::string strLostReason; // what the lost report said
  };

  // A command queued by QueueCommand.
  struct _queuedcommand {
    int32_t nCommand = 0;
    std::vector<uint8_t> data;
  };

  void WorkerThread(std::stop_token stop);
  // Carries out the queued commands, then the command in the mailbox when one waits; sets bQuit
  // for USB_QUIT.
  void ServeRequest(_usbconnection &device, bool &bQuit);
  void ServeQueued(_usbconnection &device);
  // Carries out one command; the reason of a failure in strWhy. False for one without a result.
  bool Carry(_usbconnection &device, int32_t nCommand, const std::vector<uint8_t> &data, int32_t &nResult,
             std::string &strWhy, bool &bQuit);
  // Hands the queued commands that were never carried out back as failed, with strWhy.
  void FailQueued(const std::string &strWhy);
  int32_t OpenDevice(_usbconnection &device, const std::vector<uint8_t> &data, std::string &strWhy);
  int32_t WriteDevice(_usbconnection &device, const std::vector<uint8_t> &data, std::string &strWhy);
  void CloseDevice(_usbconnection &device);
  void ReadReceived(_usbconnection &device, std::vector<uint8_t> &buffer);
  // After a failed driver call: when the device's status cannot be read either, the device is
  // lost and the queue is told, once.
  void CheckLost(_usbconnection &device, const char *pDoing, FT_STATUS status);
  // Waits, however long, for the workers StopWorker gave up on.
  void WaitForLateWorkers();

  CWaitClock &m_clock;
  CPacketQueue m_Queue;

  // Guards the mailbox fields between a caller and a worker that may still be carrying out an
  // earlier command whose caller gave up. Each posted command has a number; a completion counts
  // for the caller only when it carries the caller's number.
  std::mutex m_slotMutex;
  uint64_t m_nPostedNumber = 0;
  uint64_t m_nTakenNumber = 0; // the command the worker took from the mailbox last
  uint64_t m_nDoneNumber = 0;
  std::vector<_queuedcommand> m_queued; // by QueueCommand, oldest first; guarded by m_slotMutex

  // Workers that StopWorker gave up on; waited for before the next start and at destruction.
  std::vector<std::unique_ptr<_usbworker>> m_lateWorkers;

  std::atomic<uint32_t> m_nMailboxWaitMs{5000};
  std::atomic<uint32_t> m_nResultWaitMs{5000};
  std::atomic<uint32_t> m_nStopWaitMs{1000};
  std::atomic<uint32_t> m_nIdleWaitMs{1000};
};
