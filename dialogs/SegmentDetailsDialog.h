#pragma once

#include "dialogs/DialogBase.h"

#include <cstdint>
#include <memory>

class CLevelProfileView;
class CSurveyQuality;
class CSurveySession;
struct _segmentquality;
namespace Ui {
class SegmentDetailsDialog;
}

// The browsed segment's details (template 198, "Segment Details"), modeless, beside the segment
// dialog: the segment's number and how it stands (counted, flagged, replaced, excluded), its
// true length, when and how fast it was walked and its levels per channel, all from the survey
// file; the findings of its checks; and its level profile (CLevelProfileView). Walk again (1147)
// asks the segment dialog to announce the segment anew (WalkAgainRequested); Exclude / Include
// (1148) leaves it out of coverage, export and reports or brings it back, in the survey's quality
// side file. It reads the open survey's checks (CSurveyQuality) and never changes the survey file.
class CSegmentDetailsDialog : public CDialogBase {
  Q_OBJECT

public:
  static constexpr const char *TEXT_NO_SEGMENT = "No segment";
  static constexpr const char *TEXT_NOT_WALKED = "Segment %1 has not been walked yet.";
  static constexpr const char *TEXT_TITLE = "Segment %1";
  static constexpr const char *TEXT_REPLACED = "Segment %1, walked again as segment %2: not counted";
  static constexpr const char *TEXT_EXCLUDED = "Segment %1, excluded: not counted";
  static constexpr const char *TEXT_FLAGGED = "Segment %1: flagged";
  static constexpr const char *TEXT_PASSED = "Segment %1: passed";
  static constexpr const char *TEXT_PASSED_CHECKS = "Passed every check.";
  static constexpr const char *TEXT_NOT_CHECKED = "Not checked: %1";
  static constexpr const char *TEXT_EXCLUDE = "Exclude";
  static constexpr const char *TEXT_INCLUDE = "Include";
  static constexpr const char *TEXT_NA = "NA";

  // Reads pQuality's checks of pSession's open survey; both must outlive the dialog.
  explicit CSegmentDetailsDialog(QWidget *pParent = nullptr, CSurveySession *pSession = nullptr,
                                 CSurveyQuality *pQuality = nullptr);
  ~CSegmentDetailsDialog() override;

  // Shows segment nSegment (1-based) of the open survey; a segment that is not in the file yet
  // (announced, being walked) or 0 shows what is known. Shown again as it is now when called
  // with the same segment (after a STOP, an exclusion).
  void ShowSegment(int32_t nSegment);
  int32_t Segment() const { return m_nSegment; }
  CLevelProfileView &ProfileView() const;

signals:
  // Walk again was pressed for segment nSegment.
  void WalkAgainRequested(uint32_t nSegment);

private slots:
  void OnWalkAgain();
  void OnExclude();

private:
  void ShowNothing(const QString &strTitle);
  // Taller when the text shown needs it, never narrower or lower than the surveyor made it.
  void GrowToText();
  void ShowFacts(const _segmentquality &checks);
  void ShowChecks(const _segmentquality &checks);
  void ShowProfile(uint32_t nSegment, const _segmentquality &checks);
  QString Title(uint32_t nSegment, const _segmentquality &checks) const;

  CSurveySession *m_pSession = nullptr;
  CSurveyQuality *m_pQuality = nullptr;
  int32_t m_nSegment = 0;
  std::unique_ptr<Ui::SegmentDetailsDialog> m_pUi;
};
