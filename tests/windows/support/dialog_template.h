// A compiled extended dialog template (DLGTEMPLATEEX followed by its
// DLGITEMTEMPLATEEX items, as resource compilers write DIALOGEX) read into
// plain fields, so tests can compare a dialog built into a DLL with the
// description it was meant to have.
//
// Texts are ASCII (other characters read as '?'); a name given as an
// ordinal reads as "#<number>", except the predefined control classes,
// which read as their names ("BUTTON", "EDIT", "STATIC", "LISTBOX",
// "SCROLLBAR", "COMBOBOX").
// Thread-safety: any thread; no state.
#ifndef VELMON_TESTS_WINDOWS_SUPPORT_DIALOG_TEMPLATE_H
#define VELMON_TESTS_WINDOWS_SUPPORT_DIALOG_TEMPLATE_H

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace wintest {

struct TemplateControl {
  DWORD id = 0;
  std::string className;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::string menu;
  std::string className;
  std::string caption;
  WORD fontPoints = 0;  // font fields only with DS_SETFONT
  std::string fontName;
  std::vector<TemplateControl> controls;
};

// The template in the `size` bytes at `data`; nullopt with the reason in
// `error` when it is not an extended template or runs past its end.
std::optional<DialogTemplate> ReadDialogTemplate(const void* data, std::size_t size, std::string* error);

}  // namespace wintest

#endif
