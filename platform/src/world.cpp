// The world model: machines by name with their environment and module states.
#include <velplat/world.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace velplat {

namespace {
char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string_view StripUnc(std::string_view name) {
  while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  return name;
}
}  // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Lower(x) < Lower(y); });
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
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

World& World::Get() {
  static World* world = new World();  // never destroyed: agent threads outlive main
  return *world;
}

World::World() { BuildDefaultLocked(); }

void World::BuildDefaultLocked() {
  const char* configured = std::getenv("VELMON_COMPUTERNAME");
  local_ = &AddLocked(configured && *configured ? configured : "VELHOST");
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
  return ref;
}

Machine& World::Local() {
  std::lock_guard lock(mutex_);
  return *local_;
}

Machine* World::Find(std::string_view name) {
  std::lock_guard lock(mutex_);
  name = StripUnc(name);
  if (name.empty()) return local_;
  auto it = machines_.find(name);
  return it == machines_.end() ? nullptr : it->second.get();
}

Machine& World::Add(std::string_view name) {
  std::lock_guard lock(mutex_);
  return AddLocked(name);
}

Machine& World::SetLocal(std::string_view name) {
  std::lock_guard lock(mutex_);
  local_ = &AddLocked(name);
  return *local_;
}

std::vector<std::string> World::MachineNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, machine] : machines_) names.push_back(name);
  return names;
}

void World::Reset() {
  std::lock_guard lock(mutex_);
  machines_.clear();
  local_ = nullptr;
  BuildDefaultLocked();
}

}  // namespace velplat
