// Event and mutex objects.
//
// An event is signalled until reset (manual reset) or until one wait takes
// the signal (automatic reset). A mutex is owned recursively by one thread;
// when that thread ends still owning it, the mutex is abandoned and the next
// wait that takes it reports WAIT_ABANDONED.
// Thread-safety: members are called under KernelMutex().
#ifndef VELPLAT_SRC_KERNEL_SYNC_H
#define VELPLAT_SRC_KERNEL_SYNC_H

#include "kernel_thread.h"
#include "kernel_wait.h"

namespace velplat::kernel {

enum class EventReset { Manual, Automatic };

class EventObject final : public Waitable {
 public:
  EventObject(EventReset reset, bool signalled) : reset_(reset), signalled_(signalled) {}

  bool IsSignalledFor(const ThreadRecord*) const override { return signalled_; }
  bool Acquire(ThreadRecord&) override;
  void Set();
  void Reset() { signalled_ = false; }

 private:
  const EventReset reset_;
  bool signalled_;
};

class MutexObject final : public Waitable {
 public:
  bool IsSignalledFor(const ThreadRecord* thread) const override;
  bool Acquire(ThreadRecord& thread) override;
  // False when `thread` does not own the mutex.
  bool Release(ThreadRecord& thread);
  // The owner has ended: frees the mutex and marks it abandoned.
  void Abandon();

 private:
  ThreadRecord* owner_ = nullptr;
  unsigned recursion_ = 0;
  bool abandoned_ = false;
};

}  // namespace velplat::kernel

#endif
