// The simulated world that the platform layer stands on: machines by name, one
// of them the local machine, each with its own environment and its own state of
// every platform module (registry, event log, services, ...).
//
// Thread-safety: every member may be called from any thread. Machines are never
// destroyed while the process runs, except by World::Reset, which tests call
// before any agent thread exists.
#ifndef VELPLAT_WORLD_H
#define VELPLAT_WORLD_H

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

namespace velplat {

// Case-insensitive (ASCII) ordering, as Windows compares names.
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
bool EqualsNoCase(std::string_view a, std::string_view b);

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

  // The per-machine state of one platform module, created on first use.
  // T must be default-constructible; the reference stays valid for the
  // machine's life.
  template <class T>
  T& State() {
    std::lock_guard lock(mutex_);
    auto& slot = states_[std::type_index(typeid(T))];
    if (!slot) slot = std::make_shared<T>();
    return *static_cast<T*>(slot.get());
  }

 private:
  std::string name_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string, NoCaseLess> env_;
  std::map<std::type_index, std::shared_ptr<void>> states_;
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

  // Discards every machine and builds the default world again.
  void Reset();

 private:
  World();
  Machine& AddLocked(std::string_view name);
  void BuildDefaultLocked();

  mutable std::mutex mutex_;
  std::map<std::string, std::unique_ptr<Machine>, NoCaseLess> machines_;
  Machine* local_ = nullptr;
};

namespace detail {
// Gives a new machine its standard registry keys and environment. Implemented
// by the registry module.
void InstallMachineDefaults(Machine& machine);
}  // namespace detail

}  // namespace velplat

#endif
