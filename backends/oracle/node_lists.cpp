// Reading the member lists and filling the watch tables from them.
#include "backends/oracle/node_lists.h"

#include "agent/agent_heap.h"
#include "agent/event_report.h"
#include "backends/oracle/member_state.h"
#include "backends/oracle/oracle_interface.h"
#include "backends/oracle/registry_value.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <process.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace velmon::oracle {

std::atomic<LONG> SavedNextNodeIndex{1};

namespace {

// The names of a REG_MULTI_SZ list, up to the empty name that ends it (or
// the end of the data), at most one per member record.
std::vector<std::string> SplitNames(const std::vector<BYTE>& data) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at < data.size() && data[at] != 0 && names.size() < static_cast<size_t>(kMemberCapacity)) {
    const char* start = reinterpret_cast<const char*>(data.data() + at);
    size_t length = strnlen(start, data.size() - at);
    names.emplace_back(start, length);
    at += length + 1;
  }
  return names;
}

// Stores `names` into the member records' `field` from position 0; returns
// the first position whose name changed, or -1. Lock held.
int StoreNames(const std::vector<std::string>& names, char (MemberRecord::*field)[kMemberNameSize]) {
  int firstChanged = -1;
  for (size_t i = 0; i < names.size(); ++i) {
    char stored[kMemberNameSize];
    StoreMemberName(stored, names[i].c_str());
    MemberRecord& record = MemberTable[i];
    if (std::strcmp(record.*field, stored) == 0) continue;
    std::memcpy(record.*field, stored, sizeof stored);
    record.memberNumber = static_cast<LONG>(i + 1);
    if (firstChanged < 0) firstChanged = static_cast<int>(i);
  }
  return firstChanged;
}

std::string PublicNameAt(int position) {
  auto lock = LockMemberTable();
  return position < kMemberCapacity ? MemberTable[position].publicName : "";
}

DWORD PublicAddressAt(int position) {
  auto lock = LockMemberTable();
  return MemberTable[position].publicAddress;
}

// Node entries for the members from `start` on; stops at the first failure.
void AddNodeEntries(int start) {
  HANDLE token = nullptr;
  BeginAgentImpersonation(&token);
  for (int p = start;; ++p) {
    std::string name = PublicNameAt(p);
    if (name.empty()) break;
    char description[kTextBufferSize];
    LONG state = LoadNodeDescription(description, p);
    if (AddNodeEntryWithState(description, name.c_str(), NextNodeIndex.load(), state) != 1) {
      ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, name.c_str());
      break;
    }
    ++NextNodeIndex;
  }
  EndAgentImpersonation(&token);
}

// Address entries for the members from `start` on; stops at the first failure.
void AddAddressEntries(int start) {
  for (int p = start;; ++p) {
    std::string name = PublicNameAt(p);
    if (name.empty()) break;
    DWORD address = PublicAddressAt(p);
    PendingNodeAddress.store(address);
    if (AddAddressEntryWithAddress(name.c_str(), NextAddressIndex.load(), address) != 1) {
      ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, name.c_str());
      break;
    }
    ++NextAddressIndex;
  }
}

// The next re-fill numbers its entries after every entry of either table
// so far (a node loop that stopped early leaves the address counter ahead),
// so that no two entries share a row number.
void SaveNextIndex() { SavedNextNodeIndex.store(std::max(NextNodeIndex.load(), NextAddressIndex.load())); }

}  // namespace

int ReadOracleNodeNames() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClusterManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  RegistryValue publicNames = ReadRegistryValue(key, kPublicNodeNames);
  if (publicNames.status != ERROR_SUCCESS) {
    // The list is gone: the table reads as empty from now on.
    auto lock = LockMemberTable();
    MemberTable[0].publicName[0] = '\0';
    MemberTable[0].memberNumber = 0;
    MemberTable[0].name[0] = '\0';
    RegCloseKey(key);
    return -1;
  }
  std::vector<std::string> names = SplitNames(publicNames.data);
  if (publicNames.type != REG_MULTI_SZ || names.empty()) {
    RegCloseKey(key);
    return -1;
  }
  int firstChanged;
  {
    auto lock = LockMemberTable();
    firstChanged = StoreNames(names, &MemberRecord::publicName);
  }
  if (firstChanged < 0) {
    RegCloseKey(key);
    return -1;
  }
  RegistryValue privateNames = ReadRegistryValue(key, kPrivateNodeNames);
  RegCloseKey(key);
  auto lock = LockMemberTable();
  if (privateNames.status != ERROR_SUCCESS) {
    MemberTable[0].memberNumber = 0;
    MemberTable[0].name[0] = '\0';
    return firstChanged;
  }
  names = SplitNames(privateNames.data);
  if (privateNames.type == REG_MULTI_SZ && !names.empty()) StoreNames(names, &MemberRecord::name);
  return firstChanged;
}

void FillOracleWatchTables(int start) {
  // The node table is empty at this point (no back-end has filled it); any
  // entry another filler has added meanwhile is kept.
  AddNodeEntries(start);
  AddAddressEntries(start);
  if (AddClusterAddressEntryWithAddress("Cluster IP Address", NextClusterAddressIndex.load(),
                                        ClusterIpAddress.load()) != 1)
    ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, "Cluster IP Address");
  ++NextClusterAddressIndex;
  if (start == 0 && _beginthread(&OracleRegistryWatcher, kWatcherStackSize, nullptr) == static_cast<uintptr_t>(-1))
    ReportAgentEvent(VELMON_INIT_FAILED, "Was unable to create the trap thread.");
  WatchTablesReady.store(1);
  SaveNextIndex();
  ResetNodeIndex();
  ResetAddressIndex();
}

void RefillOracleWatchTables(int start) {
  LONG saved = SavedNextNodeIndex.load();
  NextNodeIndex.store(saved);
  NextAddressIndex.store(saved);
  AddNodeEntries(start);
  AddAddressEntries(start);
  SaveNextIndex();
  ResetNodeIndex();
  ResetAddressIndex();
}

}  // namespace velmon::oracle
