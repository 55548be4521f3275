#include "agent/support/event_log.h"

#include <velplat/registry.h>

namespace velmon::test {

void RegisterAgentEventSource() {
  velplat::registry::SetExpandString("HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\VelmoraRACAgent",
                                     "EventMessageFile", "%SystemRoot%\\System32\\velmon.dll");
}

std::vector<velplat::eventlog::Entry> EventsWithId(DWORD id) {
  std::vector<velplat::eventlog::Entry> found;
  for (auto& entry : velplat::eventlog::Entries())
    if (entry.eventId == id) found.push_back(entry);
  return found;
}

}  // namespace velmon::test
