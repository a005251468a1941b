#include "quality/QualitySettings.h"

#include <cmath>
#include <cstdlib>

const std::vector<_qualitysetting> &QualitySettingList() {
  static const std::vector<_qualitysetting> list{
      {"gap_min_s", "a gap is no level on a channel for longer than this many seconds ...",
       &_qualitysettings::dGapMinS},
      {"gap_median_factor", "... and longer than this many times the median interval between its messages",
       &_qualitysettings::dGapMedianFactor},
      {"rate_low", "a channel's levels per second under this share of the survey's median",
       &_qualitysettings::dRateLow},
      {"rate_high", "a channel's levels per second over this share of the survey's median",
       &_qualitysettings::dRateHigh},
      {"channel_difference", "the two channels' level counts differ by more than this share",
       &_qualitysettings::dChannelDifference},
      {"speed_min_m_s", "walked slower than this (metres per second)", &_qualitysettings::dSpeedMinMS},
      {"speed_max_m_s", "walked faster than this (metres per second)", &_qualitysettings::dSpeedMaxMS},
      {"walk_min_s", "a walk shorter than this many seconds", &_qualitysettings::dWalkMinS},
      {"still_min_s", "standing still: a stretch of at least this many seconds ...", &_qualitysettings::dStillMinS},
      {"still_window_s", "... whose levels' standard deviation over a sliding window this long ...",
       &_qualitysettings::dStillWindowS},
      {"still_share", "... stays under this share of its median over the segment", &_qualitysettings::dStillShare},
      {"clip_share", "more than this share of a channel's levels at -128 or 127", &_qualitysettings::dClipShare},
      {"equal_run", "this many equal levels in a row on a channel", &_qualitysettings::dEqualRun},
  };
  return list;
}

std::string SetQualitySetting(_qualitysettings &settings, const std::string &strAssignment) {
  const size_t nEquals = strAssignment.find('=');
  if (nEquals == std::string::npos) {
    return "\"" + strAssignment + "\" is not NAME=VALUE";
  }
  const std::string name = strAssignment.substr(0, nEquals);
  const std::string value = strAssignment.substr(nEquals + 1);
  for (const auto &setting : QualitySettingList()) {
    if (name != setting.pName) {
      continue;
    }
    char *pEnd = nullptr;
    const double dValue = std::strtod(value.c_str(), &pEnd);
    if (value.empty() || pEnd != value.c_str() + value.size() || !std::isfinite(dValue) || dValue <= 0) {
      return "the setting " + name + " takes a positive number, not \"" + value + "\"";
    }
    settings.*setting.pValue = dValue;
    return "";
  }
  std::string names;
  for (const auto &setting : QualitySettingList()) {
    names += names.empty() ? setting.pName : std::string(", ") + setting.pName;
  }
  return "there is no setting \"" + name + "\" (the settings are " + names + ")";
}
