#include "coverage/CoverageSurvey.h"

_coveragesurvey AddSurveyToCoverage(const CSurveySource &source, CCoverage &coverage, uint32_t nLastSegment) {
  _coveragesurvey result;
  result.contents =
      StreamSurvey(source, {true, false, SurveyReading::stopAtDamage}, [&](const _surveycontents &contents, size_t i) {
        if (i >= nLastSegment) {
          return;
        }
        for (const auto &record : contents.segments[i].records) {
          if (record.nChannel == 1 || record.nChannel == 2) {
            result.frequencies[record.nChannel - 1U] = record.nFrequency;
            result.levels[record.nChannel - 1U] += record.nLevels;
          }
        }
        const _segmenttiming timing = SegmentTiming(contents, i);
        coverage.AddSegment(static_cast<uint32_t>(i + 1), contents.segments[i], timing);
      });
  coverage.Update();
  return result;
}

void FollowQualityRecord(CCoverage &coverage, const _qualityrecord &record, uint32_t nSegments) {
  for (uint32_t n = 1; n <= nSegments; ++n) {
    if (record.Counts(n)) {
      coverage.PutBackSegment(n);
    } else {
      coverage.TakeOutSegment(n);
    }
  }
}
