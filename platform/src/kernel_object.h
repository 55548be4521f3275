// Kernel objects and the process handle table. Every HANDLE that CloseHandle
// accepts names an Object here; other platform modules may give their own
// handle-bearing objects (logon tokens, for instance) CloseHandle support by
// deriving from Object and calling InsertHandle.
//
// Handles are never reused within a process, so a stale handle stays invalid.
// The pseudo handle of the calling thread (GetCurrentThread) is resolved by
// LookupHandle but is not in the table.
// Thread-safety: every function may be called from any thread.
#ifndef VELPLAT_SRC_KERNEL_OBJECT_H
#define VELPLAT_SRC_KERNEL_OBJECT_H

#include <windows.h>

#include <memory>

namespace velplat::kernel {

class Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;
};

// The value of GetCurrentThread().
inline HANDLE CurrentThreadPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

// Adds `object` under a new handle.
HANDLE InsertHandle(std::shared_ptr<Object> object);
// The object a handle names, or null for an unknown or closed handle.
std::shared_ptr<Object> LookupHandle(HANDLE handle);
// The object a handle names if it is a T, else null.
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Removes a handle from the table; false when it was not there.
bool RemoveHandle(HANDLE handle);

}  // namespace velplat::kernel

#endif
