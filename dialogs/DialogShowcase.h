#pragma once

class CDistanceMeasurementDialog;
class CIntroDialog;
class CSegmentDataDialog;

// Puts a dialog into a state that shows its content, for screenshots and documentation; the
// program's own paths never call these. The dialogs not named here show their content as they
// open: the connection dialog searches for devices (with the simulated receiver enabled it finds
// that one), the channel choice and help dialogs show their pictures.

// The simulated receiver's serial number, receivers and ranges, and two file paths.
void ShowcaseIntroDialog(CIntroDialog &dialog);
// Segment 3 set up: its length, a walk's seconds and speed, two channel frequencies, totals.
void ShowcaseSegmentDialog(CSegmentDataDialog &dialog);
// A measured distance.
void ShowcaseDistanceDialog(CDistanceMeasurementDialog &dialog);
