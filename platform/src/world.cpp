// The world model: machines by name with their environment and module states.
#include <velplat/world.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace velplat {

namespace {
// ASCII folding, as tolower does in the C locale the platform runs in, but
// inline: names are compared on every call that reaches a machine.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view StripUnc(std::string_view name) {
  while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  return name;
}
}  // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    char x = Lower(a[i]);
    char y = Lower(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::size_t NoCaseHash::operator()(std::string_view text) const {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (char c : text) {
    hash ^= static_cast<unsigned char>(Lower(c));
    hash *= 1099511628211ull;
  }
  return static_cast<std::size_t>(hash);
}

Machine::Machine(std::string name) : name_(std::move(name)) {}

std::optional<std::string> Machine::GetEnv(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = env_.find(name);
  if (it == env_.end()) return std::nullopt;
  return it->second;
}

void Machine::SetEnv(std::string_view name, std::string value) {
  std::lock_guard lock(mutex_);
  auto it = env_.find(name);
  if (it != env_.end())
    it->second = std::move(value);
  else
    env_.emplace(std::string(name), std::move(value));
}

void Machine::UnsetEnv(std::string_view name) {
  std::lock_guard lock(mutex_);
  auto it = env_.find(name);
  if (it != env_.end()) env_.erase(it);
}

std::vector<std::pair<std::string, std::string>> Machine::Environment() const {
  std::lock_guard lock(mutex_);
  return {env_.begin(), env_.end()};
}

World& World::Get() {
  static World* world = new World();  // never destroyed: agent threads outlive main
  return *world;
}

World::World() { BuildDefaultLocked(); }

void World::BuildDefaultLocked() {
  const char* configured = std::getenv("VELMON_COMPUTERNAME");
  local_.store(&AddLocked(configured && *configured ? configured : "VELHOST"), std::memory_order_release);
}

Machine& World::AddLocked(std::string_view name) {
  name = StripUnc(name);
  auto it = machines_.find(name);
  if (it != machines_.end()) return *it->second;
  auto machine = std::make_unique<Machine>(std::string(name));
  machine->SetEnv("SystemRoot", "C:\\WINNT");
  machine->SetEnv("windir", "C:\\WINNT");
  machine->SetEnv("SystemDrive", "C:");
  machine->SetEnv("COMPUTERNAME", std::string(name));
  detail::InstallMachineDefaults(*machine);
  Machine& ref = *machine;
  machines_.emplace(std::string(name), std::move(machine));
  byName_.emplace(ref.Name(), &ref);
  return ref;
}

Machine& World::Local() { return *local_.load(std::memory_order_acquire); }

Machine* World::Find(std::string_view name) {
  name = StripUnc(name);
  std::lock_guard lock(mutex_);
  if (name.empty()) return local_.load(std::memory_order_relaxed);
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

Machine& World::Add(std::string_view name) {
  std::lock_guard lock(mutex_);
  return AddLocked(name);
}

Machine& World::SetLocal(std::string_view name) {
  std::lock_guard lock(mutex_);
  Machine& machine = AddLocked(name);
  local_.store(&machine, std::memory_order_release);
  return machine;
}

std::vector<std::string> World::MachineNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, machine] : machines_) names.push_back(name);
  return names;
}

bool World::Remove(std::string_view name) {
  name = StripUnc(name);
  std::lock_guard lock(mutex_);
  auto it = machines_.find(name);
  if (it == machines_.end() || it->second.get() == local_.load(std::memory_order_relaxed)) return false;
  byName_.erase(it->second->Name());
  removed_.push_back(std::move(it->second));
  machines_.erase(it);
  return true;
}

void World::Reset() {
  std::lock_guard lock(mutex_);
  byName_.clear();
  removed_.clear();
  machines_.clear();
  local_.store(nullptr, std::memory_order_relaxed);
  BuildDefaultLocked();
}

}  // namespace velplat
