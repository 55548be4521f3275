// The process handle table and CloseHandle.
#include "kernel_faults.h"
#include "kernel_object.h"
#include "kernel_thread.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace velplat::kernel {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;
  uintptr_t next = 0x1000;  // multiples of 4, as Windows hands them out
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable();  // used by threads that outlive main
  return *table;
}

uintptr_t Key(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

HANDLE InsertHandle(std::shared_ptr<Object> object) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  uintptr_t key = t.next;
  t.next += 4;
  t.objects.emplace(key, std::move(object));
  return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<Object> LookupHandle(HANDLE handle) {
  if (handle == CurrentThreadPseudoHandle()) return CurrentThreadShared();
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(Key(handle));
  return it == t.objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle) {
  std::shared_ptr<Object> released;  // destroyed outside the table's lock
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(Key(handle));
  if (it == t.objects.end()) return false;
  released = std::move(it->second);
  t.objects.erase(it);
  return true;
}

}  // namespace velplat::kernel

BOOL WINAPI CloseHandle(HANDLE hObject) {
  using namespace velplat::kernel;
  if (CallFailsByInjection("CloseHandle")) return FALSE;
  if (hObject == CurrentThreadPseudoHandle()) return TRUE;
  if (!RemoveHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
