#pragma once

#include "coverage/TrackBins.h"
#include "survey/SurveyReader.h"

#include <cstdint>
#include <map>
#include <vector>

// The level profile of one segment: each channel's levels along the walked line, in the
// along-track bins of the coverage (TrackBins.h), so that the profile and the heatmap agree on
// where a level lies.
//
// A channel's levels were measured one after another while the segment was walked, except where
// the channel delivered nothing (a gap found while walking). They are placed by the time they
// were measured: the k-th of N at the middle of its equal share of the walk's time without the
// gaps, the walk taken as steady. A stretch that lies wholly within a gap thus holds no level
// and is drawn as a gap. Without gaps this is the placement of the file's readers (LevelFraction).

// A stretch of the walk, as fractions of it from BEGIN (0) to STOP (1).
struct _walkspan {
  double dFrom = 0;
  double dTo = 0;
};

struct _profilechannel {
  uint16_t nChannel = 0;
  uint32_t nLevels = 0;
  std::vector<_coveragebin> bins; // one per stretch of the track; nCount 0: no level there
  std::vector<_walkspan> gaps;    // the channel's gaps, in metres along the segment
};

struct _levelprofile {
  double dLengthM = 0;                   // the track's length
  double dBinM = 0;                      // of a bin
  std::vector<_profilechannel> channels; // by ascending channel number, those with levels or gaps
  bool bAnyLevel = false;
  int16_t nLow = 0; // the lowest and highest level of every channel
  int16_t nHigh = 0;

  // Where bin nBin of a channel lies along the segment, metres.
  double BinFrom(uint32_t nBin) const { return nBin * dBinM; }
  double BinTo(uint32_t nBin) const;
};

// The profile of segment's channels 1 and 2 on track, with the gaps per channel (fractions of the walk).
_levelprofile SegmentProfile(const _surveysegmententry &segment, const _track &track,
                             const std::map<uint16_t, std::vector<_walkspan>> &gaps);

// The fraction of the walk at which the k-th of n levels was measured when the channel measured
// at a steady rate outside gaps (sorted, not overlapping, within 0 to 1).
double MeasuredFraction(uint32_t k, uint32_t n, const std::vector<_walkspan> &gaps);
