#include "survey/SegmentWalk.h"

#include "projection/SiteProjection.h"
#include "survey/SiteData.h"

namespace {

_walkresult Done() { return {}; }
_walkresult Refused(std::string strReason) {
  _walkresult result;
  result.bDone = false;
  result.strReason = std::move(strReason);
  return result;
}

std::string Segment(int32_t n) { return "Segment " + std::to_string(n); }

// The operator's texts of the refusals.
std::string SurveyFullText(const std::string &strFile) {
  return "The survey \"" + strFile + "\" is full: it holds " + std::to_string(SURVEY_MAX_SEGMENTS) +
         " segments, the most a survey can hold. Create a new survey to walk more segments.";
}
std::string NothingAnnouncedText(const std::string &strWhat) {
  return "No segment has been announced in this survey yet: press New Segment before " + strWhat + ".";
}
std::string WalkingText(int32_t n, const std::string &strWhat) {
  return Segment(n) + " is being walked: " + strWhat + ".";
}
std::string WalkedText(int32_t n, const std::string &strWhat) {
  return Segment(n) + " has been walked: press New Segment " + strWhat + ".";
}
// BEGIN before the announced segment's points were placed.
constexpr const char *WALK_TEXT_NO_START_POINT =
    "Start Point for the segment has not been set.\n  Please set the Start Point and Click \"Begin\" to Collect "
    "Segment Data";
constexpr const char *WALK_TEXT_NO_STOP_POINT =
    "Stop Point for the segment has not been set.\n  Please set the Stop Point and Click \"Begin\" to Collect "
    "Segment Data";
constexpr const char *WALK_TEXT_NO_POINTS =
    "Start Point and Stop Point for the segment have not been set.\n  Please set both points and Click \"Begin\" to "
    "Collect Segment Data";
std::string NotSavedText(int32_t n, const std::string &strFile) {
  return Segment(n) + " is not saved: its last levels or its final header could not be written to \"" + strFile +
         "\". Retry saving it, or save a copy of the survey, before going on.";
}

} // namespace

std::string RecordLimitText(int32_t n) {
  return Segment(n) + " holds " + std::to_string(SURVEY_MAX_SEGMENT_RECORDS) +
         " records, the most a segment can hold, so its walk was ended here as STOP ! ends it; the levels "
         "measured since were not recorded. Press New Segment and walk on from where you stand.";
}

CSegmentWalk::CSegmentWalk(CSiteData &data, CSitePlan &plan, CSiteProjection &projection)
    : m_data(data), m_plan(plan), m_projection(projection) {}

CWalkingFlag::operator bool() const {
  const CSegmentWalk *pWalk = m_pfnWalk ? m_pfnWalk() : nullptr;
  return pWalk != nullptr && pWalk->IsWalking();
}

_walkresult CSegmentWalk::NewSegment() {
  switch (m_state) {
  case WalkState::walking:
    return Refused(WalkingText(m_nSegment, "press STOP ! before announcing the next segment"));
  case WalkState::notSaved:
    return Refused(NotSavedText(m_nSegment, m_data.m_strFileName));
  case WalkState::announced:
    return Done(); // nothing of it has been written: it stays the segment to walk
  case WalkState::none:
  case WalkState::walked:
    break;
  }
  if (m_data.m_nSegmentCount >= SURVEY_MAX_SEGMENTS) {
    return Refused(SurveyFullText(m_data.m_strFileName));
  }
  const int32_t n = m_data.m_nSegmentCount + 1;
  const int32_t nPlanCount = m_plan.m_nSegmentCount;
  const _pixelpoint ptPreviousStop{m_data.m_segment.nStopX, m_data.m_segment.nStopY};
  m_data.m_nSegmentCount = n;
  m_plan.m_nSegmentCount = n;
  try {
    m_data.NewSegment(n); // puts its own count back when it fails
  } catch (...) {
    m_plan.m_nSegmentCount = nPlanCount;
    throw;
  }
  // Whatever an earlier survey left in the new segment's entries is not its markers.
  m_plan.m_Start[n - 1] = _planpoint{};
  m_plan.m_Stop[n - 1] = _planpoint{};
  m_nSegment = n;
  m_ptPreviousStop = ptPreviousStop;
  m_bStartPlaced = false;
  m_bStopPlaced = false;
  m_state = WalkState::announced;
  return Done();
}

std::string CSegmentWalk::WhyNoPoints() const {
  switch (m_state) {
  case WalkState::none:
    return NothingAnnouncedText("setting its points");
  case WalkState::walking:
    return WalkingText(m_nSegment, "its points cannot change until STOP !");
  case WalkState::walked:
    return WalkedText(m_nSegment, "to set the points of the next segment");
  case WalkState::notSaved:
    return NotSavedText(m_nSegment, m_data.m_strFileName);
  case WalkState::announced:
    break;
  }
  return {};
}

void CSegmentWalk::PlacePoint(int nKind, const _pixelpoint &ptPlan) {
  const int nIndex = m_nSegment - 1;
  m_plan.m_ptCurrent = ptPlan;
  m_data.m_ptLastPoint = ptPlan;
  double c1 = 0.0;
  double c2 = 0.0;
  m_projection.ToCoordinates(ptPlan.x, ptPlan.y, c1, c2);
  if (nKind == 1) {
    m_plan.m_Start[nIndex].nPlanX = ptPlan.x;
    m_plan.m_Start[nIndex].nPlanY = ptPlan.y;
    m_plan.PlaceStart(nIndex, ptPlan.x, ptPlan.y);
    // The stop marker shows at the start point until the stop point is set.
    m_plan.PlaceStop(nIndex, ptPlan.x, ptPlan.y);
    m_projection.m_FirstPoint = {c1, c2};
    m_projection.m_SecondPoint = {0.0, 0.0};
    m_bStartPlaced = true;
  } else {
    m_plan.m_Stop[nIndex].nPlanX = ptPlan.x;
    m_plan.m_Stop[nIndex].nPlanY = ptPlan.y;
    m_plan.PlaceStop(nIndex, ptPlan.x, ptPlan.y);
    m_projection.m_SecondPoint = {c1, c2};
    m_bStopPlaced = true;
  }
  m_data.SetSegmentPoint(nKind);
  if (m_projection.m_nKind == PROJECTION_GEO) {
    m_data.SetSegmentCoordinates(nKind, c2, c1); // the header stores the longitude first
  }
}

_walkresult CSegmentWalk::SetStartPoint(const _pixelpoint &ptPlan) {
  if (const std::string why = WhyNoPoints(); !why.empty()) {
    return Refused(why);
  }
  PlacePoint(1, ptPlan);
  return Done();
}

_walkresult CSegmentWalk::SetStopPoint(const _pixelpoint &ptPlan) {
  if (const std::string why = WhyNoPoints(); !why.empty()) {
    return Refused(why);
  }
  PlacePoint(2, ptPlan);
  return Done();
}

bool CSegmentWalk::CanStartAtPreviousStop() const { return m_state == WalkState::announced && m_nSegment > 1; }

_walkresult CSegmentWalk::StartAtPreviousStop() {
  if (const std::string why = WhyNoPoints(); !why.empty()) {
    return Refused(why);
  }
  if (m_nSegment <= 1) {
    return Refused(Segment(m_nSegment) +
                   " is the first segment of the survey: there is no previous stop point to start from.");
  }
  const _pixelpoint pt = m_ptPreviousStop;
  m_data.m_segment.nStartX = static_cast<uint16_t>(pt.x);
  m_data.m_segment.nStartY = static_cast<uint16_t>(pt.y);
  double c1 = 0.0;
  double c2 = 0.0;
  m_projection.ToCoordinates(pt.x, pt.y, c1, c2);
  m_projection.m_FirstPoint = {c1, c2};
  if (m_projection.m_nKind == PROJECTION_GEO) {
    m_data.SetSegmentCoordinates(1, c2, c1);
  }
  const int nIndex = m_nSegment - 1;
  m_plan.m_Start[nIndex].nPlanX = pt.x;
  m_plan.m_Start[nIndex].nPlanY = pt.y;
  m_plan.PlaceStart(nIndex, pt.x, pt.y);
  m_bStartPlaced = true;
  return Done();
}

std::string CSegmentWalk::WhyNoBegin() const {
  switch (m_state) {
  case WalkState::none:
    return NothingAnnouncedText("BEGIN !");
  case WalkState::walking:
    return WalkingText(m_nSegment, "press STOP ! on arrival at its stop point");
  case WalkState::walked:
    return WalkedText(m_nSegment, "to walk the next segment");
  case WalkState::notSaved:
    return NotSavedText(m_nSegment, m_data.m_strFileName);
  case WalkState::announced:
    break;
  }
  if (!m_bStartPlaced && !m_bStopPlaced) {
    return WALK_TEXT_NO_POINTS;
  }
  if (!m_bStartPlaced) {
    return WALK_TEXT_NO_START_POINT;
  }
  if (!m_bStopPlaced) {
    return WALK_TEXT_NO_STOP_POINT;
  }
  return {};
}

_walkresult CSegmentWalk::Begin() {
  if (std::string why = WhyNoBegin(); !why.empty()) {
    return Refused(std::move(why));
  }
  const _segmentheader before = m_data.m_segment;
  m_data.StampSegmentTime(1);
  try {
    m_data.WriteSegmentHeader(m_nSegment);
  } catch (...) {
    m_data.m_segment = before;
    throw;
  }
  m_state = WalkState::walking;
  return Done();
}

_walkresult CSegmentWalk::Stop() {
  switch (m_state) {
  case WalkState::none:
    return Refused("No segment is being walked: press New Segment, set its points and press BEGIN ! first.");
  case WalkState::announced:
    return Refused(Segment(m_nSegment) + " has not been begun: press BEGIN ! to start walking it.");
  case WalkState::walked:
    return Refused(Segment(m_nSegment) + " has been stopped already.");
  case WalkState::notSaved:
    return Refused(NotSavedText(m_nSegment, m_data.m_strFileName));
  case WalkState::walking:
    break;
  }
  // The walk ends here whatever the file does: no level after STOP belongs to the segment.
  m_state = WalkState::notSaved;
  try {
    m_data.FlushSegmentLevels();
  } catch (...) {
    // The moment of arrival, with the records that are in the file: the header is overwritten in
    // place, which needs no room a full disk lacks. The rest is counted at RetrySave.
    m_data.StampSegmentTime(2);
    m_data.KeepHeaderInStep();
    throw;
  }
  m_data.StampSegmentTime(2);
  m_data.WriteSegmentHeader(m_nSegment);
  m_state = WalkState::walked;
  _walkresult result;
  if (m_data.IsSegmentFull()) {
    result.strNote = RecordLimitText(m_nSegment);
  }
  return result;
}

_walkresult CSegmentWalk::RetrySave() {
  if (m_state != WalkState::notSaved) {
    return Refused(m_nSegment == 0 ? std::string("No segment has been stopped: there is nothing to save again.")
                                   : Segment(m_nSegment) + " is saved: there is nothing to save again.");
  }
  m_data.FlushSegmentLevels();
  m_data.CountSegmentRecords();
  m_data.WriteSegmentHeader(m_nSegment);
  m_state = WalkState::walked;
  return Done();
}

double CSegmentWalk::GetSegmentLength() const {
  const _segmentheader &header = m_data.m_segment;
  double a1 = 0.0;
  double a2 = 0.0;
  double b1 = 0.0;
  double b2 = 0.0;
  m_projection.ToCoordinates(header.nStartX, header.nStartY, a1, a2);
  m_projection.ToCoordinates(header.nStopX, header.nStopY, b1, b2);
  switch (m_projection.m_nKind) {
  case PROJECTION_GEO:
    return CSiteProjection::GeoDistance(a1, a2, b1, b2);
  case PROJECTION_LINEAR:
    return CSiteProjection::LinearDistance(a1, a2, b1, b2);
  default:
    return 0.0;
  }
}
