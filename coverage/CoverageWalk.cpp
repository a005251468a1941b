// The segment being walked: its levels placed by the time elapsed since BEGIN until STOP places
// them as the export does.
#include "coverage/Coverage.h"

#include <algorithm>

void CCoverage::BeginSegment(uint32_t nSegment, _planpointd start, _planpointd stop, int64_t nBeginMs) {
  m_pWalk = std::make_unique<_walk>();
  m_pWalk->nSegment = nSegment;
  m_pWalk->track = TrackOf(start.dX, start.dY, stop.dX, stop.dY);
  m_pWalk->nBeginMs = nBeginMs;
  m_pWalk->lastArrivalMs = {nBeginMs, nBeginMs};
  const double dMedian = MedianSpeed();
  m_pWalk->dSpeed = dMedian > 0 ? dMedian : m_pWalk->track.dLength / COVERAGE_TYPICAL_WALK_SECONDS;
  for (const auto &pChannel : m_channels) {
    if (pChannel) {
      pChannel->StartSegment(nSegment, m_pWalk->track);
    }
  }
}

void CCoverage::AddLevels(uint32_t nSegment, uint16_t nChannel, const int16_t *pLevels, size_t nCount,
                          int64_t nArrivalMs) {
  CCoverageChannel *pChannel = Channel(nChannel);
  if (!m_pWalk || m_pWalk->nSegment != nSegment || pChannel == nullptr || nCount == 0) {
    return;
  }
  _walk &walk = *m_pWalk;
  const size_t k = nChannel - 1U;
  // The message's levels were measured one after another since the channel's last message.
  const int64_t nFromMs = std::min(walk.lastArrivalMs[k], nArrivalMs);
  walk.lastArrivalMs[k] = nArrivalMs;
  for (size_t i = 0; i < nCount; ++i) {
    const double dMs = static_cast<double>(nFromMs - walk.nBeginMs) +
                       static_cast<double>(nArrivalMs - nFromMs) * static_cast<double>(i + 1) / nCount;
    const double dMetres = std::min(walk.track.dLength, walk.dSpeed * dMs / 1000.0); // never past the stop point
    pChannel->AddLevel(nSegment, walk.track.BinAt(dMetres), pLevels[i]);
  }
  walk.levels[k].Append(pLevels, nCount);
}

void CCoverage::StopSegment(uint32_t nSegment, const _segmentheader &header, int64_t nStopMs) {
  if (!m_pWalk || m_pWalk->nSegment != nSegment) {
    return;
  }
  const std::unique_ptr<_walk> pWalk = std::move(m_pWalk);
  // The walk as the file holds it: the final header and each channel's levels in order.
  _surveysegmententry segment;
  segment.header = header;
  for (uint16_t nChannel = 1; nChannel <= 2; ++nChannel) {
    _surveyrecordentry record;
    record.nChannel = nChannel;
    CChunkedList<int16_t> &kept = pWalk->levels[nChannel - 1U];
    kept.AppendTo(record.levels);
    kept = {}; // one channel's levels held twice at a time, not both
    record.nLevels = static_cast<uint32_t>(record.levels.size());
    if (record.nLevels > 0) {
      segment.records.push_back(std::move(record));
    }
  }
  const _track track = TrackOf(header.nStartX, header.nStartY, header.nStopX, header.nStopY);
  BinSegmentLevels(nSegment, track, segment);
  NoteSpeed(nSegment, track.dLength, nStopMs - pWalk->nBeginMs);
}
