// Armed call failures for the kernel shims (see velplat/faults.h): when a
// test has armed a failure of `function`, sets the armed error as the last
// error and returns true, and the shim returns its failure value.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_KERNEL_FAULTS_H
#define VELPLAT_SRC_KERNEL_FAULTS_H

#include <velplat/faults.h>
#include <windows.h>

#include <string_view>

namespace velplat::kernel {

inline bool CallFailsByInjection(std::string_view function) {
  if (auto error = faults::ConsumeCall(function)) {
    SetLastError(*error);
    return true;
  }
  return false;
}

}  // namespace velplat::kernel

#endif
