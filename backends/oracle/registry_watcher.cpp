// OracleRegistryWatcher: one pass per change under the cluster-manager key.
#include "backends/oracle/host_resolution.h"
#include "backends/oracle/node_lists.h"
#include "backends/oracle/oracle_interface.h"

#include <cstdio>

namespace velmon::oracle {
namespace {

// Pause before trying again when the key, the event or the notification
// cannot be had, so that a missing key does not keep a processor busy.
constexpr DWORD kRetryPauseMs = 1000;

enum class Pass { kAgain, kStop };

Pass WatchOnce() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClusterManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    Sleep(kRetryPauseMs);
    return Pass::kAgain;
  }
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!event) {
    RegCloseKey(key);
    Sleep(kRetryPauseMs);
    return Pass::kAgain;
  }
  Pass next = Pass::kAgain;
  constexpr DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
  if (RegNotifyChangeKeyValue(key, TRUE, kFilter, event, TRUE) != ERROR_SUCCESS) {
    Sleep(kRetryPauseMs);
  } else {
    DWORD result = WaitForSingleObject(event, INFINITE);
    if (result == WAIT_OBJECT_0) {
      int changed = ReadOracleNodeNames();
      if (changed != -1) {
        LoadHostsFileAddresses();
        ResolvePublicAddresses(static_cast<DWORD>(changed));
        RefillOracleWatchTables(changed);
      }
    } else {
      if (result == WAIT_FAILED) {
        std::fputs("Error in WaitForSingleObject.\n", stdout);
        std::fflush(stdout);
      }
      next = Pass::kStop;
    }
  }
  CloseHandle(event);
  RegCloseKey(key);
  return next;
}

}  // namespace

void __cdecl OracleRegistryWatcher(void*) {
  while (WatchOnce() == Pass::kAgain) {
  }
}

}  // namespace velmon::oracle
