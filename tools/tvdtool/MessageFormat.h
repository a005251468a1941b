#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

// How tvdtool shows one receiver payload: as a JSON object or as one readable line.
nlohmann::json PayloadToJson(const uint8_t *payload, uint32_t length);
std::string PayloadSummary(const uint8_t *payload, uint32_t length);

// Lower-case hex of a byte block, no separators.
std::string ToHex(const uint8_t *data, uint32_t length);
// The bytes of a receiver text (one byte per character) as UTF-8.
std::string Latin1ToUtf8(const std::string &text);
// One line of JSON; bytes that are not UTF-8 never make it fail.
std::string JsonLine(const nlohmann::json &value);
