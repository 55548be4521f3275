// Shared steps of the cluster API shims: armed failures (velplat/faults.h,
// armed under the function's own name) and failing with a last error.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_CLUSTER_API_SUPPORT_H
#define VELPLAT_SRC_CLUSTER_API_SUPPORT_H

#include <velplat/faults.h>
#include <windows.h>

#include <string_view>

namespace velplat::cluster::detail {

// A handle-returning shim's failure: null, with `error` as the last error.
template <class Handle>
Handle FailWith(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// For handle-returning shims: true (last error set) when a test armed a
// failure of `function`.
inline bool HandleCallFails(std::string_view function) {
  if (auto error = faults::ConsumeCall(function)) {
    SetLastError(*error);
    return true;
  }
  return false;
}

}  // namespace velplat::cluster::detail

#endif
