// The library's dialog resources on Windows: velsetup.rc compiles them into
// _velsetup.dll itself, so the resource handle is the library's own module.
// (resource_module.cpp is the form for the platform layer, which registers
// the same dialog by description.)
#include "setup/resource_module.h"

#include <commctrl.h>

namespace velsetup {
namespace {

// The module holding this function: _velsetup.dll, or the program that links
// the library's objects.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

}  // namespace

HINSTANCE ResourceHandle() {
  static const HINSTANCE handle = [] {
    // Dialog 1000 holds a progress bar, whose window class the common
    // controls library registers; without it the dialog cannot be created.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return OwnModule();
  }();
  return handle;
}

}  // namespace velsetup
