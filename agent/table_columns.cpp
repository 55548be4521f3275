// Column handlers of the three MIB tables: each copies its answer out of the
// watch table while holding the tables' lock.
#include "agent/table_columns.h"

#include "agent/cluster_attributes.h"
#include "discovery/watch_tables.h"

#include <cstring>

namespace velmon {
namespace {

LONG RowOf(const RowIndex* row) { return static_cast<LONG>(row->arcs[0]); }

// Copies at most 255 bytes of `text` (up to its terminator) into the slot.
void CopyText(AttrString* value, const char* text) {
  size_t length = strnlen(text, kMaxTextAnswer);
  std::memcpy(value->buffer, text, length);
  value->length = static_cast<INT>(length);
}

// Runs `read` on the entry of the handler's row under the lock; false when
// the row is gone.
template <class Entry, class Read>
bool WithEntry(Entry* (*find)(LONG, LONG*), const RowIndex* row, Read read) {
  auto lock = LockWatchTables();
  LONG pastEnd = 0;
  Entry* entry = find(RowOf(row), &pastEnd);
  if (!entry) return false;
  read(*entry);
  return true;
}

}  // namespace

Status GetClusterAddressNumber(INT* value, UINT*, const RowIndex* row) {
  *value = 0;
  WithEntry(&FindClusterAddressEntry, row, [&](ClusterAddressEntry& e) { *value = e.index; });
  return kNoError;
}

Status GetClusterAddress(DWORD* value, UINT*, const RowIndex* row) {
  *value = 0;
  WithEntry(&FindClusterAddressEntry, row, [&](ClusterAddressEntry& e) { *value = e.address; });
  return kNoError;
}

Status GetNodeNumber(INT* value, UINT*, const RowIndex* row) {
  *value = 0;
  WithEntry(&FindNodeEntry, row, [&](NodeEntry& e) { *value = e.index; });
  return kNoError;
}

Status GetNodeName(AttrString* value, UINT*, const RowIndex* row) {
  value->length = 0;
  WithEntry(&FindNodeEntry, row, [&](NodeEntry& e) { CopyText(value, e.name); });
  return kNoError;
}

Status GetNodeDescription(AttrString* value, UINT*, const RowIndex* row) {
  value->length = 0;
  WithEntry(&FindNodeEntry, row, [&](NodeEntry& e) { CopyText(value, e.description); });
  return kNoError;
}

Status GetNodeState(INT* value, UINT* scratch, const RowIndex* row) {
  *value = 1;
  if (ClusterVendor.load(std::memory_order_acquire) == kVendorOracle) {
    const ClusterOperations* ops = OperationsForVendor(kVendorOracle);
    if (ops && ops->nodeState) return ops->nodeState(value, scratch, row);
  }
  WithEntry(&FindNodeEntry, row, [&](NodeEntry& e) { *value = e.state; });
  return kNoError;
}

Status GetNodeAddressState(INT* value, UINT*, const RowIndex* row) {
  *value = 0;
  WithEntry(&FindAddressEntry, row, [&](AddressEntry& e) { *value = e.addressState; });
  return kNoError;
}

Status GetNodeAddress(DWORD* value, UINT*, const RowIndex* row) {
  *value = 0;
  WithEntry(&FindAddressEntry, row, [&](AddressEntry& e) { *value = e.address; });
  return kNoError;
}

}  // namespace velmon
