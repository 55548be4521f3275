// Asynchronous procedure calls: QueueUserAPC and running a thread's queue.
#include "kernel_faults.h"
#include "kernel_thread.h"

namespace velplat::kernel {

bool RunQueuedApcs() {
  ThreadRecord& self = CurrentThread();
  bool ran = false;
  for (;;) {
    std::pair<PAPCFUNC, ULONG_PTR> apc;
    {
      std::lock_guard lock(KernelMutex());
      if (self.apcs.empty()) return ran;
      apc = self.apcs.front();
      self.apcs.pop_front();
    }
    apc.first(apc.second);
    ran = true;
  }
}

}  // namespace velplat::kernel

using namespace velplat::kernel;

DWORD WINAPI QueueUserAPC(PAPCFUNC pfnAPC, HANDLE hThread, ULONG_PTR dwData) {
  if (CallFailsByInjection("QueueUserAPC")) return 0;
  auto thread = LookupHandleAs<ThreadRecord>(hThread);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::lock_guard lock(KernelMutex());
  if (thread->ended) {
    SetLastError(ERROR_GEN_FAILURE);
    return 0;
  }
  if (!pfnAPC) return 1;  // accepted, and nothing to run
  thread->apcs.emplace_back(pfnAPC, dwData);
  if (thread->waiter && thread->waiter->alert == Alert::Yes) Resolve(*thread->waiter, WAIT_IO_COMPLETION);
  return 1;
}
