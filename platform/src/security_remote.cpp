// Connections to machines of the world: network settings, reachability and
// authentication of the calling thread's identity.
#include "security_remote.h"

#include "accounts_db.h"

#include <windows.h>

#include <algorithm>
#include <mutex>

namespace velplat::security {
namespace {

struct NetworkState {
  std::mutex mutex;
  services::NetworkSettings settings;
};

services::NetworkSettings SettingsOf(Machine& machine) {
  auto& state = machine.State<NetworkState>();
  std::lock_guard lock(state.mutex);
  return state.settings;
}

Standing FromSetting(services::ProcessIdentityAccess access) {
  switch (access) {
    case services::ProcessIdentityAccess::User:
      return Standing::User;
    case services::ProcessIdentityAccess::Administrator:
      return Standing::Administrator;
    case services::ProcessIdentityAccess::Refused:
      break;
  }
  return Standing::Refused;
}

// Pass-through authentication of `token` by an account of `machine`.
Standing PassThrough(Machine& machine, const Token& token) {
  auto account = accounts::detail::CheckPassword(machine, token.user, token.password);
  if (!account || (account->flags & (UF_ACCOUNTDISABLE | UF_LOCKOUT)) != 0) return Standing::Refused;
  return account->administrator ? Standing::Administrator : Standing::User;
}

}  // namespace

Standing StandingOn(Machine& machine, Locality locality) {
  auto token = ThreadToken();
  if (!token) {
    return locality == Locality::Local ? Standing::Administrator : FromSetting(SettingsOf(machine).processIdentity);
  }
  if (locality == Locality::Local && EqualsNoCase(token->machine, machine.Name())) return token->standing;
  return PassThrough(machine, *token);
}

Connection Connect(std::string_view name) {
  Connection connection;
  World& world = World::Get();
  connection.machine = world.Find(name);
  if (!connection.machine) {
    connection.failure = ConnectFailure::UnknownMachine;
    return connection;
  }
  connection.locality = connection.machine == &world.Local() ? Locality::Local : Locality::Remote;
  if (connection.locality == Locality::Remote) {
    auto settings = SettingsOf(*connection.machine);
    if (!settings.reachable) {
      auto ms = std::clamp<long long>(settings.connectTime.count(), 0, INFINITE - 1);
      if (ms > 0) Sleep(static_cast<DWORD>(ms));
      connection.failure = ConnectFailure::Unreachable;
      return connection;
    }
  }
  connection.standing = StandingOn(*connection.machine, connection.locality);
  if (connection.standing == Standing::Refused) connection.failure = ConnectFailure::Refused;
  return connection;
}

bool Reachable(Machine& machine) { return SettingsOf(machine).reachable; }

}  // namespace velplat::security

namespace velplat::services {

void SetNetwork(Machine& machine, const NetworkSettings& settings) {
  auto& state = machine.State<security::NetworkState>();
  std::lock_guard lock(state.mutex);
  state.settings = settings;
}

NetworkSettings GetNetwork(Machine& machine) { return security::SettingsOf(machine); }

}  // namespace velplat::services
