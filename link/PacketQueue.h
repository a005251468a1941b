#pragma once

#include "platform/WaitClock.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What the link hands on to the thread that handles packets.
enum class LinkItemKind {
  packet,        // one complete payload, in stream order
  lost,          // the open receiver is gone; comes once per connection, after every packet read before
  commandFailed, // a command queued with CUSB::QueueCommand was not carried out (strReason says why)
};

struct _linkitem {
  LinkItemKind nKind = LinkItemKind::packet;
  std::vector<uint8_t> payload; // packet: the payload without sync, length and spare byte (1 to 255 bytes);
                                // commandFailed: the command's data (a write's frame)
  std::string strReason;        // lost, commandFailed: why, one sentence fit for the operator
  int32_t nCommand = 0;         // commandFailed: the command (USB_WRITE, USB_CLOSE, ...)
  std::chrono::steady_clock::time_point arrived; // when the worker handed it on
};

// The road from the link's worker to the thread that handles packets (the owner's thread): the
// worker hands on a copy of each packet, and the owner takes them in the order they came. Only
// the standard library is used, so a thread checker sees every hand-off.
//
// The owner may register a wake-up, which the queue calls on the handing thread (the worker)
// after each hand-off. The contract of a wake-up:
//  - it only posts a note to the owner's thread (a window posts an event to itself), and returns
//    at once; it never waits, never sends a command to the receiver (that fails at once on the
//    worker, see Usb.h) and never calls this queue;
//  - it may find, when the owner gets round to it, that the owner has already taken the items it
//    was called for: a take takes whatever is waiting, and a wake for an empty queue means nothing.
// DetachWake waits for a wake-up that is running and then removes it; from its return on the
// wake-up is never called again. An owner detaches before it goes, so that no wake reaches a
// target that no longer exists.
class CPacketQueue {
public:
  using WakeFunction = std::function<void()>;

  CPacketQueue() = default;
  CPacketQueue(const CPacketQueue &) = delete;
  CPacketQueue &operator=(const CPacketQueue &) = delete;

  // The handing side: the worker, and the owner's thread for a command that could not even be
  // queued (CUSB::QueueCommand), whose wake-up then runs on the owner's thread.
  void PushPacket(const uint8_t *pPayload, uint32_t nLength);
  void PushLost(std::string strReason);
  void PushCommandFailed(int32_t nCommand, std::vector<uint8_t> data, std::string strReason);

  // The owner's side.
  // The oldest item, or nothing when none waits.
  std::optional<_linkitem> TakeOne();
  // Every waiting item, oldest first.
  std::deque<_linkitem> TakeAll();
  size_t Size() const;
  // Waits until an item waits or clock reaches deadline. True when an item waits.
  bool WaitForItem(CWaitClock::time_point deadline, CWaitClock &clock = CWaitClock::Steady());

  // Registers the wake-up (replacing one registered before); an empty function detaches it.
  void SetWake(WakeFunction pfnWake);
  void DetachWake() { SetWake(nullptr); }

private:
  void Push(_linkitem item);

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<_linkitem> m_items;

  // Held while the wake-up runs, so that detaching waits for it.
  std::mutex m_wakeMutex;
  WakeFunction m_pfnWake;
};
