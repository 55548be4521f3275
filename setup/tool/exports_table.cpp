// Loading _velsetup and finding its actions.
#include "setup/tool/exports_table.h"

#include <filesystem>
#include <system_error>

namespace velsetup::tool {
namespace {

template <class Proc>
bool Find(HMODULE module, const char* name, Proc& out, std::string& error) {
  FARPROC proc = GetProcAddress(module, name);
  if (!proc) {
    error = std::string("the library does not export ") + name;
    return false;
  }
  // Through the generic function pointer type, as FARPROC has another shape.
  out = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(proc));
  return true;
}

}  // namespace

std::optional<ExportsTable> LoadExports(const std::string& library, std::string& error) {
  HMODULE module = LoadLibraryA(library.c_str());
  if (!module) {
    error = "cannot load " + library;
    return std::nullopt;
  }
  ExportsTable table;
  if (!Find(module, "StopSNMP", table.stopSnmp, error) || !Find(module, "StartSNMP", table.startSnmp, error) ||
      !Find(module, "CreateRACUser", table.createRacUser, error) ||
      !Find(module, "DeleteRACUser", table.deleteRacUser, error) ||
      !Find(module, "IsServicePresent", table.isServicePresent, error) ||
      !Find(module, "GetProductVersion", table.getProductVersion, error))
    return std::nullopt;
  return table;
}

std::string DefaultLibraryPath() {
  std::error_code ec;
  auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "_velsetup.dll";  // the loader's search path then
  return (program.parent_path() / "lib_velsetup.so").string();
}

}  // namespace velsetup::tool
