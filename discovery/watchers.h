// Watcher threads of the watch-table entries. Each receives its entry's stop
// flag cell (not the entry, which may be released before the thread first
// runs), checks it every 20 seconds, and releases the cell when it is 1.
#ifndef VELMON_DISCOVERY_WATCHERS_H
#define VELMON_DISCOVERY_WATCHERS_H

#include <windows.h>

namespace velmon {

inline constexpr unsigned kWatcherPollMs = 20000;

void __cdecl SubNodeTrapThread(void* stopFlag);
void __cdecl SubAddressTrapThread(void* stopFlag);
void __cdecl SubClusterAddressTrapThread(void* stopFlag);

}  // namespace velmon

#endif
