#pragma once

// The ids of the collector's commands and status-bar panes. Menus, toolbar, accelerators and
// handlers refer to commands by these numbers only.

// File menu.
constexpr int ID_FILE_NEWPROJECTION = 32791;  // New Projection from Image
constexpr int ID_FILE_OPENPROJECTION = 32777; // Open Projection
constexpr int ID_FILE_OPENCOLLECTION = 32770; // Open Collection
constexpr int ID_FILE_SURVEY_REPORT = 32792;  // Survey Report: the PDF of the open survey
constexpr int ID_FILE_RECENT1 = 57616;        // the four entries of the recent-file list
constexpr int ID_FILE_RECENT2 = 57617;
constexpr int ID_FILE_RECENT3 = 57618;
constexpr int ID_FILE_RECENT4 = 57619;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_CONNECT = 32783; // Connect (and terminate the connection)

// Document commands. Nothing fires New and Open: Ctrl+N and Ctrl+O open a projection and a
// collection instead. Save is bound to Ctrl+S and does nothing.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_DIRECT = 57608;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;

// Edit menu: present, and disabled.
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_PASTE = 57637;

// View menu: show or hide the two bars. The bars themselves carry the same numbers.
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;
// View > Coverage: the submenu, the channel shown over the plan (one of three) and the settings.
constexpr int ID_VIEW_COVERAGE = 32840;
constexpr int ID_COVERAGE_OFF = 32841;
constexpr int ID_COVERAGE_CHANNEL1 = 32842;
constexpr int ID_COVERAGE_CHANNEL2 = 32843;
constexpr int ID_COVERAGE_SETTINGS = 32844;

// Help menu.
constexpr int ID_APP_ABOUT = 57664;        // the receiver information panel
constexpr int ID_MEASURE_DISTANCE = 32778; // distance-measuring mode

// Toolbar only.
constexpr int ID_ZOOM_IN = 32771;
constexpr int ID_FIT_TO_DISPLAY = 32779;
constexpr int ID_ZOOM_OUT = 32772;
constexpr int ID_SNAPSHOT = 32773;
constexpr int ID_SHOW_SEGMENT = 32780;
constexpr int ID_INSTRUCTIONS = 32782;

// Moving between panes of a split window: bound to F6 and Shift+F6, disabled (there are no panes).
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;

// Status-bar panes, in the order they are shown, then the message pane.
constexpr int ID_INDICATOR_LATITUDE = 1052;
constexpr int ID_INDICATOR_LONGITUDE = 1053;
constexpr int ID_INDICATOR_X = 1054;
constexpr int ID_INDICATOR_Y = 1055;
constexpr int ID_INDICATOR_PROJECTION = 1056;
constexpr int ID_INDICATOR_RECEIVER = 1057; // the receiver's state, levels and rates (CReceiverStatus)
constexpr int ID_INDICATOR_ZOOM = 1070;     // the scale of the plan on the screen
constexpr int ID_INDICATOR_COVERAGE = 1071; // the coverage's level under the pointer
constexpr int ID_INDICATOR_WALK = 1072;     // the walk: on (in colour, with its levels) or not
constexpr int ID_SEPARATOR = 0;             // the message pane: "Ready" and the command prompts
