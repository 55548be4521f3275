// Host-name resolution in the simulated world and its control API.
#include "winsock_resolver.h"

#include <velplat/network.h>
#include <velplat/world.h>
#include <winsock.h>

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>

namespace velplat::winsock {

namespace {

struct HostEntry {
  std::string name;  // as configured
  std::vector<uint32_t> addresses;
  int failure = 0;   // a WSA error that every look-up of the name fails with
};

// One machine's part of the resolver: its own addresses and the host entries
// it keeps.
struct ResolverState {
  std::mutex mutex;
  std::optional<std::vector<uint32_t>> own;
  std::map<std::string, HostEntry, NoCaseLess> entries;
};

ResolverState& StateOf(Machine& machine) { return machine.State<ResolverState>(); }
Machine& Target(Machine* machine) { return machine ? *machine : World::Get().Local(); }

uint32_t FromBytes(const unsigned char bytes[4]) {
  uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

// Strict "a.b.c.d", four decimal parts of 0 to 255.
std::optional<uint32_t> ParseDottedQuad(std::string_view text) {
  unsigned char bytes[4];
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    unsigned value = 0;
    size_t digits = 0;
    while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
      value = value * 10 + static_cast<unsigned>(text[digits++] - '0');
    if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
    text.remove_prefix(digits);
    bytes[part] = static_cast<unsigned char>(value);
  }
  if (!text.empty()) return std::nullopt;
  return FromBytes(bytes);
}

std::optional<std::vector<uint32_t>> ParseAll(const std::vector<std::string>& texts) {
  std::vector<uint32_t> addresses;
  for (const auto& text : texts) {
    auto address = ParseDottedQuad(text);
    if (!address) return std::nullopt;
    addresses.push_back(*address);
  }
  return addresses;
}

void RemoveEverywhere(std::string_view name) {
  World& world = World::Get();
  for (const auto& machineName : world.MachineNames()) {
    Machine* machine = world.Find(machineName);
    if (!machine) continue;
    ResolverState& state = StateOf(*machine);
    std::lock_guard lock(state.mutex);
    auto it = state.entries.find(name);
    if (it != state.entries.end()) state.entries.erase(it);
  }
}

void Store(std::string_view name, HostEntry entry, Machine* owner) {
  RemoveEverywhere(name);
  ResolverState& state = StateOf(Target(owner));
  std::lock_guard lock(state.mutex);
  state.entries.insert_or_assign(std::string(name), std::move(entry));
}

std::optional<HostAnswer> FromEntries(std::string_view name) {
  World& world = World::Get();
  for (const auto& machineName : world.MachineNames()) {
    Machine* machine = world.Find(machineName);
    if (!machine) continue;
    ResolverState& state = StateOf(*machine);
    std::lock_guard lock(state.mutex);
    auto it = state.entries.find(name);
    if (it == state.entries.end()) continue;
    const HostEntry& entry = it->second;
    if (entry.failure) return HostAnswer{entry.failure, {}, {}};
    return HostAnswer{0, entry.name, entry.addresses};
  }
  return std::nullopt;
}

std::optional<HostAnswer> FromMachine(Machine* machine) {
  if (!machine) return std::nullopt;
  ResolverState& state = StateOf(*machine);
  std::lock_guard lock(state.mutex);
  if (!state.own) return std::nullopt;
  return HostAnswer{0, machine->Name(), *state.own};
}

}  // namespace

HostAnswer Resolve(const char* name) {
  std::string_view wanted = name ? name : "";
  World& world = World::Get();
  if (wanted.empty()) {
    if (auto answer = FromMachine(&world.Local())) return *answer;
    return HostAnswer{WSAHOST_NOT_FOUND, {}, {}};
  }
  if (auto answer = FromEntries(wanted)) return *answer;
  if (auto answer = FromMachine(world.Find(wanted))) return *answer;
  if (EqualsNoCase(wanted, "localhost")) {
    const unsigned char loopback[4] = {127, 0, 0, 1};
    return HostAnswer{0, "localhost", {FromBytes(loopback)}};
  }
  return HostAnswer{WSAHOST_NOT_FOUND, {}, {}};
}

}  // namespace velplat::winsock

namespace velplat::network {

bool SetMachineAddresses(const std::vector<std::string>& addresses, Machine* machine) {
  auto parsed = winsock::ParseAll(addresses);
  if (!parsed) return false;
  auto& state = winsock::StateOf(winsock::Target(machine));
  std::lock_guard lock(state.mutex);
  state.own = std::move(*parsed);
  return true;
}

void ClearMachineAddresses(Machine* machine) {
  auto& state = winsock::StateOf(winsock::Target(machine));
  std::lock_guard lock(state.mutex);
  state.own.reset();
}

bool SetHostEntry(std::string_view name, const std::vector<std::string>& addresses, Machine* owner) {
  auto parsed = winsock::ParseAll(addresses);
  if (!parsed) return false;
  winsock::Store(name, {std::string(name), std::move(*parsed), 0}, owner);
  return true;
}

void SetHostFailure(std::string_view name, int wsaError, Machine* owner) {
  winsock::Store(name, {std::string(name), {}, wsaError != 0 ? wsaError : WSAHOST_NOT_FOUND}, owner);
}

void RemoveHostEntry(std::string_view name) { winsock::RemoveEverywhere(name); }

}  // namespace velplat::network
