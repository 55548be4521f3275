// The C++ control API of the simulated service control managers
// (velplat/services.h), with each service's registry key.
#include "services_db.h"
#include "services_handles.h"

#include <velplat/clock.h>
#include <velplat/registry.h>

namespace velplat::services {
namespace {

using detail::ServiceDb;
using detail::ServicePtr;

Machine& Target(Machine* machine) { return machine ? *machine : World::Get().Local(); }

std::string KeyPath(std::string_view name) {
  return "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + std::string(name);
}

void WriteRegistry(const ServiceConfig& config, Machine& machine) {
  std::string key = KeyPath(config.name);
  registry::SetDword(key, "Type", config.serviceType, &machine);
  registry::SetDword(key, "Start", config.startType, &machine);
  registry::SetDword(key, "ErrorControl", SERVICE_ERROR_NORMAL, &machine);
  registry::SetString(key, "DisplayName", config.displayName.empty() ? config.name : config.displayName, &machine);
  registry::SetString(key, "ObjectName", "LocalSystem", &machine);
  if (config.imagePath.empty())
    registry::DeleteValue(key, "ImagePath", &machine);
  else
    registry::SetExpandString(key, "ImagePath", config.imagePath, &machine);
  if (config.dependencies.empty())
    registry::DeleteValue(key, "DependOnService", &machine);
  else
    registry::SetMultiString(key, "DependOnService", config.dependencies, &machine);
}

// Runs `change` on the named service under the database lock, after settling.
template <class Change>
bool WithService(std::string_view name, Machine* machine, Change change) {
  ServiceDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  auto it = db.services.find(name);
  if (it == db.services.end()) return false;
  auto now = clock::NowMs();
  detail::Settle(db, now);
  change(*it->second, now);
  return true;
}

}  // namespace

void Define(const ServiceConfig& config, Machine* machine) {
  Machine& target = Target(machine);
  {
    ServiceDb& db = detail::Database(target);
    std::lock_guard lock(db.mutex);
    ServicePtr& slot = db.services[config.name];
    if (!slot) slot = std::make_shared<detail::ServiceRecord>();
    slot->config = config;
    slot->presence = detail::Presence::Installed;
    detail::Force(*slot, config.initialState, std::nullopt, 0, clock::NowMs());
    if (config.initialState == SERVICE_STOPPED) slot->exitCode = ERROR_SERVICE_NEVER_STARTED;
  }
  WriteRegistry(config, target);
}

bool Remove(std::string_view name, Machine* machine) {
  Machine& target = Target(machine);
  std::string canonical;
  {
    ServiceDb& db = detail::Database(target);
    std::lock_guard lock(db.mutex);
    auto it = db.services.find(name);
    if (it == db.services.end()) return false;
    it->second->presence = detail::Presence::Removed;
    canonical = it->second->config.name;
    db.services.erase(it);
  }
  registry::DeleteKeyTree(KeyPath(canonical), &target);
  return true;
}

bool SetState(std::string_view name, DWORD state, Machine* machine) {
  return WithService(name, machine, [state](detail::ServiceRecord& service, std::uint64_t now) {
    detail::Force(service, state, std::nullopt, 0, now);
  });
}

bool SetPending(std::string_view name, DWORD pendingState, std::optional<std::chrono::milliseconds> completesAfter,
                DWORD waitHint, Machine* machine) {
  return WithService(name, machine, [&](detail::ServiceRecord& service, std::uint64_t now) {
    std::optional<std::uint64_t> end;
    if (completesAfter) end = now + static_cast<std::uint64_t>(completesAfter->count());
    detail::Force(service, pendingState, end, waitHint, now);
  });
}

bool SetTransitionTimes(std::string_view name, std::chrono::milliseconds startTime, std::chrono::milliseconds stopTime,
                        Machine* machine) {
  return WithService(name, machine, [&](detail::ServiceRecord& service, std::uint64_t) {
    service.config.startTime = startTime;
    service.config.stopTime = stopTime;
  });
}

std::optional<ServiceSnapshot> Get(std::string_view name, Machine* machine) {
  std::optional<ServiceSnapshot> snapshot;
  WithService(name, machine, [&](detail::ServiceRecord& service, std::uint64_t now) {
    snapshot = ServiceSnapshot{service.config, detail::StatusOf(service, now)};
  });
  return snapshot;
}

std::vector<std::string> Names(Machine* machine) {
  ServiceDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  std::vector<std::string> names;
  for (const auto& [name, service] : db.services) names.push_back(service->config.name);
  return names;
}

std::vector<Request> Requests(Machine* machine) {
  ServiceDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  return db.requests;
}

void ClearRequests(Machine* machine) {
  ServiceDb& db = detail::Database(Target(machine));
  std::lock_guard lock(db.mutex);
  db.requests.clear();
}

std::size_t OpenHandleCount() { return detail::ScHandleCount(); }

}  // namespace velplat::services
