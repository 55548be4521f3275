#include "backends/mscs/change_watch.h"

#include "agent/agent_heap.h"
#include "agent/mib_types.h"
#include "backends/mscs/cluster_handles.h"
#include "backends/mscs/cluster_model.h"
#include "backends/mscs/mscs_interface.h"
#include "backends/mscs/node_addresses.h"
#include "backends/mscs/wide_text.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace velmon::mscs {
namespace {

// Whether `notified` matches `name` over the notified name's length,
// ignoring case.
bool Matches(const char* notified, const char* name) {
  return strncasecmp(name, notified, std::strlen(notified)) == 0;
}

// The first node position up to and including NextNodeIndex whose name the
// notified name matches.
std::optional<int> NodePosition(const char* name) {
  const LONG last = NextNodeIndex.load();
  for (LONG position = 0; position <= last; ++position) {
    char nodeName[kTextBufferSize] = {};
    AttrString value{0, nodeName};
    UINT scratch = 0;
    UINT arc = static_cast<UINT>(position);
    RowIndex row{1, &arc};
    GetMscsNodeName(&value, &scratch, &row);
    if (Matches(name, nodeName)) return static_cast<int>(position);
  }
  return std::nullopt;
}

DWORD MemberAddress(int position) {
  if (position >= kMemberCapacity) return 0;
  auto lock = LockMemberTable();
  return MemberTable[position].address;
}

// Writes `description` over every matching node entry's description.
void RewriteDescriptions(const char* name, const char* description) {
  const size_t size = std::strlen(description) + 1;
  auto lock = LockWatchTables();
  for (NodeEntry* entry = NodeTable; entry; entry = entry->next) {
    if (!Matches(name, entry->name) || !entry->description) continue;
    if (std::strlen(entry->description) + 1 >= size) {
      std::memcpy(entry->description, description, size);
      continue;
    }
    // A longer text gets a block of its own; the old one stays if none can be had.
    if (auto* grown = static_cast<char*>(AgentAlloc(size))) {
      std::memcpy(grown, description, size);
      AgentFree(entry->description);
      entry->description = grown;
    }
  }
}

// The name of the taken notification, cut to 255 characters, into `name`
// (cleared); false when it cannot be converted.
bool TakeName(const WCHAR* wide, char (&name)[kTextBufferSize]) {
  std::memset(name, 0, sizeof name);
  NarrowText text(WideToNarrow(wide));
  if (!text) return false;
  std::memcpy(name, text.get(), std::min(std::strlen(text.get()), kTextBufferSize - 1));
  return true;
}

// A notification whose name does not fit the 255 characters announced:
// takes it with room for its whole name (the buffer's, else a block of its
// own) so that it is handled with its name cut like every stored name.
DWORD TakeLongNotification(HCHANGE port, WCHAR* buffer, DWORD needed, DWORD* type, char (&name)[kTextBufferSize]) {
  AgentBuffer<WCHAR> own;
  WCHAR* room = buffer;
  DWORD length = kNotifyBufferChars;
  if (needed + 1 > kNotifyBufferChars) {
    own = AllocateBuffer<WCHAR>(needed + 1);
    if (!own) return ERROR_NOT_ENOUGH_MEMORY;
    room = own.get();
    length = needed + 1;
  }
  DWORD_PTR key = 0;
  DWORD result = CallCluster<ClusterFn::GetClusterNotify>(port, &key, type, room, &length, static_cast<DWORD>(0));
  if (result == ERROR_SUCCESS && !TakeName(room, name)) result = ERROR_NOT_ENOUGH_MEMORY;
  return result;
}

}  // namespace

void HandleMscsNotification(DWORD filterType, const char* name) {
  switch (filterType) {
    case CLUSTER_CHANGE_NODE_STATE:
    case CLUSTER_CHANGE_NODE_ADDED:
    case CLUSTER_CHANGE_NODE_PROPERTY:
      OnMscsNodeChanged(name);
      break;
    case CLUSTER_CHANGE_NODE_DELETED:
      RemoveNodeEntries(name);
      RemoveAddressEntries(name);
      break;
    default:
      break;
  }
}

LONG WatchMscsChanges() {
  // Without GetClusterNotify every poll would report success with nothing in it.
  if (!ClusterApiExported(ClusterFn::GetClusterNotify)) return 0;
  AgentBuffer<WCHAR> buffer = AllocateBuffer<WCHAR>(kNotifyBufferChars);
  if (!buffer) return 0;
  ClusterHandle cluster = OpenLocalCluster();
  if (!cluster) return 0;
  NotifyPort port(CallCluster<ClusterFn::CreateClusterNotifyPort>(static_cast<HCHANGE>(INVALID_HANDLE_VALUE),
                                                                  cluster.get(), kNodeChanges, kNotifyKey));
  if (!port) return 0;
  char name[kTextBufferSize];
  for (;;) {
    DWORD length = kNameChars;
    DWORD type = 0;
    DWORD_PTR key = 0;
    DWORD result =
        CallCluster<ClusterFn::GetClusterNotify>(port.get(), &key, &type, buffer.get(), &length, kNotifyWaitMs);
    if (result == ERROR_SUCCESS) {
      if (TakeName(buffer.get(), name)) HandleMscsNotification(type, name);
    } else if (result == ERROR_MORE_DATA) {
      if (TakeLongNotification(port.get(), buffer.get(), length, &type, name) == ERROR_SUCCESS)
        HandleMscsNotification(type, name);
    } else if (result == ERROR_INVALID_HANDLE) {
      return ERROR_INVALID_HANDLE;  // the owners release the port, the cluster and the buffer
    }
    // Anything else (the wait timed out, another error): poll again at once.
  }
}

void OnMscsNodeChanged(const char* name) {
  std::optional<int> position = NodePosition(name);
  if (!position) return;
  char description[kTextBufferSize];
  if (!NodeEntryExists(name)) {
    LONG state = LoadNodeDescription(description, *position);
    if (AddNodeEntryWithState(description, name, NextNodeIndex.load(), state) == 1) ++NextNodeIndex;
    ResolveMscsNodeAddresses();
    DWORD address = MemberAddress(*position);
    PendingNodeAddress.store(address);
    if (AddAddressEntryWithAddress(name, NextAddressIndex.load(), address) == 1) ++NextAddressIndex;
    return;
  }
  LoadNodeDescription(description, *position);
  ResolveMscsNodeAddresses();
  PendingNodeAddress.store(MemberAddress(*position));
  RewriteDescriptions(name, description);
}

void RemoveNodeEntries(const char* name) {
  auto lock = LockWatchTables();
  for (NodeEntry* entry = NodeTable; entry;) {
    NodeEntry* next = entry->next;
    if (Matches(name, entry->name)) RemoveNodeEntry(entry);
    entry = next;
  }
}

void RemoveAddressEntries(const char* name) {
  auto lock = LockWatchTables();
  for (AddressEntry* entry = AddressTable; entry;) {
    AddressEntry* next = entry->next;
    if (Matches(name, entry->name)) RemoveAddressEntry(entry);
    entry = next;
  }
}

}  // namespace velmon::mscs
