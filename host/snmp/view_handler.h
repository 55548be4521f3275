// The net-snmp handler that serves the extension agent's view: every Get,
// GetNext and Set that net-snmp routes into the view becomes
// SnmpExtensionQuery calls through a neutral query function, and the answers
// go back into net-snmp's bindings by the rules of host/request_rules.h.
//
// Reads call the agent once per binding, so that one missing object does not
// spoil the others' answers; a Set hands the agent all its bindings in one
// call, as the Windows SNMP service does, so that the agent alone decides.
// GetBulk is answered repetition after repetition in the handler, with
// exactly the answers net-snmp's bulk-to-next helper would give, without
// net-snmp's full pass over the request for every repetition.
//
// Thread-safety: runs on the thread that drives net-snmp's agent loop.
#ifndef VELMOND_VIEW_HANDLER_H
#define VELMOND_VIEW_HANDLER_H

#include <functional>
#include <string>
#include <vector>

#include "host/neutral_types.h"

namespace velmond {

using QueryFunction = std::function<QueryResult(Pdu, std::vector<Binding>&)>;

// Registers the view with net-snmp's agent (before init_snmp, so that an
// AgentX subagent registers it with its master once connected). False with a
// message when net-snmp refuses the registration.
bool RegisterView(const Oid& view, QueryFunction query, std::string& error);

}  // namespace velmond

#endif
