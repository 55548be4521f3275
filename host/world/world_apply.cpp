// The difference between two worlds, applied through the platform layer.
#include "host/world/world_apply.h"

#include <velplat/accounts.h>
#include <velplat/files.h>
#include <velplat/network.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace velmond {
namespace {

using velplat::Machine;

template <class T>
const T* Find(const NoCaseMap<T>* map, const std::string& key) {
  if (!map) return nullptr;
  auto found = map->find(key);
  return found == map->end() ? nullptr : &found->second;
}

class Applier {
 public:
  explicit Applier(ApplyReport& report) : report_(report) {}

  void Check(DWORD rc, const std::string& what) {
    ++report_.changes;
    if (rc != ERROR_SUCCESS) report_.problems.push_back(what + ": error " + std::to_string(rc));
  }
  void Check(bool ok, const std::string& what) {
    ++report_.changes;
    if (!ok) report_.problems.push_back(what + ": refused");
  }

  void Environment(Machine& m, const MachineSpec* before, const MachineSpec& after) {
    for (const auto& [name, value] : after.environment) {
      const std::string* old = before ? Find(&before->environment, name) : nullptr;
      if (!old || *old != value) {
        m.SetEnv(name, value);
        ++report_.changes;
      }
    }
    if (!before) return;
    for (const auto& [name, value] : before->environment) {
      if (!after.environment.count(name)) {
        m.UnsetEnv(name);
        ++report_.changes;
      }
    }
  }

  void Network(Machine& m, const MachineSpec* before, const MachineSpec& after) {
    const NetworkSpec* old = before ? &before->network : nullptr;
    const NetworkSpec& now = after.network;
    if (!old || old->reachable != now.reachable || old->connectMs != now.connectMs ||
        old->processIdentity != now.processIdentity) {
      velplat::services::NetworkSettings settings;
      settings.reachable = now.reachable;
      settings.connectTime = std::chrono::milliseconds(now.connectMs);
      settings.processIdentity = now.processIdentity == ProcessIdentity::User ? velplat::services::ProcessIdentityAccess::User
                                 : now.processIdentity == ProcessIdentity::Administrator
                                     ? velplat::services::ProcessIdentityAccess::Administrator
                                     : velplat::services::ProcessIdentityAccess::Refused;
      velplat::services::SetNetwork(m, settings);
      ++report_.changes;
    }
    if (old && old->addresses == now.addresses) return;
    if (now.addresses.empty()) {
      if (old) {
        velplat::network::ClearMachineAddresses(&m);
        ++report_.changes;
      }
      return;
    }
    Check(velplat::network::SetMachineAddresses(now.addresses, &m), "machine " + m.Name() + ": addresses");
  }

  void Files(Machine& m, const MachineSpec* before, const MachineSpec& after) {
    for (const auto& [path, file] : after.files) {
      const FileSpec* old = before ? Find(&before->files, path) : nullptr;
      if (old && *old == file) continue;
      std::string what = "machine " + m.Name() + ": file " + path;
      if (file.executable) {
        Check(velplat::files::PutExecutable(
                  path, velplat::files::MakeVersionResource(file.fileVersion, file.productVersion), &m),
              what);
      } else {
        Check(velplat::files::PutFile(path, file.text, &m), what);
      }
    }
    if (!before) return;
    for (const auto& [path, file] : before->files) {
      if (!after.files.count(path)) Check(velplat::files::RemoveFile(path, &m), "machine " + m.Name() + ": removing " + path);
    }
  }

  void Accounts(Machine& m, const MachineSpec* before, const MachineSpec& after) {
    for (const auto& [name, account] : after.accounts) {
      const AccountSpec* old = before ? Find(&before->accounts, name) : nullptr;
      if (old && *old == account) continue;
      velplat::accounts::UserInfo user;
      user.name = account.name;
      user.password = account.password;
      user.comment = account.comment;
      if (account.disabled) user.flags |= UF_ACCOUNTDISABLE;
      velplat::accounts::SetUser(user, &m);
      ++report_.changes;
      for (const std::string& group : account.groups) {
        if (old && std::find(old->groups.begin(), old->groups.end(), group) != old->groups.end()) continue;
        velplat::accounts::AddGroup(group, &m);  // false when it exists already
        Check(velplat::accounts::AddGroupMember(group, account.name, &m),
              "machine " + m.Name() + ": account " + account.name + " into group " + group);
      }
      if (!old) continue;
      for (const std::string& group : old->groups) {
        if (std::find(account.groups.begin(), account.groups.end(), group) == account.groups.end()) {
          velplat::accounts::RemoveGroupMember(group, account.name, &m);
          ++report_.changes;
        }
      }
    }
    if (!before) return;
    for (const auto& [name, account] : before->accounts) {
      if (!after.accounts.count(name)) Check(velplat::accounts::RemoveUser(name, &m), "machine " + m.Name() + ": removing account " + name);
    }
  }

  void Services(Machine& m, const MachineSpec* before, const MachineSpec& after) {
    for (const auto& [name, service] : after.services) {
      const ServiceSpec* old = before ? Find(&before->services, name) : nullptr;
      if (old && *old == service) continue;
      ServiceSpec sameState = service;
      if (old) sameState.state = old->state;
      if (old && *old == sameState) {
        Check(velplat::services::SetState(name, service.state, &m), "machine " + m.Name() + ": service " + name + " state");
        continue;
      }
      velplat::services::ServiceConfig config;
      config.name = service.name;
      config.displayName = service.displayName;
      config.startType = service.startType;
      config.imagePath = service.imagePath;
      config.dependencies = service.dependencies;
      config.startTime = std::chrono::milliseconds(service.startMs);
      config.stopTime = std::chrono::milliseconds(service.stopMs);
      config.initialState = service.state;
      velplat::services::Define(config, &m);
      ++report_.changes;
    }
    if (!before) return;
    for (const auto& [name, service] : before->services) {
      if (!after.services.count(name)) Check(velplat::services::Remove(name, &m), "machine " + m.Name() + ": removing service " + name);
    }
  }

  void Registry(Machine& m, const MachineSpec* before, const MachineSpec& after) {
    namespace reg = velplat::registry;
    if (before) {
      // Keys no longer named, deepest first, unless a named key lies below.
      for (auto it = before->registry.rbegin(); it != before->registry.rend(); ++it) {
        const std::string& path = it->first;
        if (after.registry.count(path)) continue;
        bool ancestor = std::any_of(after.registry.begin(), after.registry.end(), [&](const auto& entry) {
          return entry.first.size() > path.size() && entry.first[path.size()] == '\\' &&
                 velplat::EqualsNoCase(std::string_view(entry.first).substr(0, path.size()), path);
        });
        if (ancestor) continue;
        LONG rc = reg::DeleteKeyTree(path, &m);
        if (rc != ERROR_FILE_NOT_FOUND) Check(static_cast<DWORD>(rc), "machine " + m.Name() + ": deleting " + path);
      }
    }
    for (const auto& [path, key] : after.registry) {
      const RegKey* old = before ? Find(&before->registry, path) : nullptr;
      std::string what = "machine " + m.Name() + ": " + path;
      if (!old) Check(static_cast<DWORD>(reg::CreateKey(path, &m)), what);
      for (const RegValue& value : key.values) {
        const RegValue* previous = nullptr;
        if (old) {
          for (const RegValue& v : old->values) {
            if (velplat::EqualsNoCase(v.name, value.name)) previous = &v;
          }
        }
        if (previous && *previous == value) continue;
        Check(static_cast<DWORD>(reg::SetValue(path, value.name, value.type,
                                               std::vector<BYTE>(value.data.begin(), value.data.end()), &m)),
              what + " value \"" + value.name + "\"");
      }
      if (!old) continue;
      for (const RegValue& v : old->values) {
        bool kept = std::any_of(key.values.begin(), key.values.end(),
                                [&](const RegValue& n) { return velplat::EqualsNoCase(n.name, v.name); });
        if (!kept) {
          LONG rc = reg::DeleteValue(path, v.name, &m);
          if (rc != ERROR_FILE_NOT_FOUND) Check(static_cast<DWORD>(rc), what + " deleting value \"" + v.name + "\"");
        }
      }
    }
  }

  void Hosts(const WorldModel* before, const WorldModel& after) {
    for (const auto& [name, addresses] : after.hosts) {
      const auto* old = before ? Find(&before->hosts, name) : nullptr;
      if (old && *old == addresses) continue;
      Check(velplat::network::SetHostEntry(name, addresses), "host " + name);
    }
    if (!before) return;
    for (const auto& [name, addresses] : before->hosts) {
      if (!after.hosts.count(name)) {
        velplat::network::RemoveHostEntry(name);
        ++report_.changes;
      }
    }
  }

 private:
  ApplyReport& report_;
};

}  // namespace

void PrepareLocalMachine(const WorldModel& world) {
  // Read by the platform when it builds its world on first use.
  setenv("VELMON_COMPUTERNAME", world.local.c_str(), 1);
  velplat::World::Get().SetLocal(world.local);
}

ApplyReport ApplyWorld(const WorldModel* previous, const WorldModel& next) {
  ApplyReport report;
  Applier applier(report);
  applier.Hosts(previous, next);
  auto machineOf = [](const std::string& name) -> Machine& { return velplat::World::Get().Add(name); };
  // Machines the next world no longer names are emptied.
  if (previous) {
    for (const auto& [name, machine] : previous->machines) {
      if (next.machines.count(name)) continue;
      MachineSpec emptied;
      emptied.name = name;
      Machine& m = machineOf(name);
      applier.Environment(m, &machine, emptied);
      applier.Files(m, &machine, emptied);
      applier.Accounts(m, &machine, emptied);
      applier.Services(m, &machine, emptied);
      applier.Network(m, &machine, emptied);
      applier.Registry(m, &machine, emptied);
    }
  }
  for (const auto& [name, machine] : next.machines) {
    const MachineSpec* before = previous ? Find(&previous->machines, name) : nullptr;
    Machine& m = machineOf(name);
    applier.Environment(m, before, machine);
    applier.Network(m, before, machine);
    applier.Files(m, before, machine);
    applier.Accounts(m, before, machine);
    applier.Services(m, before, machine);
  }
  for (const auto& [name, machine] : next.machines) {
    const MachineSpec* before = previous ? Find(&previous->machines, name) : nullptr;
    applier.Registry(machineOf(name), before, machine);
  }
  return report;
}

}  // namespace velmond
