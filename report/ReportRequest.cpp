#include "report/ReportRequest.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace {

// The paper height in millimetres of the locale the environment names for LC_PAPER, or 0 when
// it cannot be known.
int LocalePaperHeight() {
  const locale_t locale = ::newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) {
    return 0;
  }
  // glibc answers _NL_PAPER_HEIGHT with the number itself in place of a pointer.
  const auto nHeight = static_cast<int>(reinterpret_cast<intptr_t>(::nl_langinfo_l(_NL_PAPER_HEIGHT, locale)));
  ::freelocale(locale);
  return nHeight;
}

} // namespace

const char *ReportPaperName(ReportPaper paper) { return paper == ReportPaper::letter ? "letter" : "a4"; }

ReportPaper DefaultReportPaper() {
  constexpr int LETTER_HEIGHT_MM = 279;
  return LocalePaperHeight() == LETTER_HEIGHT_MM ? ReportPaper::letter : ReportPaper::a4;
}

std::string ReportRequestProblem(const _reportrequest &request) {
  if (const std::string problem = CoverageSettingsProblem(request.coverage); !problem.empty()) {
    return "the coverage cannot be drawn: " + problem;
  }
  if (request.bGrid) {
    if (const std::string problem = GridSettingsProblem(request.grid); !problem.empty()) {
      return "the grid test cannot be made: " + problem;
    }
  }
  return "";
}
