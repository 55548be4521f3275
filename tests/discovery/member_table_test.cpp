// The member table's name lookups.
#include "discovery/member_table.h"

#include <gtest/gtest.h>

#include <string>

namespace velmon {
namespace {

void Store(int position, const char* name, const char* publicName) {
  MemberTable[position].memberNumber = position + 1;
  StoreMemberName(MemberTable[position].name, name);
  StoreMemberName(MemberTable[position].publicName, publicName);
}

TEST(MemberTable, EmptyTableFindsNothing) {
  auto lock = LockMemberTable();
  EXPECT_EQ(FindMemberByName(""), -1);
  EXPECT_EQ(FindMemberByName("node1"), -1);
  EXPECT_EQ(FindMemberByPublicName(""), -1);
}

TEST(MemberTable, LookupsAreExactAndFindTheLowerPosition) {
  auto lock = LockMemberTable();
  Store(0, "node1", "pub1");
  Store(1, "node12", "pub12");
  Store(2, "node1", "pub3");
  EXPECT_EQ(FindMemberByName("node1"), 0);
  EXPECT_EQ(FindMemberByName("node12"), 1);
  EXPECT_EQ(FindMemberByName("Node1"), -1);
  EXPECT_EQ(FindMemberByName("node"), -1);
  EXPECT_EQ(FindMemberByPublicName("pub3"), 2);
  EXPECT_EQ(FindMemberByPublicName("node1"), -1);
}

TEST(MemberTable, WalkStopsAtTheFirstUnusedRecord) {
  auto lock = LockMemberTable();
  Store(0, "a", "pa");
  Store(2, "c", "pc");  // beyond the end: record 1 is unused
  EXPECT_EQ(FindMemberByName("c"), -1);
  EXPECT_EQ(FindMemberByPublicName("pc"), -1);
}

TEST(MemberTable, FullTableLookupStopsAfterTheLastPosition) {
  auto lock = LockMemberTable();
  for (int i = 0; i < kMemberCapacity; ++i) Store(i, ("n" + std::to_string(i)).c_str(), "p");
  EXPECT_EQ(FindMemberByName("n255"), 255);
  EXPECT_EQ(FindMemberByName("absent"), -1);
}

TEST(MemberTable, LongNamesAreCutTo31Characters) {
  auto lock = LockMemberTable();
  std::string longName(40, 'q');
  Store(0, longName.c_str(), "p");
  EXPECT_EQ(std::string(MemberTable[0].name), std::string(31, 'q'));
  // A lookup of the full name finds the record it was stored in.
  EXPECT_EQ(FindMemberByName(longName.c_str()), 0);
  EXPECT_EQ(FindMemberByName(std::string(30, 'q').c_str()), -1);
}

}  // namespace
}  // namespace velmon
