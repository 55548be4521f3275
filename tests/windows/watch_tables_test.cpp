// The watch tables built for Windows: ordering, lookups, hand-over values,
// unlinking and removal, numbering, writers on several Win32 threads, and
// the watcher threads' stop protocol. Each case runs in its own process, so
// the tables start empty. A watcher only looks at its flag every 20 seconds,
// so watchers that must end are given a flag that is already raised.
#include "discovery/watch_tables.h"
#include "discovery/watchers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <process.h>

#include <string>
#include <vector>

namespace velmon {
namespace {

using testing::ElementsAre;

std::vector<std::string> NodeOrder() {
  auto lock = LockWatchTables();
  std::vector<std::string> order;
  for (NodeEntry* e = NodeTable; e; e = e->next) order.push_back(std::to_string(e->index) + ":" + e->name);
  return order;
}

// The list read from its tail, so that broken prev links show.
std::vector<LONG> NodeIndexesBackwards() {
  auto lock = LockWatchTables();
  NodeEntry* last = NodeTable;
  while (last && last->next) last = last->next;
  std::vector<LONG> indexes;
  for (NodeEntry* e = last; e; e = e->prev) indexes.push_back(e->index);
  return indexes;
}

TEST(WatchTables, EntriesSortByIndexWithEqualIndexesBehindOlderOnes) {
  ASSERT_EQ(AddNodeEntry("d1", "a", 1), 1);
  ASSERT_EQ(AddNodeEntry("d2", "b", 2), 1);
  ASSERT_EQ(AddNodeEntry("d3", "c", 3), 1);
  ASSERT_EQ(AddNodeEntry("d4", "d", 2), 1);
  ASSERT_EQ(AddNodeEntry("d0", "z", 0), 1);
  EXPECT_THAT(NodeOrder(), ElementsAre("0:z", "1:a", "2:b", "2:d", "3:c"));
  EXPECT_THAT(NodeIndexesBackwards(), ElementsAre(3, 2, 2, 1, 0));

  auto lock = LockWatchTables();
  LONG pastEnd = -1;
  NodeEntry* two = FindNodeEntry(2, &pastEnd);
  ASSERT_NE(two, nullptr);
  EXPECT_STREQ(two->name, "b");
  EXPECT_STREQ(two->description, "d2");
  EXPECT_EQ(two->valid, 1);
  EXPECT_EQ(pastEnd, 0);
  EXPECT_NE(two->watcher, nullptr) << "every entry gets a watcher thread";
  // Gaps are not the end; beyond the last index is.
  EXPECT_EQ(FindNodeEntry(4, &pastEnd), nullptr);
  EXPECT_EQ(pastEnd, 1);
  EXPECT_EQ(FindAddressEntry(1, &pastEnd), nullptr);
  EXPECT_EQ(pastEnd, 1) << "an empty table is past its end";
}

TEST(WatchTables, GapsAreNotThePastEnd) {
  ASSERT_EQ(AddNodeEntry("", "one", 1), 1);
  ASSERT_EQ(AddNodeEntry("", "three", 3), 1);
  auto lock = LockWatchTables();
  LONG pastEnd = -1;
  EXPECT_EQ(FindNodeEntry(2, &pastEnd), nullptr);
  EXPECT_EQ(pastEnd, 0);
  EXPECT_EQ(FindNodeEntry(0, &pastEnd), nullptr);
  EXPECT_EQ(pastEnd, 0);
  NodeEntry* three = FindNodeEntry(3, &pastEnd);
  ASSERT_NE(three, nullptr);
  EXPECT_STREQ(three->name, "three");
  EXPECT_EQ(pastEnd, 0);
}

TEST(WatchTables, AddsTakeHandOverValuesOrTheExplicitOnes) {
  PendingNodeState = 7;
  PendingNodeAddress = 0x0100000A;
  ClusterIpAddress = 0x0200000A;
  ASSERT_EQ(AddNodeEntry("desc", "n", 1), 1);
  ASSERT_EQ(AddAddressEntry("n", 1), 1);
  ASSERT_EQ(AddClusterAddressEntry("Cluster IP Address", 1), 1);
  ASSERT_EQ(AddNodeEntryWithState("desc2", "m", 2, 3), 1);
  ASSERT_EQ(AddAddressEntryWithAddress("m", 2, 0x0300000A), 1);
  ASSERT_EQ(AddClusterAddressEntryWithAddress("second", 2, 0x0400000A), 1);
  auto lock = LockWatchTables();
  LONG pastEnd = 0;
  EXPECT_EQ(FindNodeEntry(1, &pastEnd)->state, 7);
  EXPECT_EQ(FindNodeEntry(2, &pastEnd)->state, 3);
  EXPECT_EQ(FindAddressEntry(1, &pastEnd)->address, 0x0100000Au);
  EXPECT_EQ(FindAddressEntry(1, &pastEnd)->addressState, 1);
  EXPECT_EQ(FindAddressEntry(2, &pastEnd)->address, 0x0300000Au);
  EXPECT_EQ(FindClusterAddressEntry(1, &pastEnd)->address, 0x0200000Au);
  EXPECT_STREQ(FindClusterAddressEntry(1, &pastEnd)->name, "Cluster IP Address");
  EXPECT_EQ(FindClusterAddressEntry(2, &pastEnd)->address, 0x0400000Au);
}

TEST(WatchTables, ExistsComparesNamesExactly) {
  ASSERT_EQ(AddNodeEntry("", "NodeA", 1), 1);
  ASSERT_EQ(AddAddressEntry("NodeA", 1), 1);
  EXPECT_TRUE(NodeEntryExists("NodeA"));
  EXPECT_FALSE(NodeEntryExists("nodea"));
  EXPECT_FALSE(NodeEntryExists("NodeA "));
  EXPECT_TRUE(AddressEntryExists("NodeA"));
  EXPECT_FALSE(AddressEntryExists("NODEA"));
}

TEST(WatchTables, UnlinkRemoveAndRelinkKeepTheListConsistent) {
  for (LONG i = 1; i <= 5; ++i) ASSERT_EQ(AddNodeEntry("", ("n" + std::to_string(i)).c_str(), i), 1);
  {
    auto lock = LockWatchTables();
    LONG pastEnd = 0;
    NodeEntry* head = NodeTable;
    NodeEntry* middle = FindNodeEntry(3, &pastEnd);
    NodeEntry* tail = FindNodeEntry(5, &pastEnd);
    UnlinkNodeEntry(middle);
    UnlinkNodeEntry(head);
    UnlinkNodeEntry(tail);
    LinkNodeEntry(tail);
    LinkNodeEntry(head);
    LinkNodeEntry(middle);
  }
  EXPECT_THAT(NodeOrder(), ElementsAre("1:n1", "2:n2", "3:n3", "4:n4", "5:n5"));
  EXPECT_THAT(NodeIndexesBackwards(), ElementsAre(5, 4, 3, 2, 1));
  {
    auto lock = LockWatchTables();
    LONG pastEnd = 0;
    RemoveNodeEntry(FindNodeEntry(4, &pastEnd));
    RemoveNodeEntry(NodeTable);
  }
  EXPECT_THAT(NodeOrder(), ElementsAre("2:n2", "3:n3", "5:n5"));
  EXPECT_THAT(NodeIndexesBackwards(), ElementsAre(5, 3, 2));
  EXPECT_FALSE(NodeEntryExists("n4"));
}

TEST(WatchTables, ResetRestartsNumberingButKeepsEntries) {
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
  EXPECT_THAT(NodeOrder(), ElementsAre("1:old", "1:new", "2:two"));
}

// Writers on Win32 threads, released together by a manual-reset event.
struct Writer {
  HANDLE go;
  LONG first;
  LONG added = 0;
};

DWORD WINAPI AddEightNodes(void* argument) {
  auto* writer = static_cast<Writer*>(argument);
  WaitForSingleObject(writer->go, INFINITE);
  for (LONG i = 0; i < 8; ++i) {
    LONG index = writer->first + 4 * i;
    writer->added += AddNodeEntryWithState("", ("w" + std::to_string(index)).c_str(), index, index);
  }
  return 0;
}

TEST(WatchTables, ConcurrentWritersOnWin32ThreadsKeepOneSortedList) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(go, nullptr);
  Writer writers[4] = {{go, 1}, {go, 2}, {go, 3}, {go, 4}};
  HANDLE threads[4];
  for (int i = 0; i < 4; ++i) {
    threads[i] = CreateThread(nullptr, 0, &AddEightNodes, &writers[i], 0, nullptr);
    ASSERT_NE(threads[i], nullptr);
  }
  SetEvent(go);
  ASSERT_EQ(WaitForMultipleObjects(4, threads, TRUE, 10000), WAIT_OBJECT_0);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(go);
  for (const Writer& writer : writers) EXPECT_EQ(writer.added, 8);

  std::vector<LONG> expected;
  for (LONG i = 1; i <= 32; ++i) expected.push_back(i);
  std::vector<LONG> indexes = NodeIndexesBackwards();
  EXPECT_EQ(std::vector<LONG>(indexes.rbegin(), indexes.rend()), expected);
  auto lock = LockWatchTables();
  for (NodeEntry* e = NodeTable; e; e = e->next) {
    EXPECT_EQ(e->state, e->index) << "each entry keeps its own writer's value";
    EXPECT_EQ(std::string(e->name), "w" + std::to_string(e->index));
  }
}

// The watcher bodies on a Win32 thread: one whose flag is raised ends at
// once and releases the cell, one whose flag is down keeps running.
struct WatcherRun {
  void(__cdecl* body)(void*);
  void* flag;
};

DWORD WINAPI RunWatcher(void* argument) {
  auto* run = static_cast<WatcherRun*>(argument);
  run->body(run->flag);
  return 0;
}

std::atomic<LONG>* NewFlag(LONG value) {
  auto* flag = static_cast<std::atomic<LONG>*>(HeapAlloc(GetProcessHeap(), 0, sizeof(std::atomic<LONG>)));
  return new (flag) std::atomic<LONG>(value);
}

TEST(WatchTables, WatcherWithARaisedFlagEndsWithoutWaitingAPoll) {
  for (auto body : {&SubNodeTrapThread, &SubAddressTrapThread, &SubClusterAddressTrapThread}) {
    WatcherRun run{body, NewFlag(1)};
    HANDLE thread = CreateThread(nullptr, 0, &RunWatcher, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0) << "the watcher slept instead of ending";
    CloseHandle(thread);
  }
  // A lowered flag keeps the watcher asleep for its poll period.
  std::atomic<LONG>* flag = NewFlag(0);
  WatcherRun run{&SubNodeTrapThread, flag};
  HANDLE thread = CreateThread(nullptr, 0, &RunWatcher, &run, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(thread);  // the process ends before its next poll
}

}  // namespace
}  // namespace velmon
