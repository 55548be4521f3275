// Row routines of the two scalar groups: the only instance of a scalar is
// its OID followed by .0.
#ifndef VELMON_AGENT_SCALAR_ROWS_H
#define VELMON_AGENT_SCALAR_ROWS_H

#include "agent/mib_types.h"

namespace velmon {

// Accepts exactly 16 arcs ending in 0 (e.g. ...4.1.1.2.3.0) and sets the
// index to {0}; anything else is noSuchName.
Status ParseScalarInstance(const AsnObjectIdentifier* name, RowIndex* index);
// Scalar groups have no rows to step through; the engine never calls this.
Status NextScalarInstance(const AsnObjectIdentifier* name, RowIndex* index);

}  // namespace velmon

#endif
