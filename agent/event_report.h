// The agent's one way to tell an operator something: an entry in the System
// event log under the source "VelmoraRACAgent", whose texts live in the
// agent library's message table (velmon_messages.mc).
//
// Any thread, any time; failures to log are silent.
#ifndef VELMON_AGENT_EVENT_REPORT_H
#define VELMON_AGENT_EVENT_REPORT_H

#include <windows.h>

namespace velmon {

inline constexpr const char kEventSourceName[] = "VelmoraRACAgent";

// Writes one entry whose type follows the identifier's severity bits, with
// `insertion` as its one insertion string (none when null).
void ReportAgentEvent(DWORD messageId, const char* insertion);

}  // namespace velmon

#endif
