// The simulated desktop of a machine: its live windows and the journal of
// everything shown or changed on it, behind winapi/user.h and velplat/ui.h.
//
// Window handles are drawn from one process-wide counter, so a handle never
// names two windows, not even across World::Reset.
// Thread-safety: every member of Desktop is guarded by its mutex; callers
// never call a dialog procedure while holding it.
#ifndef VELPLAT_SRC_UI_DESKTOP_H
#define VELPLAT_SRC_UI_DESKTOP_H

#include <velplat/ui.h>

#include <map>
#include <mutex>
#include <vector>

namespace velplat::ui::detail {

struct WindowRecord {
  WindowState state;
  DLGPROC procedure = nullptr;
};

struct Desktop {
  std::mutex mutex;
  std::map<HWND, WindowRecord> windows;  // live windows only
  std::vector<Event> events;
};

// The desktop of the world's local machine.
Desktop& LocalDesktop();

// A handle no window has had before.
HWND NewWindowHandle();

// Under the lock: appends `event`, stamped with the platform clock.
void Record(Desktop& desktop, Event event);

// Under the lock: the live window, or null.
WindowRecord* Find(Desktop& desktop, HWND handle);

// Under the lock: the child of `dialog` with control identifier `id`, or null.
WindowRecord* FindChild(Desktop& desktop, HWND dialog, int id);

// Under the lock: the event's window and control for a change to `record`:
// a control reports through its dialog.
void Locate(const WindowRecord& record, Event& event);

}  // namespace velplat::ui::detail

#endif
