// A registry key opened for reading and closed when the object goes out of
// scope. A key that cannot be opened leaves the object empty (false).
//
// Not shared between threads; each object belongs to the code that made it.
#ifndef VELMON_BACKENDS_BRENNIC_REGISTRY_KEY_H
#define VELMON_BACKENDS_BRENNIC_REGISTRY_KEY_H

#include <windows.h>

namespace velmon::brennic {

class RegistryKey {
 public:
  RegistryKey(HKEY parent, const char* path) {
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace velmon::brennic

#endif
