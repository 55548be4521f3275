// MessageBoxA on the unattended desktop: recorded, answered at once with the
// default button.
#include "kernel_faults.h"
#include "ui_desktop.h"

#include <array>
#include <optional>

namespace {

using namespace velplat::ui;
using namespace velplat::ui::detail;

// The buttons of a button set, left to right; nullopt for an unknown set.
std::optional<std::array<int, 3>> Buttons(UINT type, int* count) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      *count = 1;
      return std::array<int, 3>{IDOK, 0, 0};
    case MB_OKCANCEL:
      *count = 2;
      return std::array<int, 3>{IDOK, IDCANCEL, 0};
    case MB_ABORTRETRYIGNORE:
      *count = 3;
      return std::array<int, 3>{IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
      *count = 3;
      return std::array<int, 3>{IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
      *count = 2;
      return std::array<int, 3>{IDYES, IDNO, 0};
    case MB_RETRYCANCEL:
      *count = 2;
      return std::array<int, 3>{IDRETRY, IDCANCEL, 0};
    default:
      return std::nullopt;
  }
}

}  // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (velplat::kernel::CallFailsByInjection("MessageBoxA")) return 0;
  int count = 0;
  auto buttons = Buttons(uType, &count);
  if (!buttons) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // A default button beyond the set falls back to the first, as on Windows.
  int index = static_cast<int>((uType & MB_DEFMASK) >> 8);
  int answer = (*buttons)[index < count ? index : 0];

  Desktop& desktop = LocalDesktop();
  std::lock_guard lock(desktop.mutex);
  if (hWnd && !Find(desktop, hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  Event box;
  box.kind = EventKind::MessageBox;
  box.owner = hWnd;
  box.text = lpText ? lpText : "";
  box.caption = lpCaption ? lpCaption : "Error";
  box.type = uType;
  box.answer = answer;
  Record(desktop, std::move(box));
  return answer;
}
