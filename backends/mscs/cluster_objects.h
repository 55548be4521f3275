// Scans of the cluster's objects of one kind through the cluster API:
// the object at an enumeration position, and the position of the first
// object whose name leads a text. For resources and groups an object counts
// only if it can be opened; one that cannot is skipped but uses up its
// position. Each scan opens and closes its own cluster and enumeration.
// Thread-safety: any thread, once the cluster API is bound.
#ifndef VELMON_BACKENDS_MSCS_CLUSTER_OBJECTS_H
#define VELMON_BACKENDS_MSCS_CLUSTER_OBJECTS_H

#include "agent/mib_types.h"

#include <windows.h>

#include <optional>

namespace velmon::mscs {

// Copies the name of the object of `kind` (CLUSTER_ENUM_NODE, _RESOURCE or
// _GROUP) at `position` into `destination` (cleared by the caller) without
// a terminator, cut to 255 characters. 1 when found, 0 when not.
LONG FindClusterObjectAt(DWORD kind, DWORD position, char (&destination)[kTextBufferSize]);

// The position of the first counted object of `kind` whose name leads
// `target` (its characters are the first characters of `target`).
std::optional<DWORD> FindClusterObjectByName(DWORD kind, const char* target);

// Whether `text` leads `whole`: the first strlen(text) characters of `whole`
// equal `text`, byte by byte; an empty text leads every text.
bool Leads(const char* text, const char* whole);

}  // namespace velmon::mscs

#endif
