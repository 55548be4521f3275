// The refresh and prune passes over the Nodes key where the description
// leaves them: entries that cannot be added, and names whose key path does
// not fit the agent's buffers. (The passes at work are shown through the
// main trap thread.)
#include "agent/support/event_log.h"
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
  static std::vector<std::string> Nodes() {
    auto lock = LockWatchTables();
    std::vector<std::string> rows;
    for (NodeEntry* e = NodeTable; e; e = e->next)
      rows.push_back(std::to_string(e->index) + ":" + e->name + ":" + e->description + ":" + std::to_string(e->state));
    return rows;
  }
  static std::vector<std::string> Addresses() {
    auto lock = LockWatchTables();
    std::vector<std::string> rows;
    for (AddressEntry* e = AddressTable; e; e = e->next)
      // The address's last byte (d of a.b.c.d; network byte order).
      rows.push_back(std::to_string(e->index) + ":" + e->name + ":" + std::to_string(e->address >> 24));
    return rows;
  }
  static std::vector<std::string> NotCreatedReports() {
    std::vector<std::string> names;
    for (auto& e : test::EventsWithId(VELMON_ENTRY_NOT_CREATED)) names.push_back(e.strings.empty() ? "" : e.strings[0]);
    return names;
  }
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
