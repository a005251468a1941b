#pragma once

// Distances are held in metres. Feet are shown as metres x 3.28 and turned back into metres by
// x 0.3048, so a trip to feet and back multiplies a distance by 0.999744.
constexpr double METERS_TO_FEET = 3.28;
constexpr double FEET_TO_METERS = 0.3048;

constexpr double MetersToFeet(double dMeters) { return dMeters * METERS_TO_FEET; }
constexpr double FeetToMeters(double dFeet) { return dFeet * FEET_TO_METERS; }

// Entries of a units box, in order.
constexpr int UNITS_METERS = 0;
constexpr int UNITS_FEET = 1;
