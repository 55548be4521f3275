// The watch tables: list upkeep, the Add operations and removal.
#include "discovery/watch_tables.h"

#include "agent/agent_heap.h"
#include "discovery/watchers.h"

#include <process.h>

#include <cstring>
#include <new>

namespace velmon {

NodeEntry* NodeTable = nullptr;
AddressEntry* AddressTable = nullptr;
ClusterAddressEntry* ClusterAddressTable = nullptr;

std::atomic<LONG> NextNodeIndex{1};
std::atomic<LONG> NextAddressIndex{1};
std::atomic<LONG> NextClusterAddressIndex{1};
std::atomic<LONG> PendingNodeState{0};
std::atomic<DWORD> PendingNodeAddress{0};
std::atomic<DWORD> ClusterIpAddress{0};
std::atomic<LONG> WatchTablesReady{0};

namespace {

std::mutex& TablesMutex() {
  static std::mutex* mutex = new std::mutex();  // used by threads that outlive main
  return *mutex;
}

// ---- list operations shared by the three entry types ----

// The entry a table's last search ended on, where the next search starts: a
// walk asks for row after row, so each step is short. Null when unknown;
// every link and unlink of that table forgets it, so it is always an entry
// of the list. Lock held.
template <class Entry>
Entry*& Cursor() {
  static Entry* cursor = nullptr;
  return cursor;
}

template <class Entry>
void Link(Entry*& head, Entry* entry) {
  Cursor<Entry>() = nullptr;
  if (!head) {
    head = entry;
    return;
  }
  Entry* last = nullptr;
  for (Entry* at = head; at; at = at->next) {
    if (at->index > entry->index) {
      entry->next = at;
      entry->prev = at->prev;
      if (at->prev)
        at->prev->next = entry;
      else
        head = entry;
      at->prev = entry;
      return;
    }
    last = at;
  }
  last->next = entry;
  entry->prev = last;
}

template <class Entry>
void Unlink(Entry*& head, Entry* entry) {
  Cursor<Entry>() = nullptr;
  if (entry->prev) {
    entry->prev->next = entry->next;
    if (entry->next) entry->next->prev = entry->prev;
  } else if (head == entry) {
    if (entry->next) entry->next->prev = nullptr;
    head = entry->next;
  }
}

// The first entry whose index is at least `index` (null when there is none),
// found from the cursor, which then rests on it.
template <class Entry>
Entry* LowerBound(Entry* head, LONG index) {
  Entry*& cursor = Cursor<Entry>();
  Entry* at = cursor ? cursor : head;
  if (!at) return nullptr;
  if (at->index >= index) {
    while (at->prev && at->prev->index >= index) at = at->prev;
  } else {
    Entry* last = at;
    while (at && at->index < index) {
      last = at;
      at = at->next;
    }
    if (!at) {
      cursor = last;  // the search ended at the tail: start there next time
      return nullptr;
    }
  }
  cursor = at;
  return at;
}

template <class Entry>
Entry* Find(Entry* head, LONG index, LONG* pastEnd) {
  *pastEnd = 0;
  Entry* at = LowerBound(head, index);
  if (at && at->index == index) return at;
  // Not held: past the end when no entry lies above it; an empty table
  // counts as ending at index 0.
  if (!at) *pastEnd = (head || index >= 0) ? 1 : 0;
  return nullptr;
}

template <class Entry>
bool Exists(Entry* head, const char* name) {
  for (Entry* at = head; at; at = at->next)
    if (std::strcmp(at->name, name) == 0) return true;
  return false;
}

char* CopyText(const char* text) {
  size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(AgentAlloc(size));
  if (copy) std::memcpy(copy, text, size);
  return copy;
}

std::atomic<LONG>* NewStopFlag() {
  void* cell = AgentAlloc(sizeof(std::atomic<LONG>));
  return cell ? new (cell) std::atomic<LONG>(0) : nullptr;
}

// Releases an entry with everything it owns but its stop flag.
template <class Entry>
void FreeEntry(Entry* entry) {
  AgentFree(entry->name);
  if constexpr (requires { entry->description; }) AgentFree(entry->description);
  AgentFree(entry);
}

// The common steps of every Add: allocate the entry, its strings and its
// flag; link it; start its watcher. `fill` sets the value fields.
template <class Entry, class Fill>
LONG AddEntry(Entry*& head, const char* name, const char* description, LONG index, void(__cdecl* watcher)(void*),
              Fill fill) {
  auto* entry = static_cast<Entry*>(AgentAlloc(sizeof(Entry)));
  if (!entry) return 0;
  std::atomic<LONG>* flag = NewStopFlag();
  entry->name = CopyText(name);
  bool stringsOk = entry->name != nullptr;
  if constexpr (requires { entry->description; }) {
    entry->description = CopyText(description);
    stringsOk = stringsOk && entry->description != nullptr;
  }
  if (!flag || !stringsOk) {
    AgentFree(flag);
    FreeEntry(entry);
    return 0;
  }
  fill(*entry);
  entry->index = index;
  entry->valid = 1;
  entry->next = nullptr;
  entry->prev = nullptr;
  entry->watcher = nullptr;
  entry->stopFlag = flag;
  Link(head, entry);
  uintptr_t thread = _beginthread(watcher, kWatcherStackSize, flag);
  if (thread == static_cast<uintptr_t>(-1)) {
    Unlink(head, entry);
    AgentFree(flag);
    FreeEntry(entry);
    return 0;
  }
  entry->watcher = reinterpret_cast<HANDLE>(thread);
  return 1;
}

template <class Entry>
void Remove(Entry*& head, Entry* entry) {
  entry->stopFlag->store(1, std::memory_order_release);
  Unlink(head, entry);
  FreeEntry(entry);
}

}  // namespace

std::unique_lock<std::mutex> LockWatchTables() { return std::unique_lock<std::mutex>(TablesMutex()); }

LONG AddNodeEntryWithState(const char* description, const char* name, LONG index, LONG state) {
  auto lock = LockWatchTables();
  return AddEntry(NodeTable, name, description, index, &SubNodeTrapThread, [&](NodeEntry& e) { e.state = state; });
}

LONG AddAddressEntryWithAddress(const char* name, LONG index, DWORD address) {
  auto lock = LockWatchTables();
  return AddEntry(AddressTable, name, nullptr, index, &SubAddressTrapThread, [&](AddressEntry& e) {
    e.address = address;
    e.addressState = 1;
  });
}

LONG AddClusterAddressEntryWithAddress(const char* name, LONG index, DWORD address) {
  auto lock = LockWatchTables();
  return AddEntry(ClusterAddressTable, name, nullptr, index, &SubClusterAddressTrapThread,
                  [&](ClusterAddressEntry& e) { e.address = address; });
}

LONG AddNodeEntry(const char* description, const char* name, LONG index) {
  return AddNodeEntryWithState(description, name, index, PendingNodeState.load());
}

LONG AddAddressEntry(const char* name, LONG index) {
  return AddAddressEntryWithAddress(name, index, PendingNodeAddress.load());
}

LONG AddClusterAddressEntry(const char* name, LONG index) {
  return AddClusterAddressEntryWithAddress(name, index, ClusterIpAddress.load());
}

NodeEntry* FindNodeEntry(LONG index, LONG* pastEnd) { return Find(NodeTable, index, pastEnd); }
AddressEntry* FindAddressEntry(LONG index, LONG* pastEnd) { return Find(AddressTable, index, pastEnd); }
ClusterAddressEntry* FindClusterAddressEntry(LONG index, LONG* pastEnd) {
  return Find(ClusterAddressTable, index, pastEnd);
}

NodeEntry* FirstNodeEntryFrom(LONG index) { return LowerBound(NodeTable, index); }
AddressEntry* FirstAddressEntryFrom(LONG index) { return LowerBound(AddressTable, index); }
ClusterAddressEntry* FirstClusterAddressEntryFrom(LONG index) { return LowerBound(ClusterAddressTable, index); }

bool NodeEntryExists(const char* name) {
  auto lock = LockWatchTables();
  return Exists(NodeTable, name);
}

bool AddressEntryExists(const char* name) {
  auto lock = LockWatchTables();
  return Exists(AddressTable, name);
}

void LinkNodeEntry(NodeEntry* entry) { Link(NodeTable, entry); }
void LinkAddressEntry(AddressEntry* entry) { Link(AddressTable, entry); }
void LinkClusterAddressEntry(ClusterAddressEntry* entry) { Link(ClusterAddressTable, entry); }
void UnlinkNodeEntry(NodeEntry* entry) { Unlink(NodeTable, entry); }
void UnlinkAddressEntry(AddressEntry* entry) { Unlink(AddressTable, entry); }
void UnlinkClusterAddressEntry(ClusterAddressEntry* entry) { Unlink(ClusterAddressTable, entry); }

void RemoveNodeEntry(NodeEntry* entry) { Remove(NodeTable, entry); }
void RemoveAddressEntry(AddressEntry* entry) { Remove(AddressTable, entry); }

void ResetNodeIndex() {
  auto lock = LockWatchTables();
  NextNodeIndex.store(1);
}

void ResetAddressIndex() {
  auto lock = LockWatchTables();
  NextAddressIndex.store(1);
}

}  // namespace velmon
