// The kernel's record of a thread: its identifier, the handle state that
// WaitForSingleObject and GetExitCodeThread see, its APC queue, the mutexes
// it owns (abandoned when it ends) and the condition it sleeps on.
//
// Threads started by this layer get their record before they run; any other
// thread gets one on first use, which is ended by a thread-exit hook.
// Thread-safety: fields are guarded by KernelMutex(); the functions take it.
#ifndef VELPLAT_SRC_KERNEL_THREAD_H
#define VELPLAT_SRC_KERNEL_THREAD_H

#include "kernel_wait.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velplat::kernel {

class MutexObject;

class ThreadRecord final : public Waitable {
 public:
  ThreadRecord();
  DWORD Id() const { return id_; }

  bool IsSignalledFor(const ThreadRecord*) const override { return ended; }
  bool Acquire(ThreadRecord&) override { return false; }

  // Given by the thread-start hook before the thread runs; never changed.
  std::string name;

  // Under the lock.
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
  Waiter* waiter = nullptr;  // the wait the thread is blocked in, if any
  std::deque<std::pair<PAPCFUNC, ULONG_PTR>> apcs;
  std::vector<std::shared_ptr<MutexObject>> owned;
  std::condition_variable wake;

  // Under the lock: marks the thread ended with `code`, abandons the mutexes
  // it still owns, drops its APCs and releases the threads waiting for it.
  void End(DWORD code);

 private:
  const DWORD id_;
};

// The calling thread's record, created on first use.
ThreadRecord& CurrentThread();
std::shared_ptr<ThreadRecord> CurrentThreadShared();

// Runs the calling thread's queued APCs, oldest first, until none is left;
// true when at least one ran. Takes the lock itself; call without it.
bool RunQueuedApcs();

}  // namespace velplat::kernel

#endif
