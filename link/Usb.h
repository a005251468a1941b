#pragma once

#include <cstdint>

// The receiver link. The byte stream from the receiver is cut into packets by a decoder that
// runs one byte at a time and hands each complete payload to OnPacket.
//
// Frame, both directions: 0xAA (sync), length (0..255), a spare byte, then length payload
// bytes. There is no checksum and no escaping: inside a frame 0xAA is ordinary data.
class CUSB {
public:
  static constexpr uint32_t RX_BUFFER_SIZE = 4096;
  static constexpr uint8_t FRAME_SYNC = 0xAA;

  CUSB();
  CUSB(const CUSB &) = delete;
  CUSB &operator=(const CUSB &) = delete;
  virtual ~CUSB();

  // Feeds count bytes to the decoder in order. OnPacket is called once for every packet that
  // completes, in stream order, before this returns. A frame may be split at any byte over any
  // number of calls.
  void ProcessBytes(const uint8_t *data, uint32_t count);

protected:
  // Called on the thread that called ProcessBytes. payload points into the receive buffer and
  // is valid only until this returns; length is 1 to 255.
  virtual void OnPacket(const uint8_t *payload, uint32_t length) = 0;

  // Puts the decoder back to hunting for a sync byte and drops a partly received payload.
  // Called whenever a worker starts; the sync and length flags keep their values.
  void ResetReceive();

  // Decoder state.
  uint8_t m_RxBuffer[RX_BUFFER_SIZE];
  uint32_t m_nRxCount = 0;
  bool m_bInPacket = false;
  bool m_bSyncSeen = false;
  bool m_bLengthSeen = false;
  uint16_t m_nPacketLength = 0;
};
