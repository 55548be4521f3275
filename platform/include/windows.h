/*
 * Stand-in for the Windows SDK's <windows.h> on Linux: declares the subset of
 * Win32 that velmon, _velsetup and velmond call, with the SDK's names, types,
 * constants and structure layouts. The functions are implemented by the
 * platform library (libvelplatform) over the simulated world; a Windows build
 * uses the real SDK instead and never sees this file.
 */
#ifndef VELPLAT_WINDOWS_H
#define VELPLAT_WINDOWS_H

#include "winapi/types.h"
#include "winapi/errors.h"
#include "winapi/kernel.h"
#include "winapi/exceptions.h"
#include "winapi/registry.h"
#include "winapi/environment.h"
#include "winapi/eventlog.h"
#include "winapi/modules.h"
#include "winapi/files.h"
#include "winapi/message.h"
#include "winapi/security.h"
#include "winapi/user.h"
#include "winsvc.h"

#endif
