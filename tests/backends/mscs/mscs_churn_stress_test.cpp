// Request threads walk and read the MIB of an MSCS member while nodes join,
// are renamed (evicted and joined under a new name), change state and are
// evicted, and the cluster service changes state, under the change watch.
#include "agent/cluster_attributes.h"
#include "agent/support/mib_stress.h"
#include "agent/support/watch_table_rows.h"
#include "backends/mscs/support/mscs_world.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/services.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

namespace velmon {
namespace {

using namespace std::chrono_literals;
namespace cluster = velplat::cluster;

// "index:name" of the node table (nodes) or the address table, in order.
std::vector<std::string> Rows(bool nodes) { return nodes ? test::NodeNameRows() : test::AddressNameRows(); }

constexpr int kPool = 12;

// Names of one width, so that no name leads another (the watch matches
// leading parts when it removes a node's entries).
std::string NodeName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "NODE%03d", i);
  return name;
}

std::vector<std::string> ClusterNodes() {
  std::vector<std::string> names;
  for (const auto& node : cluster::Describe(test::kClusterName).nodes) names.push_back(node.name);
  return names;
}

TEST(MscsChurnStress, AnswersStayConsistentWhileNodesJoinLeaveAndChangeState) {
  velplat::clock::VirtualTimeScope virtualTime;
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  for (size_t i = 0; i < shape.nodes.size(); ++i) shape.nodes[i].name = NodeName(static_cast<int>(i) + 1);
  test::InstallCluster(shape);
  // No Oracle key to wait for: discovery goes on to MSCS.
  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  ASSERT_EQ(kVendorMscs, ClusterVendor.load());

  auto churn = [](std::mt19937& random) {
    std::vector<std::string> present = ClusterNodes();
    std::string some = NodeName(1 + static_cast<int>(random() % kPool));
    bool member = std::find(present.begin(), present.end(), some) != present.end();
    std::string local = NodeName(1);
    switch (random() % 5) {
      case 0:  // join or leave
        if (!member)
          cluster::AddNode(test::kClusterName, {some});
        else if (some != local)
          cluster::RemoveNode(test::kClusterName, some);
        break;
      case 1:  // rename: evicted, then joined under a name not in use
        if (member && some != local) {
          std::string renamed = NodeName(1 + static_cast<int>(random() % kPool));
          cluster::RemoveNode(test::kClusterName, some);
          if (std::find(present.begin(), present.end(), renamed) == present.end() || renamed == some)
            cluster::AddNode(test::kClusterName, {renamed});
        }
        break;
      case 2:
        if (member) {
          static const CLUSTER_NODE_STATE states[] = {ClusterNodeUp, ClusterNodeDown, ClusterNodePaused};
          cluster::SetNodeState(test::kClusterName, some, states[random() % 3]);
        }
        break;
      case 3: {
        static const DWORD states[] = {SERVICE_RUNNING, SERVICE_STOPPED, SERVICE_START_PENDING};
        velplat::services::SetState("ClusSvc", states[random() % 3]);
        break;
      }
      default:
        cluster::WaitForIdlePorts(test::kClusterName, 1s);
        break;
    }
    std::this_thread::sleep_for(2ms);
  };
  test::StressResult result = test::RunMibStress(test::StressRules{}, test::StressDuration(), churn);
  std::cout << "MSCS churn: " << test::Summary(result) << "\n";
  testing::Test::RecordProperty("requests", std::to_string(result.requests));
  for (const auto& fault : result.faults) ADD_FAILURE() << fault;
  EXPECT_GT(result.walks, 0u);
  EXPECT_GT(result.rowReads, 0u);

  // Once the watch has taken every notification, the node table holds the
  // cluster's nodes, each once.
  ASSERT_TRUE(cluster::WaitForIdlePorts(test::kClusterName, 10s));
  std::vector<std::string> rows;
  for (const auto& row : Rows(true)) rows.push_back(row.substr(row.find(':') + 1));
  std::vector<std::string> nodes = ClusterNodes();
  std::sort(rows.begin(), rows.end());
  std::sort(nodes.begin(), nodes.end());
  EXPECT_EQ(nodes, rows);
}

}  // namespace
}  // namespace velmon
