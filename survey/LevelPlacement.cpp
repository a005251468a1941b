#include "survey/LevelPlacement.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

constexpr int64_t MS_PER_SECOND = 1000;
constexpr int64_t MS_PER_DAY = 86400 * MS_PER_SECOND;
// What the collector stamps in each time field when the local time could not be had.
constexpr uint8_t CLOCK_UNREAD = 255;

struct _clocktime {
  uint8_t nHour = 0;
  uint8_t nMinute = 0;
  uint8_t nSecond = 0;
  bool operator==(const _clocktime &) const = default;
};

_clocktime StartTime(const _segmentheader &h) { return {h.nStartHour, h.nStartMinute, h.nStartSecond}; }
_clocktime StopTime(const _segmentheader &h) { return {h.nStopHour, h.nStopMinute, h.nStopSecond}; }

std::string Text(const _clocktime &t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", t.nHour, t.nMinute, t.nSecond);
  return text;
}

// A leap second is stamped as second 60.
bool IsTimeOfDay(const _clocktime &t) { return t.nHour <= 23 && t.nMinute <= 59 && t.nSecond <= 60; }

bool IsUnread(const _clocktime &t) {
  return t.nHour == CLOCK_UNREAD || t.nMinute == CLOCK_UNREAD || t.nSecond == CLOCK_UNREAD;
}

int64_t SecondsOfDay(const _clocktime &t) { return t.nHour * 3600LL + t.nMinute * 60LL + t.nSecond; }

// Why the time t, stamped at BEGIN or STOP, cannot be used; empty when it can.
std::string TimeProblem(const _clocktime &t, const char *pWhich, const char *pWhen) {
  if (IsTimeOfDay(t)) {
    return "";
  }
  if (IsUnread(t)) {
    return std::string("no ") + pWhich + " time: the local time could not be read at " + pWhen;
  }
  return std::string("no ") + pWhich + " time: " + Text(t) + " is not a time of day";
}

bool CountDisagrees(const _surveycontents &contents, const _surveysegmententry &segment) {
  for (const auto &error : contents.errors) {
    if (error.kind == SurveyProblem::countMismatch && error.nOffset == segment.nOffset + 50) {
      return true;
    }
  }
  return false;
}

_segmenttiming Untimed(std::string note) {
  _segmenttiming timing;
  timing.strNote = std::move(note);
  return timing;
}

} // namespace

double LevelFraction(uint32_t k, uint32_t n) { return (static_cast<double>(k) + 0.5) / static_cast<double>(n); }

_segmenttiming SegmentTiming(const _surveycontents &contents, size_t nIndex) {
  const _surveysegmententry &segment = contents.segments.at(nIndex);
  const _segmentheader &h = segment.header;

  using namespace std::chrono;
  const year_month_day date{year{1980 + h.nYear}, month{h.nMonth}, day{h.nDay}};
  if (h.nMonth == 0 || h.nDay == 0) {
    return Untimed("no date: the local time could not be read at BEGIN");
  }
  if (!date.ok()) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", 1980 + h.nYear, h.nMonth, h.nDay);
    return Untimed(std::string("no date: ") + text + " is not a date");
  }
  const _clocktime start = StartTime(h);
  const _clocktime stop = StopTime(h);
  if (auto problem = TimeProblem(start, "start", "BEGIN"); !problem.empty()) {
    return Untimed(problem);
  }
  if (auto problem = TimeProblem(stop, "stop", "STOP"); !problem.empty()) {
    return Untimed(problem);
  }
  if (CountDisagrees(contents, segment)) {
    return Untimed("no stop time: the header written at STOP never reached the file (its record count " +
                   std::to_string(h.nRecordCount) + " disagrees with the " + std::to_string(segment.records.size()) +
                   " records behind it)");
  }
  // STOP replaces the stop time the header buffer carries over from before the walk.
  const _clocktime before = nIndex == 0 ? _clocktime{} : StopTime(contents.segments[nIndex - 1].header);
  if (stop == before) {
    return Untimed("no stop time: STOP was never stamped (the stop time " + Text(stop) + " is " +
                   (nIndex == 0 ? "the blank of a new file's first segment" : "the previous segment's") + ")");
  }

  int64_t nDuration = SecondsOfDay(stop) - SecondsOfDay(start);
  if (nDuration < 0) {
    nDuration += 86400; // the walk crossed midnight
  }
  _segmenttiming timing;
  timing.bTimed = true;
  timing.nStartMs = sys_days{date}.time_since_epoch().count() * MS_PER_DAY + SecondsOfDay(start) * MS_PER_SECOND;
  timing.nDurationMs = nDuration * MS_PER_SECOND;
  return timing;
}

std::vector<_placedlevel> PlaceSegmentLevels(const _surveycontents &contents, size_t nIndex,
                                             const _segmenttiming &timing) {
  const _surveysegmententry &segment = contents.segments.at(nIndex);
  const _segmentheader &h = segment.header;
  size_t nTotal = 0;
  for (const auto &record : segment.records) {
    nTotal += record.levels.size();
  }

  const double dStartX = h.nStartX;
  const double dStartY = h.nStartY;
  const double dSpanX = static_cast<double>(h.nStopX) - dStartX;
  const double dSpanY = static_cast<double>(h.nStopY) - dStartY;
  std::vector<_placedlevel> placed;
  placed.reserve(nTotal);
  VisitSegmentLevels(segment, [&](const _surveyrecordentry &record, int16_t nLevel, uint32_t k, uint32_t nCount) {
    const double dFraction = LevelFraction(k, nCount);
    _placedlevel level;
    level.nSegment = static_cast<uint32_t>(nIndex + 1);
    level.nChannel = record.nChannel;
    level.nIndex = k;
    level.nCount = nCount;
    level.dX = dStartX + dFraction * dSpanX;
    level.dY = dStartY + dFraction * dSpanY;
    level.bTimed = timing.bTimed;
    if (timing.bTimed) {
      level.nTimeMs = timing.nStartMs + std::llround(dFraction * static_cast<double>(timing.nDurationMs));
    }
    level.nFrequency = record.nFrequency;
    level.nLevel = nLevel;
    placed.push_back(level);
  });
  return placed;
}

std::string FormatLocalTime(int64_t nMs) {
  using namespace std::chrono;
  int64_t nDays = nMs / MS_PER_DAY;
  int64_t nOfDay = nMs % MS_PER_DAY;
  if (nOfDay < 0) {
    nOfDay += MS_PER_DAY;
    --nDays;
  }
  const year_month_day date{sys_days{days{nDays}}};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lld", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long long>(nOfDay / 3600000), static_cast<long long>(nOfDay / 60000 % 60),
                static_cast<long long>(nOfDay / 1000 % 60), static_cast<long long>(nOfDay % 1000));
  return text;
}
