// velplat/ui.h: reading the local desktop's journal and windows.
#include "ui_desktop.h"


namespace velplat::ui {

using detail::Desktop;
using detail::LocalDesktop;

std::vector<Event> Events() {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  return desktop.events;
}

void ClearEvents() {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  desktop.events.clear();
}

std::vector<Event> MessageBoxes() {
  std::vector<Event> boxes = Events();
  std::erase_if(boxes, [](const Event& e) { return e.kind != EventKind::MessageBox; });
  return boxes;
}

std::optional<WindowState> Window(HWND handle) {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  const detail::WindowRecord* record = detail::Find(desktop, handle);
  if (!record) return std::nullopt;
  return record->state;
}

std::vector<HWND> Dialogs() {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  std::vector<HWND> out;
  // Handles grow with creation, so the map's order is the creation order.
  for (const auto& [handle, record] : desktop.windows)
    if (!(record.state.style & WS_CHILD)) out.push_back(handle);
  return out;
}

}  // namespace velplat::ui
