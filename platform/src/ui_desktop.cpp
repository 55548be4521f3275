// The desktop store: live windows and the journal of the local machine.
#include "ui_desktop.h"

#include <velplat/clock.h>
#include <velplat/world.h>

#include <atomic>

namespace velplat::ui::detail {

Desktop& LocalDesktop() { return World::Get().Local().State<Desktop>(); }

HWND NewWindowHandle() {
  // Small even numbers, like real handles; never null, never dereferenced.
  static std::atomic<std::uintptr_t> next{0x10010};
  return reinterpret_cast<HWND>(next.fetch_add(4));
}

void Record(Desktop& desktop, Event event) {
  event.atMs = clock::NowMs();
  desktop.events.push_back(std::move(event));
}

WindowRecord* Find(Desktop& desktop, HWND handle) {
  auto it = desktop.windows.find(handle);
  return it == desktop.windows.end() ? nullptr : &it->second;
}

WindowRecord* FindChild(Desktop& desktop, HWND dialog, int id) {
  WindowRecord* parent = Find(desktop, dialog);
  if (!parent) return nullptr;
  for (HWND child : parent->state.children) {
    WindowRecord* record = Find(desktop, child);
    if (record && record->state.controlId == id) return record;
  }
  return nullptr;
}

void Locate(const WindowRecord& record, Event& event) {
  bool isControl = (record.state.style & WS_CHILD) != 0;
  event.window = isControl ? record.state.parent : record.state.handle;
  event.controlId = isControl ? record.state.controlId : 0;
}

}  // namespace velplat::ui::detail
