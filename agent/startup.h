// Agent start-up: the body of SnmpExtensionInit. Hands the service the view
// and the trap event, registers the event source, creates the trap objects
// and starts the main trap thread and the discovery thread.
//
// Called once by the SNMP service before any request.
#ifndef VELMON_AGENT_STARTUP_H
#define VELMON_AGENT_STARTUP_H

#include <snmp.h>

namespace velmon {

inline constexpr const char kAgentLibraryFile[] = "velmon.dll";

// TRUE only when every step succeeded; the view is handed back in any case.
BOOL StartAgent(HANDLE* trapEvent, AsnObjectIdentifier* supportedView);

}  // namespace velmon

#endif
