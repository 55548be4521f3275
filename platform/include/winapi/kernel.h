/* Win32 kernel subset: events, mutexes, threads, waits, APCs, sleeping, the
 * tick count, the thread's last error, heap allocation and interlocked
 * operations, with the SDK's names, constants and failure conventions.
 *
 * Every function may be called from any thread. Handles are process-wide and
 * stay valid until CloseHandle; an object lives while a handle or a wait still
 * refers to it. Sleeps, timed waits and the tick count follow the platform
 * clock, which tests may switch to virtual time (velplat/clock.h). */
#ifndef VELPLAT_WINAPI_KERNEL_H
#define VELPLAT_WINAPI_KERNEL_H

#include "types.h"

#ifndef ERROR_GEN_FAILURE
#define ERROR_GEN_FAILURE 31L
#endif
#ifndef ERROR_NOT_OWNER
#define ERROR_NOT_OWNER 288L
#endif

#define INFINITE 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_IO_COMPLETION 0x000000C0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u

/* CreateThread flags. */
#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u

/* LocalAlloc / GlobalAlloc flags. Only fixed blocks are supported. */
#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

/* HeapAlloc / HeapReAlloc / HeapFree flags. */
#define HEAP_NO_SERIALIZE 0x00000001u
#define HEAP_GENERATE_EXCEPTIONS 0x00000004u
#define HEAP_ZERO_MEMORY 0x00000008u
#define HEAP_REALLOC_IN_PLACE_ONLY 0x00000010u

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;
typedef VOID(CALLBACK* PAPCFUNC)(ULONG_PTR dwParam);

/* Events and mutexes. Names are accepted and ignored: every object is
 * anonymous, and the last error is 0 after a successful creation. */
VELPLAT_API HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                                       LPCSTR lpName);
VELPLAT_API BOOL WINAPI SetEvent(HANDLE hEvent);
VELPLAT_API BOOL WINAPI ResetEvent(HANDLE hEvent);
VELPLAT_API HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);
/* FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex. */
VELPLAT_API BOOL WINAPI ReleaseMutex(HANDLE hMutex);
VELPLAT_API BOOL WINAPI CloseHandle(HANDLE hObject);

/* Waits. An abandoned mutex is acquired with WAIT_ABANDONED(_0 + i); an
 * alertable wait runs the thread's queued APCs and returns WAIT_IO_COMPLETION
 * when no object is signalled. */
VELPLAT_API DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
VELPLAT_API DWORD WINAPI WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable);
VELPLAT_API DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                                DWORD dwMilliseconds);
VELPLAT_API DWORD WINAPI WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                                  DWORD dwMilliseconds, BOOL bAlertable);
/* Nonzero when queued; 0 with ERROR_GEN_FAILURE for a thread that has ended.
 * A null routine is accepted and never runs. */
VELPLAT_API DWORD WINAPI QueueUserAPC(PAPCFUNC pfnAPC, HANDLE hThread, ULONG_PTR dwData);
VELPLAT_API VOID WINAPI Sleep(DWORD dwMilliseconds);
/* 0, or WAIT_IO_COMPLETION when an alertable sleep ran APCs. */
VELPLAT_API DWORD WINAPI SleepEx(DWORD dwMilliseconds, BOOL bAlertable);

/* Milliseconds of the platform clock; GetTickCount wraps after 49.7 days. */
VELPLAT_API DWORD WINAPI GetTickCount(void);
VELPLAT_API ULONGLONG WINAPI GetTickCount64(void);

/* Per-thread last error. */
VELPLAT_API DWORD WINAPI GetLastError(void);
VELPLAT_API VOID WINAPI SetLastError(DWORD dwErrCode);

/* Threads. The handle is signalled when the thread ends. CREATE_SUSPENDED is
 * refused with ERROR_NOT_SUPPORTED. */
VELPLAT_API HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                                       LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                                       DWORD dwCreationFlags, LPDWORD lpThreadId);
/* STILL_ACTIVE while the thread runs, then its exit code. */
VELPLAT_API BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
/* The pseudo handle (HANDLE)-2 naming the calling thread; needs no close. */
VELPLAT_API HANDLE WINAPI GetCurrentThread(void);
VELPLAT_API DWORD WINAPI GetCurrentThreadId(void);
VELPLAT_API DWORD WINAPI GetCurrentProcessId(void);

/* Heap. LocalAlloc, GlobalAlloc and HeapAlloc share one heap, so a fixed
 * block may be released by any of the three release calls (and by nothing
 * else; blocks from malloc may not be passed here). Moveable blocks are
 * refused with ERROR_INVALID_PARAMETER. Failures set ERROR_NOT_ENOUGH_MEMORY,
 * HeapAlloc's included. */
VELPLAT_API HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
/* NULL on success, the block itself on failure. */
VELPLAT_API HLOCAL WINAPI LocalFree(HLOCAL hMem);
VELPLAT_API HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
VELPLAT_API HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
VELPLAT_API HANDLE WINAPI GetProcessHeap(void);
VELPLAT_API LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
VELPLAT_API LPVOID WINAPI HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
VELPLAT_API BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);

/* Sequentially consistent atomic operations on 32-bit cells. */
VELPLAT_API LONG WINAPI InterlockedExchange(volatile LONG* Target, LONG Value);
VELPLAT_API LONG WINAPI InterlockedCompareExchange(volatile LONG* Destination, LONG Exchange, LONG Comparand);
VELPLAT_API LONG WINAPI InterlockedIncrement(volatile LONG* Addend);
VELPLAT_API LONG WINAPI InterlockedDecrement(volatile LONG* Addend);

#endif
