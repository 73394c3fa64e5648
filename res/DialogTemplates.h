#pragma once
// Dialog templates as data: the size, caption and style of each dialog and, in template order
// (which is also the tab order), its controls with kind, id, caption, style and position.
// Positions and sizes are in dialog units (see res/DialogUnits.h).
#include <cstdint>
#include <vector>

enum class ControlKind {
  StaticText,
  GroupBox,
  PushButton,
  CheckBox,
  Edit,
  ComboBox,
  ListBox,
  ListView,
  Picture
};

// Control id of a control the program never addresses.
constexpr int IDC_STATIC = -1;

// Window styles, with their classic values.
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_CHILD = 0x40000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_CAPTION = 0x00C00000u;
constexpr uint32_t WS_BORDER = 0x00800000u;
constexpr uint32_t WS_VSCROLL = 0x00200000u;
constexpr uint32_t WS_HSCROLL = 0x00100000u;
constexpr uint32_t WS_SYSMENU = 0x00080000u;
constexpr uint32_t WS_THICKFRAME = 0x00040000u;
constexpr uint32_t WS_GROUP = 0x00020000u;
constexpr uint32_t WS_TABSTOP = 0x00010000u;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000u;  // same bit as WS_GROUP, on top-level windows
constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000u;  // same bit as WS_TABSTOP, on top-level windows

// Dialog styles.
constexpr uint32_t DS_SETFONT = 0x40;
constexpr uint32_t DS_MODALFRAME = 0x80;
constexpr uint32_t DS_CENTER = 0x800;

// Control styles.
constexpr uint32_t ES_CENTER = 0x1;
constexpr uint32_t ES_RIGHT = 0x2;
constexpr uint32_t ES_MULTILINE = 0x4;
constexpr uint32_t ES_AUTOVSCROLL = 0x40;
constexpr uint32_t ES_AUTOHSCROLL = 0x80;
constexpr uint32_t ES_READONLY = 0x800;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x1;
constexpr uint32_t BS_AUTOCHECKBOX = 0x3;
constexpr uint32_t BS_GROUPBOX = 0x7;
constexpr uint32_t CBS_DROPDOWN = 0x2;
constexpr uint32_t CBS_AUTOHSCROLL = 0x40;
constexpr uint32_t LBS_NOTIFY = 0x1;
constexpr uint32_t LBS_SORT = 0x2;
constexpr uint32_t LBS_NOINTEGRALHEIGHT = 0x100;
constexpr uint32_t LVS_REPORT = 0x1;
constexpr uint32_t LVS_SHOWSELALWAYS = 0x8;
constexpr uint32_t LVS_OWNERDRAWFIXED = 0x400;
constexpr uint32_t SS_LEFT = 0x0;
constexpr uint32_t SS_BITMAP = 0xE;

struct DialogControl {
  ControlKind kind;
  int id;               // IDC_STATIC when the control has none
  const char* caption;  // "" when the control has none
  uint32_t style;
  int x, y, width, height;
};

struct DialogTemplate {
  unsigned id;
  const char* caption;  // "" for none
  uint32_t style;
  int width, height;
  const char* fontFace;  // the face the template names; the builder maps it to ours
  int pointSize;
  std::vector<DialogControl> controls;

  // The control with this id, or null.
  const DialogControl* FindControl(int controlId) const;
};

// Template 100, 102, 132, 145 or 153; null for any other id.
const DialogTemplate* LoadDialogTemplate(unsigned id);
