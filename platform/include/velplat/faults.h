// Fault injection: named failure points in the platform layer, so that tests
// can reach every failure path of the product. A test arms a point; the
// platform code that owns the point consumes one arming per call and fails
// that call as the real system would (null pointer, -1, an error code). A
// Win32 call can also be armed to raise a structured exception inside the
// call, so that a test can fault a thread where it stands.
//
// Thread-safety: all functions may be called from any thread. Armings are
// process-wide, so a test should arm right before the call it targets.
#ifndef VELPLAT_FAULTS_H
#define VELPLAT_FAULTS_H

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat::faults {

enum class Point {
  SnmpAlloc,       // SnmpUtilMemAlloc / SnmpUtilMemReAlloc return null
  HeapAlloc,       // LocalAlloc / HeapAlloc / GlobalAlloc return null
  ThreadStart,     // _beginthread returns -1, CreateThread returns null
  EventCreate,     // CreateEventA returns null
  MutexCreate,     // CreateMutexA returns null
  kCount
};

// The next `count` calls that reach `point`, after `skip` calls that succeed,
// fail. With `threadName`, only calls on threads of that name
// (velplat/threads.h) count, for skip and count alike.
void FailNext(Point point, unsigned count = 1, unsigned skip = 0, std::string_view threadName = {});

// The next `count` calls of the Win32 function named `function` (for example
// "RegSetValueExA"), after `skip` that succeed, fail with `error`: the
// function returns it (registry style) or sets it as the last error and
// returns its failure value. `threadName` limits it as for FailNext.
void FailCall(std::string_view function, DWORD error, unsigned count = 1, unsigned skip = 0,
              std::string_view threadName = {});

// The next `count` calls of `function`, after `skip`, raise the structured
// exception `code` (RaiseException, no parameters) on the calling thread,
// inside the call; should a handler continue it, the call then goes on as
// if unarmed. With `threadName`, only calls on threads of that name
// (velplat/threads.h) count, for skip and count alike. Also reaches Sleep
// and SleepEx, which cannot fail. Replaces a FailCall arming of the same
// function, and is replaced by one.
void RaiseInCall(std::string_view function, DWORD code, unsigned count = 1, unsigned skip = 0,
                 std::string_view threadName = {});

// Disarms everything.
void Clear();

// The armings that can still fire, one line each in a fixed order, e.g.
// "call RegOpenKeyExA fails with 5, 1 call(s) after 0, on any thread";
// for dumps and logs.
std::vector<std::string> Armed();

// For platform code: true when this call at `point` is to fail.
bool Consume(Point point);
// For platform code: the error this call of `function` is to fail with; an
// armed raise is raised from here.
std::optional<DWORD> ConsumeCall(std::string_view function);

}  // namespace velplat::faults

#endif
