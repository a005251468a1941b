#include "link/Usb.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A link with no device that keeps every packet it hands on, taken from its queue.
class CRecordingLink : public CUSB {
public:
  std::vector<Bytes> m_packets;
  void Feed(const Bytes &bytes) {
    ProcessBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    for (_linkitem &item : Queue().TakeAll()) {
      EXPECT_EQ(item.nKind, LinkItemKind::packet);
      m_packets.push_back(std::move(item.payload));
    }
  }
  void Restart() { ResetReceive(); }
};

// The decoder's rules taken one byte at a time, exactly as written down, with a frame of
// length 0 sending the decoder back to hunting after its spare byte.
class CReferenceDecoder {
public:
  std::vector<Bytes> m_packets;
  void Feed(const Bytes &bytes) {
    for (const uint8_t b : bytes) {
      Step(b);
    }
  }

private:
  void Step(uint8_t b) {
    if (m_bInPacket) {
      m_buffer.push_back(b);
      if (m_buffer.size() == m_nLength) {
        m_packets.push_back(m_buffer);
        m_buffer.clear();
        m_bInPacket = false;
      } else if (m_buffer.size() == CUSB::RX_BUFFER_SIZE) {
        m_buffer.clear();
        m_bInPacket = false;
        m_bSync = false;
      }
    } else if (m_bSync) {
      m_bSync = false;
      m_nLength = b;
      m_bLength = true;
    } else if (m_bLength) {
      m_bLength = false;
      m_buffer.clear();
      m_bInPacket = m_nLength != 0;
    } else if (b == 0xAA) {
      m_bSync = true;
    }
  }
  Bytes m_buffer;
  size_t m_nLength = 0;
  bool m_bInPacket = false, m_bSync = false, m_bLength = false;
};

Bytes Frame(const Bytes &payload) {
  Bytes frame = {0xAA, static_cast<uint8_t>(payload.size()), 0x00};
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto &part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

TEST(FrameDecoder, DeliversPayloadWithoutHeaderAndSkipsLeadingGarbage) {
  CRecordingLink link;
  link.Feed({0xAA, 0x03, 0x00, 0x11, 0x22, 0x33});
  link.Feed({0x00, 0x55, 0xAA, 0x01, 0x00, 0x7F});
  ASSERT_EQ(link.m_packets.size(), 2U);
  EXPECT_EQ(link.m_packets[0], (Bytes{0x11, 0x22, 0x33}));
  EXPECT_EQ(link.m_packets[1], (Bytes{0x7F}));
}

TEST(FrameDecoder, TwoFramesInOneCallArriveInOrderDuringThatCall) {
  CRecordingLink link;
  link.Feed(Concat({Frame({1, 2}), Frame({3})}));
  ASSERT_EQ(link.m_packets.size(), 2U);
  EXPECT_EQ(link.m_packets[0], (Bytes{1, 2}));
  EXPECT_EQ(link.m_packets[1], (Bytes{3}));
}

TEST(FrameDecoder, SyncValueInsideAFrameIsData) {
  CRecordingLink link;
  // Payload AA AA; the 0x55 after it is looked at while hunting and dropped, then a frame
  // whose length byte is 0xAA (170) and whose spare byte is 0xAA.
  Bytes payload170(170, 0xAA);
  link.Feed(Concat({{0xAA, 0x02, 0x00, 0xAA, 0xAA, 0x55}, {0xAA, 0xAA, 0xAA}, payload170}));
  ASSERT_EQ(link.m_packets.size(), 2U);
  EXPECT_EQ(link.m_packets[0], (Bytes{0xAA, 0xAA}));
  EXPECT_EQ(link.m_packets[1], payload170);
}

TEST(FrameDecoder, SyncValueAtEveryPayloadPosition) {
  for (size_t pos = 0; pos < 5; ++pos) {
    Bytes payload = {1, 2, 3, 4, 5};
    payload[pos] = 0xAA;
    CRecordingLink link;
    link.Feed(Concat({Frame(payload), Frame({9})}));
    ASSERT_EQ(link.m_packets.size(), 2U) << "0xAA at " << pos;
    EXPECT_EQ(link.m_packets[0], payload);
    EXPECT_EQ(link.m_packets[1], (Bytes{9}));
  }
}

TEST(FrameDecoder, LongestFrameCarries255Bytes) {
  Bytes payload(255);
  for (size_t i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<uint8_t>(i);
  }
  CRecordingLink link;
  link.Feed(Frame(payload));
  ASSERT_EQ(link.m_packets.size(), 1U);
  EXPECT_EQ(link.m_packets[0], payload);
}

TEST(FrameDecoder, EmptyFrameDeliversNothingAndLosesNoFollowingFrame) {
  CRecordingLink link;
  link.Feed(Concat({{0xAA, 0x00, 0x00}, Frame({0x7F}), {0x10, 0xAA, 0x00, 0xAA}, Frame({0x42, 0x43})}));
  ASSERT_EQ(link.m_packets.size(), 2U);
  EXPECT_EQ(link.m_packets[0], (Bytes{0x7F}));
  EXPECT_EQ(link.m_packets[1], (Bytes{0x42, 0x43}));
}

TEST(FrameDecoder, FrameSplitAtEveryPositionGivesTheSamePackets) {
  const Bytes stream = Concat({{0x13, 0x37},
                               Frame({0x02, 0xF6, 0x00, 0xEC}),
                               {0xAA, 0x00, 0x01},
                               Frame({0xAA, 0x1C}),
                               Frame(Bytes(255, 0x5A))});
  CRecordingLink whole;
  whole.Feed(stream);
  ASSERT_EQ(whole.m_packets.size(), 3U);

  for (size_t split = 0; split <= stream.size(); ++split) {
    CRecordingLink link;
    link.Feed(Bytes(stream.begin(), stream.begin() + static_cast<long>(split)));
    link.Feed(Bytes(stream.begin() + static_cast<long>(split), stream.end()));
    EXPECT_EQ(link.m_packets, whole.m_packets) << "split at " << split;
  }

  CRecordingLink bytewise;
  std::vector<size_t> deliveredAt;
  for (size_t i = 0; i < stream.size(); ++i) {
    const size_t before = bytewise.m_packets.size();
    bytewise.Feed({stream[i]});
    if (bytewise.m_packets.size() != before) {
      deliveredAt.push_back(i);
    }
  }
  EXPECT_EQ(bytewise.m_packets, whole.m_packets);
  // Each packet is delivered during the call that passes its last byte.
  EXPECT_EQ(deliveredAt, (std::vector<size_t>{8, 16, stream.size() - 1}));
}

TEST(FrameDecoder, RestartDropsAPartlyReceivedPayload) {
  CRecordingLink link;
  link.Feed({0xAA, 0x04, 0x00, 0x01, 0x02});
  link.Restart();
  link.Feed(Frame({0x03}));
  ASSERT_EQ(link.m_packets.size(), 1U);
  EXPECT_EQ(link.m_packets[0], (Bytes{0x03}));
}

// Random streams of frames, garbage and stray sync bytes, fed in random chunks, give exactly
// what the byte-at-a-time rules give.
TEST(FrameDecoder, MatchesByteAtATimeRulesOnRandomStreams) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 300; ++round) {
    Bytes stream;
    const int nPieces = static_cast<int>(rng() % 40);
    for (int i = 0; i < nPieces; ++i) {
      switch (rng() % 4) {
      case 0: { // a frame, length 0 included
        Bytes payload(rng() % 256);
        for (auto &b : payload) {
          b = static_cast<uint8_t>(rng() % 3 == 0 ? 0xAA : rng());
        }
        auto frame = Frame(payload);
        stream.insert(stream.end(), frame.begin(), frame.end());
        break;
      }
      case 1: // garbage, sync bytes included
        for (unsigned n = rng() % 20; n > 0; --n) {
          stream.push_back(static_cast<uint8_t>(rng() % 4 == 0 ? 0xAA : rng()));
        }
        break;
      case 2: // a dropped byte somewhere before
        if (!stream.empty()) {
          stream.erase(stream.begin() + static_cast<long>(rng() % stream.size()));
        }
        break;
      default:
        stream.push_back(0xAA);
      }
    }
    CReferenceDecoder reference;
    reference.Feed(stream);
    CRecordingLink link;
    size_t pos = 0;
    while (pos < stream.size()) {
      const size_t n = std::min<size_t>(stream.size() - pos, 1 + rng() % 300);
      link.Feed(Bytes(stream.begin() + static_cast<long>(pos), stream.begin() + static_cast<long>(pos + n)));
      pos += n;
    }
    ASSERT_EQ(link.m_packets, reference.m_packets) << "round " << round;
  }
}

} // namespace
