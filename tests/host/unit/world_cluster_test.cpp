// MSCS clusters in world files: what the section reads (explicit node
// identifiers, keys stable across loads), the errors it reports, and edits
// that reach a running cluster as its own notifications, its ports intact.
#include <clusapi.h>
#include <gtest/gtest.h>
#include <velplat/cluster.h>
#include <velplat/registry.h>
#include <velplat/world.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/world/world_apply.h"
#include "host/world/world_parse.h"

namespace velmond {
namespace {

namespace reg = velplat::registry;

const std::string kMachines = "[machine.n1]\nlocal = true\n[machine.n2]\n[machine.n3]\n";

const std::string kCluster = kMachines + R"(
[cluster.C]
[[cluster.C.nodes]]
name = "n1"
id = "1"
[[cluster.C.nodes]]
name = "N2"
id = 7
state = "paused"
[[cluster.C.groups]]
name = "Cluster Group"
[[cluster.C.resources]]
name = "Cluster IP Address"
type = "IP Address"
group = "cluster group"
parameters = { SubnetMask = "255.255.255.0", Address = "192.0.2.40", EnableNetBIOS = 1 }
[[cluster.C.networks]]
name = "Public"
address = "192.0.2.0"
address_mask = "255.255.255.0"
[[cluster.C.interfaces]]
node = "n1"
network = "public"
address = "192.0.2.41"
)";

ParsedWorld Parse(const std::string& text) { return ParseWorldText(text, "w.toml", "."); }

TEST(WorldCluster, NodesKeepTheirIdentifiersAndObjectsGetKeysThatALoadAgainRepeats) {
  ParsedWorld parsed = Parse(kCluster);
  ASSERT_TRUE(parsed.world) << parsed.error;
  const ClusterSpec& cluster = parsed.world->clusters.at("c");
  ASSERT_EQ(cluster.nodes.size(), 2u);
  EXPECT_EQ(cluster.nodes[1].name, "n2");  // spelt as its machine
  EXPECT_EQ(cluster.nodes[1].id, "7");
  EXPECT_EQ(cluster.nodes[1].state, ClusterNodeState::Paused);
  EXPECT_EQ(cluster.resources[0].group, "Cluster Group");
  // Parameters keep the order written.
  ASSERT_EQ(cluster.resources[0].parameters.size(), 3u);
  EXPECT_EQ(cluster.resources[0].parameters[0].name, "SubnetMask");
  EXPECT_TRUE(cluster.resources[0].parameters[2].isNumber);
  EXPECT_EQ(cluster.interfaces[0].name, "Public - n1");
  EXPECT_FALSE(cluster.interfaces[0].key.empty());
  EXPECT_EQ(Parse(kCluster).world->clusters, parsed.world->clusters);
}

TEST(WorldCluster, ContradictionsAreErrorsWithFileLineAndReason) {
  struct Case {
    std::string text;
    const char* where;
    const char* what;
  };
  const std::string node1 = "[[cluster.C.nodes]]\nname = \"n1\"\nid = \"1\"\n";
  const Case cases[] = {
      {kMachines + "[[cluster.C.nodes]]\nname = \"n9\"\nid = \"1\"\n", "w.toml:5:", "names no machine of the world"},
      {kMachines + node1 + "[[cluster.D.nodes]]\nname = \"N1\"\nid = \"1\"\n", "w.toml:8:", "is a node of cluster \"C\" already"},
      {kMachines + node1 + "[[cluster.C.nodes]]\nname = \"n2\"\nid = \"1\"\n", "w.toml:10:", "id 1 is node \"n1\"'s already"},
      {kMachines + node1 + "[[cluster.C.resources]]\nname = \"IP\"\n", "w.toml:8:", "resource \"IP\" has no type"},
      {kMachines + node1 + "[[cluster.C.resources]]\nname = \"IP\"\ntype = \"IP Address\"\ngroup = \"G\"\n", "w.toml:11:",
       "group \"G\" is no group of the cluster"},
      {kMachines + node1 + "[[cluster.C.interfaces]]\nnode = \"n2\"\nnetwork = \"P\"\n", "w.toml:9:", "node \"n2\" is no node"},
      {kMachines + node1 + "[[cluster.C.interfaces]]\nnode = \"n1\"\nnetwork = \"P\"\n", "w.toml:10:", "network \"P\" is no network"},
      {kMachines + "[[cluster.C.nodes]]\nname = \"n1\"\nid = \"one\"\n", "w.toml:7:", "is not decimal text"},
      {kMachines + "[[cluster.C.nodes]]\nname = \"n1\"\n", "w.toml:5:", "needs id"},
      {kMachines + node1 + "state = \"sleeping\"\n", "w.toml:8:", "unknown state \"sleeping\""},
      {kMachines + "[cluster.C]\nbuild = 1381\n", "w.toml:5:", "has no node"},
      {kMachines + node1 + "[[cluster.C.networks]]\nname = \"P\"\naddress_mask = \"255.255.255\"\n", "w.toml:10:",
       "is not an a.b.c.d address"},
  };
  for (const Case& c : cases) {
    ParsedWorld parsed = Parse(c.text);
    EXPECT_FALSE(parsed.world) << c.text;
    EXPECT_EQ(parsed.error.rfind(c.where, 0), 0u) << parsed.error;
    EXPECT_NE(parsed.error.find(c.what), std::string::npos) << parsed.error;
  }
}

// A reader of the cluster's notifications, as the agent's change watch is.
class WorldClusterEdits : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    world_ = Load(kCluster);
    PrepareLocalMachine(world_);
    ASSERT_TRUE(ApplyWorld(nullptr, world_).problems.empty());
    cluster_ = OpenCluster(nullptr);
    ASSERT_NE(cluster_, nullptr);
    port_ = CreateClusterNotifyPort(static_cast<HCHANGE>(INVALID_HANDLE_VALUE), cluster_, 0xFFFFFFFF, 1);
    ASSERT_NE(port_, nullptr);
  }
  void TearDown() override {
    CloseClusterNotifyPort(port_);
    CloseCluster(cluster_);
  }
  static WorldModel Load(const std::string& text) {
    ParsedWorld parsed = Parse(text);
    EXPECT_TRUE(parsed.world) << parsed.error;
    return parsed.world ? *parsed.world : WorldModel{};
  }
  // Applies the edit; the notifications it raised, as "TYPE name" lines.
  std::vector<std::string> Edit(const std::string& text) {
    WorldModel next = Load(text);
    ApplyReport report = ApplyWorld(&world_, next);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    world_ = next;
    std::vector<std::string> events;
    for (;;) {
      WCHAR name[256] = {};
      DWORD length = 255, type = 0;
      DWORD_PTR key = 0;
      if (GetClusterNotify(port_, &key, &type, name, &length, 0) != ERROR_SUCCESS) break;
      std::string object;
      for (WCHAR* c = name; *c; ++c) object.push_back(static_cast<char>(*c));
      events.push_back(std::to_string(type) + " " + object);
    }
    return events;
  }
  static std::string Event(DWORD type, const std::string& name) { return std::to_string(type) + " " + name; }

  WorldModel world_;
  HCLUSTER cluster_ = nullptr;
  HCHANGE port_ = nullptr;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST_F(WorldClusterEdits, NodesJoinLeaveChangeStateAndARenameIsALeaveAndAJoin) {
  std::string joined = kCluster + "[[cluster.C.nodes]]\nname = \"n3\"\nid = \"3\"\n";
  EXPECT_EQ(Edit(joined), std::vector<std::string>{Event(CLUSTER_CHANGE_NODE_ADDED, "n3")});
  EXPECT_EQ(reg::GetValue("Cluster\\Nodes\\3", "NodeName", velplat::World::Get().Find("n1")).has_value(), true);
  std::string resumed = Replaced(joined, "state = \"paused\"", "state = \"up\"");
  EXPECT_EQ(Edit(resumed), std::vector<std::string>{Event(CLUSTER_CHANGE_NODE_STATE, "n2")});
  std::string renamed = Replaced(resumed, "name = \"n3\"", "name = \"n1x\"");
  renamed = Replaced(renamed, "[machine.n3]", "[machine.n1x]");
  EXPECT_EQ(Edit(renamed),
            (std::vector<std::string>{Event(CLUSTER_CHANGE_NODE_DELETED, "n3"), Event(CLUSTER_CHANGE_NODE_ADDED, "n1x")}));
  EXPECT_EQ(Edit(kCluster), (std::vector<std::string>{Event(CLUSTER_CHANGE_NODE_DELETED, "n1x"),
                                                      Event(CLUSTER_CHANGE_NODE_STATE, "n2")}));
  EXPECT_FALSE(reg::KeyExists("Cluster\\Nodes\\3"));
  EXPECT_EQ(velplat::cluster::OpenPortCount("C"), 1u);
  // Editing nothing of the cluster raises nothing.
  EXPECT_TRUE(Edit(kCluster + "[machine.n1.environment]\nX = \"1\"\n").empty());
}

TEST_F(WorldClusterEdits, ParametersAndInterfacesAreWrittenWhereTheAgentReadsThem) {
  const std::string resource = "Cluster\\Resources\\" + world_.clusters.at("C").resources[0].key + "\\Parameters";
  std::string moved = Replaced(kCluster, "Address = \"192.0.2.40\", EnableNetBIOS = 1", "Address = \"192.0.2.50\"");
  EXPECT_EQ(Edit(moved), (std::vector<std::string>{Event(CLUSTER_CHANGE_RESOURCE_PROPERTY, "Cluster IP Address"),
                                                   Event(CLUSTER_CHANGE_RESOURCE_PROPERTY, "Cluster IP Address")}));
  auto address = reg::GetValue(resource, "Address", velplat::World::Get().Find("n2"));
  ASSERT_TRUE(address);
  EXPECT_EQ(std::string(address->data.begin(), address->data.end() - 1), "192.0.2.50");
  EXPECT_FALSE(reg::GetValue(resource, "EnableNetBIOS"));

  const std::string interfaces = "Cluster\\NetworkInterfaces\\" + world_.clusters.at("C").interfaces[0].key;
  std::string second = moved + "[[cluster.C.interfaces]]\nnode = \"n2\"\nnetwork = \"Public\"\naddress = \"192.0.2.42\"\n";
  EXPECT_EQ(Edit(second), std::vector<std::string>{Event(CLUSTER_CHANGE_NETINTERFACE_ADDED, "Public - n2")});
  std::string readdressed = Replaced(second, "address = \"192.0.2.41\"", "address = \"192.0.2.141\"");
  EXPECT_EQ(Edit(readdressed), std::vector<std::string>{Event(CLUSTER_CHANGE_NETINTERFACE_PROPERTY, "Public - n1")});
  auto written = reg::GetValue(interfaces, "Address");
  ASSERT_TRUE(written);
  EXPECT_EQ(std::string(written->data.begin(), written->data.end() - 1), "192.0.2.141");
  auto node = reg::GetValue(interfaces, "Node");
  ASSERT_TRUE(node);
  EXPECT_EQ(std::string(node->data.begin(), node->data.end() - 1), "1");  // the identifier, not the name
  EXPECT_EQ(Edit(moved), (std::vector<std::string>{Event(CLUSTER_CHANGE_NETINTERFACE_DELETED, "Public - n2"),
                                                   Event(CLUSTER_CHANGE_NETINTERFACE_PROPERTY, "Public - n1")}));
  EXPECT_EQ(velplat::cluster::Describe("C").interfaces.size(), 1u);
  EXPECT_EQ(velplat::cluster::OpenPortCount("C"), 1u);
}

TEST_F(WorldClusterEdits, AClusterDroppedFromTheFileIsUninstalledAndItsPortEnds) {
  EXPECT_TRUE(Edit(kMachines).empty());
  WCHAR name[16] = {};
  DWORD length = 15, type = 0;
  DWORD_PTR key = 0;
  EXPECT_EQ(GetClusterNotify(port_, &key, &type, name, &length, 0), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(reg::KeyExists("Cluster"));
  EXPECT_EQ(OpenCluster(nullptr), nullptr);
}

TEST(WorldCluster, ExampleWorldsWithClustersLoad) {
  ParsedWorld brennic = ParseWorldFile(std::string(VELMON_SOURCE_DIR) + "/examples/worlds/brennic-3.toml");
  EXPECT_TRUE(brennic.world) << brennic.error;
  // The MSCS example's cluster, read apart from the failures it arms.
  std::ifstream in(std::string(VELMON_SOURCE_DIR) + "/examples/worlds/mscs-3.toml");
  std::string mscs((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ParsedWorld parsed = Parse(mscs.substr(mscs.find("[machine.")));
  ASSERT_TRUE(parsed.world) << parsed.error;
  const ClusterSpec& cluster = parsed.world->clusters.at("VELCLUS");
  EXPECT_EQ(cluster.nodes.size(), 3u);
  EXPECT_EQ(cluster.nodes[2].state, ClusterNodeState::Paused);
  EXPECT_EQ(cluster.interfaces.size(), 6u);
}

}  // namespace
}  // namespace velmond
