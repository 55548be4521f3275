// Event objects: CreateEventA, SetEvent, ResetEvent.
#include "kernel_faults.h"
#include "kernel_sync.h"

namespace velplat::kernel {

bool EventObject::Acquire(ThreadRecord&) {
  if (reset_ == EventReset::Automatic) signalled_ = false;
  return false;
}

void EventObject::Set() {
  signalled_ = true;
  WakeWaiters();
}

}  // namespace velplat::kernel

namespace {

using namespace velplat::kernel;

// The event a handle names, or null with ERROR_INVALID_HANDLE set.
std::shared_ptr<EventObject> EventFor(HANDLE handle) {
  auto event = LookupHandleAs<EventObject>(handle);
  if (!event) SetLastError(ERROR_INVALID_HANDLE);
  return event;
}

}  // namespace

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR) {
  if (velplat::faults::Consume(velplat::faults::Point::EventCreate)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (CallFailsByInjection("CreateEventA")) return nullptr;
  auto event = std::make_shared<EventObject>(bManualReset ? EventReset::Manual : EventReset::Automatic,
                                             bInitialState != FALSE);
  SetLastError(ERROR_SUCCESS);
  return InsertHandle(std::move(event));
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
  if (CallFailsByInjection("SetEvent")) return FALSE;
  auto event = EventFor(hEvent);
  if (!event) return FALSE;
  std::lock_guard lock(KernelMutex());
  event->Set();
  return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
  if (CallFailsByInjection("ResetEvent")) return FALSE;
  auto event = EventFor(hEvent);
  if (!event) return FALSE;
  std::lock_guard lock(KernelMutex());
  event->Reset();
  return TRUE;
}
