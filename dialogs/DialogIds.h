#pragma once

// Resource numbers of the dialogs: templates (IDD_), controls (IDC_), pictures (IDB_) and icons
// (IDI_). Each control of a template carries its number as the integer property "ctrlId", and
// CDialogBase::GetDlgItem finds it by that number.

// Buttons every template may hold.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Templates.
constexpr int IDD_CONNECTION = 130;
constexpr int IDD_INTRO = 131;
constexpr int IDD_WARNING = 133;
constexpr int IDD_SEGMENT_DATA = 139;
constexpr int IDD_HELP = 141;
constexpr int IDD_DISTANCE = 148;
constexpr int IDD_TERMINATION = 150;
constexpr int IDD_PDF_PAGE = 196;
constexpr int IDD_CALIBRATION = 197;
constexpr int IDD_COVERAGE_SETTINGS = 201;
constexpr int IDD_SEGMENT_DETAILS = 198;
constexpr int IDD_SURVEY_REPORT = 199;

// Connection dialog (130).
constexpr int IDC_LOOK_FOR_DEVICES = 1000;
constexpr int IDC_DEVICE_MESSAGE = 1002;

// Receiver information panel (131).
constexpr int IDC_RECEIVER1_INSTALLED = 1005;
constexpr int IDC_RECEIVER1_MIN = 1006;
constexpr int IDC_RECEIVER1_STEP = 1007;
constexpr int IDC_RECEIVER1_MAX = 1008;
constexpr int IDC_RECEIVER2_INSTALLED = 1009;
constexpr int IDC_RECEIVER2_MIN = 1010;
constexpr int IDC_RECEIVER2_MAX = 1011;
constexpr int IDC_RECEIVER2_STEP = 1012;
constexpr int IDC_SERIAL_NUMBER = 1013;
constexpr int IDC_PROJECTION_FILE = 1063;
constexpr int IDC_COLLECTION_FILE = 1064;

// Channel choice (133).
constexpr int IDC_ONE_CHANNEL = 1039;
constexpr int IDC_TWO_CHANNELS = 1040;

// Segment walking dialog (139).
constexpr int IDC_SEGMENT_NUMBER = 1022;
constexpr int IDC_START_POINT = 1025;
constexpr int IDC_STOP_POINT = 1026;
constexpr int IDC_SEGMENT_LENGTH = 1031;
constexpr int IDC_SEGMENT_SECONDS = 1033;
constexpr int IDC_TOTAL_DISTANCE = 1034;
constexpr int IDC_BEGIN_STOP = 1037;
constexpr int IDC_NEW_SEGMENT = 1046;
constexpr int IDC_CHANNEL1_FREQUENCY = 1047;
constexpr int IDC_CHANNEL2_FREQUENCY = 1048;
constexpr int IDC_PREV_SEGMENT = 1050;
constexpr int IDC_NEXT_SEGMENT = 1051;
constexpr int IDC_AVERAGE_SPEED = 1059;
constexpr int IDC_SPEED_UNIT = 1060;
constexpr int IDC_TOTAL_UNIT = 1061;
constexpr int IDC_SURVEY_SECONDS = 1062;
constexpr int IDC_NOT_SAVED = 1065;     // the red line while the segment walked last is not saved
constexpr int IDC_SAVE_COPY = 1066;     // "Save a copy as..." while it is not saved
constexpr int IDC_SEGMENT_CHECK = 1067; // the check of the segment stopped last, in one line
constexpr int IDC_MORE_LESS = 145;      // the More/Less button
constexpr int IDC_COLLAPSE_MARK = 146;  // hidden; the collapsed dialog ends at its bottom edge
constexpr int IDC_LESS_TEXT = 147;      // hidden; holds the button's text while expanded

// Units box of the distance dialog (148) and of the segment dialog (139).
constexpr int IDC_UNITS = 1041;
// Distance dialog (148).
constexpr int IDC_DISTANCE = 1042;

// Help dialog (141).
constexpr int IDC_HELP_PICTURE = 1048;
constexpr int IDC_HELP_NEXT = 1049;
constexpr int IDC_HELP_PREVIOUS = 1050;

// PDF page (196): which page of a PDF plan, at what resolution.
constexpr int IDC_PDF_PAGE = 1101;
constexpr int IDC_PDF_DPI = 1102;
constexpr int IDC_PDF_SIZE = 1103;

// Calibration (197): the plan's view, the kind, the lines of a linear plan, the points of a
// geo-coded one, the scale and what stands in the way of saving.
constexpr int IDC_CAL_VIEW = 1110;
constexpr int IDC_CAL_ZOOM_IN = 1111;
constexpr int IDC_CAL_ZOOM_OUT = 1112;
constexpr int IDC_CAL_FIT = 1113;
constexpr int IDC_CAL_LINEAR = 1114;
constexpr int IDC_CAL_GEO = 1115;
constexpr int IDC_CAL_LINES = 1116;
constexpr int IDC_CAL_DRAW_LINE = 1117;
constexpr int IDC_CAL_LENGTH = 1118;
constexpr int IDC_CAL_UNITS = 1119;
constexpr int IDC_CAL_DRAW_CHECK = 1120;
constexpr int IDC_CAL_CHECK_LENGTH = 1121;
constexpr int IDC_CAL_SET_ORIGIN = 1122;
constexpr int IDC_CAL_ORIGIN = 1123;
constexpr int IDC_CAL_DISAGREEMENT = 1124;
constexpr int IDC_CAL_POINTS = 1125;
constexpr int IDC_CAL_POINT_TABLE = 1126;
constexpr int IDC_CAL_ADD_POINT = 1127;
constexpr int IDC_CAL_REMOVE_POINT = 1128;
constexpr int IDC_CAL_SCALE = 1129;
constexpr int IDC_CAL_MESSAGE = 1130;
constexpr int IDC_CAL_SAVE_AS = 1131;

// Coverage settings (201): how the coverage is computed and coloured.
constexpr int IDC_COV_CELL = 1170;
constexpr int IDC_COV_RADIUS = 1171;
constexpr int IDC_COV_BIN = 1172;
constexpr int IDC_COV_FADE = 1173;
constexpr int IDC_COV_MEAN = 1174;
constexpr int IDC_COV_SCALE_LOW = 1175;
constexpr int IDC_COV_SCALE_HIGH = 1176;
constexpr int IDC_COV_BAND = 1177;
constexpr int IDC_COV_THRESHOLD = 1178;
constexpr int IDC_COV_MESSAGE = 1179;
constexpr int IDC_COV_DEFAULTS = 1180;
// Segment details (198): the browsed segment's facts, checks and level profile.
constexpr int IDC_DETAILS_TITLE = 1140;
constexpr int IDC_DETAILS_LENGTH = 1141;
constexpr int IDC_DETAILS_WALKED = 1142;
constexpr int IDC_DETAILS_SPEED = 1143;
constexpr int IDC_DETAILS_LEVELS = 1144;
constexpr int IDC_DETAILS_CHECKS = 1145;
constexpr int IDC_DETAILS_PROFILE = 1146;
constexpr int IDC_WALK_AGAIN = 1147;
constexpr int IDC_EXCLUDE = 1148;
// Survey report (199): the grid test and its rectangles, the paper.
constexpr int IDC_REPORT_GRID = 1150;
constexpr int IDC_REPORT_RECTANGLES = 1151;
constexpr int IDC_REPORT_PAPER = 1152;

// Termination dialog (150): its icon control has no number of its own.

// Pictures.
constexpr int IDB_INSTRUCTIONS_LEFT = 145;  // 253 x 196
constexpr int IDB_INSTRUCTIONS_RIGHT = 146; // 260 x 189
constexpr int IDB_HELP_USB_POWER = 164;     // 512 x 384
constexpr int IDB_HELP_TAB_LOCKS = 165;     // 521 x 384
constexpr int IDB_HELP_KEYPAD = 166;        // 373 x 388
constexpr int IDB_HELP_POWER_BUTTON = 167;  // 512 x 384
constexpr int IDB_HELP_OPEN_LID = 168;      // 512 x 384
constexpr int IDB_HELP_READY = 169;         // 512 x 384

// Icons.
constexpr int IDI_SEGMENT_DATA = 140;
constexpr int IDI_TERMINATION = 175;
