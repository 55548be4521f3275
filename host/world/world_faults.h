// The faults part of a world file: names of failure points and of Win32
// errors, and arming the platform's fault injection with a world's faults.
//
//   [[faults]]
//   call = "RegNotifyChangeKeyValue"   # or point = "allocation", ...
//   error = "ERROR_ACCESS_DENIED"      # or a number; calls only
//   count = 1                          # calls that fail
//   skip = 0                           # calls let through first
//   thread = "MainTrapThread"          # only calls on threads of this name
//
// Thread-safety: lookups are constant data, any thread; ArmFaults from the
// one thread that applies worlds.
#ifndef VELMOND_WORLD_FAULTS_H
#define VELMOND_WORLD_FAULTS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/world/world_model.h"

namespace velmond {

// "allocation", "snmp_allocation", "thread_start", "event_create",
// "mutex_create": true for a known failure point name.
bool IsFaultPoint(std::string_view name);
// The point names, comma-separated, for messages.
std::string FaultPointNames();

// The value of a Win32 error name such as "ERROR_ACCESS_DENIED"; nullopt for
// a name this table does not know.
std::optional<std::uint32_t> Win32ErrorByName(std::string_view name);

// Disarms every fault and arms `faults`, in order.
void ArmFaults(const std::vector<FaultSpec>& faults);

}  // namespace velmond

#endif
