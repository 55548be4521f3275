// Reads a whole registry value, whatever its size, into a buffer sized for
// it (the member lists outgrow any fixed buffer in large clusters).
#ifndef VELMON_BACKENDS_ORACLE_REGISTRY_VALUE_H
#define VELMON_BACKENDS_ORACLE_REGISTRY_VALUE_H

#include <windows.h>

#include <vector>

namespace velmon::oracle {

struct RegistryValue {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

RegistryValue ReadRegistryValue(HKEY key, const char* name);

}  // namespace velmon::oracle

#endif
