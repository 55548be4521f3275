// The SC_HANDLE table and the access rules of managers and services.
#include "services_handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace velplat::services::detail {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<const ScObject>> objects;
  std::uintptr_t next = 0x5C0000;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable();  // used by threads that outlive main
  return *table;
}

struct AccessRules {
  DWORD read, write, execute, all;  // what the generic rights stand for
  DWORD user;                       // what an ordinary user may have
  DWORD implicit;                   // granted with every open
};

constexpr AccessRules kManagerRules{
    STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
    STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG,
    STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK,
    SC_MANAGER_ALL_ACCESS,
    READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
    SC_MANAGER_CONNECT};

constexpr AccessRules kServiceRules{
    STANDARD_RIGHTS_READ | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
        SERVICE_ENUMERATE_DEPENDENTS,
    STANDARD_RIGHTS_WRITE | SERVICE_CHANGE_CONFIG,
    STANDARD_RIGHTS_EXECUTE | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL,
    SERVICE_ALL_ACCESS,
    READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
        SERVICE_USER_DEFINED_CONTROL,
    0};

std::optional<DWORD> Grant(const AccessRules& rules, DWORD desired, security::Standing standing) {
  DWORD allowed = standing == security::Standing::Administrator ? rules.all
                  : standing == security::Standing::User        ? rules.user
                                                                : 0;
  DWORD wanted = desired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
  if (desired & GENERIC_READ) wanted |= rules.read;
  if (desired & GENERIC_WRITE) wanted |= rules.write;
  if (desired & GENERIC_EXECUTE) wanted |= rules.execute;
  if (desired & GENERIC_ALL) wanted |= rules.all;
  if (desired & MAXIMUM_ALLOWED) wanted |= allowed;
  if (wanted & ~allowed) return std::nullopt;
  return wanted | rules.implicit;
}

}  // namespace

SC_HANDLE InsertScHandle(ScObject object) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  std::uintptr_t key = t.next;
  t.next += 8;
  t.objects.emplace(key, std::make_shared<const ScObject>(std::move(object)));
  return reinterpret_cast<SC_HANDLE>(key);
}

std::shared_ptr<const ScObject> LookupScHandle(SC_HANDLE handle) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveScHandle(SC_HANDLE handle) {
  std::shared_ptr<const ScObject> released;  // destroyed outside the lock
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == t.objects.end()) return false;
  released = std::move(it->second);
  t.objects.erase(it);
  return true;
}

std::size_t ScHandleCount() {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  return t.objects.size();
}

std::optional<DWORD> GrantManagerAccess(DWORD desired, security::Standing standing) {
  return Grant(kManagerRules, desired, standing);
}

std::optional<DWORD> GrantServiceAccess(DWORD desired, security::Standing standing) {
  return Grant(kServiceRules, desired, standing);
}

}  // namespace velplat::services::detail
