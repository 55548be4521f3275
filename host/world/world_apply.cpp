// The difference between two worlds, applied through the platform layer.
#include "host/world/world_apply.h"

#include "host/world/world_faults.h"

#include <velplat/accounts.h>
#include <velplat/files.h>
#include <velplat/network.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>
#include <windows.h>

#include "host/world/world_cluster_apply.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace velmond {
namespace {

using velplat::Machine;

template <class T>
const T* Find(const NoCaseMap<T>* map, const std::string& key) {
  if (!map) return nullptr;
  auto found = map->find(key);
  return found == map->end() ? nullptr : &found->second;
}

velplat::services::ServiceConfig ConfigOf(const ServiceSpec& service) {
  velplat::services::ServiceConfig config;
  config.name = service.name;
  config.displayName = service.displayName;
  config.startType = service.startType;
  config.imagePath = service.imagePath;
  config.dependencies = service.dependencies;
  config.startTime = std::chrono::milliseconds(service.startMs);
  config.stopTime = std::chrono::milliseconds(service.stopMs);
  config.initialState = service.state;
  return config;
}

// "HKEY_LOCAL_MACHINE\\A\\B" -> "HKEY_LOCAL_MACHINE\\A"; "" for a hive.
std::string Parent(const std::string& path) {
  size_t cut = path.rfind('\\');
  return cut == std::string::npos || path.find('\\') == cut ? std::string() : path.substr(0, cut);
}

// True when `map` names something below `path` ("path\\..."): the entries
// that start so sort together, from the first not before that prefix.
template <class T>
bool ImpliesBelow(const NoCaseMap<T>& map, const std::string& path) {
  std::string prefix = path + "\\";
  auto it = map.lower_bound(prefix);
  return it != map.end() && it->first.size() > prefix.size() &&
         velplat::EqualsNoCase(std::string_view(it->first).substr(0, prefix.size()), prefix);
}

constexpr std::string_view kServicesKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\";

// The service whose key holds `path`, or "".
std::string_view ServiceOfKey(std::string_view path) {
  if (path.size() <= kServicesKey.size() || !velplat::EqualsNoCase(path.substr(0, kServicesKey.size()), kServicesKey)) {
    return {};
  }
  std::string_view rest = path.substr(kServicesKey.size());
  return rest.substr(0, rest.find('\\'));
}

// The registry a fresh load of a machine holds before its registry tables:
// the standard keys and the keys of its services. Built on first need.
class Baseline {
 public:
  Baseline(std::string name, const MachineSpec& described) : name_(std::move(name)), described_(described) {}

  bool HasKey(const std::string& path) { return velplat::registry::KeyExists(path, &Get()); }
  std::optional<velplat::registry::Value> ValueOf(const std::string& path, const std::string& name) {
    return velplat::registry::GetValue(path, name, &Get());
  }

 private:
  velplat::Machine& Get() {
    if (machine_) return *machine_;
    machine_ = std::make_unique<velplat::Machine>(name_);
    velplat::detail::InstallMachineDefaults(*machine_);
    for (const auto& [name, service] : described_.services) velplat::services::Define(ConfigOf(service), machine_.get());
    return *machine_;
  }

  std::string name_;
  const MachineSpec& described_;
  std::unique_ptr<velplat::Machine> machine_;
};

// A value the world stops naming: back to what a fresh load holds there.
void Restore(velplat::Machine& m, Baseline& baseline, const std::string& path, const std::string& name,
             const std::string& what, ApplyReport& report) {
  ++report.changes;
  LONG rc;
  if (auto standard = baseline.ValueOf(path, name)) {
    rc = velplat::registry::SetValue(path, name, standard->type, standard->data, &m);
  } else {
    rc = velplat::registry::DeleteValue(path, name, &m);
    if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  }
  if (rc != ERROR_SUCCESS) report.problems.push_back(what + " value \"" + name + "\": error " + std::to_string(rc));
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
      if (after.files.count(path)) continue;
      Check(velplat::files::RemoveFile(path, &m), "machine " + m.Name() + ": removing " + path);
      // Directories made only for this file go with it; a fresh machine
      // holds nothing but its drive roots.
      for (std::string dir = Parent(path); dir.size() > 3; dir = Parent(dir)) {
        if (ImpliesBelow(after.files, dir) || velplat::files::RemoveEmptyDirectory(dir, &m) != ERROR_SUCCESS) break;
      }
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
    // Groups made for accounts go when no account names them any more and
    // they are left empty; the standard groups stay.
    velplat::Machine fresh(m.Name());
    std::vector<std::string> standard = velplat::accounts::GroupNames(&fresh);
    auto named = [](const NoCaseMap<AccountSpec>& accounts, const std::string& group) {
      return std::any_of(accounts.begin(), accounts.end(), [&](const auto& entry) {
        const auto& groups = entry.second.groups;
        return std::any_of(groups.begin(), groups.end(), [&](const std::string& g) { return velplat::EqualsNoCase(g, group); });
      });
    };
    for (const auto& [name, account] : before->accounts) {
      for (const std::string& group : account.groups) {
        if (named(after.accounts, group) ||
            std::any_of(standard.begin(), standard.end(), [&](const std::string& g) { return velplat::EqualsNoCase(g, group); })) {
          continue;
        }
        auto members = velplat::accounts::GroupMembers(group, &m);
        if (members && members->empty()) Check(velplat::accounts::RemoveGroup(group, &m), "machine " + m.Name() + ": removing group " + group);
      }
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
      velplat::services::Define(ConfigOf(service), &m);
      ++report_.changes;
    }
    if (!before) return;
    for (const auto& [name, service] : before->services) {
      if (!after.services.count(name)) Check(velplat::services::Remove(name, &m), "machine " + m.Name() + ": removing service " + name);
    }
  }

  // The registry follows the keys and values the world names. What the
  // world stops naming goes back to what a fresh load would hold: a value to
  // its standard or service-defined content or away; a key away, with the
  // parents that only it implied, unless it is standard, defined by a
  // service, or still implied by a key below it.
  void Registry(Machine& m, const MachineSpec* before, const MachineSpec& after) {
    namespace reg = velplat::registry;
    Baseline baseline(m.Name(), after);
    // Keys below a service that changed were rewritten or deleted with the
    // service: everything the world names there is written again.
    auto redefined = [&](const std::string& path) {
      if (!before) return false;
      std::string_view rest = ServiceOfKey(path);
      if (rest.empty()) return false;
      std::string name(rest);
      const ServiceSpec* old = Find(&before->services, name);
      const ServiceSpec* now = Find(&after.services, name);
      return !old || !now || *old != *now;
    };
    if (before) {
      for (auto it = before->registry.rbegin(); it != before->registry.rend(); ++it) {
        const std::string& path = it->first;
        if (after.registry.count(path)) continue;
        std::string what = "machine " + m.Name() + ": " + path;
        if (ImpliesBelow(after.registry, path) || baseline.HasKey(path)) {
          for (const RegValue& v : it->second.values) Restore(m, baseline, path, v.name, what, report_);
          continue;
        }
        LONG rc = reg::DeleteKeyTree(path, &m);
        if (rc != ERROR_FILE_NOT_FOUND) Check(static_cast<DWORD>(rc), what + ": deleting");
        // Parents created only for this key go with it.
        for (std::string parent = Parent(path); !parent.empty(); parent = Parent(parent)) {
          if (after.registry.count(parent) || ImpliesBelow(after.registry, parent) || baseline.HasKey(parent) ||
              !reg::SubkeyNames(parent, &m).empty() || !reg::ValueNames(parent, &m).empty()) {
            break;
          }
          Check(static_cast<DWORD>(reg::DeleteKeyTree(parent, &m)), "machine " + m.Name() + ": deleting " + parent);
        }
      }
    }
    for (const auto& [path, key] : after.registry) {
      const RegKey* old = before && !redefined(path) ? Find(&before->registry, path) : nullptr;
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
        if (!kept) Restore(m, baseline, path, v.name, what, report_);
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
  // Cluster objects leave while their machines are all still there.
  WithdrawClusters(previous, next, report);
  // Machines the next world no longer names leave the world, as if it had
  // been loaded afresh.
  if (previous) {
    for (const auto& [name, machine] : previous->machines) {
      if (next.machines.count(name)) continue;
      if (velplat::Machine* m = velplat::World::Get().Find(name)) velplat::network::ClearMachineAddresses(m);
      applier.Check(velplat::World::Get().Remove(name), "machine " + name + ": removing");
    }
  }
  // Clusters before the machines' own services, so that a ClusSvc the file
  // describes wins over the one that membership brings.
  ApplyClusters(previous, next, report);
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
  // Armed last, so that building the world does not meet them.
  if (previous ? previous->faults != next.faults : !next.faults.empty()) {
    ArmFaults(next.faults);
    ++report.changes;
  }
  return report;
}

}  // namespace velmond
