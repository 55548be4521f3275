// Modules that the platform itself provides instead of a shared object on
// disk (the cluster library "CLUSAPI"): LoadLibraryA finds them by name
// before it asks the dynamic loader, GetProcAddress answers from their
// export tables, FreeLibrary leaves them loaded.
// Thread-safety: the table is constant; `availableHere` and `lookup` may be
// called from any thread.
#ifndef VELPLAT_SRC_BUILTIN_MODULES_H
#define VELPLAT_SRC_BUILTIN_MODULES_H

#include <windows.h>

#include <string_view>

namespace velplat::modules {

struct BuiltinModule {
  const char* name;                          // without extension, e.g. "CLUSAPI"
  bool (*availableHere)();                   // installed on the local machine
  FARPROC (*lookup)(std::string_view name);  // an export by name, or null
};

// The built-in module that a LoadLibraryA argument names: its name without
// regard to case, with or without ".dll"; null for any other name.
const BuiltinModule* FindBuiltinModule(std::string_view fileName);

// The module handle of a built-in module, and back; null for a handle of
// the dynamic loader.
HMODULE BuiltinModuleHandle(const BuiltinModule& module);
const BuiltinModule* BuiltinModuleOf(HMODULE handle);

}  // namespace velplat::modules

#endif
