// Win32 shim for change notification.
//
// Registering resets the event first (as Windows and Wine do), so a waiter
// sees only changes made after its registration. A synchronous caller blocks
// without holding the tree and returns ERROR_SUCCESS after a change,
// ERROR_NOTIFY_CLEANUP when another thread closes its handle (the status that
// Windows completes the request with) and ERROR_KEY_DELETED when its key is
// deleted.
#include "registry_handles.h"
#include "registry_notify.h"

#include <velplat/faults.h>

using namespace velplat::reg;

namespace {

LONG ResultOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::Changed: return ERROR_SUCCESS;
    case Outcome::HandleClosed: return ERROR_NOTIFY_CLEANUP;
    case Outcome::KeyDeleted: return ERROR_KEY_DELETED;
    case Outcome::Pending: break;
  }
  return ERROR_INVALID_FUNCTION;
}

}  // namespace

LONG WINAPI RegNotifyChangeKeyValue(HKEY hKey, BOOL bWatchSubtree, DWORD dwNotifyFilter, HANDLE hEvent,
                                    BOOL fAsynchronous) {
  if (auto error = velplat::faults::ConsumeCall("RegNotifyChangeKeyValue")) return static_cast<LONG>(*error);
  auto open = Resolve(hKey);
  if (!open) return ERROR_INVALID_HANDLE;
  if (dwNotifyFilter & ~static_cast<DWORD>(REG_LEGAL_CHANGE_FILTER | REG_NOTIFY_THREAD_AGNOSTIC))
    return ERROR_INVALID_PARAMETER;
  if (fAsynchronous && !hEvent) return ERROR_INVALID_PARAMETER;
  if (!open->Allows(KEY_NOTIFY)) return ERROR_ACCESS_DENIED;

  auto watch = std::make_shared<Watch>();
  watch->owner = open.get();
  watch->subtree = bWatchSubtree != FALSE;
  watch->filter = dwNotifyFilter;
  watch->event = fAsynchronous ? hEvent : nullptr;

  Edit edit(*open->tree);
  if (open->closed) return ERROR_INVALID_HANDLE;
  if (open->key->deleted) return ERROR_KEY_DELETED;
  if (fAsynchronous) {
    // Under the tree's lock, so that no change can fall between the reset
    // and the registration.
    ResetEvent(hEvent);
    AddWatch(edit, *open->key, watch);
    return ERROR_SUCCESS;
  }
  AddWatch(edit, *open->key, watch);
  edit.WaitWhilePending(*watch);
  return ResultOf(watch->outcome);
}
