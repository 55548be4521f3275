// The platform's world as text, section by section.
#include "host/world/world_dump.h"

#include <velplat/accounts.h>
#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace velmond {
namespace {

using velplat::Machine;

std::string Hex(const std::vector<BYTE>& bytes) {
  std::string text;
  char digits[4];
  for (BYTE b : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", b);
    text += digits;
  }
  return text;
}

constexpr std::string_view kEventLogKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

// An event source's key (EventLog\<log>\<source>) or below: the agent's own.
bool IsEventSource(std::string_view path) {
  if (path.size() <= kEventLogKey.size() || !velplat::EqualsNoCase(path.substr(0, kEventLogKey.size()), kEventLogKey)) {
    return false;
  }
  return path.substr(kEventLogKey.size()).find('\\') != std::string_view::npos;
}

void DumpKey(Machine& m, const std::string& path, std::string& out) {
  if (IsEventSource(path)) return;
  out += "  key " + path + "\n";
  for (const std::string& name : velplat::registry::ValueNames(path, &m)) {
    if (auto value = velplat::registry::GetValue(path, name, &m)) {
      out += "    \"" + name + "\" " + std::to_string(value->type) + " " + Hex(value->data) + "\n";
    }
  }
  for (const std::string& sub : velplat::registry::SubkeyNames(path, &m)) DumpKey(m, path + "\\" + sub, out);
}

void DumpRegistry(Machine& m, std::string& out) {
  for (const char* hive : {"HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"}) {
    for (const std::string& sub : velplat::registry::SubkeyNames(hive, &m)) DumpKey(m, std::string(hive) + "\\" + sub, out);
  }
}

void DumpEnvironment(Machine& m, std::string& out) {
  for (const auto& [name, value] : m.Environment()) out += "  env " + name + "=" + value + "\n";
}

// A pending state is dumped as the state it goes to.
DWORD Settled(DWORD state) {
  switch (state) {
    case SERVICE_START_PENDING:
    case SERVICE_CONTINUE_PENDING:
      return SERVICE_RUNNING;
    case SERVICE_STOP_PENDING:
      return SERVICE_STOPPED;
    case SERVICE_PAUSE_PENDING:
      return SERVICE_PAUSED;
    default:
      return state;
  }
}

void DumpServices(Machine& m, std::string& out) {
  for (const std::string& name : velplat::services::Names(&m)) {
    auto service = velplat::services::Get(name, &m);
    if (!service) continue;
    const auto& c = service->config;
    out += "  service " + c.name + " display=" + c.displayName + " image=" + c.imagePath +
           " start=" + std::to_string(c.startType) + " state=" + std::to_string(Settled(service->status.dwCurrentState)) +
           " times=" + std::to_string(c.startTime.count()) + "/" + std::to_string(c.stopTime.count()) + " needs=";
    for (const std::string& d : c.dependencies) out += d + ",";
    out += "\n";
  }
}

void DumpAccounts(Machine& m, std::string& out) {
  for (const std::string& name : velplat::accounts::UserNames(&m)) {
    auto user = velplat::accounts::GetUser(name, &m);
    if (!user) continue;
    out += "  user " + user->name + " password=" + user->password + " comment=" + user->comment +
           " flags=" + std::to_string(user->flags) + "\n";
  }
  for (const std::string& group : velplat::accounts::GroupNames(&m)) {
    out += "  group " + group + ":";
    auto members = velplat::accounts::GroupMembers(group, &m).value_or(std::vector<std::string>{});
    std::sort(members.begin(), members.end(), velplat::NoCaseLess());
    for (const std::string& member : members) {
      out += " " + member;
    }
    out += "\n";
  }
}

void DumpFiles(Machine& m, std::string& out) {
  for (const std::string& path : velplat::files::Listing(&m)) {
    out += "  file " + path;
    if (auto bytes = velplat::files::FileContents(path, &m)) out += " " + Hex({bytes->begin(), bytes->end()});
    out += "\n";
  }
}

void DumpNetwork(Machine& m, std::string& out) {
  auto settings = velplat::services::GetNetwork(m);
  out += "  network reachable=" + std::to_string(settings.reachable) +
         " connect=" + std::to_string(settings.connectTime.count()) +
         " identity=" + std::to_string(static_cast<int>(settings.processIdentity)) + "\n";
}

using DumpSection = void (*)(Machine&, std::string&);
constexpr DumpSection kSections[] = {DumpEnvironment, DumpRegistry, DumpServices, DumpAccounts, DumpFiles, DumpNetwork};

}  // namespace

std::string DumpWorld() {
  velplat::World& world = velplat::World::Get();
  std::string out = "local " + world.Local().Name() + "\n";
  for (const std::string& name : world.MachineNames()) {
    Machine* m = world.Find(name);
    if (!m) continue;
    out += "machine " + name + "\n";
    for (DumpSection section : kSections) section(*m, out);
  }
  for (const std::string& fault : velplat::faults::Armed()) out += "fault " + fault + "\n";
  return out;
}

}  // namespace velmond
