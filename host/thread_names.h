// Names the threads the agent starts after their start routines
// ("MainTrapThread", "FindClusterVendor", "OracleRegistryWatcher", ...), so
// that a world file's faults can be limited to one thread (the `thread` key
// of [[faults]]). The name is the routine's function name without namespace
// or parameters, read from the loaded library's symbol table; a routine
// without a symbol leaves its thread unnamed.
//
// Thread-safety: Install once, on the main thread, before the agent starts
// threads; the hook it installs runs on any thread.
#ifndef VELMOND_THREAD_NAMES_H
#define VELMOND_THREAD_NAMES_H

#include <string>

namespace velmond {

void NameAgentThreads();

// The function name of the code at `address`, as NameAgentThreads gives it;
// empty when no symbol covers it.
std::string RoutineName(const void* address);

}  // namespace velmond

#endif
