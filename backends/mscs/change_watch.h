// The MSCS change watch: after discovery has filled the watch tables, the
// discovery thread follows the cluster's node notifications here, adding a
// node that is not yet watched when the cluster reports a change of it and
// removing a node's entries when the cluster reports it deleted, until the
// notification port becomes invalid.
//
// Name matching: a notified name N matches a name E when the first
// strlen(N) characters of E equal N, ignoring case; whether a node is
// watched at all is NodeEntryExists (whole name, case-sensitive).
//
// Thread-safety: the discovery thread; the watch tables are changed under
// their own lock.
#ifndef VELMON_BACKENDS_MSCS_CHANGE_WATCH_H
#define VELMON_BACKENDS_MSCS_CHANGE_WATCH_H

#include <windows.h>

namespace velmon::mscs {

// 0 when the watch cannot be set up (memory, cluster, port, or a cluster
// library without GetClusterNotify); 6 (ERROR_INVALID_HANDLE) once the port
// has become invalid.
LONG WatchMscsChanges();

// One notification: node state, added and property changes go to
// OnMscsNodeChanged, a deleted node to RemoveNodeEntries and
// RemoveAddressEntries; other types change nothing.
void HandleMscsNotification(DWORD filterType, const char* name);

void OnMscsNodeChanged(const char* name);
void RemoveNodeEntries(const char* name);
void RemoveAddressEntries(const char* name);

}  // namespace velmon::mscs

#endif
