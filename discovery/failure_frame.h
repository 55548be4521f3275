// The failure frame every agent thread body runs in: a structured exception
// raised on the thread (a fault, or RaiseException) is reported to the event
// log as event 0xC00017E1 naming the thread, and then passed on unhandled, so
// the process ends as it would without the frame. A thread that ends normally
// reports nothing.
//
// Any thread; frames on different threads are independent.
#ifndef VELMON_DISCOVERY_FAILURE_FRAME_H
#define VELMON_DISCOVERY_FAILURE_FRAME_H

#include <windows.h>

namespace velmon {

// Thread names the frames report.
inline constexpr const char kMainTrapThreadName[] = "MAIN_TRAP_THREAD";
inline constexpr const char kDiscoveryThreadName[] = "FindClusterVendor";
inline constexpr const char kNodeWatcherName[] = "SubNodeTrapThread";
inline constexpr const char kAddressWatcherName[] = "SubAddressTrapThread";
inline constexpr const char kClusterAddressWatcherName[] = "SubClusterAddressTrapThread";

// Runs body(argument) on the calling thread inside a frame for `threadName`
// (a string with static storage).
void RunInFailureFrame(const char* threadName, void (*body)(void*), void* argument);

// Writes the six-line description of the exception under `threadName` as
// event 0xC00017E1. Returns 0 (keep searching for a handler).
LONG ReportThreadFailure(DWORD code, const EXCEPTION_POINTERS* pointers, const char* threadName);

}  // namespace velmon

#endif
