// Test helpers for the agent's event-log entries.
#ifndef VELMON_TESTS_AGENT_EVENT_LOG_H
#define VELMON_TESTS_AGENT_EVENT_LOG_H

#include <velplat/eventlog.h>

#include <string>
#include <vector>

namespace velmon::test {

// Registers the agent's event source in the local registry as start-up does,
// so that entries format through the agent's message table.
void RegisterAgentEventSource();
// Entries of the local log with this identifier.
std::vector<velplat::eventlog::Entry> EventsWithId(DWORD id);

}  // namespace velmon::test

#endif
