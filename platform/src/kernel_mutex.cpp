// Mutex objects: CreateMutexA, ReleaseMutex, ownership and abandonment.
#include "kernel_faults.h"
#include "kernel_sync.h"

#include <algorithm>

namespace velplat::kernel {

bool MutexObject::IsSignalledFor(const ThreadRecord* thread) const {
  return owner_ == nullptr || (thread != nullptr && owner_ == thread);
}

bool MutexObject::Acquire(ThreadRecord& thread) {
  if (owner_ == nullptr) {
    owner_ = &thread;
    thread.owned.push_back(std::static_pointer_cast<MutexObject>(shared_from_this()));
  }
  ++recursion_;
  const bool wasAbandoned = abandoned_;
  abandoned_ = false;
  return wasAbandoned;
}

bool MutexObject::Release(ThreadRecord& thread) {
  if (owner_ != &thread) return false;
  if (--recursion_ > 0) return true;
  owner_ = nullptr;
  auto& owned = thread.owned;
  owned.erase(std::find_if(owned.begin(), owned.end(), [this](const auto& m) { return m.get() == this; }));
  WakeWaiters();
  return true;
}

void MutexObject::Abandon() {
  owner_ = nullptr;
  recursion_ = 0;
  abandoned_ = true;
  WakeWaiters();
}

}  // namespace velplat::kernel

using namespace velplat::kernel;

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR) {
  if (velplat::faults::Consume(velplat::faults::Point::MutexCreate)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (CallFailsByInjection("CreateMutexA")) return nullptr;
  auto mutex = std::make_shared<MutexObject>();
  if (bInitialOwner) {
    ThreadRecord& self = CurrentThread();
    std::lock_guard lock(KernelMutex());
    mutex->Acquire(self);
  }
  SetLastError(ERROR_SUCCESS);
  return InsertHandle(std::move(mutex));
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
  if (CallFailsByInjection("ReleaseMutex")) return FALSE;
  auto mutex = LookupHandleAs<MutexObject>(hMutex);
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ThreadRecord& self = CurrentThread();
  std::lock_guard lock(KernelMutex());
  if (!mutex->Release(self)) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}
