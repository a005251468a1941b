#include "link/Usb.h"

#include <algorithm>
#include <cstring>

void CUSB::ResetReceive() {
  m_nRxCount = 0;
  m_bInPacket = false;
}

// The decoder takes the bytes in runs rather than one by one where the state allows it: while
// hunting it skips to the next sync byte, and inside a payload it copies as many bytes as the
// frame still needs. The result is the same as stepping byte by byte.
void CUSB::ProcessBytes(const uint8_t *data, uint32_t count) {
  const uint8_t *p = data;
  const uint8_t *const pEnd = data + count;
  while (p < pEnd) {
    if (m_bInPacket) {
      const uint32_t nWanted = m_nPacketLength > m_nRxCount ? m_nPacketLength - m_nRxCount : 1;
      const uint32_t nRoom = RX_BUFFER_SIZE - m_nRxCount;
      const auto nTake = std::min({nWanted, nRoom, static_cast<uint32_t>(pEnd - p)});
      std::memcpy(m_RxBuffer + m_nRxCount, p, nTake);
      m_nRxCount += nTake;
      p += nTake;
      if (m_nRxCount == m_nPacketLength) {
        m_bInPacket = false;
        m_nRxCount = 0;
        OnPacket(m_RxBuffer, m_nPacketLength);
      } else if (m_nRxCount >= RX_BUFFER_SIZE) {
        // Cannot happen with a one-byte length, but a full buffer must never be overrun.
        m_bInPacket = false;
        m_bSyncSeen = false;
      }
    } else if (m_bSyncSeen) {
      m_bSyncSeen = false;
      m_nPacketLength = *p++;
      m_bLengthSeen = true;
    } else if (m_bLengthSeen) {
      // The spare byte is dropped. A frame of length 0 carries nothing: the decoder goes back to
      // hunting at once instead of swallowing the stream that follows as a payload.
      ++p;
      m_bLengthSeen = false;
      m_nRxCount = 0;
      m_bInPacket = m_nPacketLength != 0;
    } else {
      const void *pSync = std::memchr(p, FRAME_SYNC, static_cast<size_t>(pEnd - p));
      if (pSync == nullptr) {
        return;
      }
      p = static_cast<const uint8_t *>(pSync) + 1;
      m_bSyncSeen = true;
    }
  }
}
