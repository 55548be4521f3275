// DetectOracleCluster: loop A waits for SOFTWARE\Oracle (watching SOFTWARE
// while it is missing), loop B for the cluster-manager key below it, then
// the node list is awaited and the back-end configured.
#include "backends/oracle/detection.h"

#include "agent/cluster_attributes.h"
#include "agent/event_report.h"
#include "backends/oracle/host_resolution.h"
#include "backends/oracle/node_lists.h"
#include "backends/oracle/oracle_interface.h"
#include "backends/oracle/registry_value.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

namespace velmon::oracle {
namespace {

constexpr DWORD kNodeListPollMs = 90000;
constexpr DWORD kFailed = 0;  // what detection returns when an error ends the wait

// Opens a key for reading; *key is written only on success.
bool OpenKey(const char* path, HKEY* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  *key = opened;
  return true;
}

bool WaitFailed(HANDLE event, DWORD timeout) { return WaitForSingleObjectEx(event, timeout, TRUE) == WAIT_FAILED; }

// Loop A: until SOFTWARE\Oracle exists. Returns the open cluster-manager key
// (in *clusterManager) when it appeared meanwhile, or the open Oracle key (in
// *oracle); false after a reported failure.
bool WaitForOracleKey(HANDLE event, HKEY* oracle, HKEY* clusterManager) {
  for (;;) {
    HKEY key = nullptr;
    if (!OpenKey(kOracleKey, &key)) OpenKey(kSoftwareKey, &key);
    if (RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_NAME, event, TRUE) != ERROR_SUCCESS) {
      ReportAgentEvent(ERROR_OPEN_FAILED, "error in Reg notify");
      if (key) RegCloseKey(key);
      return false;
    }
    if (WaitFailed(event, INFINITE)) {
      ReportAgentEvent(ERROR_OPEN_FAILED, "wait Failed ");
      RegCloseKey(key);
      return false;
    }
    if (RegCloseKey(key) != ERROR_SUCCESS) {
      ReportAgentEvent(ERROR_OPEN_FAILED, "close key failed");
      return false;
    }
    if (OpenKey(kClusterManagerKey, clusterManager)) return true;
    if (OpenKey(kOracleKey, oracle)) return true;
  }
}

// Loop B: until the cluster-manager key exists under SOFTWARE\Oracle, whose
// whole subtree is watched. False after a reported failure.
bool WaitForClusterManagerKey(HANDLE event, HKEY oracle, HKEY* clusterManager) {
  RegCloseKey(oracle);
  oracle = nullptr;  // a failed reopen must not leave the closed handle behind
  OpenKey(kOracleKey, &oracle);
  for (;;) {
    if (RegNotifyChangeKeyValue(oracle, TRUE, REG_NOTIFY_CHANGE_NAME, event, TRUE) != ERROR_SUCCESS) {
      ReportAgentEvent(ERROR_OPEN_FAILED, "error Reg notify CMKey");
      if (oracle) RegCloseKey(oracle);
      return false;
    }
    if (WaitFailed(event, INFINITE)) {
      ReportAgentEvent(ERROR_OPEN_FAILED, "error wait CMKey");
      RegCloseKey(oracle);
      return false;
    }
    RegCloseKey(oracle);
    oracle = nullptr;
    if (OpenKey(kClusterManagerKey, clusterManager)) return true;
    OpenKey(kOracleKey, &oracle);
  }
}

// Polls for PublicNodeNames under the open cluster-manager key, at most 90
// seconds apart. Each wait also ends when a value of the key is set, so the
// list is read as soon as it is written.
void WaitForNodeList(HANDLE event, HKEY clusterManager) {
  for (;;) {
    RegistryValue list = ReadRegistryValue(clusterManager, kPublicNodeNames);
    if (list.status == ERROR_SUCCESS) return;
    ResetEvent(event);
    RegNotifyChangeKeyValue(clusterManager, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE);
    WaitForSingleObjectEx(event, kNodeListPollMs, TRUE);
  }
}

}  // namespace

LONG DetectOracleCluster() {
  HKEY clusterManager = nullptr;
  if (!OpenKey(kClusterManagerKey, &clusterManager)) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
      ReportAgentEvent(ERROR_INVALID_HANDLE, "Unable to Create Event");
      return kFailed;
    }
    HKEY oracle = nullptr;
    bool found = WaitForOracleKey(event, &oracle, &clusterManager) &&
                 (clusterManager || WaitForClusterManagerKey(event, oracle, &clusterManager));
    if (!found) {
      CloseHandle(event);
      return kFailed;
    }
    WaitForNodeList(event, clusterManager);
    CloseHandle(event);
  }
  RegCloseKey(clusterManager);
  ConfigureOracleBackEnd();
  return ClusterVendor.load();
}

void SetOracleClusterAddress() {
  auto lock = LockMemberTable();
  ClusterIpAddress.store(MemberTable[0].publicAddress);
}

void ConfigureOracleBackEnd() {
  ClusterVendor.store(kVendorOracle, std::memory_order_release);
  ReadOracleNodeNames();
  LoadHostsFileAddresses();
  ResolvePublicAddresses(0);
  SetOracleClusterAddress();
  FillOracleWatchTables(0);
}

}  // namespace velmon::oracle
