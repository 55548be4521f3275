// The process's dialog resources, per registering module.
#include "ui_resources.h"

#include <velplat/world.h>

#include <charconv>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <string>

namespace velplat::ui {
namespace {

struct ModuleResources {
  std::string name;
  std::map<WORD, DialogResource> dialogs;
};

struct Registry {
  std::mutex mutex;
  std::list<ModuleResources> modules;  // a list: a module's address is its handle
};

Registry& Resources() {
  static Registry* registry = new Registry();  // used by modules unloaded after main
  return *registry;
}

std::string_view LastComponent(std::string_view path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<WORD> DialogId(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  if (name[0] != '#') return std::nullopt;
  unsigned value = 0;
  const char* end = name + std::strlen(name);
  auto [ptr, ec] = std::from_chars(name + 1, end, value);
  if (ec != std::errc() || ptr != end || value > 0xFFFF) return std::nullopt;
  return static_cast<WORD>(value);
}

}  // namespace

HINSTANCE RegisterDialogs(std::string_view module, const std::vector<DialogResource>& dialogs) {
  auto& registry = Resources();
  std::lock_guard lock(registry.mutex);
  std::string_view name = LastComponent(module);
  ModuleResources* entry = nullptr;
  for (auto& candidate : registry.modules)
    if (EqualsNoCase(candidate.name, name)) entry = &candidate;
  if (!entry) entry = &registry.modules.emplace_back(ModuleResources{std::string(name), {}});
  for (const auto& dialog : dialogs) entry->dialogs[dialog.id] = dialog;
  return reinterpret_cast<HINSTANCE>(entry);
}

namespace detail {

DialogLookup FindDialog(HINSTANCE module, LPCSTR name) {
  auto& registry = Resources();
  std::lock_guard lock(registry.mutex);
  for (auto& candidate : registry.modules) {
    if (reinterpret_cast<HINSTANCE>(&candidate) != module) continue;
    auto id = name ? DialogId(name) : std::nullopt;
    auto it = id ? candidate.dialogs.find(*id) : candidate.dialogs.end();
    if (it == candidate.dialogs.end()) return {LookupFailure::UnknownDialog, {}};
    return {LookupFailure::None, it->second};
  }
  return {LookupFailure::UnknownModule, {}};
}

}  // namespace detail
}  // namespace velplat::ui
