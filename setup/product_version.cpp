// Reading a file's product version from its version resource.
#include "setup/product_version.h"

#include "setup/local_block.h"

#include <windows.h>
#include <winver.h>

namespace velsetup {

std::string ReadProductVersion(const char* fileName) {
  std::string text = kUnknownProductVersion;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(fileName, &ignored);
  if (size == 0) return text;
  LocalBlock block(static_cast<std::size_t>(size) + 1);
  if (!block || !GetFileVersionInfoA(fileName, 0, size, block.as<void>())) return text;
  LPVOID value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(block.as<void>(), "\\StringFileInfo\\040904b0\\ProductVersion", &value, &length) &&
      length != 0)
    text = static_cast<const char*>(value);
  return text;
}

}  // namespace velsetup
