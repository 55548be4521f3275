// The member table and its two name lookups.
#include "discovery/member_table.h"

#include <cstring>

namespace velmon {

MemberRecord MemberTable[kMemberCapacity] = {};

namespace {

std::mutex& MemberMutex() {
  static std::mutex* mutex = new std::mutex();  // used by threads that outlive main
  return *mutex;
}

// Exact, case-sensitive comparison of a name field with `text` cut as it
// would have been stored.
bool FieldEquals(const char (&field)[kMemberNameSize], const char* text) {
  char stored[kMemberNameSize];
  StoreMemberName(stored, text);
  return std::strcmp(field, stored) == 0;
}

int FindBy(char (MemberRecord::*field)[kMemberNameSize], const char* text) {
  for (int i = 0; i < kMemberCapacity && MemberTable[i].memberNumber != 0; ++i)
    if (FieldEquals(MemberTable[i].*field, text)) return i;
  return -1;
}

}  // namespace

std::unique_lock<std::mutex> LockMemberTable() { return std::unique_lock<std::mutex>(MemberMutex()); }

void StoreMemberName(char (&field)[kMemberNameSize], const char* text) {
  size_t length = strnlen(text, kMemberNameSize - 1);
  std::memcpy(field, text, length);
  field[length] = '\0';
}

int FindMemberByName(const char* text) { return FindBy(&MemberRecord::name, text); }

int FindMemberByPublicName(const char* text) { return FindBy(&MemberRecord::publicName, text); }

}  // namespace velmon
