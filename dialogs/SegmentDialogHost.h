#pragma once

#include <cstdint>

class CSurveyQuality;
class CSurveySession;

// What the segment dialog reaches beyond itself: the survey session with the open survey and its
// walk, the receiver's state and the plan. The main view implements it (the dialog's m_pView);
// tests give the dialog a host of their own. Everything runs on the GUI thread.
class CSegmentDialogHost {
public:
  virtual ~CSegmentDialogHost() = default;

  // The survey session, which outlives the dialog; the dialog follows it from its creation on.
  virtual CSurveySession *GetSession() = 0;

  // The operator has connected the receiver (the view's m_bConnected).
  virtual bool IsReceiverConnected() const = 0;
  // A connection is being made: the Connect command's sequence has not ended yet.
  virtual bool IsReceiverConnecting() const = 0;
  // Runs the Connect command's sequence: the connection dialog and, on OK, the wait and the
  // serial number command. It may end before the receiver is connected.
  virtual void ConnectReceiver() = 0;

  // Redraws the plan at once: markers moved, or another segment is to be highlighted.
  virtual void RedrawPlan() = 0;

  // A walk began or ended (BEGIN, STOP, the record limit, the program's end): the commands a walk
  // disables follow.
  virtual void WalkStateChanged() {}

  // << or >> moved to segment nSegment: its details follow.
  virtual void SegmentBrowsed(int32_t /*nSegment*/) {}

  // The checks of the open survey, through which a segment is walked again; nullptr without.
  virtual CSurveyQuality *GetQuality() { return nullptr; }
};
