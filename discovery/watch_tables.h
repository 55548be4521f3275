// The watch tables: the cluster's nodes, one IPv4 address per node, and the
// cluster's own addresses, as sorted doubly linked lists that the MIB tables
// answer from by row number. Every entry owns a watcher thread that runs until
// the entry's stop flag is raised.
//
// Thread-safety: one mutex guards the three tables, their counters and the
// hand-over values. Every operation here takes it, except those marked
// "lock held", which the caller must call inside LockWatchTables(). Readers
// copy what they need while holding it; nobody holds it across a registry,
// service or network call.
#ifndef VELMON_DISCOVERY_WATCH_TABLES_H
#define VELMON_DISCOVERY_WATCH_TABLES_H

#include <windows.h>

#include <atomic>
#include <mutex>

namespace velmon {

struct NodeEntry {
  NodeEntry* next;
  NodeEntry* prev;
  char* name;
  char* description;
  LONG state;
  LONG index;
  LONG valid;
  HANDLE watcher;
  std::atomic<LONG>* stopFlag;  // owned by the watcher thread once it runs
};

struct AddressEntry {
  AddressEntry* next;
  AddressEntry* prev;
  char* name;
  DWORD address;  // IPv4, network byte order
  LONG addressState;
  LONG index;
  LONG valid;
  HANDLE watcher;
  std::atomic<LONG>* stopFlag;
};

struct ClusterAddressEntry {
  ClusterAddressEntry* next;
  ClusterAddressEntry* prev;
  char* name;
  DWORD address;  // IPv4, network byte order
  LONG index;
  LONG valid;
  HANDLE watcher;
  std::atomic<LONG>* stopFlag;
};

// Stack of every watcher thread: the entries' watchers and the back-ends'
// change watchers. There is one watcher per entry, hundreds in a large
// cluster, and each needs a few KiB; failure reports run on the alternate
// signal stack. On Windows this is the initial commit only.
inline constexpr unsigned kWatcherStackSize = 64 * 1024;

// Heads of the tables (null when empty). Lock held.
extern NodeEntry* NodeTable;
extern AddressEntry* AddressTable;
extern ClusterAddressEntry* ClusterAddressTable;

// Row numbers the next entries are to get; fillers read and advance them.
extern std::atomic<LONG> NextNodeIndex;
extern std::atomic<LONG> NextAddressIndex;
extern std::atomic<LONG> NextClusterAddressIndex;
// Hand-over values for the next Add (see the Add operations).
extern std::atomic<LONG> PendingNodeState;
extern std::atomic<DWORD> PendingNodeAddress;
extern std::atomic<DWORD> ClusterIpAddress;

// 1 once a back-end has filled the tables the first time.
extern std::atomic<LONG> WatchTablesReady;

std::unique_lock<std::mutex> LockWatchTables();

// Creates an entry, links it in index order behind entries of equal index,
// and starts its watcher thread. 1 on success; 0 (table unchanged, nothing
// leaked) when memory or the thread cannot be had. The value fields come
// from the hand-over values (PendingNodeState, PendingNodeAddress,
// ClusterIpAddress), read inside the same locked step; the *With* variants
// take the value from the caller instead, so that two writer threads cannot
// mix each other's values.
LONG AddNodeEntry(const char* description, const char* name, LONG index);
LONG AddAddressEntry(const char* name, LONG index);
LONG AddClusterAddressEntry(const char* name, LONG index);
LONG AddNodeEntryWithState(const char* description, const char* name, LONG index, LONG state);
LONG AddAddressEntryWithAddress(const char* name, LONG index, DWORD address);
LONG AddClusterAddressEntryWithAddress(const char* name, LONG index, DWORD address);

// The first entry whose index equals `index`, or null; then `pastEnd` is 1
// when `index` is not below the last entry's index (always for an empty
// table). Lock held. Searches (these and the From ones below) start where
// the table's previous search ended, so asking for row after row is cheap.
NodeEntry* FindNodeEntry(LONG index, LONG* pastEnd);
AddressEntry* FindAddressEntry(LONG index, LONG* pastEnd);
ClusterAddressEntry* FindClusterAddressEntry(LONG index, LONG* pastEnd);

// The first entry whose index is `index` or above, or null. Lock held.
NodeEntry* FirstNodeEntryFrom(LONG index);
AddressEntry* FirstAddressEntryFrom(LONG index);
ClusterAddressEntry* FirstClusterAddressEntryFrom(LONG index);

// Whether an entry carries exactly this name (case-sensitive).
bool NodeEntryExists(const char* name);
bool AddressEntryExists(const char* name);

// Sorted insertion and removal from the list, without freeing. Lock held.
void LinkNodeEntry(NodeEntry* entry);
void LinkAddressEntry(AddressEntry* entry);
void LinkClusterAddressEntry(ClusterAddressEntry* entry);
void UnlinkNodeEntry(NodeEntry* entry);
void UnlinkAddressEntry(AddressEntry* entry);
void UnlinkClusterAddressEntry(ClusterAddressEntry* entry);

// Removal: raises the entry's stop flag, unlinks it and releases it with its
// strings; the watcher releases the flag cell when it ends. Lock held.
void RemoveNodeEntry(NodeEntry* entry);
void RemoveAddressEntry(AddressEntry* entry);

// Numbering restarts at 1; entries and watchers stay.
void ResetNodeIndex();
void ResetAddressIndex();

}  // namespace velmon

#endif
