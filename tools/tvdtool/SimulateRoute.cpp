#include "tools/tvdtool/SimulateRoute.h"

#include "survey/SurveyFormat.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <stdexcept>

namespace {

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
    std::vector<int64_t> numbers;
    std::string strBad;
    if (!ReadNumbers(strLine, numbers, strBad)) {
      throw std::runtime_error(where + "\"" + strBad + "\" is not a whole number; a point is written \"x y\".");
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
  std::ifstream in(strPath);
  if (!in) {
    throw std::runtime_error("The route file \"" + strPath + "\" cannot be opened.");
  }
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
