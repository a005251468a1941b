#pragma once

#include <optional>
#include <string>

// Latitude and longitude as a surveyor types or pastes them: "48.1376012, 11.5751987", as map
// programs copy a place. Blanks around the numbers, a semicolon or blanks alone between them and
// degree signs after them are taken too.
struct _latlon {
  double dLatitude = 0;
  double dLongitude = 0;
};

// The two numbers of strText, or nothing when it is not a latitude from -90 to 90 and a longitude
// from -180 to 180.
std::optional<_latlon> ParseLatLon(const std::string &strText);

// "48.1376012, 11.5751987": seven decimals, about a centimetre.
std::string FormatLatLon(const _latlon &coordinates);
