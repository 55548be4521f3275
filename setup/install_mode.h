// ReadInstallMode: whether the installation runs silently, from the
// installer property INST_MODE, whose value "SILENT" (exactly, case-
// sensitive) selects silent mode. Resets SilentMode, then sets it to 1 when
// silent.
//
// Returns 0 when silent; 87 when not silent (other value, empty, missing) or
// for the installer handles 0 and 0xFFFFFFFF; 14 when the value's buffer
// cannot be had; any other failure of the property query unchanged.
// Thread-safety: see silent_mode.h.
#ifndef VELSETUP_INSTALL_MODE_H
#define VELSETUP_INSTALL_MODE_H

#include <windows.h>
// msiquery.h builds on the types of windows.h.
#include <msiquery.h>

#include <string>

namespace velsetup {

UINT ReadInstallMode(MSIHANDLE install);

// Reads an installer property the way ReadInstallMode does: into a 10-byte
// buffer first, enlarged to the announced length while the query answers
// ERROR_MORE_DATA. 0, ERROR_OUTOFMEMORY, or the query's failure.
UINT ReadInstallerProperty(MSIHANDLE install, const char* name, std::string& value);

}  // namespace velsetup

#endif
