#include "tools/tvdtool/MessageFormat.h"

#include "link/ReceiverConversions.h"
#include "link/ReceiverMessages.h"

#include <cstdio>
#include <sstream>

namespace {

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

nlohmann::json ReceiverToJson(const std::optional<_receiverinfo> &receiver) {
  if (!receiver) {
    return {{"installed", false}};
  }
  return {{"installed", true},
          {"min_channel", receiver->nMinChannel},
          {"max_channel", receiver->nMaxChannel},
          {"step_raw", receiver->nStepRaw},
          {"spare", receiver->nSpare},
          {"step_khz", receiver->fStepKHz},
          {"min_mhz", EdgeFrequencyMHz(receiver->nMinChannel, *receiver)},
          {"max_mhz", EdgeFrequencyMHz(receiver->nMaxChannel, *receiver)}};
}

std::string ReceiverSummary(int nNumber, const std::optional<_receiverinfo> &receiver) {
  std::ostringstream out;
  out << "receiver " << nNumber << ": ";
  if (!receiver) {
    out << FormatInstalled(false);
    return out.str();
  }
  out << FormatInstalled(true) << ", channels " << receiver->nMinChannel << ".." << receiver->nMaxChannel << ", "
      << FormatMHz(EdgeFrequencyMHz(receiver->nMinChannel, *receiver)) << " to "
      << FormatMHz(EdgeFrequencyMHz(receiver->nMaxChannel, *receiver)) << ", step " << FormatStepKHz(*receiver);
  return out.str();
}

} // namespace

std::string ToHex(const uint8_t *data, uint32_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2U);
  for (uint32_t i = 0; i < length; ++i) {
    text.push_back(kDigits[data[i] >> 4]);
    text.push_back(kDigits[data[i] & 0x0F]);
  }
  return text;
}

std::string Latin1ToUtf8(const std::string &text) {
  std::string out;
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

std::string JsonLine(const nlohmann::json &value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json PayloadToJson(const uint8_t *payload, uint32_t length) {
  nlohmann::json out = {{"payload", ToHex(payload, length)}};
  std::visit(
      Overloaded{
          [&](const IgnoredMessage &) { out["type"] = "ignored"; },
          [&](const ReceiverInfoMessage &m) {
            out["type"] = "receiver_info";
            out["presence"] = m.nPresence;
            out["receivers"] = nlohmann::json::array({ReceiverToJson(m.receivers[0]), ReceiverToJson(m.receivers[1])});
          },
          [&](const LevelsMessage &m) {
            out["type"] = "levels";
            out["channel"] = m.nChannel;
            out["items"] = m.nItems;
            nlohmann::json levels = nlohmann::json::array();
            for (const int8_t level : m.levels) {
              levels.push_back(static_cast<int>(level));
            }
            out["levels"] = std::move(levels);
          },
          [&](const ChannelReportMessage &m) {
            out["type"] = "channel_report";
            out["channel1"] = m.nChannel1;
            out["channel2"] = m.nChannel2;
          },
          [&](const SerialNumberMessage &m) {
            out["type"] = "serial_number";
            out["serial"] = Latin1ToUtf8(m.strSerial);
          },
      },
      DecodeReceiverMessage(payload, length));
  return out;
}

std::string PayloadSummary(const uint8_t *payload, uint32_t length) {
  std::ostringstream out;
  std::visit(Overloaded{
                 [&](const IgnoredMessage &) {
                   char type[8];
                   std::snprintf(type, sizeof type, "0x%02x", payload[0]);
                   out << "ignored      type " << type << ", " << length << " bytes: " << ToHex(payload, length);
                 },
                 [&](const ReceiverInfoMessage &m) {
                   out << "receiver     " << ReceiverSummary(1, m.receivers[0]) << "; "
                       << ReceiverSummary(2, m.receivers[1]);
                 },
                 [&](const LevelsMessage &m) {
                   out << "levels       channel " << m.nChannel << ", " << m.levels.size() << " levels:";
                   for (const int8_t level : m.levels) {
                     out << ' ' << static_cast<int>(level);
                   }
                 },
                 [&](const ChannelReportMessage &m) {
                   out << "channels     channel 1 = " << m.nChannel1 << ", channel 2 = " << m.nChannel2;
                 },
                 [&](const SerialNumberMessage &m) { out << "serial       " << Latin1ToUtf8(m.strSerial); },
             },
             DecodeReceiverMessage(payload, length));
  return out.str();
}
