// The three watcher thread procedures: identical but for the name their
// failure frame reports.
#include "discovery/watchers.h"

#include "agent/agent_heap.h"
#include "discovery/failure_frame.h"

#include <atomic>

namespace velmon {
namespace {

void WatchStopFlag(void* argument) {
  auto* flag = static_cast<std::atomic<LONG>*>(argument);
  while (flag->load(std::memory_order_acquire) != 1) Sleep(kWatcherPollMs);
  AgentFree(flag);
}

}  // namespace

void __cdecl SubNodeTrapThread(void* stopFlag) { RunInFailureFrame(kNodeWatcherName, &WatchStopFlag, stopFlag); }

void __cdecl SubAddressTrapThread(void* stopFlag) {
  RunInFailureFrame(kAddressWatcherName, &WatchStopFlag, stopFlag);
}

void __cdecl SubClusterAddressTrapThread(void* stopFlag) {
  RunInFailureFrame(kClusterAddressWatcherName, &WatchStopFlag, stopFlag);
}

}  // namespace velmon
