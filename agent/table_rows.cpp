// Row routines of the three MIB tables.
#include "agent/table_rows.h"

#include "discovery/watch_tables.h"

#include <limits>

namespace velmon {
namespace {

constexpr UINT kRowArc = 18;         // position of the row number
constexpr UINT kSubIndexArc = 19;    // position of the node address sub-index
constexpr UINT kColumnArcs = 17;

// Watch-table indexes are positive 32-bit numbers; larger arcs name no row.
bool FitsIndex(UINT arc) { return arc <= static_cast<UINT>(std::numeric_limits<LONG>::max()); }

template <class Entry>
bool HoldsRow(Entry* (*find)(LONG, LONG*), UINT row) {
  if (!FitsIndex(row)) return false;
  auto lock = LockWatchTables();
  LONG pastEnd = 0;
  return find(static_cast<LONG>(row), &pastEnd) != nullptr;
}

// The smallest row number at or above `candidate` that the table holds.
template <class Entry>
bool RowAtOrAbove(Entry* (*firstFrom)(LONG), UINT candidate, UINT* row) {
  if (!FitsIndex(candidate)) return false;
  auto lock = LockWatchTables();
  Entry* at = firstFrom(static_cast<LONG>(candidate));
  if (!at) return false;
  *row = static_cast<UINT>(at->index);
  return true;
}

template <class Entry>
Status ParseOneArc(const AsnObjectIdentifier* name, RowIndex* index, Entry* (*find)(LONG, LONG*)) {
  if (name->idLength != kRowArc) return kNoSuchName;
  UINT row = name->ids[kRowArc - 1];
  if (!HoldsRow(find, row)) return kNoSuchName;
  index->count = 1;
  index->arcs[0] = row;
  return kNoError;
}

// The row after the one named: the smallest existing row number above arc 18
// (any row when the name stops at the column).
template <class Entry>
Status NextOneArc(const AsnObjectIdentifier* name, RowIndex* index, Entry* (*firstFrom)(LONG)) {
  UINT candidate = 0;
  if (name->idLength >= kRowArc) {
    candidate = name->ids[kRowArc - 1] + 1;
    if (candidate == 0) return kNoSuchName;  // the arc was 4294967295
  }
  UINT row = 0;
  if (!RowAtOrAbove(firstFrom, candidate, &row)) return kNoSuchName;
  index->count = 1;
  index->arcs[0] = row;
  return kNoError;
}

}  // namespace

Status ParseClusterAddressInstance(const AsnObjectIdentifier* name, RowIndex* index) {
  return ParseOneArc(name, index, &FindClusterAddressEntry);
}

Status NextClusterAddressInstance(const AsnObjectIdentifier* name, RowIndex* index) {
  return NextOneArc(name, index, &FirstClusterAddressEntryFrom);
}

Status ParseNodeInstance(const AsnObjectIdentifier* name, RowIndex* index) {
  return ParseOneArc(name, index, &FindNodeEntry);
}

Status NextNodeInstance(const AsnObjectIdentifier* name, RowIndex* index) {
  return NextOneArc(name, index, &FirstNodeEntryFrom);
}

Status ParseNodeAddressInstance(const AsnObjectIdentifier* name, RowIndex* index) {
  if (name->idLength != kSubIndexArc) return kNoSuchName;
  UINT n = name->ids[kRowArc - 1];
  UINT s = name->ids[kSubIndexArc - 1];
  if (s < 1 || s > n || s == 2) return kNoSuchName;
  if (!HoldsRow(&FindAddressEntry, n)) return kNoSuchName;
  index->count = 2;
  index->arcs[0] = n;
  index->arcs[1] = s;
  return kNoError;
}

Status NextNodeAddressInstance(const AsnObjectIdentifier* name, RowIndex* index) {
  UINT n = 1;
  UINT s = 1;
  if (name->idLength > kColumnArcs) {
    n = name->ids[kRowArc - 1];
    s = name->idLength >= kSubIndexArc ? name->ids[kSubIndexArc - 1] + 1 : 1;
    // A sub-index of 4294967295 wraps to 0; like 2 it moves on to the next
    // row, so that the answer never sorts before the request.
    if (s == 2 || s == 0) {
      n = n + 1;
      s = 1;
    }
  }
  // Gaps are not searched: a missing row ends the column.
  if (!HoldsRow(&FindAddressEntry, n)) return kNoSuchName;
  index->count = 2;
  index->arcs[0] = n;
  index->arcs[1] = s;
  return kNoError;
}

}  // namespace velmon
