#pragma once

// Identifiers of the program's resources and commands. The numbers are part
// of the program's interface: command ids route menu items, tool-bar buttons
// and accelerators to their handlers, and the look ids are stored in the
// settings.

namespace res {

// Bitmaps and images carried in the program.
inline constexpr int IDR_MAINFRAME = 128;  // menu, tool bar, accelerators, icon, document string
inline constexpr int IDB_BODY_MASK = 323;
inline constexpr int IDB_BLANK_CHART = 324;
inline constexpr int IDB_BLANK_CHART_COMPARE = 338;
inline constexpr int IDR_REFERENCE_CHART = 327;  // PNG written out byte for byte
inline constexpr int IDR_POPUP_EDIT = 119;

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_WAIT = 326;
inline constexpr int IDD_THRESHOLD = 331;
inline constexpr int IDD_RESULTS = 333;
inline constexpr int IDD_COMPARE = 335;

// Strings.
inline constexpr int IDS_TOOLBAR_STANDARD = 124;
inline constexpr int IDS_TOOLBAR_CUSTOMIZE = 125;
inline constexpr int IDS_EDIT_MENU = 306;

// Commands of the program.
inline constexpr unsigned ID_VIEW_CUSTOMIZE = 126;
inline constexpr unsigned ID_VIEW_APPLOOK_WIN_2000 = 205;
inline constexpr unsigned ID_VIEW_APPLOOK_OFF_XP = 206;
inline constexpr unsigned ID_VIEW_APPLOOK_WIN_XP = 207;
inline constexpr unsigned ID_VIEW_APPLOOK_OFF_2003 = 208;
inline constexpr unsigned ID_VIEW_APPLOOK_VS_2005 = 209;
inline constexpr unsigned ID_VIEW_APPLOOK_VS_2008 = 210;
inline constexpr unsigned ID_VIEW_APPLOOK_OFF_2007_BLUE = 215;
inline constexpr unsigned ID_VIEW_APPLOOK_OFF_2007_BLACK = 216;
inline constexpr unsigned ID_VIEW_APPLOOK_OFF_2007_SILVER = 217;
inline constexpr unsigned ID_VIEW_APPLOOK_OFF_2007_AQUA = 218;
inline constexpr unsigned ID_VIEW_APPLOOK_WINDOWS_7 = 219;
inline constexpr unsigned ID_FILE_OPEN_FOLDER = 32772;
inline constexpr unsigned ID_ENABLE_PROBE = 32773;
inline constexpr unsigned ID_SMART_AREA = 32775;
inline constexpr unsigned ID_EXPORT_REFERENCE = 32776;
inline constexpr unsigned ID_SET_THRESHOLD = 32777;
inline constexpr unsigned ID_RESULTS = 32778;
inline constexpr unsigned ID_PROGRAM_GUIDE = 32782;
inline constexpr unsigned ID_COMPARE_FILES = 32785;

// Standard commands.
inline constexpr unsigned ID_FILE_NEW = 57600;
inline constexpr unsigned ID_FILE_OPEN = 57601;
inline constexpr unsigned ID_FILE_CLOSE = 57602;
inline constexpr unsigned ID_FILE_SAVE = 57603;
inline constexpr unsigned ID_FILE_SAVE_AS = 57604;
inline constexpr unsigned ID_FILE_PRINT_SETUP = 57606;
inline constexpr unsigned ID_FILE_PRINT = 57607;
inline constexpr unsigned ID_FILE_PRINT_DIRECT = 57608;
inline constexpr unsigned ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr unsigned ID_FILE_MRU_FILE1 = 57616;
inline constexpr unsigned ID_FILE_MRU_LAST = 57631;
inline constexpr unsigned ID_EDIT_COPY = 57634;
inline constexpr unsigned ID_EDIT_CUT = 57635;
inline constexpr unsigned ID_EDIT_PASTE = 57637;
inline constexpr unsigned ID_APP_ABOUT = 57664;
inline constexpr unsigned ID_APP_EXIT = 57665;
inline constexpr unsigned ID_NEXT_PANE = 57680;
inline constexpr unsigned ID_PREV_PANE = 57681;
inline constexpr unsigned ID_VIEW_TOOLBAR = 59392;
inline constexpr unsigned ID_VIEW_STATUS_BAR = 59393;

// Status-bar indicators.
inline constexpr unsigned ID_INDICATOR_CAPS = 59137;
inline constexpr unsigned ID_INDICATOR_NUM = 59138;
inline constexpr unsigned ID_INDICATOR_SCRL = 59139;

}  // namespace res
