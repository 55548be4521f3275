// Reading the installer's silent mode.
#include "setup/install_mode.h"

#include "setup/local_block.h"
#include "setup/silent_mode.h"

#include <windows.h>

#include <cstring>

namespace velsetup {
namespace {

constexpr DWORD kFirstBufferChars = 10;
constexpr MSIHANDLE kInvalidInstallHandle = 0xFFFFFFFF;

}  // namespace

UINT ReadInstallerProperty(MSIHANDLE install, const char* name, std::string& value) {
  DWORD chars = kFirstBufferChars;
  LocalBlock buffer(chars);
  if (!buffer) return ERROR_OUTOFMEMORY;
  UINT result = MsiGetPropertyA(install, name, buffer.as<char>(), &chars);
  while (result == ERROR_MORE_DATA) {
    chars += 1;  // the announced length leaves out the terminator
    buffer = LocalBlock();
    buffer = LocalBlock(chars);
    if (!buffer) return ERROR_OUTOFMEMORY;
    result = MsiGetPropertyA(install, name, buffer.as<char>(), &chars);
  }
  if (result != ERROR_SUCCESS) return result;
  value.assign(buffer.as<char>(), chars);
  return ERROR_SUCCESS;
}

UINT ReadInstallMode(MSIHANDLE install) {
  SilentMode = 0;
  if (install == 0 || install == kInvalidInstallHandle) return ERROR_INVALID_PARAMETER;
  std::string mode;
  if (UINT result = ReadInstallerProperty(install, "INST_MODE", mode)) return result;
  if (mode.empty() || mode != "SILENT") return ERROR_INVALID_PARAMETER;
  SilentMode = 1;
  return 0;
}

}  // namespace velsetup
