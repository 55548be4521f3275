// The wait core: satisfying, queuing and resolving waiters; the Win32 wait
// and sleep functions.
#include "kernel_wait.h"

#include "clock_internal.h"
#include "kernel_faults.h"
#include "kernel_thread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <string_view>
#include <thread>

namespace velplat::kernel {

std::mutex& KernelMutex() {
  static std::mutex* mutex = new std::mutex();  // used by threads that outlive main
  return *mutex;
}

// Everything that touches a waitable's queue.
struct WaitCore {
  // Takes the objects for `w` if its wait can be satisfied now.
  static std::optional<DWORD> TrySatisfy(Waiter& w) {
    const auto& objects = w.objects;
    if (w.mode == WaitFor::Any) {
      for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i]->IsSignalledFor(w.thread)) continue;
        bool abandoned = objects[i]->Acquire(*w.thread);
        return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(i);
      }
      return std::nullopt;
    }
    if (objects.empty()) return std::nullopt;
    for (const auto& object : objects)
      if (!object->IsSignalledFor(w.thread)) return std::nullopt;
    std::optional<DWORD> firstAbandoned;
    for (size_t i = 0; i < objects.size(); ++i)
      if (objects[i]->Acquire(*w.thread) && !firstAbandoned) firstAbandoned = static_cast<DWORD>(i);
    return firstAbandoned ? WAIT_ABANDONED_0 + *firstAbandoned : WAIT_OBJECT_0;
  }

  static void Link(Waiter& w) {
    w.links.reserve(w.objects.size());
    for (const auto& object : w.objects)
      w.links.push_back(object->waiters_.insert(object->waiters_.end(), &w));
  }

  static void Unlink(Waiter& w) {
    for (size_t i = 0; i < w.links.size(); ++i) w.objects[i]->waiters_.erase(w.links[i]);
    w.links.clear();
  }

  static void Wake(Waitable& object) {
    auto& queue = object.waiters_;
    for (auto it = queue.begin(); it != queue.end() && object.IsSignalledFor(nullptr);) {
      Waiter* w = *it;
      // A wait-any may list one object twice; its links sit side by side.
      do ++it;
      while (it != queue.end() && *it == w);
      if (auto result = TrySatisfy(*w)) Resolve(*w, *result);
    }
  }
};

void Waitable::WakeWaiters() { WaitCore::Wake(*this); }

void Resolve(Waiter& waiter, DWORD result) {
  if (waiter.result) return;
  waiter.result = result;
  WaitCore::Unlink(waiter);
  clock::detail::StopVirtualTimer(waiter);
  waiter.thread->wake.notify_all();
}

DWORD Wait(std::span<const std::shared_ptr<Waitable>> objects, WaitFor mode, DWORD timeoutMs, Alert alert) {
  ThreadRecord& self = CurrentThread();
  std::unique_lock lock(KernelMutex());
  Waiter w;
  w.thread = &self;
  w.objects = objects;
  w.mode = mode;
  w.alert = alert;
  // As on Windows: a signalled object wins over pending APCs, which win over
  // a zero timeout.
  if (auto result = WaitCore::TrySatisfy(w)) return *result;
  if (alert == Alert::Yes && !self.apcs.empty()) {
    lock.unlock();
    RunQueuedApcs();
    return WAIT_IO_COMPLETION;
  }
  if (timeoutMs == 0) return WAIT_TIMEOUT;

  WaitCore::Link(w);
  self.waiter = &w;
  clock::detail::WaitStarted();
  const bool timed = timeoutMs != INFINITE;
  const bool realTimer = timed && !clock::detail::VirtualMode();
  if (timed && !realTimer) clock::detail::StartVirtualTimer(w, timeoutMs);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimer ? timeoutMs : 0);
  while (!w.result) {
    if (!realTimer) {
      self.wake.wait(lock);
    } else if (self.wake.wait_until(lock, deadline) == std::cv_status::timeout) {
      Resolve(w, WAIT_TIMEOUT);  // no-op if something resolved it meanwhile
    }
  }
  self.waiter = nullptr;
  clock::detail::WaitEnded(w);
  const DWORD result = *w.result;
  lock.unlock();
  if (result == WAIT_IO_COMPLETION) RunQueuedApcs();
  return result;
}

}  // namespace velplat::kernel

namespace {

using namespace velplat::kernel;

DWORD WaitShim(std::string_view function, DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs,
               BOOL alertable) {
  if (CallFailsByInjection(function)) return WAIT_FAILED;
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> objects;
  objects.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    auto object = LookupHandleAs<Waitable>(handles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  if (waitAll) {
    auto sorted = objects;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);  // one object twice in a wait-all
      return WAIT_FAILED;
    }
  }
  return Wait(objects, waitAll ? WaitFor::All : WaitFor::Any, timeoutMs, alertable ? Alert::Yes : Alert::No);
}

}  // namespace

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitShim("WaitForSingleObject", 1, &hHandle, FALSE, dwMilliseconds, FALSE);
}

DWORD WINAPI WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable) {
  return WaitShim("WaitForSingleObjectEx", 1, &hHandle, FALSE, dwMilliseconds, bAlertable);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
  return WaitShim("WaitForMultipleObjects", nCount, lpHandles, bWaitAll, dwMilliseconds, FALSE);
}

DWORD WINAPI WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds,
                                      BOOL bAlertable) {
  return WaitShim("WaitForMultipleObjectsEx", nCount, lpHandles, bWaitAll, dwMilliseconds, bAlertable);
}

// Sleeps cannot fail: only an armed raise acts on them.
DWORD WINAPI SleepEx(DWORD dwMilliseconds, BOOL bAlertable) {
  velplat::faults::ConsumeCall("SleepEx");
  if (dwMilliseconds == 0 && !bAlertable) {
    std::this_thread::yield();
    return 0;
  }
  DWORD result = Wait({}, WaitFor::Any, dwMilliseconds, bAlertable ? Alert::Yes : Alert::No);
  return result == WAIT_IO_COMPLETION ? WAIT_IO_COMPLETION : 0;
}

VOID WINAPI Sleep(DWORD dwMilliseconds) {
  velplat::faults::ConsumeCall("Sleep");
  SleepEx(dwMilliseconds, FALSE);
}
