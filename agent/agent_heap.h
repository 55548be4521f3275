// The agent's own buffers come from the process heap and are released by the
// code that allocated them (values handed to the SNMP service come from the
// SNMP allocator instead). Any thread.
#ifndef VELMON_AGENT_AGENT_HEAP_H
#define VELMON_AGENT_AGENT_HEAP_H

#include <windows.h>

namespace velmon {

// Zero-filled block of `bytes`, or null.
inline void* AgentAlloc(SIZE_T bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
inline void AgentFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace velmon

#endif
