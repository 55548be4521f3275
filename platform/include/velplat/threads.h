// Thread starts, for tests: a hook that runs on the starting thread right
// before the platform creates a thread (CreateThread, _beginthread), after
// the start has passed its argument checks and armed faults. The hook sees
// the start routine and parameter and may name the new thread; fault
// injection can be limited to threads of a name (faults::RaiseInCall).
//
// Thread-safety: OnThreadStart may be called from any thread. The hook runs
// on every thread that starts one, possibly on several at once, inside
// whatever lock that caller holds: it must not take the caller's locks.
#ifndef VELPLAT_THREADS_H
#define VELPLAT_THREADS_H

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace velplat::threads {

struct ThreadStart {
  LPTHREAD_START_ROUTINE win32 = nullptr;       // CreateThread's routine, else null
  void(__cdecl* runtime)(void*) = nullptr;      // _beginthread's routine, else null
  void* parameter = nullptr;
  std::string name;                             // empty; the hook may name the new thread
};

// Installs `hook` for every later thread start; an empty function removes it.
void OnThreadStart(std::function<void(ThreadStart&)> hook);

// The name the hook gave the calling thread; empty for any other thread.
std::string_view CurrentThreadName();

}  // namespace velplat::threads

#endif
