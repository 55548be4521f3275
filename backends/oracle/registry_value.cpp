#include "backends/oracle/registry_value.h"

namespace velmon::oracle {

RegistryValue ReadRegistryValue(HKEY key, const char* name) {
  RegistryValue value;
  DWORD size = 512;
  // A value that grows between the size query and the read is read again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    value.data.assign(size, 0);
    DWORD got = size;
    value.status = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &got);
    if (value.status == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (value.status == ERROR_SUCCESS) value.data.resize(got);
    return value;
  }
  return value;
}

}  // namespace velmon::oracle
