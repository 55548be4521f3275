/* Stand-in for the C runtime's <process.h>: thread start and end.
 * Both may be called from any thread. */
#ifndef VELPLAT_PROCESS_H
#define VELPLAT_PROCESS_H

#include <windows.h>

/* Starts start_address(arglist) on a new thread and returns its handle, or
 * (uintptr_t)-1 when the thread cannot be started (errno EAGAIN, or EINVAL
 * for a null start address). stack_size 0 means the default size. The handle
 * is closed by the runtime when the thread ends, as with the real
 * _beginthread, so it may already be invalid when the caller sees it. */
VELPLAT_API uintptr_t _beginthread(void(__cdecl* start_address)(void*), unsigned stack_size, void* arglist);
/* Ends the calling thread (exit code 0); code after the call does not run.
 * Objects with automatic storage on the thread's stack are destroyed. */
VELPLAT_API void _endthread(void);

#endif
