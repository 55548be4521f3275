// The simulated world that the platform layer stands on: machines by name, one
// of them the local machine, each with its own environment and its own state of
// every platform module (registry, event log, services, ...).
//
// Thread-safety: every member may be called from any thread. Machines are never
// destroyed while the process runs, except by World::Reset, which tests call
// before any agent thread exists; a removed machine is only unlisted.
#ifndef VELPLAT_WORLD_H
#define VELPLAT_WORLD_H

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velplat {

// Case-insensitive (ASCII) ordering, as Windows compares names.
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
bool EqualsNoCase(std::string_view a, std::string_view b);
// A hash that agrees with EqualsNoCase.
struct NoCaseHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const;
};
struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};

class Machine {
 public:
  explicit Machine(std::string name);
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  const std::string& Name() const { return name_; }

  // Environment variables; names are case-insensitive.
  std::optional<std::string> GetEnv(std::string_view name) const;
  void SetEnv(std::string_view name, std::string value);
  void UnsetEnv(std::string_view name);
  // Every variable, in name order.
  std::vector<std::pair<std::string, std::string>> Environment() const;

  // The per-machine state of one platform module, created on first use.
  // T must be default-constructible; the reference stays valid for the
  // machine's life.
  template <class T>
  T& State() {
    const std::type_info& type = typeid(T);
    std::lock_guard lock(mutex_);
    for (const auto& [known, state] : byTypeInfo_)
      if (known == &type) return *static_cast<T*>(state);
    auto& slot = states_[std::type_index(type)];
    if (!slot) slot = std::make_shared<T>();
    byTypeInfo_.emplace_back(&type, slot.get());
    return *static_cast<T*>(slot.get());
  }

 private:
  std::string name_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string, NoCaseLess> env_;
  std::map<std::type_index, std::shared_ptr<void>> states_;
  // The same states by the address of the type_info that asked for them: a
  // pointer compare per module instead of comparing type names. A type seen
  // through another copy of its type_info just gets a second entry.
  std::vector<std::pair<const std::type_info*, void*>> byTypeInfo_;
};

class World {
 public:
  // The process's world. Created on first use as the default world: one local
  // machine (named by $VELMON_COMPUTERNAME, else "VELHOST") with the standard
  // registry keys, SystemRoot = C:\WINNT, and a real clock.
  static World& Get();

  Machine& Local();
  // Finds a machine by name, case-insensitively; a leading "\\" is ignored, and
  // null or "" name the local machine. Null when there is no such machine.
  Machine* Find(std::string_view name);
  // Adds a machine (with the standard keys and environment) or returns the
  // existing one of that name.
  Machine& Add(std::string_view name);
  // Makes an existing or new machine the local one.
  Machine& SetLocal(std::string_view name);
  std::vector<std::string> MachineNames() const;
  // Takes the machine out of the world: Find and MachineNames no longer see
  // it, and Add of its name builds a new one. References to it stay valid
  // until Reset. False for the local machine or an unknown name.
  bool Remove(std::string_view name);

  // Discards every machine and builds the default world again.
  void Reset();

 private:
  World();
  Machine& AddLocked(std::string_view name);
  void BuildDefaultLocked();

  mutable std::mutex mutex_;
  std::map<std::string, std::unique_ptr<Machine>, NoCaseLess> machines_;  // in name order
  // The same machines hashed by name (views of Machine::Name()), for Find.
  std::unordered_map<std::string_view, Machine*, NoCaseHash, NoCaseEqual> byName_;
  // Written under mutex_; read without it by Local().
  std::atomic<Machine*> local_{nullptr};
  // Removed machines, kept for whoever still holds them.
  std::vector<std::unique_ptr<Machine>> removed_;
};

namespace detail {
// Gives a new machine its standard registry keys and environment. Implemented
// by the registry module.
void InstallMachineDefaults(Machine& machine);
}  // namespace detail

}  // namespace velplat

#endif
