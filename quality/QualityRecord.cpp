#include "quality/QualityRecord.h"

#include <algorithm>
#include <cstdio>

namespace {

_qualityentry &Entry(_qualityrecord &record, uint32_t nSegment, const _segmentheader &header) {
  _qualityentry &entry = record.entries[nSegment];
  entry.strKey = SegmentKey(header);
  return entry;
}

} // namespace

bool _qualityrecord::Counts(uint32_t nSegment) const {
  const auto it = entries.find(nSegment);
  return it == entries.end() || (!it->second.bExcluded && it->second.nReplacedBy == 0);
}

const _walkgaps *_qualityrecord::Walk(uint32_t nSegment) const {
  const auto it = entries.find(nSegment);
  return it != entries.end() && it->second.bWalked ? &it->second.walk : nullptr;
}

std::vector<uint32_t> _qualityrecord::CountingSegments(uint32_t nSegments) const {
  std::vector<uint32_t> counting;
  for (uint32_t n = 1; n <= nSegments; ++n) {
    if (Counts(n)) {
      counting.push_back(n);
    }
  }
  return counting;
}

std::string SegmentKey(const _segmentheader &h) {
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u (%u,%u)-(%u,%u)", 1980 + h.nYear, h.nMonth, h.nDay,
                h.nStartHour, h.nStartMinute, h.nStartSecond, h.nStartX, h.nStartY, h.nStopX, h.nStopY);
  return text;
}

void RecordWalk(_qualityrecord &record, uint32_t nSegment, const _segmentheader &header, const _walkgaps &walk) {
  _qualityentry &entry = Entry(record, nSegment, header);
  entry.bWalked = true;
  entry.walk = walk;
}

void RecordReplacement(_qualityrecord &record, uint32_t nOld, const _segmentheader &oldHeader, uint32_t nNew,
                       const _segmentheader &newHeader) {
  Entry(record, nNew, newHeader);
  Entry(record, nOld, oldHeader).nReplacedBy = nNew;
}

void SetExcluded(_qualityrecord &record, uint32_t nSegment, const _segmentheader &header, bool bExcluded) {
  _qualityentry &entry = Entry(record, nSegment, header);
  entry.bExcluded = bExcluded;
  // An entry that says nothing more goes, unless another segment was replaced by this one.
  const bool bTarget = std::any_of(record.entries.begin(), record.entries.end(),
                                   [nSegment](const auto &other) { return other.second.nReplacedBy == nSegment; });
  if (!bExcluded && !entry.bWalked && entry.nReplacedBy == 0 && !bTarget) {
    record.entries.erase(nSegment);
  }
}
