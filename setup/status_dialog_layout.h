// The status window's dialog, resource 1000, as data: its styles, place and
// size, font and its two controls, in dialog units.
//
// This is the one description of the dialog. The platform layer's form of
// the library registers a dialog built from it (resource_module.cpp); on
// Windows velsetup.rc compiles the dialog into _velsetup.dll, and the Wine
// test status_dialog_resource_test reads that compiled template back out of
// the DLL and compares it with this description field by field, so a change
// to one form that is not made to the other fails the build's tests.
//
// Control styles include WS_CHILD, as the compiled template carries it.
// Thread-safety: constants only.
#ifndef VELSETUP_STATUS_DIALOG_LAYOUT_H
#define VELSETUP_STATUS_DIALOG_LAYOUT_H

#include "setup/resource.h"

#include <windows.h>

#include <array>

namespace velsetup {

struct ControlLayout {
  int id;
  const char* className;
  const char* text;
  DWORD style;
  short x, y, cx, cy;
};

struct DialogLayout {
  WORD id;
  WORD language;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
  const char* caption;
  const char* fontName;
  WORD fontPoints;
  std::array<ControlLayout, 2> controls;
};

// A borderless popup without caption or system menu, in front of everything,
// with one centred line of text and a progress bar that stays hidden.
inline constexpr DialogLayout kStatusDialogLayout{
    IDD_STATUS_DIALOG,
    0x0409,  // English, United States
    WS_POPUP | WS_VISIBLE | DS_SYSMODAL | DS_CENTER | DS_SETFOREGROUND | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT,
    0,
    0,
    0,
    256,
    26,
    "",
    "MS Sans Serif",
    8,
    {{
        {IDC_STATUS_TEXT, "STATIC", "status...", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER | SS_CENTERIMAGE, 14, 7,
         235, 13},
        {IDC_STATUS_PROGRESS, "msctls_progress32", "Progress1", WS_CHILD | WS_BORDER, 7, 19, 242, 14},
    }},
};

}  // namespace velsetup

#endif
