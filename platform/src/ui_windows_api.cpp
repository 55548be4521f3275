// The window functions of winapi/user.h over the local desktop: modeless
// dialogs from registered resources, their controls' texts, visibility,
// enabling and destruction.
#include "kernel_faults.h"
#include "ui_desktop.h"
#include "ui_resources.h"

#include <utility>
#include <vector>

namespace {

using namespace velplat::ui;
using namespace velplat::ui::detail;

constexpr char kDialogClass[] = "#32770";

HWND FailWindow(DWORD error) {
  SetLastError(error);
  return nullptr;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

WindowRecord DialogRecord(HWND handle, HWND parent, const DialogResource& dialog) {
  WindowRecord record;
  WindowState& s = record.state;
  s.handle = handle;
  s.parent = parent;
  s.resourceId = dialog.id;
  s.className = kDialogClass;
  s.text = dialog.caption;
  s.style = dialog.style & ~WS_VISIBLE;  // shown once initialised
  s.visible = false;
  s.enabled = (dialog.style & WS_DISABLED) == 0;
  s.x = dialog.x, s.y = dialog.y, s.cx = dialog.cx, s.cy = dialog.cy;
  return record;
}

WindowRecord ControlRecord(HWND handle, HWND dialog, const ControlResource& control) {
  WindowRecord record;
  WindowState& s = record.state;
  s.handle = handle;
  s.parent = dialog;
  s.controlId = control.id;
  s.className = control.className;
  s.text = control.text;
  s.style = control.style | WS_CHILD;
  s.visible = (control.style & WS_VISIBLE) != 0;
  s.enabled = (control.style & WS_DISABLED) == 0;
  s.x = control.x, s.y = control.y, s.cx = control.cx, s.cy = control.cy;
  return record;
}

// Under the lock: `handle` and every window below it (children and owned
// windows), the deepest first and `handle` last.
void CollectForDestruction(Desktop& desktop, HWND handle, std::vector<HWND>& out) {
  for (const auto& [other, record] : desktop.windows)
    if (record.state.parent == handle) CollectForDestruction(desktop, other, out);
  out.push_back(handle);
}

}  // namespace

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  if (velplat::kernel::CallFailsByInjection("CreateDialogParamA")) return nullptr;
  DialogLookup lookup = FindDialog(hInstance, lpTemplateName);
  if (lookup.failure == LookupFailure::UnknownModule) return FailWindow(ERROR_RESOURCE_DATA_NOT_FOUND);
  if (lookup.failure == LookupFailure::UnknownDialog) return FailWindow(ERROR_RESOURCE_NAME_NOT_FOUND);
  const DialogResource& dialog = lookup.dialog;

  Desktop& desktop = LocalDesktop();
  HWND handle = NewWindowHandle();
  HWND firstChild = nullptr;
  {
    std::lock_guard lock(desktop.mutex);
    if (hWndParent && !Find(desktop, hWndParent)) return FailWindow(ERROR_INVALID_WINDOW_HANDLE);
    WindowRecord record = DialogRecord(handle, hWndParent, dialog);
    for (const auto& control : dialog.controls) {
      HWND child = NewWindowHandle();
      if (!firstChild) firstChild = child;
      record.state.children.push_back(child);
      desktop.windows.emplace(child, ControlRecord(child, handle, control));
    }
    record.procedure = lpDialogFunc;
    desktop.windows.emplace(handle, std::move(record));
    Event created;
    created.kind = EventKind::Created;
    created.window = handle;
    created.owner = hWndParent;
    created.resourceId = dialog.id;
    Record(desktop, std::move(created));
  }

  if (lpDialogFunc) lpDialogFunc(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstChild), dwInitParam);

  std::lock_guard lock(desktop.mutex);
  WindowRecord* record = Find(desktop, handle);
  if (!record) return FailWindow(ERROR_INVALID_WINDOW_HANDLE);  // the procedure destroyed it
  if (dialog.style & WS_VISIBLE) {
    record->state.style |= WS_VISIBLE;
    record->state.visible = true;
    Event shown;
    shown.kind = EventKind::Shown;
    shown.window = handle;
    shown.showCommand = SW_SHOWNORMAL;
    Record(desktop, std::move(shown));
  }
  return handle;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  if (!Find(desktop, hDlg)) return FailWindow(ERROR_INVALID_WINDOW_HANDLE);
  WindowRecord* child = FindChild(desktop, hDlg, nIDDlgItem);
  if (!child) return FailWindow(ERROR_CONTROL_ID_NOT_FOUND);
  return child->state.handle;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  if (!Find(desktop, hDlg)) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  WindowRecord* child = FindChild(desktop, hDlg, nIDDlgItem);
  if (!child) return Fail(ERROR_CONTROL_ID_NOT_FOUND);
  child->state.text = lpString ? lpString : "";
  Event set;
  set.kind = EventKind::TextSet;
  set.window = hDlg;
  set.controlId = nIDDlgItem;
  set.text = child->state.text;
  Record(desktop, std::move(set));
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  WindowRecord* record = Find(desktop, hWnd);
  if (!record) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  bool wasVisible = record->state.visible;
  record->state.visible = nCmdShow != SW_HIDE;
  if (record->state.visible)
    record->state.style |= WS_VISIBLE;
  else
    record->state.style &= ~WS_VISIBLE;
  Event event;
  event.kind = record->state.visible ? EventKind::Shown : EventKind::Hidden;
  event.showCommand = nCmdShow;
  Locate(*record, event);
  Record(desktop, std::move(event));
  return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  WindowRecord* record = Find(desktop, hWnd);
  if (!record) return Fail(ERROR_INVALID_WINDOW_HANDLE);
  bool wasDisabled = !record->state.enabled;
  record->state.enabled = bEnable != FALSE;
  if (record->state.enabled)
    record->state.style &= ~WS_DISABLED;
  else
    record->state.style |= WS_DISABLED;
  Event event;
  event.kind = record->state.enabled ? EventKind::Enabled : EventKind::Disabled;
  Locate(*record, event);
  Record(desktop, std::move(event));
  return wasDisabled ? TRUE : FALSE;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  Desktop& desktop = LocalDesktop();
  std::vector<HWND> doomed;
  std::vector<std::pair<HWND, DLGPROC>> procedures;
  {
    std::lock_guard lock(desktop.mutex);
    if (!Find(desktop, hWnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE);
    CollectForDestruction(desktop, hWnd, doomed);
    for (HWND handle : doomed) {
      const WindowRecord* record = Find(desktop, handle);
      if (record->procedure) procedures.emplace_back(handle, record->procedure);
    }
  }
  // While WM_DESTROY is handled the windows still exist.
  for (auto [handle, procedure] : procedures) procedure(handle, WM_DESTROY, 0, 0);

  std::lock_guard lock(desktop.mutex);
  for (HWND handle : doomed) {
    WindowRecord* record = Find(desktop, handle);
    if (!record) continue;  // destroyed meanwhile
    WindowState state = std::move(record->state);
    desktop.windows.erase(handle);
    if (WindowRecord* parent = state.parent ? Find(desktop, state.parent) : nullptr) {
      auto& siblings = parent->state.children;
      std::erase(siblings, handle);
    }
    // Controls vanish with their dialog; the journal names what was asked
    // for and the dialogs it owned.
    if (handle != hWnd && (state.style & WS_CHILD)) continue;
    Event event;
    event.kind = EventKind::Destroyed;
    if (state.style & WS_CHILD) {
      event.window = state.parent;
      event.controlId = state.controlId;
    } else {
      event.window = handle;
    }
    Record(desktop, std::move(event));
  }
  return TRUE;
}
