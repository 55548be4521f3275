/* Stand-in for the C runtime's <process.h>: thread start. */
#ifndef VELPLAT_PROCESS_H
#define VELPLAT_PROCESS_H

#include <windows.h>

/* Starts start_address(arglist) on a new thread and returns its handle, or
 * (uintptr_t)-1 when the thread cannot be started (errno set). stack_size 0
 * means the default size. The handle is closed by the runtime when the thread
 * ends, as with the real _beginthread. */
VELPLAT_API uintptr_t _beginthread(void(__cdecl* start_address)(void*), unsigned stack_size, void* arglist);
VELPLAT_API void _endthread(void);

#endif
