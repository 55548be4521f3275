// The cluster's members as the active back-end read them: 256 fixed records,
// all zero at load. A record whose memberNumber is 0 ends the table for every
// walk.
//
// Thread-safety: written by the discovery thread and one watcher of the active
// back-end, read by the request and main trap threads. Take
// LockMemberTable() around every read or write of the records.
#ifndef VELMON_DISCOVERY_MEMBER_TABLE_H
#define VELMON_DISCOVERY_MEMBER_TABLE_H

#include <windows.h>

#include <mutex>

namespace velmon {

inline constexpr int kMemberCapacity = 256;
inline constexpr size_t kMemberNameSize = 32;  // 31 characters and a terminator

struct MemberRecord {
  LONG memberNumber;  // 1-based position; 0 ends the table
  char nodeId[4];     // MSCS: first character of the node id, terminated
  char name[kMemberNameSize];        // MSCS node name; Oracle private name
  char publicName[kMemberNameSize];  // Oracle public name
  DWORD address;                     // IPv4, network byte order
  DWORD publicAddress;               // IPv4, network byte order
};

extern MemberRecord MemberTable[kMemberCapacity];

std::unique_lock<std::mutex> LockMemberTable();

// Stores `text` in a name field, cut to 31 characters and terminated.
void StoreMemberName(char (&field)[kMemberNameSize], const char* text);

// Position of the first record whose name (public name) equals `text`
// exactly, or -1; the walk stops at a record with memberNumber 0 and after
// position 255. Lock held.
int FindMemberByName(const char* text);
int FindMemberByPublicName(const char* text);

}  // namespace velmon

#endif
