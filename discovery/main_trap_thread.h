// The main trap thread: follows the Brennic Clusters failover database and
// keeps the watch tables in step with its nodes. Started once by start-up.
#ifndef VELMON_DISCOVERY_MAIN_TRAP_THREAD_H
#define VELMON_DISCOVERY_MAIN_TRAP_THREAD_H

#include <windows.h>

namespace velmon {

void __cdecl MainTrapThread(void* unused);

}  // namespace velmon

#endif
