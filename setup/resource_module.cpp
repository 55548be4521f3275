// The library's dialog resources: the status window, dialog 1000.
#include "setup/resource_module.h"

#include "setup/resource.h"

#include <velplat/ui.h>

namespace velsetup {
namespace {

velplat::ui::DialogResource StatusDialog() {
  velplat::ui::DialogResource dialog;
  dialog.id = IDD_STATUS_DIALOG;
  dialog.language = 0x0409;
  // Borderless popup without caption or system menu, on top of everything.
  dialog.style = WS_POPUP | WS_VISIBLE | DS_SYSMODAL | DS_CENTER | DS_SETFOREGROUND | DS_MODALFRAME | DS_3DLOOK |
                 DS_SETFONT;
  dialog.x = 0;
  dialog.y = 0;
  dialog.cx = 256;
  dialog.cy = 26;
  dialog.fontName = "MS Sans Serif";
  dialog.fontPoints = 8;
  dialog.controls = {
      {IDC_STATUS_TEXT, "STATIC", "status...", WS_VISIBLE | WS_GROUP | SS_CENTER | SS_CENTERIMAGE, 14, 7, 235, 13},
      {IDC_STATUS_PROGRESS, "msctls_progress32", "Progress1", WS_BORDER, 7, 19, 242, 14},
  };
  return dialog;
}

}  // namespace

HINSTANCE ResourceHandle() {
  static const HINSTANCE handle = velplat::ui::RegisterDialogs("_velsetup.dll", {StatusDialog()});
  return handle;
}

}  // namespace velsetup
