#pragma once

class CMainFrame;

// What to do first, in the status bar's message pane in place of "Ready": "To begin: Connect,
// Open Projection (Ctrl+N), Open Collection (Ctrl+O)". It goes, for "Ready" again, once the
// operator uses one of the three commands or opens a file by name (the recent-file list, a drop,
// the command line).
void ShowFirstStepsHint(CMainFrame &frame);

constexpr const char *TEXT_FIRST_STEPS = "To begin: Connect, Open Projection (Ctrl+N), Open Collection (Ctrl+O)";
