// The refresh and prune passes over the Nodes key where the description
// leaves them: entries that cannot be added, and names whose key path does
// not fit the agent's buffers. (The passes at work are shown through the
// main trap thread.)
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "backends/brennic/support/brennic_world.h"
#include "backends/brennic/table_sync.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/registry.h>

#include <string>
#include <vector>

namespace velmon {
namespace {

using testing::ElementsAre;

class BrennicTableSync : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;  // the watchers sleep on it

  void SetUp() override { test::RegisterAgentEventSource(); }

  static void Sync() {
    brennic::RefreshBrennicNodes();
    brennic::RefreshBrennicAddresses();
    brennic::PruneNodeTable();
    brennic::PruneAddressTable();
  }
  static std::vector<std::string> Nodes() { return test::FullNodeRows(); }
  // The address's last byte (d of a.b.c.d; network byte order).
  static std::vector<std::string> Addresses() { return test::FullAddressRows([](DWORD a) { return a >> 24; }); }
  static std::vector<std::string> NotCreatedReports() { return test::NotCreatedReports(); }
};

TEST_F(BrennicTableSync, EntriesThatCannotBeAddedAreReportedAndTheRestGoOn) {
  test::AddNode({"nodea", std::nullopt, "192.0.2.1"});
  test::AddNode({"nodeb", std::nullopt, "192.0.2.2"});
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart);  // nodea's node entry
  brennic::RefreshBrennicNodes();
  velplat::faults::FailNext(velplat::faults::Point::ThreadStart, 1, 1);  // nodeb's address entry
  brennic::RefreshBrennicAddresses();
  EXPECT_THAT(Nodes(), ElementsAre("1:nodeb::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:nodea:1"));
  EXPECT_THAT(NotCreatedReports(), ElementsAre("nodea", "nodeb"));
  Sync();  // the next change catches up
  EXPECT_THAT(Nodes(), ElementsAre("1:nodeb::1", "2:nodea::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:nodea:1", "2:nodeb:2"));
}

TEST_F(BrennicTableSync, NamesWhoseKeyPathDoesNotFitAreLeftAlone) {
  std::string fits(200, 'f');
  std::string tooLong(201, 'l');
  test::AddNode({fits, std::nullopt, ""});
  test::AddNode({tooLong, std::nullopt, ""});
  Sync();
  EXPECT_THAT(Nodes(), ElementsAre("1:" + fits + "::1"));
  EXPECT_THAT(Addresses(), ElementsAre("1:" + fits + ":0"));
  // An entry with such a name, from elsewhere, is not taken for deleted.
  ASSERT_EQ(AddNodeEntryWithState("", tooLong.c_str(), 2, 0), 1);
  velplat::registry::DeleteKeyTree(test::kNodesPath);
  Sync();
  EXPECT_THAT(Nodes(), ElementsAre("2:" + tooLong + "::0"));
  EXPECT_THAT(Addresses(), ElementsAre());
  EXPECT_TRUE(NotCreatedReports().empty());
}

}  // namespace
}  // namespace velmon
