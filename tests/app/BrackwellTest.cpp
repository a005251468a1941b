// The link's road into Qt: every item the worker queues reaches its target as a WM_RECEIVER_PACKET
// event, in order and once, woken by one posted event at a time; a target that has detached gets
// nothing more, however busy the worker is. Needs only QtCore, so that it also runs under
// ThreadSanitizer (scripts/test --tsan).
#include "app/Brackwell.h"
#include "link/ReceiverMessages.h"
#include "platform/D2xxRegistry.h"
#include "platform/D2xxSimBackend.h"

#include <QCoreApplication>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

using Payload = std::vector<uint8_t>;

// Takes the link's items as the view does: a wake, then every item waiting, each as an event.
class CTakingTarget : public QObject {
public:
  explicit CTakingTarget(CBrackwell &link) : m_link(link) {}

  bool event(QEvent *pEvent) override {
    if (pEvent->type() == CBrackwell::WakeEventType()) {
      ++m_nWakes;
      m_link.AcknowledgeWake();
      while (std::unique_ptr<CReceiverPacketEvent> pItem = m_link.TakePacketEvent()) {
        m_nOtherTypes += pItem->type() == WM_RECEIVER_PACKET ? 0 : 1;
        m_items.push_back(pItem->Item());
      }
      return true;
    }
    return QObject::event(pEvent);
  }

  std::vector<Payload> Payloads() const {
    std::vector<Payload> payloads;
    for (const _linkitem &item : m_items) {
      if (item.nKind == LinkItemKind::packet) {
        payloads.push_back(item.payload);
      }
    }
    return payloads;
  }

  CBrackwell &m_link;
  int m_nWakes = 0;
  int m_nOtherTypes = 0;
  std::vector<_linkitem> m_items;
};

constexpr int WAIT_MS = 5000;

} // namespace

class CBrackwellTest : public QObject {
  Q_OBJECT

  std::shared_ptr<CSimulatedReceiver> m_pSim;
  std::unique_ptr<CBrackwell> m_pLink;

private slots:
  void init() {
    D2xxDisableAllBackends();
    m_pSim = std::make_shared<CSimulatedReceiver>();
    m_pSim->KeepLog(true);
    D2xxEnableBackend(std::make_shared<CD2xxSimBackend>(m_pSim));
    m_pLink = std::make_unique<CBrackwell>();
    QVERIFY(m_pLink->StartWorker());
    QVERIFY(m_pLink->Open("TVX10417", 38400));
  }

  void cleanup() {
    m_pSim->StopRealTime();
    m_pLink.reset();
    D2xxDisableAllBackends();
  }

  // The packet type is the receiver's message number, kept from anyone else's registration.
  void packetTypeIsReserved() {
    QCOMPARE(int(WM_RECEIVER_PACKET), 0x800A);
    QVERIFY(QEvent::registerEventType(0x800A) != 0x800A);
    QVERIFY(CBrackwell::WakeEventType() != WM_RECEIVER_PACKET);
  }

  // Everything the unit sent, in order, once; fewer wakes than items, as one wake covers all
  // the items waiting when it is answered.
  void everyPacketArrivesInOrderOnce() {
    CTakingTarget target(*m_pLink);
    m_pLink->SetTarget(&target);
    m_pSim->SetMeasurementMode(true);
    for (int i = 0; i < 40; ++i) {
      m_pSim->Advance(50);
    }
    const std::vector<Payload> sent = m_pSim->SentPayloads();
    QCOMPARE(sent.size(), size_t{21}); // the channel report and a level message per channel every 0.2 s
    QVERIFY(QTest::qWaitFor([&] { return target.m_items.size() >= sent.size(); }, WAIT_MS));
    QCoreApplication::processEvents();
    QVERIFY(target.Payloads() == sent);
    QCOMPARE(target.m_nOtherTypes, 0);
    QVERIFY(target.m_nWakes >= 1 && target.m_nWakes <= int(sent.size()));
  }

  // The lost report comes behind the packets read before it, once.
  void lostReceiverArrivesAfterItsPackets() {
    CTakingTarget target(*m_pLink);
    m_pLink->SetTarget(&target);
    m_pSim->SetMeasurementMode(true);
    m_pSim->Advance(400);
    const size_t nSent = m_pSim->SentPayloads().size();
    QVERIFY(m_pSim->WaitUntilRead(WAIT_MS));
    m_pSim->Unplug();
    QVERIFY(QTest::qWaitFor([&] { return target.m_items.size() == nSent + 1; }, WAIT_MS));
    QCOMPARE(target.m_items.back().nKind, LinkItemKind::lost);
    QVERIFY(!target.m_items.back().strReason.empty());
    QCOMPARE(target.Payloads().size(), nSent);
  }

  // Items that waited while no target was set wake the target set next.
  void waitingItemsWakeTheNewTarget() {
    m_pLink->SetTarget(nullptr);
    QVERIFY(m_pLink->SendCommandByte(CMD_SERIAL_NUMBER));
    QVERIFY(QTest::qWaitFor([&] { return m_pLink->Queue().Size() == 1; }, WAIT_MS));
    CTakingTarget target(*m_pLink);
    m_pLink->SetTarget(&target);
    QVERIFY(QTest::qWaitFor([&] { return target.m_items.size() == 1; }, WAIT_MS));
    QCOMPARE(target.m_items.front().payload.front(), MSG_SERIAL_NUMBER);
  }

  // A target may go at any moment while the unit streams at full speed: it detaches first, and
  // the worker never posts to one that is gone (ThreadSanitizer watches this).
  void targetsComeAndGoWhileTheUnitStreams() {
    m_pSim->SetSampleRate(1000);
    m_pSim->SetMeasurementMode(true);
    m_pSim->StartRealTime(20.0);
    for (int i = 0; i < 30; ++i) {
      auto pTarget = std::make_unique<CTakingTarget>(*m_pLink);
      m_pLink->SetTarget(pTarget.get());
      QVERIFY(QTest::qWaitFor([&] { return !pTarget->m_items.empty(); }, WAIT_MS));
      m_pLink->DetachTarget();
      QCOMPARE(m_pLink->GetTarget(), nullptr);
      pTarget.reset(); // the wakes posted before the detach go with it
    }
    m_pSim->StopRealTime();
  }

  // Detached, a target is woken no more: the items wait in the queue.
  void detachedTargetIsWokenNoMore() {
    CTakingTarget target(*m_pLink);
    m_pLink->SetTarget(&target);
    m_pLink->DetachTarget();
    m_pSim->SetMeasurementMode(true);
    m_pSim->Advance(1000);
    const size_t nSent = m_pSim->SentPayloads().size();
    QVERIFY(QTest::qWaitFor([&] { return m_pLink->Queue().Size() == nSent; }, WAIT_MS));
    QCoreApplication::processEvents();
    QCOMPARE(target.m_nWakes, 0);
    QVERIFY(target.m_items.empty());
  }
};

QTEST_GUILESS_MAIN(CBrackwellTest)
#include "BrackwellTest.moc"
