// Logon bracket, remote service query and the Oracle node state.
#include "backends/oracle/member_state.h"

#include "agent/event_report.h"
#include "backends/oracle/oracle_interface.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <winsvc.h>

#include <cstring>

namespace velmon::oracle {
namespace {

INT StateOf(DWORD serviceState) {
  switch (serviceState) {
    case SERVICE_RUNNING: return kNodeRunning;
    case SERVICE_START_PENDING: return kNodeStarting;
    case SERVICE_STOPPED: return kNodeStopped;
    default: return kNodeUnknown;
  }
}

void ReportManagerError(DWORD error, const char* nodeName) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
      ReportAgentEvent(error, nodeName);
      break;
    case ERROR_DATABASE_DOES_NOT_EXIST:
      ReportAgentEvent(error, "RAC_MEMBER_MANAGER_DATABASE_DOES_NOT_EXIST");
      break;
    case ERROR_INVALID_PARAMETER:
      ReportAgentEvent(error, "RAC_MEMBER_MANAGER_ERROR_INVALID_PARAMETER");
      break;
    default:
      break;
  }
}

// The state of the service through an open manager.
INT QueryService(SC_HANDLE manager) {
  SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS);
  if (!service) {
    ReportAgentEvent(GetLastError(), "RAC member service status");
    return kNodeUnknown;
  }
  SERVICE_STATUS status{};
  QueryServiceStatus(service, &status);  // a failed query leaves state 0
  CloseServiceHandle(service);
  return StateOf(status.dwCurrentState);
}

}  // namespace

DWORD BeginAgentImpersonation(HANDLE* token) {
  if (*token) CloseHandle(*token);  // a token still held would otherwise leak
  *token = nullptr;
  HANDLE logon = nullptr;
  if (!LogonUserA(kAgentAccount, ".", AgentAccountPassword, LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT,
                  &logon)) {
    DWORD error = GetLastError();
    ReportAgentEvent(error, "Logon User Failed.");
    return error;
  }
  *token = logon;
  if (logon && !ImpersonateLoggedOnUser(logon)) {
    DWORD error = GetLastError();
    ReportAgentEvent(error, "ImpersonateLoggedOnUser Failed.");
    return error;
  }
  return 0;
}

DWORD EndAgentImpersonation(HANDLE* token) {
  DWORD error = RevertToSelf() ? 0 : GetLastError();
  if (*token) {
    CloseHandle(*token);
    *token = nullptr;
  }
  return error;
}

INT QueryMemberServiceState(const char* nodeName) {
  INT state = kNodeUnknown;
  HANDLE token = nullptr;
  BeginAgentImpersonation(&token);  // the query goes on under whatever identity results
  // The whole name is used, however long: a cut name would name another machine.
  SC_HANDLE manager = OpenSCManagerA(nodeName[0] ? nodeName : nullptr, kServicesDatabase, SC_MANAGER_QUERY_LOCK_STATUS);
  if (!manager) {
    ReportManagerError(GetLastError(), nodeName);
  } else {
    state = QueryService(manager);
    CloseServiceHandle(manager);
  }
  EndAgentImpersonation(&token);
  return state;
}

Status GetOracleNodeState(INT* value, UINT*, const RowIndex* row) {
  *value = kNodeUnknown;
  UINT r = row->arcs[0];
  char name[kTextBufferSize] = {};
  if (WatchTablesReady.load() == 1) {
    auto lock = LockWatchTables();
    LONG pastEnd = 0;
    if (NodeEntry* entry = FindNodeEntry(static_cast<LONG>(r), &pastEnd)) {
      std::strncpy(name, entry->name, sizeof name - 1);
    }
  } else if (r >= 1 && r <= static_cast<UINT>(kMemberCapacity)) {
    // While the first fill runs, row r is the member at position r - 1.
    auto lock = LockMemberTable();
    std::memcpy(name, MemberTable[r - 1].publicName, kMemberNameSize);
  }
  *value = QueryMemberServiceState(name);
  return kNoError;
}

LONG LoadNodeDescription(char (&description)[kTextBufferSize], int position) {
  description[0] = '\0';
  char name[kMemberNameSize];
  {
    auto lock = LockMemberTable();
    std::memcpy(name, MemberTable[position].publicName, sizeof name);
  }
  LONG state = QueryMemberServiceState(name);
  PendingNodeState.store(state);
  return state;
}

}  // namespace velmon::oracle
