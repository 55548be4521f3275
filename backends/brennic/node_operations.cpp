// Brennic Clusters node operations over the Nodes key of the failover
// database.
#include "backends/brennic/node_operations.h"

#include "backends/brennic/brennic_interface.h"
#include "backends/brennic/no_case.h"
#include "backends/brennic/node_key_path.h"
#include "backends/brennic/registry_key.h"
#include "backends/mscs/default_node_state.h"
#include "discovery/watch_tables.h"

#include <winsock.h>

#include <algorithm>
#include <cstring>

namespace velmon::brennic {
namespace {

// Byte count the registry is asked for: the buffers hold one more, so what
// is read always ends in a zero.
constexpr DWORD kReadBytes = kTextBufferSize - 1;

enum class Match { kNone, kPrefix, kExact };

// The Nodes subkey that names `name` into `subkey`: the first that equals it
// or, when none does, the first that `name` begins with.
Match FindNamingSubkey(HKEY nodes, const char* name, char (&subkey)[kTextBufferSize]) {
  Match found = Match::kNone;
  char candidate[kTextBufferSize];
  for (DWORD i = 0; RegEnumKeyA(nodes, i, candidate, sizeof candidate) == ERROR_SUCCESS; ++i) {
    if (EqualsNoCase(name, candidate)) {
      std::memcpy(subkey, candidate, sizeof candidate);
      return Match::kExact;
    }
    if (found == Match::kNone && StartsWithNoCase(name, candidate)) {
      std::memcpy(subkey, candidate, sizeof candidate);
      found = Match::kPrefix;
    }
  }
  return found;
}

// Resolves `host` into PendingNodeAddress as described in the header.
DWORD ResolveIntoPendingAddress(const char* host) {
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return PendingNodeAddress.load();
  DWORD address = PendingNodeAddress.load();
  if (hostent* entry = gethostbyname(host); !entry) {
    address = static_cast<DWORD>(inet_addr("0.0"));
    PendingNodeAddress.store(address);
  } else if (entry->h_addr_list && entry->h_addr_list[0]) {
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    PendingNodeAddress.store(address);
  }
  WSACleanup();
  return address;
}

}  // namespace

Status GetBrennicNodeComment(AttrString* value, UINT*, const RowIndex* row) {
  RegistryKey nodes(HKEY_LOCAL_MACHINE, kNodesKey);
  if (!nodes) return kNoError;
  char name[kTextBufferSize] = {};
  DWORD position = row && row->count > 0 ? row->arcs[0] : 0;
  if (RegEnumKeyA(nodes.get(), position, name, kReadBytes) != ERROR_SUCCESS) return kNoError;
  char path[kTextBufferSize];
  if (!ComposeNodeKeyPath(path, name, kNodeGlobalSubkey)) return kNoError;
  RegistryKey global(HKEY_LOCAL_MACHINE, path);
  if (!global) return kNoError;
  char comment[kTextBufferSize] = {};
  DWORD size = kReadBytes;
  if (RegQueryValueExA(global.get(), kCommentValue, nullptr, nullptr, reinterpret_cast<BYTE*>(comment), &size) !=
      ERROR_SUCCESS)
    return kNoError;
  INT copied = std::min({std::max(value->length, 0), static_cast<INT>(size), kMaxTextAnswer});
  std::memcpy(value->buffer, comment, static_cast<size_t>(copied));
  value->length = copied;
  return kNoError;
}

LONG LoadNodeDescription(char (&description)[kTextBufferSize], int position) {
  char comment[kTextBufferSize] = {};
  AttrString text{kMaxTextAnswer, comment};
  UINT scratch = 0;
  UINT arc = static_cast<UINT>(position);
  RowIndex row{1, &arc};
  if (GetBrennicNodeComment(&text, &scratch, &row) == kNoError) {
    // At most 255 bytes were copied into the zeroed buffer: it is terminated.
    std::memcpy(description, comment, std::strlen(comment) + 1);
  }
  INT state = 0;
  mscs::GetDefaultNodeState(&state, &scratch, &row);
  PendingNodeState.store(state);
  return state;
}

DWORD ResolveBrennicNodeAddress(const char* name) {
  char host[kTextBufferSize] = {};  // the empty name: the local host
  {
    RegistryKey nodes(HKEY_LOCAL_MACHINE, kNodesKey);
    if (nodes && FindNamingSubkey(nodes.get(), name, host) == Match::kNone) {
      // The node left the database since its name was read; the prune that
      // follows removes its entries.
      PendingNodeAddress.store(0);
      return 0;
    }
  }
  return ResolveIntoPendingAddress(host);
}

int FindBrennicNodePosition(const char* name) {
  RegistryKey nodes(HKEY_LOCAL_MACHINE, kNodesKey);
  if (!nodes) return -1;
  char subkey[kTextBufferSize];
  for (DWORD i = 0; RegEnumKeyA(nodes.get(), i, subkey, sizeof subkey) == ERROR_SUCCESS; ++i)
    if (EqualsNoCase(subkey, name)) return static_cast<int>(i);
  return -1;
}

}  // namespace velmon::brennic
