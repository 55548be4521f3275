// Request threads walk and read the MIB of an Oracle RAC host while the
// cluster manager's node lists change under the registry watcher (members
// added, renamed and removed) and the members' services change state.
#include "agent/cluster_attributes.h"
#include "agent/support/mib_stress.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <set>
#include <thread>

namespace velmon {
namespace {

using namespace std::chrono_literals;

constexpr int kMachines = 12;
// Every change of the public names appends entries (with their watchers)
// that the back-end never removes; bound them however long the run.
constexpr int kMaxNameChanges = 150;

std::string PublicName(int i) { return "rac" + std::to_string(10 + i); }
std::string PrivateName(int i) { return "priv" + std::to_string(10 + i); }

std::vector<std::string> NodeNames() {
  auto lock = LockWatchTables();
  std::vector<std::string> names;
  for (NodeEntry* e = NodeTable; e; e = e->next) names.push_back(e->name);
  return names;
}

TEST(OracleChurnStress, AnswersStayConsistentWhileNodeListsAndServicesChange) {
  velplat::clock::VirtualTimeScope virtualTime;
  std::vector<test::OracleMember> members;
  std::string hosts;
  for (int i = 0; i < kMachines; ++i) {
    members.push_back({PublicName(i), PrivateName(i), "192.0.2." + std::to_string(10 + i), SERVICE_RUNNING});
    hosts += "10.0.0." + std::to_string(10 + i) + " " + PrivateName(i) + "\n";
  }
  test::MakeOracleMembers(members);
  test::WriteHostsFile(hosts);
  test::WriteClusterManagerKey({members.begin(), members.begin() + 3});
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(test::Eventually([] { return ClusterVendor.load() == kVendorOracle && WatchTablesReady.load() == 1; }));

  int nameChanges = 0;
  std::vector<std::string> lastPublic;
  auto churn = [&](std::mt19937& random) {
    switch (random() % 4) {
      case 0:
      case 1:
        if (nameChanges < kMaxNameChanges) {
          // One pass of the watcher at a time, so that each list is read.
          velplat::registry::WaitForPendingNotifications(test::kClusterManagerKeyPath, 1, 2s);
          // Members added, renamed and removed: a fresh list of 1 to 6 members.
          std::vector<int> picked(kMachines);
          for (int i = 0; i < kMachines; ++i) picked[i] = i;
          std::shuffle(picked.begin(), picked.end(), random);
          picked.resize(1 + random() % 6);
          std::vector<std::string> publics, privates;
          for (int i : picked) {
            publics.push_back(PublicName(i));
            privates.push_back(PrivateName(i));
          }
          // Public names first: the pass they wake reads them whatever
          // happens to the private names meanwhile.
          test::SetPublicNames(publics);
          test::SetPrivateNames(privates);
          lastPublic = publics;
          ++nameChanges;
          break;
        }
        [[fallthrough]];
      case 2: {
        static const DWORD states[] = {SERVICE_RUNNING, SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_PAUSED};
        velplat::Machine* machine = velplat::World::Get().Find(PublicName(static_cast<int>(random() % kMachines)));
        velplat::services::SetState("OracleCMService9I", states[random() % 4], machine);
        break;
      }
      default:
        test::SetPrivateNames({PrivateName(static_cast<int>(random() % kMachines))});
        break;
    }
    std::this_thread::sleep_for(5ms);
  };
  test::StressRules rules;
  rules.maxNodeNameLength = 31;  // public names are stored cut to 31 characters
  rules.rowsStay = true;         // the Oracle back-end only ever appends entries
  test::StressResult result = test::RunMibStress(rules, test::StressDuration(), churn);
  std::cout << "Oracle churn: " << test::Summary(result) << "\n";
  testing::Test::RecordProperty("requests", std::to_string(result.requests));
  for (const auto& fault : result.faults) ADD_FAILURE() << fault;
  EXPECT_GT(result.walks, 0u);
  EXPECT_GT(result.rowReads, 0u);

  // Once the watcher has read the last change, every member of the last list
  // has a node entry (entries of earlier lists stay).
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kClusterManagerKeyPath, 1, 10s));
  test::SetPublicNames({"final1"});
  ASSERT_TRUE(test::Eventually([] {
    auto names = NodeNames();
    return std::find(names.begin(), names.end(), "final1") != names.end();
  }));
  std::vector<std::string> names = NodeNames();
  std::set<std::string> known(names.begin(), names.end());
  for (const auto& name : lastPublic) EXPECT_TRUE(known.count(name)) << name;
}

}  // namespace
}  // namespace velmon
