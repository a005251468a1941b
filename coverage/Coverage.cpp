#include "coverage/Coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

CCoverage::CCoverage(const _coveragesettings &settings, const _planmetric &metric, int nPlanWidth, int nPlanHeight,
                     std::vector<uint16_t> channels)
    : m_settings(settings), m_metric(metric), m_empty(settings, metric, 0, 0) {
  for (const uint16_t nChannel : channels) {
    if (nChannel == 1 || nChannel == 2) {
      m_channels[nChannel - 1U] = std::make_unique<CCoverageChannel>(settings, metric, nPlanWidth, nPlanHeight);
    }
  }
}

CCoverage::~CCoverage() = default;

CCoverageChannel *CCoverage::Channel(uint16_t nChannel) {
  return nChannel == 1 || nChannel == 2 ? m_channels[nChannel - 1U].get() : nullptr;
}

const CCoverageChannel &CCoverage::ChannelOf(uint16_t nChannel) const {
  const CCoverageChannel *pChannel = nChannel == 1 || nChannel == 2 ? m_channels[nChannel - 1U].get() : nullptr;
  return pChannel != nullptr ? *pChannel : m_empty;
}

_track CCoverage::TrackOf(double dStartX, double dStartY, double dStopX, double dStopY) const {
  return MakeTrack(dStartX, dStartY, dStopX, dStopY, m_metric, m_settings.dBinMetres);
}

void CCoverage::AddSegment(uint32_t nSegment, const _surveysegmententry &segment, const _segmenttiming &timing) {
  const _segmentheader &h = segment.header;
  const _track track = TrackOf(h.nStartX, h.nStartY, h.nStopX, h.nStopY);
  BinSegmentLevels(nSegment, track, segment);
  if (timing.bTimed) {
    NoteSpeed(nSegment, track.dLength, timing.nDurationMs);
  }
}

void CCoverage::BinSegmentLevels(uint32_t nSegment, const _track &track, const _surveysegmententry &segment) {
  for (const auto &pChannel : m_channels) {
    if (pChannel) {
      pChannel->StartSegment(nSegment, track);
    }
  }
  // A channel's consecutive levels on one stretch are gathered before they go to its bin.
  CCoverageChannel *pChannel = nullptr;
  uint16_t nChannel = 0;
  uint32_t nBin = 0;
  _coveragebin run;
  const auto flush = [&] {
    if (pChannel != nullptr && run.nCount > 0) {
      pChannel->AddLevels(nSegment, nBin, run);
    }
    run = _coveragebin{};
  };
  VisitSegmentLevels(segment, [&](const _surveyrecordentry &record, int16_t nLevel, uint32_t k, uint32_t nCount) {
    if (record.nChannel != nChannel) {
      flush();
      nChannel = record.nChannel;
      pChannel = Channel(nChannel);
    }
    if (pChannel == nullptr) {
      return;
    }
    // Where the export puts the level, as metres along the line.
    const uint32_t nAt = track.BinAt(LevelFraction(k, nCount) * track.dLength);
    if (nAt != nBin) {
      flush();
      nBin = nAt;
    }
    run.Add(nLevel);
  });
  flush();
}

void CCoverage::NoteSpeed(uint32_t nSegment, double dMetres, int64_t nDurationMs) {
  std::erase_if(m_speeds, [nSegment](const auto &speed) { return speed.first == nSegment; });
  if (nDurationMs > 0 && dMetres > 0) {
    m_speeds.emplace_back(nSegment, dMetres / (static_cast<double>(nDurationMs) / 1000.0));
  }
}

double CCoverage::MedianSpeed() const {
  if (m_speeds.empty()) {
    return 0;
  }
  std::vector<double> speeds;
  for (const auto &speed : m_speeds) {
    speeds.push_back(speed.second);
  }
  std::sort(speeds.begin(), speeds.end());
  const size_t n = speeds.size();
  return n % 2 == 1 ? speeds[n / 2] : (speeds[n / 2 - 1] + speeds[n / 2]) / 2;
}

void CCoverage::TakeOutSegment(uint32_t nSegment) {
  for (const auto &pChannel : m_channels) {
    if (pChannel) {
      pChannel->ExcludeSegment(nSegment, true);
    }
  }
}

void CCoverage::PutBackSegment(uint32_t nSegment) {
  for (const auto &pChannel : m_channels) {
    if (pChannel) {
      pChannel->ExcludeSegment(nSegment, false);
    }
  }
}

void CCoverage::Update() {
  for (const auto &pChannel : m_channels) {
    if (pChannel) {
      pChannel->Update();
    }
  }
}

std::vector<_cellrect> CCoverage::TakeChangedCells(uint16_t nChannel) {
  CCoverageChannel *pChannel = Channel(nChannel);
  return pChannel != nullptr ? pChannel->TakeChanges() : std::vector<_cellrect>{};
}

const CCoverageGrid &CCoverage::Grid(uint16_t nChannel) const { return ChannelOf(nChannel).Grid(); }

_coveragefigures CCoverage::Figures(uint16_t nChannel) const { return ChannelOf(nChannel).Figures(); }

std::vector<_coveragebin> CCoverage::SegmentBins(uint16_t nChannel, uint32_t nSegment) const {
  return ChannelOf(nChannel).SegmentBins(nSegment);
}

std::string CoverageGridProblem(const _coveragesettings &settings, const _planmetric &metric, int nPlanWidth,
                                int nPlanHeight) {
  const double dColumns = std::ceil(nPlanWidth * metric.MetresPerPixelX() / settings.dCellMetres);
  const double dRows = std::ceil(nPlanHeight * metric.MetresPerPixelY() / settings.dCellMetres);
  if (!(dColumns * dRows <= static_cast<double>(COVERAGE_MAX_CELLS))) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "a cell size of %g m gives %.0f cells on this plan; at most %llu can be computed, so make the "
                  "cells larger",
                  settings.dCellMetres, dColumns * dRows, static_cast<unsigned long long>(COVERAGE_MAX_CELLS));
    return text;
  }
  return "";
}
