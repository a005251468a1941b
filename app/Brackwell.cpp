#include "app/Brackwell.h"

#include <QCoreApplication>

#include <utility>

namespace {

// Reserves WM_RECEIVER_PACKET in Qt's registry of event types, once.
void ReserveReceiverPacketType() {
  static const int nReserved = QEvent::registerEventType(WM_RECEIVER_PACKET);
  Q_UNUSED(nReserved);
}

} // namespace

CReceiverPacketEvent::CReceiverPacketEvent(_linkitem item, QEvent::Type nType)
    : QEvent(nType), m_item(std::move(item)) {}

CBrackwell::CBrackwell() { ReserveReceiverPacketType(); }

CBrackwell::~CBrackwell() { DetachTarget(); }

QEvent::Type CBrackwell::WakeEventType() {
  static const auto nType = static_cast<QEvent::Type>(QEvent::registerEventType());
  return nType;
}

void CBrackwell::SetTarget(QObject *pTargetWnd, QEvent::Type nTargetMessage) {
  Queue().DetachWake();
  m_pTargetWnd = pTargetWnd;
  m_nTargetMessage = nTargetMessage;
  m_bWakePending.store(false);
  if (pTargetWnd == nullptr) {
    return;
  }
  // The worker only reads what the wake-up captured; the type is registered here, on the
  // target's thread, before the worker can ask for it.
  const QEvent::Type nWake = WakeEventType();
  Queue().SetWake([this, pTargetWnd, nWake] {
    if (!m_bWakePending.exchange(true)) {
      QCoreApplication::postEvent(pTargetWnd, new QEvent(nWake));
    }
  });
  if (Queue().Size() > 0) {
    WakeAgain();
  }
}

void CBrackwell::DetachTarget() {
  Queue().DetachWake();
  m_pTargetWnd = nullptr;
}

void CBrackwell::AcknowledgeWake() { m_bWakePending.store(false); }

void CBrackwell::WakeAgain() {
  if (m_pTargetWnd != nullptr) {
    QCoreApplication::postEvent(m_pTargetWnd, new QEvent(WakeEventType()));
  }
}

std::unique_ptr<CReceiverPacketEvent> CBrackwell::TakePacketEvent() {
  std::optional<_linkitem> item = Queue().TakeOne();
  if (!item) {
    return nullptr;
  }
  return std::make_unique<CReceiverPacketEvent>(std::move(*item), m_nTargetMessage);
}
