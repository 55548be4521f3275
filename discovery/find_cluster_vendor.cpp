// FindClusterVendor: Oracle RAC detection, then MSCS with its fill loops.
#include "discovery/find_cluster_vendor.h"

#include "agent/cluster_attributes.h"
#include "agent/event_report.h"
#include "backends/oracle/detection.h"
#include "discovery/failure_frame.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <cstring>

namespace velmon {
namespace {

constexpr char kClusterAddressName[] = "Cluster IP Address";

// The name of node row `i` into `name` (emptied first); false when there is
// no such node.
bool NodeName(const mscs::DiscoveryOperations& mscs, UINT i, char (&name)[kTextBufferSize]) {
  std::memset(name, 0, sizeof name);
  AttrString value{0, name};
  UINT scratch = 0;
  UINT arc = i;
  RowIndex row{1, &arc};
  if (mscs.getNodeName(&value, &scratch, &row) != kNoError) name[0] = '\0';
  name[kTextBufferSize - 1] = '\0';
  return name[0] != '\0';
}

void AddNodeEntries(const mscs::DiscoveryOperations& mscs) {
  char name[kTextBufferSize];
  char description[kTextBufferSize] = {};
  for (UINT i = 0; NodeName(mscs, i, name); ++i) {
    LONG state = mscs.loadNodeDescription(description, static_cast<int>(i));
    if (AddNodeEntryWithState(description, name, NextNodeIndex.load(), state) != 1) {
      ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, name);
      return;
    }
    ++NextNodeIndex;
  }
}

void AddAddressEntries(const mscs::DiscoveryOperations& mscs) {
  char name[kTextBufferSize];
  for (UINT i = 0; NodeName(mscs, i, name); ++i) {
    DWORD address = 0;
    if (i < static_cast<UINT>(kMemberCapacity)) {
      auto lock = LockMemberTable();
      address = MemberTable[i].address;
    }
    PendingNodeAddress.store(address);
    if (AddAddressEntryWithAddress(name, NextAddressIndex.load(), address) != 1) {
      ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, name);
      return;
    }
    ++NextAddressIndex;
  }
}

void Discover(void*) { DiscoverClusterVendor(&oracle::DetectOracleCluster, mscs::MscsDiscoveryOperations()); }

}  // namespace

void RunMscsDiscovery(const mscs::DiscoveryOperations& mscs) {
  ClusterVendor.store(kVendorMscs, std::memory_order_release);
  mscs.readLocalNodeId();
  mscs.fillMemberTable();
  mscs.resolveNodeAddresses();
  mscs.setClusterAddress();
  AddNodeEntries(mscs);
  AddAddressEntries(mscs);
  if (AddClusterAddressEntryWithAddress(kClusterAddressName, NextClusterAddressIndex.load(),
                                        ClusterIpAddress.load()) != 1)
    ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, kClusterAddressName);
  ++NextClusterAddressIndex;
  mscs.watchChanges();
  ResetNodeIndex();
  ResetAddressIndex();
}

void DiscoverClusterVendor(LONG (*detectOracle)(), const mscs::DiscoveryOperations& mscs) {
  if (detectOracle() == kVendorOracle) return;
  if (mscs.detect() != kVendorMscs) return;
  RunMscsDiscovery(mscs);
}

void __cdecl FindClusterVendor(void*) { RunInFailureFrame(kDiscoveryThreadName, &Discover, nullptr); }

}  // namespace velmon
