#include "backends/mscs/cluster_model.h"

#include "backends/mscs/cluster_handles.h"
#include "backends/mscs/cluster_objects.h"
#include "backends/mscs/default_node_state.h"
#include "backends/mscs/mscs_interface.h"
#include "backends/mscs/wide_text.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <algorithm>
#include <cstring>

namespace velmon::mscs {

char LocalNodeId[4] = {};

namespace {

// At most 255 nodes are stored, so that the end record still fits.
constexpr DWORD kMaxMembers = kMemberCapacity - 1;

void StoreMember(DWORD position, const WCHAR* id, const char* name) {
  auto lock = LockMemberTable();
  MemberRecord& record = MemberTable[position];
  record.memberNumber = static_cast<LONG>(position + 1);
  record.nodeId[0] = FirstCharacter(id);
  record.nodeId[1] = '\0';
  StoreMemberName(record.name, name);
}

void MarkEnd(DWORD position) {
  auto lock = LockMemberTable();
  MemberTable[position].memberNumber = 0;
  MemberTable[position].name[0] = '\0';
}

}  // namespace

Status GetMscsNodeName(AttrString* value, UINT*, const RowIndex* row) {
  value->length = kMaxTextAnswer;
  char name[kTextBufferSize] = {};
  if (!FindClusterObjectAt(CLUSTER_ENUM_NODE, row->arcs[0], name)) {
    value->length = 0;
    return kNoError;
  }
  const size_t length = std::min(std::strlen(name), static_cast<size_t>(kMaxTextAnswer));
  std::memcpy(value->buffer, name, length);
  value->length = static_cast<INT>(length);
  return kNoError;
}

LONG LoadNodeDescription(char (&description)[kTextBufferSize], int) {
  char text[kTextBufferSize] = {};
  std::strncpy(text, kNodeDescription, kTextBufferSize - 1);
  std::memcpy(description, text, kTextBufferSize);
  INT state = 0;
  UINT scratch = 0;
  GetDefaultNodeState(&state, &scratch, nullptr);
  PendingNodeState.store(state);
  return state;
}

void ReadLocalNodeId() {
  AgentBuffer<WCHAR> id = AllocateBuffer<WCHAR>(kNodeIdChars);
  if (!id) return;
  DWORD length = kNodeIdChars;
  if (CallCluster<ClusterFn::GetClusterNodeId>(static_cast<HNODE>(nullptr), id.get(), &length) != ERROR_SUCCESS)
    return;
  auto lock = LockMemberTable();
  LocalNodeId[0] = FirstCharacter(id.get());
  LocalNodeId[1] = '\0';
}

void FillMscsMemberTable() {
  AgentBuffer<WCHAR> id = AllocateBuffer<WCHAR>(kNodeIdChars);
  AgentBuffer<WCHAR> name = AllocateBuffer<WCHAR>(kNameChars);
  if (!id || !name) return;
  ClusterHandle cluster = OpenLocalCluster();
  if (!cluster) return;
  ClusterEnumHandle nodes(CallCluster<ClusterFn::ClusterOpenEnum>(cluster.get(), static_cast<DWORD>(CLUSTER_ENUM_NODE)));
  if (!nodes) return;
  DWORD position = 0;
  for (; position < kMaxMembers; ++position) {
    std::fill_n(name.get(), kNameChars, WCHAR{});
    DWORD length = kNameChars;
    DWORD type = 0;
    if (CallCluster<ClusterFn::ClusterEnum>(nodes.get(), position, &type, name.get(), &length) != ERROR_SUCCESS)
      break;
    NodeHandle node(CallCluster<ClusterFn::OpenClusterNode>(cluster.get(), static_cast<LPCWSTR>(name.get())));
    if (!node) break;
    length = kNodeIdChars;
    if (CallCluster<ClusterFn::GetClusterNodeId>(node.get(), id.get(), &length) != ERROR_SUCCESS) break;
    NarrowText text(WideToNarrow(name.get()));
    if (!text) break;
    StoreMember(position, id.get(), text.get());
  }
  MarkEnd(position);
}

}  // namespace velmon::mscs
