#pragma once

#include "dialogs/DialogBase.h"

#include <QRect>

#include <cstdint>
#include <memory>

class CTarvexCollectorView;
namespace Ui {
class SegmentDataDialog;
}

// The segment walking dialog (template 139, "Segment Data"), modeless, owned by the view as
// m_SegmentDialog. It holds the state of the walk that the view reads (point mode, current
// segment, walking flag, segment length) and shows the channel frequencies, lengths, speed and
// totals. Its controls are reached by number (GetDlgItem); the handlers that walk a survey
// (New Segment, Start/Stop Point, BEGIN/STOP, <<, >>, the units box and the one-second timer)
// belong in a source file of their own, connected to the controls found by number.
//
// The More/Less button (145) collapses the dialog to end at the hidden static 146, hiding the
// frequencies and totals, and expands it again.
class CSegmentDataDialog : public CDialogBase {
  Q_OBJECT

public:
  // The two texts of button 1037.
  static constexpr const char *TEXT_BEGIN = "BEGIN !";
  static constexpr const char *TEXT_STOP = "STOP !";
  // A channel box without a frequency.
  static constexpr const char *TEXT_NOT_SET = "Not Set";
  static constexpr const char *ICON_PATH = ":/icons/dialog/140.svg";

  explicit CSegmentDataDialog(QWidget *pParent = nullptr, CTarvexCollectorView *pView = nullptr);
  ~CSegmentDataDialog() override;

  // Shows frequency codes (units of 50 kHz) in MHz, "%4.4f": count 2 fills boxes 1047 and
  // 1048, count 1 fills 1047 and sets 1048 to "Not Set", any other count sets both to "Not Set".
  void ShowChannelFrequencies(const uint32_t *pFrequencies, int nCount);
  // Adds to the total distance and shows the total in box 1034 in metres ("%.2f"), whatever
  // unit is selected.
  void AddToTotalDistance(double dMeters);
  // Shows a distance in metres in box nBox, "%0.2f", first turned into feet while " Feet" is
  // selected.
  void ShowDistance(int nBox, double dMeters);

  bool IsCollapsed() const { return m_bCollapsed; }

  CTarvexCollectorView *m_pView = nullptr;
  int32_t m_nPointMode = 0;      // 0 none, 1 the next click sets the start point, 2 the stop point
  int32_t m_nSegment = 0;        // the current segment, 1-based
  int32_t m_nSegments = 0;       // segments the dialog knows
  int32_t m_nSegmentSeconds = 0; // timer ticks since BEGIN
  int32_t m_nSurveySeconds = 0;  // timer ticks of every walk since the program started
  double m_dLength = 0.0;        // segment length in metres
  double m_dLengthFeet = 0.0;
  double m_dTotal = 0.0; // distance walked in metres
  double m_dTotalFeet = 0.0;
  double m_dSpeed = 0.0; // average speed of the last walk, metres per second
  double m_dSpeedFeet = 0.0;
  bool m_bWalking = false; // between BEGIN and STOP
  // More/Less: collapsed or not, and the window's geometry while expanded.
  bool m_bCollapsed = false;
  QRect m_rcFullWindow;

public slots:
  // Collapses the expanded dialog, or expands the collapsed one, keeping its top-left corner.
  void ToggleMoreLess();

private:
  QString m_strMoreText; // the button's template text, shown while collapsed
  std::unique_ptr<Ui::SegmentDataDialog> m_pUi;
};
