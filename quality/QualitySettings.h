#pragma once

#include <string>
#include <vector>

// The thresholds of the segment checks. Every one is a setting with a name, so that the window
// and tvdtool (`survey check --set NAME=VALUE`) can change it; the defaults are what a surveyor
// walking at an ordinary pace with a steady receiver meets.
struct _qualitysettings {
  double dGapMinS = 1.0;           // a gap lasts longer than this ...
  double dGapMedianFactor = 3.0;   // ... and longer than this many median intervals between messages
  double dRateLow = 0.5;           // levels per second under this share of the survey's median
  double dRateHigh = 1.5;          // or over this share
  double dChannelDifference = 0.2; // the two channels' level counts differ by more than this share
  double dSpeedMinMS = 0.3;        // metres per second
  double dSpeedMaxMS = 2.0;
  double dWalkMinS = 2.0;     // a walk shorter than this
  double dStillMinS = 3.0;    // a stretch this long ...
  double dStillWindowS = 1.0; // ... whose levels' standard deviation over windows this long ...
  double dStillShare = 0.25;  // ... stays under this share of its median over the segment
  double dClipShare = 0.01;   // more than this share of levels at -128 or 127
  double dEqualRun = 50;      // this many equal levels in a row
};

// One setting: its name, what it means, and its member.
struct _qualitysetting {
  const char *pName;
  const char *pMeaning;
  double _qualitysettings::*pValue;
};

// Every setting, in the order the README lists them.
const std::vector<_qualitysetting> &QualitySettingList();

// Applies "NAME=VALUE" to settings. Returns why it cannot be applied (an unknown name, a value
// that is no positive number), or an empty string when it was.
std::string SetQualitySetting(_qualitysettings &settings, const std::string &strAssignment);
