// The library's dialog resources: the status window, dialog 1000, registered
// from its description in status_dialog_layout.h.
#include "setup/resource_module.h"

#include "setup/status_dialog_layout.h"

#include <velplat/ui.h>

namespace velsetup {
namespace {

velplat::ui::DialogResource StatusDialog() {
  const DialogLayout& layout = kStatusDialogLayout;
  velplat::ui::DialogResource dialog;
  dialog.id = layout.id;
  dialog.language = layout.language;
  dialog.style = layout.style;
  dialog.exStyle = layout.exStyle;
  dialog.x = layout.x;
  dialog.y = layout.y;
  dialog.cx = layout.cx;
  dialog.cy = layout.cy;
  dialog.caption = layout.caption;
  dialog.fontName = layout.fontName;
  dialog.fontPoints = layout.fontPoints;
  for (const ControlLayout& control : layout.controls)
    dialog.controls.push_back(
        {control.id, control.className, control.text, control.style, control.x, control.y, control.cx, control.cy});
  return dialog;
}

}  // namespace

HINSTANCE ResourceHandle() {
  static const HINSTANCE handle = velplat::ui::RegisterDialogs("_velsetup.dll", {StatusDialog()});
  return handle;
}

}  // namespace velsetup
