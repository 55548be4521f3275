// SnmpExtensionInit's steps, in order, stopping at the first failure.
#include "agent/startup.h"

#include "agent/event_report.h"
#include "agent/mib_registry.h"
#include "agent/trap_queue.h"
#include "discovery/find_cluster_vendor.h"
#include "discovery/main_trap_thread.h"
#include "velmon_messages.h"

#include <process.h>

#include <cstdio>
#include <cstring>

namespace velmon {
namespace {

// Registers the agent as an event-log source whose texts are in its own
// message table.
bool RegisterEventSource() {
  char keyPath[256];
  std::snprintf(keyPath, sizeof keyPath, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\%s",
                kEventSourceName);
  HKEY key = nullptr;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) return false;

  char messageFile[80];
  std::snprintf(messageFile, sizeof messageFile, "%%SystemRoot%%\\System32\\%s", kAgentLibraryFile);
  DWORD types = 7;  // error, warning and information events
  bool ok = RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(messageFile),
                           static_cast<DWORD>(std::strlen(messageFile) + 1)) == ERROR_SUCCESS &&
            RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                           sizeof types) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

void CreateTrapObjects(HANDLE* trapEvent) {
  *trapEvent = nullptr;
  TrapQueueMutex.store(nullptr);
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // automatic reset, not signalled
  TrapEvent.store(event);
  *trapEvent = event;
  TrapQueueMutex.store(CreateMutexA(nullptr, FALSE, nullptr));
}

bool StartThread(void(__cdecl* procedure)(void*)) {
  if (_beginthread(procedure, 0, nullptr) != static_cast<uintptr_t>(-1)) return true;
  ReportAgentEvent(VELMON_INIT_FAILED, "Was unable to create the trap thread.");
  return false;
}

}  // namespace

BOOL StartAgent(HANDLE* trapEvent, AsnObjectIdentifier* supportedView) {
  *supportedView = MibView();  // shallow: the static arcs stay the agent's
  if (!RegisterEventSource()) return FALSE;
  CreateTrapObjects(trapEvent);
  if (!StartThread(&MainTrapThread)) return FALSE;
  if (!StartThread(&FindClusterVendor)) return FALSE;
  ReportAgentEvent(VELMON_INITIALIZED, nullptr);
  return TRUE;
}

}  // namespace velmon
