#pragma once

#include "link/Usb.h"

#include <QEvent>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class QObject;

// The event type that carries one item of the link to its target: WM_RECEIVER_PACKET, the number
// 0x800A (32778). It is fixed, so that it reads as the receiver's packet message wherever it is
// met, and lies in Qt's range of user event types (QEvent::User to QEvent::MaxUser); the first
// link made reserves it with QEvent::registerEventType, so that no other part of the program is
// given the same number.
constexpr QEvent::Type WM_RECEIVER_PACKET = static_cast<QEvent::Type>(0x800A);
static_assert(WM_RECEIVER_PACKET > QEvent::User && WM_RECEIVER_PACKET < QEvent::MaxUser);

// One item of the link on its target's thread: a packet, whose payload is the heap copy the link
// made of it, or the report that the receiver is lost. The event owns the item; whoever holds
// the event frees both with it.
class CReceiverPacketEvent : public QEvent {
public:
  explicit CReceiverPacketEvent(_linkitem item, QEvent::Type nType = WM_RECEIVER_PACKET);

  bool IsLost() const { return m_item.nKind == LinkItemKind::lost; }
  const uint8_t *Payload() const { return m_item.payload.data(); }
  uint32_t Length() const { return static_cast<uint32_t>(m_item.payload.size()); }
  const std::string &LostReason() const { return m_item.strReason; }
  const _linkitem &Item() const { return m_item; }

private:
  _linkitem m_item;
};

// The window's receiver link, the one place where the link meets Qt. The connection dialog owns
// one, and the view reaches it through that dialog to open, close and command the receiver.
//
// The road of a packet. The worker hands a copy of each payload to the link's queue
// (CUSB::Queue(), Qt-free, which a thread checker sees through). After each hand-off it posts
// one wake event to the target, unless a wake is already on its way: the worker allocates and
// shares nothing else. On the target's thread the target answers a wake with AcknowledgeWake and
// then takes the items one by one with TakePacketEvent, each as an event of the target message
// that it owns. A target that holds items back (while it handles one, or while it waits) leaves
// them in the queue, in order, and takes them later.
//
// A target that goes detaches first (DetachTarget): from then on no wake is posted to it, and a
// wake being posted at that moment is waited for, so that nothing reaches an object that no
// longer exists. Wakes already posted are dropped by Qt with the object.
class CBrackwell : public CUSB {
public:
  CBrackwell();
  // Detaches the target; the link then stops its worker.
  ~CBrackwell() override;
  CBrackwell(const CBrackwell &) = delete;
  CBrackwell &operator=(const CBrackwell &) = delete;

  // Makes pTargetWnd the receiver of every item the link hands on from now on, with events of
  // type nTargetMessage. Call on the target's thread, before the receiver is opened; it replaces
  // an earlier target. Items already waiting wake the new target at once.
  void SetTarget(QObject *pTargetWnd, QEvent::Type nTargetMessage = WM_RECEIVER_PACKET);
  // Ends the deliveries to the target: once this returns, the worker posts nothing more.
  void DetachTarget();
  QObject *GetTarget() const { return m_pTargetWnd; }

  // The type of the wake events posted to the target (registered with Qt once).
  static QEvent::Type WakeEventType();
  // On the target's thread, before taking items after a wake: the next hand-off posts a wake
  // again.
  void AcknowledgeWake();
  // On the target's thread: posts a wake to the target, so that it takes the items still waiting
  // once it gets back to its event loop.
  void WakeAgain();
  // On the target's thread: the oldest waiting item as an event of the target message, or null.
  std::unique_ptr<CReceiverPacketEvent> TakePacketEvent();

private:
  // Written on the target's thread only while no wake-up is registered.
  QObject *m_pTargetWnd = nullptr;
  QEvent::Type m_nTargetMessage = WM_RECEIVER_PACKET;
  // A wake has been posted and the target has not answered it yet.
  std::atomic<bool> m_bWakePending{false};
};
