// Row routines of the scalar groups .1.1 and .1.2.
#include "agent/scalar_rows.h"

namespace velmon {

namespace {
constexpr UINT kScalarInstanceArcs = 16;
}

Status ParseScalarInstance(const AsnObjectIdentifier* name, RowIndex* index) {
  if (name->idLength != kScalarInstanceArcs || name->ids[kScalarInstanceArcs - 1] != 0) return kNoSuchName;
  index->count = 1;
  index->arcs[0] = 0;
  return kNoError;
}

Status NextScalarInstance(const AsnObjectIdentifier*, RowIndex*) { return kNoSuchName; }

}  // namespace velmon
