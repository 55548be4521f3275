// The main trap thread: the failover database's opening, the first fill, the
// change loop and its end.
#include "discovery/main_trap_thread.h"

#include "agent/cluster_attributes.h"
#include "agent/event_report.h"
#include "backends/brennic/brennic_interface.h"
#include "backends/brennic/node_operations.h"
#include "backends/brennic/registry_key.h"
#include "backends/brennic/table_sync.h"
#include "backends/oracle/oracle_interface.h"
#include "discovery/failure_frame.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <cstring>

namespace velmon {
namespace {

using brennic::RegistryKey;

constexpr char kClusterAddressName[] = "Cluster IP Address";
constexpr DWORD kDatabaseChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

// What the first fill needs of one member record.
struct Member {
  bool inUse = false;
  char name[kMemberNameSize] = {};
  DWORD address = 0;
};

Member MemberAt(int position) {
  Member member;
  if (position >= kMemberCapacity) return member;
  auto lock = LockMemberTable();
  const MemberRecord& record = MemberTable[position];
  if (record.memberNumber == 0) return member;
  member.inUse = true;
  std::memcpy(member.name, record.name, sizeof member.name);
  member.name[kMemberNameSize - 1] = '\0';
  member.address = record.address;
  return member;
}

void AddMemberEntries(const Member& member, int position) {
  char description[kTextBufferSize] = {};
  LONG state = brennic::LoadNodeDescription(description, position);
  if (AddNodeEntryWithState(description, member.name, NextNodeIndex.load(), state) == 1)
    ++NextNodeIndex;
  else
    ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, member.name);
  PendingNodeAddress.store(member.address);
  if (AddAddressEntryWithAddress(member.name, NextAddressIndex.load(), member.address) == 1)
    ++NextAddressIndex;
  else
    ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, member.name);
}

void Follow(void*) { FollowFailoverDatabase(); }

}  // namespace

bool SelectBrennicClusters() {
  // Discovery waits for this key and then selects Oracle RAC: leave the
  // choice to it. Should the key appear right after this test, discovery
  // still replaces the selection made here.
  if (RegistryKey oracleKey(HKEY_LOCAL_MACHINE, oracle::kClusterManagerKey); oracleKey) return false;
  LONG expected = kVendorNone;
  return ClusterVendor.compare_exchange_strong(expected, kVendorBrennic, std::memory_order_acq_rel);
}

void FillWatchTablesFromMemberTable() {
  for (int position = 0;;) {
    Member member = MemberAt(position);
    if (member.inUse) {
      AddMemberEntries(member, position);
      ++position;
    }
    if (AddClusterAddressEntryWithAddress(kClusterAddressName, NextClusterAddressIndex.load(),
                                          ClusterIpAddress.load()) != 1) {
      ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, kClusterAddressName);
      return;
    }
    if (!member.inUse) return;
  }
}

void FollowFailoverDatabase() {
  RegistryKey database(HKEY_LOCAL_MACHINE, brennic::kDatabaseKey);
  if (!database) {
    RegistryKey again(HKEY_LOCAL_MACHINE, brennic::kDatabaseKey);
    if (!again) {
      ReportAgentEvent(VELMON_NO_DATABASE_KEY, nullptr);
      return;
    }
    // The database appeared between the two attempts: it exists, but this
    // thread does not follow it.
    SelectBrennicClusters();
    return;
  }
  SelectBrennicClusters();
  FillWatchTablesFromMemberTable();
  while (RegNotifyChangeKeyValue(database.get(), TRUE, kDatabaseChanges, nullptr, FALSE) == ERROR_SUCCESS) {
    brennic::RefreshBrennicNodes();
    brennic::RefreshBrennicAddresses();
    brennic::PruneNodeTable();
    brennic::PruneAddressTable();
  }
  WatchTablesReady.store(1);
  ResetNodeIndex();
  ResetAddressIndex();
}

void __cdecl MainTrapThread(void*) { RunInFailureFrame(kMainTrapThreadName, &Follow, nullptr); }

}  // namespace velmon
