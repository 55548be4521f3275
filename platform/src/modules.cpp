// Module loading: the platform's built-in modules first (builtin_modules.h),
// then the dynamic loader.
#include <windows.h>
#include <velplat/faults.h>

#include "builtin_modules.h"

#include <dlfcn.h>

#include <string>

namespace {

using velplat::modules::BuiltinModuleOf;

// "velmon.dll" -> "libvelmon.so"; "velmon" -> "libvelmon.so".
std::string SharedObjectName(std::string name) {
  if (name.size() > 4 && (name.compare(name.size() - 4, 4, ".dll") == 0 || name.compare(name.size() - 4, 4, ".DLL") == 0))
    name.resize(name.size() - 4);
  return "lib" + name + ".so";
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (auto error = velplat::faults::ConsumeCall("LoadLibraryA")) {
    SetLastError(*error);
    return nullptr;
  }
  if (!lpLibFileName || !*lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string name = lpLibFileName;
  if (const auto* builtin = velplat::modules::FindBuiltinModule(name)) {
    if (builtin->availableHere()) return velplat::modules::BuiltinModuleHandle(*builtin);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle && name.find('/') == std::string::npos) handle = dlopen(SharedObjectName(name).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return static_cast<HMODULE>(handle);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!hModule || !lpProcName) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (auto error = velplat::faults::ConsumeCall(std::string("GetProcAddress:") + lpProcName)) {
    SetLastError(*error);
    return nullptr;
  }
  if (const auto* builtin = BuiltinModuleOf(hModule)) {
    if (FARPROC address = builtin->lookup(lpProcName)) return address;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = dlsym(hModule, lpProcName);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (hLibModule && BuiltinModuleOf(hLibModule)) return TRUE;  // built-in modules stay loaded
  if (!hLibModule || dlclose(hLibModule) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
