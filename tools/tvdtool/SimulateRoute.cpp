#include "tools/tvdtool/SimulateRoute.h"

#include "platform/File.h"
#include "survey/SurveyFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace {

// A route of 501 points with comments takes a few kilobytes; a file far larger is no route.
constexpr size_t ROUTE_MAX_BYTES = size_t{1} << 20;
// A word quoted in a message is cut after this many characters.
constexpr size_t QUOTED_WORD_MAX = 32;

// The word as it can be shown on a terminal: printable ASCII as it is, every other byte as \xHH
// (a binary file's bytes could otherwise work the terminal), cut short when long.
std::string Printable(const std::string &word) {
  std::string text;
  for (size_t i = 0; i < word.size(); ++i) {
    if (i == QUOTED_WORD_MAX) {
      return text + "...";
    }
    const auto c = static_cast<unsigned char>(word[i]);
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    }
  }
  return text;
}

// The numbers of one line, without its comment; false when a word is not a whole number.
bool ReadNumbers(const std::string &strLine, std::vector<int64_t> &numbers, std::string &strBad) {
  std::string text = strLine.substr(0, strLine.find('#'));
  std::replace(text.begin(), text.end(), ',', ' ');
  std::replace(text.begin(), text.end(), '\t', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  size_t nPos = 0;
  while (nPos < text.size()) {
    const size_t nStart = text.find_first_not_of(' ', nPos);
    if (nStart == std::string::npos) {
      break;
    }
    size_t nEnd = text.find(' ', nStart);
    if (nEnd == std::string::npos) {
      nEnd = text.size();
    }
    const std::string word = text.substr(nStart, nEnd - nStart);
    int64_t n = 0;
    const char *pFirst = word.data() + (word[0] == '+' ? 1 : 0);
    const auto [pEnd, error] = std::from_chars(pFirst, word.data() + word.size(), n);
    if (error != std::errc() || pEnd != word.data() + word.size()) {
      strBad = word;
      return false;
    }
    numbers.push_back(n);
    nPos = nEnd;
  }
  return true;
}

} // namespace

std::vector<_pixelpoint> ParseRoute(std::istream &in, const std::string &strName, int32_t nWidth, int32_t nHeight) {
  std::vector<_pixelpoint> route;
  std::string strLine;
  for (int nLine = 1; std::getline(in, strLine); ++nLine) {
    const std::string where = strName + ", line " + std::to_string(nLine) + ": ";
    if (const size_t nZero = strLine.find('\0'); nZero != std::string::npos) {
      throw std::runtime_error(where + "a zero byte at column " + std::to_string(nZero + 1) +
                               ": this is not a text file; a route is text, one point \"x y\" per line.");
    }
    std::vector<int64_t> numbers;
    std::string strBad;
    if (!ReadNumbers(strLine, numbers, strBad)) {
      throw std::runtime_error(where + "\"" + Printable(strBad) +
                               "\" is not a whole number; a point is written \"x y\".");
    }
    if (numbers.empty()) {
      continue;
    }
    if (numbers.size() != 2) {
      throw std::runtime_error(where + "a point is two numbers \"x y\", but the line holds " +
                               std::to_string(numbers.size()) + ".");
    }
    if (numbers[0] < 0 || numbers[0] >= nWidth || numbers[1] < 0 || numbers[1] >= nHeight) {
      throw std::runtime_error(where + "the point " + std::to_string(numbers[0]) + "," + std::to_string(numbers[1]) +
                               " lies outside the plan, which is " + std::to_string(nWidth) + " x " +
                               std::to_string(nHeight) + " pixels (x 0 to " + std::to_string(nWidth - 1) + ", y 0 to " +
                               std::to_string(nHeight - 1) + ").");
    }
    if (route.size() > static_cast<size_t>(SURVEY_MAX_SEGMENTS)) {
      throw std::runtime_error(where + "a route has at most " + std::to_string(SURVEY_MAX_SEGMENTS + 1) +
                               " points: a survey holds at most " + std::to_string(SURVEY_MAX_SEGMENTS) + " segments.");
    }
    route.push_back({static_cast<int32_t>(numbers[0]), static_cast<int32_t>(numbers[1])});
  }
  if (in.bad()) {
    throw std::runtime_error(strName + " could not be read.");
  }
  if (route.size() < 2) {
    throw std::runtime_error(strName + " holds " + std::to_string(route.size()) +
                             (route.size() == 1 ? " point" : " points") +
                             ", but a route needs at least two: a segment runs from each point to the next.");
  }
  return route;
}

std::vector<_pixelpoint> LoadRoute(const std::string &strPath, int32_t nWidth, int32_t nHeight) {
  std::string text;
  try {
    CFile file;
    file.OpenOrThrow(strPath, CFile::modeRead | CFile::shareDenyNone);
    std::vector<char> buffer(64 * 1024);
    while (const uint32_t nRead = file.Read(buffer.data(), static_cast<uint32_t>(buffer.size()))) {
      text.append(buffer.data(), nRead);
      if (text.size() > ROUTE_MAX_BYTES) {
        throw std::runtime_error("the route file \"" + strPath + "\" holds more than " +
                                 std::to_string(ROUTE_MAX_BYTES) + " bytes, far more than any route; is it a route?");
      }
    }
  } catch (const CFileException &e) {
    throw std::runtime_error(std::string("the route cannot be read: ") + e.what());
  }
  std::istringstream in(text);
  return ParseRoute(in, "\"" + strPath + "\"", nWidth, nHeight);
}

std::vector<_pixelpoint> DefaultRoute(int32_t nWidth, int32_t nHeight) {
  const int32_t nLeft = nWidth / 10;
  const int32_t nRight = nWidth - 1 - nWidth / 10;
  const int32_t nTop = nHeight / 10;
  const int32_t nMiddle = nHeight / 2;
  const int32_t nBottom = nHeight - 1 - nHeight / 10;
  return {{nLeft, nTop}, {nRight, nTop}, {nRight, nMiddle}, {nLeft, nMiddle}, {nLeft, nBottom}, {nRight, nBottom}};
}
