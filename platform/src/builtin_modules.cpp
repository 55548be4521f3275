#include "builtin_modules.h"

#include <velplat/world.h>

#include "cluster_module.h"


namespace velplat::modules {
namespace {

const BuiltinModule kModules[] = {
    {"CLUSAPI", &cluster::detail::ClusterLibraryInstalledHere, &cluster::detail::ClusterLibraryExport},
};

}  // namespace

const BuiltinModule* FindBuiltinModule(std::string_view fileName) {
  constexpr std::string_view kExtension = ".dll";
  if (fileName.size() > kExtension.size() &&
      EqualsNoCase(fileName.substr(fileName.size() - kExtension.size()), kExtension))
    fileName.remove_suffix(kExtension.size());
  for (const BuiltinModule& module : kModules)
    if (EqualsNoCase(fileName, module.name)) return &module;
  return nullptr;
}

HMODULE BuiltinModuleHandle(const BuiltinModule& module) {
  return reinterpret_cast<HMODULE>(const_cast<BuiltinModule*>(&module));
}

const BuiltinModule* BuiltinModuleOf(HMODULE handle) {
  for (const BuiltinModule& module : kModules)
    if (BuiltinModuleHandle(module) == handle) return &module;
  return nullptr;
}

}  // namespace velplat::modules
