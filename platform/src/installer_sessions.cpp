// Installation sessions: the table and its C++ control (velplat/installer.h).
#include "installer_sessions.h"

namespace velplat::installer {
namespace detail {

SessionTable& Sessions() {
  static SessionTable* table = new SessionTable();  // used by libraries unloaded after main
  return *table;
}

}  // namespace detail

using detail::Sessions;

MSIHANDLE OpenSession(const Properties& properties) {
  auto& table = Sessions();
  std::lock_guard lock(table.mutex);
  MSIHANDLE handle = table.nextHandle++;
  auto& session = table.sessions[handle];
  for (const auto& [name, value] : properties)
    if (!value.empty()) session.properties[name] = value;
  return handle;
}

bool SetProperty(MSIHANDLE session, std::string_view name, std::string value) {
  auto& table = Sessions();
  std::lock_guard lock(table.mutex);
  auto it = table.sessions.find(session);
  if (it == table.sessions.end()) return false;
  auto& properties = it->second.properties;
  if (value.empty()) {
    if (auto found = properties.find(name); found != properties.end()) properties.erase(found);
  } else {
    properties[std::string(name)] = std::move(value);
  }
  return true;
}

std::optional<std::string> GetProperty(MSIHANDLE session, std::string_view name) {
  auto& table = Sessions();
  std::lock_guard lock(table.mutex);
  auto it = table.sessions.find(session);
  if (it == table.sessions.end()) return std::nullopt;
  auto found = it->second.properties.find(name);
  if (found == it->second.properties.end()) return std::nullopt;
  return found->second;
}

bool CloseSession(MSIHANDLE session) {
  auto& table = Sessions();
  std::lock_guard lock(table.mutex);
  return table.sessions.erase(session) == 1;
}

std::size_t OpenSessionCount() {
  auto& table = Sessions();
  std::lock_guard lock(table.mutex);
  return table.sessions.size();
}

std::vector<PropertyQuery> Queries(MSIHANDLE session) {
  auto& table = Sessions();
  std::lock_guard lock(table.mutex);
  auto it = table.sessions.find(session);
  if (it == table.sessions.end()) return {};
  return it->second.queries;
}

}  // namespace velplat::installer
