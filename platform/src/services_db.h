// The service database of one machine and the state machine of its services.
//
// Pending states carry the platform-clock time at which they end on their
// own; Settle moves every service whose time has come to its next state, so
// callers settle before they read or change anything and the services follow
// the clock without a thread of their own. Starting a service starts the
// services it depends on first; it becomes running once they are and its own
// start time has passed.
//
// Thread-safety: everything but Database() is called with the database's
// mutex held.
#ifndef VELPLAT_SRC_SERVICES_DB_H
#define VELPLAT_SRC_SERVICES_DB_H

#include <velplat/services.h>
#include <velplat/world.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace velplat::services::detail {

enum class Presence { Installed, Removed };

struct ServiceRecord {
  ServiceConfig config;
  DWORD state = SERVICE_STOPPED;
  std::optional<std::uint64_t> completesAtMs;  // when a pending state ends; never when empty
  std::uint64_t pendingSinceMs = 0;
  DWORD waitHint = 0;
  DWORD exitCode = ERROR_SERVICE_NEVER_STARTED;
  DWORD specificExitCode = 0;
  Presence presence = Presence::Installed;
};

using ServicePtr = std::shared_ptr<ServiceRecord>;

struct ServiceDb {
  std::mutex mutex;
  std::map<std::string, ServicePtr, NoCaseLess> services;
  std::vector<Request> requests;
};

ServiceDb& Database(Machine& machine);

// Completes every transition due at `nowMs`, `extra` included when it is a
// removed service that a handle still holds.
void Settle(ServiceDb& db, std::uint64_t nowMs, ServiceRecord* extra = nullptr);
SERVICE_STATUS StatusOf(const ServiceRecord& service, std::uint64_t nowMs);

// Every service that depends on `service` directly or through others, in stop
// order: each after the services that depend on it; siblings in database
// order.
std::vector<ServicePtr> DependentsOf(ServiceDb& db, const ServiceRecord& service);

// Win32 error codes.
DWORD Start(ServiceDb& db, ServiceRecord& service, std::uint64_t nowMs);
DWORD Control(ServiceDb& db, ServiceRecord& service, DWORD control, std::uint64_t nowMs);

// Puts `service` into `state` at once (pending states: until `completesAt`).
void Force(ServiceRecord& service, DWORD state, std::optional<std::uint64_t> completesAtMs, DWORD waitHint,
           std::uint64_t nowMs);

}  // namespace velplat::services::detail

#endif
