// Request threads walk and read the MIB of a Brennic Clusters host while
// nodes are added to, renamed in and deleted from the failover database and
// the failover manager's service changes state, under the main trap thread.
#include "agent/cluster_attributes.h"
#include "agent/support/mib_stress.h"
#include "backends/brennic/support/brennic_world.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

namespace velmon {
namespace {

using namespace std::chrono_literals;

constexpr int kPool = 12;

std::string NodeName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "node%03d", i);
  return name;
}

void AddPoolNode(int i) {
  test::AddNode({NodeName(i), "member " + std::to_string(i), "192.0.2." + std::to_string(i)});
}

bool WaitForChangeLoop(std::chrono::milliseconds timeout) {
  return velplat::registry::WaitForPendingNotifications(test::kDatabasePath, 1, timeout);
}

TEST(BrennicChurnStress, AnswersStayConsistentWhileDatabaseNodesChange) {
  velplat::clock::VirtualTimeScope virtualTime;
  velplat::World::Get().SetLocal(NodeName(1));
  velplat::registry::CreateKey(std::string(test::kProductPath) + "\\CurrentVersion");
  velplat::registry::SetString(test::kParametersPath, "ClusterName", "alpha");
  test::DefineManagerService(SERVICE_RUNNING);
  for (int i = 1; i <= 3; ++i) AddPoolNode(i);
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(WaitForChangeLoop(10s));
  velplat::registry::SetString(test::kDatabasePath, "Touched", "1");  // the first change fills the tables
  ASSERT_TRUE(WaitForChangeLoop(10s));
  ASSERT_EQ(kVendorBrennic, ClusterVendor.load());

  auto churn = [](std::mt19937& random) {
    WaitForChangeLoop(1s);
    std::vector<std::string> present = velplat::registry::SubkeyNames(test::kNodesPath);
    int some = 1 + static_cast<int>(random() % kPool);
    bool member = std::find(present.begin(), present.end(), NodeName(some)) != present.end();
    switch (random() % 4) {
      case 0:  // added or deleted
        if (member)
          test::DeleteNode(NodeName(some));
        else
          AddPoolNode(some);
        break;
      case 1:  // renamed: deleted, and added under a name not in use
        if (member) {
          int renamed = 1 + static_cast<int>(random() % kPool);
          test::DeleteNode(NodeName(some));
          if (std::find(present.begin(), present.end(), NodeName(renamed)) == present.end()) AddPoolNode(renamed);
        }
        break;
      case 2: {
        static const DWORD states[] = {SERVICE_RUNNING, SERVICE_STOPPED, SERVICE_START_PENDING};
        velplat::services::SetState("Kestavar", states[random() % 3]);
        break;
      }
      default:  // a change outside Nodes: a pass that adds and prunes nothing
        velplat::registry::SetString(test::kDatabasePath, "Touched", std::to_string(random()));
        break;
    }
    std::this_thread::sleep_for(2ms);
  };
  test::StressResult result = test::RunMibStress(test::StressRules{}, test::StressDuration(), churn);
  std::cout << "Brennic churn: " << test::Summary(result) << "\n";
  testing::Test::RecordProperty("requests", std::to_string(result.requests));
  for (const auto& fault : result.faults) ADD_FAILURE() << fault;
  EXPECT_GT(result.walks, 0u);
  EXPECT_GT(result.rowReads, 0u);

  // After one more pass the node table holds the database's nodes, each once.
  ASSERT_TRUE(WaitForChangeLoop(10s));
  velplat::registry::SetString(test::kDatabasePath, "Touched", "last");
  ASSERT_TRUE(WaitForChangeLoop(10s));
  std::vector<std::string> rows;
  {
    auto lock = LockWatchTables();
    for (NodeEntry* e = NodeTable; e; e = e->next) rows.push_back(e->name);
  }
  std::vector<std::string> nodes = velplat::registry::SubkeyNames(test::kNodesPath);
  std::sort(rows.begin(), rows.end());
  std::sort(nodes.begin(), nodes.end());
  EXPECT_EQ(nodes, rows);
}

}  // namespace
}  // namespace velmon
