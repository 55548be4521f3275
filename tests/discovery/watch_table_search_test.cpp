// Searches of the watch tables start where the previous search ended: they
// must give the same answers as a search from the head whatever the order of
// the questions, and whatever was linked or unlinked between them.
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/clock.h>

#include <string>
#include <vector>

namespace velmon {
namespace {

// What a search from the head answers for `index`. Lock held.
struct Expected {
  NodeEntry* found = nullptr;
  LONG pastEnd = 0;
  NodeEntry* firstFrom = nullptr;
};

Expected FromTheHead(LONG index) {
  Expected expected;
  LONG lastIndex = 0;
  for (NodeEntry* at = NodeTable; at; at = at->next) {
    if (!expected.firstFrom && at->index >= index) expected.firstFrom = at;
    if (!expected.found && at->index == index) expected.found = at;
    lastIndex = at->index;
  }
  if (!expected.found) expected.pastEnd = index >= lastIndex ? 1 : 0;
  return expected;
}

// Asks for every index in `order` and compares each answer with the search
// from the head. Lock held.
void ExpectSameAnswers(const std::vector<LONG>& order) {
  for (LONG index : order) {
    Expected expected = FromTheHead(index);
    LONG pastEnd = -1;
    EXPECT_EQ(FindNodeEntry(index, &pastEnd), expected.found) << "index " << index;
    if (!expected.found) {
      EXPECT_EQ(pastEnd, expected.pastEnd) << "index " << index;
    }
    EXPECT_EQ(FirstNodeEntryFrom(index), expected.firstFrom) << "index " << index;
  }
}

NodeEntry* EntryNamed(const char* name) {
  for (NodeEntry* at = NodeTable; at; at = at->next)
    if (std::string(at->name) == name) return at;
  return nullptr;
}

class WatchTableSearch : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;
};

TEST_F(WatchTableSearch, AnyOrderOfQuestionsGetsTheHeadSearchsAnswers) {
  {
    auto lock = LockWatchTables();
    ExpectSameAnswers({-1, 0, 1, 5});  // empty table
  }
  for (auto [name, index] : {std::pair{"a", 1}, {"b", 2}, {"c", 3}, {"d", 2}, {"e", 5}, {"f", 5}, {"g", 9}})
    ASSERT_EQ(AddNodeEntryWithState("", name, index, 0), 1);
  auto lock = LockWatchTables();
  ExpectSameAnswers({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});    // a walk
  ExpectSameAnswers({10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0});  // backwards, over equal indexes
  ExpectSameAnswers({3, 2, 9, 1, 5, 4, 11, 2, -3, 6, 5}); // jumps
  // Of two entries with one index, the older is the answer from either side.
  LONG pastEnd = 0;
  FindNodeEntry(3, &pastEnd);
  EXPECT_STREQ(FindNodeEntry(2, &pastEnd)->name, "b");
  FindNodeEntry(1, &pastEnd);
  EXPECT_STREQ(FirstNodeEntryFrom(2)->name, "b");
}

TEST_F(WatchTableSearch, EntriesComingAndGoingBetweenQuestionsDoNotMisleadTheNext) {
  for (auto [name, index] : {std::pair{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}})
    ASSERT_EQ(AddNodeEntryWithState("", name, index, 0), 1);
  {
    auto lock = LockWatchTables();
    LONG pastEnd = 0;
    ASSERT_NE(FindNodeEntry(3, &pastEnd), nullptr);  // the search rests on "c"
    RemoveNodeEntry(EntryNamed("c"));                 // released: must not be visited
    ExpectSameAnswers({3, 4, 2, 3, 5});
    ASSERT_NE(FindNodeEntry(4, &pastEnd), nullptr);
    RemoveNodeEntry(EntryNamed("d"));  // the tail goes
    ExpectSameAnswers({4, 5, 2, 1});
    RemoveNodeEntry(EntryNamed("a"));  // the head goes
    ExpectSameAnswers({1, 2, 3});
  }
  // An entry added in front of the resting place is found by the next search.
  {
    auto lock = LockWatchTables();
    LONG pastEnd = 0;
    ASSERT_NE(FindNodeEntry(2, &pastEnd), nullptr);
  }
  ASSERT_EQ(AddNodeEntryWithState("", "early", 1, 0), 1);
  ASSERT_EQ(AddNodeEntryWithState("", "twin", 2, 0), 1);
  ASSERT_EQ(AddNodeEntryWithState("", "late", 7, 0), 1);
  auto lock = LockWatchTables();
  ExpectSameAnswers({2, 1, 2, 3, 7, 8, 0});
  EXPECT_STREQ(FirstNodeEntryFrom(0)->name, "early");
  // Unlinking without release, then linking back, is seen too.
  NodeEntry* late = EntryNamed("late");
  LONG pastEnd = 0;
  ASSERT_EQ(FindNodeEntry(7, &pastEnd), late);
  UnlinkNodeEntry(late);
  ExpectSameAnswers({7, 6, 2});
  late->next = late->prev = nullptr;
  LinkNodeEntry(late);
  ExpectSameAnswers({7, 6, 2, 8});
}

}  // namespace
}  // namespace velmon
