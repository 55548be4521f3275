// The state of the Oracle cluster manager service on a member, read from
// the member's service control manager while the calling thread impersonates
// the agent account RACUSER.
//
// Any thread; impersonation is per thread and every caller has its own token
// slot.
#ifndef VELMON_BACKENDS_ORACLE_MEMBER_STATE_H
#define VELMON_BACKENDS_ORACLE_MEMBER_STATE_H

#include "agent/mib_types.h"

#include <windows.h>

namespace velmon::oracle {

// The password of the agent account; the installer library gives the account
// the same text.
inline constexpr char AgentAccountPassword[] = "{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}";
inline constexpr char kAgentAccount[] = "RACUSER";

// Node-state values of the MIB.
inline constexpr INT kNodeRunning = 4;
inline constexpr INT kNodeStarting = 6;
inline constexpr INT kNodeStopped = 8;
inline constexpr INT kNodeUnknown = 1;

// Logs on as RACUSER and impersonates it on the calling thread; the token is
// kept in `*token` (0 for none). 0, or the system error of the step that
// failed, which is also reported to the event log.
DWORD BeginAgentImpersonation(HANDLE* token);
// Reverts the calling thread completely and closes the token. 0, or the
// system error of the revert.
DWORD EndAgentImpersonation(HANDLE* token);

// The MIB node state of the cluster manager service on `nodeName` (empty:
// this machine): 4 running, 6 start pending, 8 stopped, 1 otherwise or when
// it cannot be asked.
INT QueryMemberServiceState(const char* nodeName);

// Node-table state column for Oracle RAC: the live service state of the
// row's member. Always status 0.
Status GetOracleNodeState(INT* value, UINT* scratch, const RowIndex* row);

// The Oracle node text is empty; sets PendingNodeState to the service state
// of the member at `position` and returns that state.
LONG LoadNodeDescription(char (&description)[kTextBufferSize], int position);

}  // namespace velmon::oracle

#endif
