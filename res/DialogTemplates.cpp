#include "res/DialogTemplates.h"

#include "res/ResourceIds.h"
#include "res/Version.h"

namespace {

using K = ControlKind;
constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr uint32_t kEdit = kChild | WS_BORDER | WS_TABSTOP;
constexpr uint32_t kButton = kChild | WS_TABSTOP;

const DialogTemplate kAbout = {
    IDD_ABOUTBOX,
    "About Kestrel",
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    217,
    55,
    "MS Sans Serif",
    8,
    {
        {K::Picture, IDC_STATIC, "", kChild, 11, 17, 20, 20},
        {K::StaticText, IDC_STATIC, "Kestrel Version " KESTREL_VERSION, kChild | SS_LEFT, 40, 10, 119, 8},
        {K::StaticText, IDC_STATIC, "Dupe database client", kChild | SS_LEFT, 40, 25, 119, 8},
        {K::PushButton, IDOK_CONTROL, "OK", kButton | WS_GROUP | BS_DEFPUSHBUTTON, 178, 7, 32, 14},
    },
};

const DialogTemplate kForm = {
    IDD_KESTREL_FORM,
    "",
    WS_CHILD | DS_SETFONT,
    297,
    210,
    "MS Sans Serif",
    8,
    {
        {K::StaticText, IDC_MASK_LABEL, "Search Mask:", kChild | SS_LEFT, 7, 7, 51, 12},
        {K::ComboBox, IDC_MASK, "", kButton | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 66, 7, 203, 69},
        {K::CheckBox, IDC_BETWEEN, "Between:", kButton | BS_AUTOCHECKBOX, 7, 24, 51, 12},
        {K::Edit, IDC_START_DATE, "", kEdit | ES_RIGHT | ES_AUTOHSCROLL, 65, 24, 49, 12},
        {K::Edit, IDC_END_DATE, "", kEdit | ES_RIGHT | ES_AUTOHSCROLL, 120, 24, 49, 12},
        {K::StaticText, IDC_LIMIT_LABEL, "# to Retrieve:", kChild | SS_LEFT, 7, 41, 51, 12},
        {K::Edit, IDC_LIMIT, "", kEdit | ES_AUTOHSCROLL, 65, 41, 33, 12},
        {K::CheckBox, IDC_GET_ALL, "Retrieve All", kButton | BS_AUTOCHECKBOX, 118, 41, 57, 12},
        {K::StaticText, IDC_STATIC, "Order:", kChild | SS_LEFT, 195, 41, 25, 12},
        {K::ListBox, IDC_ORDER, "",
         kButton | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 228, 38, 62, 19},
        {K::ListView, IDC_RESULTS, "",
         kButton | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED, 7, 61, 283, 104},
        {K::Edit, IDC_STATUS, "", kChild | WS_BORDER | ES_CENTER | ES_READONLY, 66, 175, 166, 12},
        {K::PushButton, IDC_DUPE, "Dupe !", kButton | BS_DEFPUSHBUTTON, 7, 189, 50, 14},
        {K::PushButton, IDC_QUIT, "Quit", kButton, 240, 189, 50, 14},
    },
};

const DialogTemplate kNfoViewer = {
    IDD_NFO_VIEWER,
    "Dialog",
    WS_POPUP | WS_CAPTION | WS_THICKFRAME | DS_CENTER | DS_SETFONT,
    350,
    204,
    "MS Sans Serif",
    8,
    {
        {K::PushButton, IDOK_CONTROL, "OK", kButton | BS_DEFPUSHBUTTON, 145, 183, 50, 14},
        {K::Edit, IDC_NFO_TEXT, "",
         kEdit | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 7, 7,
         336, 168},
    },
};

const DialogTemplate kSplash = {
    IDD_SPLASH,
    "",
    WS_POPUP | WS_VISIBLE | DS_CENTER | DS_SETFONT,
    231,
    159,
    "MS Sans Serif",
    8,
    {
        {K::Picture, IDC_SPLASH_PICTURE, "", kChild | SS_BITMAP, 0, 0, 231, 159},
    },
};

const DialogTemplate kStatistics = {
    IDD_STATISTICS,
    "",
    WS_POPUP | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    214,
    164,
    "MS Sans Serif",
    8,
    {
        {K::GroupBox, IDC_STATIC, "Primary Database", kChild | BS_GROUPBOX, 7, 7, 200, 55},
        {K::StaticText, IDC_STATIC, "Server Active:", kChild | SS_LEFT, 14, 20, 59, 8},
        {K::StaticText, IDC_STATIC, "Last Update:", kChild | SS_LEFT, 14, 32, 59, 8},
        {K::StaticText, IDC_STATIC, "Number of Entries:", kChild | SS_LEFT, 14, 44, 59, 8},
        {K::StaticText, IDC_PRIMARY_ACTIVE, "<checking>", kChild | SS_LEFT, 83, 20, 115, 8},
        {K::StaticText, IDC_PRIMARY_UPDATE, "<checking>", kChild | SS_LEFT, 83, 32, 115, 8},
        {K::StaticText, IDC_PRIMARY_COUNT, "<checking>", kChild | SS_LEFT, 83, 44, 115, 8},
        {K::GroupBox, IDC_STATIC, "Backup Database", kChild | BS_GROUPBOX, 7, 66, 200, 55},
        {K::StaticText, IDC_STATIC, "Server Active:", kChild | SS_LEFT, 14, 79, 59, 8},
        {K::StaticText, IDC_STATIC, "Last Update:", kChild | SS_LEFT, 14, 91, 59, 8},
        {K::StaticText, IDC_STATIC, "Number of Entries:", kChild | SS_LEFT, 14, 103, 59, 8},
        {K::StaticText, IDC_BACKUP_ACTIVE, "<checking>", kChild | SS_LEFT, 83, 79, 115, 8},
        {K::StaticText, IDC_BACKUP_UPDATE, "<checking>", kChild | SS_LEFT, 83, 91, 115, 8},
        {K::StaticText, IDC_BACKUP_COUNT, "<checking>", kChild | SS_LEFT, 83, 103, 115, 8},
        {K::Edit, IDC_STATS_STATUS, "", kEdit | ES_CENTER | ES_READONLY | ES_AUTOHSCROLL, 30, 126, 153, 12},
        {K::PushButton, IDOK_CONTROL, "OK", kButton | BS_DEFPUSHBUTTON, 82, 143, 50, 14},
    },
};

}  // namespace

const DialogControl* DialogTemplate::FindControl(int controlId) const {
  if (controlId == IDC_STATIC) return nullptr;
  for (const DialogControl& control : controls)
    if (control.id == controlId) return &control;
  return nullptr;
}

const DialogTemplate* LoadDialogTemplate(unsigned id) {
  for (const DialogTemplate* t : {&kAbout, &kForm, &kNfoViewer, &kSplash, &kStatistics})
    if (t->id == id) return t;
  return nullptr;
}
