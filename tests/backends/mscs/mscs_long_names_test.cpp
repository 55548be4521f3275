// Node names of every length through the MSCS back-end: the member records
// hold 31 characters, the node table and the MIB the whole name up to the
// 254 characters that the 255 wide characters announced to the cluster API
// hold; a longer name ends the node scan at its position at discovery and is
// not found when it joins later. Nothing overflows and nothing hangs.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "agent/support/snmp_request.h"
#include "backends/mscs/support/mscs_world.h"
#include "discovery/watch_tables.h"
#include "discovery/member_table.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>

#include <chrono>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Get;
using testing::ElementsAre;
namespace cluster = velplat::cluster;

// "index:name" of the node table (nodes) or the address table, in order.
// "memberNumber:nodeId:name:address" of the first `count` member records.
std::vector<std::string> Members(int count) {
  auto lock = LockMemberTable();
  std::vector<std::string> members;
  for (int i = 0; i < count; ++i) {
    const MemberRecord& r = MemberTable[i];
    const auto* a = reinterpret_cast<const unsigned char*>(&r.address);
    members.push_back(std::to_string(r.memberNumber) + ":" + r.nodeId + ":" + r.name + ":" + std::to_string(a[0]) +
                      "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]));
  }
  return members;
}

std::vector<std::string> Rows(bool nodes) { return nodes ? test::NodeNameRows() : test::AddressNameRows(); }

// A name of `length` characters whose first character tells it apart.
std::string LongName(char first, size_t length) { return first + std::string(length - 1, 'x'); }

void StartAgentOn(const cluster::ClusterSpec& shape) {
  test::InstallCluster(shape);
  test::RegisterAgentEventSource();
  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);  // no Oracle: MSCS
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  ASSERT_EQ(kVendorMscs, ClusterVendor.load());
}

TEST(MscsLongNames, NamesAreStoredCutAndAnsweredWholeUpToWhatTheClusterApiHolds) {
  velplat::clock::VirtualTimeScope virtualTime;
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  const std::string n31 = LongName('A', 31), n32 = LongName('B', 32), n254 = LongName('C', 254);
  const std::string n255 = LongName('D', 255);
  shape.nodes = {{n31, "1"}, {n32, "2"}, {n254, "3"}, {n255, "4"}, {"LAST", "5"}};
  StartAgentOn(shape);

  // The scan ends at the 255-character name: three members and the end record.
  EXPECT_THAT(Members(4), ElementsAre("1:1:" + n31 + ":10.0.0.1", "2:2:" + n32.substr(0, 31) + ":10.0.0.2",
                                            "3:3:" + n254.substr(0, 31) + ":10.0.0.3", "0:::0.0.0.0"));
  EXPECT_THAT(Rows(true), ElementsAre("1:" + n31, "2:" + n32, "3:" + n254));
  EXPECT_EQ(3u, Rows(false).size());
  EXPECT_EQ(n31, Get("1.2.11.1.2.1").bytes);
  EXPECT_EQ(n32, Get("1.2.11.1.2.2").bytes);
  EXPECT_EQ(n254, Get("1.2.11.1.2.3").bytes);
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.11.1.2.4").status);
  EXPECT_EQ("1.2.11.1.3.1", test::GetNext("1.2.11.1.2.3").name);

  // Nodes of 256 and 4,000 characters joining later are not found in the
  // enumeration and get no entry; the watch goes on with the next node.
  cluster::AddNode(test::kClusterName, {LongName('E', 256), "6"});
  cluster::AddNode(test::kClusterName, {LongName('F', 4000), "7"});
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  EXPECT_EQ(3u, Rows(true).size());
  // Evicting the long nodes removes no entry: their notified names, cut to
  // 255 characters, lead no entry's name.
  cluster::RemoveNode(test::kClusterName, n255);
  cluster::RemoveNode(test::kClusterName, LongName('E', 256));
  cluster::RemoveNode(test::kClusterName, LongName('F', 4000));
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  EXPECT_EQ(3u, Rows(true).size());
  cluster::AddNode(test::kClusterName, {"JOINED", "8"});
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  EXPECT_THAT(Rows(true), ElementsAre("1:" + n31, "2:" + n32, "3:" + n254, "4:JOINED"));
  EXPECT_EQ("JOINED", Get("1.2.11.1.2.4").bytes);
  EXPECT_TRUE(test::EventsWithId(VELMON_ENTRY_NOT_CREATED).empty());
}

}  // namespace
}  // namespace velmon
