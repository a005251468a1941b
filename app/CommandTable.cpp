#include "app/CommandTable.h"

#include "app/CommandIds.h"

#include <algorithm>
#include <array>

namespace {

// The commands. Ctrl+N and Ctrl+O are bound to Open Projection and Open Collection, as the File
// menu shows: bound to a document that holds nothing, they would do nothing an operator can see.
// clang-format off
const _commanddef COMMANDS[] = {
  {ID_FILE_NEWPROJECTION, "New Projection from &Image...",
   "Make a projection from a floor-plan picture or PDF: calibrate it and save it \n New Projection from Image"},
  {ID_FILE_OPENPROJECTION, "&Open Projection\t Ctrl+N", "Open Projection \n Open Projection", "Ctrl+N"},
  {ID_FILE_OPENCOLLECTION, "&Open Collection..\tCtrl+O", "Open Collection \n Open Collection", "Ctrl+O"},
  {ID_FILE_SURVEY_REPORT, "Survey &Report...",
   "Make a PDF report of the open survey: coverage, segments and checks \n Survey Report"},
  {ID_FILE_RECENT1, nullptr, "Open this file \n Open this file"},
  {ID_FILE_RECENT2, nullptr, "Open this file \n Open this file"},
  {ID_FILE_RECENT3, nullptr, "Open this file \n Open this file"},
  {ID_FILE_RECENT4, nullptr, "Open this file \n Open this file"},
  {ID_APP_EXIT, "E&xit", "Close Tarvex Collector \n Exit"},
  {ID_CONNECT, "Connect !", "Connect to the Receiver \n Establish a connection with the Tarvex Receiver."},
  {ID_EDIT_UNDO, "&Undo\tCtrl+Z", nullptr, "Ctrl+Z; Alt+Backspace"},
  {ID_EDIT_CUT, "Cu&t\tCtrl+X", nullptr, "Ctrl+X; Shift+Del"},
  {ID_EDIT_COPY, "&Copy\tCtrl+C", nullptr, "Ctrl+C; Ctrl+Ins"},
  {ID_EDIT_PASTE, "&Paste\tCtrl+V", nullptr, "Ctrl+V; Shift+Ins"},
  {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar \n Toggle Toolbar", nullptr, true},
  {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar \n Toggle Status Bar", nullptr, true},
  {ID_COVERAGE_OFF, "&Off", "Show no coverage on the plan \n Coverage Off", nullptr, true},
  {ID_COVERAGE_CHANNEL1, "Channel &1", "Show the coverage of channel 1 on the plan \n Coverage of Channel 1", nullptr, true},
  {ID_COVERAGE_CHANNEL2, "Channel &2", "Show the coverage of channel 2 on the plan \n Coverage of Channel 2", nullptr, true},
  {ID_COVERAGE_SETTINGS, "&Settings...", "Change how the coverage is computed and coloured \n Coverage Settings"},
  {ID_APP_ABOUT, "&About Tarvex Collector...", "About Tarvex Collector \n About Tarvex Collector"},
  {ID_MEASURE_DISTANCE, "Measure Distance", "Measure Distance \n Measure Distance", nullptr, true},
  {ID_ZOOM_IN, nullptr, "Zoom into a region \n Zoom into a region"},
  {ID_FIT_TO_DISPLAY, nullptr, "Fit the Bitmap to Display \n Fit the Bitmap to Display"},
  {ID_ZOOM_OUT, nullptr, "Zoom out \n Zoom out"},
  {ID_SNAPSHOT, nullptr, "Click a snapshot of the view \n Click a snapshot of the view"},
  {ID_SHOW_SEGMENT, nullptr, "Show Segment Info Dialog \n Show the Segment Info Dialog"},
  {ID_INSTRUCTIONS, nullptr,
   "Instructions to follow before data collection \n Instructions to follow before data collection"},
  {ID_FILE_SAVE, nullptr, nullptr, "Ctrl+S"},
  {ID_FILE_PRINT, nullptr, "Print the view \n Print", "Ctrl+P"},
  {ID_FILE_PRINT_PREVIEW, nullptr, "Show the printed page \n Print Preview"},
  {ID_NEXT_PANE, nullptr, nullptr, "F6"},
  {ID_PREV_PANE, nullptr, nullptr, "Shift+F6"},
};
// clang-format on

// The toolbar, left to right, without separators.
const int TOOLBAR[] = {
    ID_CONNECT,  ID_FILE_OPENPROJECTION, ID_FILE_OPENCOLLECTION, ID_ZOOM_IN,   ID_FIT_TO_DISPLAY,  ID_ZOOM_OUT,
    ID_SNAPSHOT, ID_SHOW_SEGMENT,        ID_INSTRUCTIONS,        ID_APP_ABOUT, ID_MEASURE_DISTANCE};

// Blanks that reserve a pane's width.
QString Blanks(int nCount) { return QString(nCount, QLatin1Char(' ')); }

QString PromptPart(const _commanddef &command, int nPart) {
  if (command.szPrompt == nullptr) {
    return {};
  }
  return QString::fromUtf8(command.szPrompt).section(QLatin1Char('\n'), nPart, nPart).trimmed();
}

} // namespace

std::span<const _commanddef> CommandTable() { return COMMANDS; }

const _commanddef *FindCommand(int nId) {
  const auto *pFound =
      std::find_if(std::begin(COMMANDS), std::end(COMMANDS), [nId](const _commanddef &c) { return c.nId == nId; });
  return pFound == std::end(COMMANDS) ? nullptr : pFound;
}

std::span<const _menudef> MenuTable() {
  static const std::array<_menudef, 4> menus{{
      {"&File",
       {ID_FILE_NEWPROJECTION, ID_FILE_OPENPROJECTION, ID_FILE_OPENCOLLECTION, ID_FILE_SURVEY_REPORT, ID_SEPARATOR,
        ID_FILE_RECENT1, ID_SEPARATOR, ID_APP_EXIT, ID_CONNECT}},
      {"&Edit", {ID_EDIT_UNDO, ID_SEPARATOR, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}},
      {"&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_SEPARATOR, ID_VIEW_COVERAGE}},
      {"&Help", {ID_APP_ABOUT, ID_MEASURE_DISTANCE}},
  }};
  return menus;
}

std::span<const int> ToolbarTable() { return TOOLBAR; }

const _submenudef *FindSubmenu(int nId) {
  static const std::array<_submenudef, 1> submenus{{
      {ID_VIEW_COVERAGE,
       "&Coverage",
       {ID_COVERAGE_OFF, ID_COVERAGE_CHANNEL1, ID_COVERAGE_CHANNEL2, ID_SEPARATOR, ID_COVERAGE_SETTINGS}},
  }};
  const auto *pFound =
      std::find_if(submenus.begin(), submenus.end(), [nId](const _submenudef &s) { return s.nId == nId; });
  return pFound == submenus.end() ? nullptr : pFound;
}

std::span<const _panedef> PaneTable() {
  static const std::array<_panedef, 9> panes{{
      // The walk: "#7: 1234" on red, the segment and the levels recorded in it; the bar is full.
      {ID_INDICATOR_WALK, QStringLiteral("Not walking") + Blanks(2)},
      {ID_INDICATOR_LATITUDE, QStringLiteral("Latitude =  NA") + Blanks(22)},
      {ID_INDICATOR_LONGITUDE, QStringLiteral("Longitude =  NA") + Blanks(21)},
      {ID_INDICATOR_X, QStringLiteral("X =  NA") + Blanks(7)},
      {ID_INDICATOR_Y, QStringLiteral("Y =   NA") + Blanks(6)},
      {ID_INDICATOR_PROJECTION, QStringLiteral("Projection: NA") + Blanks(32)},
      // As wide as "Measuring  1: -128 1000/s  2: -128 1000/s".
      {ID_INDICATOR_RECEIVER, QStringLiteral("Receiver not connected") + Blanks(19)},
      // Room for "Zoom: 0.24x / 0.18x".
      {ID_INDICATOR_ZOOM, QStringLiteral("Zoom: NA") + Blanks(14)},
      // Room for "Level: -100.0".
      {ID_INDICATOR_COVERAGE, QStringLiteral("Level: NA") + Blanks(4)},
  }};
  return panes;
}

QString CommandPrompt(const _commanddef &command) { return PromptPart(command, 0); }

QString CommandTip(const _commanddef &command) { return PromptPart(command, 1); }
