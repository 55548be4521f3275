// The refresh and prune passes of the main trap thread.
#include "backends/brennic/table_sync.h"

#include "agent/event_report.h"
#include "backends/brennic/brennic_interface.h"
#include "backends/brennic/node_key_path.h"
#include "backends/brennic/node_operations.h"
#include "backends/brennic/registry_key.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <algorithm>
#include <string>
#include <vector>

namespace velmon::brennic {
namespace {

// Calls `add(name, position)` for every Nodes subkey that `exists` does not
// find yet.
template <class Exists, class Add>
void ForEachNewNode(Exists exists, Add add) {
  RegistryKey nodes(HKEY_LOCAL_MACHINE, kNodesKey);
  if (!nodes) return;
  char name[kTextBufferSize];
  for (DWORD i = 0; RegEnumKeyA(nodes.get(), i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    if (!NodeKeyPathFits(name) || exists(name)) continue;
    add(name, static_cast<int>(i));
  }
}

enum class NodeKey { kPresent, kMissing, kUnnamed };

NodeKey ProbeNodeKey(const std::string& name) {
  char path[kTextBufferSize];
  if (!ComposeNodeKeyPath(path, name.c_str())) return NodeKey::kUnnamed;
  RegistryKey key(HKEY_LOCAL_MACHINE, path);
  return key ? NodeKey::kPresent : NodeKey::kMissing;
}

template <class Entry>
struct Seen {
  const Entry* entry;
  std::string name;
};

// Walks the whole table: its entries are copied under the lock, their keys
// tested without it, and the entries whose keys are missing removed under
// the lock again, if they are still there (same record, same name).
template <class Entry>
void Prune(Entry* const& head, void (*remove)(Entry*)) {
  std::vector<Seen<Entry>> seen;
  {
    auto lock = LockWatchTables();
    for (Entry* e = head; e; e = e->next) seen.push_back({e, e->name});
  }
  std::erase_if(seen, [](const Seen<Entry>& s) { return ProbeNodeKey(s.name) != NodeKey::kMissing; });
  if (seen.empty()) return;
  auto lock = LockWatchTables();
  for (Entry* e = head; e;) {
    Entry* next = e->next;
    bool gone =
        std::any_of(seen.begin(), seen.end(), [&](const Seen<Entry>& s) { return s.entry == e && s.name == e->name; });
    if (gone) remove(e);
    e = next;
  }
}

}  // namespace

void RefreshBrennicNodes() {
  ForEachNewNode(&NodeEntryExists, [](const char* name, int position) {
    char description[kTextBufferSize];
    LONG state = LoadNodeDescription(description, position);
    if (AddNodeEntryWithState(description, name, NextNodeIndex.load(), state) == 1)
      ++NextNodeIndex;
    else
      ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, name);
  });
}

void RefreshBrennicAddresses() {
  ForEachNewNode(&AddressEntryExists, [](const char* name, int) {
    DWORD address = ResolveBrennicNodeAddress(name);
    if (AddAddressEntryWithAddress(name, NextAddressIndex.load(), address) == 1)
      ++NextAddressIndex;
    else
      ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, name);
  });
}

void PruneNodeTable() { Prune(NodeTable, &RemoveNodeEntry); }

void PruneAddressTable() { Prune(AddressTable, &RemoveAddressEntry); }

}  // namespace velmon::brennic
