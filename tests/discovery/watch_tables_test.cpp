// The watch tables: ordering, lookups, Add failures and the watcher threads'
// stop protocol, in virtual time so that 20-second polls cost nothing.
#include "discovery/watch_tables.h"
#include "discovery/watchers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/threads.h>

#include <chrono>
#include <string>
#include <vector>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using velplat::faults::FailNext;
using velplat::faults::Point;

class WatchTablesTest : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;

  static std::vector<std::string> NodeOrder() {
    auto lock = LockWatchTables();
    std::vector<std::string> order;
    for (NodeEntry* e = NodeTable; e; e = e->next) order.push_back(std::to_string(e->index) + ":" + e->name);
    return order;
  }
  // Walks the list backwards too, so that broken prev links show.
  static std::vector<LONG> NodeIndexesBackwards() {
    auto lock = LockWatchTables();
    NodeEntry* last = NodeTable;
    while (last && last->next) last = last->next;
    std::vector<LONG> indexes;
    for (NodeEntry* e = last; e; e = e->prev) indexes.push_back(e->index);
    return indexes;
  }
};

TEST_F(WatchTablesTest, EqualIndexesGoBehindOlderEntriesAndLookupsFindTheOlder) {
  ASSERT_EQ(AddNodeEntry("d1", "a", 1), 1);
  ASSERT_EQ(AddNodeEntry("d2", "b", 2), 1);
  ASSERT_EQ(AddNodeEntry("d3", "c", 3), 1);
  ASSERT_EQ(AddNodeEntry("d4", "d", 2), 1);
  ASSERT_EQ(AddNodeEntry("d0", "z", 0), 1);  // a new head
  EXPECT_THAT(NodeOrder(), testing::ElementsAre("0:z", "1:a", "2:b", "2:d", "3:c"));
  EXPECT_THAT(NodeIndexesBackwards(), testing::ElementsAre(3, 2, 2, 1, 0));
  auto lock = LockWatchTables();
  LONG pastEnd = -1;
  NodeEntry* two = FindNodeEntry(2, &pastEnd);
  ASSERT_NE(two, nullptr);
  EXPECT_STREQ(two->name, "b");
  EXPECT_STREQ(two->description, "d2");
  EXPECT_EQ(pastEnd, 0);
  EXPECT_EQ(two->valid, 1);
}

TEST_F(WatchTablesTest, PastEndTellsGapsFromTheEnd) {
  LONG pastEnd = -1;
  {
    auto lock = LockWatchTables();
    EXPECT_EQ(FindNodeEntry(0, &pastEnd), nullptr);
    EXPECT_EQ(pastEnd, 1);
    EXPECT_EQ(FindClusterAddressEntry(5, &pastEnd), nullptr);
    EXPECT_EQ(pastEnd, 1);
  }
  ASSERT_EQ(AddNodeEntry("", "one", 1), 1);
  ASSERT_EQ(AddNodeEntry("", "three", 3), 1);
  auto lock = LockWatchTables();
  EXPECT_EQ(FindNodeEntry(2, &pastEnd), nullptr);
  EXPECT_EQ(pastEnd, 0);
  EXPECT_EQ(FindNodeEntry(4, &pastEnd), nullptr);
  EXPECT_EQ(pastEnd, 1);
  NodeEntry* three = FindNodeEntry(3, &pastEnd);
  ASSERT_NE(three, nullptr);
  EXPECT_EQ(pastEnd, 0);
  EXPECT_STREQ(three->name, "three");
}

TEST_F(WatchTablesTest, AddOperationsTakeTheHandOverValues) {
  PendingNodeState = 7;
  PendingNodeAddress = 0x0100000A;
  ClusterIpAddress = 0x0200000A;
  ASSERT_EQ(AddNodeEntry("desc", "n", 1), 1);
  ASSERT_EQ(AddAddressEntry("n", 1), 1);
  ASSERT_EQ(AddClusterAddressEntry("Cluster IP Address", 1), 1);
  auto lock = LockWatchTables();
  LONG pastEnd = 0;
  EXPECT_EQ(FindNodeEntry(1, &pastEnd)->state, 7);
  EXPECT_EQ(FindAddressEntry(1, &pastEnd)->address, 0x0100000Au);
  EXPECT_EQ(FindAddressEntry(1, &pastEnd)->addressState, 1);
  EXPECT_EQ(FindClusterAddressEntry(1, &pastEnd)->address, 0x0200000Au);
  EXPECT_STREQ(FindClusterAddressEntry(1, &pastEnd)->name, "Cluster IP Address");
}

TEST_F(WatchTablesTest, FailedAddLeavesTheTableUnchangedAndLeaksNothing) {
  ASSERT_EQ(AddNodeEntry("d", "kept", 1), 1);
  // The entry, its flag, its name, its description, then the watcher.
  for (unsigned skip = 0; skip < 4; ++skip) {
    FailNext(Point::HeapAlloc, 1, skip);
    EXPECT_EQ(AddNodeEntry("d", "lost", 2), 0) << skip;
  }
  // The entry, its flag, then its name.
  for (unsigned skip = 0; skip < 3; ++skip) {
    FailNext(Point::HeapAlloc, 1, skip);
    EXPECT_EQ(AddAddressEntry("lost", 2), 0) << skip;
    FailNext(Point::HeapAlloc, 1, skip);
    EXPECT_EQ(AddClusterAddressEntry("lost", 2), 0) << skip;
  }
  FailNext(Point::ThreadStart);
  EXPECT_EQ(AddNodeEntry("d", "lost", 0), 0);
  FailNext(Point::ThreadStart);
  EXPECT_EQ(AddAddressEntry("lost", 0), 0);
  FailNext(Point::ThreadStart);
  EXPECT_EQ(AddClusterAddressEntry("lost", 0), 0);
  EXPECT_THAT(NodeOrder(), testing::ElementsAre("1:kept"));
  EXPECT_THAT(NodeIndexesBackwards(), testing::ElementsAre(1));
  auto lock = LockWatchTables();
  EXPECT_EQ(AddressTable, nullptr);
  EXPECT_EQ(ClusterAddressTable, nullptr);
}

TEST_F(WatchTablesTest, EveryAddLinksItsEntryBeforeItsWatcherIsCreated) {
  std::vector<std::string> seen;
  // Runs inside the Add, which holds the tables' lock: read the heads as they are.
  velplat::threads::OnThreadStart([&seen](velplat::threads::ThreadStart& start) {
    auto linked = [&start](auto* head) {
      for (auto* entry = head; entry; entry = entry->next)
        if (entry->stopFlag == start.parameter) return " linked";
      return " missing";
    };
    if (start.runtime == &SubNodeTrapThread) seen.push_back(std::string("node") + linked(NodeTable));
    if (start.runtime == &SubAddressTrapThread) seen.push_back(std::string("address") + linked(AddressTable));
    if (start.runtime == &SubClusterAddressTrapThread)
      seen.push_back(std::string("cluster address") + linked(ClusterAddressTable));
  });
  ASSERT_EQ(AddNodeEntry("d", "first", 1), 1);
  ASSERT_EQ(AddNodeEntry("d", "second", 2), 1);
  ASSERT_EQ(AddAddressEntry("first", 1), 1);
  ASSERT_EQ(AddClusterAddressEntry("Cluster IP Address", 1), 1);
  velplat::threads::OnThreadStart(nullptr);
  EXPECT_THAT(seen, testing::ElementsAre("node linked", "node linked", "address linked", "cluster address linked"));
}

TEST_F(WatchTablesTest, ResetRestartsNumberingButKeepsEntries) {
  ASSERT_EQ(AddNodeEntry("", "old", NextNodeIndex), 1);
  ++NextNodeIndex;
  ASSERT_EQ(AddNodeEntry("", "two", NextNodeIndex), 1);
  ++NextNodeIndex;
  NextAddressIndex = 9;
  ResetNodeIndex();
  ResetAddressIndex();
  EXPECT_EQ(NextNodeIndex, 1);
  EXPECT_EQ(NextAddressIndex, 1);
  ASSERT_EQ(AddNodeEntry("", "new", NextNodeIndex), 1);
  EXPECT_THAT(NodeOrder(), testing::ElementsAre("1:old", "1:new", "2:two"));
  auto lock = LockWatchTables();
  LONG pastEnd = 0;
  EXPECT_STREQ(FindNodeEntry(1, &pastEnd)->name, "old");
}

TEST_F(WatchTablesTest, ExistsComparesNamesExactly) {
  ASSERT_EQ(AddNodeEntry("", "NodeA", 1), 1);
  ASSERT_EQ(AddAddressEntry("NodeA", 1), 1);
  EXPECT_TRUE(NodeEntryExists("NodeA"));
  EXPECT_FALSE(NodeEntryExists("nodea"));
  EXPECT_FALSE(NodeEntryExists("NodeA "));
  EXPECT_TRUE(AddressEntryExists("NodeA"));
  EXPECT_FALSE(AddressEntryExists("NODEA"));
}

TEST_F(WatchTablesTest, UnlinkKeepsNeighboursLinked) {
  for (LONG i = 1; i <= 4; ++i) ASSERT_EQ(AddNodeEntry("", ("n" + std::to_string(i)).c_str(), i), 1);
  {
    auto lock = LockWatchTables();
    LONG pastEnd = 0;
    NodeEntry* head = NodeTable;
    NodeEntry* middle = FindNodeEntry(3, &pastEnd);
    NodeEntry* tail = FindNodeEntry(4, &pastEnd);
    NodeEntry* second = middle->prev;
    UnlinkNodeEntry(middle);
    // The unlinked entry still points at its old neighbours.
    EXPECT_EQ(middle->prev, second);
    EXPECT_EQ(middle->next, tail);
    UnlinkNodeEntry(head);
    UnlinkNodeEntry(tail);
    // Unlinked entries go back in through Link, in order.
    LinkNodeEntry(tail);
    LinkNodeEntry(head);
    LinkNodeEntry(middle);
  }
  EXPECT_THAT(NodeOrder(), testing::ElementsAre("1:n1", "2:n2", "3:n3", "4:n4"));
  EXPECT_THAT(NodeIndexesBackwards(), testing::ElementsAre(4, 3, 2, 1));
}

TEST_F(WatchTablesTest, WatcherWhoseFlagIsAlreadyRaisedEndsWithoutSleeping) {
  // Run on this thread: in virtual time a single sleep would never return.
  for (auto watcher : {&SubNodeTrapThread, &SubAddressTrapThread, &SubClusterAddressTrapThread}) {
    auto* flag = static_cast<std::atomic<LONG>*>(HeapAlloc(GetProcessHeap(), 0, sizeof(std::atomic<LONG>)));
    new (flag) std::atomic<LONG>(1);
    watcher(flag);  // frees the cell; ASan reports a leak or double free otherwise
  }
  EXPECT_EQ(velplat::clock::BlockedCount(), 0u);
}

TEST_F(WatchTablesTest, RemovedEntrysWatcherEndsAtItsNextPoll) {
  ASSERT_EQ(AddNodeEntry("", "gone", 1), 1);
  ASSERT_EQ(AddAddressEntry("kept", 1), 1);
  ASSERT_TRUE(velplat::clock::WaitForBlocked(2, 10s));
  {
    auto lock = LockWatchTables();
    RemoveNodeEntry(NodeTable);
    EXPECT_EQ(NodeTable, nullptr);
  }
  velplat::clock::Advance(std::chrono::milliseconds(kWatcherPollMs - 1));
  ASSERT_TRUE(velplat::clock::WaitForBlocked(2, 10s));
  velplat::clock::Advance(1ms);
  // The node watcher ends; the address watcher goes back to sleep.
  for (int i = 0; i < 1000 && velplat::clock::WaiterCount() != 1; ++i) std::this_thread::sleep_for(2ms);
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 10s));
  EXPECT_EQ(velplat::clock::WaiterCount(), 1u);
}

}  // namespace
}  // namespace velmon
