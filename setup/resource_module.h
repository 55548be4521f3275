// The library's resource handle: the module under which its dialogs are
// found. On Windows the dialogs are compiled resources of _velsetup.dll; here
// the library registers the same descriptions with the platform on first use
// (resource_module.cpp holds them).
// Thread-safety: any thread.
#ifndef VELSETUP_RESOURCE_MODULE_H
#define VELSETUP_RESOURCE_MODULE_H

#include <windows.h>

namespace velsetup {

HINSTANCE ResourceHandle();

}  // namespace velsetup

#endif
