// The service state machine: transitions on the platform clock, starts that
// pull in dependencies, controls and their refusals, dependents in stop order.
#include "services_db.h"

#include <algorithm>
#include <limits>

namespace velplat::services::detail {
namespace {

bool IsPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_PAUSE_PENDING ||
         state == SERVICE_CONTINUE_PENDING;
}

// A dependency counts as up once its process runs, paused or not.
bool IsUp(DWORD state) {
  return state == SERVICE_RUNNING || state == SERVICE_PAUSED || state == SERVICE_PAUSE_PENDING ||
         state == SERVICE_CONTINUE_PENDING;
}

DWORD ClampMs(std::uint64_t ms) {
  return static_cast<DWORD>(std::min<std::uint64_t>(ms, std::numeric_limits<DWORD>::max() - 1));
}

ServiceRecord* Find(ServiceDb& db, std::string_view name) {
  auto it = db.services.find(name);
  return it == db.services.end() ? nullptr : it->second.get();
}

bool DependsDirectlyOn(const ServiceRecord& service, const ServiceRecord& dependency) {
  const auto& deps = service.config.dependencies;
  return std::any_of(deps.begin(), deps.end(),
                     [&](const std::string& name) { return EqualsNoCase(name, dependency.config.name); });
}

void Settled(ServiceRecord& service, DWORD state, DWORD exitCode) {
  service.state = state;
  service.completesAtMs.reset();
  service.waitHint = 0;
  service.exitCode = exitCode;
  service.specificExitCode = 0;
}

// The end of a due pending state.
void Complete(ServiceDb& db, ServiceRecord& service) {
  switch (service.state) {
    case SERVICE_START_PENDING: {
      if (service.config.startFailure != 0) {
        Settled(service, SERVICE_STOPPED, service.config.startFailure);
        return;
      }
      bool dependenciesUp = std::all_of(service.config.dependencies.begin(), service.config.dependencies.end(),
                                        [&db](const std::string& name) {
                                          const ServiceRecord* dependency = Find(db, name);
                                          return dependency && IsUp(dependency->state);
                                        });
      if (dependenciesUp)
        Settled(service, SERVICE_RUNNING, NO_ERROR);
      else
        Settled(service, SERVICE_STOPPED, ERROR_SERVICE_DEPENDENCY_FAIL);
      return;
    }
    case SERVICE_STOP_PENDING:
      Settled(service, SERVICE_STOPPED, NO_ERROR);
      return;
    case SERVICE_PAUSE_PENDING:
      Settled(service, SERVICE_PAUSED, NO_ERROR);
      return;
    case SERVICE_CONTINUE_PENDING:
      Settled(service, SERVICE_RUNNING, NO_ERROR);
      return;
    default:
      return;
  }
}

// Enters a pending state that ends `durationMs` after `readyAtMs` (never when
// readyAtMs is empty), or completes it at once when that is now.
void Begin(ServiceDb& db, ServiceRecord& service, DWORD pendingState, std::optional<std::uint64_t> readyAtMs,
           std::uint64_t durationMs, std::uint64_t nowMs) {
  service.state = pendingState;
  service.pendingSinceMs = nowMs;
  if (readyAtMs) {
    service.completesAtMs = *readyAtMs + durationMs;
    service.waitHint = ClampMs(*service.completesAtMs - nowMs);
    if (*service.completesAtMs <= nowMs) Complete(db, service);
  } else {
    service.completesAtMs.reset();
    service.waitHint = ClampMs(durationMs);
  }
}

void Record(ServiceDb& db, const ServiceRecord& service, RequestKind kind, std::uint64_t nowMs) {
  db.requests.push_back(Request{service.config.name, kind, nowMs});
}

DWORD StartWithDependencies(ServiceDb& db, ServiceRecord& service, std::uint64_t nowMs,
                            std::vector<const ServiceRecord*>& path) {
  if (service.presence == Presence::Removed) return ERROR_SERVICE_MARKED_FOR_DELETE;
  if (service.state != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
  if (service.config.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;

  path.push_back(&service);
  std::optional<std::uint64_t> readyAt = nowMs;
  DWORD error = NO_ERROR;
  for (const std::string& name : service.config.dependencies) {
    ServiceRecord* dependency = Find(db, name);
    if (!dependency) {
      error = ERROR_SERVICE_DEPENDENCY_DELETED;
      break;
    }
    if (std::find(path.begin(), path.end(), dependency) != path.end()) {
      error = ERROR_CIRCULAR_DEPENDENCY;
      break;
    }
    if (dependency->state == SERVICE_STOPPED) {
      DWORD dependencyError = StartWithDependencies(db, *dependency, nowMs, path);
      if (dependencyError == ERROR_CIRCULAR_DEPENDENCY) {
        error = dependencyError;
        break;
      }
      if (dependencyError != NO_ERROR || dependency->state == SERVICE_STOPPED) {
        error = ERROR_SERVICE_DEPENDENCY_FAIL;
        break;
      }
    }
    if (dependency->state == SERVICE_START_PENDING) {
      readyAt = readyAt && dependency->completesAtMs ? std::max(*readyAt, *dependency->completesAtMs)
                                                     : std::optional<std::uint64_t>();
    } else if (!IsUp(dependency->state)) {
      error = ERROR_SERVICE_DEPENDENCY_FAIL;
      break;
    }
  }
  path.pop_back();
  if (error != NO_ERROR) return error;

  Record(db, service, RequestKind::Start, nowMs);
  Begin(db, service, SERVICE_START_PENDING, readyAt, static_cast<std::uint64_t>(service.config.startTime.count()),
        nowMs);
  return NO_ERROR;
}

// Refusals common to the controls other than stop: a stopped service is not
// active, a service accepts nothing while pending.
DWORD RefusalFor(const ServiceRecord& service, DWORD accepted, DWORD neededAccept) {
  if (service.state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
  if ((accepted & neededAccept) != neededAccept)
    return IsPending(service.state) ? ERROR_SERVICE_CANNOT_ACCEPT_CTRL : ERROR_INVALID_SERVICE_CONTROL;
  return NO_ERROR;
}

void CollectDependents(ServiceDb& db, const ServiceRecord& service, std::vector<ServicePtr>& out,
                       std::vector<const ServiceRecord*>& visiting) {
  visiting.push_back(&service);
  for (const auto& [name, candidate] : db.services) {
    if (!DependsDirectlyOn(*candidate, service)) continue;
    if (std::find(visiting.begin(), visiting.end(), candidate.get()) != visiting.end()) continue;
    CollectDependents(db, *candidate, out, visiting);
    if (std::find(out.begin(), out.end(), candidate) == out.end()) out.push_back(candidate);
  }
  visiting.pop_back();
}

}  // namespace

ServiceDb& Database(Machine& machine) { return machine.State<ServiceDb>(); }

void Settle(ServiceDb& db, std::uint64_t nowMs, ServiceRecord* extra) {
  // Most calls find nothing due; they need not gather the services.
  auto due = [nowMs](const ServiceRecord& service) {
    return IsPending(service.state) && service.completesAtMs && *service.completesAtMs <= nowMs;
  };
  bool anyDue = extra && extra->presence == Presence::Removed && due(*extra);
  for (auto it = db.services.begin(); !anyDue && it != db.services.end(); ++it) anyDue = due(*it->second);
  if (!anyDue) return;

  std::vector<ServiceRecord*> all;
  for (auto& [name, service] : db.services) all.push_back(service.get());
  if (extra && extra->presence == Presence::Removed) all.push_back(extra);
  // Earliest first; at equal times a dependency before its dependents.
  for (;;) {
    ServiceRecord* next = nullptr;
    for (ServiceRecord* service : all) {
      if (!IsPending(service->state) || !service->completesAtMs || *service->completesAtMs > nowMs) continue;
      if (!next || *service->completesAtMs < *next->completesAtMs ||
          (*service->completesAtMs == *next->completesAtMs && DependsDirectlyOn(*next, *service)))
        next = service;
    }
    if (!next) return;
    Complete(db, *next);
  }
}

SERVICE_STATUS StatusOf(const ServiceRecord& service, std::uint64_t nowMs) {
  SERVICE_STATUS status{};
  status.dwServiceType = service.config.serviceType;
  status.dwCurrentState = service.state;
  if (service.state == SERVICE_RUNNING || service.state == SERVICE_PAUSED)
    status.dwControlsAccepted = service.config.controlsAccepted;
  status.dwWin32ExitCode = service.exitCode;
  status.dwServiceSpecificExitCode = service.specificExitCode;
  if (IsPending(service.state)) {
    // The service reports progress once per wait hint.
    std::uint64_t elapsed = nowMs - std::min(nowMs, service.pendingSinceMs);
    status.dwCheckPoint = 1 + (service.waitHint ? ClampMs(elapsed / service.waitHint) : 0);
    status.dwWaitHint = service.waitHint;
  }
  return status;
}

std::vector<ServicePtr> DependentsOf(ServiceDb& db, const ServiceRecord& service) {
  std::vector<ServicePtr> out;
  std::vector<const ServiceRecord*> visiting;
  CollectDependents(db, service, out, visiting);
  return out;
}

DWORD Start(ServiceDb& db, ServiceRecord& service, std::uint64_t nowMs) {
  std::vector<const ServiceRecord*> path;
  return StartWithDependencies(db, service, nowMs, path);
}

DWORD Control(ServiceDb& db, ServiceRecord& service, DWORD control, std::uint64_t nowMs) {
  DWORD accepted = StatusOf(service, nowMs).dwControlsAccepted;
  switch (control) {
    case SERVICE_CONTROL_STOP: {
      auto dependents = DependentsOf(db, service);
      if (std::any_of(dependents.begin(), dependents.end(),
                      [](const ServicePtr& d) { return d->state != SERVICE_STOPPED; }))
        return ERROR_DEPENDENT_SERVICES_RUNNING;
      if (DWORD refusal = RefusalFor(service, accepted, SERVICE_ACCEPT_STOP)) return refusal;
      Record(db, service, RequestKind::Stop, nowMs);
      Begin(db, service, SERVICE_STOP_PENDING, nowMs, static_cast<std::uint64_t>(service.config.stopTime.count()),
            nowMs);
      return NO_ERROR;
    }
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: {
      if (DWORD refusal = RefusalFor(service, accepted, SERVICE_ACCEPT_PAUSE_CONTINUE)) return refusal;
      bool pause = control == SERVICE_CONTROL_PAUSE;
      Record(db, service, pause ? RequestKind::Pause : RequestKind::Continue, nowMs);
      Settled(service, pause ? SERVICE_PAUSED : SERVICE_RUNNING, NO_ERROR);
      return NO_ERROR;
    }
    default:  // interrogation and user-defined controls change nothing
      if (service.state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
      if (control != SERVICE_CONTROL_INTERROGATE && IsPending(service.state)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
      return NO_ERROR;
  }
}

void Force(ServiceRecord& service, DWORD state, std::optional<std::uint64_t> completesAtMs, DWORD waitHint,
           std::uint64_t nowMs) {
  service.state = state;
  service.pendingSinceMs = nowMs;
  service.completesAtMs = IsPending(state) ? completesAtMs : std::nullopt;
  service.waitHint = IsPending(state) ? waitHint : 0;
  service.exitCode = NO_ERROR;
  service.specificExitCode = 0;
}

}  // namespace velplat::services::detail
