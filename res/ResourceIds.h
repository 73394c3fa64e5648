#pragma once
// Resource and control ids, as the resource script numbers them.

// Icons, bitmaps, menus, dialog templates, toolbars
constexpr unsigned IDR_MAINFRAME = 128;     // frame icon, document template string
constexpr unsigned IDD_ABOUTBOX = 100;      // present, never used
constexpr unsigned IDD_KESTREL_FORM = 102;  // the search form
constexpr unsigned IDR_RESULTS_MENU = 105;  // results list pop-up
constexpr unsigned IDR_TRAY_MENU = 130;     // tray pop-up
constexpr unsigned IDD_NFO_VIEWER = 132;
constexpr unsigned IDB_SPLASH = 143;      // 346 x 259
constexpr unsigned IDB_BACKGROUND = 144;  // 498 x 361
constexpr unsigned IDD_SPLASH = 145;
constexpr unsigned IDD_STATISTICS = 153;
constexpr unsigned IDR_HISTORY_TOOLBAR = 23320;

// Strings
constexpr unsigned IDS_SOCKETS_INIT_FAILED = 104;
constexpr unsigned AFX_IDS_APP_TITLE = 57344;

// Standard controls
constexpr int IDOK_CONTROL = 1;  // the OK button of a dialog

// Search form (template 102)
constexpr int IDC_MASK = 1000;
constexpr int IDC_LIMIT = 1001;
constexpr int IDC_DUPE = 1002;
constexpr int IDC_QUIT = 1003;
constexpr int IDC_RESULTS = 1004;
constexpr int IDC_ORDER = 1005;
constexpr int IDC_STATUS = 1006;
constexpr int IDC_BETWEEN = 1009;
constexpr int IDC_START_DATE = 1010;
constexpr int IDC_END_DATE = 1011;
constexpr int IDC_GET_ALL = 1012;
constexpr int IDC_MASK_LABEL = 1016;
constexpr int IDC_LIMIT_LABEL = 1017;

// NFO viewer (template 132)
constexpr int IDC_NFO_TEXT = 1012;

// Splash (template 145)
constexpr int IDC_SPLASH_PICTURE = 1013;

// Statistics (template 153)
constexpr int IDC_STATS_STATUS = 1021;
constexpr int IDC_PRIMARY_ACTIVE = 1023;
constexpr int IDC_PRIMARY_UPDATE = 1024;
constexpr int IDC_PRIMARY_COUNT = 1025;
constexpr int IDC_BACKUP_ACTIVE = 1029;
constexpr int IDC_BACKUP_UPDATE = 1030;
constexpr int IDC_BACKUP_COUNT = 1031;

// Commands
constexpr unsigned ID_COPY_ALL = 32771;
constexpr unsigned ID_COPY_SELECTED = 32772;
constexpr unsigned ID_LOG_SESSION = 32773;
constexpr unsigned ID_START_MINIMIZED = 32774;
constexpr unsigned ID_SHOW_KESTREL = 32775;
constexpr unsigned ID_DATABASE_STATISTICS = 32776;
constexpr unsigned ID_EXIT_KESTREL = 32777;
constexpr unsigned ID_RETRIEVE_NFO = 32778;
constexpr unsigned ID_CLEAR_LIST = 32779;
constexpr unsigned ID_KEEP_LOCAL_INDEX = 32780;
