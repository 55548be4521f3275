// The MSCS cluster model: member records from the node enumeration,
// addresses from the three passes over the cluster database, the cluster
// address resource found by its leading name, node names, and the text
// conversions at the cluster API.
#include "agent/agent_heap.h"
#include "backends/mscs/cluster_address.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/cluster_model.h"
#include "backends/mscs/node_addresses.h"
#include "backends/mscs/support/mscs_world.h"
#include "backends/mscs/wide_text.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <cstring>
#include <string>
#include <vector>

namespace velmon::mscs {
namespace {

namespace cluster = velplat::cluster;
using testing::ElementsAre;

class MscsModel : public testing::Test {
 protected:
  // Installs the cluster, binds the API and builds the member table with its
  // addresses, as discovery does.
  static void Build(const cluster::ClusterSpec& shape) {
    test::InstallCluster(shape);
    ASSERT_EQ(1, BindClusterApi());
    FillMscsMemberTable();
    ResolveMscsNodeAddresses();
  }
  static std::string NodeName(UINT row) {
    char buffer[kTextBufferSize] = {};
    AttrString value{-1, buffer};
    UINT scratch = 0;
    RowIndex index{1, &row};
    EXPECT_EQ(kNoError, GetMscsNodeName(&value, &scratch, &index));
    return std::string(buffer, static_cast<size_t>(value.length));
  }
  static std::string ClusterAddress() {
    ClusterIpAddress.store(0x04030201);  // 1.2.3.4: proves the value is written
    SetMscsClusterAddress();
    return test::Dotted(ClusterIpAddress.load());
  }
};

TEST_F(MscsModel, TwoNodesOnTheMatchingNetworkGetTheirInterfaceAddresses) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.nodes.pop_back();
  shape.networks.insert(shape.networks.begin(), {"Private", "192.168.0.0", "255.255.0.0"});
  shape.interfaces.push_back({"1", "Private", "192.168.0.1"});
  Build(shape);
  EXPECT_THAT(test::Members(3), ElementsAre("1:1:NODE1:10.0.0.1", "2:2:NODE2:10.0.0.2", "0:::0.0.0.0"));
  EXPECT_EQ("NODE2", NodeName(1));
  EXPECT_EQ("", NodeName(2));
  EXPECT_EQ(0u, cluster::OpenHandleCount());
}

TEST_F(MscsModel, TwoDigitIdentifierKeepsItsFirstDigitAndFindsNoInterface) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.nodes = {{"NODE1", "1"}, {"NODE10", "10"}};
  shape.interfaces = {{"10", "Public", "10.0.0.10"}};
  Build(shape);
  EXPECT_THAT(test::Members(2), ElementsAre("1:1:NODE1:0.0.0.0", "2:1:NODE10:0.0.0.0"));
}

TEST_F(MscsModel, OfTwoNetworksWithTheSameMaskTheFirstInKeyOrderIsTaken) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.networks = {{"Private", "192.168.0.0", "255.255.255.0", "{NET-B}"},
                   {"Public", "10.0.0.0", "255.255.255.0", "{NET-A}"}};
  shape.interfaces = {{"1", "Private", "192.168.0.1"}, {"1", "Public", "10.0.0.1"},
                     {"2", "Private", "192.168.0.2"}, {"2", "Public", "10.0.0.2"}};
  Build(shape);
  EXPECT_THAT(test::Members(2), ElementsAre("1:1:NODE1:10.0.0.1", "2:2:NODE2:10.0.0.2"));
}

TEST_F(MscsModel, InterfaceWithEmptyNodeGivesEveryWalkedMemberItsAddress) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.interfaces = {{"2", "Public", "10.0.0.2"}, {"", "Public", "10.0.0.9"}, {"3", "Public", "not an address"}};
  Build(shape);
  EXPECT_THAT(test::Members(4), ElementsAre("1:1:NODE1:10.0.0.9", "2:2:NODE2:10.0.0.9", "3:3:NODE3:10.0.0.9",
                                            "0:::0.0.0.0"));
  // Addresses are only ever written: a later pass without matches keeps them.
  velplat::registry::DeleteKeyTree("HKLM\\Cluster\\NetworkInterfaces");
  ResolveMscsNodeAddresses();
  EXPECT_EQ("3:3:NODE3:10.0.0.9", test::Members(3)[2]);
}

TEST_F(MscsModel, SubnetMaskComesFromTheFirstResourceThatHasOne) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.resources = {{"Disk Q:", "Physical Disk", "Cluster Group", {{"Drive", std::string("Q:")}}},
                    test::AddressResource("Cluster IP Address", "10.0.0.100", "255.255.255.0"),
                    test::AddressResource("Web Address", "192.168.0.100", "255.255.0.0")};
  shape.networks = {{"Web", "192.168.0.0", "255.255.0.0"}, {"Public", "10.0.0.0", "255.255.255.0"}};
  shape.interfaces.push_back({"1", "Web", "192.168.0.1"});
  Build(shape);
  // The disk has Parameters but no mask (the buffer is emptied), so the
  // cluster address resource decides: the Public network.
  EXPECT_EQ("1:1:NODE1:10.0.0.1", test::Members(1)[0]);
}

TEST_F(MscsModel, MaskSearchEndsAtTheClusterAddressResourceTakingItsNameWithoutParameters) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  // "ClusterIpAddress" comes first and has no Parameters key: its name is
  // the mask, which only the network "Odd" matches; the resource after it
  // (mask of Public) is never read.
  shape.resources = {{"ClusterIpAddress", "IP Address", "Cluster Group", {}},
                    test::AddressResource("Web Address", "10.0.0.100", "255.255.255.0")};
  shape.networks.push_back({"Odd", "10.9.0.0", "ClusterIp"});
  shape.interfaces = {{"1", "Public", "10.0.0.1"}, {"1", "Odd", "10.9.0.1"}};
  Build(shape);
  EXPECT_EQ("1:1:NODE1:10.9.0.1", test::Members(1)[0]);
}

TEST_F(MscsModel, IncompleteDatabaseEntriesArePassedOverAndAddressesKept) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  // Taken, each of these would decide otherwise: the nameless resource's mask
  // picks "Web", the maskless network matches any mask, and the interface
  // without a node gives every member 10.0.0.9.
  cluster::ResourceSpec nameless = test::AddressResource("Web Address", "192.168.0.100", "255.255.0.0");
  nameless.leftOut = {"Name"};
  shape.resources.insert(shape.resources.begin(), nameless);
  shape.networks.insert(shape.networks.begin(), {{"Backup", "172.16.0.0", "255.255.255.0", "", {"AddressMask"}},
                                                 {"Web", "192.168.0.0", "255.255.0.0"}});
  shape.interfaces.insert(shape.interfaces.begin(), {{"1", "Backup", "172.16.0.1"}, {"1", "Web", "192.168.0.1"}});
  shape.interfaces.push_back({"", "Public", "10.0.0.9", "", "", {"Node"}});
  Build(shape);
  EXPECT_THAT(test::Members(3), ElementsAre("1:1:NODE1:10.0.0.1", "2:2:NODE2:10.0.0.2", "3:3:NODE3:10.0.0.3"));
  EXPECT_EQ(0u, cluster::OpenHandleCount());
}

TEST_F(MscsModel, ClusterAddressComesFromTheFirstResourceWhoseNameLeads) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  Build(shape);
  EXPECT_EQ("10.0.0.100", ClusterAddress());

  // The first word alone leads "Cluster IP Address" and comes first.
  shape.resources.insert(shape.resources.begin(), test::AddressResource("Cluster", "10.0.0.7", ""));
  cluster::Install(shape);
  EXPECT_EQ("10.0.0.7", ClusterAddress());

  // A resource that cannot be opened is passed over but uses up its position.
  shape.resources.front() = {"Cluster", "Physical Disk", "Cluster Group", {}, false};
  cluster::Install(shape);
  EXPECT_EQ("10.0.0.100", ClusterAddress());

  shape.resources = {test::AddressResource("Cluster IP Address", "", "255.255.255.0")};
  cluster::Install(shape);
  EXPECT_EQ("0.0.0.0", ClusterAddress());

  shape.resources.clear();  // no such resource: the value stays
  cluster::Install(shape);
  EXPECT_EQ("1.2.3.4", ClusterAddress());
  EXPECT_EQ(0u, cluster::OpenHandleCount());
}

TEST_F(MscsModel, MemberTableStaysWhenTheClusterCannotBeReadAndCutsLongNames) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  // 254 characters fit the 255 announced; 300 do not and end the scan.
  shape.nodes = {{"NODE1"}, {std::string(254, 'L')}, {std::string(300, 'M')}};
  test::InstallCluster(shape, "NODE1");
  ASSERT_EQ(1, BindClusterApi());
  FillMscsMemberTable();
  const std::vector<std::string> filled = test::Members(3);
  EXPECT_THAT(filled, ElementsAre("1:1:NODE1:0.0.0.0", "2:2:" + std::string(31, 'L') + ":0.0.0.0", "0:::0.0.0.0"));
  EXPECT_EQ(std::string(254, 'L'), NodeName(1));
  EXPECT_EQ("", NodeName(2));

  velplat::faults::FailCall("ClusterOpenEnum", ERROR_NOT_ENOUGH_MEMORY);
  FillMscsMemberTable();
  EXPECT_EQ(filled, test::Members(3));
  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc, 1, 1);  // the name buffer
  FillMscsMemberTable();
  EXPECT_EQ(filled, test::Members(3));
  velplat::faults::FailCall("ClusterOpenEnum", ERROR_NOT_ENOUGH_MEMORY);  // a scan without its enumeration
  EXPECT_EQ("", NodeName(0));
  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc, 1, 1);  // the found name's conversion
  EXPECT_EQ("", NodeName(0));
  ReadLocalNodeId();
  EXPECT_STREQ("1", LocalNodeId);
}

TEST_F(MscsModel, NodeDescriptionIsTheSameForEveryPositionAndSetsTheState) {
  char description[kTextBufferSize];
  std::memset(description, 'x', sizeof description);
  PendingNodeState.store(0);
  EXPECT_EQ(1, LoadNodeDescription(description, 7));
  EXPECT_STREQ("Cluster Members", description);
  EXPECT_EQ(1, PendingNodeState.load());
}

TEST_F(MscsModel, TextConversionsKeepLengthsAndFailSafely) {
  char* narrow = WideToNarrow(u"NODE1");
  ASSERT_NE(nullptr, narrow);
  EXPECT_STREQ("NODE1", narrow);
  AgentFree(narrow);
  WCHAR* wide = NarrowToWide("Parameters");
  ASSERT_NE(nullptr, wide);
  EXPECT_EQ(std::u16string(u"Parameters"), std::u16string(wide));
  AgentFree(wide);
  char* cut = WideToNarrow(u"AB\u4E2DC");  // no single-byte form in this locale: ends there
  EXPECT_STREQ("AB", cut);
  AgentFree(cut);
  EXPECT_EQ(nullptr, WideToNarrow(nullptr));
  EXPECT_EQ(nullptr, NarrowToWide(nullptr));
  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc, 2);
  EXPECT_EQ(nullptr, WideToNarrow(u"x"));
  EXPECT_EQ(nullptr, NarrowToWide("x"));
}

}  // namespace
}  // namespace velmon::mscs
