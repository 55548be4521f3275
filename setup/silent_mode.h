// SilentMode: the installation runs without windows. 1 means no message box
// (setup error reporting) and no status window (service control); 0 when the
// library is loaded. Only ReadInstallMode resets and sets it; the other
// actions run under the value the last StartSNMP or StopSNMP left.
// Thread-safety: a plain flag without a lock; the installer calls the
// actions one after another.
#ifndef VELSETUP_SILENT_MODE_H
#define VELSETUP_SILENT_MODE_H

#include <cstdint>

namespace velsetup {

extern std::int32_t SilentMode;

}  // namespace velsetup

#endif
