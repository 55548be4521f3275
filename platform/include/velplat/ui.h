// C++ side of the simulated desktop (winapi/user.h): modules register their
// dialog resources here, and tests and tools read back, in order, every
// message box and every change made to a window, and the windows' current
// state.
//
// Dialog resources: on Windows a module carries its dialogs as compiled
// resources; here a module registers a description of each dialog when it is
// loaded and keeps the returned handle as its resource handle (the
// HINSTANCE that CreateDialogParamA takes). Registering a module again
// replaces its dialogs of the same identifier and returns the same handle;
// handles stay valid for the life of the process.
//
// The desktop (windows and journal) belongs to the world's local machine, so
// World::Reset clears it. Times are platform clock milliseconds.
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_UI_H
#define VELPLAT_UI_H

#include <windows.h>
#include <winapi/user.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat::ui {

// One control of a dialog, in dialog units.
struct ControlResource {
  int id = 0;
  std::string className{};  // "STATIC", "BUTTON", "msctls_progress32", ...
  std::string text{};
  DWORD style = 0;          // WS_CHILD is implied
  short x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogResource {
  WORD id = 0;
  WORD language = 0x0409;
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::string caption{};
  std::string fontName{};  // used with DS_SETFONT
  WORD fontPoints = 0;
  std::vector<ControlResource> controls{};
};

// Registers `dialogs` for the module named `module` (a file name such as
// "_velsetup.dll"; compared without regard to case) and returns its resource
// handle.
HINSTANCE RegisterDialogs(std::string_view module, const std::vector<DialogResource>& dialogs);

enum class EventKind {
  MessageBox,  // text, caption, type, answer
  Created,     // a dialog with its controls (their resource texts are not TextSet events)
  TextSet,     // controlId, text
  Shown,       // showCommand
  Hidden,
  Enabled,
  Disabled,
  Destroyed
};

struct Event {
  EventKind kind = EventKind::MessageBox;
  std::uint64_t atMs = 0;
  HWND window = nullptr;  // the dialog (for TextSet: the dialog holding the control); null for a box
  HWND owner = nullptr;   // box owner, or the dialog's parent
  int controlId = 0;      // TextSet: the control; Shown..Destroyed: 0 for the window itself
  std::string text{};     // box text, or the control's new text
  std::string caption{};  // box caption
  UINT type = 0;          // box MB_* flags
  int answer = 0;         // box answer
  WORD resourceId = 0;    // Created
  int showCommand = 0;    // Shown
};

// Every event since the desktop was created or last cleared, oldest first.
std::vector<Event> Events();
void ClearEvents();
// Just the message boxes, oldest first.
std::vector<Event> MessageBoxes();

struct WindowState {
  HWND handle = nullptr;
  HWND parent = nullptr;
  int controlId = 0;  // 0 for a dialog
  WORD resourceId = 0;
  std::string className{};  // "#32770" for a dialog
  std::string text{};
  DWORD style = 0;
  bool visible = false;
  bool enabled = true;
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units, as the resource gave them
  std::vector<HWND> children{};        // in resource order
};

// The live window; nullopt once destroyed or for a handle never issued.
std::optional<WindowState> Window(HWND handle);
// Live dialogs (top-level windows), oldest first.
std::vector<HWND> Dialogs();

}  // namespace velplat::ui

#endif
