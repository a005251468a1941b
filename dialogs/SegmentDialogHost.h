#pragma once

class CSegmentWalk;
class CSiteData;

// What the segment dialog reaches beyond itself: the walk of the open survey, the receiver's
// state and the plan. The main view implements it (the dialog's m_pView); tests give the dialog
// a host of their own. Everything runs on the GUI thread.
class CSegmentDialogHost {
public:
  virtual ~CSegmentDialogHost() = default;

  // The walk of the open survey's segments, and the survey it walks; both null while no survey
  // is open.
  virtual CSegmentWalk *GetWalk() const = 0;
  virtual CSiteData *GetSiteData() const = 0;

  // The operator has connected the receiver (the view's m_bConnected).
  virtual bool IsReceiverConnected() const = 0;
  // A connection is being made: the Connect command's sequence has not ended yet.
  virtual bool IsReceiverConnecting() const = 0;
  // Runs the Connect command's sequence: the connection dialog and, on OK, the wait and the
  // serial number command. It may end before the receiver is connected.
  virtual void ConnectReceiver() = 0;

  // A channel report has arrived since the program started (m_bMeasurementModeOn).
  virtual bool IsMeasurementModeOn() const = 0;
  // The open survey has a channel that levels are recorded for: it has been given the channels
  // of a valid channel report since it was opened, and the last report named a channel validly.
  virtual bool HasChannelsToRecord() const = 0;

  // Redraws the plan at once: markers moved, or another segment is to be highlighted.
  virtual void RedrawPlan() = 0;

  // A walk began or ended (BEGIN, STOP, the record limit): the commands a walk disables follow.
  virtual void WalkStateChanged() {}
};
