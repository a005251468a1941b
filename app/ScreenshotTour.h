#pragma once

#include <QString>

#include <memory>

class CMainFrame;
class CSimulatedReceiver;

// The pictures of a first survey, taken by walking one in the window: the operator's steps played
// by the program itself, through the view's own commands and dialogs, with the simulated receiver
// of --simulate behind the real receiver link. The site starts from a floor-plan picture: the plan
// of the projection strProjection (the sample site's office.gpf), saved as a PNG, from which New
// Projection from Image makes the site's projection, pinned to the map at the places the given
// projection gives its corners. Everything is written into a temporary folder and removed again.
//
// Writes into strDir, each at the frame's size with the dialog of the step drawn over it where
// it stands:
//   survey-1-plan-scale.png    the calibration dialog: the plan scaled by a wall of known length,
//                              checked by another, the origin at the building's corner
//   survey-1-plan-geo.png      the calibration dialog: four corners with their latitude and
//                              longitude and their residuals
//   survey-1-projection.png    the projection made and open, its plan 1:1 from the top-left corner
//   survey-2-connect.png       the connection dialog, the simulated receiver found
//   survey-3-channels.png      the new survey's channel choice, two channels
//   survey-4-measure.png       the plan fitted to the window, the Simulated Receiver panel in
//                              measurement mode, the levels counted in the receiver's pane
//   survey-5-walking.png       segment 2 being walked from segment 1's stop point: the markers on
//                              the plan, the Segment Data dialog showing STOP !
//   survey-6-segment-data.png  the Segment Data dialog alone after segment 2's STOP !
// The walks take real time (about three seconds each), as the receiver measures in real time.
// Returns an empty string, or the sentence that says which step failed and why.
QString WriteFirstSurveyShots(CMainFrame &frame, std::shared_ptr<CSimulatedReceiver> pReceiver,
                              const QString &strProjection, const QString &strDir);
