// The agent's local account: created with the fixed password the agent logs
// on with, a member of "Users"; reset to those attributes when it already
// exists; deleted at removal. Names arrive as single-byte text; a null
// server is the local machine.
//
// CreateAgentAccount returns 1 when the account is in place, 0 with the
// thread's last error set when it is not: an account type it does not accept
// (87), no memory for the converted names, or a refusal to add the account
// (other than "it exists") or to reset an existing one. A failure to join
// "Users" is not one. DeleteAgentAccount returns 1 whether or not the account
// existed, 0 (with the last error) only when memory for the names runs out.
// Nothing is reported here; the installer actions report.
// Thread-safety: any thread; no shared state.
#ifndef VELSETUP_AGENT_ACCOUNT_H
#define VELSETUP_AGENT_ACCOUNT_H

#include <windows.h>

namespace velsetup {

inline constexpr char kAgentAccountName[] = "RACUSER";

// `accountType`: UF_NORMAL_ACCOUNT, UF_INTERDOMAIN_TRUST_ACCOUNT,
// UF_WORKSTATION_TRUST_ACCOUNT or UF_SERVER_TRUST_ACCOUNT.
BOOL CreateAgentAccount(const char* server, const char* account, DWORD accountType);
BOOL DeleteAgentAccount(const char* server, const char* account);

}  // namespace velsetup

#endif
