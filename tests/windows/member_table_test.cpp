// The member table built for Windows: exact name lookups, the walk's end at
// the first unused record and after the last position, the 31-character cut,
// and the lock shared by Win32 threads.
#include "discovery/member_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace velmon {
namespace {

void Store(int position, const char* name, const char* publicName) {
  MemberTable[position].memberNumber = position + 1;
  StoreMemberName(MemberTable[position].name, name);
  StoreMemberName(MemberTable[position].publicName, publicName);
}

TEST(MemberTable, LookupsAreExactFindTheLowerPositionAndStopAtTheFirstUnusedRecord) {
  auto lock = LockMemberTable();
  EXPECT_EQ(FindMemberByName(""), -1) << "the table is all zero at load";
  Store(0, "node1", "pub1");
  Store(1, "node12", "pub12");
  Store(2, "node1", "pub3");
  Store(4, "beyond", "pbeyond");  // record 3 is unused and ends the table
  EXPECT_EQ(FindMemberByName("node1"), 0);
  EXPECT_EQ(FindMemberByName("node12"), 1);
  EXPECT_EQ(FindMemberByName("Node1"), -1);
  EXPECT_EQ(FindMemberByName("node"), -1);
  EXPECT_EQ(FindMemberByPublicName("pub3"), 2);
  EXPECT_EQ(FindMemberByPublicName("node1"), -1);
  EXPECT_EQ(FindMemberByName("beyond"), -1);
  EXPECT_EQ(FindMemberByPublicName("pbeyond"), -1);
}

TEST(MemberTable, FullTableLookupStopsAfterTheLastPosition) {
  auto lock = LockMemberTable();
  for (int i = 0; i < kMemberCapacity; ++i) Store(i, ("n" + std::to_string(i)).c_str(), "p");
  EXPECT_EQ(FindMemberByName("n255"), 255);
  EXPECT_EQ(FindMemberByName("n0"), 0);
  EXPECT_EQ(FindMemberByName("absent"), -1);
}

TEST(MemberTable, NamesAreCutTo31CharactersAndTerminated) {
  auto lock = LockMemberTable();
  std::memset(MemberTable[0].name, 'x', sizeof MemberTable[0].name);
  std::string longName(40, 'q');
  Store(0, longName.c_str(), std::string(31, 'p').c_str());
  EXPECT_EQ(std::string(MemberTable[0].name), std::string(31, 'q'));
  EXPECT_EQ(MemberTable[0].name[31], '\0');
  EXPECT_EQ(std::string(MemberTable[0].publicName), std::string(31, 'p'));
  // A lookup of the full name finds the record it was stored in.
  EXPECT_EQ(FindMemberByName(longName.c_str()), 0);
  EXPECT_EQ(FindMemberByName(std::string(30, 'q').c_str()), -1);
  // A shorter name replaces a longer one completely.
  StoreMemberName(MemberTable[0].name, "ab");
  EXPECT_STREQ(MemberTable[0].name, "ab");
}

DWORD WINAPI TryLock(void* argument) {
  auto* acquired = static_cast<LONG*>(argument);
  auto lock = LockMemberTable();
  InterlockedExchange(acquired, 1);
  return 0;
}

TEST(MemberTable, LockExcludesOtherWin32Threads) {
  LONG acquired = 0;
  HANDLE thread = nullptr;
  {
    auto lock = LockMemberTable();
    thread = CreateThread(nullptr, 0, &TryLock, &acquired, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 200), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(InterlockedCompareExchange(&acquired, 0, 0), 0);
  }
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(acquired, 1);
  CloseHandle(thread);
}

}  // namespace
}  // namespace velmon
