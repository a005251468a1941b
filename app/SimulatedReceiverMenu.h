#pragma once

#include <memory>

class CMainFrame;
class CSimulatedReceiver;
class CSimulatedReceiverPanel;

// Under --simulate: the front panel of the simulated receiver as a tool window of the frame, and
// "Simulated Receiver" at the end of the View menu to show it again once closed. Returns the
// panel, hidden; the frame owns it.
CSimulatedReceiverPanel *AddSimulatedReceiverPanel(CMainFrame &frame, std::shared_ptr<CSimulatedReceiver> pReceiver);

// Shows the panel beside the frame's right edge, inside the frame's screen, and raises it.
void ShowSimulatedReceiverPanel(CSimulatedReceiverPanel &panel);
