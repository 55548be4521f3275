// C++ control of the simulated service control managers and of how machines
// answer over the network, for tests and the host daemon.
//
// Services: define them per machine with their dependencies and how long
// their start and stop take, set any state directly, read them back, and see
// which start and stop requests reached them. Transitions follow the platform
// clock (velplat/clock.h): a service started with a start time of 30 s shows
// SERVICE_START_PENDING until the clock has moved 30 s on, then
// SERVICE_RUNNING; a time of 0 makes the change at once. A pending state set
// with SetPending stays until its completion time, or for ever without one.
//
// Network: every remote call of the platform (service control manager,
// network management, account lookup) first connects to the target machine:
// an unreachable machine fails after its connection time (a Sleep on the
// platform clock); a reachable one authenticates the calling thread's
// identity (see velplat/accounts.h).
//
// A null `machine` means the world's local machine. Defining a service also
// writes its key SYSTEM\CurrentControlSet\Services\<name> (Type, Start,
// ErrorControl, DisplayName, ImagePath, DependOnService) into that machine's
// registry; removing it deletes the key.
//
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_SERVICES_H
#define VELPLAT_SERVICES_H

#include <windows.h>
#include <winsvc.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::services {

struct ServiceConfig {
  std::string name{};
  std::string displayName{};  // empty: the name
  DWORD serviceType = SERVICE_WIN32_OWN_PROCESS;
  DWORD startType = SERVICE_DEMAND_START;
  std::string imagePath{};
  std::vector<std::string> dependencies{};  // the services this one needs running
  DWORD controlsAccepted = SERVICE_ACCEPT_STOP;  // while running or paused
  std::chrono::milliseconds startTime{0};        // how long START_PENDING lasts
  std::chrono::milliseconds stopTime{0};         // how long STOP_PENDING lasts
  DWORD startFailure = 0;  // nonzero: a start ends STOPPED with this exit code
  DWORD initialState = SERVICE_STOPPED;  // a pending state here never ends by itself
};

// Adds the service, or replaces the configuration and state of the one of
// that name.
void Define(const ServiceConfig& config, Machine* machine = nullptr);
// False when there is no such service. Open handles keep answering for it;
// starting it through them gives ERROR_SERVICE_MARKED_FOR_DELETE.
bool Remove(std::string_view name, Machine* machine = nullptr);

// Sets the current state at once (any SERVICE_* state); a pending state set
// here stays for ever. Resets the exit codes to 0.
bool SetState(std::string_view name, DWORD state, Machine* machine = nullptr);
// Sets a pending state (START_, STOP_, PAUSE_ or CONTINUE_PENDING) that ends
// after `completesAfter` (never when nullopt), reporting `waitHint`.
bool SetPending(std::string_view name, DWORD pendingState, std::optional<std::chrono::milliseconds> completesAfter,
                DWORD waitHint, Machine* machine = nullptr);
bool SetTransitionTimes(std::string_view name, std::chrono::milliseconds startTime, std::chrono::milliseconds stopTime,
                        Machine* machine = nullptr);

struct ServiceSnapshot {
  ServiceConfig config{};
  SERVICE_STATUS status{};  // as QueryServiceStatus would report it now
};
std::optional<ServiceSnapshot> Get(std::string_view name, Machine* machine = nullptr);
// Names in the database's order (case-insensitive alphabetical).
std::vector<std::string> Names(Machine* machine = nullptr);

// The start and stop requests the service control manager accepted, oldest
// first, including the starts of dependencies it made itself.
enum class RequestKind { Start, Stop, Pause, Continue };
struct Request {
  std::string service{};
  RequestKind kind = RequestKind::Start;
  std::uint64_t atMs = 0;  // platform clock
};
std::vector<Request> Requests(Machine* machine = nullptr);
void ClearRequests(Machine* machine = nullptr);

// Service control manager handles open in the process (all machines).
std::size_t OpenHandleCount();

// How a remote machine treats a caller that runs as the process identity
// (LocalSystem, which has no network credentials).
enum class ProcessIdentityAccess {
  Refused,       // ERROR_ACCESS_DENIED (the default)
  User,          // accepted with an ordinary user's rights
  Administrator  // accepted with full rights
};

struct NetworkSettings {
  bool reachable = true;
  std::chrono::milliseconds connectTime{0};  // spent before an unreachable machine fails
  ProcessIdentityAccess processIdentity = ProcessIdentityAccess::Refused;
};
void SetNetwork(Machine& machine, const NetworkSettings& settings);
NetworkSettings GetNetwork(Machine& machine);

}  // namespace velplat::services

#endif
